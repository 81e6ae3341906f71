// The expert's user interface in Qt Widgets: its message boxes (the options'
// Caption as title, the information or error icon, an OK button) and its
// confirmation dialog; and the progress of a run as the desktop shows it: a
// busy cursor while the run works, and the log opened with the desktop's
// program for it when the user asked to view it.
#pragma once

#include "ReplaceExpert.h"
#include "Replacer.h"

class TQtExpertUI : public TExpertUI
{
public:
    void MessageBox(const QString &Text, const QString &Caption, TMessageIcon Icon) override;
    bool ConfirmAction(const QString &Caption, bool ProjectMode, const QString &ProductName, bool Restore) override;
    // The restore's questions, as Yes/No boxes that name the files.
    bool OverwriteChangedFiles(const QString &Caption, const QStringList &Files) override;
    bool CreateMissingFiles(const QString &Caption, const QStringList &Files) override;
};

class TQtReplaceProgress : public TReplaceProgress
{
public:
    void StartWait() override;
    void StopWait() override;
    void ViewLog(const QString &Path) override;
};
