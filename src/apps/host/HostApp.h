// How the host program starts, apart from main() so that the tests run the
// same code: the application's names, and the command line
// `host [--plugin LIBRARY] [--report FILE.json] [PROJECT]` read into
// THostArguments and then applied to a host window.
#pragma once

#include <QString>
#include <QStringList>

class THostWindow;

struct THostArguments
{
    QString Plugin;  // the wizard library
    QString Project; // a .dpr or .dproj to open; empty: none
    QString Report;  // a JSON report of work left to show; empty: none
    bool Help = false;
    QString Error; // why the command line was refused; empty when it was not
};

// Names the application, without a display name: Qt appends a display name
// to every window's title, and the wizard's titles are its own ("Orvex
// Migration Wizard - Step 3 of 5"). Boxes of the host still name it through
// the application's name.
void SetUpHostApplication();

// Reads a command line (Arguments[0]: the program). An unknown option, an
// option without its value or a second project is refused in Error.
THostArguments ParseHostArguments(const QStringList &Arguments);

// What --help prints.
QString HostUsage();

// Loads the plug-in, opens the project, then shows the report. False when
// one of them failed; each says why (the plug-in and the project in the
// status line, the report in a box that names the file).
bool ApplyHostArguments(THostWindow &Window, const THostArguments &Arguments);
