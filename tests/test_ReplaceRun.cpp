// A whole replace run through the library: the order of work, the log and
// undo file contents, backups, the copy-back, and what an error leaves.
#include "ReplaceRun.h"

#include "Errors.h"
#include "FaultyFileSystem.h"
#include "FakeIde.h"
#include "FileUtils.h"
#include "PosixOnly.h"
#include "QtPrinters.h"
#include "TestFiles.h"
#include "TextCodec.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#if MIGWIZ_POSIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

// The log's messages, without the header, the date line and the empty lines.
QStringList LogMessages(const QString &Path)
{
    QStringList Lines = QString::fromLatin1(ReadBytes(Path)).split(QStringLiteral("\r\n"));
    Lines.removeAll(QString());
    if (Lines.size() >= 2)
        Lines = Lines.mid(2);
    return Lines;
}

const QByteArray MainPas = "unit Main;\r\ninterface\r\nuses Forms, DBTables;\r\ntype\r\n  TMain = class(TForm)\r\n"
                           "    Query1: TQuery;\r\n  end;\r\nimplementation\r\n{$R *.dfm}\r\nend.\r\n";
const QByteArray MainDfm = "object Main: TMain\r\n  object Query1: TQuery\r\n    DatabaseName = 'SALES'\r\n  end\r\nend\r\n";
const QByteArray DataPas = "unit Data;\r\ninterface\r\nuses DBTables;\r\nimplementation\r\n{$R *.DFM}\r\nend.\r\n";
const QByteArray DataDfm = "object DataModule1: TDataModule1\r\n  object Database1: TDatabase\r\n"
                           "    DatabaseName = 'SALES'\r\n  end\r\nend\r\n";
const QByteArray UtilPas = "unit Util;\r\ninterface\r\nimplementation\r\nend.\r\n";

class ReplaceRun : public ::testing::Test
{
protected:
    ReplaceRun()
        : Scope(&Ide), Options(QStringLiteral("BDE/IBX/FibPlus")),
          Replacer(nullptr, QStringLiteral("DBTables"), QStringLiteral(", Orx"), &Options)
    {
        Replacer.AddReplacePair(QStringLiteral("TDatabase"), QStringLiteral("TOrxConnection"));
        Replacer.AddReplacePair(QStringLiteral("TQuery"), QStringLiteral("TOrxQuery"));
        App = NativePath(Root.filePath(QStringLiteral("App")));
        Backup = NativePath(Root.filePath(QStringLiteral("Backup")));
        Tmp = NativePath(Root.filePath(QStringLiteral("tmp")));
        QDir().mkpath(Tmp);
        TempScope.Set(Tmp);
        Options.BackupDir = Backup;
    }

    // Paths as the run writes them: with the native separator.
    QString P(const QString &Relative) const { return NativePath(App + u'/' + Relative); }

    void MakeProject()
    {
        WriteBytes(P(QStringLiteral("Main.pas")), MainPas);
        WriteBytes(P(QStringLiteral("Main.dfm")), MainDfm);
        WriteBytes(P(QStringLiteral("Data.pas")), DataPas);
        WriteBytes(P(QStringLiteral("Data.dfm")), DataDfm);
        WriteBytes(P(QStringLiteral("Util.pas")), UtilPas);
        WriteBytes(P(QStringLiteral("App.dpr")), "program App;\r\nuses Main in 'Main.pas';\r\nbegin\r\nend.\r\n");
        Ide.SetProject(P(QStringLiteral("App.dpr")),
                       {P(QStringLiteral("Main.pas")), P(QStringLiteral("Data.pas")), P(QStringLiteral("Util.pas"))});
        Options.Dest = sdProject;
        Options.ModuleList = QStringLiteral("Main.pas\r\nData.pas\r\nUtil.pas");
    }

    bool TempIsEmpty() const { return QDir(Tmp).isEmpty(); }

    // The project's five files with their original bytes.
    QList<std::pair<QString, QByteArray>> Originals() const
    {
        return {{P(QStringLiteral("Main.pas")), MainPas},
                {P(QStringLiteral("Main.dfm")), MainDfm},
                {P(QStringLiteral("Data.pas")), DataPas},
                {P(QStringLiteral("Data.dfm")), DataDfm},
                {P(QStringLiteral("Util.pas")), UtilPas}};
    }
    int UntouchedCount() const
    {
        int N = 0;
        for (const auto &[Path, Bytes] : Originals())
            N += ReadBytes(Path) == Bytes;
        return N;
    }
    QString UndoFile() const { return JoinPath(Backup, QStringLiteral("RExpert.reu")); }

    QTemporaryDir Root;
    TFakeIde Ide;
    TIDEServicesScope Scope;
    TReplaceOptions Options;
    TComponentReplacer Replacer;
    QString App, Backup, Tmp;
    TTempFolderScope TempScope{QString()};
};

} // namespace

TEST_F(ReplaceRun, ProjectModeConvertsUnitsThenPreScansAndConvertsTheirForms)
{
    MakeProject();
    ASSERT_TRUE(Replacer.PerformReplace());

    EXPECT_EQ(LogMessages(P(QStringLiteral("Wiz_Log.txt"))),
              (QStringList{
                  QStringLiteral("Initializing unit list"),
                  QStringLiteral("Creating backup folder"),
                  QStringLiteral("Allocating temporary folder"),
                  QStringLiteral("Processing file: ") + P(QStringLiteral("Main.pas")),
                  QStringLiteral("2 change(s)"),
                  QStringLiteral("Processing file: ") + P(QStringLiteral("Data.pas")),
                  QStringLiteral("1 change(s)"),
                  QStringLiteral("Processing file: ") + P(QStringLiteral("Util.pas")),
                  QStringLiteral("No changes"),
                  QStringLiteral("Processing file: ") + P(QStringLiteral("Main.dfm")),
                  QStringLiteral("1 change(s)"),
                  QStringLiteral("Processing file: ") + P(QStringLiteral("Data.dfm")),
                  QStringLiteral("1 change(s)"),
                  QStringLiteral("Replacing original files with changed versions"),
                  QStringLiteral("Backup file: ") + NativePath(Backup + QStringLiteral("/RExpert.reu")),
                  QStringLiteral("Removing temporary folder"),
                  QStringLiteral("Replace procedure was performed sucessfully."),
              }));
    EXPECT_TRUE(ReadBytes(P(QStringLiteral("Wiz_Log.txt"))).startsWith("BDE/IBX/FibPlus Migration Wizard log\r\n\r\nCreated at: "));

    EXPECT_EQ(ReadBytes(NativePath(Backup + QStringLiteral("/RExpert.reu"))),
              (P(QStringLiteral("Main.pas")) + u'=' + NativePath(Backup + QStringLiteral("/Main.~pas\r\n"))
               + P(QStringLiteral("Data.pas")) + u'=' + NativePath(Backup + QStringLiteral("/Data.~pas\r\n"))
               + P(QStringLiteral("Main.dfm")) + u'=' + NativePath(Backup + QStringLiteral("/Main.~dfm\r\n"))
               + P(QStringLiteral("Data.dfm")) + u'=' + NativePath(Backup + QStringLiteral("/Data.~dfm\r\n")))
                  .toLocal8Bit());
    EXPECT_EQ(ReadBytes(NativePath(Backup + QStringLiteral("/Main.~pas"))), MainPas);
    EXPECT_EQ(ReadBytes(NativePath(Backup + QStringLiteral("/Main.~dfm"))), MainDfm);
    EXPECT_FALSE(QFile::exists(NativePath(Backup + QStringLiteral("/Util.~pas"))));
    EXPECT_EQ(ReadBytes(P(QStringLiteral("Util.pas"))), UtilPas);
    EXPECT_TRUE(ReadBytes(P(QStringLiteral("Main.pas"))).contains("Query1: TOrxQuery;"));
    EXPECT_TRUE(ReadBytes(P(QStringLiteral("Main.dfm"))).contains("object Query1: TOrxQuery"));
    EXPECT_EQ(Replacer.DBList().Lines(), QStringList{QStringLiteral("SALES=DataModule1.Database1")});
    EXPECT_TRUE(Replacer.UnitList().isEmpty());
    EXPECT_TRUE(TempIsEmpty());

    // And back: the restore gives every original its bytes again.
    ASSERT_TRUE(Replacer.PerformRestore(NativePath(Backup + QStringLiteral("/RExpert.reu"))));
    EXPECT_EQ(ReadBytes(P(QStringLiteral("Main.pas"))), MainPas);
    EXPECT_EQ(ReadBytes(P(QStringLiteral("Data.dfm"))), DataDfm);
    EXPECT_TRUE(ReadBytes(NativePath(Backup + QStringLiteral("/Main.~pas"))) == MainPas) << "backups stay";
    EXPECT_TRUE(Replacer.PerformRestore(NativePath(Backup + QStringLiteral("/RExpert.reu")))) << "twice works too";
}

TEST_F(ReplaceRun, FolderModeKeepsRelativePathsAndPreScansItsForms)
{
    WriteBytes(P(QStringLiteral("Main.pas")), MainPas);
    WriteBytes(P(QStringLiteral("Main.dfm")), MainDfm);
    WriteBytes(P(QStringLiteral("Data.pas")), DataPas);
    WriteBytes(P(QStringLiteral("Data.dfm")), DataDfm);
    WriteBytes(P(QStringLiteral("Sub/A.pas")), "var Q: TQuery;");
    WriteBytes(P(QStringLiteral("Old.pas/B.pas")), "var Q: TQuery;"); // a folder named like a unit
    Options.Dest = sdDirectory;
    Options.Directory = App;
    Options.IncludeSubDirs = false;
    ASSERT_TRUE(Replacer.PerformReplace());
    EXPECT_EQ(ReadBytes(P(QStringLiteral("Sub/A.pas"))), QByteArray("var Q: TQuery;")) << "not listed";
    // The TDatabase of another form of the folder gives the query its
    // connection, as in project mode.
    EXPECT_TRUE(ReadBytes(P(QStringLiteral("Main.dfm"))).contains("TOrxQuery\r\n    Connection = DataModule1.Database1\r\n"));
    EXPECT_EQ(Replacer.DBList().Lines(), QStringList{QStringLiteral("SALES=DataModule1.Database1")});

    Options.IncludeSubDirs = true;
    QDir(Backup).removeRecursively(); // the first run's undo file would refuse the second
    ASSERT_TRUE(Replacer.PerformReplace());
    EXPECT_EQ(ReadBytes(P(QStringLiteral("Sub/A.pas"))), QByteArray("var Q: TOrxQuery;"));
    EXPECT_EQ(ReadBytes(NativePath(Backup + QStringLiteral("/Sub/A.~pas"))), QByteArray("var Q: TQuery;"));
    EXPECT_TRUE(ReadBytes(NativePath(Backup + QStringLiteral("/RExpert.reu")))
                    .contains((P(QStringLiteral("Sub/A.pas")) + u'=' + NativePath(Backup + QStringLiteral("/Sub/A.~pas\r\n"))).toLocal8Bit()));
    EXPECT_TRUE(TempIsEmpty());
}

TEST_F(ReplaceRun, NoBackupNoLogAndNothingToChange)
{
    WriteBytes(P(QStringLiteral("Util.pas")), UtilPas);
    Options.Dest = sdDirectory;
    Options.Directory = App;
    Options.MakeBackup = false;
    Options.WriteLog = false;
    EXPECT_TRUE(Replacer.PerformReplace());
    EXPECT_FALSE(QFile::exists(P(QStringLiteral("Wiz_Log.txt"))));
    EXPECT_FALSE(QFileInfo::exists(Backup));

    Options.MakeBackup = true;
    Options.WriteLog = true;
    EXPECT_TRUE(Replacer.PerformReplace());
    EXPECT_EQ(ReadBytes(NativePath(Backup + QStringLiteral("/RExpert.reu"))), QByteArray()) << "empty undo file";
    EXPECT_FALSE(LogMessages(P(QStringLiteral("Wiz_Log.txt"))).contains(QStringLiteral("Replacing original files with changed versions")));
    EXPECT_FALSE(Replacer.PerformRestore(NativePath(Backup + QStringLiteral("/RExpert.reu")))) << "nothing to restore";
}

TEST_F(ReplaceRun, FormNamedByTwoUnitsIsConvertedTwiceWithOneUndoLine)
{
    MakeProject();
    WriteBytes(P(QStringLiteral("Main2.pas")), "unit Main2;\r\n{$R Main.dfm}\r\nend.\r\n");
    Ide.Modules << P(QStringLiteral("Main2.pas"));
    Options.ModuleList += QStringLiteral("\r\nMain2.pas");
    ASSERT_TRUE(Replacer.PerformReplace());
    const QByteArray Undo = ReadBytes(NativePath(Backup + QStringLiteral("/RExpert.reu")));
    EXPECT_EQ(Undo.count((P(QStringLiteral("Main.dfm")) + u'=').toLocal8Bit()), 1);
    EXPECT_EQ(ReadBytes(NativePath(Backup + QStringLiteral("/Main.~dfm"))), MainDfm);
}

TEST_F(ReplaceRun, UnitsOfTheSameNameInTwoFoldersStayApart)
{
    WriteBytes(P(QStringLiteral("A/Unit1.pas")), "var A: TQuery;");
    WriteBytes(P(QStringLiteral("B/Unit1.pas")), "var B: TDatabase;");
    Ide.SetProject(P(QStringLiteral("App.dpr")), {P(QStringLiteral("A/Unit1.pas")), P(QStringLiteral("B/Unit1.pas"))});
    Options.ModuleList = QStringLiteral("Unit1.pas\r\nUnit1.pas");
    ASSERT_TRUE(Replacer.PerformReplace());
    EXPECT_EQ(ReadBytes(P(QStringLiteral("A/Unit1.pas"))), QByteArray("var A: TOrxQuery;"));
    EXPECT_EQ(ReadBytes(P(QStringLiteral("B/Unit1.pas"))), QByteArray("var B: TOrxConnection;"));
    ASSERT_TRUE(Replacer.PerformRestore(NativePath(Backup + QStringLiteral("/RExpert.reu"))));
    EXPECT_EQ(ReadBytes(P(QStringLiteral("A/Unit1.pas"))), QByteArray("var A: TQuery;"));
    EXPECT_EQ(ReadBytes(P(QStringLiteral("B/Unit1.pas"))), QByteArray("var B: TDatabase;"));
}

TEST_F(ReplaceRun, ErrorsStopTheRunBeforeAnyOriginalChanges)
{
    MakeProject();
    // A backup folder that cannot be made.
    WriteBytes(Backup, "a file, not a folder");
    try {
        Replacer.PerformReplace();
        FAIL() << "no error";
    } catch (const EFCreateError &E) {
        EXPECT_TRUE(E.Message().startsWith(QStringLiteral("Failed to create directory.")));
    }
    // The log ends with the last stage reached and the error.
    EXPECT_EQ(LogMessages(P(QStringLiteral("Wiz_Log.txt"))),
              (QStringList{QStringLiteral("Initializing unit list"), QStringLiteral("Creating backup folder"),
                           QStringLiteral("Failed to create directory. (%1)").arg(Backup),
                           QStringLiteral("Replace failed.")}));
    EXPECT_EQ(ReadBytes(P(QStringLiteral("Main.pas"))), MainPas);
    QFile::remove(Backup);

    // A truncated binary form: error, originals untouched, no temporary folder.
    WriteBytes(P(QStringLiteral("Main.dfm")), QByteArray("\xFF\x0A\x00" "TMAIN\0\x30\x10\x40\0\0\0TPF0\x05", 18));
    EXPECT_THROW(Replacer.PerformReplace(), EStreamError);
    EXPECT_EQ(ReadBytes(P(QStringLiteral("Main.pas"))), MainPas);
    EXPECT_TRUE(TempIsEmpty());
    EXPECT_EQ(LogMessages(P(QStringLiteral("Wiz_Log.txt"))).last(), QStringLiteral("Replace failed."));
    EXPECT_TRUE(Replacer.UnitList().isEmpty());

    // No temporary folder can be made: the run stops and removes nothing.
    TempScope.Set(Root.filePath(QStringLiteral("no-such-folder")));
    EXPECT_THROW(Replacer.PerformReplace(), EFCreateError);
    EXPECT_TRUE(Replacer.RunErrors().join(u' ').contains(QStringLiteral("no-such-folder\" does not exist")))
        << Replacer.RunErrors().join(u' ').toStdString();
    TempScope.Set(Tmp);
    EXPECT_EQ(LogMessages(P(QStringLiteral("Wiz_Log.txt"))).value(2), QStringLiteral("Allocating temporary folder"));
    EXPECT_EQ(ReadBytes(P(QStringLiteral("Main.pas"))), MainPas);

    // A chosen unit that the project does not have.
    WriteBytes(P(QStringLiteral("Main.dfm")), MainDfm);
    Options.ModuleList = QStringLiteral("Main.pas\r\nGhost.pas");
    EXPECT_THROW(Replacer.PerformReplace(), EFileError);
    EXPECT_EQ(ReadBytes(P(QStringLiteral("Main.pas"))), MainPas);
}

TEST_F(ReplaceRun, WhatMayNotBeReplacedStopsTheRunBeforeAnyOriginalChanges)
{
    struct Row
    {
        const char *Case;
        std::function<void(TFaultyFileSystem &)> Set;
        const char *Named;
    };
    const Row Rows[] = {
        {"read-only original", [this](TFaultyFileSystem &) {
             QFile::setPermissions(P(QStringLiteral("Main.pas")), QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
         }, "is read-only"},
        {"folder that may not be written", [](TFaultyFileSystem &F) { F.DenyReplace << QStringLiteral("/App"); },
         "may not be written"},
    };
    for (const Row &R : Rows) {
        SCOPED_TRACE(R.Case);
        MakeProject();
        TFaultyFileSystem Fs;
        R.Set(Fs);
        Replacer.SetFileSystem(&Fs);
        EXPECT_THROW(Replacer.PerformReplace(), EFileError);
        Replacer.SetFileSystem(nullptr);
        QFile::setPermissions(P(QStringLiteral("Main.pas")), QFile::ReadOwner | QFile::WriteOwner);
        EXPECT_TRUE(Replacer.RunErrors().join(u' ').contains(QLatin1String(R.Named))) << Replacer.RunErrors().join(u' ').toStdString();
        EXPECT_EQ(UntouchedCount(), 5);
        EXPECT_FALSE(QFileInfo::exists(Backup)) << "nothing left behind";
        EXPECT_EQ(LogMessages(P(QStringLiteral("Wiz_Log.txt"))).last(), QStringLiteral("Replace failed."));
        EXPECT_TRUE(QDir(App).entryList(QDir::Files | QDir::Hidden).filter(QStringLiteral("migwiz~")).isEmpty());
    }
    EXPECT_TRUE(Replacer.PerformReplace()) << "the next run is not refused";
}

TEST_F(ReplaceRun, PathsOutsideTheCodePageAreRestoredAllTheSame)
{
    const QString Unit = P(QString::fromUtf8("Проект/Main.pas"));
    WriteBytes(Unit, MainPas);
    Options.Dest = sdDirectory;
    Options.Directory = App;
    Options.IncludeSubDirs = true;
    ASSERT_TRUE(Replacer.PerformReplace());
    const QByteArray Undo = ReadBytes(NativePath(Backup + QStringLiteral("/RExpert.reu")));
    EXPECT_TRUE(Undo.startsWith("\xEF\xBB\xBF")) << "UTF-8, since windows-1252 has no Cyrillic";
    ASSERT_TRUE(Replacer.PerformRestore(NativePath(Backup + QStringLiteral("/RExpert.reu"))));
    EXPECT_EQ(ReadBytes(Unit), MainPas);
}

TEST_F(ReplaceRun, RestoreChecksEveryBackupBeforeCopying)
{
    MakeProject();
    ASSERT_TRUE(Replacer.PerformReplace());
    const QByteArray Converted = ReadBytes(P(QStringLiteral("Main.pas")));
    QFile::remove(NativePath(Backup + QStringLiteral("/Data.~dfm")));
    EXPECT_FALSE(Replacer.PerformRestore(NativePath(Backup + QStringLiteral("/RExpert.reu"))));
    EXPECT_EQ(ReadBytes(P(QStringLiteral("Main.pas"))), Converted) << "nothing copied";
    EXPECT_THROW(Replacer.PerformRestore(Root.filePath(QStringLiteral("none.reu"))), EFileError);
}

TEST_F(ReplaceRun, FailedWritesLeaveEveryOriginalUntouchedOrConvertedWithItsBackup)
{
    struct Row
    {
        const char *Fault;
        std::function<void(TFaultyFileSystem &)> Set;
        bool Stops;        // an error stops the run before the copy-back
        int Untouched;     // originals left with their bytes
        const char *Named; // what the run's error names
    };
    const Row Rows[] = {
        {"temporary file", [](TFaultyFileSystem &F) { F.FailWriteAt = 1; }, true, 5, "/Main.pas"},
        {"backup copied without hard links", [](TFaultyFileSystem &F) { F.NoHardLinks = true; F.WritesOf = QStringLiteral("/Backup/Data."); F.FailWriteAt = 1; }, true, 5, "Data.~pas"},
        {"undo file", [](TFaultyFileSystem &F) { F.WritesOf = QStringLiteral(".RExpert.reu.migwiz~"); F.FailWriteAt = 1; }, true, 5, "RExpert.reu"},
        {"run record", [](TFaultyFileSystem &F) { F.FailRenameAt = 1; }, true, 5, "RExpert.reu.run"},
        {"backup folder flush", [](TFaultyFileSystem &F) { F.FailSyncAt = 1; }, true, 5, "/Backup"},
        {"temporary beside an original", [](TFaultyFileSystem &F) { F.TemporaryFolderElsewhere = true; F.WritesOf = QStringLiteral(".Main.pas.migwiz~"); F.FailWriteAt = 1; }, true, 5, "Main.pas"},
        {"full disk beside the originals", [](TFaultyFileSystem &F) { F.TemporaryFolderElsewhere = true; F.WritesOf = QStringLiteral("/App/.Data."); F.WriteBudget = 0; }, true, 5, "No space left"},
        {"rename of a replacement", [](TFaultyFileSystem &F) { F.FailRenameAt = 4; }, false, 2, "Data.pas"},
        {"finished run record", [](TFaultyFileSystem &F) { F.WritesOf = QStringLiteral(".RExpert.reu.run.migwiz~"); F.FailWriteAt = 2; }, false, 1, "RExpert.reu.run"},
    };
    MakeProject();
    for (const Row &R : Rows) {
        SCOPED_TRACE(R.Fault);
        TFaultyFileSystem Fs;
        R.Set(Fs);
        Replacer.SetFileSystem(&Fs);
        bool Stopped = false;
        try {
            EXPECT_FALSE(Replacer.PerformReplace());
        } catch (const EFileError &E) {
            Stopped = true;
            EXPECT_TRUE(LogMessages(P(QStringLiteral("Wiz_Log.txt"))).contains(E.Message()));
        }
        Replacer.SetFileSystem(nullptr);
        EXPECT_EQ(Stopped, R.Stops);
        EXPECT_TRUE(QDir::fromNativeSeparators(Replacer.RunErrors().join(u' ')).contains(QLatin1String(R.Named)))
            << Replacer.RunErrors().join(u' ').toStdString();
        EXPECT_EQ(UntouchedCount(), R.Untouched);
        EXPECT_TRUE(TempIsEmpty());
        EXPECT_TRUE(QDir(App).entryList(QDir::Hidden | QDir::Files).filter(QStringLiteral("migwiz~")).isEmpty());
        if (R.Stops) {
            EXPECT_FALSE(QFileInfo::exists(Backup)) << "a stopped run removes the backups and the folder it made";
            continue;
        }
        // Not stopped: the run failed, names the file and why, and the undo
        // file leads back to every original.
        ASSERT_TRUE(Replacer.PerformRestore(UndoFile()));
        EXPECT_EQ(UntouchedCount(), 5);
        QDir(Backup).removeRecursively();
    }
}

TEST_F(ReplaceRun, CrashAtAnyReplacementIsRestoredByteForByteAndBlocksASecondRun)
{
    // The crashing run is a forked copy of this process, in this test's folders.
    POSIX_ONLY(ForkedDeathTest);
    GTEST_FLAG_SET(death_test_style, "fast");
    MakeProject();
    for (int K = 1; K <= 4; ++K) {
        SCOPED_TRACE(K);
        TFaultyFileSystem Fs;
        Fs.CrashAtReplacement = K;
        Replacer.SetFileSystem(&Fs);
        EXPECT_EXIT(Replacer.PerformReplace(), ::testing::ExitedWithCode(TFaultyFileSystem::CrashExitCode), "");
        Replacer.SetFileSystem(nullptr);
        EXPECT_EQ(UntouchedCount(), 5 - (K - 1)) << "replaced before the crash: " << K - 1;
        EXPECT_EQ(ReadBytes(UndoFile()).count("\r\n"), 4) << "the undo file is complete before the first replacement";
        try {
            Replacer.PerformReplace();
            ADD_FAILURE() << "a second run started";
        } catch (const EFileError &E) {
            EXPECT_TRUE(E.Message().contains(UndoFile()) && E.Message().contains(QStringLiteral("unfinished")))
                << E.Message().toStdString();
        }
        EXPECT_EQ(UntouchedCount(), 5 - (K - 1)) << "the refused run changed nothing";
        ASSERT_TRUE(Replacer.PerformRestore(UndoFile()));
        EXPECT_EQ(UntouchedCount(), 5);
        QDir(Backup).removeRecursively();
        QDir(Tmp).removeRecursively(); // the crashed run's temporary folder
        QDir().mkpath(Tmp);
    }
}

TEST_F(ReplaceRun, NamesThatDifferOnlyInLetterCaseStayApart)
{
    if (!FileNamesAreCaseSensitive())
        GTEST_SKIP() << "one file on this system";
    const QByteArray Lower = "unit x;\r\nvar Q: TQuery;\r\n{$R *.dfm}\r\nend.\r\n";
    const QByteArray Upper = "unit X;\r\nvar D: TDatabase;\r\n{$R *.dfm}\r\nend.\r\n";
    const QByteArray LowerDfm = "object x: Tx\r\n  object Q: TQuery\r\n  end\r\nend\r\n";
    const QByteArray UpperDfm = "object X: TX\r\n  object D: TDatabase\r\n  end\r\nend\r\n";
    WriteBytes(P(QStringLiteral("x.pas")), Lower);
    WriteBytes(P(QStringLiteral("X.pas")), Upper);
    WriteBytes(P(QStringLiteral("x.dfm")), LowerDfm);
    WriteBytes(P(QStringLiteral("X.dfm")), UpperDfm);
    Options.Dest = sdDirectory;
    Options.Directory = App;
    ASSERT_TRUE(Replacer.PerformReplace());
    EXPECT_EQ(Replacer.UndoList().Count(), 4);
    EXPECT_TRUE(ReadBytes(P(QStringLiteral("x.dfm"))).contains("object Q: TOrxQuery"));
    EXPECT_TRUE(ReadBytes(P(QStringLiteral("X.dfm"))).contains("object D: TOrxConnection"));
    ASSERT_TRUE(Replacer.PerformRestore(UndoFile()));
    EXPECT_EQ(ReadBytes(P(QStringLiteral("x.pas"))), Lower);
    EXPECT_EQ(ReadBytes(P(QStringLiteral("X.pas"))), Upper);
    EXPECT_EQ(ReadBytes(P(QStringLiteral("x.dfm"))), LowerDfm);
    EXPECT_EQ(ReadBytes(P(QStringLiteral("X.dfm"))), UpperDfm);
}

namespace {
// Each question is told apart: a vanished file must not be offered for
// overwriting, nor an edited one for creating.
struct TAnswers : TRestoreQuestions
{
    bool Yes = false;
    QStringList AskedChanged, AskedMissing;
    bool OverwriteChangedFiles(const QStringList &Files) override { AskedChanged += Files; return Yes; }
    bool CreateMissingFiles(const QStringList &Files) override { AskedMissing += Files; return Yes; }
};
} // namespace

TEST_F(ReplaceRun, RestoreLeavesEditedAndVanishedFilesAloneUnlessTheUserSaysSo)
{
    MakeProject();
    for (bool Yes : {false, true}) {
        SCOPED_TRACE(Yes);
        ASSERT_TRUE(Replacer.PerformReplace());
        WriteBytes(P(QStringLiteral("Main.pas")), "edited after the conversion");
        QFile::remove(P(QStringLiteral("Data.pas")));
        TAnswers Answers;
        Answers.Yes = Yes;
        Replacer.SetRestoreQuestions(&Answers);
        EXPECT_EQ(Replacer.PerformRestore(UndoFile()), Yes);
        Replacer.SetRestoreQuestions(nullptr);
        EXPECT_EQ(Answers.AskedChanged, QStringList{P(QStringLiteral("Main.pas"))});
        EXPECT_EQ(Answers.AskedMissing, QStringList{P(QStringLiteral("Data.pas"))});
        EXPECT_EQ(ReadBytes(P(QStringLiteral("Main.dfm"))), MainDfm) << "the others are restored";
        if (Yes) {
            EXPECT_EQ(UntouchedCount(), 5);
        } else {
            EXPECT_EQ(ReadBytes(P(QStringLiteral("Main.pas"))), QByteArray("edited after the conversion"));
            EXPECT_FALSE(QFile::exists(P(QStringLiteral("Data.pas"))));
            EXPECT_EQ(Replacer.RestoreReport().LeftChanged, QStringList{P(QStringLiteral("Main.pas"))});
            EXPECT_EQ(Replacer.RestoreReport().LeftMissing, QStringList{P(QStringLiteral("Data.pas"))});
            MakeProject();
        }
        QDir(Backup).removeRecursively();
    }
}

TEST_F(ReplaceRun, RestoreTakesRelativePathsFromTheUndoFilesFolderAndBackupsOnlyFromInsideIt)
{
    MakeProject();
    WriteBytes(NativePath(Backup + QStringLiteral("/Main.~pas")), MainPas);
    WriteBytes(P(QStringLiteral("Main.pas")), "converted");
    WriteBytes(UndoFile(), "../App/Main.pas=Main.~pas\r\n");
    TAnswers Answers; // no run record: the converted file counts as possibly edited
    Answers.Yes = true;
    Replacer.SetRestoreQuestions(&Answers);
    ASSERT_TRUE(Replacer.PerformRestore(UndoFile()));
    Replacer.SetRestoreQuestions(nullptr);
    EXPECT_EQ(Answers.AskedChanged, QStringList{P(QStringLiteral("Main.pas"))});
    EXPECT_EQ(ReadBytes(P(QStringLiteral("Main.pas"))), MainPas);

    // A backup outside the undo file's folder, also through a link.
    WriteBytes(P(QStringLiteral("Main.pas")), "converted");
    WriteBytes(NativePath(Backup + QStringLiteral("2/Main.~pas")), MainPas);
    QStringList Lines{P(QStringLiteral("Main.pas")) + u'=' + P(QStringLiteral("Util.pas")),
                      P(QStringLiteral("Main.pas")) + u'=' + NativePath(Backup + QStringLiteral("2/Main.~pas"))};
    if (MIGWIZ_POSIX) { // SymbolicLinks
        QFile::link(P(QStringLiteral("Util.pas")), NativePath(Backup + QStringLiteral("/Link.~pas")));
        Lines << P(QStringLiteral("Main.pas")) + QStringLiteral("=Link.~pas");
    }
    for (const QString &Line : Lines) {
        WriteBytes(UndoFile(), (Line + QStringLiteral("\r\n")).toUtf8());
        EXPECT_FALSE(Replacer.PerformRestore(UndoFile()));
        EXPECT_EQ(ReadBytes(P(QStringLiteral("Main.pas"))), QByteArray("converted"));
        EXPECT_TRUE(Replacer.RestoreReport().Errors.join(u' ').contains(QStringLiteral("not inside")));
    }
}

TEST_F(ReplaceRun, ReplacementKeepsOwnerGroupAndPermissions)
{
    POSIX_ONLY(OwnerGroupMode);
#if MIGWIZ_POSIX
    MakeProject();
    const QByteArray Main = P(QStringLiteral("Main.pas")).toLocal8Bit();
    const bool Root = ::geteuid() == 0;
    if (Root) {
        ASSERT_EQ(::chown(Main.constData(), 12345, 23456), 0);
    }
    ASSERT_EQ(::chmod(Main.constData(), 0640), 0);
    struct stat Before;
    ASSERT_EQ(::stat(Main.constData(), &Before), 0);
    ASSERT_TRUE(Replacer.PerformReplace());
    struct stat After;
    ASSERT_EQ(::stat(Main.constData(), &After), 0);
    EXPECT_NE(Before.st_ino, After.st_ino) << "replaced, not rewritten in place";
    EXPECT_EQ(After.st_uid, Before.st_uid);
    EXPECT_EQ(After.st_gid, Before.st_gid);
    EXPECT_EQ(After.st_mode & 07777, 0640u);
    if (!Root)
        GTEST_SKIP() << "owner and group checked only as root, who could lose them";
#endif
}

TEST_F(ReplaceRun, WhatTheUndoFileCannotHoldOrTheScanCannotReadStopsTheRunBeforeAnyWrite)
{
    POSIX_ONLY(LineBreakInName);
    Options.Dest = sdDirectory;
    Options.Directory = App;
    Options.IncludeSubDirs = true;
    WriteBytes(P(QStringLiteral("Main.pas")), MainPas);
    WriteBytes(P(QStringLiteral("Two\nLines.pas")), MainPas);
    try {
        Replacer.PerformReplace();
        ADD_FAILURE() << "no error";
    } catch (const EFileError &E) {
        EXPECT_TRUE(E.Message().contains(P(QStringLiteral("Two\nLines.pas"))));
    }
    EXPECT_EQ(ReadBytes(P(QStringLiteral("Main.pas"))), MainPas);
    EXPECT_FALSE(QFileInfo::exists(Backup));
    QFile::remove(P(QStringLiteral("Two\nLines.pas")));

    // A folder whose path is too long for the system to open.
    POSIX_ONLY(DescriptorCalls);
#if MIGWIZ_POSIX
    const int Top = ::open(App.toLocal8Bit().constData(), O_RDONLY | O_DIRECTORY);
    ASSERT_GE(Top, 0);
    int Fd = Top;
    const QByteArray Long(200, 'd');
    for (int I = 0; I < 25; ++I) {
        ASSERT_EQ(::mkdirat(Fd, Long.constData(), 0755), 0);
        const int Next = ::openat(Fd, Long.constData(), O_RDONLY | O_DIRECTORY);
        if (Fd != Top)
            ::close(Fd);
        Fd = Next;
    }
    ::close(Fd);
    ::close(Top);
    try {
        Replacer.PerformReplace();
        ADD_FAILURE() << "a folder was skipped in silence";
    } catch (const EFileError &E) {
        EXPECT_TRUE(E.Message().contains(QString::fromLatin1(Long))) << E.Message().toStdString();
    }
    EXPECT_EQ(ReadBytes(P(QStringLiteral("Main.pas"))), MainPas);
    EXPECT_FALSE(QFileInfo::exists(Backup));
    // (QTemporaryDir removes the deep tree through relative paths.)
    EXPECT_EQ(::system(("rm -rf '" + App.toLocal8Bit() + "/" + Long + "'").constData()), 0);
#endif
}

TEST_F(ReplaceRun, StopRequestEndsTheRunLikeAnError)
{
    struct TStopAtSecondFile : TReplaceProgress
    {
        void FileStarted(int Index, int, const QString &) override
        {
            if (Index == 1)
                TReplaceRun::RequestStop();
        }
    } Progress;
    MakeProject();
    Replacer.SetProgress(&Progress);
    EXPECT_THROW(Replacer.PerformReplace(), EMigError);
    Replacer.SetProgress(nullptr);
    EXPECT_EQ(UntouchedCount(), 5);
    EXPECT_FALSE(QFileInfo::exists(Backup));
    EXPECT_TRUE(TempIsEmpty());
    EXPECT_TRUE(Replacer.PerformReplace()) << "the next run is not stopped";
}

TEST_F(ReplaceRun, AnEditSavedDuringTheRunIsKeptWhateverTheMoment)
{
    // The editor saves Data.pas at a chosen step of the run: as most editors
    // do (a new file renamed over it), or by appending in place (which also
    // reaches a backup that is a second name of the same file).
    const QString Edited = P(QStringLiteral("Data.pas"));
    const QByteArray Saved = DataPas + "// saved by the user\r\n";
    const std::function<void()> Edits[] = {
        [&] {
            WriteBytes(Edited + QStringLiteral(".new"), Saved);
            ASSERT_TRUE(QFile::remove(Edited) && QFile::rename(Edited + QStringLiteral(".new"), Edited));
        },
        [&] {
            QFile File(Edited);
            ASSERT_TRUE(File.open(QIODevice::Append));
            File.write("// saved by the user\r\n");
        },
    };
    const std::pair<const char *, QString> Moments[] = {
        {"read", P(QStringLiteral("Main.dfm"))},   // while the forms are converted
        {"link", Edited},                          // just before its backup
        {"syncfs", Backup},                        // before the undo file
        {"replace", P(QStringLiteral("Main.pas"))}, // while another file is replaced
        {"attributes", Edited},                    // as it is examined before its replacement
    };
    for (const auto &[Op, Path] : Moments)
        for (int E = 0; E < 2; ++E) {
            SCOPED_TRACE(QStringLiteral("%1 %2, edit %3").arg(QLatin1String(Op), Path).arg(E).toStdString());
            MakeProject();
            TFaultyFileSystem Fs;
            bool Done = false;
            Fs.Before = [&, Op = QLatin1String(Op), Path = Path](const QString &Step, const QString &On) {
                if (!Done && Step == Op && On == Path) {
                    Done = true;
                    Edits[E]();
                }
            };
            Replacer.SetFileSystem(&Fs);
            EXPECT_FALSE(Replacer.PerformReplace());
            Replacer.SetFileSystem(nullptr);
            ASSERT_TRUE(Done);
            EXPECT_EQ(ReadBytes(Edited), Saved) << "the user's edit is kept";
            EXPECT_TRUE(Replacer.RunErrors().join(u' ').contains(Edited));
            EXPECT_TRUE(LogMessages(P(QStringLiteral("Wiz_Log.txt"))).join(u' ').contains(Edited));
            EXPECT_EQ(LogMessages(P(QStringLiteral("Wiz_Log.txt"))).last(), QStringLiteral("Replace failed."));
            EXPECT_TRUE(ReadBytes(P(QStringLiteral("Wiz_Report.txt"))).contains("Data.pas  changed while the run worked"));
            EXPECT_EQ(Replacer.WorkReport().Count(TWorkItemKind::FileLeftAlone), 1);
            EXPECT_FALSE(ReadBytes(UndoFile()).contains(Edited.toUtf8())) << "the undo file leaves it out";
            EXPECT_TRUE(ReadBytes(P(QStringLiteral("Main.pas"))).contains("TOrxQuery")) << "the others are converted";
            EXPECT_TRUE(Replacer.PerformRestore(UndoFile()));
            EXPECT_EQ(ReadBytes(P(QStringLiteral("Main.pas"))), MainPas);
            EXPECT_EQ(ReadBytes(Edited), Saved);
            QDir(Backup).removeRecursively();
        }
}

TEST_F(ReplaceRun, TheTrialLoopReplaceRestoreReplaceWorks)
{
    MakeProject();
    ASSERT_TRUE(Replacer.PerformReplace());
    ASSERT_TRUE(Replacer.PerformRestore(UndoFile()));
    EXPECT_TRUE(ReadBytes(UndoFile() + QStringLiteral(".run")).startsWith("migwiz-run restored\n"));
    ASSERT_TRUE(Replacer.PerformReplace()) << "the restored undo set is replaced";
    EXPECT_TRUE(ReadBytes(P(QStringLiteral("Main.pas"))).contains("TOrxQuery"));
    EXPECT_EQ(ReadBytes(Backup + QStringLiteral("/Main.~pas")), MainPas);
    ASSERT_TRUE(Replacer.PerformRestore(UndoFile()));
    EXPECT_EQ(UntouchedCount(), 5);

    // A run whose every replacement fails replaced nothing: it leaves no
    // undo set, its log says it failed, and the next run proceeds.
    QDir(App).removeRecursively();
    WriteBytes(P(QStringLiteral("A.pas")), "var Q: TQuery;");
    Options.Dest = sdDirectory;
    Options.Directory = App;
    TFaultyFileSystem Fs;
    Fs.FailRenameAt = 3; // the record, the undo file, then the one replacement
    Replacer.SetFileSystem(&Fs);
    EXPECT_FALSE(Replacer.PerformReplace());
    Replacer.SetFileSystem(nullptr);
    EXPECT_EQ(ReadBytes(P(QStringLiteral("A.pas"))), QByteArray("var Q: TQuery;"));
    EXPECT_FALSE(QFileInfo::exists(UndoFile()));
    EXPECT_EQ(LogMessages(P(QStringLiteral("Wiz_Log.txt"))).last(), QStringLiteral("Replace failed."));
    EXPECT_TRUE(Replacer.PerformReplace());
}

TEST_F(ReplaceRun, ALogThatCannotBeWrittenFailsTheRunAndNamesTheLog)
{
    // The log's descriptor is pointed at /dev/full while the run replaces
    // its files: every later log write fails as on a full disk.
    POSIX_ONLY(SpecialFiles);
#if MIGWIZ_POSIX
    MakeProject();
    const QString Log = P(QStringLiteral("Wiz_Log.txt"));
    TFaultyFileSystem Fs;
    bool Diverted = false;
    Fs.Before = [&](const QString &Step, const QString &) {
        if (Step != QLatin1String("replace") || Diverted)
            return;
        for (const QFileInfo &Fd : QDir(QStringLiteral("/proc/self/fd")).entryInfoList(QDir::System | QDir::Files))
            if (Fd.symLinkTarget() == Log) {
                const int Full = ::open("/dev/full", O_WRONLY | O_CLOEXEC);
                Diverted = Full >= 0 && ::dup2(Full, Fd.fileName().toInt()) >= 0;
                ::close(Full);
            }
    };
    Replacer.SetFileSystem(&Fs);
    EXPECT_FALSE(Replacer.PerformReplace());
    Replacer.SetFileSystem(nullptr);
    ASSERT_TRUE(Diverted);
    const QString Errors = Replacer.RunErrors().join(u'\n');
    EXPECT_TRUE(Errors.contains(QStringLiteral("Cannot write the log \"%1\"").arg(Log))) << Errors.toStdString();
    EXPECT_EQ(UntouchedCount(), 1) << "the files were converted all the same";
    ASSERT_TRUE(Replacer.PerformRestore(UndoFile()));
    EXPECT_EQ(UntouchedCount(), 5);
#endif
}

TEST_F(ReplaceRun, OneRunOrRestoreAtATimeAndTheSecondNamesTheFirst)
{
    MakeProject();
    TComponentReplacer Second(nullptr, QStringLiteral("DBTables"), QStringLiteral(", Orx"), &Options);
    TFaultyFileSystem Fs;
    QString Holder, Refusal;
    TRestoreReport Restore;
    Fs.Before = [&](const QString &Step, const QString &) {
        if (Step != QLatin1String("replace") || !Holder.isEmpty())
            return;
        Holder = RunLockHolder(Backup);
        try {
            Second.PerformReplace();
        } catch (const EFileError &E) {
            Refusal = E.Message();
        }
        Second.PerformRestore(UndoFile());
        Restore = Second.RestoreReport();
    };
    Replacer.SetFileSystem(&Fs);
    ASSERT_TRUE(Replacer.PerformReplace());
    Replacer.SetFileSystem(nullptr);
    const QString Pid = QString::number(QCoreApplication::applicationPid());
    EXPECT_TRUE(Holder.startsWith(QStringLiteral("a replace run (process %1 on ").arg(Pid))) << Holder.toStdString();
    EXPECT_TRUE(Refusal.contains(Holder)) << Refusal.toStdString();
    EXPECT_TRUE(Restore.Errors.join(u' ').contains(Holder)) << Restore.Errors.join(u' ').toStdString();
    EXPECT_TRUE(RunLockHolder(Backup).isEmpty());
    EXPECT_FALSE(QFileInfo::exists(Backup + QStringLiteral("/RExpert.lock")));
    EXPECT_TRUE(ReadBytes(P(QStringLiteral("Wiz_Log.txt"))).contains("Replace procedure was performed sucessfully."))
        << "the refused run did not touch the first one's log";
}

TEST_F(ReplaceRun, RestoreTrustsNothingItDidNotWrite)
{
    struct Row
    {
        const char *Case;
        std::function<void()> Spoil;
        bool Force;        // the user answers yes
        int Restored;      // originals back (of 5)
        const char *Named; // in the errors
    };
    const QString Outside = Root.filePath(QStringLiteral("outside/victim.txt"));
    const Row Rows[] = {
        {"no run record", [&] { QFile::remove(UndoFile() + QStringLiteral(".run")); }, false, 1, "possibly edited"},
        {"no run record, forced", [&] { QFile::remove(UndoFile() + QStringLiteral(".run")); }, true, 5, ""},
        {"a damaged line of the record", [&] {
             QByteArray Bytes = ReadBytes(UndoFile() + QStringLiteral(".run"));
             Bytes.replace(Bytes.indexOf(' ', Bytes.indexOf("\n", 20) + 1) - 3, 3, "zz!");
             WriteBytes(UndoFile() + QStringLiteral(".run"), Bytes);
         }, false, 4, "damaged"},
        {"an emptied backup", [&] { WriteBytes(Backup + QStringLiteral("/Main.~dfm"), ""); }, true, 1, "Main.~dfm"},
        {"a target outside the tree", [&] {
             WriteBytes(UndoFile(), ReadBytes(UndoFile()) + "../outside/victim.txt=Main.~pas\r\n");
         }, true, 1, "victim.txt"},
        {"an absolute target outside the tree", [&] {
             WriteBytes(UndoFile(), ReadBytes(UndoFile()) + Outside.toUtf8() + '=' + Backup.toUtf8() + "/Main.~pas\r\n");
         }, true, 1, "victim.txt"},
        {"a read-only original", [&] {
             QFile::setPermissions(P(QStringLiteral("Data.pas")), QFile::ReadOwner);
         }, true, 4, "read-only"},
    };
    for (const Row &R : Rows) {
        SCOPED_TRACE(R.Case);
        MakeProject();
        WriteBytes(Outside, "victim");
        ASSERT_TRUE(Replacer.PerformReplace());
        R.Spoil();
        TAnswers Answers;
        Answers.Yes = R.Force;
        Replacer.SetRestoreQuestions(&Answers);
        EXPECT_EQ(Replacer.PerformRestore(UndoFile()), R.Restored == 5);
        Replacer.SetRestoreQuestions(nullptr);
        QFile::setPermissions(P(QStringLiteral("Data.pas")), QFile::ReadOwner | QFile::WriteOwner);
        EXPECT_EQ(UntouchedCount(), R.Restored);
        EXPECT_EQ(ReadBytes(Outside), QByteArray("victim"));
        EXPECT_TRUE(Replacer.RestoreReport().Errors.join(u' ').contains(QLatin1String(R.Named)))
            << Replacer.RestoreReport().Errors.join(u'|').toStdString();
        QDir(Backup).removeRecursively();
    }

    // A file that is no undo file is refused in one message; an empty one
    // says why it restores nothing.
    QDir().mkpath(Backup);
    WriteBytes(UndoFile(), QByteArray("garbage\r\n").repeated(1000));
    EXPECT_FALSE(Replacer.PerformRestore(UndoFile()));
    EXPECT_EQ(Replacer.RestoreReport().Errors.size(), 1);
    EXPECT_TRUE(Replacer.RestoreReport().Errors.value(0).contains(QStringLiteral("is not an undo file")));
    WriteBytes(UndoFile(), "");
    EXPECT_FALSE(Replacer.PerformRestore(UndoFile()));
    EXPECT_TRUE(Replacer.RestoreReport().Errors.value(0).contains(QStringLiteral("lists no file")));
}

TEST_F(ReplaceRun, OnlyRegularFilesWithNamesThatRoundTripAreConverted)
{
    POSIX_ONLY(SpecialFiles);
#if MIGWIZ_POSIX
    Options.Dest = sdDirectory;
    Options.Directory = App;
    WriteBytes(P(QStringLiteral("Main.pas")), MainPas);
    WriteBytes(P(QStringLiteral("Target.pas")), "var Q: TQuery;");
    ASSERT_TRUE(QFile::link(P(QStringLiteral("Target.pas")), P(QStringLiteral("Link.pas"))));
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/zero"), P(QStringLiteral("Zero.pas"))));
    ASSERT_EQ(::mkfifo(P(QStringLiteral("Pipe.pas")).toLocal8Bit().constData(), 0644), 0);
    ASSERT_EQ(::mkfifo(P(QStringLiteral("Main.dfm")).toLocal8Bit().constData(), 0644), 0); // the unit's form
    // A name at the file system's limit converts and restores.
    const QString Long = P(QString(251, u'L') + QStringLiteral(".pas"));
    WriteBytes(Long, "var Q: TQuery;");
    TFaultyFileSystem Fs;
    Replacer.SetFileSystem(&Fs);
    ASSERT_TRUE(Replacer.PerformReplace()) << Replacer.RunErrors().join(u' ').toStdString();
    Replacer.SetFileSystem(nullptr);
    for (const char *Name : {"Link.pas", "Zero.pas", "Pipe.pas", "Main.dfm"})
        EXPECT_TRUE(Fs.Journal.filter(QStringLiteral("read ") + P(QLatin1String(Name))).isEmpty()) << Name << " never read";
    EXPECT_EQ(Replacer.WorkReport().Count(TWorkItemKind::FileLeftAlone), 4);
    EXPECT_TRUE(QFileInfo(P(QStringLiteral("Link.pas"))).isSymLink());
    EXPECT_EQ(ReadBytes(P(QStringLiteral("Target.pas"))), QByteArray("var Q: TOrxQuery;"));
    EXPECT_TRUE(ReadBytes(P(QStringLiteral("Main.pas"))).contains("TOrxQuery"));
    EXPECT_EQ(ReadBytes(Long), QByteArray("var Q: TOrxQuery;"));
    ASSERT_TRUE(Replacer.PerformRestore(UndoFile())) << Replacer.RestoreReport().Errors.join(u' ').toStdString();
    EXPECT_EQ(ReadBytes(Long), QByteArray("var Q: TQuery;"));
    EXPECT_EQ(ReadBytes(P(QStringLiteral("Main.pas"))), MainPas);
    QDir(Backup).removeRecursively();

    // A name that is not valid UTF-8 is refused before anything is written.
    const QByteArray Bad = App.toLocal8Bit() + "/Bad\xff.pas";
    WriteBytes(QFile::decodeName(App.toLocal8Bit() + "/Good.pas"), "var Q: TQuery;");
    const int Fd = ::open(Bad.constData(), O_WRONLY | O_CREAT, 0644);
    ASSERT_GE(Fd, 0);
    ::close(Fd);
    try {
        Replacer.PerformReplace();
        ADD_FAILURE() << "no error";
    } catch (const EFileError &E) {
        EXPECT_TRUE(E.Message().contains(QStringLiteral("Bad\\xff.pas"))) << E.Message().toStdString();
    }
    EXPECT_FALSE(QFileInfo::exists(Backup));
    EXPECT_EQ(ReadBytes(P(QStringLiteral("Good.pas"))), QByteArray("var Q: TQuery;"));
    ::unlink(Bad.constData());

    // A log that is a second name of another file is refused, not emptied.
    QFile::remove(P(QStringLiteral("Wiz_Log.txt")));
    WriteBytes(Root.filePath(QStringLiteral("precious.txt")), "precious");
    ASSERT_TRUE(::link(Root.filePath(QStringLiteral("precious.txt")).toLocal8Bit().constData(),
                       P(QStringLiteral("Wiz_Log.txt")).toLocal8Bit().constData()) == 0);
    EXPECT_THROW(Replacer.PerformReplace(), EFCreateError);
    EXPECT_EQ(ReadBytes(Root.filePath(QStringLiteral("precious.txt"))), QByteArray("precious"));
#endif
}

TEST_F(ReplaceRun, TheFileLayerRecordsTheOrderOfWritesFlushesAndRenames)
{
    // Every converted file is on disk before it is renamed over its
    // original, and so are the undo file and its record.
    MakeProject();
    TFaultyFileSystem Fs;
    Replacer.SetFileSystem(&Fs);
    ASSERT_TRUE(Replacer.PerformReplace());
    Replacer.SetFileSystem(nullptr);
    const QStringList &J = Fs.Journal;
    const auto IndexOf = [&J](const QString &Prefix, qsizetype From = 0) {
        for (qsizetype I = From; I < J.size(); ++I)
            if (J[I].startsWith(Prefix))
                return I;
        return qsizetype(-1);
    };
    int Replacements = 0;
    for (qsizetype I = 0; I < J.size(); ++I) {
        if (!J[I].startsWith(QLatin1String("replace ")))
            continue;
        ++Replacements;
        const QString Temporary = J[I].section(u' ', 2);
        const qsizetype Written = IndexOf(QStringLiteral("write-unflushed ") + Temporary);
        ASSERT_GE(Written, 0) << J[I].toStdString();
        const qsizetype Flushed = IndexOf(QStringLiteral("syncfs "), Written);
        EXPECT_TRUE(Flushed > Written && Flushed < I) << "flushed between its write and its rename: " << J[I].toStdString();
        const qsizetype Undo = IndexOf(QStringLiteral("rename ") + TemporaryNameBeside(UndoFile()));
        EXPECT_TRUE(Undo >= 0 && Undo < I);
    }
    EXPECT_EQ(Replacements, 4);
    EXPECT_GT(IndexOf(QStringLiteral("syncfs "), IndexOf(QStringLiteral("replace "))), 0) << "a flush after the replacements";

    // A failed final flush fails the run and names the error.
    QDir(Backup).removeRecursively();
    MakeProject();
    TFaultyFileSystem Failing;
    Failing.FailSyncAfterReplacement = true;
    Replacer.SetFileSystem(&Failing);
    EXPECT_FALSE(Replacer.PerformReplace());
    Replacer.SetFileSystem(nullptr);
    EXPECT_TRUE(Replacer.RunErrors().join(u' ').contains(QStringLiteral("Cannot flush the file system")));
    EXPECT_EQ(LogMessages(P(QStringLiteral("Wiz_Log.txt"))).last(), QStringLiteral("Replace failed."));

    // A form named by two units: one undo line, one backup folder.
    QDir(Backup).removeRecursively();
    MakeProject();
    WriteBytes(P(QStringLiteral("Main2.pas")), "unit Main2;\r\n{$R Main.dfm}\r\nend.\r\n");
    Ide.Modules << P(QStringLiteral("Main2.pas"));
    Options.ModuleList += QStringLiteral("\r\nMain2.pas");
    ASSERT_TRUE(Replacer.PerformReplace());
    EXPECT_EQ(ReadBytes(UndoFile()).count((P(QStringLiteral("Main.dfm")) + u'=').toLocal8Bit()), 1);
    EXPECT_EQ(QDir(Backup).entryList(QDir::Dirs | QDir::NoDotAndDotDot), QStringList());

    // LinkFile of the real layer: into a missing folder, and across file
    // systems where the machine has two.
    TFileSystem Real;
    QString Error;
    EXPECT_FALSE(Real.LinkFile(P(QStringLiteral("Util.pas")), Root.filePath(QStringLiteral("none/Util.pas")), &Error));
    EXPECT_TRUE(Error.contains(QStringLiteral("none/Util.pas")));
    const QString Shm = QStringLiteral("/dev/shm/migwiz-link-test");
    if (QFileInfo(QStringLiteral("/dev/shm")).isWritable()
        && Real.Attributes(QStringLiteral("/dev/shm")).Device != Real.Attributes(App).Device) {
        EXPECT_FALSE(Real.LinkFile(P(QStringLiteral("Util.pas")), Shm, &Error));
        QFile::remove(Shm);
    }
}

TEST_F(ReplaceRun, TheTemporaryFolderOfADeadRunIsRemovedByTheNext)
{
    MakeProject();
    const QString Dead = Tmp + QStringLiteral("/$DS7"), Fresh = Tmp + QStringLiteral("/$DS8");
    WriteBytes(Dead + QStringLiteral("/Main.pas"), "a converted copy");
    QDir().mkpath(Fresh); // just made by a run that has not locked it yet
    POSIX_ONLY(FolderTimes);
#if MIGWIZ_POSIX
    const QByteArray Name = Dead.toLocal8Bit();
    const struct timespec Old[2] = {{1000000000, 0}, {1000000000, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, Name.constData(), Old, 0), 0);
    ASSERT_TRUE(Replacer.PerformReplace());
    EXPECT_FALSE(QFileInfo::exists(Dead));
    EXPECT_TRUE(QFileInfo::exists(Fresh));
#endif
}
