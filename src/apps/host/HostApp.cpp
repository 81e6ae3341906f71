#include "HostApp.h"

#include "HostWindow.h"

#include <QApplication>
#include <QCommandLineParser>

namespace {

// The host's options, in one place for the parser and the help text.
struct THostParser
{
    QCommandLineParser Parser;
    QCommandLineOption Help = Parser.addHelpOption();
    QCommandLineOption Plugin{QStringLiteral("plugin"), QStringLiteral("The wizard library to load."),
                              QStringLiteral("LIBRARY"), THostWindow::DefaultPluginPath()};
    QCommandLineOption Report{QStringLiteral("report"),
                              QStringLiteral("A report of work left (migwiz replace --report) to show."),
                              QStringLiteral("FILE.json")};

    THostParser()
    {
        Parser.setApplicationDescription(QStringLiteral("Stands in for the Delphi IDE and runs the migration wizard."));
        Parser.addOption(Plugin);
        Parser.addOption(Report);
        Parser.addPositionalArgument(QStringLiteral("PROJECT"), QStringLiteral("A .dpr or .dproj to open."),
                                     QStringLiteral("[PROJECT]"));
    }
};

} // namespace

void SetUpHostApplication()
{
    QApplication::setApplicationName(QStringLiteral("Delphi IDE stand-in"));
}

THostArguments ParseHostArguments(const QStringList &Arguments)
{
    THostParser P;
    THostArguments Result;
    if (!P.Parser.parse(Arguments)) {
        Result.Error = P.Parser.errorText();
        return Result;
    }
    Result.Help = P.Parser.isSet(P.Help);
    Result.Plugin = P.Parser.value(P.Plugin);
    Result.Report = P.Parser.value(P.Report);
    const QStringList Positional = P.Parser.positionalArguments();
    if (Positional.size() > 1)
        Result.Error = QStringLiteral("Unexpected argument '%1': the host opens one project.").arg(Positional.at(1));
    else if (!Positional.isEmpty())
        Result.Project = Positional.constFirst();
    return Result;
}

QString HostUsage()
{
    return THostParser().Parser.helpText();
}

bool ApplyHostArguments(THostWindow &Window, const THostArguments &Arguments)
{
    bool Done = Window.LoadPlugin(Arguments.Plugin);
    if (!Arguments.Project.isEmpty())
        Done = Window.OpenProject(Arguments.Project) && Done;
    if (!Arguments.Report.isEmpty())
        Done = Window.OpenReportFile(Arguments.Report) && Done;
    return Done;
}
