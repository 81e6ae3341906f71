// The command line in-process: which arguments it refuses and with which
// status, what --help promises, how options become the run's settings (units,
// backup folder, log, code page), what it prints, and that a run leaves the
// process's code page as it found it.
#include "Cli.h"
#include "QtPrinters.h"
#include "TestFiles.h"

#include "ComponentStream.h"
#include "Replacer.h"
#include "TextCodec.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTextStream>

#include <optional>

namespace {

QByteArray bdeUnit(const char *Name)
{
    return QByteArray("unit ") + Name + ";\r\ninterface\r\nuses DB, DBTables;\r\nvar Q: TQuery;\r\nimplementation\r\nend.\r\n";
}

// Every file below Folder with its bytes, for "nothing changed" checks.
QMap<QString, QByteArray> snapshot(const QString &Folder)
{
    QMap<QString, QByteArray> Files;
    QDirIterator It(Folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (It.hasNext()) {
        const QString Path = It.next();
        Files.insert(QDir::toNativeSeparators(Path), ReadBytes(Path));
    }
    return Files;
}

class Cli : public ::testing::Test
{
protected:
    Cli()
    {
        WriteBytes(path("App/App.dpr"), "program App;\r\nuses Forms,\r\n  Main in 'Main.pas',\r\n"
                                        "  Util in 'Lib\\Util.pas';\r\nbegin\r\nend.\r\n");
        WriteBytes(path("App/Main.pas"), bdeUnit("Main"));
        WriteBytes(path("App/Lib/Util.pas"), bdeUnit("Util"));
    }

    QString path(const QString &Relative) const { return QDir::toNativeSeparators(Dir.filePath(Relative)); }
    QString path(const char *Relative) const { return path(QString::fromUtf8(Relative)); }

    int run(const QStringList &Args, bool Progress = false)
    {
        Out.clear();
        Err.clear();
        QTextStream OutStream(&Out), ErrStream(&Err);
        return runCli(Args, OutStream, ErrStream, Progress);
    }

    QTemporaryDir Dir;
    QString Out, Err;
};

} // namespace

TEST_F(Cli, UsageErrorsExitWithTwoAndTouchNothing)
{
    const QString Dpr = path("App/App.dpr");
    const QString Folder = path("App");
    struct Row
    {
        QStringList Args;
        const char *Message;
    };
    const Row Rows[] = {
        {{}, "no command given"},
        {{"convert"}, "unknown command \"convert\""},
        {{"replace", "--dir", Folder}, "replace needs --from"},
        {{"replace", "--from", "ado", "--dir", Folder}, "unknown source set \"ado\""},
        {{"replace", "--from", "bde"}, "either --project or --dir"},
        {{"replace", "--from", "bde", "--project", Dpr, "--dir", Folder}, "either --project or --dir"},
        {{"replace", "--from", "bde", "--dir", Folder, "--bogus"}, "unknown option --bogus"},
        {{"replace", "--dir", Folder, "--from"}, "--from needs a value"},
        {{"replace", "--from=", "--dir", Folder}, "--from needs a value"},
        {{"replace", "--from", "bde", "--from", "ibx", "--dir", Folder}, "--from is given twice"},
        {{"replace", "--from", "bde", "--dir", Folder, "--no-log=yes"}, "--no-log takes no value"},
        {{"replace", "--from", "bde", "--dir", Folder, "--units", "Main.pas"}, "--units goes with --project"},
        {{"replace", "--from", "bde", "--project", Dpr, "--subdirs"}, "--subdirs goes with --dir"},
        {{"replace", "--from", "bde", "--dir", Folder, "--no-backup", "--backup-dir", Folder}, "exclude each other"},
        {{"replace", "--from", "bde", "--dir", Folder, "--codepage", "klingon"}, "unknown code page \"klingon\""},
        {{"replace", "--from", "bde", "--project", path("App/None.dpr")}, "does not exist"},
        {{"replace", "--from", "bde", "--dir", path("Nowhere")}, "does not exist"},
        {{"replace", "--from", "bde", "--project", Dpr, "--units", "Main.pas,Other.pas"}, "\"Other.pas\" is not a unit"},
        {{"replace", "--from", "bde", "--project", Dpr, "--units", "Lib/Util.pas"}, "without folders"},
        {{"replace", "--from", "bde", "--project", Dpr, "--units", ","}, "--units names no unit"},
        {{"replace", "--from", "bde", "--dir", Folder, "extra"}, "unexpected argument \"extra\""},
        {{"replace", "--from", "bde", "--dir", Folder, "--report", path("None/r.json")}, "the folder of the report"},
        {{"replace", "--from", "bde", "--dir", Folder, "--dry-run", "--backup-dir", Folder}, "exclude each other"},
        {{"replace", "--from", "bde", "--dir", Folder, "--jobs", "0"}, "--jobs needs a whole number from 1 to 256"},
        {{"replace", "--from", "bde", "--dir", Folder, "--jobs", "two"}, "--jobs needs a whole number"},
        {{"replace", "--from", "bde", "--dir", Folder, "--jobs", "257"}, "--jobs needs a whole number from 1 to 256"},
        {{"restore", path("x.reu"), "--rename-members"}, "unknown option --rename-members"},
        {{"restore"}, "restore needs the undo file"},
        {{"restore", path("a.reu"), path("b.reu")}, "restore takes one undo file"},
        {{"restore", path("Missing.reu")}, "does not exist"},
        {{"restore", path("x.reu"), "--from", "bde"}, "unknown option --from"},
    };
    const auto Before = snapshot(Dir.path());
    for (const Row &R : Rows) {
        EXPECT_EQ(run(R.Args), 2) << R.Args.join(u' ').toStdString();
        EXPECT_TRUE(Err.contains(QString::fromUtf8(R.Message))) << Err.toStdString();
        EXPECT_TRUE(Err.contains(QStringLiteral("migwiz --help"))) << Err.toStdString();
        EXPECT_TRUE(Out.isEmpty()) << Out.toStdString();
    }
    EXPECT_EQ(snapshot(Dir.path()), Before);
}

TEST_F(Cli, HelpNamesEveryOptionDefaultFileAndStatus)
{
    EXPECT_EQ(run({"--help"}), 0);
    for (const char *Word : {"--from", "bde", "ibx", "fibplus", "--project", ".dproj", "--units", "--dir",
                             "--subdirs", "--backup-dir", "RBackup", "--no-backup", "--no-log", "--codepage",
                             "windows-1252", "restore", "RExpert.reu", "Wiz_Log.txt", "Main.~pas", "$DS",
                             "TMPDIR", "[i/n] path", "0  success", "1  the operation reported failure", "--rename-members",
                             "2  usage error", "3  an error stopped the run", "--force"})
        EXPECT_TRUE(Out.contains(QString::fromUtf8(Word))) << Word;
    EXPECT_TRUE(Err.isEmpty());

    EXPECT_EQ(run({"--version"}), 0);
    EXPECT_TRUE(Out.startsWith(QStringLiteral("migwiz "))) << Out.toStdString();
}

TEST_F(Cli, ProjectModeConvertsEveryUnitWithBackupAndLogBesideTheProject)
{
    EXPECT_EQ(run({"replace", "--from", "bde", "--project", path("App/App.dpr")}), 0) << Err.toStdString();
    EXPECT_EQ(Out, QStringLiteral("Replace procedure was performed sucessfully.\nLog: %1\nUndo file: %2\n"
                                  "0 items need manual work; see %3\n")
                       .arg(path("App/Wiz_Log.txt"), path("App/RBackup/RExpert.reu"), path("App/Wiz_Report.txt")));
    EXPECT_TRUE(Err.isEmpty()) << Err.toStdString();
    EXPECT_TRUE(ReadBytes(path("App/Main.pas")).contains("var Q: TOrxQuery;"));
    EXPECT_TRUE(ReadBytes(path("App/Lib/Util.pas")).contains("var Q: TOrxQuery;"));
    EXPECT_EQ(ReadBytes(path("App/RBackup/RExpert.reu")),
              (path("App/Main.pas") + u'=' + path("App/RBackup/Main.~pas") + QStringLiteral("\r\n")
               + path("App/Lib/Util.pas") + u'=' + path("App/RBackup/Util.~pas") + QStringLiteral("\r\n"))
                  .toUtf8());
}

TEST_F(Cli, UnitsOptionChoosesUnitsIgnoringLetterCase)
{
    EXPECT_EQ(run({"replace", "--from", "bde", "--project", path("App/App.dpr"), "--units", " UTIL.PAS "}), 0)
        << Err.toStdString();
    EXPECT_EQ(ReadBytes(path("App/Main.pas")), bdeUnit("Main"));
    EXPECT_TRUE(ReadBytes(path("App/Lib/Util.pas")).contains("TOrxQuery"));
}

// The members that the form rules rename are renamed in the code on
// request; a report file that cannot be written fails the run after the
// files are in place.
TEST_F(Cli, RenameMembersAndAReportThatCannotBeWritten)
{
    WriteBytes(path("App/Main.pas"), "unit Main;\r\ninterface\r\nuses DB, DBTables;\r\nvar Q: TQuery;\r\n"
                                     "implementation\r\nbegin\r\n  Q.DataSource := nil;\r\nend.\r\n");
    EXPECT_EQ(run({"replace", "--from", "bde", "--project", path("App/App.dpr"), "--rename-members", "--report",
                   path("App")}),
              1);
    EXPECT_TRUE(Err.contains(QStringLiteral("cannot write the report"))) << Err.toStdString();
    EXPECT_TRUE(ReadBytes(path("App/Main.pas")).contains("  Q.MasterSource := nil;\r\n"));
    EXPECT_TRUE(ReadBytes(path("App/Wiz_Report.txt")).contains("Members renamed in the code"));
}

TEST_F(Cli, DprojProjectAndOptionValuesAfterEquals)
{
    WriteBytes(path("App/App.dproj"), "<Project xmlns=\"http://schemas.microsoft.com/developer/msbuild/2003\">"
                                      "<ItemGroup><DCCReference Include=\"Lib\\Util.pas\"/>"
                                      "<DCCReference Include=\"rtl.dcp\"/></ItemGroup></Project>");
    EXPECT_EQ(run({"replace", "--from=BDE", "--project=" + path("App/App.dproj"), "--backup-dir=" + path("Saved"),
                   "--no-log", "--jobs=256"}),
              0)
        << Err.toStdString();
    EXPECT_EQ(ReadBytes(path("App/Main.pas")), bdeUnit("Main"));
    EXPECT_EQ(ReadBytes(path("Saved/Util.~pas")), bdeUnit("Util"));
    EXPECT_FALSE(QFileInfo::exists(path("App/Wiz_Log.txt")));
    EXPECT_FALSE(Out.contains(QStringLiteral("Log:")));
}

TEST_F(Cli, MalformedProjectFileStopsWithThree)
{
    WriteBytes(path("App/Bad.dproj"), "<Project><ItemGroup>");
    EXPECT_EQ(run({"replace", "--from", "bde", "--project", path("App/Bad.dproj")}), 3);
    EXPECT_TRUE(Err.contains(QStringLiteral("Malformed project file"))) << Err.toStdString();
    EXPECT_EQ(ReadBytes(path("App/Main.pas")), bdeUnit("Main"));
}

TEST_F(Cli, CodePageAppliesToTheRunAndIsPutBackAfterIt)
{
    const QString Before = TextCodec::AnsiCodePage();
    // The log names the files in the chosen code page.
    const QString Folder = path("Проект");
    WriteBytes(Folder + QStringLiteral("/Main.pas"), bdeUnit("Main"));
    EXPECT_EQ(run({"replace", "--from", "bde", "--dir", Folder, "--codepage", "windows-1251"}), 0)
        << Err.toStdString();
    EXPECT_TRUE(ReadBytes(Folder + QStringLiteral("/Wiz_Log.txt"))
                    .contains("Processing file: "
                              + path("@/Main.pas").toUtf8().replace("@", "\xCF\xF0\xEE\xE5\xEA\xF2")));
    EXPECT_EQ(TextCodec::AnsiCodePage(), Before);
    EXPECT_EQ(run({"restore", Folder + QStringLiteral("/RBackup/RExpert.reu"), "--codepage", "windows-1251"}), 0)
        << Err.toStdString();
    EXPECT_EQ(ReadBytes(Folder + QStringLiteral("/Main.pas")), bdeUnit("Main"));
    EXPECT_EQ(TextCodec::AnsiCodePage(), Before);
}

TEST_F(Cli, ProgressListsEachFileOnlyWhenAsked)
{
    const QString Folder = path("App");
    EXPECT_EQ(run({"replace", "--from", "bde", "--dir", Folder, "--subdirs", "--no-backup"}, true), 0);
    EXPECT_EQ(Err, QStringLiteral("[1/3] %1\n[2/3] %2\n[3/3] %3\n")
                       .arg(path("App/App.dpr"), path("App/Lib/Util.pas"), path("App/Main.pas")));
    EXPECT_EQ(run({"replace", "--from", "bde", "--dir", Folder, "--no-backup"}, false), 0);
    EXPECT_TRUE(Err.isEmpty()) << Err.toStdString();
}

TEST_F(Cli, RestoreReportsItsOutcome)
{
    ASSERT_EQ(run({"replace", "--from", "bde", "--dir", path("App")}), 0) << Err.toStdString();
    const QString Undo = path("App/RBackup/RExpert.reu");
    EXPECT_EQ(run({"restore", Undo}), 0);
    EXPECT_EQ(Out, QStringLiteral("Files were succefully restored.\n"));
    EXPECT_EQ(ReadBytes(path("App/Main.pas")), bdeUnit("Main"));

    WriteBytes(path("App/Empty.reu"), QByteArray());
    EXPECT_EQ(run({"restore", path("App/Empty.reu")}), 1);
    EXPECT_TRUE(Out.isEmpty());
    EXPECT_EQ(Err, QStringLiteral("Failed to restore files.\nThe undo file \"%1\" lists no file: its run changed "
                                  "nothing, so there is nothing to restore.\n").arg(path("App/Empty.reu")));

    // A file edited since the conversion is left alone and named, unless
    // --force is given.
    QFile::remove(Undo);
    ASSERT_EQ(run({"replace", "--from", "bde", "--dir", path("App")}), 0) << Err.toStdString();
    WriteBytes(path("App/Main.pas"), "edited");
    EXPECT_EQ(run({"restore", Undo}), 1);
    EXPECT_TRUE(Err.startsWith(QStringLiteral("Failed to restore files.\n")) && Err.contains(path("App/Main.pas")))
        << Err.toStdString();
    EXPECT_EQ(ReadBytes(path("App/Main.pas")), QByteArray("edited"));
    EXPECT_EQ(run({"restore", "--force", Undo}), 0) << Err.toStdString();
    EXPECT_EQ(ReadBytes(path("App/Main.pas")), bdeUnit("Main"));
    EXPECT_EQ(run({"replace", "--force", "--from", "bde", "--dir", path("App")}), 2) << "--force is the restore's";
}

TEST_F(Cli, DryRunShowsTheChangesAndTheReportAndWritesNothing)
{
    std::optional<TTempFolderScope> TempScope(std::in_place, path("tmp"));
    QDir().mkpath(path("tmp"));
    WriteBytes(path("App/Main.pas"), bdeUnit("Main").replace("implementation", "implementation\r\n{$R *.dfm}"));
    // A binary form is shown as its text.
    WriteBytes(path("App/Main.dfm"),
               TComponentReplacer::MakeBinaryFormFile(
                   "TMAIN", ObjectTextToBinary(QStringLiteral("object Main: TMain\r\n  object Q: TQuery\r\n    IndexName = 'X'\r\n"
                                               "  end\r\nend\r\n"))));
    const auto Before = snapshot(Dir.path());
    EXPECT_EQ(run({"replace", "--from", "bde", "--project", path("App/App.dpr"), "--dry-run", "--report",
                   path("Work.json")}),
              0)
        << Err.toStdString();
    TempScope.reset();
    EXPECT_TRUE(Out.contains(QStringLiteral("--- %1\n+++ %1 (converted)\n@@ -1,7 +1,7 @@\n unit Main;\n interface\n"
                                            "-uses DB, DBTables;\n-var Q: TQuery;\n"
                                            "+uses DB, DBTables, Quorvel, Orx, Lintra, OrxError;\n+var Q: TOrxQuery;\n")
                                 .arg(path("App/Main.pas"))))
        << Out.toStdString();
    EXPECT_TRUE(Out.contains(QStringLiteral("--- %1\n+++ %1 (converted)\n").arg(path("App/Main.dfm"))));
    EXPECT_TRUE(Out.contains(QStringLiteral("-  object Q: TQuery\n-    IndexName = 'X'\n+  object Q: TOrxQuery\n")));
    EXPECT_TRUE(Out.contains(QStringLiteral("--- %1\n").arg(path("App/Lib/Util.pas"))));
    EXPECT_TRUE(Out.contains(QStringLiteral("Properties dropped (behaves differently): 1\n  Main.dfm:3  Main.Q  IndexName = 'X' "
                                            "(TOrxQuery does not publish it)\n")))
        << Out.toStdString();
    EXPECT_TRUE(Out.endsWith(QStringLiteral("1 items need manual work\n"))) << Out.toStdString();
    // Only the JSON report is new; no backup, log or converted file.
    auto After = snapshot(Dir.path());
    const QByteArray Json = After.take(path("Work.json"));
    EXPECT_TRUE(Json.contains("\"kind\": \"droppedProperty\"")) << Json.constData();
    EXPECT_EQ(After, Before);
    EXPECT_TRUE(QDir(path("tmp")).isEmpty());
}

TEST_F(Cli, FromAutoNamesTheSetFoundAndARunWithoutItsSetSaysSo)
{
    const QString Ibx = QStringLiteral(MIGWIZ_SOURCE_DIR "/examples/ibx");
    for (const char *Copy : {"Auto", "Bde"})
        for (const QString &Name : QDir(Ibx).entryList(QDir::Files))
            WriteBytes(path(QString(Copy) + "/" + Name), ReadBytes(QDir(Ibx).filePath(Name)));
    EXPECT_EQ(run({"replace", "--from", "auto", "--dir", path("Auto"), "--no-backup", "--no-log"}), 0)
        << Err.toStdString();
    EXPECT_TRUE(QRegularExpression("^Components found: \\d+ IBX in 3 form\\(s\\); converting from IBX\n"
                                   "Replace procedure was performed sucessfully.\n")
                    .match(Out)
                    .hasMatch())
        << Out.toStdString();

    EXPECT_EQ(run({"replace", "--from", "bde", "--dir", path("Bde"), "--no-backup", "--no-log"}), 0)
        << Err.toStdString();
    EXPECT_TRUE(Out.startsWith("Replace procedure was performed sucessfully.\n"
                               "No BDE components were found; the folder uses IBX components.\n"))
        << Out.toStdString();

    // Nothing to convert at all: a failure, and for auto a usage error.
    ASSERT_TRUE(QDir().mkpath(path("Empty")));
    EXPECT_EQ(run({"replace", "--from", "bde", "--dir", path("Empty"), "--no-backup", "--no-log"}), 1);
    EXPECT_EQ(Err, "Replace failed.\nThe folder \"" + path("Empty") + "\" holds no Delphi units (.pas, .dpr).\n");
    EXPECT_EQ(run({"replace", "--from", "auto", "--dir", path("App")}), 2);
    EXPECT_TRUE(Err.contains("--from auto")) << Err.toStdString();
}
