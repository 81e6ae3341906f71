// The form parser on object text: MB/s (bytes = characters of recognised
// object text, as an ANSI form file holds them) with the plain engine
// (baseline) and the fast engine in the same run, over the example forms and
// generated forms; how the time grows with nested fields, string-list lines
// and nesting depth; and the two large forms that must convert within a few
// seconds (200,000 SQL lines, 16,000 nested converted objects).
#include "Corpus.h"
#include "FormParser.h"
#include "Replacer.h"
#include "TextCodec.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QRegularExpression>

namespace {

using TEngine = TLL1Parser::TEngine;

class TBenchParser : public TFormParser
{
public:
    using TFormParser::SetMemoEnabled;
    void ConvertProperty(const QString &PropName, const QString &PropValue) override
    {
        AddProperty(PropName, PropValue);
    }
};

// One form text and the one-based positions of its objects' keywords.
struct TForm
{
    QString Text;
    QList<int> Starts;
};

TForm makeForm(const QString &Text)
{
    static const QRegularExpression Keyword(QStringLiteral("(?m)^[ \\t]*\\K(object|inherited|inline)\\b"),
                                            QRegularExpression::CaseInsensitiveOption);
    TForm Form{Text, {}};
    for (auto It = Keyword.globalMatch(Text); It.hasNext();)
        Form.Starts.append(int(It.next().capturedStart()) + 1);
    return Form;
}

// The text forms of the example applications (binary ones converted).
const QList<TForm> &exampleForms()
{
    static const QList<TForm> Forms = [] {
        QList<TForm> Result;
        const QDir Root(QStringLiteral(MIGWIZ_SOURCE_DIR "/examples"));
        for (const QString &Sub : Root.entryList(QDir::Dirs | QDir::NoDotAndDotDot))
            for (const QString &Name : QDir(Root.filePath(Sub)).entryList({QStringLiteral("*.dfm")}, QDir::Files)) {
                QFile File(Root.filePath(Sub + QLatin1Char('/') + Name));
                if (!File.open(QIODevice::ReadOnly))
                    continue;
                TRCData RCData;
                QString Text;
                TTextEncoding Encoding;
                bool Binary = false;
                TComponentReplacer::ReadFormText(File, File.fileName(), RCData, Text, Encoding, Binary);
                Result.append(makeForm(Text));
            }
        return Result;
    }();
    return Forms;
}

const QList<TForm> &generatedForms()
{
    static const QList<TForm> Forms = [] {
        QList<TForm> Result;
        QRandomGenerator Rng(12);
        for (int I = 0; I < 40; ++I)
            Result.append(makeForm(Corpus::MakeForm(QStringLiteral("Form%1").arg(I), Rng)));
        return Result;
    }();
    return Forms;
}

// Parses every object of every form, as the form rewriting would when each
// class had a pair; counts the characters recognised.
void parseForms(benchmark::State &State, const QList<TForm> &Forms)
{
    TBenchParser Parser;
    Parser.SetEngine(TEngine(State.range(0)));
    qint64 Recognised = 0;
    for (auto _ : State) {
        for (const TForm &Form : Forms)
            for (const int Start : Form.Starts) {
                int Pos = Start;
                if (Parser.ParseString(Form.Text, QStringLiteral("<object>"), Pos))
                    Recognised += Pos - Start;
                benchmark::DoNotOptimize(Parser.MakeObject(1));
            }
    }
    State.SetBytesProcessed(Recognised);
    State.SetLabel(State.range(0) == int(TEngine::Plain) ? "plain" : "fast");
}

void BM_ExampleForms(benchmark::State &State)
{
    parseForms(State, exampleForms());
}
BENCHMARK(BM_ExampleForms)->Arg(int(TEngine::Plain))->Arg(int(TEngine::Fast));

void BM_GeneratedForms(benchmark::State &State)
{
    parseForms(State, generatedForms());
}
BENCHMARK(BM_GeneratedForms)->Arg(int(TEngine::Plain))->Arg(int(TEngine::Fast));

QString withFields(int Count)
{
    QString Text = QStringLiteral("object Query1: TQuery\r\n  DatabaseName = 'SALES'\r\n");
    for (int I = 0; I < Count; ++I)
        Text += QStringLiteral("  object Query1F%1: TStringField\r\n    FieldName = 'F%1'\r\n    Size = 30\r\n  end\r\n")
                    .arg(I);
    return Text + QStringLiteral("  Left = 8\r\nend\r\n");
}

QString withStringList(int Lines)
{
    QString Text = QStringLiteral("object Query1: TQuery\r\n  SQL.Strings = (");
    for (int I = 0; I < Lines; ++I)
        Text += QStringLiteral("\r\n    'select field%1 from table where x = ''a'' '").arg(I);
    return Text + QStringLiteral(")\r\n  Left = 8\r\nend\r\n");
}

// Depth objects, each nested in the one before, each with a property;
// indented by level up to a depth of 64.
QString withDepth(int Depth, const QString &Class = QStringLiteral("TPanel"))
{
    const auto indent = [](int Level) { return QString(2 * std::min(Level, 64), u' '); };
    QString Text;
    for (int I = 0; I < Depth; ++I)
        Text += indent(I) + QStringLiteral("object C%1: %2\r\n").arg(I).arg(Class) + indent(I) +
                QStringLiteral("  Tag = 1\r\n");
    for (int I = Depth - 1; I >= 0; --I)
        Text += indent(I) + QStringLiteral("end\r\n");
    return Text;
}

// Engine and size from the arguments; MB/s of the text.
void parseText(benchmark::State &State, const QString &Text)
{
    TBenchParser Parser;
    Parser.SetEngine(TEngine(State.range(0)));
    if (Parser.Engine() == TEngine::Plain)
        Parser.SetWorkLimitPerChar(1000000000);
    for (auto _ : State) {
        int Pos = 1;
        if (!Parser.ParseString(Text, QStringLiteral("<object>"), Pos)) {
            State.SkipWithError("object not recognised");
            break;
        }
        benchmark::DoNotOptimize(Pos);
    }
    State.SetComplexityN(State.range(1));
    State.SetBytesProcessed(State.iterations() * Text.size());
    State.SetLabel(State.range(0) == int(TEngine::Plain) ? "plain" : "fast");
}

void BM_NestedFields(benchmark::State &State)
{
    parseText(State, withFields(int(State.range(1))));
}
BENCHMARK(BM_NestedFields)->ArgsProduct({{int(TEngine::Plain), int(TEngine::Fast)}, {10, 1000}});

void BM_StringList(benchmark::State &State)
{
    parseText(State, withStringList(int(State.range(1))));
}
BENCHMARK(BM_StringList)->ArgsProduct({{int(TEngine::Plain), int(TEngine::Fast)}, {10, 1000}});

void BM_NestedDepth(benchmark::State &State)
{
    parseText(State, withDepth(int(State.range(1))));
}
BENCHMARK(BM_NestedDepth)->ArgsProduct({{int(TEngine::Plain), int(TEngine::Fast)}, {10, 30, 1000}});

// The large forms, converted by the form rewriting of a replacer whose
// TQuery has a pair, as a run converts them: one object of 200,000 SQL lines,
// one of 200,000 properties, and 16,000 TQuery objects each nested in the one
// before.
void convertForm(benchmark::State &State, const QString &Text, bool IsConverted = true)
{
    TReplaceOptions Options(QStringLiteral("BDE/IBX/FibPlus"));
    TComponentReplacer Replacer(nullptr, QStringLiteral("DBTables"), QString(), &Options);
    Replacer.AddReplacePair(QStringLiteral("TQuery"), QStringLiteral("TOrxQuery"));
    const QString Dir = QDir::temp().filePath(QStringLiteral("bench_FormParser_%1").arg(QCoreApplication::applicationPid()));
    QDir().mkpath(Dir + QStringLiteral("/out"));
    const QString In = Dir + QStringLiteral("/Main.dfm");
    {
        QFile File(In);
        if (!File.open(QIODevice::WriteOnly))
            State.SkipWithError("cannot write the form");
        File.write(TextCodec::EncodeAnsi(Text));
    }
    for (auto _ : State) {
        Replacer.Log().OpenLogFile(Dir + QStringLiteral("/log.txt"));
        Replacer.ProcessFile(In, Dir + QStringLiteral("/out"));
        Replacer.Log().CloseLogFile();
    }
    QFile Out(Dir + QStringLiteral("/out/Main.dfm"));
    if (IsConverted && (!Out.open(QIODevice::ReadOnly) || !Out.readAll().contains("TOrxQuery")))
        State.SkipWithError("form not converted");
    QDir(Dir).removeRecursively();
    State.SetBytesProcessed(State.iterations() * Text.size());
}

void BM_ConvertSqlLines(benchmark::State &State)
{
    convertForm(State, withStringList(int(State.range(0))));
}
BENCHMARK(BM_ConvertSqlLines)->Arg(200000)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_ConvertProperties(benchmark::State &State)
{
    QString Text = QStringLiteral("object Query1: TQuery\r\n");
    for (int I = 0; I < State.range(0); ++I)
        Text += QStringLiteral("  Tag%1 = %1\r\n").arg(I);
    convertForm(State, Text + QStringLiteral("end\r\n"));
}
BENCHMARK(BM_ConvertProperties)->Arg(200000)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_ConvertNestedQueries(benchmark::State &State)
{
    convertForm(State, withDepth(int(State.range(0)), QStringLiteral("TQuery")));
}
BENCHMARK(BM_ConvertNestedQueries)->Arg(16000)->Unit(benchmark::kMillisecond)->Iterations(1);

// The same nesting with a value that the grammar refuses in the innermost
// object: no object can be re-created, every TQuery is a candidate in turn,
// and the budget of the pass over the text bounds what they cost together.
void BM_ConvertNestedQueriesRefused(benchmark::State &State)
{
    QString Text = withDepth(int(State.range(0)), QStringLiteral("TQuery"));
    Text.insert(Text.indexOf(QStringLiteral("end")), QStringLiteral("Bad = $FF\r\n"));
    convertForm(State, Text, false);
}
BENCHMARK(BM_ConvertNestedQueriesRefused)->Arg(16000)->Unit(benchmark::kMillisecond)->Iterations(1);

// Baseline: one linear pass over the text of 1000 nested fields.
void BM_LowerCaseBaseline(benchmark::State &State)
{
    const QString Text = withFields(int(State.range(0)));
    for (auto _ : State)
        benchmark::DoNotOptimize(Text.toLower());
    State.SetBytesProcessed(State.iterations() * Text.size());
}
BENCHMARK(BM_LowerCaseBaseline)->Arg(1000);

} // namespace

BENCHMARK_MAIN();
