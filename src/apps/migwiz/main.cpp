// migwiz: the command line of the migration wizard (see Cli.h).
#include "Cli.h"
#include "ReplaceRun.h"

#include <QCoreApplication>
#include <QTextStream>

int main(int argc, char **argv)
{
    QCoreApplication App(argc, argv);
    QTextStream Out(stdout), Err(stderr);
    // Ctrl+C and SIGTERM end a replace run as an error does: it removes
    // what it created and leaves every original untouched.
    TReplaceRun::StopOnSignals();
    return runCli(App.arguments().mid(1), Out, Err);
}
