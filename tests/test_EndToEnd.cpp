// End-to-end runs of the migwiz executable over projects built in temporary
// folders: what a replace writes (converted files, backups, undo file, log),
// what it leaves alone when a file cannot be written or a form cannot be
// read, and that a restore gives back the original bytes. Each run gets a
// TMPDIR of its own, which must be empty again afterwards.
#include "ComponentStream.h"
#include "PosixOnly.h"
#include "QtPrinters.h"
#include "TestFiles.h"
#include "Replacer.h"
#include "TextCodec.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>

#if MIGWIZ_POSIX
#include <csignal>
#include <sys/resource.h>
#endif


namespace {

const QByteArray MainUnit = "unit Main;\r\n\r\ninterface\r\n\r\nuses\r\n  Forms, DB, DBTables;\r\n\r\ntype\r\n"
                            "  TMainForm = class(TForm)\r\n    Query1: TQuery;\r\n    Table1: TTable;\r\n  end;\r\n\r\n"
                            "implementation\r\n\r\n{$R *.dfm}\r\n\r\nend.\r\n";
const QByteArray MainForm = "object MainForm: TMainForm\r\n  Caption = 'Main'\r\n  object Query1: TQuery\r\n"
                            "    Left = 8\r\n  end\r\n  object Table1: TTable\r\n    Left = 40\r\n  end\r\nend\r\n";
const QByteArray UtilUnit = "unit Util;\r\n\r\ninterface\r\n\r\nimplementation\r\n\r\nend.\r\n";
const QByteArray AppDpr = "program App;\r\n\r\nuses\r\n  Forms,\r\n  Main in 'Main.pas' {MainForm},\r\n"
                          "  Util in 'Util.pas';\r\n\r\nbegin\r\n  Application.Run;\r\nend.\r\n";

// A form file in binary form, from the text of its object.
QByteArray binaryForm(const QByteArray &Name, const QByteArray &Text)
{
    return TComponentReplacer::MakeBinaryFormFile(Name, ObjectTextToBinary(TextCodec::DecodeAnsi(Text)));
}

// Every file below Folder with its bytes, leaving out what a run adds.
QMap<QString, QByteArray> originals(const QString &Folder)
{
    QMap<QString, QByteArray> Files;
    QDirIterator It(Folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (It.hasNext()) {
        const QString Path = It.next();
        const QString Relative = QDir(Folder).relativeFilePath(Path);
        if (!Relative.startsWith(QLatin1String("RBackup/")) && Relative != QLatin1String("Wiz_Log.txt")
            && Relative != QLatin1String("Wiz_Report.txt"))
            Files.insert(Relative, ReadBytes(Path));
    }
    return Files;
}

QStringList entries(const QString &Folder)
{
    return QDir(Folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name);
}

// The lines of a log; the line of its creation date is left as "Created at:".
QStringList logLines(const QString &Path)
{
    const QString Text = TextCodec::DecodeAnsi(ReadBytes(Path));
    QStringList Lines = Text.split(QStringLiteral("\r\n"));
    for (QString &Line : Lines)
        if (Line.startsWith(QLatin1String("Created at: ")) && Line.size() > 20)
            Line = QStringLiteral("Created at:");
    return Lines;
}

// The lines as TLogWriter writes them with the replacer's settings: a
// header, the creation line, then each message, each followed by an empty
// line.
QStringList expectedLog(const QStringList &Messages)
{
    QStringList Lines{QStringLiteral("BDE/IBX/FibPlus Migration Wizard log"), QString(), QStringLiteral("Created at:"),
                      QString()};
    for (const QString &M : Messages)
        Lines << M << QString();
    Lines << QString(); // after the last CR LF
    return Lines;
}

// Makes a file read-only (no write permission for anyone) for the scope.
// A read-only original is never replaced, also for root.
class TReadOnly
{
public:
    explicit TReadOnly(const QString &Path) : FPath(Path)
    {
        QFile::setPermissions(Path, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
    }
    ~TReadOnly()
    {
        QFile::setPermissions(FPath, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
    }

private:
    QString FPath;
};

class EndToEnd : public ::testing::Test
{
protected:
    EndToEnd() { QDir().mkpath(TempFolder()); }

    QString path(const QString &Relative) const { return QDir::toNativeSeparators(Dir.filePath(Relative)); }
    QString path(const char *Relative) const { return path(QString::fromUtf8(Relative)); }
    QString TempFolder() const { return path("tmp"); }
    // The system's temporary folder for a migwiz process: TMPDIR on POSIX
    // systems, TMP and TEMP on Windows.
    void setTempFolder(QProcessEnvironment &Env) const
    {
        for (const char *Name : {"TMPDIR", "TMP", "TEMP"})
            Env.insert(QString::fromLatin1(Name), TempFolder());
    }

    void makeProject()
    {
        WriteBytes(path("App/App.dpr"), AppDpr);
        WriteBytes(path("App/Main.pas"), MainUnit);
        WriteBytes(path("App/Main.dfm"), MainForm);
        WriteBytes(path("App/Util.pas"), UtilUnit);
    }

    // Runs migwiz with its temporary folders made in TempFolder().
    int run(const QStringList &Args)
    {
        QProcess P;
        QProcessEnvironment Env = QProcessEnvironment::systemEnvironment();
        setTempFolder(Env);
        P.setProcessEnvironment(Env);
        P.start(QStringLiteral(MIGWIZ_EXE), Args);
        EXPECT_TRUE(P.waitForFinished(120000)) << "migwiz did not finish";
        // Text as the program writes it: CR LF line ends on Windows.
        Out = QString::fromLocal8Bit(P.readAllStandardOutput()).replace(QLatin1String("\r\n"), QLatin1String("\n"));
        Err = QString::fromLocal8Bit(P.readAllStandardError()).replace(QLatin1String("\r\n"), QLatin1String("\n"));
        EXPECT_EQ(P.exitStatus(), QProcess::NormalExit);
        EXPECT_TRUE(entries(TempFolder()).isEmpty()) << "left behind: " << entries(TempFolder()).join(u' ').toStdString();
        return P.exitCode();
    }

    QTemporaryDir Dir;
    QString Out, Err;
};

} // namespace

TEST_F(EndToEnd, ProjectModeWritesConvertedFilesBackupsUndoFileAndLog)
{
    makeProject();
    const QString Backup = path("Saved/Backup");
    ASSERT_EQ(run({"replace", "--from", "bde", "--project", path("App/App.dpr"), "--backup-dir", Backup}), 0)
        << Err.toStdString();
    const QString Undo = path("Saved/Backup/RExpert.reu");
    EXPECT_EQ(Out, QStringLiteral("Replace procedure was performed sucessfully.\nLog: %1\nUndo file: %2\n"
                                  "0 items need manual work; see %3\n")
                       .arg(path("App/Wiz_Log.txt"), Undo, path("App/Wiz_Report.txt")));

    const QByteArray Unit = ReadBytes(path("App/Main.pas"));
    EXPECT_TRUE(Unit.contains("uses\r\n  Forms, DB, DBTables, Quorvel, Orx")) << Unit.constData();
    EXPECT_TRUE(Unit.contains("Query1: TOrxQuery;\r\n")) << Unit.constData();
    EXPECT_TRUE(Unit.contains("Table1: TOrxTable;\r\n")) << Unit.constData();
    const QByteArray Form = ReadBytes(path("App/Main.dfm"));
    EXPECT_TRUE(Form.contains("object Query1: TOrxQuery\r\n")) << Form.constData();
    EXPECT_TRUE(Form.contains("object Table1: TOrxTable\r\n")) << Form.constData();
    EXPECT_EQ(ReadBytes(path("App/Util.pas")), UtilUnit);
    EXPECT_EQ(ReadBytes(path("App/App.dpr")), AppDpr);

    EXPECT_EQ(entries(Backup), (QStringList{"Main.~dfm", "Main.~pas", "RExpert.reu", "RExpert.reu.run"}));
    EXPECT_EQ(ReadBytes(path("Saved/Backup/Main.~pas")), MainUnit);
    EXPECT_EQ(ReadBytes(path("Saved/Backup/Main.~dfm")), MainForm);
    EXPECT_EQ(TextCodec::DecodeAnsi(ReadBytes(Undo)),
              path("App/Main.pas") + u'=' + path("Saved/Backup/Main.~pas") + QStringLiteral("\r\n")
                  + path("App/Main.dfm") + u'=' + path("Saved/Backup/Main.~dfm") + QStringLiteral("\r\n"));
    EXPECT_EQ(logLines(path("App/Wiz_Log.txt")),
              expectedLog({
                  QStringLiteral("Initializing unit list"),
                  QStringLiteral("Creating backup folder"),
                  QStringLiteral("Allocating temporary folder"),
                  QStringLiteral("Processing file: ") + path("App/Main.pas"),
                  QStringLiteral("3 change(s)"),
                  QStringLiteral("Processing file: ") + path("App/Util.pas"),
                  QStringLiteral("No changes"),
                  QStringLiteral("Processing file: ") + path("App/Main.dfm"),
                  QStringLiteral("2 change(s)"),
                  QStringLiteral("Replacing original files with changed versions"),
                  QStringLiteral("Backup file: ") + Undo,
                  QStringLiteral("Removing temporary folder"),
                  QStringLiteral("Replace procedure was performed sucessfully."),
              }));
}

TEST_F(EndToEnd, FolderModeWithAndWithoutSubfolders)
{
    for (const char *Root : {"Flat", "Deep"}) {
        const QString R = QString::fromLatin1(Root);
        WriteBytes(path(R + QStringLiteral("/A.pas")), MainUnit);
        WriteBytes(path(R + QStringLiteral("/A.dfm")), MainForm);
        WriteBytes(path(R + QStringLiteral("/Sub/B.pas")), MainUnit);
        WriteBytes(path(R + QStringLiteral("/Sub/B.dfm")), MainForm);
        WriteBytes(path(R + QStringLiteral("/Sub/Old.pas/C.txt")), "a folder named like a unit"); // never listed as a unit
        WriteBytes(path(R + QStringLiteral("/Notes.txt")), "TQuery");
    }

    // Without subfolders: Sub is passed over.
    ASSERT_EQ(run({"replace", "--from", "bde", "--dir", path("Flat")}), 0) << Err.toStdString();
    EXPECT_TRUE(ReadBytes(path("Flat/A.pas")).contains("TOrxQuery"));
    EXPECT_TRUE(ReadBytes(path("Flat/A.dfm")).contains("TOrxQuery"));
    EXPECT_EQ(ReadBytes(path("Flat/Sub/B.pas")), MainUnit);
    EXPECT_EQ(ReadBytes(path("Flat/Sub/B.dfm")), MainForm);
    EXPECT_EQ(ReadBytes(path("Flat/Notes.txt")), QByteArray("TQuery"));
    EXPECT_EQ(entries(path("Flat/RBackup")), (QStringList{"A.~dfm", "A.~pas", "RExpert.reu", "RExpert.reu.run"}));
    EXPECT_EQ(logLines(path("Flat/Wiz_Log.txt")).filter(QStringLiteral("Processing file:")),
              (QStringList{QStringLiteral("Processing file: ") + path("Flat/A.pas"),
                           QStringLiteral("Processing file: ") + path("Flat/A.dfm")}));

    // With subfolders, into a backup folder elsewhere: B is backed up at its
    // relative path.
    const QString Backup = path("Backup");
    ASSERT_EQ(run({"replace", "--from", "bde", "--dir", path("Deep"), "--subdirs", "--backup-dir", Backup}), 0)
        << Err.toStdString();
    EXPECT_TRUE(ReadBytes(path("Deep/A.pas")).contains("TOrxQuery"));
    EXPECT_TRUE(ReadBytes(path("Deep/Sub/B.pas")).contains("TOrxQuery"));
    EXPECT_TRUE(ReadBytes(path("Deep/Sub/B.dfm")).contains("TOrxQuery"));
    EXPECT_EQ(ReadBytes(path("Backup/Sub/B.~pas")), MainUnit);
    EXPECT_EQ(ReadBytes(path("Backup/Sub/B.~dfm")), MainForm);
    EXPECT_EQ(ReadBytes(path("Deep/Sub/Old.pas/C.txt")), QByteArray("a folder named like a unit"));
    // Units in name order, each form right after the units.
    EXPECT_EQ(TextCodec::DecodeAnsi(ReadBytes(path("Backup/RExpert.reu"))),
              path("Deep/A.pas") + u'=' + path("Backup/A.~pas") + QStringLiteral("\r\n")
                  + path("Deep/Sub/B.pas") + u'=' + path("Backup/Sub/B.~pas") + QStringLiteral("\r\n")
                  + path("Deep/A.dfm") + u'=' + path("Backup/A.~dfm") + QStringLiteral("\r\n")
                  + path("Deep/Sub/B.dfm") + u'=' + path("Backup/Sub/B.~dfm") + QStringLiteral("\r\n"));
}

TEST_F(EndToEnd, SecondRunIntoTheSameBackupFolderIsRefused)
{
    // A second run would overwrite the backups of the originals with those
    // of the converted files, and the undo file with one that leads back
    // only to them.
    makeProject();
    ASSERT_EQ(run({"replace", "--from", "bde", "--project", path("App/App.dpr")}), 0) << Err.toStdString();
    const auto Converted = originals(path("App"));
    const QByteArray Undo = ReadBytes(path("App/RBackup/RExpert.reu"));
    const QByteArray Log = ReadBytes(path("App/Wiz_Log.txt"));
    EXPECT_EQ(run({"replace", "--from", "bde", "--project", path("App/App.dpr")}), 3);
    EXPECT_TRUE(Err.contains(path("App/RBackup/RExpert.reu"))) << Err.toStdString();
    EXPECT_EQ(originals(path("App")), Converted);
    EXPECT_EQ(ReadBytes(path("App/RBackup/RExpert.reu")), Undo);
    EXPECT_EQ(ReadBytes(path("App/RBackup/Main.~pas")), MainUnit);
    EXPECT_EQ(ReadBytes(path("App/Wiz_Log.txt")), Log);

    // A run that changed nothing leaves an empty undo file, which guards no
    // backup: the next source set can be converted into the same folder.
    ASSERT_EQ(run({"restore", path("App/RBackup/RExpert.reu")}), 0) << Err.toStdString();
    ASSERT_TRUE(QDir(path("App/RBackup")).removeRecursively());
    ASSERT_EQ(run({"replace", "--from", "ibx", "--project", path("App/App.dpr")}), 0) << Err.toStdString();
    EXPECT_EQ(ReadBytes(path("App/RBackup/RExpert.reu")), QByteArray());
    EXPECT_EQ(run({"replace", "--from", "bde", "--project", path("App/App.dpr")}), 0) << Err.toStdString();
}

TEST_F(EndToEnd, WithoutBackupAndLogOnlyTheConvertedFilesChange)
{
    makeProject();
    ASSERT_EQ(run({"replace", "--from", "bde", "--project", path("App/App.dpr"), "--no-backup", "--no-log"}), 0)
        << Err.toStdString();
    EXPECT_EQ(Out, QStringLiteral("Replace procedure was performed sucessfully.\n0 items need manual work\n"));
    EXPECT_EQ(entries(path("App")), (QStringList{"App.dpr", "Main.dfm", "Main.pas", "Util.pas"}));
    EXPECT_TRUE(ReadBytes(path("App/Main.pas")).contains("TOrxQuery"));

    // Backups on, log off; and the other way round.
    WriteBytes(path("App/Main.pas"), MainUnit);
    ASSERT_EQ(run({"replace", "--from", "bde", "--project", path("App/App.dpr"), "--no-log"}), 0);
    EXPECT_FALSE(QFileInfo::exists(path("App/Wiz_Log.txt")));
    EXPECT_EQ(ReadBytes(path("App/RBackup/Main.~pas")), MainUnit);
    WriteBytes(path("App/Main.pas"), MainUnit);
    ASSERT_EQ(run({"replace", "--from", "bde", "--project", path("App/App.dpr"), "--no-backup"}), 0);
    EXPECT_TRUE(logLines(path("App/Wiz_Log.txt")).filter(QStringLiteral("backup"), Qt::CaseInsensitive).isEmpty());
}

TEST_F(EndToEnd, NothingToChangeWritesAnEmptyUndoFile)
{
    WriteBytes(path("App/App.dpr"), "program App;\r\nuses Util in 'Util.pas';\r\nbegin end.\r\n");
    WriteBytes(path("App/Util.pas"), UtilUnit);
    ASSERT_EQ(run({"replace", "--from", "bde", "--project", path("App/App.dpr")}), 0) << Err.toStdString();
    EXPECT_EQ(ReadBytes(path("App/RBackup/RExpert.reu")), QByteArray());
    EXPECT_TRUE(logLines(path("App/Wiz_Log.txt")).filter(QStringLiteral("Replacing original")).isEmpty());
    // An empty undo file restores nothing: a failure.
    EXPECT_EQ(run({"restore", path("App/RBackup/RExpert.reu")}), 1);
    EXPECT_TRUE(Err.startsWith(QStringLiteral("Failed to restore files.\nThe undo file "))) << Err.toStdString();
}

TEST_F(EndToEnd, FormNamedByTwoUnitsIsConvertedTwiceWithOneUndoLine)
{
    const QByteArray Unit = "unit %;\r\ninterface\r\nuses DBTables;\r\nimplementation\r\n{$R Shared.dfm}\r\nend.\r\n";
    WriteBytes(path("App/App.dpr"), "program App;\r\nuses A in 'A.pas', B in 'B.pas';\r\nbegin end.\r\n");
    WriteBytes(path("App/A.pas"), QByteArray(Unit).replace('%', 'A'));
    WriteBytes(path("App/B.pas"), QByteArray(Unit).replace('%', 'B'));
    WriteBytes(path("App/Shared.dfm"), MainForm);
    ASSERT_EQ(run({"replace", "--from", "bde", "--project", path("App/App.dpr")}), 0) << Err.toStdString();
    EXPECT_TRUE(ReadBytes(path("App/Shared.dfm")).contains("object Query1: TOrxQuery"));
    EXPECT_EQ(ReadBytes(path("App/RBackup/Shared.~dfm")), MainForm);
    const QString UndoText = TextCodec::DecodeAnsi(ReadBytes(path("App/RBackup/RExpert.reu")));
    EXPECT_EQ(UndoText.count(path("App/Shared.dfm") + u'='), 1) << UndoText.toStdString();
    EXPECT_EQ(logLines(path("App/Wiz_Log.txt")).count(QStringLiteral("Processing file: ") + path("App/Shared.dfm")), 2);
}

TEST_F(EndToEnd, ReadOnlyOriginalStopsTheRunBeforeAnyOriginalIsReplaced)
{
    makeProject();
    const auto Before = originals(path("App"));
    {
        TReadOnly Lock(path("App/Main.pas"));
        EXPECT_EQ(run({"replace", "--from", "bde", "--project", path("App/App.dpr")}), 3);
    }
    // The message names the file and why; nothing was replaced, and nothing
    // is left that would refuse the next run.
    EXPECT_TRUE(Err.contains(QStringLiteral("\"%1\" is read-only").arg(path("App/Main.pas")))) << Err.toStdString();
    EXPECT_EQ(originals(path("App")), Before);
    EXPECT_EQ(entries(path("App")),
              (QStringList{"App.dpr", "Main.dfm", "Main.pas", "Util.pas", "Wiz_Log.txt", "Wiz_Report.txt"}));
    EXPECT_TRUE(logLines(path("App/Wiz_Log.txt")).contains(QStringLiteral("Replace failed.")));
    EXPECT_EQ(run({"replace", "--from", "bde", "--project", path("App/App.dpr")}), 0) << Err.toStdString();
}

TEST_F(EndToEnd, TruncatedBinaryFormStopsTheRunWithEveryOriginalUntouched)
{
    makeProject();
    const QByteArray Binary = binaryForm("MAINFORM", MainForm);
    WriteBytes(path("App/Main.dfm"), Binary.left(Binary.size() - 12));
    const auto Before = originals(path("App"));

    for (const char *Mode : {"--project", "--dir"}) {
        const QString Target = QString::fromLatin1(Mode) == QLatin1String("--dir") ? path("App") : path("App/App.dpr");
        EXPECT_EQ(run({"replace", "--from", "bde", Mode, Target}), 3) << Mode;
        EXPECT_TRUE(Err.startsWith(QStringLiteral("migwiz: error: ") + path("App/Main.dfm"))) << Err.toStdString();
        EXPECT_TRUE(Err.contains(QStringLiteral("Log: ") + path("App/Wiz_Log.txt"))) << Err.toStdString();
        EXPECT_TRUE(Out.isEmpty()) << Out.toStdString();
        EXPECT_EQ(originals(path("App")), Before) << Mode;
        // No undo file is written for a run that stopped, and the log has no
        // success line.
        EXPECT_FALSE(QFileInfo::exists(path("App/RBackup/RExpert.reu"))) << Mode;
        EXPECT_TRUE(logLines(path("App/Wiz_Log.txt")).filter(QStringLiteral("sucessfully")).isEmpty()) << Mode;
    }
}

TEST_F(EndToEnd, RestoreAfterReplaceGivesBackTheOriginalBytes)
{
    makeProject();
    // A binary form and a UTF-8 unit with a byte-order mark among them.
    WriteBytes(path("App/Data.pas"), QByteArray("\xEF\xBB\xBFunit Data;\r\n// Данные\r\ninterface\r\nuses DBTables;\r\n"
                                                "type TData = class(TDataModule)\r\n    Db: TDatabase;\r\n  end;\r\n"
                                                "implementation\r\n{$R *.dfm}\r\nend.\r\n"));
    WriteBytes(path("App/Data.dfm"),
               binaryForm("DATA", "object Data: TData\r\n  object Db: TDatabase\r\n    DatabaseName = 'X'\r\n  end\r\nend\r\n"));
    WriteBytes(path("App/App.dpr"), "program App;\r\nuses Main in 'Main.pas', Util in 'Util.pas', Data in 'Data.pas';\r\n"
                                    "begin end.\r\n");
    const auto Before = originals(path("App"));
    ASSERT_EQ(run({"replace", "--from", "bde", "--project", path("App/App.dpr")}), 0) << Err.toStdString();
    ASSERT_NE(originals(path("App")), Before);
    EXPECT_TRUE(ReadBytes(path("App/Data.dfm")).startsWith(QByteArray("\xFF\x0A\x00" "DATA\x00\x30\x10", 10)));

    const QString Undo = path("App/RBackup/RExpert.reu");
    for (int Round = 0; Round < 2; ++Round) { // restoring twice succeeds both times
        EXPECT_EQ(run({"restore", Undo}), 0) << Err.toStdString();
        EXPECT_EQ(Out, QStringLiteral("Files were succefully restored.\n"));
        EXPECT_EQ(originals(path("App")), Before);
    }
    EXPECT_EQ(entries(path("App/RBackup")),
              (QStringList{"Data.~dfm", "Data.~pas", "Main.~dfm", "Main.~pas", "RExpert.reu", "RExpert.reu.run"}));
}

// The fixtures of each source set: the report names every code line that
// will not compile and no other; a run writes the members as they were
// unless asked to rename them; each run is restored byte for byte.
TEST_F(EndToEnd, FixturesReportTheLinesThatWillNotCompileAndRenameOnRequest)
{
    struct Row
    {
        const char *From;
        QStringList WillNotCompile; // file:line
        QStringList Units;
        QStringList Renamed; // lines of the units with --rename-members
    };
    const Row Rows[] = {
        {"bde",
         {"Billing.pas:26", "Billing.pas:28", "Billing.pas:30", "Orders.pas:35", "Orders.pas:36", "Orders.pas:37"},
         {"Orders.pas", "Billing.pas"},
         {"  Lines.MasterSource := nil;", "  FDM.Lines.MasterSource := nil;"}},
        {"ibx",
         {"Stock.pas:26", "Stock.pas:27", "Stock.pas:28", "Stock.pas:29"},
         {"Stock.pas"},
         {"  Items.SQL.Text := 'select * from ITEMS';", "  Items.SQLUpdate.Clear;", "  Counts.Connection := StockDb;",
          "  StockDb.Database := 'stock.gdb';"}},
        {"fibplus",
         {"AccDM.pas:13", "AccDM.pas:14", "AccDM.pas:35", "AccDM.pas:36", "AccDM.pas:37", "AccDM.pas:39",
          "AccDM.pas:39", "AccDM.pas:41"},
         {"AccDM.pas"},
         {"  Db.Database := Path; // Db.DBName is set here",
          "  dsAcc.SQL.Text := 'select * from ACC where dsAcc.SelectSQL = 1';", "  dsAcc.KeyFields := 'ID';",
          "    SQL.Clear; Db.Database := ''; SQL.Add('x');"}},
    };
    for (const Row &R : Rows) {
        SCOPED_TRACE(R.From);
        const QString Folder = path(R.From);
        const QString Fixture = QStringLiteral(MIGWIZ_TEST_DATA "/fixtures/") + QString::fromLatin1(R.From);
        for (const QString &Name : QDir(Fixture).entryList(QDir::Files))
            WriteBytes(Folder + u'/' + Name, ReadBytes(Fixture + u'/' + Name));
        const auto Before = originals(Folder);
        for (const bool Rename : {false, true}) {
            const QString Backup = Folder + (Rename ? QStringLiteral("-renamed") : QStringLiteral("-plain"));
            QStringList Args{"replace", "--from", R.From, "--dir", Folder, "--backup-dir", Backup,
                             "--report", path("report.json")};
            if (Rename)
                Args << "--rename-members";
            ASSERT_EQ(run(Args), 0) << Err.toStdString();
            QStringList Lines;
            for (const QJsonValue &V : QJsonDocument::fromJson(ReadBytes(path("report.json"))).object().value("items").toArray())
                if (V.toObject().value("consequence").toString() == QLatin1String("willNotCompile"))
                    Lines << QFileInfo(V.toObject().value("file").toString()).fileName() + u':'
                                 + QString::number(V.toObject().value("line").toInt());
            Lines.sort();
            QString Unit;
            for (const QString &Name : R.Units)
                Unit += TextCodec::DecodeAnsi(ReadBytes(Folder + u'/' + Name));
            for (const QString &Line : R.Renamed)
                EXPECT_EQ(Unit.contains(Line + QStringLiteral("\r\n")), Rename) << Line.toStdString();
            if (!Rename) {
                EXPECT_EQ(Lines, R.WillNotCompile);
            }
            EXPECT_EQ(run({"restore", Backup + QStringLiteral("/RExpert.reu")}), 0) << Err.toStdString();
            EXPECT_EQ(originals(Folder), Before);
        }
    }
}

// A class that a unit of the project declares is the project's own, also
// when that unit is not among the units chosen for the run, or lies outside
// the folder converted.
TEST_F(EndToEnd, ClassesOfProjectUnitsOutsideTheRunAreNotOldOnes)
{
    WriteBytes(path("App/App.dpr"), "program App;\r\nuses\r\n  Main in 'Main.pas',\r\n  Fibs in '..\\Lib\\Fibs.pas';\r\n"
                                    "begin\r\nend.\r\n");
    WriteBytes(path("Lib/Fibs.pas"), "unit Fibs;\r\ninterface\r\ntype\r\n  TFIBTools = class(TDataModule)\r\n"
                                     "  end;\r\nimplementation\r\nend.\r\n");
    WriteBytes(path("App/Main.pas"), "unit Main;\r\ninterface\r\nuses pFIBDataSet, Fibs;\r\n"
                                     "var\r\n  Tools: TFIBTools;\r\n  Ds: TpFIBDataSet;\r\n  Left: TFIBSibling;\r\n"
                                     "implementation\r\nend.\r\n");
    const QStringList Runs[] = {{"--project", path("App/App.dpr"), "--units", "Main.pas"}, {"--dir", path("App")}};
    for (const QStringList &Where : Runs) {
        ASSERT_EQ(run(QStringList{"replace", "--from", "fibplus", "--no-backup", "--report", path("report.json")} + Where), 0)
            << Err.toStdString();
        QStringList Left;
        for (const QJsonValue &V : QJsonDocument::fromJson(ReadBytes(path("report.json"))).object().value("items").toArray())
            Left << V.toObject().value("name").toString();
        EXPECT_EQ(Left, QStringList{"TFIBSibling"}) << Where.join(u' ').toStdString();
    }
}

TEST_F(EndToEnd, RestoreWithAMissingBackupChangesNothing)
{
    makeProject();
    ASSERT_EQ(run({"replace", "--from", "bde", "--project", path("App/App.dpr")}), 0) << Err.toStdString();
    const auto Converted = originals(path("App"));
    ASSERT_TRUE(QFile::remove(path("App/RBackup/Main.~dfm")));
    EXPECT_EQ(run({"restore", path("App/RBackup/RExpert.reu")}), 1);
    EXPECT_EQ(Err, QStringLiteral("Failed to restore files.\nThe backup \"%1\" does not exist.\nNothing was restored.\n")
                       .arg(path("App/RBackup/Main.~dfm")));
    EXPECT_EQ(originals(path("App")), Converted);
}

TEST_F(EndToEnd, UsageErrorsAndMissingInputsExitWithTwo)
{
    makeProject();
    const QStringList Rows[] = {
        {"replace", "--from", "bde", "--dir", path("Missing")},
        {"replace", "--from", "bde", "--project", path("App/App.dpr"), "--dir", path("App")},
        {"replace", "--from", "bde", "--project", path("App/None.dpr")},
        {"replace", "--from", "paradox", "--dir", path("App")},
        {"restore", path("App/RBackup/RExpert.reu")},
        {"--frobnicate"},
    };
    const auto Before = originals(path("App"));
    for (const QStringList &Args : Rows) {
        EXPECT_EQ(run(Args), 2) << Args.join(u' ').toStdString();
        EXPECT_TRUE(Out.isEmpty());
        EXPECT_TRUE(Err.startsWith(QStringLiteral("migwiz: "))) << Err.toStdString();
    }
    EXPECT_EQ(originals(path("App")), Before);
    EXPECT_FALSE(QFileInfo::exists(path("App/RBackup")));
}

TEST_F(EndToEnd, FolderWithAnEqualsSignIsConvertedAndRestored)
{
    // Undo lines are "original=backup" without an escape: the restore must
    // still find where the original's path ends.
    WriteBytes(path("a=b/A.pas"), MainUnit);
    WriteBytes(path("a=b/A.dfm"), MainForm);
    const auto Before = originals(path("a=b"));
    EXPECT_EQ(run({"replace", "--from", "bde", "--dir", path("a=b")}), 0) << Err.toStdString();
    EXPECT_TRUE(ReadBytes(path("a=b/A.pas")).contains("TOrxQuery"));
    EXPECT_EQ(run({"restore", path("a=b/RBackup/RExpert.reu")}), 0) << Err.toStdString();
    EXPECT_EQ(originals(path("a=b")), Before);
}

TEST_F(EndToEnd, SigtermEndsTheRunLikeAnErrorAndRemovesWhatItMade)
{
    POSIX_ONLY(Signals);
    for (int I = 0; I < 400; ++I)
        WriteBytes(path(QStringLiteral("Big/U%1.pas").arg(I)), "unit U;\r\nuses DBTables;\r\nvar Q: TQuery;\r\nend.\r\n");
    const auto Before = originals(path("Big"));
    QProcess P;
    QProcessEnvironment Env = QProcessEnvironment::systemEnvironment();
    setTempFolder(Env);
    P.setProcessEnvironment(Env);
    P.start(QStringLiteral(MIGWIZ_EXE), {"replace", "--from", "bde", "--dir", path("Big")});
    // Stopped while it converts: once the log names the first file.
    for (int Wait = 0; Wait < 2000 && !ReadBytes(path("Big/Wiz_Log.txt")).contains("Processing file"); ++Wait)
        QThread::msleep(5);
    P.terminate();
    ASSERT_TRUE(P.waitForFinished(60000));
    EXPECT_EQ(P.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(P.exitCode(), 3) << P.readAllStandardError().constData();
    EXPECT_EQ(originals(path("Big")), Before);
    EXPECT_FALSE(QFileInfo::exists(path("Big/RBackup")));
    EXPECT_TRUE(entries(TempFolder()).isEmpty());
}

TEST_F(EndToEnd, AWriteTheSystemRefusesStopsTheRunAndEmptiesNothing)
{
    // Files may not grow beyond 64 bytes in the migwiz process: every write
    // of a converted file fails as on a full disk.
    POSIX_ONLY(FileSizeLimit);
#if MIGWIZ_POSIX
    makeProject();
    const auto Before = originals(path("App"));
    QProcess P;
    QProcessEnvironment Env = QProcessEnvironment::systemEnvironment();
    setTempFolder(Env);
    P.setProcessEnvironment(Env);
    P.setChildProcessModifier([] {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit Limit{64, 64};
        setrlimit(RLIMIT_FSIZE, &Limit);
    });
    P.start(QStringLiteral(MIGWIZ_EXE), {"replace", "--from", "bde", "--project", path("App/App.dpr"), "--no-backup",
                                         "--no-log"});
    ASSERT_TRUE(P.waitForFinished(60000));
    const QString Error = QString::fromLocal8Bit(P.readAllStandardError());
    EXPECT_EQ(P.exitCode(), 3) << Error.toStdString();
    EXPECT_TRUE(Error.contains(QStringLiteral("Main.pas")) && Error.contains(QStringLiteral("too large")))
        << Error.toStdString();
    EXPECT_EQ(originals(path("App")), Before);
    EXPECT_TRUE(entries(TempFolder()).isEmpty());
#endif
}
