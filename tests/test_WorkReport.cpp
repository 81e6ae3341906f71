// The report of work left: what the product's replacers note while they
// rewrite forms and units, and how the report is written for people and
// for tools.
#include "Errors.h"
#include "OrxReplacer.h"
#include "PosixOnly.h"
#include "UnitIndex.h"
#include "WorkReport.h"

#include "QtPrinters.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

namespace {

class WorkReport : public ::testing::Test
{
protected:
    // Converts one file with the replacer at Position and returns the items
    // it noted, one line each: kind, line, object path, name, value, detail.
    // Keep: the items of the files converted before stay (a unit, then its form).
    QStringList items(int Position, const QString &FileName, const QByteArray &Bytes, bool Keep = false)
    {
        TComponentReplacer &Replacer = *Product.Replacer(Position);
        if (!Keep)
            Replacer.WorkReport().Clear();
        const QString Path = Dir.filePath(FileName);
        WriteBytes(Path, Bytes);
        QDir().mkpath(Dir.filePath(QStringLiteral("out")));
        Replacer.ProcessFile(Path, Dir.filePath(QStringLiteral("out")));
        Replacer.WorkReport().Settle();
        QStringList Lines;
        for (const TWorkItem &I : Replacer.WorkReport().Items())
            Lines << QStringLiteral("%1|%2|%3|%4|%5|%6")
                         .arg(QString::fromLatin1(TWorkReport::KindName(I.Kind)))
                         .arg(I.Line)
                         .arg(I.ObjectPath, I.Name, I.Value, I.Detail);
        return Lines;
    }

    QTemporaryDir Dir;
    TOrxProduct Product;
};

} // namespace

TEST_F(WorkReport, FormItemsNameTheirLineAndObject)
{
    const QByteArray Fib = "object DM: TDM\r\n"
                           "  object trWrite: TpFIBTransaction [5]\r\n"
                           "    TRParams.Strings = (\r\n"
                           "      'write')\r\n"
                           "    TPBMode = tpbSerializable\r\n"
                           "  end\r\n"
                           "  object Alerter: TSIBfibEventAlerter\r\n"
                           "    OnEventAlert = AlerterEventAlert\r\n"
                           "  end\r\n"
                           "  object ds: TpFIBDataSet\r\n"
                           "    object dsNAME: TFIBStringField\r\n"
                           "    end\r\n"
                           "  end\r\n"
                           "  object Bad: TpFIBDataSet\r\n"
                           "    Tag = $FF\r\n"
                           "  end\r\n"
                           "end\r\n";
    EXPECT_EQ(items(TOrxProduct::FibPlusPosition, QStringLiteral("DM.dfm"), Fib),
              (QStringList{
                  "objectNotConverted|14|DM.Bad|TpFIBDataSet|TOrxQuery|the form grammar does not accept the object",
                  "droppedProperty|3|DM.trWrite|TRParams.Strings|write|not carried over to TOrxTransaction",
                  "droppedEvent|8|DM.Alerter|OnEventAlert|AlerterEventAlert|TOrxAlerter has no such event",
                  "droppedProperty|5|DM.trWrite|TPBMode|tpbSerializable|the value has no counterpart in TOrxTransaction",
                  "unpairedComponent|11|DM.ds.dsNAME|TFIBStringField||",
              }));

    // A BDE alias, an index name, and an inherited table of a descendant
    // form; the TSession of the BDE has no pair.
    const QByteArray Bde = "inherited Child: TChild\r\n"
                           "  inherited Orders: TTable\r\n"
                           "    DatabaseName = 'DBDEMOS'\r\n"
                           "    IndexName = 'BYDATE'\r\n"
                           "  end\r\n"
                           "  object Session1: TSession\r\n"
                           "  end\r\n"
                           "end\r\n";
    EXPECT_EQ(items(TOrxProduct::BdePosition, QStringLiteral("Child.dfm"), Bde),
              (QStringList{
                  "droppedProperty|4|Child.Orders|IndexName|'BYDATE'|TOrxTable does not publish it",
                  "unknownDatabase|3|Child.Orders|DatabaseName|'DBDEMOS'|",
                  "unpairedComponent|6|Child.Session1|TSession||",
              }));
}

TEST_F(WorkReport, CodeItemsNameTheirLine)
{
    const QByteArray Unit = "unit U;\r\ninterface\r\nuses IBDatabase, IBCustomDataSet;\r\n"
                            "var F: TIBStringField;\r\n  D: TIBDataSet;\r\n"
                            "implementation\r\n{ TIBStringField in a comment }\r\n"
                            "  S := 'TIBDatabaseInfo';\r\n  raise EIBInterBaseError.Create('x');\r\nend.\r\n";
    EXPECT_EQ(items(TOrxProduct::IbxPosition, QStringLiteral("U.pas"), Unit),
              (QStringList{"leftInCode|4||TIBStringField||", "leftInCode|9||EIBInterBaseError||"}));
    EXPECT_EQ(items(TOrxProduct::BdePosition, QStringLiteral("B.pas"),
                    "var S: TSession;\r\nbegin\r\n  Check(DbiGetSysInfo(Info));\r\n  Session.Open;\r\n"
                    "  S := TSession.Create(nil);\r\n"),
              (QStringList{"leftInCode|1||TSession||", "leftInCode|5||TSession||", "apiCall|3||DbiGetSysInfo||"}));
}

// Uses of converted components in the code, found from the identifiers the
// unit declares with an old class; comments, strings and members of other
// objects are not code uses. A project's own class that looks like an old
// one is not reported; an unpaired class in another letter case is.
TEST_F(WorkReport, CodeUsesOfConvertedComponents)
{
    const QByteArray Unit = "unit U;\r\ninterface\r\nuses FIBDatabase, pFIBDatabase, pFIBDataSet;\r\ntype\r\n"
                            "  TFIBTools = class(TDataModule)\r\n"
                            "    DB: TpFIBDatabase;\r\n"
                            "    ds, ds2: TpFIBDataSet;\r\n"
                            "    Handler: TpFibErrorHandler;\r\n"
                            "  end;\r\n"
                            "implementation\r\n"
                            "procedure TFIBTools.Go(Q: TpFIBDataSet; T: TFIBTools);\r\n"
                            "begin\r\n"
                            "  DB.DBName := 'x'; // DB.DBName\r\n"
                            "  ds.SelectSQL.Text := 'ds.SelectSQL';\r\n"
                            "  Q.AutoUpdateOptions.KeyFields := 'ID'; ds2.Open;\r\n"
                            "  with ds2 do Close; { ds.SelectSQL }\r\n"
                            "  Self.ds.DataSource := nil; X.ds.SelectSQL.Clear; (* ds.DBName *)\r\n"
                            "end;\r\nend.\r\n";
    EXPECT_EQ(items(TOrxProduct::FibPlusPosition, QStringLiteral("U.pas"), Unit),
              (QStringList{
                  "leftInCode|8||TpFibErrorHandler||",
                  "memberInCode|13|DB|DBName||renamed to Database",
                  "memberInCode|14|ds|SelectSQL||renamed to SQL",
                  "memberInCode|15|Q|AutoUpdateOptions.KeyFields||renamed to KeyFields",
                  "memberInCode|17|ds|DataSource||renamed to MasterSource",
                  "withInCode|16|ds2|ds2||TOrxQuery: check the members used inside",
              }));
}

// A unit, and a run, may use far more members than a conversion asks of the
// rules at first: each is answered, those kept as well as the one dropped.
TEST_F(WorkReport, CodeUsesOfManyMembersAreEachAnswered)
{
    QByteArray Unit = "unit U;\r\ninterface\r\nuses DBTables;\r\nvar T: TTable;\r\nimplementation\r\nbegin\r\n";
    for (int I = 0; I < 200; ++I)
        Unit += "  T.Member" + QByteArray::number(I) + " := 0; T.Member" + QByteArray::number(I) + ".Part := 0;\r\n";
    Unit += "  T.IndexName := 'X';\r\nend.\r\n";
    EXPECT_EQ(items(TOrxProduct::BdePosition, QStringLiteral("U.pas"), Unit),
              QStringList{"memberInCode|207|T|IndexName||TOrxTable has no IndexName"});
}

// A parameter or local variable is in force in its own routine only, and
// one of another type hides an object of its name there: a routine that
// declares no Q uses some other Q, a TClientDataSet parameter T is no
// TTable, also in a body behind a nested routine; a field declared after a
// method in a class of the implementation part is in force everywhere.
TEST_F(WorkReport, CodeUsesFollowTheScopeOfEachDeclaration)
{
    const QByteArray Unit = "unit U;\r\ninterface\r\nuses DBTables, DBClient;\r\ntype\r\n"
                            "  TF = class(TForm)\r\n    T: TTable;\r\n    procedure C(T: TClientDataSet);\r\n  end;\r\n"
                            "implementation\r\n"
                            "procedure A;\r\nvar Q: TQuery;\r\nbegin\r\n  Q.DatabaseName := 'x';\r\nend;\r\n"
                            "procedure B;\r\nbegin\r\n  Q.DatabaseName := 'y';\r\nend;\r\n"
                            "procedure TF.C(T: TClientDataSet);\r\nbegin\r\n  T.IndexName := 'x';\r\nend;\r\n"
                            "procedure TF.D;\r\nbegin\r\n  T.IndexName := 'y';\r\nend;\r\n"
                            "procedure E;\r\nvar T: TClientDataSet;\r\n  procedure Inner;\r\n  begin\r\n  end;\r\n"
                            "begin\r\n  T.IndexName := '';\r\nend;\r\n"
                            "type\r\n  TW = class\r\n    procedure Run;\r\n    procedure Run2;\r\n  private\r\n"
                            "    W: TTable;\r\n  end;\r\n"
                            "procedure TW.Run;\r\nbegin\r\nend;\r\n"
                            "procedure TW.Run2;\r\nbegin\r\n  W.IndexName := '';\r\nend;\r\nend.\r\n";
    EXPECT_EQ(items(TOrxProduct::BdePosition, QStringLiteral("U.pas"), Unit),
              (QStringList{"memberInCode|13|Q|DatabaseName||set Connection instead",
                           "memberInCode|25|T|IndexName||TOrxTable has no IndexName",
                           "memberInCode|47|W|IndexName||TOrxTable has no IndexName"}));
    // The same with a name outside ASCII among the declarations (they are
    // then found by a search) and one name in two letter cases.
    const QByteArray Wide = "\xEF\xBB\xBF" + QString::fromUtf8("unit W;\r\ninterface\r\nuses DBTables;\r\n"
                                                                 "var T\u00dc: TTable;\r\n  q: TQuery;\r\n"
                                                                 "implementation\r\n"
                                                                 "procedure P;\r\nvar Q: TTable;\r\nbegin\r\n"
                                                                 "  T\u00dc.IndexName := ''; Q.IndexName := '';\r\nend;\r\n"
                                                                 "procedure R;\r\nbegin\r\n  q.DatabaseName := '';\r\nend;\r\n"
                                                                 "end.\r\n").toUtf8();
    EXPECT_EQ(items(TOrxProduct::BdePosition, QStringLiteral("W.pas"), Wide),
              (QStringList{QString::fromUtf8("memberInCode|10|T\u00dc|IndexName||TOrxTable has no IndexName"),
                           "memberInCode|10|Q|IndexName||TOrxTable has no IndexName",
                           "memberInCode|14|q|DatabaseName||set Connection instead"}));
    // Two names of one hash ("costarring" and "liquid") stay two names.
    EXPECT_EQ(items(TOrxProduct::BdePosition, QStringLiteral("H.pas"),
                    "unit H;\r\ninterface\r\nuses DBTables;\r\nvar costarring: TTable;\r\n  liquid: TQuery;\r\n"
                    "implementation\r\nbegin\r\n  liquid.IndexName := ''; costarring.IndexName := '';\r\n"
                    "  liquid.DataSource := nil;\r\nend.\r\n"),
              (QStringList{"memberInCode|8|costarring|IndexName||TOrxTable has no IndexName",
                           "memberInCode|9|liquid|DataSource||renamed to MasterSource"}));
}

// The rules are asked once per run, but each unit's items name the member as
// that unit writes it.
TEST_F(WorkReport, CodeUsesNameTheMemberAsEachUnitWritesIt)
{
    for (const QString &Member : {QStringLiteral("IndexName"), QStringLiteral("indexNAME"), QStringLiteral("IndexName")})
        EXPECT_EQ(items(TOrxProduct::BdePosition, QStringLiteral("U.pas"),
                        "unit U;\r\ninterface\r\nuses DBTables;\r\nimplementation\r\nprocedure P(T: TTable);\r\n"
                        "begin\r\n  T." + Member.toLatin1() + " := '';\r\nend;\r\nend.\r\n"),
                  QStringList{QStringLiteral("memberInCode|7|T|%1||TOrxTable has no %1").arg(Member)});
}

// A form converted twice is reported once, however many items the run holds,
// also after items were settled away.
TEST(WorkReportItems, AnItemAddedAgainIsReportedOnce)
{
    TWorkReport Report;
    const auto Add = [&](int Line, const char *Name) {
        Report.Add({TWorkItemKind::LeftInCode, Line % 3 ? QStringLiteral("A.pas") : QStringLiteral("B.pas"), Line, {},
                    QString::fromLatin1(Name), {}, {}, {}});
    };
    for (int Round = 0; Round < 2; ++Round)
        for (int Line = 1; Line <= 300; ++Line)
            Add(Line, Line % 2 ? "TQuery" : "TOwn");
    EXPECT_EQ(Report.Count(), 300);
    Report.NoteDeclaredClasses({QStringLiteral("TOwn")});
    Report.Settle();
    EXPECT_EQ(Report.Count(), 150);
    for (int Line = 1; Line <= 300; Line += 2)
        Add(Line, "TQuery");
    EXPECT_EQ(Report.Count(), 150);
}

// Inside "with T do" a bare member that the rules drop or rename is T's; a
// nested "with", a second subject, a member of something else or the end of
// the statement ends what can be told.
TEST_F(WorkReport, MembersUsedInsideAWith)
{
    const QByteArray Head = "var T: TTable; O: TObject;\r\nbegin\r\n";
    const QString With = QStringLiteral("withInCode|3|T|T||TOrxTable: check the members used inside");
    const struct
    {
        QByteArray Code;
        QStringList Items;
    } Rows[] = {
        {"with T do begin\r\n  IndexName := 'X'; if Active then begin First; end;\r\n  DatabaseName := ''; end;\r\n",
         {"memberInCode|4|T|IndexName||TOrxTable has no IndexName",
          "memberInCode|5|T|DatabaseName||set Connection instead", With}},
        {"with T do\r\n  if Active then IndexName := 'X' else First;\r\n",
         {"memberInCode|4|T|IndexName||TOrxTable has no IndexName", With}},
        {"with T do with O do IndexName := '';\r\n", {With}},
        {"with T, O do IndexName := '';\r\n", {With}},
        {"with T do First; IndexName := '';\r\n", {With}},
        {"with T do O.IndexName := '';\r\n", {With}},
    };
    for (const auto &Row : Rows)
        EXPECT_EQ(items(TOrxProduct::BdePosition, QStringLiteral("W.pas"), Head + Row.Code), Row.Items) << Row.Code.data();
}

// Uses of a converted field of another unit's object: through a global of a
// unit that the unit uses, or through a variable of that object's class (or
// of a descendant). A unit that does not use it, or a local name that hides
// the global, reports nothing.
TEST_F(WorkReport, CodeUsesThroughAnotherUnit)
{
    TComponentReplacer &Bde = *Product.Replacer(TOrxProduct::BdePosition);
    const auto Index = std::make_shared<TUnitIndex>();
    Index->Add(QStringLiteral("DataA"),
               readUnitInterface("unit DataA;\r\ninterface\r\nuses DBTables;\r\ntype\r\n"
                                 "  TDM = class(TDataModule)\r\n    Orders: TTable; // implementation\r\n"
                                 "    procedure Go(Q: TQuery);\r\n  end;\r\n  TDM2 = class(TDM);\r\n"
                                 "var\r\n  DM: TDM;\r\n  Other: TObject;\r\nimplementation\r\nvar Hidden: TDM;\r\nend.\r\n",
                                 [&Bde](QStringView Name) { return Bde.FindNewComp(Name); }));
    Bde.SetUnitIndex(Index);
    const QByteArray Head = "unit B;\r\ninterface\r\n";
    const struct
    {
        QByteArray Code;
        QStringList Items;
    } Rows[] = {
        {"uses Data.Other, DataA;\r\nimplementation\r\nbegin\r\n  DM.Orders.IndexName := 'X';\r\n"
         "  with Self.DM.Orders, Other do;\r\n  DM.Hidden.IndexName := '';\r\n",
         {"memberInCode|6|DM.Orders|IndexName||TOrxTable has no IndexName",
          "withInCode|7|DM.Orders|DM.Orders||TOrxTable: check the members used inside"}},
        {"var F: TDM2;\r\nimplementation\r\nbegin\r\n  F.Orders.DatabaseName := '';\r\n",
         {"memberInCode|6|F.Orders|DatabaseName||set Connection instead"}},
        {"uses Other;\r\nimplementation\r\nbegin\r\n  DM.Orders.IndexName := 'X';\r\n", {}},
        {"uses DataA;\r\nimplementation\r\nprocedure P(DM: TObject);\r\nbegin\r\n  DM.Orders.IndexName := '';\r\n", {}},
        {"uses DataA;\r\nimplementation\r\nbegin\r\n  Hidden.Orders.IndexName := '';\r\n", {}},
    };
    for (const auto &Row : Rows)
        EXPECT_EQ(items(TOrxProduct::BdePosition, QStringLiteral("B.pas"), Head + Row.Code), Row.Items) << Row.Code.data();
    Bde.SetUnitIndex(nullptr);
}

// A handler of a component that stays, whose parameters name a class the run
// renamed, no longer matches its event; objects left open lose their
// connection with an alias; a declaration the run adds has no object.
TEST_F(WorkReport, HandlersOpenObjectsAndAddedDeclarations)
{
    const int Fib = TOrxProduct::FibPlusPosition;
    items(Fib, QStringLiteral("U.pas"),
          "unit U;\r\ninterface\r\nuses FIBDatabase;\r\ntype\r\n  TDM = class(TDataModule)\r\n"
          "    procedure EHError(Sender: TObject; E: EFIBError; var DoRaise: Boolean);\r\n"
          "    procedure Other(E: EFIBError);\r\n  end;\r\nimplementation\r\n"
          "procedure TDM.EHError(Sender: TObject; E: EFIBError; var DoRaise: Boolean);\r\nbegin\r\nend;\r\nend.\r\n");
    EXPECT_EQ(items(Fib, QStringLiteral("U.dfm"),
                    "object DM: TDM\r\n  object EH: TpFibErrorHandler\r\n    Tag = 1\r\n    OnFIBErrorEvent = EHError\r\n"
                    "  end\r\nend\r\n",
                    true),
              (QStringList{"handlerSignature|6|DM.EH|EHError|EFIBError|OnFIBErrorEvent of TpFibErrorHandler (not "
                           "converted) is handled here, but the handler now names EOrxError instead of EFIBError",
                           "unpairedComponent|2|DM.EH|TpFibErrorHandler||"}));
    EXPECT_EQ(items(TOrxProduct::BdePosition, QStringLiteral("D.dfm"),
                    "object D: TD\r\n  object Db: TDatabase\r\n    AliasName = 'A'\r\n    Connected = True\r\n  end\r\n"
                    "  object T: TTable\r\n    Active = True\r\n    DatabaseName = 'A'\r\n  end\r\nend\r\n"),
              (QStringList{"unknownDatabase|8|D.T|DatabaseName|'A'|",
                           "openWithoutConnection|2|D.Db|Connected|True|Database is not set: the form fails as it loads",
                           "openWithoutConnection|6|D.T|Active|True|Connection is not set: the form fails as it loads",
                           "droppedProperty|3|D.Db|AliasName|'A'|TOrxConnection does not publish it"}));
    EXPECT_EQ(items(TOrxProduct::BdePosition, QStringLiteral("D.pas"), "var\r\n  Db: TDatabase;\r\n"),
              (QStringList{"addedDeclaration|2||Transaction||declared without an object in the form: it stays nil"}));
}

TEST(WorkReportConsequence, DroppedPropertiesThatChangeBehaviourAreNotMereInformation)
{
    const std::pair<const char *, TConsequence> Rows[] = {
        {"IndexName", TConsequence::BehavesDifferently},       {"indexfieldnames", TConsequence::BehavesDifferently},
        {"DataSource", TConsequence::BehavesDifferently},      {"MasterFields", TConsequence::BehavesDifferently},
        {"TransIsolation", TConsequence::BehavesDifferently},  {"TRParams.Strings", TConsequence::BehavesDifferently},
        {"SyncSQLByRange", TConsequence::Information},          {"DataSourceName", TConsequence::Information},
    };
    for (const auto &[Name, Expected] : Rows)
        EXPECT_EQ(TWorkReport::ConsequenceOf(TWorkItemKind::DroppedProperty, QString::fromLatin1(Name)), Expected) << Name;
}

TEST_F(WorkReport, TextJsonAndSummary)
{
    TWorkReport Report;
    const QString Base = Dir.path();
    Report.Add({TWorkItemKind::UnpairedComponent, Base + QStringLiteral("/A.dfm"), 3, QStringLiteral("A.F1"),
                QStringLiteral("TIBStringField"), {}, {}, QStringLiteral("TIBStringField")});
    Report.Add({TWorkItemKind::DroppedEvent, Base + QStringLiteral("/A.dfm"), 7, QStringLiteral("A.Q"),
                QStringLiteral("OnEventAlert"), QStringLiteral("QEventAlert"), QStringLiteral("TOrxAlerter has no such event"), {}});
    Report.Add({TWorkItemKind::UnpairedComponent, Base + QStringLiteral("/B.dfm"), 4, QStringLiteral("B.F2"),
                QStringLiteral("TIBStringField"), {}, {}, QStringLiteral("TIBStringField")});
    for (int Twice = 0; Twice < 2; ++Twice) // a form converted twice is reported once
        Report.Add({TWorkItemKind::ObjectNotConverted, Base + QStringLiteral("/B.dfm"), 9, QStringLiteral("B.Bad"),
                    QStringLiteral("TIBQuery"), QStringLiteral("TOrxQuery"), QStringLiteral("limit"), QStringLiteral("TIBQuery")});
    // One class twice in one file lists the file once; a value of exactly
    // the limit stays whole, a longer one is shortened in the text alone.
    Report.Add({TWorkItemKind::UnpairedComponent, Base + QStringLiteral("/B.dfm"), 5, QStringLiteral("B.F3"),
                QStringLiteral("TIBStringField"), {}, {}, QStringLiteral("TIBStringField")});
    const QString Limit(60, u'v'), Long = QString(61, u'w');
    Report.Add({TWorkItemKind::DroppedProperty, Base + QStringLiteral("/A.dfm"), 1, QStringLiteral("A.Q"),
                QStringLiteral("Hint"), Limit, QStringLiteral("gone"), QStringLiteral("TOrxQuery")});
    Report.Add({TWorkItemKind::DroppedProperty, Base + QStringLiteral("/A.dfm"), 2, QStringLiteral("A.Q"),
                QStringLiteral("Hint"), Long, QStringLiteral("gone"), QStringLiteral("TOrxQuery")});
    EXPECT_EQ(Report.ToText(QStringLiteral("R"), Base),
              QStringLiteral("R\r\n\r\n7 item(s) need manual work.\r\n"
                             "  will not load: 1\r\n  behaves differently: 1\r\n  for information: 5\r\n"
                             "\r\nLargest groups:\r\n"
                             "  3 TIBStringField components without an Orvex class in 2 forms (for information)\r\n"
                             "  Hint dropped on 2 TOrxQuery objects in 1 form (for information)\r\n"
                             "  1 TIBQuery object not re-created in 1 form (will not load)\r\n"
                             "  OnEventAlert handlers dropped on 1 converted object in 1 form (behaves differently)\r\n"
                             "\r\nObjects not converted; their forms will not load until they are (will not load): 1\r\n"
                             "  B.dfm:9  B.Bad  TIBQuery -> TOrxQuery: limit\r\n"
                             "\r\nEvent handlers dropped (behaves differently): 1\r\n"
                             "  A.dfm:7  A.Q  OnEventAlert: QEventAlert will no longer be called (TOrxAlerter has no such event)\r\n"
                             "\r\nProperties dropped (for information): 2\r\n"
                             "  A.dfm:1  A.Q  Hint = ")
                  + Limit + QStringLiteral(" (gone)\r\n  A.dfm:2  A.Q  Hint = ") + QString(57, u'w')
                  + QStringLiteral("... (gone)\r\n"
                                   "\r\nComponents of the old source set without an Orvex class (for information): 3\r\n"
                                   "  TIBStringField (3): A.dfm, B.dfm\r\n"));
    const QJsonObject Json = QJsonDocument::fromJson(Report.ToJson(Base)).object();
    EXPECT_EQ(Json.value("total").toInt(), 7);
    EXPECT_EQ(Json.value("base").toString(), QDir(Base).absolutePath());
    EXPECT_EQ(Json.value("counts").toObject().value("objectNotConverted").toInt(), 1);
    EXPECT_EQ(Json.value("consequences").toObject(),
              (QJsonObject{{"willNotCompile", 0}, {"willNotLoad", 1}, {"behavesDifferently", 1}, {"information", 5}}));
    EXPECT_EQ(Json.value("groups").toArray().first().toObject(),
              (QJsonObject{{"consequence", "information"}, {"kind", "unpairedComponent"}, {"name", "TIBStringField"},
                           {"count", 3}, {"files", 2}, {"text", "3 TIBStringField components without an Orvex class in 2 forms"}}));
    const QJsonArray Items = Json.value("items").toArray();
    const QJsonObject First = Items.first().toObject();
    EXPECT_EQ(First.value("consequence").toString(), QStringLiteral("willNotLoad"));
    EXPECT_EQ(First.value("kind").toString(), QStringLiteral("objectNotConverted"));
    EXPECT_EQ(First.value("file").toString(), Base + QStringLiteral("/B.dfm"));
    EXPECT_EQ(First.value("line").toInt(), 9);
    EXPECT_EQ(First.value("object").toString(), QStringLiteral("B.Bad"));
    EXPECT_EQ(First.value("value").toString(), QStringLiteral("TOrxQuery"));
    EXPECT_EQ(Items[3].toObject().value("value").toString(), Long); // whole in the JSON
    EXPECT_FALSE(Items[4].toObject().contains("value"));
    EXPECT_EQ(Report.Summary(QStringLiteral("W.txt")),
              QStringLiteral("7 items need manual work (1 object(s) not converted: their forms will not load); see W.txt"));
    EXPECT_EQ(TWorkReport::Shorten(Limit), Limit);
    EXPECT_EQ(TWorkReport::Shorten(QString(100, u'x')), QString(57, u'x') + QStringLiteral("..."));
    // The first character of a text is on line 1; a line break is on the
    // line it ends; questions come in text order and then out of it, over
    // more than one block of the count.
    const QString Text = QStringLiteral("a\nb\nc") + QString(300, u'x') + QStringLiteral("\nd");
    TLineIndex Lines(Text);
    for (const auto &[Pos, Line] : {std::pair{0, 1}, {1, 1}, {4, 3}, {306, 4}, {2, 2}, {0, 1}, {306, 4}, {4, 3}})
        EXPECT_EQ(Lines.LineOf(Pos), Line) << Pos;
}

TEST_F(WorkReport, AnObjectThatRunsIntoALimitSaysSo)
{
    Product.Replacer(TOrxProduct::BdePosition)->FormParser().SetMaxDepth(40);
    QByteArray Form = "object F: TF\r\n  object Q: TQuery\r\n";
    for (int I = 0; I < 30; ++I)
        Form += "object P" + QByteArray::number(I) + ": TPanel\r\n";
    for (int I = 0; I < 32; ++I)
        Form += "end\r\n";
    const QStringList Items = items(TOrxProduct::BdePosition, QStringLiteral("F.dfm"), Form);
    ASSERT_FALSE(Items.isEmpty());
    EXPECT_TRUE(Items.first().startsWith(QStringLiteral("objectNotConverted|2|F.Q|TQuery|TOrxQuery|Text nested too deeply")))
        << Items.first().toStdString();
}

// Like the log, the report is never written through a symbolic link: the
// file a link of that name points to is nobody's backup.
TEST_F(WorkReport, IsNeverWrittenThroughASymbolicLink)
{
    POSIX_ONLY(SymbolicLinks);
    TComponentReplacer &Replacer = *Product.Replacer(TOrxProduct::BdePosition);
    const QString Victim = Dir.filePath(QStringLiteral("precious.txt"));
    const QString Report = Dir.filePath(QStringLiteral("Wiz_Report.txt"));
    WriteBytes(Victim, "keep me");
    ASSERT_TRUE(QFile::link(Victim, Report));
    Replacer.Log().OpenLogFile(Dir.filePath(QStringLiteral("Wiz_Log.txt")));
    try {
        Replacer.WriteWorkReport();
        ADD_FAILURE() << "written through the link";
    } catch (const EFileError &E) {
        EXPECT_TRUE(E.Message().contains(Report) && E.Message().contains(QStringLiteral("symbolic link")));
    }
    Replacer.Log().CloseLogFile();
    EXPECT_EQ(ReadBytes(Victim), QByteArray("keep me"));
}
