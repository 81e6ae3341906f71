// The fast and the plain engine side by side: on every example form, every
// test form, generated forms and damaged copies of them, both accept the same
// objects, stop at the same position, make the same ConvertProperty calls in
// the same order and write the same object; and the large forms that only
// the fast engine can take convert within a generous time.
#include "OrxFormParser.h"
#include "Replacer.h"

#include "QtPrinters.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>

namespace {

using TEngine = TLL1Parser::TEngine;

// The product's rules, with every call recorded.
class TRecordingParser : public TOrxFormParser
{
public:
    explicit TRecordingParser(TEngine Engine)
    {
        SetEngine(Engine);
        SetOnGetPropertyValue([](const QString &, const QString &Value) {
            return Value.startsWith(u'D') ? QStringLiteral("DataModule1.") + Value : QString();
        });
    }
    QStringList Calls;
    void ConvertProperty(const QString &PropName, const QString &PropValue) override
    {
        Calls << PropName + u'=' + PropValue;
        TOrxFormParser::ConvertProperty(PropName, PropValue);
    }
};

struct TOutcome
{
    bool Result;
    int Pos;
    QStringList Calls;
    QString Object;
    QStringList Nested;
    bool operator==(const TOutcome &) const = default;
};

TOutcome parse(TRecordingParser &Parser, const QString &Text, int Start)
{
    Parser.Calls.clear();
    int Pos = Start;
    const bool Result = Parser.ParseString(Text, QStringLiteral("<object>"), Pos);
    return {Result, Pos, Parser.Calls, Parser.MakeObject(1), Parser.NestedObjects()};
}

// Position 1 and every keyword that starts an object, as the form rewriting
// would start parses there.
QList<int> starts(const QString &Text)
{
    static const QRegularExpression Keyword(QStringLiteral("\\b(object|inherited|inline)\\b"),
                                            QRegularExpression::CaseInsensitiveOption);
    QList<int> Result{1};
    for (auto It = Keyword.globalMatch(Text); It.hasNext();)
        Result.append(int(It.next().capturedStart()) + 1);
    return Result;
}

// Compares both engines at every start; returns the number of objects accepted.
int compareEngines(const QString &Text, const QString &Label)
{
    static TRecordingParser Plain(TEngine::Plain);
    static TRecordingParser Fast(TEngine::Fast);
    int Accepted = 0;
    for (const int Start : starts(Text)) {
        const TOutcome Expected = parse(Plain, Text, Start);
        EXPECT_EQ(parse(Fast, Text, Start), Expected) << Label.toStdString() << " at " << Start;
        Accepted += Expected.Result;
    }
    return Accepted;
}

QStringList formTexts()
{
    QStringList Texts;
    for (const char *Root : {MIGWIZ_SOURCE_DIR "/examples", MIGWIZ_TEST_DATA}) {
        QDirIterator It(QString::fromUtf8(Root), {QStringLiteral("*.dfm"), QStringLiteral("*.dfm.txt")}, QDir::Files,
                        QDirIterator::Subdirectories);
        while (It.hasNext()) {
            QFile File(It.next());
            EXPECT_TRUE(File.open(QIODevice::ReadOnly));
            TRCData RCData;
            QString Text;
            TTextEncoding Encoding;
            bool Binary = false;
            TComponentReplacer::ReadFormText(File, File.fileName(), RCData, Text, Encoding, Binary);
            Texts << Text;
        }
    }
    return Texts;
}

// A random object with values of every kind the grammar knows, nested
// objects and collections, in varied spacing and letter case.
QString randomObject(QRandomGenerator &Rng, int Depth)
{
    const auto pick = [&Rng](std::initializer_list<const char *> Items) {
        return QString::fromLatin1(Items.begin()[Rng.bounded(int(Items.size()))]);
    };
    const QString Indent(2 * Depth, u' ');
    QString Text = Indent + pick({"object", "OBJECT", "inherited", "inline"}) + u' ' + pick({"Query1", "F_2", "a"}) +
                   pick({": ", ":", " : "}) + pick({"TQuery", "TTable", "TDatabase", "TIBQuery", "TStringField"}) +
                   QStringLiteral("\r\n");
    const int Count = Rng.bounded(6);
    for (int I = 0; I < Count; ++I) {
        if (Depth < 3 && Rng.bounded(4) == 0) {
            Text += randomObject(Rng, Depth + 1);
            continue;
        }
        Text += Indent + QStringLiteral("  ") +
                pick({"DatabaseName", "SQL.Strings", "Params.Strings", "Left", "Font.Name", "Options", "ParamData",
                      "DataSource", "RequestLive", "Tag", "Items", "endTime"}) +
                pick({" = ", "=", " =\r\n    "}) +
                pick({"'DBDEMOS'", "'it''s'#13#10'x'", "''", "-12", "+1.5e-3", "3.25", "12d", "True", "DataModule1.Db",
                      "A.B.C", "$FF", "[]", "[a, b]", "[ a,b ]", "{}", "{ 0A1B\r\n  FF }", "<>",
                      "<\r\n    item\r\n      Name = 'x'\r\n      Value = <\r\n        item\r\n          N = 1\r\n"
                      "        end>\r\n    end\r\n    item\r\n      DataType = ftInteger\r\n    end>",
                      "<\r\n    item\r\n    end>", "(\r\n    'select *'\r\n    'from T' +\r\n    'where x')",
                      "'a' + 'b'", "\r\n    'a' +\r\n    #39 + 'b'", "( 1 2 -3.5 )", "()"}) +
                QStringLiteral("\r\n");
    }
    return Text + Indent + pick({"end", "END", "End"}) + (Rng.bounded(5) ? QStringLiteral("\r\n") : QString());
}

// Text with one random character removed, doubled or inserted.
QString damaged(const QString &Text, QRandomGenerator &Rng)
{
    static const QStringList Inserts = {" ", "'", "+", "(", ")", "<", ">", "=", "\r\n", "end", "item",
                                        "object X: TY\r\n", QString(QChar(0x416))};
    QString Result = Text;
    const int At = Rng.bounded(int(Result.size()) + 1);
    switch (Rng.bounded(3)) {
    case 0:
        Result.remove(At, 1);
        break;
    case 1:
        Result.insert(At, Result.mid(At, 1));
        break;
    default:
        Result.insert(At, Inserts[Rng.bounded(int(Inserts.size()))]);
        break;
    }
    return Result;
}

} // namespace

TEST(FormParserEngines, SameOutcomeOnExampleAndTestForms)
{
    const QStringList Texts = formTexts();
    ASSERT_GE(Texts.size(), 15);
    QRandomGenerator Rng(7);
    int Accepted = 0;
    for (const QString &Text : Texts) {
        Accepted += compareEngines(Text, QStringLiteral("form"));
        for (int I = 0; I < 20; ++I)
            compareEngines(damaged(Text, Rng), QStringLiteral("damaged form"));
    }
    EXPECT_GT(Accepted, 100);
}

TEST(FormParserEngines, SameOutcomeOnGeneratedForms)
{
    QRandomGenerator Rng(11);
    int Accepted = 0;
    for (int I = 0; I < 400; ++I) {
        const QString Text = randomObject(Rng, 0);
        Accepted += compareEngines(Text, Text);
        compareEngines(damaged(Text, Rng), QStringLiteral("damaged generated form"));
    }
    EXPECT_GT(Accepted, 200);
}

namespace {

// Converts a form with the replacer's form rewriting (TQuery has a pair) and
// returns the written text and the time it took.
QString convertForm(const QString &Text, qint64 &Milliseconds)
{
    TReplaceOptions Options(QStringLiteral("BDE/IBX/FibPlus"));
    TComponentReplacer Replacer(&MakeFormParser<TOrxFormParser>, QStringLiteral("DBTables"), QString(), &Options);
    Replacer.AddReplacePair(QStringLiteral("TQuery"), QStringLiteral("TOrxQuery"));
    QTemporaryDir Dir;
    const QString In = Dir.filePath(QStringLiteral("Main.dfm"));
    QFile File(In);
    EXPECT_TRUE(File.open(QIODevice::WriteOnly));
    File.write(Text.toLatin1());
    File.close();
    QDir().mkpath(Dir.filePath(QStringLiteral("out")));
    QElapsedTimer Timer;
    Timer.start();
    Replacer.Log().OpenLogFile(Dir.filePath(QStringLiteral("log.txt")));
    Replacer.ProcessFile(In, Dir.filePath(QStringLiteral("out")));
    Replacer.Log().CloseLogFile();
    Milliseconds = Timer.elapsed();
    QFile Out(Dir.filePath(QStringLiteral("out/Main.dfm")));
    return Out.open(QIODevice::ReadOnly) ? QString::fromLatin1(Out.readAll()) : QString();
}

} // namespace

TEST(FormParserEngines, LargeFormsConvertWithinSeconds)
{
    // Generous: a release build takes well under a second for each.
    // A sanitizer build runs many times slower; its script stretches the
    // limit through MIGWIZ_TIME_SCALE.
    const qint64 Limit = 30000 * std::max(1, qEnvironmentVariableIntValue("MIGWIZ_TIME_SCALE"));

    QString Sql = QStringLiteral("object Query1: TQuery\r\n  SQL.Strings = (");
    for (int I = 0; I < 200000; ++I)
        Sql += QStringLiteral("\r\n    'select f%1 from t'").arg(I);
    Sql += QStringLiteral(")\r\n  Tag = 1\r\nend\r\n");
    qint64 Milliseconds = 0;
    const QString SqlOut = convertForm(Sql, Milliseconds);
    EXPECT_LT(Milliseconds, Limit);
    EXPECT_TRUE(SqlOut.startsWith(QStringLiteral("object Query1: TOrxQuery\r\n  SQL.Strings = (\r\n")));
    EXPECT_EQ(SqlOut.count(QStringLiteral("from t'")), 200000);

    QString Props = QStringLiteral("object Query1: TQuery\r\n");
    for (int I = 0; I < 200000; ++I)
        Props += QStringLiteral("  Tag%1 = %1\r\n").arg(I);
    Props += QStringLiteral("end\r\n");
    const QString PropsOut = convertForm(Props, Milliseconds);
    EXPECT_LT(Milliseconds, Limit);
    EXPECT_TRUE(PropsOut.startsWith(QStringLiteral("object Query1: TOrxQuery\r\n  Tag0 = 0\r\n")));
    EXPECT_TRUE(PropsOut.contains(QStringLiteral("\r\n  Tag199999 = 199999\r\n")));

    // 200,000 "+"-joined pieces and 20,000 collection items with a nested
    // collection each.
    QString Pieces = QStringLiteral("object Query1: TQuery\r\n  Hint = \r\n    'a'");
    for (int I = 0; I < 200000; ++I)
        Pieces += QStringLiteral(" +\r\n    'b%1'").arg(I);
    Pieces += QStringLiteral("\r\nend\r\n");
    QString Items = QStringLiteral("object Query1: TQuery\r\n  ParamData = <");
    for (int I = 0; I < 20000; ++I)
        Items += QStringLiteral("\r\n    item\r\n      Name = 'P%1'\r\n      Sub = <\r\n        item\r\n"
                                "          Size = 1\r\n        end>\r\n    end").arg(I);
    Items += QStringLiteral(">\r\nend\r\n");
    for (const QString *Text : {&Pieces, &Items}) {
        const QString Out = convertForm(*Text, Milliseconds);
        EXPECT_LT(Milliseconds, Limit);
        EXPECT_TRUE(Out.startsWith(QStringLiteral("object Query1: TOrxQuery\r\n"))) << Out.left(100).toStdString();
    }

    constexpr int Depth = 16000;
    QString Nested;
    for (int I = 0; I < Depth; ++I)
        Nested += QStringLiteral("object Q%1: TQuery\r\nTag = %1\r\n").arg(I);
    Nested += QStringLiteral("end\r\n").repeated(Depth);
    const QString NestedOut = convertForm(Nested, Milliseconds);
    EXPECT_LT(Milliseconds, Limit);
    // The outermost object is re-created; the objects nested in it are kept as
    // they were written, as for any re-created object.
    EXPECT_TRUE(NestedOut.startsWith(QStringLiteral("object Q0: TOrxQuery\r\n  Tag = 0\r\n  AutoCommit = True\r\nobject Q1: TQuery\r\n")))
        << NestedOut.left(200).toStdString();
    EXPECT_EQ(NestedOut.count(QStringLiteral("TQuery")), Depth - 1);
    EXPECT_EQ(NestedOut.count(QStringLiteral("end")), Depth);

    // A value that the grammar refuses in the innermost object: every TQuery
    // fails to parse in turn, and the budget of the pass over the text bounds
    // what they cost together. Nothing is re-created, so nothing is written.
    Nested.insert(Nested.indexOf(QStringLiteral("end")), QStringLiteral("Bad = $FF\r\n"));
    EXPECT_TRUE(convertForm(Nested, Milliseconds).isEmpty());
    EXPECT_LT(Milliseconds, Limit);
}
