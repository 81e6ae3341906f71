// Lexing and unit rewriting over a generated corpus of realistic Delphi units
// (at least 20 MB), beside the baseline of reading and writing the same bytes
// without lexing, all in one run. Figures are MB/s of source bytes.
#include "Corpus.h"
#include "PasParser.h"
#include "Replacer.h"
#include "TextCodec.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace {

struct TCorpusFiles
{
    QTemporaryDir Dir;
    QStringList Paths;
    QList<QString> Texts; // decoded, for the in-memory lexer figure
    qsizetype Bytes = 0;
    QString OutDir;

    TCorpusFiles()
    {
        const QList<QByteArray> Files = Corpus::MakeUnitFiles(20 * 1024 * 1024 + 1, 1);
        for (int I = 0; I < Files.size(); ++I) {
            // Each unit in a folder of its own: outside a run, the form that
            // a unit's resource directive names is looked up by listing the
            // unit's folder every time (a run lists each folder once).
            const QString Folder = Dir.filePath(QStringLiteral("u%1").arg(I));
            QDir().mkpath(Folder);
            const QString Path = Folder + QStringLiteral("/Unit%1.pas").arg(I);
            QFile F(Path);
            F.open(QIODevice::WriteOnly);
            F.write(Files[I]);
            Paths << Path;
            Texts << TextCodec::DecodeAnsi(Files[I]);
            Bytes += Files[I].size();
        }
        OutDir = Dir.filePath(QStringLiteral("out"));
        QDir().mkpath(OutDir);
    }
};

TCorpusFiles &Files()
{
    static TCorpusFiles Instance;
    return Instance;
}

QByteArray ReadFile(const QString &Path)
{
    QFile F(Path);
    F.open(QIODevice::ReadOnly);
    return F.readAll();
}

// Reads every lexeme of Text; returns how many there were.
qsizetype CountLexemes(const QString &Text)
{
    TPasParser Lexer(Text);
    QStringView L;
    qsizetype Count = 0;
    while (Lexer.GetNextView(L) != lexEnd)
        ++Count;
    return Count;
}

void BM_Baseline_ReadWrite(benchmark::State &State)
{
    auto &C = Files();
    for (auto _ : State) {
        for (int I = 0; I < C.Paths.size(); ++I) {
            const QByteArray Bytes = ReadFile(C.Paths[I]);
            QFile Out(C.OutDir + QStringLiteral("/u.pas"));
            Out.open(QIODevice::WriteOnly | QIODevice::Truncate);
            Out.write(Bytes);
        }
    }
    State.SetBytesProcessed(State.iterations() * C.Bytes);
}

void BM_Lex_InMemory(benchmark::State &State)
{
    auto &C = Files();
    for (auto _ : State) {
        qsizetype Count = 0;
        for (const QString &Text : C.Texts)
            Count += CountLexemes(Text);
        benchmark::DoNotOptimize(Count);
    }
    State.SetBytesProcessed(State.iterations() * C.Bytes);
}

void BM_ReadDecodeLex(benchmark::State &State)
{
    auto &C = Files();
    for (auto _ : State) {
        qsizetype Count = 0;
        for (const QString &Path : C.Paths) {
            QFile F(Path);
            F.open(QIODevice::ReadOnly);
            QString Text;
            TTextEncoding Enc;
            TComponentReplacer::ReadSourceText(F, Text, Enc);
            Count += CountLexemes(Text);
        }
        benchmark::DoNotOptimize(Count);
    }
    State.SetBytesProcessed(State.iterations() * C.Bytes);
}

void BM_RewriteUnit(benchmark::State &State)
{
    auto &C = Files();
    TReplaceOptions Options(QStringLiteral("BDE/IBX/FibPlus"));
    TComponentReplacer Replacer(nullptr, QStringLiteral("DBTables"), QStringLiteral(", Quorvel, Orx, Lintra, OrxError"),
                                &Options);
    const char *Pairs[][2] = {{"TDatabase", "TOrxConnection"}, {"TQuery", "TOrxQuery"},   {"TwwQuery", "TOrxQuery"},
                              {"TTable", "TOrxTable"},         {"TwwTable", "TOrxTable"}, {"TStoredProc", "TOrxStoredProc"},
                              {"TwwStoredProc", "TOrxStoredProc"}, {"TUpdateSQL", "TOrxUpdateSQL"},
                              {"EDBEngineError", "EOrxError"}, {"TBatchMove", "TKxBatchMove"}};
    for (auto &P : Pairs)
        Replacer.AddReplacePair(QString::fromLatin1(P[0]), QString::fromLatin1(P[1]));
    for (auto _ : State) {
        for (int I = 0; I < C.Paths.size(); ++I) {
            QFile F(C.Paths[I]);
            F.open(QIODevice::ReadOnly);
            QString Text;
            TTextEncoding Enc;
            TComponentReplacer::ReadSourceText(F, Text, Enc);
            Replacer.RewriteUnit(Text, C.Paths[I], Enc, C.OutDir + QStringLiteral("/u.pas"));
            Replacer.UnitList().clear();
        }
    }
    State.SetBytesProcessed(State.iterations() * C.Bytes);
    State.counters["files"] = double(C.Paths.size());
}

} // namespace

BENCHMARK(BM_Baseline_ReadWrite)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_Lex_InMemory)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_ReadDecodeLex)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_RewriteUnit)->Unit(benchmark::kMillisecond)->MinTime(2);

int main(int argc, char **argv)
{
    QCoreApplication App(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
