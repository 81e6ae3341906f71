#include "ReplaceExpert.h"

#include "Errors.h"
#include "FamilyScan.h"
#include "FileUtils.h"
#include "IDEUtils.h"
#include "RExpertRes.h"
#include "RegIniFile.h"
#include "Replacer.h"
#include "ReportFile.h"
#include "RunChecks.h"

#include <QDir>
#include <QFileInfo>

namespace {

const QString sMenuItemCaption = QStringLiteral("&Migration Wizard");
const QString sReplaceComponentsFmt = QStringLiteral("&Replace %1 components");

bool isPascalUnit(const QString &FileName)
{
    return FileName.size() >= 4 && FileName.right(4).toUpper() == QLatin1String(".PAS");
}

// Reopens the remembered project when the restore is over, whichever way it
// ends: an undo file that cannot be read must not leave the IDE without the
// project the user had open.
class TReopenProject
{
public:
    explicit TReopenProject(QString ProjName)
        : FProjName(std::move(ProjName))
    {
    }
    ~TReopenProject()
    {
        try {
            TIDEUtils::OpenProject(FProjName); // the answer is not needed
        } catch (...) {
            // Reopening is a courtesy; it must not replace the outcome that
            // the user has already been told about.
        }
    }

    TReopenProject(const TReopenProject &) = delete;
    TReopenProject &operator=(const TReopenProject &) = delete;

private:
    QString FProjName;
};

QString plural(int Count, const char *One, const char *Many)
{
    return QStringLiteral("%1 %2").arg(Count).arg(QLatin1String(Count == 1 ? One : Many));
}

} // namespace

QString TReplaceResult::Details() const
{
    QString Text;
    if (!Notice.isEmpty())
        Text += Notice + u'\n';
    Text += plural(FilesChanged, "file", "files") + QStringLiteral(" changed, ")
            + plural(ObjectsRecreated, "object", "objects") + QStringLiteral(" re-created.");
    int Total = 0;
    for (int N : Items)
        Total += N;
    if (Total == 0) {
        Text += QStringLiteral("\nNothing needs manual work.");
        return Text;
    }
    Text += QStringLiteral("\n%1 need manual work:").arg(plural(Total, "item", "items"));
    for (int C = 0; C < ConsequenceCount; ++C)
        if (Items[size_t(C)] > 0)
            Text += QStringLiteral("\n  %1 %2").arg(Items[size_t(C)]).arg(TReportFile::ConsequenceText(TConsequence(C)));
    return Text;
}

void TExpertUI::ReplaceResult(const QString &Text, const QString &Caption, const TReplaceResult &Result)
{
    MessageBox(Result.Notice.isEmpty() ? Text : Text + u'\n' + Result.Notice, Caption, TMessageIcon::Information);
}

TCompReplaceExpert::TCompReplaceExpert(const QString &ProductName, TComponentReplacer *ComponentReplacer,
                                       TExpertUI *UI)
    : FProductName(ProductName), FUI(UI)
{
    MIG_ASSERT(UI, QStringLiteral("the expert needs a user interface"));
    RegisterReplacer(ComponentReplacer);
}

TCompReplaceExpert::TCompReplaceExpert(TWizardFormClass WizardFormClass, const QString &ProductName,
                                       const TZuProductMenu &WizardMenu, TComponentReplacer *ComponentReplacer,
                                       TExpertUI *UI)
    : TCompReplaceExpert(ProductName, ComponentReplacer, UI)
{
    FWizardFormClass = std::move(WizardFormClass);
    FSelf = std::make_shared<TCompReplaceExpert *>(this);
    std::weak_ptr<TCompReplaceExpert *> Self = FSelf;
    TIDEUtils::AddWizard(WizardMenu, sMenuItemCaption, MenuItemName(), [Self](TZuMenuItem *Sender) {
        if (const auto Expert = Self.lock())
            (*Expert)->ShowWizard(Sender);
    });
}

TCompReplaceExpert::~TCompReplaceExpert() = default;

QString TCompReplaceExpert::RegistryKey() const
{
    return QStringLiteral("Software\\Halvane\\") + FProductName;
}

QString TCompReplaceExpert::MenuItemName() const
{
    return QStringLiteral("RExpertItem") + QString(GetDefaultReplacer()->ReplaceOptions()->SourceName()).replace(u'/', u'_')
           + RemoveAmpersands(FProductName);
}

QString TCompReplaceExpert::GetIDString() const
{
    return QStringLiteral("Halvane.%1MigrationWizard").arg(GetDefaultReplacer()->ReplaceOptions()->SourceName())
           + u'.' + RemoveAmpersands(FProductName);
}

QString TCompReplaceExpert::GetName() const
{
    return GetDefaultReplacer()->ReplaceOptions()->Caption();
}

std::vector<const TComponentReplacer *> TCompReplaceExpert::Replacers() const
{
    return {FReplacers.cbegin(), FReplacers.cend()};
}

void TCompReplaceExpert::LoadDesktop()
{
    TReplaceOptions &Options = *GetDefaultReplacer()->ReplaceOptions();
    TRegIniFile IniFile(RegistryKey());
    const QString Section = Options.Caption();
    Options.LoadFromIniFile(IniFile, Section);
    if (FWizardForm)
        FWizardForm->LoadState(IniFile, Section);
}

void TCompReplaceExpert::SaveDesktop()
{
    const TReplaceOptions &Options = *GetDefaultReplacer()->ReplaceOptions();
    TRegIniFile IniFile(RegistryKey());
    const QString Section = Options.Caption();
    Options.SaveToIniFile(IniFile, Section);
    if (FWizardForm)
        FWizardForm->SaveState(IniFile, Section);
}

void TCompReplaceExpert::ShowWizard(TZuMenuItem *Sender)
{
    Q_UNUSED(Sender);
    MIG_ASSERT(FWizardFormClass, QStringLiteral("the expert has no wizard dialog class"));
    std::unique_ptr<TWizardDialog> Form = FWizardFormClass();
    MIG_ASSERT(Form, QStringLiteral("the wizard dialog class made no dialog"));
    // The dialog is reachable for the desktop while this click lasts, and
    // freed on every way out.
    struct TCurrentForm
    {
        TWizardDialog *&Ref;
        ~TCurrentForm() { Ref = nullptr; }
    } Current{FWizardForm};
    FWizardForm = Form.get();

    TComponentReplacer *Default = GetDefaultReplacer();
    const QString ProductName = RemoveAmpersands(FProductName);
    const QString SourceName = Default->ReplaceOptions()->SourceName();
    Form->SetProductName(ProductName);
    Form->SetReplaceOptions(Default->ReplaceOptions());
    Form->SetLabel2Caption(SourceName, ProductName);
    Form->SetReplaceModeCaption(sReplaceComponentsFmt.arg(SourceName));
    Form->SetReplacers(Replacers());
    LoadDesktop();
    if (!Form->ShowModal())
        return;
    const int Mode = Form->GetWizardMode();
    // An error that stops the run is the wizard's failure, shown in its own
    // box: the outcome first, then the reason.
    try {
        if (Mode == WizardModeRestore)
            PerformRestore(Form->UndoFileName());
        else
            PerformReplace(*GetReplacer(Mode));
    } catch (const EMigError &E) {
        const TComponentReplacer *Used = Mode == WizardModeRestore ? GetDefaultReplacer() : GetReplacer(Mode);
        FUI->MessageBox((Mode == WizardModeRestore ? RExpertRes::sRestoreFailed : RExpertRes::sReplaceFailed) + u'\n'
                            + E.Message(),
                        Used->ReplaceOptions()->Caption(), TMessageIcon::Error);
    }
    SaveDesktop();
}

void TCompReplaceExpert::RegisterReplacer(TComponentReplacer *ComponentReplacer)
{
    MIG_ASSERT(ComponentReplacer, QStringLiteral("a registered replacer must exist"));
    FReplacers.push_back(ComponentReplacer);
}

TComponentReplacer *TCompReplaceExpert::GetReplacer(int ReplacerIndex) const
{
    MIG_ASSERT(ReplacerIndex >= 0 && ReplacerIndex < ReplacerCount(),
               QStringLiteral("replacer index %1 out of range 0..%2").arg(ReplacerIndex).arg(ReplacerCount() - 1));
    return FReplacers[size_t(ReplacerIndex)];
}

TComponentReplacer *TCompReplaceExpert::GetDefaultReplacer() const
{
    MIG_ASSERT(!FReplacers.empty(), QStringLiteral("no replacer is registered"));
    return FReplacers.front();
}

TExpertOutcome TCompReplaceExpert::PerformReplace(TComponentReplacer &ComponentReplacer)
{
    const TReplaceOptions &Options = *ComponentReplacer.ReplaceOptions();
    const QString Caption = Options.Caption();
    const bool ProjectMode = Options.Dest == sdProject;

    if (ProjectMode && !TIDEUtils::GetProjectName().isEmpty()
        && !FUI->ConfirmAction(Caption, true, FProductName, false))
        return TExpertOutcome::Cancelled;

    if (ProjectMode) {
        if (!TIDEUtils::SaveProject()) {
            FUI->MessageBox(RExpertRes::sCannotStartReplace + u'\n' + RExpertRes::sProjectNotSaved, Caption,
                            TMessageIcon::Information);
            return TExpertOutcome::NotStarted;
        }
        TIDEUtils::ShowProjectCodeEditors();
    }

    // A folder without units would "succeed" with nothing done. (One that
    // cannot be listed stops the run with its own error.)
    if (!ProjectMode && QFileInfo(Options.Directory).isDir()) {
        QStringList Units, Forms;
        ListDelphiFiles(Options.Directory, Options.IncludeSubDirs, Units, Forms);
        if (Units.isEmpty()) {
            FUI->MessageBox(RExpertRes::sReplaceFailed + u'\n'
                                + NoUnitsMessage(Options.Directory, Options.IncludeSubDirs),
                            Caption, TMessageIcon::Error);
            return TExpertOutcome::Failed;
        }
    }

    if (!ComponentReplacer.PerformReplace()) {
        QString Text = RExpertRes::sReplaceFailed;
        for (const QString &Error : ComponentReplacer.RunErrors())
            Text += u'\n' + Error;
        FUI->MessageBox(Text, Caption, TMessageIcon::Error);
        return TExpertOutcome::Failed;
    }

    if (ProjectMode) {
        // The project source and resource files are left to the IDE.
        for (int I = 0, N = TIDEUtils::GetUnitCount(); I < N; ++I) {
            const QString Name = TIDEUtils::GetUnitName(I);
            if (!Name.isEmpty() && isPascalUnit(Name))
                TIDEUtils::ReloadFile(Name);
        }
    }
    FUI->ReplaceResult(RExpertRes::sReplaceSucceeded, Caption, ResultOf(ComponentReplacer));
    return TExpertOutcome::Succeeded;
}

TReplaceResult TCompReplaceExpert::ResultOf(TComponentReplacer &Replacer) const
{
    const TReplaceOptions &Options = *Replacer.ReplaceOptions();
    TReplaceResult Result;
    Result.FilesChanged = Replacer.ChangedFilesCount();
    Result.ObjectsRecreated = Replacer.RecreatedObjectsCount();
    const QString RunFolder = Options.Dest == sdProject ? QFileInfo(NativePath(TIDEUtils::GetProjectName())).path()
                                                        : QDir::fromNativeSeparators(Options.Directory);
    if (FUI->ShowsReportView())
        Result.ReportJson = Replacer.WorkReport().ToJson(RunFolder);
    if (Options.WriteLog && !Options.DryRun) {
        Result.LogPath = Replacer.Log().FileName();
        if (!Result.LogPath.isEmpty())
            Result.ReportPath = JoinPath(QFileInfo(Result.LogPath).path(), RExpertRes::sReportFileName);
    }
    // Counted in the report itself: reading its JSON back would cost a run
    // of tens of thousands of items as much as writing it.
    for (size_t C = 0; C < Result.Items.size(); ++C)
        Result.Items[C] = Replacer.WorkReport().Count(TConsequence(C));
    Result.Notice = FamilyNotice(Replacer);
    return Result;
}

QString TCompReplaceExpert::FamilyNotice(const TComponentReplacer &Replacer) const
{
    // Only a run that changed nothing: one that renamed classes in the code
    // found its family there.
    if (Replacer.ChangedFilesCount() > 0 || Replacer.WorkReport().Count(TWorkItemKind::ObjectNotConverted) > 0)
        return QString();
    const TReplaceOptions &Options = *Replacer.ReplaceOptions();
    const std::vector<const TComponentReplacer *> All = Replacers();
    TFamilyScan Scan;
    if (Options.Dest == sdProject) {
        const QStringList Chosen = Options.ModuleList.split(u'\n', Qt::SkipEmptyParts);
        QStringList Units;
        for (int I = 0, N = TIDEUtils::GetUnitCount(); I < N; ++I) {
            const QString Name = TIDEUtils::GetUnitName(I);
            if (Chosen.contains(QFileInfo(NativePath(Name)).fileName(), Qt::CaseInsensitive))
                Units << NativePath(Name);
        }
        Scan = ScanFamilies(FormsOfUnits(Units), All);
    } else {
        Scan = ScanFolderFamilies(Options.Directory, Options.IncludeSubDirs, All);
    }
    const auto Own = std::find(All.cbegin(), All.cend(), &Replacer);
    if (Own == All.cend() || Scan.Families[size_t(Own - All.cbegin())].Objects > 0)
        return QString();
    QString Text = QStringLiteral("No %1 components were found").arg(Replacer.Family().Name);
    const int Found = Scan.Largest();
    if (Found >= 0)
        Text += QStringLiteral("; the %1 uses %2 components")
                    .arg(Options.Dest == sdProject ? QStringLiteral("project") : QStringLiteral("folder"),
                         All[size_t(Found)]->Family().Name);
    return Text + u'.';
}

TExpertOutcome TCompReplaceExpert::PerformRestore(const QString &UndoFile)
{
    TComponentReplacer *Replacer = GetDefaultReplacer();
    const QString Caption = Replacer->ReplaceOptions()->Caption();

    if (!FUI->ConfirmAction(Caption, false, FProductName, true))
        return TExpertOutcome::Cancelled;

    TReopenProject Reopen(TIDEUtils::GetProjectName());
    TIDEUtils::CloseProject();
    // The restore's questions go to the user with the caption of the run.
    class TQuestions : public TRestoreQuestions
    {
    public:
        TQuestions(TExpertUI &UI, const QString &Caption) : FUI(UI), FCaption(Caption) {}
        bool OverwriteChangedFiles(const QStringList &Files) override { return FUI.OverwriteChangedFiles(FCaption, Files); }
        bool CreateMissingFiles(const QStringList &Files) override { return FUI.CreateMissingFiles(FCaption, Files); }

    private:
        TExpertUI &FUI;
        const QString &FCaption;
    } Questions(*FUI, Caption);
    Replacer->SetRestoreQuestions(&Questions);
    struct TDetach
    {
        TComponentReplacer *R;
        ~TDetach() { R->SetRestoreQuestions(nullptr); }
    } Detach{Replacer};

    if (Replacer->PerformRestore(UndoFile)) {
        FUI->MessageBox(RExpertRes::sRestoreSucceeded, Caption, TMessageIcon::Information);
        return TExpertOutcome::Succeeded;
    }
    const TRestoreReport &Report = Replacer->RestoreReport();
    QString Text = RExpertRes::sRestoreFailed;
    for (const QString &Error : Report.Errors)
        Text += u'\n' + Error;
    if (!Report.LeftChanged.isEmpty())
        Text += QStringLiteral("\nLeft alone, changed since the conversion:\n  ") + Report.LeftChanged.join(QStringLiteral("\n  "));
    if (!Report.LeftMissing.isEmpty())
        Text += QStringLiteral("\nNot created, no longer there:\n  ") + Report.LeftMissing.join(QStringLiteral("\n  "));
    FUI->MessageBox(Text, Caption, TMessageIcon::Error);
    return TExpertOutcome::Failed;
}
