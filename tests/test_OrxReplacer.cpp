// The product's replacers: their uses units and replace pairs, the shared
// options, the registered Orvex classes, the choice of a replacer by source
// set, and the transaction declared with every renamed TDatabase.
#include "ClassRegistry.h"
#include "Errors.h"
#include "OrxClasses.h"
#include "OrxFormParser.h"
#include "OrxReplacer.h"
#include "TextCodec.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include <ostream>

void PrintTo(const QString &Text, std::ostream *Out)
{
    *Out << '"' << QString(Text).replace("\r", "\\r").replace("\n", "\\n").toStdString() << '"';
}

namespace {

class OrxReplacer : public ::testing::Test
{
protected:
    // The unit Text rewritten by the replacer at Position; Text itself when
    // the rewriting left no output file.
    QString rewrite(int Position, const QString &Text)
    {
        TComponentReplacer &Replacer = *Product.Replacer(Position);
        const QString Unit = Dir.filePath(QStringLiteral("Unit1.pas"));
        const QString Out = Dir.filePath(QStringLiteral("out.pas"));
        QFile::remove(Out);
        Replacer.RewriteUnit(Text, Unit, TTextEncoding::Ansi(), Out);
        QFile F(Out);
        if (!F.open(QIODevice::ReadOnly))
            return Text;
        return TextCodec::DecodeAnsi(F.readAll());
    }

    QTemporaryDir Dir;
    TOrxProduct Product;
};

} // namespace

TEST_F(OrxReplacer, ThreeReplacersShareOneOptionsObject)
{
    struct Row
    {
        int Position;
        const char *SourceSet;
        const char *OldUsesUnit;
        const char *NewUsesList;
    };
    const Row Rows[] = {
        {0, "bde", "DBTABLES", ", Quorvel, Orx, Lintra, OrxError"},
        {1, "ibx", "IBDATABASE", ", Quorvel, Orx, OrxScript, Lintra, OrxError"},
        {2, "fibplus", "FIBDATABASE",
         ", Quorvel, Lintra, ZuSQLMonitor, ZuAlerter, ZuScript, Orx, OrxScript, OrxAlerter, OrxSQLMonitor, OrxError, "
         "OrxAdmin"},
    };
    for (const Row &R : Rows) {
        SCOPED_TRACE(R.SourceSet);
        TComponentReplacer *Replacer = Product.Replacer(R.Position);
        ASSERT_NE(Replacer, nullptr);
        EXPECT_EQ(Replacer->OldUsesUnit(), QString::fromLatin1(R.OldUsesUnit));
        EXPECT_EQ(Replacer->NewUsesList(), QString::fromLatin1(R.NewUsesList));
        EXPECT_EQ(Replacer->ReplaceOptions(), &Product.ReplaceOptions());
        EXPECT_NE(dynamic_cast<TOrxFormParser *>(&Replacer->FormParser()), nullptr);
        EXPECT_EQ(Replacer->Log().Header(), QStringLiteral("BDE/IBX/FibPlus Migration Wizard log"));
        EXPECT_EQ(TOrxProduct::ReplacerIndexOf(QString::fromLatin1(R.SourceSet)), R.Position);
        EXPECT_EQ(TOrxProduct::ReplacerIndexOf(QString::fromLatin1(R.SourceSet).toUpper()), R.Position);
    }
    EXPECT_EQ(Product.ReplaceOptions().Caption(), QStringLiteral("BDE/IBX/FibPlus Migration Wizard"));
    EXPECT_EQ(TOrxProduct::ReplacerIndexOf("FIBPlus"), 2);
    for (const char *Name : {"", "ado", "bde ", "dbx"})
        EXPECT_EQ(TOrxProduct::ReplacerIndexOf(Name), -1) << Name;
    EXPECT_EQ(Product.Replacer(-1), nullptr);
    EXPECT_EQ(Product.Replacer(3), nullptr);
    EXPECT_EQ(Product.Replacer(100), nullptr);
}

TEST_F(OrxReplacer, PairsOfEachSourceSet)
{
    struct Row
    {
        int Position;
        const char *OldClass;
        const char *NewClass; // null: no pair
    };
    // Every pair of the three tables is exercised by the example projects;
    // these are the facts that they do not show.
    const Row Rows[] = {
        {0, "TQUERY", "TOrxQuery"},           {0, "EDBEngineError", "EOrxError"},
        {0, "TBatchMove", "TKxBatchMove"},    {0, "TIBQuery", nullptr},
        {0, "TDataSource", nullptr},          {1, "TIBDataSet", "TOrxQuery"},
        {1, "TIBUpdateSQL", "TOrxUpdateSQL"}, {1, "TIBStoredProc", "TOrxStoredProc"},
        {1, "TDatabase", nullptr},            {2, "TpFIBDataSet", "TOrxQuery"},
        {2, "TpFIBQuery", "TOrxSQL"},         {2, "TpFIBNBackupService", "TOrxBackupService"},
        {2, "TpFIBNRestoreService", "TOrxRestoreService"}, {2, "TFIBSQLMonitor", "TOrxSQLMonitor"},
        {2, "TpFIBServerProperties", "TOrxServerProperties"}, {2, "TIBDatabase", nullptr},
    };
    for (const Row &R : Rows) {
        const QString *NewName = Product.Replacer(R.Position)->FindNewComp(QString::fromLatin1(R.OldClass));
        EXPECT_EQ(NewName ? *NewName : QString(), QString::fromLatin1(R.NewClass)) << R.Position << ' ' << R.OldClass;
    }
}

TEST_F(OrxReplacer, RegistersTheNineteenOrvexClasses)
{
    const QStringList Names = orxClassNames();
    EXPECT_EQ(Names.size(), 19);
    for (const QString &Name : Names) {
        const TPublishedProperties *Properties = TClassRegistry::Global().FindClass(Name);
        ASSERT_NE(Properties, nullptr) << Name.toStdString();
        for (const char *Common : {"Name", "Tag"})
            EXPECT_TRUE(Properties->Contains(QString::fromLatin1(Common))) << Name.toStdString();
    }
    EXPECT_EQ(TClassRegistry::Global().FindClass(u"TKxBatchMove"), nullptr);
    EXPECT_EQ(TClassRegistry::Global().FindClass(u"EOrxError"), nullptr);
    EXPECT_THROW(registerOrxClass("TOrxNothing"), EAssertionFailed);
}

TEST_F(OrxReplacer, TDatabaseAlsoDeclaresATransaction)
{
    const TComponentReplacer &Bde = *Product.Replacer(0);
    EXPECT_EQ(Bde.GetReplacementText("TDatabase", "TOrxConnection"),
              QStringLiteral("TOrxConnection;\r\n    Transaction: TOrxTransaction"));
    // The comparison is exact on both names.
    EXPECT_EQ(Bde.GetReplacementText("tdatabase", "TOrxConnection"), QStringLiteral("TOrxConnection"));
    EXPECT_EQ(Bde.GetReplacementText("TDatabase", "TOrxQuery"), QStringLiteral("TOrxQuery"));
    EXPECT_EQ(Bde.GetReplacementText("TQuery", "TOrxQuery"), QStringLiteral("TOrxQuery"));
    EXPECT_EQ(Bde.TranslateName("TDatabase"), QStringLiteral("TOrxConnection;\r\n    Transaction: TOrxTransaction"));
    EXPECT_EQ(Bde.TranslateName("Form1"), QStringLiteral("Form1"));
    EXPECT_EQ(Product.Replacer(1)->TranslateName("TIBDatabase"), QStringLiteral("TOrxConnection"));
    EXPECT_EQ(Product.Replacer(2)->TranslateName("TpFIBDatabase"), QStringLiteral("TOrxConnection"));
}

TEST_F(OrxReplacer, UnitsGetTheTransactionLineInTheirOwnLineBreaks)
{
    struct Case
    {
        int Position;
        QString Unit;
        QString Expected;
    };
    const Case Cases[] = {
        {0,
         "unit U;\r\ninterface\r\nuses DB, DBTables;\r\ntype\r\n  TDM = class(TDataModule)\r\n"
         "      Database1: TDatabase;\r\n    Query1: TQuery;\r\n  end;\r\n",
         "unit U;\r\ninterface\r\nuses DB, DBTables, Quorvel, Orx, Lintra, OrxError;\r\ntype\r\n"
         "  TDM = class(TDataModule)\r\n      Database1: TOrxConnection;\r\n    Transaction: TOrxTransaction;\r\n"
         "    Query1: TOrxQuery;\r\n  end;\r\n"},
        // Two connections: two transactions, with names of their own.
        {0, "  A: TDatabase;\r\n  B, C : TDatabase ;\r\n",
         "  A: TOrxConnection;\r\n    Transaction: TOrxTransaction;\r\n  B, C : TOrxConnection;\r\n"
         "    Transaction2: TOrxTransaction ;\r\n"},
        // A unit with LF line ends gets an LF line.
        {0, "type\n  TDM = class\n    Database1: TDatabase;\n  end;\n",
         "type\n  TDM = class\n    Database1: TOrxConnection;\n    Transaction: TOrxTransaction;\n  end;\n"},
        // Another spelling, a comment: the plain new name.
        {0, "  Db: tdatabase; { a TDatabase }\r\n", "  Db: TOrxConnection; { a TOrxConnection }\r\n"},
        {0, "  Db: TDatabase;\r\nuses dbtables;", "  Db: TOrxConnection;\r\n    Transaction: TOrxTransaction;\r\n"
                                                  "uses dbtables, Quorvel, Orx, Lintra, OrxError;"},
        {1, "uses IBDatabase, IBTable;\r\n  Db: TIBDatabase;\r\n  Ds: TIBDataSet;\r\n",
         "uses IBDatabase, Quorvel, Orx, OrxScript, Lintra, OrxError, IBTable;\r\n  Db: TOrxConnection;\r\n"
         "  Ds: TOrxQuery;\r\n"},
        {2, "uses FIBDatabase, pFIBDatabase;\r\n  Q: TpFIBQuery;\r\n  B: TpFIBNBackupService;\r\n",
         "uses FIBDatabase, Quorvel, Lintra, ZuSQLMonitor, ZuAlerter, ZuScript, Orx, OrxScript, OrxAlerter, "
         "OrxSQLMonitor, OrxError, OrxAdmin, pFIBDatabase;\r\n  Q: TOrxSQL;\r\n  B: TOrxBackupService;\r\n"},
    };
    for (const Case &C : Cases)
        EXPECT_EQ(rewrite(C.Position, C.Unit), C.Expected) << C.Unit.toStdString();
}

// The transaction goes only behind declarations: behind a call, a cast, a
// test or a parameter it would not compile.
TEST_F(OrxReplacer, TDatabaseOutsideADeclarationStaysCompilable)
{
    EXPECT_EQ(rewrite(0, "  Db := TDatabase.Create(nil);\r\n  TDatabase(Sender).Open;\r\n  if X is TDatabase then\r\n"
                         "procedure P(Db: TDatabase; Q: TQuery);\r\n"),
              QStringLiteral("  Db := TOrxConnection.Create(nil);\r\n  TOrxConnection(Sender).Open;\r\n"
                             "  if X is TOrxConnection then\r\nprocedure P(Db: TOrxConnection; Q: TOrxQuery);\r\n"));
    // A second unit starts counting its transactions again.
    EXPECT_EQ(rewrite(0, "  Db: TDatabase;\r\n"), QStringLiteral("  Db: TOrxConnection;\r\n    Transaction: TOrxTransaction;\r\n"));
}

// A unit gets the new units once, behind the old unit or, when it names only
// other units of the source set, behind the first of those; never a unit
// that a clause of the file already names.
// On request, the members that the form rules rename one to one are renamed
// in the code as well; comments, strings, a path broken by blanks and the
// members the rules express otherwise stay. Off, only the classes change.
TEST_F(OrxReplacer, MembersRenamedInCodeOnRequest)
{
    struct Row
    {
        int Position;
        QString Code, Classes, Members;
    };
    const Row Rows[] = {
        {TOrxProduct::FibPlusPosition,
         "var D: TpFIBDatabase; Q: TpFIBDataSet;\r\nbegin D.DBName := 'a'; Q.SelectSQL.Text := Q.SelectSQL.Text;\r\n"
         "Q.AutoUpdateOptions.KeyFields := 'ID'; Q.AutoUpdateOptions . KeyFields := ''; Q.Database := D;\r\n"
         "{ Q.SelectSQL } S := 'Q.DBName'; end.",
         "var D: TOrxConnection; Q: TOrxQuery;\r\nbegin D.DBName := 'a'; Q.SelectSQL.Text := Q.SelectSQL.Text;\r\n"
         "Q.AutoUpdateOptions.KeyFields := 'ID'; Q.AutoUpdateOptions . KeyFields := ''; Q.Database := D;\r\n"
         "{ Q.SelectSQL } S := 'Q.DBName'; end.",
         "var D: TOrxConnection; Q: TOrxQuery;\r\nbegin D.Database := 'a'; Q.SQL.Text := Q.SQL.Text;\r\n"
         "Q.KeyFields := 'ID'; Q.AutoUpdateOptions . KeyFields := ''; Q.Connection := D;\r\n"
         "{ Q.SelectSQL } S := 'Q.DBName'; end."},
        {TOrxProduct::IbxPosition, "var T: TIBDataSet; begin T.SelectSQL.Add(''); t.modifysql.Clear; end.",
         "var T: TOrxQuery; begin T.SelectSQL.Add(''); t.modifysql.Clear; end.",
         "var T: TOrxQuery; begin T.SQL.Add(''); t.SQLUpdate.Clear; end."},
        {TOrxProduct::BdePosition, "var T: TQuery; begin T.DataSource := nil; T.DatabaseName := 'x'; end.",
         "var T: TOrxQuery; begin T.DataSource := nil; T.DatabaseName := 'x'; end.",
         "var T: TOrxQuery; begin T.MasterSource := nil; T.DatabaseName := 'x'; end."},
    };
    TReplaceOptions &Options = Product.ReplaceOptions();
    for (const Row &R : Rows) {
        Options.RenameMembers = false;
        EXPECT_EQ(rewrite(R.Position, R.Code), R.Classes);
        Options.RenameMembers = true;
        EXPECT_EQ(rewrite(R.Position, R.Code), R.Members);
    }
    Options.RenameMembers = false;
}

TEST_F(OrxReplacer, UsesClausesDeclareTheNewClassesOnce)
{
    const QString Ibx = QStringLiteral(", Quorvel, Orx, OrxScript, Lintra, OrxError");
    struct Case
    {
        int Position;
        QString Unit;
        QString Expected;
    };
    const Case Cases[] = {
        // Only the units of the classes: the first one takes the new units.
        {1, "uses DB, IBCustomDataSet, IBQuery;\r\nvar Q: TIBQuery;",
         "uses DB, IBCustomDataSet" + Ibx + ", IBQuery;\r\nvar Q: TOrxQuery;"},
        {1, "uses DB, IBX.IBQuery;\r\nvar Q: TIBQuery;", "uses DB, IBX.IBQuery" + Ibx + ";\r\nvar Q: TOrxQuery;"},
        {2, "uses FIBDataSet, pFIBDataSet;\r\nvar Q: TpFIBDataSet;",
         "uses FIBDataSet, Quorvel, Lintra, ZuSQLMonitor, ZuAlerter, ZuScript, Orx, OrxScript, OrxAlerter, "
         "OrxSQLMonitor, OrxError, OrxAdmin, pFIBDataSet;\r\nvar Q: TOrxQuery;"},
        // No class renamed: a unit of the source set alone changes nothing.
        {1, "uses IBQuery;\r\nvar S: string;", "uses IBQuery;\r\nvar S: string;"},
        // The old unit of a second source set: only the units still missing.
        {1, "uses DBTables, Quorvel, Orx, Lintra, OrxError, IBDatabase;\r\nvar Q: TIBQuery;",
         "uses DBTables, Quorvel, Orx, Lintra, OrxError, IBDatabase, OrxScript;\r\nvar Q: TOrxQuery;"},
        // A second run: everything is there already, in either clause.
        {0, "uses DBTables, Quorvel, Orx, Lintra, OrxError;\r\nvar Q: TOrxQuery;",
         "uses DBTables, Quorvel, Orx, Lintra, OrxError;\r\nvar Q: TOrxQuery;"},
        {0, "uses DBTables;\r\nimplementation\r\nuses quorvel, ORX;\r\n",
         "uses DBTables, Lintra, OrxError;\r\nimplementation\r\nuses quorvel, ORX;\r\n"},
        // Interface and implementation both name the old unit: once.
        {0, "uses DBTables;\r\nvar Q: TQuery;\r\nimplementation\r\nuses DBTables;\r\n",
         "uses DBTables, Quorvel, Orx, Lintra, OrxError;\r\nvar Q: TOrxQuery;\r\nimplementation\r\nuses DBTables;\r\n"},
        // The scoped old unit is extended even when no class is renamed.
        {0, "uses Bde.DBTables;\r\nvar S: string;", "uses Bde.DBTables, Quorvel, Orx, Lintra, OrxError;\r\nvar S: string;"},
        // A scoped unit of the set other than the old one takes them too.
        {1, "uses IBX.IBCustomDataSet;\r\nvar Q: TIBDataSet;", "uses IBX.IBCustomDataSet" + Ibx + ";\r\nvar Q: TOrxQuery;"},
        // "in 'path'" stays with its unit.
        {0, "uses DBTables in '..\\lib\\DBTables.pas';\r\n",
         "uses DBTables in '..\\lib\\DBTables.pas', Quorvel, Orx, Lintra, OrxError;\r\n"},
        {1, "uses\r\n  IBQuery in 'IBQuery.pas' {x},\r\n  Forms;\r\nvar Q: TIBQuery;",
         "uses\r\n  IBQuery in 'IBQuery.pas'" + Ibx + " {x},\r\n  Forms;\r\nvar Q: TOrxQuery;"},
    };
    for (const Case &C : Cases)
        EXPECT_EQ(rewrite(C.Position, C.Unit), C.Expected) << C.Unit.toStdString();
}
