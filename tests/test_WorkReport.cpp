// The report of work left: what the product's replacers note while they
// rewrite forms and units, and how the report is written for people and
// for tools.
#include "Errors.h"
#include "OrxReplacer.h"
#include "PosixOnly.h"
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
    QStringList items(int Position, const QString &FileName, const QByteArray &Bytes)
    {
        TComponentReplacer &Replacer = *Product.Replacer(Position);
        Replacer.WorkReport().Clear();
        const QString Path = Dir.filePath(FileName);
        WriteBytes(Path, Bytes);
        QDir().mkpath(Dir.filePath(QStringLiteral("out")));
        Replacer.ProcessFile(Path, Dir.filePath(QStringLiteral("out")));
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
                  "droppedProperty|3|DM.trWrite|TRParams.Strings|( 'write')|TOrxTransaction does not publish it",
                  "droppedProperty|5|DM.trWrite|TPBMode|tpbSerializable|the value has no counterpart in TOrxTransaction",
                  "droppedEvent|8|DM.Alerter|OnEventAlert|AlerterEventAlert|TOrxAlerter has no such event",
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
                    "var S: TSession;\r\nbegin\r\n  Check(DbiGetSysInfo(Info));\r\n  Session.Open;\r\n"),
              (QStringList{"leftInCode|1||TSession||", "apiCall|3||DbiGetSysInfo||"}));
}

TEST_F(WorkReport, TextJsonAndSummary)
{
    TWorkReport Report;
    const QString Base = Dir.path();
    Report.Add({TWorkItemKind::UnpairedComponent, Base + QStringLiteral("/A.dfm"), 3, QStringLiteral("A.F1"),
                QStringLiteral("TIBStringField"), {}, {}});
    Report.Add({TWorkItemKind::DroppedEvent, Base + QStringLiteral("/A.dfm"), 7, QStringLiteral("A.Q"),
                QStringLiteral("OnEventAlert"), QStringLiteral("QEventAlert"), QStringLiteral("TOrxAlerter has no such event")});
    Report.Add({TWorkItemKind::UnpairedComponent, Base + QStringLiteral("/B.dfm"), 4, QStringLiteral("B.F2"),
                QStringLiteral("TIBStringField"), {}, {}});
    for (int Twice = 0; Twice < 2; ++Twice) // a form converted twice is reported once
        Report.Add({TWorkItemKind::ObjectNotConverted, Base + QStringLiteral("/B.dfm"), 9, QStringLiteral("B.Bad"),
                    QStringLiteral("TIBQuery"), QStringLiteral("TOrxQuery"), QStringLiteral("limit")});
    EXPECT_EQ(Report.ToText(QStringLiteral("R"), Base),
              QStringLiteral("R\r\n\r\n4 item(s) need manual work.\r\n"
                             "\r\nObjects not converted; their forms will not load until they are: 1\r\n"
                             "  B.dfm:9  B.Bad  TIBQuery -> TOrxQuery: limit\r\n"
                             "\r\nEvent handlers dropped: 1\r\n"
                             "  A.dfm:7  A.Q  OnEventAlert: QEventAlert will no longer be called (TOrxAlerter has no such event)\r\n"
                             "\r\nComponents of the old source set without an Orvex class: 2\r\n"
                             "  TIBStringField (2): A.dfm, B.dfm\r\n"));
    const QJsonObject Json = QJsonDocument::fromJson(Report.ToJson()).object();
    EXPECT_EQ(Json.value("total").toInt(), 4);
    EXPECT_EQ(Json.value("counts").toObject().value("objectNotConverted").toInt(), 1);
    const QJsonObject First = Json.value("items").toArray().first().toObject();
    EXPECT_EQ(First.value("kind").toString(), QStringLiteral("objectNotConverted"));
    EXPECT_EQ(First.value("file").toString(), Base + QStringLiteral("/B.dfm"));
    EXPECT_EQ(First.value("line").toInt(), 9);
    EXPECT_EQ(First.value("object").toString(), QStringLiteral("B.Bad"));
    EXPECT_EQ(Report.Summary(QStringLiteral("W.txt")),
              QStringLiteral("4 items need manual work (1 object(s) not converted: their forms will not load); see W.txt"));
    EXPECT_EQ(TWorkReport::Shorten(QString(100, u'x')), QString(57, u'x') + QStringLiteral("..."));
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
