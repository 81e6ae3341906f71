// A whole replace run, as `migwiz replace --from bde --dir TREE --subdirs`
// runs it (folder mode with subfolders, backups and log, in-process through
// the command line's own code), over a generated tree of 2,000 units and
// their 2,000 forms (a fifth of them binary; every file has something to
// convert), beside three baselines measured over the same tree in the same
// process:
//
// - sed: `sed -i` with the BDE replacer's class renames over every file, what
//   a user could do instead (one process, no backups, no undo file, no log);
// - minimal: the file operations that a safe run needs and nothing else,
//   with plain POSIX calls: for each file read it, write a temporary beside
//   it, hard-link a backup, rename the temporary over the original (no
//   conversion, no sync);
// - minimal with flushes: the same with the run's durability: every
//   temporary and backup first, one syncfs, then the renames and one more
//   syncfs, so that a crash leaves each original or its whole replacement.
//   Against it (x_min_sync) the run's own cost shows apart from the flushes
//   that its guarantees need.
//
// Every pass works on a fresh copy of the tree, made (and flushed with sync)
// before it is timed, and nothing is deleted until the benchmark ends: ext4
// without a journal makes every new file skip the inodes freed in the last
// minute, so a pass timed after a deletion pays for it. So the baselines
// come after every run, and the sed passes, which free every original's
// inode, last. On a shared machine the figures of one process still vary by
// two or more between processes: compare ratios, and several processes.
//
// Each run's row gives its files/s, MB/s, and wall and CPU seconds per run.
// A table after the rows gives the baselines' times and each run's ratios
// to them: x_sed, x_cp_sed (the copy of the tree counted into the sed pass,
// as a user without backups would copy it first), x_min and x_min_sync.
//
// Last, what the code scan of the unit rewriting (CodeScan.h, with the index
// of the run's units) adds to a whole run on one thread: runs with it and
// without it take turns in this process, and the minimum and median of each
// side give the share, in CPU and wall seconds, as does the median of each
// pair's share; then the report's counts by consequence over the tree.
//
// `bench_ReplaceRun --make-tree DIR` only writes the tree into DIR (for the
// system-call count of scripts/syscalls.sh) and prints its figures;
// `bench_ReplaceRun --scan-share` only measures the code scan's share.
#include "Cli.h"
#include "ComponentStream.h"
#include "Corpus.h"
#include "OrxReplacer.h"
#include "TextCodec.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <set>
#include <string>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int UnitCount = 2000;
constexpr int FolderCount = 20;

// Whether migwiz takes `--jobs N`. It does: every figure names its thread
// count explicitly (the default would be the number of cores).
constexpr bool MigwizTakesJobs = true;

// The class renames of the BDE replacer (checked against it at start-up).
constexpr const char *BdeRenames[][2] = {
    {"TDatabase", "TOrxConnection"}, {"TQuery", "TOrxQuery"},           {"TwwQuery", "TOrxQuery"},
    {"TTable", "TOrxTable"},         {"TwwTable", "TOrxTable"},         {"TStoredProc", "TOrxStoredProc"},
    {"TwwStoredProc", "TOrxStoredProc"}, {"TUpdateSQL", "TOrxUpdateSQL"}, {"EDBEngineError", "EOrxError"},
    {"TBatchMove", "TKxBatchMove"},
};

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

struct TTreeFacts
{
    int Files = 0;
    int Changing = 0; // files with something to convert
    qint64 Bytes = 0;
    QStringList RelativePaths; // of every file, below the tree's root
};

// Writes FolderCount folders of units below Root, each unit with its form;
// every unit and every form has a BDE class to convert.
TTreeFacts makeTree(const QString &Root)
{
    TTreeFacts Facts;
    QRandomGenerator Rng(7);
    const QRegularExpression BdeObject(
        QStringLiteral(": T(ww)?(Database|Query|Table|StoredProc|UpdateSQL|BatchMove)\\r\\n"));
    for (int I = 0; I < UnitCount; ++I) {
        const QString Sub = QStringLiteral("Module%1").arg(I % FolderCount, 2, 10, QLatin1Char('0'));
        QDir().mkpath(Root + u'/' + Sub);
        const QString Name = QStringLiteral("Unit%1").arg(I, 4, 10, QLatin1Char('0'));
        const QByteArray Unit = TextCodec::EncodeAnsi(Corpus::MakeUnit(Name, true, Rng));
        QString FormText;
        do
            FormText = Corpus::MakeForm(Name + QStringLiteral("Form"), Rng);
        while (!FormText.contains(BdeObject));
        const QByteArray Form = I % 5 == 0 ? binaryFormFile(Name, FormText) : TextCodec::EncodeAnsi(FormText);
        for (const auto &[Ext, Bytes] : {std::pair{QStringLiteral(".pas"), Unit}, std::pair{QStringLiteral(".dfm"), Form}}) {
            const QString Relative = Sub + u'/' + Name + Ext;
            writeFile(Root + u'/' + Relative, Bytes);
            Facts.RelativePaths.append(Relative);
            Facts.Bytes += Bytes.size();
        }
        Facts.Files += 2;
        Facts.Changing += 2;
    }
    return Facts;
}

double seconds(std::chrono::steady_clock::duration D)
{
    return std::chrono::duration<double>(D).count();
}

// CPU time of the whole process (every thread), in seconds.
double cpuSeconds()
{
    timespec T{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &T);
    return double(T.tv_sec) + double(T.tv_nsec) / 1e9;
}

// The master tree and fresh copies of it, all in one temporary folder (so on
// one file system, as the run's own temporary folder is).
struct TBench
{
    QTemporaryDir Dir;
    QString Master;
    TTreeFacts Facts;
    QStringList SedArguments; // the renames, then the files (relative)

    TBench()
    {
        Master = Dir.filePath(QStringLiteral("master"));
        Facts = makeTree(Master);
        TOrxProduct Product;
        const TComponentReplacer &Bde = *Product.Replacer(TOrxProduct::BdePosition);
        SedArguments << QStringLiteral("-i");
        for (const auto &Rename : BdeRenames) {
            const QString *New = Bde.FindNewComp(QString::fromLatin1(Rename[0]));
            if (!New || *New != QLatin1String(Rename[1]))
                qFatal("the BDE replacer no longer renames %s to %s", Rename[0], Rename[1]);
            // Whole words, any letter case, as Pascal names are compared.
            SedArguments << QStringLiteral("-e") << QStringLiteral("s/\\<%1\\>/%2/gI").arg(QLatin1String(Rename[0]), *New);
        }
        SedArguments << Facts.RelativePaths;
    }

    // A fresh copy of the master under a name not used before (nothing is
    // removed before the benchmark ends).
    QString freshCopy(const QString &Kind)
    {
        const QString Target = Dir.filePath(QStringLiteral("%1-%2").arg(Kind).arg(++Copies));
        if (QProcess::execute(QStringLiteral("cp"), {QStringLiteral("-r"), Master, Target}) != 0)
            qFatal("cp -r failed");
        return Target;
    }
    int Copies = 0;
};

TBench &bench()
{
    static TBench Instance;
    return Instance;
}

// The run as the command line makes it; an empty string when it converted
// every file, else what went wrong.
QString runMigwiz(const QString &Tree, int Jobs, int Changing, const QStringList &Extra = {})
{
    QStringList Args{QStringLiteral("replace"), QStringLiteral("--from"), QStringLiteral("bde"),
                     QStringLiteral("--dir"), Tree, QStringLiteral("--subdirs")};
    Args << Extra;
    if (MigwizTakesJobs)
        Args << QStringLiteral("--jobs") << QString::number(Jobs);
    else if (Jobs != 1)
        return QStringLiteral("migwiz does not take --jobs yet");
    QString OutText, ErrText;
    QTextStream Out(&OutText), Err(&ErrText);
    const int Status = runCli(Args, Out, Err, false);
    if (Status != csSuccess)
        return QStringLiteral("migwiz ended with %1: %2").arg(Status).arg(ErrText);
    QFile Undo(Tree + QStringLiteral("/RBackup/RExpert.reu"));
    if (!Undo.open(QIODevice::ReadOnly))
        return QStringLiteral("no undo file");
    const int Lines = int(Undo.readAll().count('\n'));
    if (Lines != Changing)
        return QStringLiteral("the run backed up %1 of %2 files").arg(Lines).arg(Changing);
    return {};
}

QString sedPass(const QString &Tree, const QStringList &Arguments)
{
    QProcess Sed;
    Sed.setWorkingDirectory(Tree);
    QProcessEnvironment Env = QProcessEnvironment::systemEnvironment();
    Env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C")); // bytes, whatever the code page
    Sed.setProcessEnvironment(Env);
    Sed.start(QStringLiteral("sed"), Arguments);
    if (!Sed.waitForFinished(-1) || Sed.exitStatus() != QProcess::NormalExit || Sed.exitCode() != 0)
        return QStringLiteral("sed failed: %1").arg(QString::fromLocal8Bit(Sed.readAllStandardError()));
    return {};
}

// The minimal pass, written with plain POSIX calls so that it does only what
// it says: list the tree, then for each file read it, write it to a temporary
// beside it, hard-link the original into the backup folder (its folders made
// once each) and rename the temporary over the original. A durable pass
// renames only once every temporary and backup is flushed, and flushes again
// after the last rename.
class TMinimalPass
{
public:
    TMinimalPass(std::string Root, bool Durable)
        : FRoot(std::move(Root)), FBackup(FRoot + "/RBackup"), FDurable(Durable)
    {
    }

    // An empty string on success, else the failing call and file.
    std::string Run()
    {
        std::vector<std::string> Files;
        if (!List("", Files) || !MakeFolder(FBackup))
            return FError;
        std::set<std::string> Folders;
        for (const std::string &Relative : Files) {
            const std::string::size_type Slash = Relative.rfind('/');
            const std::string Folder = Slash == std::string::npos ? std::string() : Relative.substr(0, Slash);
            if (!Folder.empty() && Folders.insert(Folder).second && !MakeFolder(FBackup + '/' + Folder))
                return FError;
            if (!Replace(Relative))
                return FError;
        }
        if (FDurable) {
            if (!Flush())
                return FError;
            for (const std::string &Relative : Files) {
                const std::string Path = FRoot + '/' + Relative;
                if (::rename((Path + ".tmp~").c_str(), Path.c_str()) != 0) {
                    Fail("rename", Path);
                    return FError;
                }
            }
            if (!Flush())
                return FError;
        }
        return {};
    }

private:
    std::string FRoot, FBackup, FError;
    bool FDurable;
    std::vector<char> FBuffer;

    bool Flush()
    {
        const int Fd = ::open(FRoot.c_str(), O_RDONLY | O_CLOEXEC);
        const bool Ok = Fd >= 0 && ::syncfs(Fd) == 0;
        if (Fd >= 0)
            ::close(Fd);
        return Ok || Fail("syncfs", FRoot);
    }

    bool Fail(const char *Call, const std::string &Path)
    {
        FError = std::string(Call) + ' ' + Path + ": " + std::strerror(errno);
        return false;
    }

    bool MakeFolder(const std::string &Path) { return ::mkdir(Path.c_str(), 0777) == 0 || Fail("mkdir", Path); }

    // Every file below Folder (relative to the root).
    bool List(const std::string &Folder, std::vector<std::string> &Files)
    {
        const std::string Path = Folder.empty() ? FRoot : FRoot + '/' + Folder;
        DIR *D = ::opendir(Path.c_str());
        if (!D)
            return Fail("opendir", Path);
        bool Ok = true;
        while (const dirent *E = ::readdir(D)) {
            const std::string Name = E->d_name;
            if (Name == "." || Name == "..")
                continue;
            const std::string Relative = Folder.empty() ? Name : Folder + '/' + Name;
            if (E->d_type == DT_DIR)
                Ok = Ok && List(Relative, Files);
            else
                Files.push_back(Relative);
        }
        ::closedir(D);
        return Ok;
    }

    bool Replace(const std::string &Relative)
    {
        const std::string Path = FRoot + '/' + Relative;
        const int In = ::open(Path.c_str(), O_RDONLY | O_CLOEXEC);
        struct stat St;
        if (In < 0)
            return Fail("open", Path);
        if (::fstat(In, &St) != 0) {
            ::close(In);
            return Fail("fstat", Path);
        }
        FBuffer.resize(std::size_t(St.st_size) + 1);
        std::size_t Size = 0;
        for (ssize_t N; (N = ::read(In, FBuffer.data() + Size, FBuffer.size() - Size)) != 0;) {
            if (N < 0) {
                ::close(In);
                return Fail("read", Path);
            }
            Size += std::size_t(N);
            if (Size == FBuffer.size())
                FBuffer.resize(Size * 2);
        }
        ::close(In);

        const std::string Temp = Path + ".tmp~";
        const int Out = ::open(Temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, St.st_mode & 07777);
        if (Out < 0)
            return Fail("open", Temp);
        for (std::size_t Done = 0; Done < Size;) {
            const ssize_t N = ::write(Out, FBuffer.data() + Done, Size - Done);
            if (N < 0) {
                ::close(Out);
                return Fail("write", Temp);
            }
            Done += std::size_t(N);
        }
        if (::close(Out) != 0)
            return Fail("close", Temp);

        // Main.pas is backed up as Main.~pas.
        std::string Backup = FBackup + '/' + Relative;
        const std::string::size_type Dot = Backup.rfind('.');
        Backup.insert(Dot + 1, 1, '~');
        if (::link(Path.c_str(), Backup.c_str()) != 0)
            return Fail("link", Backup);
        if (!FDurable && ::rename(Temp.c_str(), Path.c_str()) != 0)
            return Fail("rename", Temp);
        return true;
    }
};

// What the timed runs took, by thread count, for the ratios printed after
// every benchmark has run.
struct TRunFigures
{
    int Jobs = 0;
    int Runs = 0;
    double WallSeconds = 0, CpuSeconds = 0;
};

std::vector<TRunFigures> &runFigures()
{
    static std::vector<TRunFigures> Figures;
    return Figures;
}

void BM_ReplaceRun(benchmark::State &State)
{
    TBench &B = bench();
    TRunFigures Figures;
    Figures.Jobs = int(State.range(0));
    // Every copy first, on disk before anything is timed.
    QStringList Trees;
    for (int I = 0; I < int(State.max_iterations); ++I)
        Trees << B.freshCopy(QStringLiteral("run"));
    ::sync();
    for (auto _ : State) {
        const double CpuStart = cpuSeconds();
        const auto Start = std::chrono::steady_clock::now();
        const QString Error = runMigwiz(Trees[Figures.Runs], Figures.Jobs, B.Facts.Changing);
        const double Run = seconds(std::chrono::steady_clock::now() - Start);
        Figures.CpuSeconds += cpuSeconds() - CpuStart;
        if (!Error.isEmpty()) {
            State.SkipWithError(qPrintable(Error));
            return;
        }
        State.SetIterationTime(Run);
        Figures.WallSeconds += Run;
        ++Figures.Runs;
    }
    const double N = Figures.Runs;
    const double MB = double(B.Facts.Bytes) / 1e6;
    State.counters["files"] = B.Facts.Files;
    State.counters["MB"] = MB;
    State.counters["files/s"] = B.Facts.Files * N / Figures.WallSeconds;
    State.counters["MB/s"] = MB * N / Figures.WallSeconds;
    // The run's CPU time against its wall time: the rest is waiting for the
    // file system (or for a core, on a busy machine).
    State.counters["cpu_s"] = Figures.CpuSeconds / N;
    State.counters["wall_s"] = Figures.WallSeconds / N;
    runFigures().push_back(Figures);
}

// The baselines, as many passes of each as a run had, each on its own copy,
// after every run (so that the sed passes, which free every original's
// inode, come last), then the ratios of every run to them. Returns false when
// a pass failed.
bool printBaselines(int Passes)
{
    TBench &B = bench();
    QStringList MinimalTrees, DurableTrees;
    for (int I = 0; I < Passes; ++I) {
        MinimalTrees << B.freshCopy(QStringLiteral("minimal"));
        DurableTrees << B.freshCopy(QStringLiteral("durable"));
    }
    ::sync();
    double MinimalSeconds = 0, DurableSeconds = 0, CopySeconds = 0, SedSeconds = 0;
    // The two minimal passes take turns at going first.
    for (int I = 0; I < Passes; ++I) {
        for (const bool Durable : {I % 2 == 1, I % 2 == 0}) {
            const auto Start = std::chrono::steady_clock::now();
            const std::string Error = TMinimalPass((Durable ? DurableTrees : MinimalTrees)[I].toStdString(), Durable).Run();
            (Durable ? DurableSeconds : MinimalSeconds) += seconds(std::chrono::steady_clock::now() - Start);
            if (!Error.empty()) {
                std::fprintf(stderr, "minimal pass: %s\n", Error.c_str());
                return false;
            }
        }
    }
    // The copy for a sed pass is timed on its own, as a user would make it
    // before running sed.
    for (int I = 0; I < Passes; ++I) {
        ::sync();
        auto Start = std::chrono::steady_clock::now();
        const QString Tree = B.freshCopy(QStringLiteral("sed"));
        CopySeconds += seconds(std::chrono::steady_clock::now() - Start);
        ::sync();
        Start = std::chrono::steady_clock::now();
        const QString Error = sedPass(Tree, B.SedArguments);
        SedSeconds += seconds(std::chrono::steady_clock::now() - Start);
        if (!Error.isEmpty()) {
            std::fprintf(stderr, "%s\n", qPrintable(Error));
            return false;
        }
    }
    const double MB = double(B.Facts.Bytes) / 1e6;
    std::printf("\nBaselines over the same tree (%d passes each, after the runs):\n", Passes);
    const auto Line = [&](const char *Name, double Total) {
        const double Each = Total / Passes;
        std::printf("  %-26s %6.3f s %9.0f files/s %7.1f MB/s\n", Name, Each, B.Facts.Files / Each, MB / Each);
    };
    Line("minimal", MinimalSeconds);
    Line("minimal with flushes", DurableSeconds);
    Line("copy", CopySeconds);
    Line("sed", SedSeconds);
    std::printf("The flushes cost the minimal pass x%.2f.\n", DurableSeconds / MinimalSeconds);
    std::printf("\n%-5s %7s %7s %9s %6s %10s\n", "jobs", "wall_s", "x_sed", "x_cp_sed", "x_min", "x_min_sync");
    for (const TRunFigures &F : runFigures()) {
        const double Each = F.WallSeconds / F.Runs;
        std::printf("%-5d %7.3f %7.2f %9.2f %6.2f %10.2f\n", F.Jobs, Each, Each * Passes / SedSeconds,
                    Each * Passes / (CopySeconds + SedSeconds), Each * Passes / MinimalSeconds,
                    Each * Passes / DurableSeconds);
    }
    return true;
}

double median(std::vector<double> Values)
{
    std::sort(Values.begin(), Values.end());
    const size_t N = Values.size();
    return N % 2 ? Values[N / 2] : (Values[N / 2 - 1] + Values[N / 2]) / 2;
}

// What the code scan adds to a whole run on one thread: Pairs runs with it
// and Pairs without it (TComponentReplacer::SetCodeScan), in this process,
// each on a fresh copy, the two taking turns at going first so that a
// change of the machine's load falls on both. The minimum and the median of
// each side's CPU and wall seconds give the share, and so does the median
// of the pairs' shares; the report of a run with the scan gives its counts
// by consequence.
bool printCodeScanShare(int Pairs)
{
    TBench &B = bench();
    QStringList Trees;
    for (int I = 0; I < 2 * Pairs; ++I)
        Trees << B.freshCopy(QStringLiteral("scan"));
    runMigwiz(B.freshCopy(QStringLiteral("warm")), 1, B.Facts.Changing); // the first run pays for the caches
    ::sync();
    std::vector<double> Cpu[2], Wall[2]; // [0] without the scan, [1] with it
    const QString Report = B.Dir.filePath(QStringLiteral("report.json"));
    for (int I = 0; I < Pairs; ++I)
        for (const bool On : {I % 2 == 0, I % 2 == 1}) {
            TComponentReplacer::SetCodeScan(On);
            const double CpuStart = cpuSeconds();
            const auto Start = std::chrono::steady_clock::now();
            const QString Error = runMigwiz(Trees[2 * I + int(On)], 1, B.Facts.Changing);
            Wall[On].push_back(seconds(std::chrono::steady_clock::now() - Start));
            Cpu[On].push_back(cpuSeconds() - CpuStart);
            if (!Error.isEmpty()) {
                std::fprintf(stderr, "%s\n", qPrintable(Error));
                return false;
            }
        }
    TComponentReplacer::SetCodeScan(true);
    const auto Share = [](double With, double Without) { return 100 * (With - Without) / Without; };
    std::printf("\nThe code scan in a run on one thread (%d runs with it, %d without, taking turns):\n", Pairs, Pairs);
    std::printf("  %-6s %10s %10s %8s\n", "", "without_s", "with_s", "added");
    for (const auto &[Name, Figures] : {std::pair{"cpu", Cpu}, std::pair{"wall", Wall}}) {
        const double MinWithout = *std::min_element(Figures[0].begin(), Figures[0].end());
        const double MinWith = *std::min_element(Figures[1].begin(), Figures[1].end());
        std::printf("  %-6s %10.3f %10.3f %7.1f%%  (min)\n", Name, MinWithout, MinWith, Share(MinWith, MinWithout));
        std::printf("  %-6s %10.3f %10.3f %7.1f%%  (median)\n", Name, median(Figures[0]), median(Figures[1]),
                    Share(median(Figures[1]), median(Figures[0])));
        // Each run against the one it took turns with: a change of the
        // machine's load between the pairs falls out.
        std::vector<double> Paired;
        for (int I = 0; I < Pairs; ++I)
            Paired.push_back(Share(Figures[1][I], Figures[0][I]));
        std::printf("  %-6s %10s %10s %7.1f%%  (median of the pairs)\n", Name, "", "", median(Paired));
    }
    // The report, untimed: writing it as JSON costs as much again.
    if (const QString Error = runMigwiz(B.freshCopy(QStringLiteral("scan")), 1, B.Facts.Changing,
                                        {QStringLiteral("--report"), Report});
        !Error.isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(Error));
        return false;
    }
    QFile F(Report);
    F.open(QIODevice::ReadOnly);
    const QJsonObject Counts = QJsonDocument::fromJson(F.readAll()).object().value(QStringLiteral("consequences")).toObject();
    std::printf("The report by consequence:");
    for (auto It = Counts.begin(); It != Counts.end(); ++It)
        std::printf(" %s %d", qPrintable(It.key()), It.value().toInt());
    std::printf("\n");
    return true;
}

} // namespace

// The argument is the run's thread count (see MigwizTakesJobs).
constexpr int Iterations = 3;
constexpr int ScanPairs = 7;
BENCHMARK(BM_ReplaceRun)->ArgName("jobs")->Arg(1)->Arg(2)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(Iterations);

int main(int argc, char **argv)
{
    QCoreApplication App(argc, argv);
    if (argc == 3 && std::strcmp(argv[1], "--make-tree") == 0) {
        const TTreeFacts Facts = makeTree(QString::fromLocal8Bit(argv[2]));
        std::printf("files %d changing %d bytes %lld\n", Facts.Files, Facts.Changing, static_cast<long long>(Facts.Bytes));
        return 0;
    }
    if (argc == 2 && std::strcmp(argv[1], "--scan-share") == 0)
        return printCodeScanShare(ScanPairs) ? 0 : 1;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::fflush(stdout);
    if (!runFigures().empty() && !printBaselines(Iterations))
        return 1;
    if (!runFigures().empty() && !printCodeScanShare(ScanPairs))
        return 1;
    return 0;
}
