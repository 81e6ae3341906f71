// TWizardForm: the modal dialog that collects what the user wants, in five
// steps for a replace (mode, location, units or folder, options, summary) or
// three for a restore (mode, undo file, summary), on the pages of one page
// control whose tabs are hidden. It checks each step before moving on, shows
// a summary, and on Finish writes the choices into the shared options. It
// runs nothing itself: the expert reads the mode after the dialog closed.
//
// The components are public and carry their names as objectName, so that the
// product's form and the tests reach them as the form resource names them.
#pragma once

#include "FamilyScan.h"
#include "FontFit.h"
#include "WizardIntf.h"

#include <QDialog>

class QAction;
class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;
class QScrollArea;
class QStackedWidget;
class QWidget;

class TWizardForm : public QDialog, public TWizardDialog
{
    Q_OBJECT

public:
    explicit TWizardForm(QWidget *Parent = nullptr);
    ~TWizardForm() override;

    // The filter of the undo-file open dialog.
    static const QString OpenDialogFilter;
    // The most entries a folder history keeps.
    static constexpr int MaxHistory = 10;

    const QString &ProductName() const { return FProductName; }
    TReplaceOptions *ReplaceOptions() const { return FReplaceOptions; }
    const QString &ProjectName() const { return FProjectName; }
    bool BackupDirModified() const { return FBackupDirModified; }
    // 1 on the first page, 2 on either second page, 3 on either third page,
    // 4 on the options page; the final page is 3 in restore mode, else 5.
    int CurStep() const;
    // 3 in restore mode, else the page count less 2 (5).
    int StepCount() const;
    bool IsRestoreMode() const;
    // The base of relative backup folders: the project's folder in project
    // mode, otherwise the target folder.
    QString BaseFolder() const;
    // The backup folder typed, when it is absolute; otherwise joined to the
    // base folder (an empty entry gives the base with a trailing separator).
    QString EffectiveBackupDir() const;
    // Adds Text as the newest entry of a history: nothing when it is empty
    // or already an entry (letter case ignored); the oldest entry goes when
    // there are more than MaxHistory.
    static void AddToHistory(QComboBox *Combo, const QString &Text);

    // TWizardDialog
    void SetProductName(const QString &ProductName) override { FProductName = ProductName; }
    void SetReplaceOptions(TReplaceOptions *ReplaceOptions) override { FReplaceOptions = ReplaceOptions; }
    void SetLabel2Caption(const QString &ASourceName, const QString &AProductName) override;
    void SetReplaceModeCaption(const QString &Caption) override;
    void SetReplacers(const std::vector<const TComponentReplacer *> &Replacers) override { FReplacers = Replacers; }
    const std::vector<const TComponentReplacer *> &Replacers() const { return FReplacers; }
    // Position, the two histories, the mode and the last undo file.
    void LoadState(TRegIniFile &IniFile, const QString &Section) override;
    void SaveState(TRegIniFile &IniFile, const QString &Section) override;
    bool ShowModal() override;
    // 100 when restore is chosen, else 0.
    int GetWizardMode() override;
    QString UndoFileName() const override;

    virtual void BuildRestoreSummary();
    // The summary, and below it under its own heading what the run will
    // meet (see CheckReplaceRun); a check that would stop the run keeps
    // Finish disabled and says why.
    virtual void BuildReplaceSummary();
    // Why Finish stays disabled on the summary page; empty when it may run.
    const QString &StopReason() const { return FStopReason; }
    // The full paths of the project's .pas units; of the ticked ones only
    // when OnlyChecked.
    QStringList ProjectUnitPaths(bool OnlyChecked) const;
    // The position of the source set whose paired objects the forms of the
    // destination (the project's units, or the stored folder) hold most of;
    // -1 when they hold none or no replacers were given.
    int DetectFamily() const;
    // Called with each form that the family detection or the summary's
    // checks read; both run under the busy cursor.
    TFormScanHook OnScanForm;
    // Empty: no product here names connection-definition or driver files.
    virtual QString GetConnectionDefFileName();
    virtual QString GetDriverConfFileName();

    // Event handlers, as the form binds them.
    virtual void FormShow();
    void FormClose();
    // Both mode buttons: the steps and the caption follow the mode.
    virtual void rbModeReplaceClick();
    void btRestoreBrowseClick();
    void btSelectClick();
    void btDeselectClick();
    void btBrowseFolderClick();
    void btBrowseBackFolderClick();
    void cbBackupDirChange();
    void actMakeBackupExecute() {}
    void actMakeBackupUpdate();
    void actFinishExecute();
    void actFinishUpdate();
    void actNextExecute();
    void actNextUpdate();
    void actBackExecute();
    void actBackUpdate();
    void actWriteLogExecute() {}
    void actWriteLogUpdate();
    // Runs every Update handler: whenever something they depend on changed.
    void UpdateActions();
    // "<product> Migration Wizard - Step <n> of <count>".
    void UpdateCaption();
    // Scales the dialog so that every text fits in the font it is shown in
    // (see TFontFit); runs when the dialog is shown and when a caption
    // changes while it is.
    void FitToFont();
    double ScaleFactor() const { return FFit.Factor(); }

    // Components.
    QFrame *Bevel1;
    QLabel *Image1;
    QStackedWidget *StepsPageControl;
    QFrame *Bevel2;
    QPushButton *btPrev;
    QPushButton *btNext;
    QPushButton *btFinish;
    QPushButton *btCancel;

    QWidget *Step1Sheet;
    QLabel *Label1;
    QLabel *Label2;
    QLabel *Label11;
    QRadioButton *rbModeReplace;
    QRadioButton *rbModeRestore;

    QWidget *Step2RestoreSheet;
    QLabel *lUndo;
    QLineEdit *edUndoFile;
    QPushButton *btRestoreBrowse;
    QLabel *Label5;

    QWidget *Step2ReplaceSheet;
    QRadioButton *rbDestProject;
    QRadioButton *rbDestFolder;
    QLabel *Label7;

    QWidget *Step3ProjSheet;
    QListWidget *lbModules;
    QPushButton *btSelect;
    QPushButton *btDeselect;

    QWidget *Step3DirSheet;
    QLabel *lSource;
    QComboBox *cbDirectory;
    QPushButton *btBrowseFolder;
    QCheckBox *chSubDirs;

    QWidget *Step4Sheet;
    QCheckBox *chMakeBackup;
    QLabel *lBackupFolder;
    QComboBox *cbBackupDir;
    QPushButton *btBrowseBackFolder;
    QCheckBox *chWriteLog;
    QLabel *lblLogNote;
    QCheckBox *chViewLog;
    QCheckBox *chRenameMembers;

    QWidget *FinalStepSheet;
    QLabel *Label15;
    QLabel *Label14;
    QScrollArea *sbSummary;
    QLabel *lSummary;
    QLabel *lChecksTitle;
    QLabel *lChecks;

    QObject *ActionList1;
    QAction *actMakeBackup;
    QAction *actFinish;
    QAction *actNext;
    QAction *actBack;
    QAction *actWriteLog;

protected:
    void showEvent(QShowEvent *Event) override;
    // Every way the dialog closes (Finish, Cancel, Esc, close box) passes
    // here; FormClose runs before the window goes.
    void done(int Result) override;
    // The picture of the left panel; the product supplies its own.
    virtual QPixmap Picture() const;
    // Puts Picture() into Image1; the product's constructor calls it again.
    void LoadPicture();

private:
    void FillUnitList();
    void DefaultBackupDir();
    void ShowPage(QWidget *Page);
    void InsertModuleSorted(const QString &Name);
    void SetAllChecked(bool Checked);
    bool AnyUnitChecked() const;
    // Enter presses Next on the steps and Finish on the last page.
    void UpdateDefaultButton();
    void FocusFirstControl(QWidget *Page);
    // Puts Text into a label of the summary's scroll box, a path too long
    // for the box elided in the middle (the whole text in the tool tip):
    // the box never scrolls sideways.
    void SetSummaryText(QLabel *Label, const QString &Text);
    // Where a folder browser starts: the typed folder, or the nearest folder
    // above it that exists.
    static QString BrowseStart(const QString &Typed);

    QString FProjectName;
    QString FProductName;
    TReplaceOptions *FReplaceOptions = nullptr;
    bool FBackupDirModified = false;
    std::vector<const TComponentReplacer *> FReplacers;
    QString FStopReason;
    TFontFit FFit{this};
};
