// The expert's user interface in Qt Widgets: its message boxes (the options'
// Caption as title, the information or error icon, an OK button) and its
// confirmation dialog; and the progress of a run as the desktop shows it: a
// busy cursor while the run works, and the log opened with the desktop's
// program for it when the user asked to view it.
#pragma once

#include "BusyCursor.h"
#include "ReplaceExpert.h"
#include "Replacer.h"

#include <optional>

class TQtExpertUI : public TExpertUI
{
public:
    void MessageBox(const QString &Text, const QString &Caption, TMessageIcon Icon) override;
    bool ConfirmAction(const QString &Caption, bool ProjectMode, const QString &ProductName, bool Restore) override;
    // The restore's questions, as Yes/No boxes that name the files.
    bool OverwriteChangedFiles(const QString &Caption, const QStringList &Files) override;
    bool CreateMissingFiles(const QString &Caption, const QStringList &Files) override;
    // The message, the notice and the counts, with buttons that open the
    // report (in the IDE's report view, else with the desktop's program) and
    // the log; what cannot be opened is said in a box of its own.
    void ReplaceResult(const QString &Text, const QString &Caption, const TReplaceResult &Result) override;
};

// The texts of the result box's buttons.
inline const QString sOpenReport = QStringLiteral("Open &Report");
inline const QString sOpenLog = QStringLiteral("Open &Log");

class TQtReplaceProgress : public TReplaceProgress
{
public:
    // The title of the box that says the log could not be opened.
    void SetCaption(const QString &Caption) { FCaption = Caption; }
    void StartWait() override;
    void StopWait() override;
    // Opens the log with the desktop's program for it; says so when none can.
    void ViewLog(const QString &Path) override;

private:
    QString FCaption;
    std::optional<TBusyCursor> FBusy;
};

// Opens a file with the desktop's program for it; when none can, says so in
// a box titled Caption ("Cannot open the log ...": What names the file).
void OpenOrSay(const QString &Path, const QString &What, const QString &Caption);
