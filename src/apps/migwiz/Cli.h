// The migwiz command line: replace (project or folder mode) and restore, run
// through the same expert operations as the wizard, with the project-file IDE
// standing in for the Delphi IDE. Everything it prints goes to the two given
// streams, so the whole command line runs in-process in tests.
#pragma once

#include <QStringList>

class QTextStream;

// Exit statuses of migwiz.
enum TCliStatus : int {
    csSuccess = 0,
    csFailed = 1,     // the operation ran and reported failure
    csUsageError = 2, // bad arguments, or a project, folder or undo file that does not exist
    csStopped = 3,    // an error stopped the run; nothing was overwritten
};

// Runs migwiz with Args (without the program name). Messages and paths go to
// Out, errors to Err; ShowProgress adds "[i/n] path" lines on Err while a
// replace works.
int runCli(const QStringList &Args, QTextStream &Out, QTextStream &Err, bool ShowProgress);

// The same, showing progress only when the process's stderr is a terminal.
int runCli(const QStringList &Args, QTextStream &Out, QTextStream &Err);
