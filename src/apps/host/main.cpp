// host [--plugin LIBRARY] [--report FILE.json] [PROJECT]: the IDE stand-in.
// It loads the wizard plug-in (by default the one beside this program),
// opens PROJECT and shows the report of work left in FILE.json.
#include "HostWindow.h"

#include <QApplication>
#include <QCommandLineParser>

int main(int argc, char **argv)
{
    // --help needs no display.
    for (int I = 1; I < argc; ++I)
        if (qstrcmp(argv[I], "--help") == 0 || qstrcmp(argv[I], "-h") == 0)
            qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication App(argc, argv);
    // A name, but no display name: the window system would append a display
    // name to every dialog's title, and the wizard's titles are its own.
    QApplication::setApplicationName(QStringLiteral("Delphi IDE stand-in"));
    QCommandLineParser Parser;
    Parser.setApplicationDescription(QStringLiteral("Stands in for the Delphi IDE and runs the migration wizard."));
    Parser.addHelpOption();
    QCommandLineOption Plugin(QStringLiteral("plugin"), QStringLiteral("The wizard library to load."),
                              QStringLiteral("LIBRARY"), THostWindow::DefaultPluginPath());
    Parser.addOption(Plugin);
    QCommandLineOption Report(QStringLiteral("report"),
                              QStringLiteral("A report of work left (migwiz replace --report) to show."),
                              QStringLiteral("FILE.json"));
    Parser.addOption(Report);
    Parser.addPositionalArgument(QStringLiteral("PROJECT"), QStringLiteral("A .dpr or .dproj to open."),
                                 QStringLiteral("[PROJECT]"));
    Parser.process(App);

    THostWindow Window;
    Window.show();
    Window.LoadPlugin(Parser.value(Plugin));
    if (!Parser.positionalArguments().isEmpty())
        Window.OpenProject(Parser.positionalArguments().constFirst());
    if (Parser.isSet(Report))
        Window.OpenReportFile(Parser.value(Report));
    return App.exec();
}
