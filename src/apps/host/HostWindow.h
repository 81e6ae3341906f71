// THostWindow: a small desktop stand-in for the IDE. It opens a Delphi
// project (.dpr or .dproj), lists its modules, shows the selected unit as it
// is on disk, builds its menu bar from the IDE's menu model, and loads the
// wizard plug-in through its entry point INITWIZARD0001, handing it these
// IDE services. The plug-in's product menu with "&Migration Wizard" then
// appears where AddWizard puts it.
#pragma once

#include "IDEUtils.h"
#include "ProjectIde.h"
#include "WizardIntf.h"

#include <QLibrary>
#include <QMainWindow>

#include <memory>
#include <vector>

class QDockWidget;
class QLabel;
class QListWidget;
class TReportView;
class QPlainTextEdit;
class QSplitter;

class THostWindow : public QMainWindow, public TIDEServices
{
    Q_OBJECT

public:
    explicit THostWindow(QWidget *Parent = nullptr);
    // The registered wizards go first, while the library that made them is
    // still loaded.
    ~THostWindow() override;

    // The plug-in beside the host's executable.
    static QString DefaultPluginPath();
    // Loads the library, calls its INITWIZARD0001 with these services and
    // rebuilds the menu bar. False, with the reason in the status line, when
    // the library or its entry point cannot be found.
    bool LoadPlugin(const QString &Path);
    const std::vector<std::unique_ptr<IOTAWizard>> &Wizards() const { return FWizards; }

    // File menu.
    void OpenProjectDialog();
    void CloseProjectClick();

    // The menu bar anew from the menu model.
    void RebuildMenuBar();
    // The menu bar's action for the model's item of that component name.
    QAction *MenuAction(const QString &Name) const;

    QListWidget *ModuleList() const { return FModuleList; }
    QPlainTextEdit *UnitView() const { return FUnitView; }
    // The file shown in the unit view.
    const QString &ShownFile() const { return FShownFile; }
    // Shows the file of that full path, as it is on disk (a binary form as
    // its text).
    void ShowFile(const QString &Path);
    // Shows the file with the cursor on that line (one-based; 0: the top).
    void ShowFileAtLine(const QString &Path, int Line);

    // View menu: the report of work left in a dock below the unit view.
    TReportView *ReportView() const { return FReportView; }
    QDockWidget *ReportDock() const { return FReportDock; }
    // Reads a JSON report (`migwiz replace --report`) into the report view
    // and shows it; false, with the reason said, when it cannot be read.
    bool OpenReportFile(const QString &Path);
    void OpenReportDialog();

    // TIDEServices
    bool IsProjectGroupOpen() const override { return FProject.IsProjectGroupOpen(); }
    QString ActiveProjectFileName() const override { return FProject.ActiveProjectFileName(); }
    int ModuleCount() const override { return FProject.ModuleCount(); }
    QString ModuleFileName(int Index) const override { return FProject.ModuleFileName(Index); }
    bool SaveProject() override;
    bool CloseProjectGroup() override;
    bool OpenProject(const QString &ProjName) override;
    bool ReloadFile(const QString &FileName) override;
    void ShowProjectCodeEditors() override;
    TZuMainMenu &MainMenu() override { return FMainMenu; }
    // The wizard's result box hands its report here.
    bool ShowWorkReport(const QByteArray &Json) override;

private:
    void BuildMainMenuModel();
    void RefreshProject();
    void ClickItem(TZuMenuItem *Item);
    void Status(const QString &Text);
    static bool RegisterWizard(IOTAWizard *Wizard);

    TProjectFileIde FProject;
    TZuMainMenu FMainMenu;
    QListWidget *FModuleList;
    QPlainTextEdit *FUnitView;
    QSplitter *FSplitter;
    TReportView *FReportView;
    QDockWidget *FReportDock;
    QString FShownFile;
    QLibrary FLibrary;
    TWizardTerminateProc FTerminate = nullptr;
    std::vector<std::unique_ptr<IOTAWizard>> FWizards;
    // The host whose plug-in is being initialised, for the registration
    // callback (a plain function).
    static THostWindow *FLoading;
};
