// migwiz: the command line of the migration wizard (see Cli.h).
#include "Cli.h"

#include <QCoreApplication>
#include <QTextStream>

int main(int argc, char **argv)
{
    QCoreApplication App(argc, argv);
    QTextStream Out(stdout), Err(stderr);
    return runCli(App.arguments().mid(1), Out, Err);
}
