// host [--plugin LIBRARY] [--report FILE.json] [PROJECT]: the IDE stand-in.
// It loads the wizard plug-in (by default the one beside this program),
// opens PROJECT and shows the report of work left in FILE.json.
#include "HostApp.h"
#include "HostWindow.h"

#include <QApplication>

#include <cstdio>

int main(int argc, char **argv)
{
    // --help needs no display.
    for (int I = 1; I < argc; ++I)
        if (qstrcmp(argv[I], "--help") == 0 || qstrcmp(argv[I], "-h") == 0)
            qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication App(argc, argv);
    SetUpHostApplication();
    const THostArguments Arguments = ParseHostArguments(QApplication::arguments());
    if (!Arguments.Error.isEmpty()) {
        std::fprintf(stderr, "host: %s\n\n%s", qPrintable(Arguments.Error), qPrintable(HostUsage()));
        return 1;
    }
    if (Arguments.Help) {
        std::fputs(qPrintable(HostUsage()), stdout);
        return 0;
    }
    THostWindow Window;
    Window.show();
    ApplyHostArguments(Window, Arguments);
    return App.exec();
}
