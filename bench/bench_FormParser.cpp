// Parsing one convertible object with the form parser: how the time grows with
// the number of nested field objects, the length of a string list, and the
// depth of nested children. Baselines in the same run: one linear pass over
// the text (lower-casing it), and deep nesting with the memo switched off.
#include "FormParser.h"

#include <benchmark/benchmark.h>

namespace {

class TBenchParser : public TFormParser
{
public:
    using TFormParser::SetMemoEnabled;
};

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

QString withDepth(int Depth)
{
    QString Text;
    for (int I = 0; I < Depth; ++I)
        Text += QString(2 * I, u' ') + QStringLiteral("object C%1: TPanel\r\n").arg(I) + QString(2 * I, u' ') +
                QStringLiteral("  Tag = 1\r\n");
    for (int I = Depth - 1; I >= 0; --I)
        Text += QString(2 * I, u' ') + QStringLiteral("end\r\n");
    return Text;
}

void parseText(benchmark::State &State, const QString &Text, bool IsMemoEnabled = true)
{
    TBenchParser Parser;
    Parser.SetMemoEnabled(IsMemoEnabled);
    if (!IsMemoEnabled)
        Parser.SetWorkLimitPerChar(1000000000);   // the baseline would stop at the work limit
    for (auto _ : State) {
        int Pos = 1;
        if (!Parser.ParseString(Text, QStringLiteral("<object>"), Pos)) {
            State.SkipWithError("object not recognised");
            break;
        }
        benchmark::DoNotOptimize(Pos);
    }
    State.SetComplexityN(State.range(0));
    State.SetBytesProcessed(State.iterations() * Text.size() * qint64(sizeof(QChar)));
}

void BM_NestedFields(benchmark::State &State)
{
    parseText(State, withFields(int(State.range(0))));
}
BENCHMARK(BM_NestedFields)->Arg(10)->Arg(100)->Arg(1000)->Complexity();

void BM_StringList(benchmark::State &State)
{
    parseText(State, withStringList(int(State.range(0))));
}
BENCHMARK(BM_StringList)->Arg(10)->Arg(100)->Arg(1000)->Arg(10000)->Complexity();

void BM_NestedDepth(benchmark::State &State)
{
    parseText(State, withDepth(int(State.range(0))));
}
BENCHMARK(BM_NestedDepth)->DenseRange(1, 30, 1)->Complexity();

// Baseline: the same nesting without the memo doubles with every level.
void BM_NestedDepthWithoutMemo(benchmark::State &State)
{
    parseText(State, withDepth(int(State.range(0))), false);
}
BENCHMARK(BM_NestedDepthWithoutMemo)->DenseRange(1, 14, 1);

// Baseline: one linear pass over the text of 1000 nested fields.
void BM_LowerCaseBaseline(benchmark::State &State)
{
    const QString Text = withFields(int(State.range(0)));
    for (auto _ : State)
        benchmark::DoNotOptimize(Text.toLower());
    State.SetBytesProcessed(State.iterations() * Text.size() * qint64(sizeof(QChar)));
}
BENCHMARK(BM_LowerCaseBaseline)->Arg(1000);

} // namespace

BENCHMARK_MAIN();
