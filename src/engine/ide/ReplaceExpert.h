// TCompReplaceExpert: the replace and restore operations as the user starts
// them, carried out together with the IDE: confirm, save the project, bring
// the code editors to the front, run the replacer, reload the project's units
// or close and reopen the project, and report the outcome in a message box.
//
// The expert talks to the user only through TExpertUI, so the same operations
// serve the command line (plain terminal output) and the wizard dialog. It
// owns the list of replacers, not the replacers themselves.
#pragma once

#include <QString>
#include <QStringList>
#include <vector>

class TComponentReplacer;

enum class TMessageIcon { Information, Error };

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
};

// What came of an operation; the message box has told the user already.
enum class TExpertOutcome {
    Cancelled,  // the user said no: nothing ran, nothing was shown
    NotStarted, // the project could not be saved
    Failed,     // the replacer reported failure
    Succeeded,
};

class TCompReplaceExpert
{
public:
    // ComponentReplacer becomes the default replacer (entry 0). ProductName
    // is kept with any "&" in it. UI is not owned and must outlive the expert.
    TCompReplaceExpert(const QString &ProductName, TComponentReplacer *ComponentReplacer, TExpertUI *UI);

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

private:
    QString FProductName;
    std::vector<TComponentReplacer *> FReplacers;
    TExpertUI *FUI;
};
