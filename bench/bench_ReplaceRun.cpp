// A whole replace run (the Orvex BDE replacer in folder mode with subfolders,
// backups and log, as `migwiz replace --from bde --dir TREE --subdirs` runs it) over a generated tree of 2,000 units and their 2,000 forms
// (a fifth of them binary), beside `cp -r` of the same tree in the same run.
// Every iteration converts a fresh copy of the tree; making that copy is not
// timed. Figures: files/s and MB/s of the tree's bytes, and how many times
// slower than cp -r the run is.
#include "ComponentStream.h"
#include "Corpus.h"
#include "OrxReplacer.h"
#include "TextCodec.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <chrono>

namespace {

constexpr int UnitCount = 2000;
constexpr int FolderCount = 20;

QByteArray binaryFormFile(const QString &Name, const QString &Text)
{
    return TComponentReplacer::MakeBinaryFormFile(Name.toUpper().toLatin1(), ObjectTextToBinary(Text));
}

void writeFile(const QString &Path, const QByteArray &Bytes)
{
    QFile F(Path);
    if (!F.open(QIODevice::WriteOnly) || F.write(Bytes) != Bytes.size())
        qFatal("cannot write %s", qPrintable(Path));
}

// The master tree: FolderCount folders of units, each unit with its form.
struct TTree
{
    QTemporaryDir Dir;
    QString Master;
    int Files = 0;
    int Changing = 0; // files with something to convert
    qint64 Bytes = 0;

    TTree()
    {
        Master = Dir.filePath(QStringLiteral("master"));
        QRandomGenerator Rng(7);
        const QRegularExpression BdeObject(
            QStringLiteral(": T(ww)?(Database|Query|Table|StoredProc|UpdateSQL|BatchMove)\\r\\n"));
        for (int I = 0; I < UnitCount; ++I) {
            const QString Folder = QStringLiteral("%1/Module%2").arg(Master).arg(I % FolderCount, 2, 10, QLatin1Char('0'));
            QDir().mkpath(Folder);
            const QString Name = QStringLiteral("Unit%1").arg(I, 4, 10, QLatin1Char('0'));
            const QByteArray Unit = TextCodec::EncodeAnsi(Corpus::MakeUnit(Name, true, Rng));
            const QString FormText = Corpus::MakeForm(Name + QStringLiteral("Form"), Rng);
            const QByteArray Form = I % 5 == 0 ? binaryFormFile(Name, FormText) : TextCodec::EncodeAnsi(FormText);
            writeFile(Folder + u'/' + Name + QStringLiteral(".pas"), Unit);
            writeFile(Folder + u'/' + Name + QStringLiteral(".dfm"), Form);
            Files += 2;
            Changing += 1 + int(FormText.contains(BdeObject));
            Bytes += Unit.size() + Form.size();
        }
    }

    QString freshCopy(const QString &Name) const
    {
        const QString Target = Dir.filePath(Name);
        QDir(Target).removeRecursively();
        copyTree(Target);
        return Target;
    }

    void copyTree(const QString &Target) const
    {
        if (QProcess::execute(QStringLiteral("cp"), {QStringLiteral("-r"), Master, Target}) != 0)
            qFatal("cp -r failed");
    }
};

TTree &tree()
{
    static TTree Instance;
    return Instance;
}

double seconds(std::chrono::steady_clock::duration D)
{
    return std::chrono::duration<double>(D).count();
}

void BM_ReplaceRun(benchmark::State &State)
{
    TTree &T = tree();
    double RunSeconds = 0, CopySeconds = 0;
    for (auto _ : State) {
        const QString Work = T.freshCopy(QStringLiteral("work"));
        TOrxProduct Product;
        TReplaceOptions &Options = Product.ReplaceOptions();
        Options.Dest = sdDirectory;
        Options.Directory = QDir::toNativeSeparators(Work);
        Options.IncludeSubDirs = true;
        Options.BackupDir = QDir::toNativeSeparators(Work + QStringLiteral("/RBackup"));
        TComponentReplacer &Replacer = *Product.Replacer(TOrxProduct::BdePosition);
        const auto Start = std::chrono::steady_clock::now();
        const bool Result = Replacer.PerformReplace();
        const double Run = seconds(std::chrono::steady_clock::now() - Start);
        if (!Result || Replacer.UndoList().Count() != T.Changing) {
            State.SkipWithError(qPrintable(QStringLiteral("the run converted %1 of %2 files").arg(Replacer.UndoList().Count()).arg(T.Changing)));
            break;
        }
        State.SetIterationTime(Run);
        RunSeconds += Run;

        // The baseline, on the same tree in the same iteration.
        const QString CopyTarget = T.Dir.filePath(QStringLiteral("copy"));
        QDir(CopyTarget).removeRecursively();
        const auto CopyStart = std::chrono::steady_clock::now();
        T.copyTree(CopyTarget);
        CopySeconds += seconds(std::chrono::steady_clock::now() - CopyStart);
    }
    const double N = double(State.iterations());
    State.counters["files"] = T.Files;
    State.counters["MB"] = double(T.Bytes) / 1e6;
    State.counters["files/s"] = T.Files * N / RunSeconds;
    State.counters["MB/s"] = double(T.Bytes) / 1e6 * N / RunSeconds;
    State.counters["cp_files/s"] = T.Files * N / CopySeconds;
    State.counters["cp_MB/s"] = double(T.Bytes) / 1e6 * N / CopySeconds;
    State.counters["x_cp"] = RunSeconds / CopySeconds;
}

} // namespace

BENCHMARK(BM_ReplaceRun)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

int main(int argc, char **argv)
{
    QCoreApplication App(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
