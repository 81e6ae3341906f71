// A whole replace run through the library: the order of work, the log and
// undo file contents, backups, the copy-back, and what an error leaves.
#include "Replacer.h"

#include "Errors.h"
#include "FakeIde.h"
#include "QtPrinters.h"
#include "TestFiles.h"
#include "TextCodec.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

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
        App = Root.filePath(QStringLiteral("App"));
        Backup = Root.filePath(QStringLiteral("Backup"));
        OldTmp = qgetenv("TMPDIR");
        Tmp = Root.filePath(QStringLiteral("tmp"));
        QDir().mkpath(Tmp);
        qputenv("TMPDIR", Tmp.toLocal8Bit());
        Options.BackupDir = Backup;
    }
    ~ReplaceRun() override { qputenv("TMPDIR", OldTmp); }

    QString P(const QString &Relative) const { return App + u'/' + Relative; }

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

    QTemporaryDir Root;
    TFakeIde Ide;
    TIDEServicesScope Scope;
    TReplaceOptions Options;
    TComponentReplacer Replacer;
    QString App, Backup, Tmp;
    QByteArray OldTmp;
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
                  QStringLiteral("Backup file: ") + Backup + QStringLiteral("/RExpert.reu"),
                  QStringLiteral("Removing temporary folder"),
                  QStringLiteral("Replace procedure was performed sucessfully."),
              }));
    EXPECT_TRUE(ReadBytes(P(QStringLiteral("Wiz_Log.txt"))).startsWith("BDE/IBX/FibPlus Migration Wizard log\r\n\r\nCreated at: "));

    EXPECT_EQ(ReadBytes(Backup + QStringLiteral("/RExpert.reu")),
              (P(QStringLiteral("Main.pas")) + u'=' + Backup + QStringLiteral("/Main.~pas\r\n")
               + P(QStringLiteral("Data.pas")) + u'=' + Backup + QStringLiteral("/Data.~pas\r\n")
               + P(QStringLiteral("Main.dfm")) + u'=' + Backup + QStringLiteral("/Main.~dfm\r\n")
               + P(QStringLiteral("Data.dfm")) + u'=' + Backup + QStringLiteral("/Data.~dfm\r\n"))
                  .toLocal8Bit());
    EXPECT_EQ(ReadBytes(Backup + QStringLiteral("/Main.~pas")), MainPas);
    EXPECT_EQ(ReadBytes(Backup + QStringLiteral("/Main.~dfm")), MainDfm);
    EXPECT_FALSE(QFile::exists(Backup + QStringLiteral("/Util.~pas")));
    EXPECT_EQ(ReadBytes(P(QStringLiteral("Util.pas"))), UtilPas);
    EXPECT_TRUE(ReadBytes(P(QStringLiteral("Main.pas"))).contains("Query1: TOrxQuery;"));
    EXPECT_TRUE(ReadBytes(P(QStringLiteral("Main.dfm"))).contains("object Query1: TOrxQuery"));
    EXPECT_EQ(Replacer.DBList().Lines(), QStringList{QStringLiteral("SALES=DataModule1.Database1")});
    EXPECT_TRUE(Replacer.UnitList().isEmpty());
    EXPECT_TRUE(TempIsEmpty());

    // And back: the restore gives every original its bytes again.
    ASSERT_TRUE(Replacer.PerformRestore(Backup + QStringLiteral("/RExpert.reu")));
    EXPECT_EQ(ReadBytes(P(QStringLiteral("Main.pas"))), MainPas);
    EXPECT_EQ(ReadBytes(P(QStringLiteral("Data.dfm"))), DataDfm);
    EXPECT_TRUE(ReadBytes(Backup + QStringLiteral("/Main.~pas")) == MainPas) << "backups stay";
    EXPECT_TRUE(Replacer.PerformRestore(Backup + QStringLiteral("/RExpert.reu"))) << "twice works too";
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
    ASSERT_TRUE(Replacer.PerformReplace());
    EXPECT_EQ(ReadBytes(P(QStringLiteral("Sub/A.pas"))), QByteArray("var Q: TOrxQuery;"));
    EXPECT_EQ(ReadBytes(Backup + QStringLiteral("/Sub/A.~pas")), QByteArray("var Q: TQuery;"));
    EXPECT_TRUE(ReadBytes(Backup + QStringLiteral("/RExpert.reu"))
                    .contains((P(QStringLiteral("Sub/A.pas")) + u'=' + Backup + QStringLiteral("/Sub/A.~pas\r\n")).toLocal8Bit()));
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
    EXPECT_EQ(ReadBytes(Backup + QStringLiteral("/RExpert.reu")), QByteArray()) << "empty undo file";
    EXPECT_FALSE(LogMessages(P(QStringLiteral("Wiz_Log.txt"))).contains(QStringLiteral("Replacing original files with changed versions")));
    EXPECT_FALSE(Replacer.PerformRestore(Backup + QStringLiteral("/RExpert.reu"))) << "nothing to restore";
}

TEST_F(ReplaceRun, FormNamedByTwoUnitsIsConvertedTwiceWithOneUndoLine)
{
    MakeProject();
    WriteBytes(P(QStringLiteral("Main2.pas")), "unit Main2;\r\n{$R Main.dfm}\r\nend.\r\n");
    Ide.Modules << P(QStringLiteral("Main2.pas"));
    Options.ModuleList += QStringLiteral("\r\nMain2.pas");
    ASSERT_TRUE(Replacer.PerformReplace());
    const QByteArray Undo = ReadBytes(Backup + QStringLiteral("/RExpert.reu"));
    EXPECT_EQ(Undo.count((P(QStringLiteral("Main.dfm")) + u'=').toLocal8Bit()), 1);
    EXPECT_EQ(ReadBytes(Backup + QStringLiteral("/Main.~dfm")), MainDfm);
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
    ASSERT_TRUE(Replacer.PerformRestore(Backup + QStringLiteral("/RExpert.reu")));
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
    EXPECT_EQ(LogMessages(P(QStringLiteral("Wiz_Log.txt"))),
              (QStringList{QStringLiteral("Initializing unit list"), QStringLiteral("Creating backup folder")}));
    EXPECT_EQ(ReadBytes(P(QStringLiteral("Main.pas"))), MainPas);
    QFile::remove(Backup);

    // A truncated binary form: error, originals untouched, no temporary folder.
    WriteBytes(P(QStringLiteral("Main.dfm")), QByteArray("\xFF\x0A\x00" "TMAIN\0\x30\x10\x40\0\0\0TPF0\x05", 18));
    EXPECT_THROW(Replacer.PerformReplace(), EStreamError);
    EXPECT_EQ(ReadBytes(P(QStringLiteral("Main.pas"))), MainPas);
    EXPECT_TRUE(TempIsEmpty());
    EXPECT_FALSE(LogMessages(P(QStringLiteral("Wiz_Log.txt"))).contains(QStringLiteral("Replace procedure was performed sucessfully.")));
    EXPECT_TRUE(Replacer.UnitList().isEmpty());

    // No temporary folder can be made: the run stops and removes nothing.
    qputenv("TMPDIR", Root.filePath(QStringLiteral("no-such-folder")).toLocal8Bit());
    EXPECT_THROW(Replacer.PerformReplace(), EFCreateError);
    qputenv("TMPDIR", Tmp.toLocal8Bit());
    EXPECT_EQ(LogMessages(P(QStringLiteral("Wiz_Log.txt"))).last(), QStringLiteral("Allocating temporary folder"));
    EXPECT_EQ(ReadBytes(P(QStringLiteral("Main.pas"))), MainPas);

    // A chosen unit that the project does not have.
    WriteBytes(P(QStringLiteral("Main.dfm")), MainDfm);
    Options.ModuleList = QStringLiteral("Main.pas\r\nGhost.pas");
    EXPECT_THROW(Replacer.PerformReplace(), EFileError);
    EXPECT_EQ(ReadBytes(P(QStringLiteral("Main.pas"))), MainPas);
}

TEST_F(ReplaceRun, ReadOnlyOriginalMakesTheRunFailAndLeavesTheOthersReplaced)
{
    MakeProject();
    QFile::setPermissions(P(QStringLiteral("Main.pas")), QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
    EXPECT_FALSE(Replacer.PerformReplace());
    EXPECT_EQ(ReadBytes(P(QStringLiteral("Main.pas"))), MainPas);
    EXPECT_TRUE(ReadBytes(P(QStringLiteral("Main.dfm"))).contains("TOrxQuery"));
    EXPECT_TRUE(ReadBytes(P(QStringLiteral("Data.pas"))).contains("DBTables, Orx;"));
    const QStringList Log = LogMessages(P(QStringLiteral("Wiz_Log.txt")));
    EXPECT_TRUE(Log.filter(QStringLiteral("read-only")).size() == 1) << Log.join(u'|').toStdString();
    EXPECT_EQ(Log.last(), QStringLiteral("Replace procedure was performed sucessfully."));
    EXPECT_TRUE(QDir(App).entryList(QDir::Files | QDir::Hidden).filter(QStringLiteral("Main.pas")).size() == 1)
        << "no temporary copy left beside the original";
}

TEST_F(ReplaceRun, PathsOutsideTheCodePageAreRestoredAllTheSame)
{
    const QString Unit = P(QString::fromUtf8("Проект/Main.pas"));
    WriteBytes(Unit, MainPas);
    Options.Dest = sdDirectory;
    Options.Directory = App;
    Options.IncludeSubDirs = true;
    ASSERT_TRUE(Replacer.PerformReplace());
    const QByteArray Undo = ReadBytes(Backup + QStringLiteral("/RExpert.reu"));
    EXPECT_TRUE(Undo.startsWith("\xEF\xBB\xBF")) << "UTF-8, since windows-1252 has no Cyrillic";
    ASSERT_TRUE(Replacer.PerformRestore(Backup + QStringLiteral("/RExpert.reu")));
    EXPECT_EQ(ReadBytes(Unit), MainPas);
}

TEST_F(ReplaceRun, RestoreChecksEveryBackupBeforeCopying)
{
    MakeProject();
    ASSERT_TRUE(Replacer.PerformReplace());
    const QByteArray Converted = ReadBytes(P(QStringLiteral("Main.pas")));
    QFile::remove(Backup + QStringLiteral("/Data.~dfm"));
    EXPECT_FALSE(Replacer.PerformRestore(Backup + QStringLiteral("/RExpert.reu")));
    EXPECT_EQ(ReadBytes(P(QStringLiteral("Main.pas"))), Converted) << "nothing copied";
    EXPECT_THROW(Replacer.PerformRestore(Root.filePath(QStringLiteral("none.reu"))), EFileError);
}
