// The property rules of the product parser: one dataset object with N
// properties of the kinds real forms hold (event handlers, SQL, filters,
// database names, parameters), parsed and written anew with TOrxFormParser.
// Baseline in the same run: the same parse with a parser that appends every
// property unchanged, so the difference is what the rules cost.
#include "OrxClasses.h"
#include "OrxFormParser.h"
#include "OrxReplacer.h"

#include <benchmark/benchmark.h>

namespace {

class TCopyingParser : public TFormParser
{
public:
    void ConvertProperty(const QString &PropName, const QString &PropValue) override
    {
        AddProperty(PropName, PropValue);
    }
};

QString datasetWithProperties(int Count)
{
    static const char *const Lines[] = {
        "DatabaseName = 'SALES'",
        "BeforeOpen = Query1BeforeOpen",
        "SQL.Strings = (\r\n    'select * from ORDERS'\r\n    'where CUST_NO = :CUST_NO')",
        "Filtered = True",
        "DataSource = DataSource1",
        "UpdateObject = UpdateSQL1",
        "RequestLive = True",
        "Params.Strings = (\r\n    'user_name=SYSDBA'\r\n    'password=masterkey')",
    };
    QString Text = QStringLiteral("object Query1: TQuery\r\n");
    for (int I = 0; I < Count; ++I)
        Text += QStringLiteral("  ") + QString::fromLatin1(Lines[I % std::size(Lines)]) + QStringLiteral("\r\n");
    return Text + QStringLiteral("end\r\n");
}

void convert(benchmark::State &State, TFormParser &Parser)
{
    const QString Text = datasetWithProperties(int(State.range(0)));
    Parser.SetNewClassName(QStringLiteral("TOrxQuery"));
    Parser.SetOnGetPropertyValue([](const QString &, const QString &) { return QStringLiteral("DM.Database1"); });
    for (auto _ : State) {
        int Pos = 1;
        if (!Parser.ParseString(Text, QStringLiteral("<object>"), Pos)) {
            State.SkipWithError("object not recognised");
            break;
        }
        benchmark::DoNotOptimize(Parser.MakeObject(1));
    }
    State.SetItemsProcessed(State.iterations() * State.range(0));
}

void BM_OrxRules(benchmark::State &State)
{
    TOrxProduct Product; // registers the Orvex classes
    TOrxFormParser Parser;
    convert(State, Parser);
}
BENCHMARK(BM_OrxRules)->Arg(8)->Arg(64)->Arg(512);

void BM_CopyEveryProperty(benchmark::State &State)
{
    TCopyingParser Parser;
    convert(State, Parser);
}
BENCHMARK(BM_CopyEveryProperty)->Arg(8)->Arg(64)->Arg(512);

} // namespace

BENCHMARK_MAIN();
