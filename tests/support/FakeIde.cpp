#include "FakeIde.h"

void TFakeIde::SetProject(const QString &Name, const QStringList &ProjectModules)
{
    GroupOpen = true;
    ProjectName = Name;
    Modules = ProjectModules;
}

QString TFakeIde::ModuleFileName(int Index) const
{
    return Index >= 0 && Index < Modules.size() ? Modules.at(Index) : QString();
}

bool TFakeIde::SaveProject()
{
    record(QStringLiteral("SaveProject"));
    return SaveResult;
}

bool TFakeIde::CloseProjectGroup()
{
    record(QStringLiteral("CloseProjectGroup"));
    if (CloseResult) {
        GroupOpen = false;
        ProjectName.clear();
        Modules.clear();
    }
    return CloseResult;
}

bool TFakeIde::OpenProject(const QString &ProjName)
{
    record(QStringLiteral("OpenProject(%1)").arg(ProjName));
    if (OpenResult && !ProjName.isEmpty())
        SetProject(ProjName, ModulesOnOpen);
    return OpenResult;
}

bool TFakeIde::ReloadFile(const QString &FileName)
{
    record(QStringLiteral("ReloadFile(%1)").arg(FileName));
    return ReloadResult;
}

void TFakeIde::ShowProjectCodeEditors()
{
    record(QStringLiteral("ShowProjectCodeEditors"));
}

void TFakeIde::record(const QString &Call)
{
    Calls << Call;
    if (OnCall)
        OnCall(Call);
}
