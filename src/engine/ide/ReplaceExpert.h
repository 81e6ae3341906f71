// TCompReplaceExpert: the replace and restore operations as the user starts
// them, carried out together with the IDE: confirm, save the project, bring
// the code editors to the front, run the replacer, reload the project's units
// or close and reopen the project, and report the outcome in a message box.
//
// The expert talks to the user only through TExpertUI, so the same operations
// serve the command line (plain terminal output) and the wizard dialog. It
// owns the list of replacers, not the replacers themselves.
//
// In the IDE the expert is also the add-in that the IDE registers: it puts
// "&Migration Wizard" under the product's menu, and a click on that item
// shows the wizard dialog, runs what the user chose and keeps the options and
// the dialog's state (the desktop) in the registry.
#pragma once

#include "WizardIntf.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <array>
#include <memory>
#include <vector>

class TComponentReplacer;
class TZuMenuItem;
struct TZuProductMenu;

enum class TMessageIcon { Information, Error };

// What a replace run that put its converted files in place leaves for its
// result box beyond the message.
struct TReplaceResult
{
    int FilesChanged = 0;
    int ObjectsRecreated = 0;
    // Items of the report of work left, by consequence (TConsequence order:
    // will not compile, will not load, behaves differently, information).
    std::array<int, 4> Items{};
    QString LogPath;       // empty without a log
    QString ReportPath;    // Wiz_Report.txt beside the log; empty without
    QByteArray ReportJson; // the report as JSON, for a report view
    // Said when the run found nothing of its family to convert, e.g. "No
    // IBX components were found; the project uses BDE components."
    QString Notice;

    // "3 files changed, 12 objects re-created." and the report items by
    // consequence, one line each, after the notice.
    QString Details() const;
};

// How the user is asked and told.
class TExpertUI
{
public:
    virtual ~TExpertUI() = default;
    // A message box with an OK button only.
    virtual void MessageBox(const QString &Text, const QString &Caption, TMessageIcon Icon) = 0;
    // Asks before the project is saved (ProjectMode) or closed (Restore);
    // true when the operation may go on.
    virtual bool ConfirmAction(const QString &Caption, bool ProjectMode, const QString &ProductName, bool Restore) = 0;

    // Asked by the restore about originals that were changed after the
    // conversion (their contents are neither what the run wrote nor the
    // original): true overwrites them with their backups. The default
    // leaves them alone; the restore then names them.
    virtual bool OverwriteChangedFiles(const QString & /*Caption*/, const QStringList & /*Files*/) { return false; }
    // Asked by the restore about originals that no longer exist: true
    // creates them from their backups. The default creates nothing; the
    // restore then names them.
    virtual bool CreateMissingFiles(const QString & /*Caption*/, const QStringList & /*Files*/) { return false; }
    // The outcome of a replace run that put its files in place: Text is the
    // message ("Replace procedure was performed sucessfully."). The default
    // shows the message with the notice, if any, in a message box.
    virtual void ReplaceResult(const QString &Text, const QString &Caption, const TReplaceResult &Result);
    // Whether ReplaceResult shows the report in a view: only then is the
    // report's JSON (TReplaceResult::ReportJson) built.
    virtual bool ShowsReportView() const { return true; }
};

// What came of an operation; the message box has told the user already.
enum class TExpertOutcome {
    Cancelled,  // the user said no: nothing ran, nothing was shown
    NotStarted, // the project could not be saved
    Failed,     // the replacer reported failure
    Succeeded,
};

class TCompReplaceExpert : public IOTAWizard
{
public:
    // ComponentReplacer becomes the default replacer (entry 0). ProductName
    // is kept with any "&" in it. UI is not owned and must outlive the expert.
    // This expert has no menu item and no dialog (the command line's).
    TCompReplaceExpert(const QString &ProductName, TComponentReplacer *ComponentReplacer, TExpertUI *UI);
    // The IDE's expert: as above, and puts the item "&Migration Wizard"
    // (component name: MenuItemName()) under the product menu that
    // WizardMenu describes, with ShowWizard as its click handler. The
    // dialogs come from WizardFormClass.
    TCompReplaceExpert(TWizardFormClass WizardFormClass, const QString &ProductName,
                       const TZuProductMenu &WizardMenu, TComponentReplacer *ComponentReplacer, TExpertUI *UI);
    // The menu item stays in the IDE's menu; a click on it after this does
    // nothing.
    ~TCompReplaceExpert() override;

    TCompReplaceExpert(const TCompReplaceExpert &) = delete;
    TCompReplaceExpert &operator=(const TCompReplaceExpert &) = delete;

    const QString &ProductName() const { return FProductName; }
    void RegisterReplacer(TComponentReplacer *ComponentReplacer);
    int ReplacerCount() const { return int(FReplacers.size()); }
    // 0 <= ReplacerIndex < ReplacerCount(), else an assertion failure.
    TComponentReplacer *GetReplacer(int ReplacerIndex) const;
    TComponentReplacer *GetDefaultReplacer() const;

    // Converts with ComponentReplacer as its options say. In project mode
    // (with a project open) the user confirms first; the project is saved
    // before and its .pas units are reloaded after a successful run. Errors
    // that stop the run (EMigError) propagate without a message box; a
    // failed run names, after "Replace failed.", the files and reasons.
    TExpertOutcome PerformReplace(TComponentReplacer &ComponentReplacer);
    // Copies the backups of UndoFile back with the default replacer. The
    // project is closed before and reopened after, also after a failure.
    // Files changed since the conversion and originals that no longer exist
    // are put to the user (TExpertUI); those left alone are named after the
    // outcome, which is then a failure.
    TExpertOutcome PerformRestore(const QString &UndoFile);

    // The click on the menu item: shows the wizard dialog with the desktop
    // loaded; after Finish runs the restore (mode 100) or the replace with
    // the replacer at the mode's position, then saves the desktop. A
    // cancelled dialog runs nothing and writes nothing. An error that stops
    // a run is shown in the wizard's own error box, after "Replace failed."
    // or "Failed to restore files.", and the desktop is saved as after any
    // failure.
    void ShowWizard(TZuMenuItem *Sender);
    // The options of the default replacer and the state of the dialog being
    // shown (when there is one), in the registry section named by the
    // options' Caption under RegistryKey().
    void LoadDesktop();
    void SaveDesktop();

    // "Software\Halvane\" followed by the product name as given.
    QString RegistryKey() const;
    // "RExpertItem", the default source name with "/" as "_", the product
    // name without ampersands.
    QString MenuItemName() const;

    // What the IDE asks of its add-ins. The notifier events and Execute do
    // nothing: the user reaches the wizard through the menu item only.
    void AfterSave() override {}
    void BeforeSave() override {}
    void Destroyed() override {}
    void Modified() override {}
    // "Halvane.<default source name>MigrationWizard.<product name>".
    QString GetIDString() const override;
    // The Caption of the default replacer's options.
    QString GetName() const override;
    // The registered replacers, by position.
    std::vector<const TComponentReplacer *> Replacers() const;
    TWizardState GetState() const override { return TWizardState{}; }
    void Execute() override {}

private:
    // What the finished run leaves for its result box.
    TReplaceResult ResultOf(TComponentReplacer &Replacer) const;
    // "No IBX components were found; ..." when the run changed no file and
    // the forms of its files hold no object of its family; otherwise empty.
    QString FamilyNotice(const TComponentReplacer &Replacer) const;

    QString FProductName;
    TWizardFormClass FWizardFormClass;
    std::vector<TComponentReplacer *> FReplacers;
    TExpertUI *FUI;
    // The dialog of the click in progress, so that the desktop reaches it.
    TWizardDialog *FWizardForm = nullptr;
    // The menu item's handler holds a weak reference to this, so a click
    // that comes after the expert is gone does nothing.
    std::shared_ptr<TCompReplaceExpert *> FSelf;
};
