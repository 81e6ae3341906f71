// TFakeIde: scripted IDE services for tests. The test sets the project, its
// modules and the answers of save, close, open and reload; every order is
// recorded in Calls, in the order it came, as "SaveProject",
// "CloseProjectGroup", "OpenProject(<name>)", "ReloadFile(<name>)" and
// "ShowProjectCodeEditors".
#pragma once

#include "IDEUtils.h"

#include <QStringList>
#include <functional>

class TFakeIde : public TIDEServices
{
public:
    // The state of the IDE: a project group is open when GroupOpen is set;
    // ProjectName is the active project (empty: none).
    bool GroupOpen = false;
    QString ProjectName;
    QStringList Modules;

    // Answers of the orders.
    bool SaveResult = true;
    bool CloseResult = true;
    bool OpenResult = true;
    bool ReloadResult = true;

    // Closing (with CloseResult) empties the project group; opening (with
    // OpenResult and a non-empty name) makes the named project active with
    // the modules given here.
    QStringList ModulesOnOpen;
    // Runs on every order after it is recorded, for tests that need more.
    std::function<void(const QString &Call)> OnCall;

    QStringList Calls;
    TZuMainMenu Menu;

    // Opens a project group holding the named project and modules.
    void SetProject(const QString &Name, const QStringList &ProjectModules);

    bool IsProjectGroupOpen() const override { return GroupOpen; }
    QString ActiveProjectFileName() const override { return ProjectName; }
    int ModuleCount() const override { return int(Modules.size()); }
    QString ModuleFileName(int Index) const override;
    bool SaveProject() override;
    bool CloseProjectGroup() override;
    bool OpenProject(const QString &ProjName) override;
    bool ReloadFile(const QString &FileName) override;
    void ShowProjectCodeEditors() override;
    TZuMainMenu &MainMenu() override { return Menu; }

private:
    void record(const QString &Call);
};
