#include "ReplaceRun.h"

#include "Errors.h"
#include "FileUtils.h"
#include "IDEUtils.h"
#include "RExpertRes.h"
#include "Replacer.h"
#include "RunChecks.h"
#include "TextCodec.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>

#ifndef Q_OS_WIN
#include <signal.h>
#include <unistd.h>
#endif

namespace {

bool HasExtension(const QString &Path, const char *Ext)
{
    return Path.right(4).compare(QLatin1String(Ext), Qt::CaseInsensitive) == 0;
}

bool IsUnitFile(const QString &Path)
{
    return HasExtension(Path, ".PAS") || HasExtension(Path, ".DPR");
}

QString FileNameOf(const QString &Path)
{
    return QFileInfo(Path).fileName();
}

bool HasLineBreak(const QString &Path)
{
    return Path.contains(u'\n') || Path.contains(u'\r');
}

// Runs a clean-up step when the scope is left, whatever the way out.
template <class F>
class TFinally
{
public:
    explicit TFinally(F Action) : FAction(std::move(Action)) {}
    ~TFinally() { FAction(); }
    TFinally(const TFinally &) = delete;
    TFinally &operator=(const TFinally &) = delete;

private:
    F FAction;
};

// Runs Work on Count threads, the calling one among them, and returns when
// every one has returned. Work catches what it throws.
template <class TWork>
void runOnThreads(int Count, const TWork &Work)
{
    std::vector<std::thread> Threads;
    TFinally Join([&] {
        for (std::thread &T : Threads)
            T.join();
    });
    for (int I = 1; I < Count; ++I)
        Threads.emplace_back(std::cref(Work));
    Work();
}

// The umask of the process, read without changing it (umask() would, for a
// moment, for every thread); -1 where it cannot be read.
int ProcessUmask()
{
#ifdef Q_OS_LINUX
    QFile Status(QStringLiteral("/proc/self/status"));
    if (!Status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &Line : Status.readAll().split('\n'))
        if (Line.startsWith("Umask:")) {
            bool Ok = false;
            const int Mask = Line.mid(6).trimmed().toInt(&Ok, 8);
            return Ok ? Mask : -1;
        }
#endif
    return -1;
}

const QRegularExpression &LineEnds()
{
    static const QRegularExpression Re(QStringLiteral("\r\n|\n|\r"));
    return Re;
}

} // namespace

// ---------------------------------------------------------------------------
// TRunRecord

QString TRunRecord::FileNameFor(const QString &UndoFile)
{
    return UndoFile + QStringLiteral(".run");
}

QByteArray TRunRecord::ToBytes() const
{
    // "migwiz-run finished|unfinished", then one line per original: the two
    // checksums and the path (which holds no line break: the run refuses
    // such names), UTF-8.
    QByteArray Bytes = Finished ? "migwiz-run finished\n" : "migwiz-run unfinished\n";
    for (const TEntry &E : Entries)
        Bytes += E.Converted.toLatin1() + ' ' + E.Original.toLatin1() + ' ' + E.Path.toUtf8() + '\n';
    return Bytes;
}

bool TRunRecord::FromBytes(const QByteArray &Bytes, TRunRecord &Record)
{
    Record = TRunRecord();
    const QList<QByteArray> Lines = Bytes.split('\n');
    if (Lines.isEmpty())
        return false;
    if (Lines[0] == "migwiz-run finished")
        Record.Finished = true;
    else if (Lines[0] != "migwiz-run unfinished")
        return false;
    constexpr int Hex = 64;
    for (qsizetype I = 1; I < Lines.size(); ++I) {
        const QByteArray &Line = Lines[I];
        if (Line.isEmpty())
            continue;
        if (Line.size() < 2 * Hex + 3 || Line[Hex] != ' ' || Line[2 * Hex + 1] != ' ')
            return false;
        Record.Entries.push_back({QString::fromUtf8(Line.mid(2 * Hex + 2)), QString::fromLatin1(Line.left(Hex)),
                                  QString::fromLatin1(Line.mid(Hex + 1, Hex))});
        Record.FIndex.insert(FileNameKey(Record.Entries.back().Path), Record.Entries.size() - 1);
    }
    return true;
}

const TRunRecord::TEntry *TRunRecord::Find(const QString &Path) const
{
    const auto It = FIndex.constFind(FileNameKey(Path));
    return It == FIndex.constEnd() ? nullptr : &Entries[*It];
}

// ---------------------------------------------------------------------------
// TReplaceRun

volatile std::sig_atomic_t TReplaceRun::FStopRequested = 0;
volatile std::sig_atomic_t TReplaceRun::FRunning = 0;

TReplaceRun::TReplaceRun(TComponentReplacer &Replacer, TFileSystem &Fs) : R(Replacer), FFs(Fs)
{
}

void TReplaceRun::RequestStop()
{
    FStopRequested = 1;
}

#ifndef Q_OS_WIN
namespace {
void StopSignalHandler(int Signal)
{
    if (TReplaceRun::IsRunning()) {
        TReplaceRun::RequestStop();
        return;
    }
    ::signal(Signal, SIG_DFL);
    ::raise(Signal);
}
} // namespace
#endif

void TReplaceRun::StopOnSignals()
{
#ifndef Q_OS_WIN
    struct sigaction Action = {};
    Action.sa_handler = StopSignalHandler;
    sigemptyset(&Action.sa_mask);
    ::sigaction(SIGINT, &Action, nullptr);
    ::sigaction(SIGTERM, &Action, nullptr);
#endif
}

void TReplaceRun::CheckStop() const
{
    if (FStopRequested)
        throw EMigError(QStringLiteral("The run was stopped by a signal before any original was replaced."));
}

void TReplaceRun::RefuseEarlierRun() const
{
    if (const QString Why = EarlierRunMessage(FUndoFile, FFs); !Why.isEmpty())
        throw EFileError(Why);
}

bool TReplaceRun::Execute()
{
    R.FWorkReport.Clear();
    R.FUndoList.Clear();
    R.FChangedFilesCount = 0;
    R.FRecreatedObjectsCount = 0;
    R.FRunErrors.clear();
    FStopRequested = 0;
    const TReplaceOptions &Options = *R.FReplaceOptions;
    if (Options.MakeBackup && !Options.BackupDir.isEmpty()) {
        FUndoFile = JoinPath(Options.BackupDir, RExpertRes::sUndoFileName);
        RefuseEarlierRun();
    }
    if (Options.WriteLog) {
        const QString Folder = Options.Dest == sdProject ? QFileInfo(TIDEUtils::GetProjectName()).path()
                                                          : Options.Directory;
        R.FLog.OpenLogFile(JoinPath(Folder, RExpertRes::sLogFileName));
    }
    const QString LogPath = R.FLog.IsOpen() ? R.FLog.FileName() : QString();
    bool Result = false;
    R.FRun = this;
    FRunning = 1;
    if (R.FProgress)
        R.FProgress->StartWait();
    {
        // Clean-ups run in reverse order of their arrangement: the temporary
        // folder is removed, then the list emptied, then the log closed and
        // the busy indication ended.
        TFinally CloseLog([this] {
            R.FLog.CloseLogFile();
            if (R.FProgress)
                R.FProgress->StopWait();
            R.FRun = nullptr;
            FRunning = 0;
        });
        try {
            TFinally EmptyList([this] { R.FUnitList.clear(); });
            InitUnitList();
            CheckNamesForUndoFile();
            CreateBackupFolder();

            R.FLog.WriteLine(RExpertRes::sAllocatingTempFolder);
            FTempFolder = AllocTempFolder(QStringLiteral("$DS"), 1);
            if (FTempFolder.isEmpty())
                throw EFCreateError(
                    QStringLiteral("Cannot create a temporary folder in \"%1\".").arg(QDir::tempPath()));
            TFinally RemoveTemp([this] {
                DeleteFolder(FTempFolder);
                FTempFolder.clear();
            });

            ConvertFiles();
            CheckStop();
            R.WriteWorkReport();
            if (Options.DryRun) {
                Result = ShowConvertedFiles();
            } else {
                QStringList Written{Options.MakeBackup ? Options.BackupDir : QString(), FTempFolder};
                for (const QString &Original : std::as_const(FBesideTemporaries))
                    Written << Original; // its file system holds the temporary beside it
                QString Error;
                if (!FlushFileSystems(Written, &Error))
                    throw EFileError(Error);
                WriteUndoRecords();
                CheckStop();
                Result = ReplaceOriginalFiles();
            }
            if (Options.MakeBackup) {
                MarkFinished();
                R.FLog.WriteLine(RExpertRes::sBackupFile.arg(FUndoFile));
            }
            R.FLog.WriteLine(RExpertRes::sRemovingTempFolder);
        } catch (const EMigError &E) {
            R.FRunErrors << E.Message();
            R.FLog.WriteLine(E.Message());
            if (!FCopyBackStarted)
                RemoveWhatItCreated();
            throw;
        } catch (...) {
            if (!FCopyBackStarted)
                RemoveWhatItCreated();
            throw;
        }
        R.FLog.WriteLine(RExpertRes::sReplaceSucceeded);
    }
    if (Options.WriteLog && Options.ViewLog && R.FProgress && !LogPath.isEmpty())
        R.FProgress->ViewLog(LogPath);
    return Result;
}

void TReplaceRun::InitUnitList()
{
    R.FLog.WriteLine(RExpertRes::sInitializingUnitList);
    const TReplaceOptions &Options = *R.FReplaceOptions;
    QStringList &Units = R.FUnitList;
    if (Options.Dest != sdProject) {
        if (!QFileInfo(Options.Directory).isDir())
            throw EFileError(QStringLiteral("The folder \"%1\" does not exist.").arg(Options.Directory));
        ScanDirectory(Options.Directory, Options.IncludeSubDirs);
    } else {
        Units = Options.ModuleList.split(LineEnds(), Qt::SkipEmptyParts);
        QList<bool> Found(Units.size(), false);
        for (int I = 0, N = TIDEUtils::GetUnitCount(); I < N; ++I) {
            const QString Name = TIDEUtils::GetUnitName(I);
            if (Name.isEmpty() || !HasExtension(Name, ".PAS"))
                continue;
            const QString Bare = FileNameOf(Name);
            for (qsizetype K = 0; K < Units.size(); ++K)
                if (!Found[K] && QString::compare(Units[K], Bare, Qt::CaseInsensitive) == 0) {
                    Units[K] = Name;
                    Found[K] = true;
                    break;
                }
        }
        // A chosen unit that the project does not list would otherwise be
        // opened relative to whatever the current folder is.
        QStringList Missing;
        for (qsizetype K = 0; K < Units.size(); ++K)
            if (!Found[K])
                Missing << Units[K];
        if (!Missing.isEmpty())
            throw EFileError(QStringLiteral("Not a unit of the project \"%1\": %2")
                                 .arg(TIDEUtils::GetProjectName(), Missing.join(QStringLiteral(", "))));
    }
    R.FFormParser->SetConnectionDefFileName(Options.ConnectionDefFileName);
    R.FFormParser->SetDriverConfFileName(Options.DriverConfFileName);
}

void TReplaceRun::ScanDirectory(const QString &Folder, bool IncludeSubDirs)
{
    // A folder that cannot be read (no permission, a path too long for the
    // system) would leave its units unconverted while the run reports
    // success: it stops the run instead, naming the folder.
    QList<TFolderEntry> Entries;
    QString Error;
    if (!FFs.ListFolder(Folder, Entries, &Error))
        throw EFileError(Error);
    for (const TFolderEntry &Entry : std::as_const(Entries)) {
        const QString Path = JoinPath(Folder, Entry.Name);
        if (Entry.IsFolder) {
            if (IncludeSubDirs)
                ScanDirectory(Path, true);
        } else if (Entry.IsSymLink && QFileInfo(Path).isDir()) {
            continue; // a link to a folder is not followed
        } else if (IsUnitFile(Entry.Name)) {
            R.FUnitList.append(Path);
        }
    }
}

void TReplaceRun::CheckNamesForUndoFile() const
{
    // The undo file has one line per file and no escape: a name with a line
    // break in it could never be restored.
    if (!R.FReplaceOptions->MakeBackup)
        return;
    if (HasLineBreak(R.FReplaceOptions->BackupDir))
        throw EFileError(QStringLiteral("The backup folder \"%1\" has a line break in its name, which the undo "
                                        "file cannot hold.")
                             .arg(R.FReplaceOptions->BackupDir));
    for (const QString &Path : std::as_const(R.FUnitList))
        if (HasLineBreak(Path))
            throw EFileError(
                QStringLiteral("The file \"%1\" has a line break in its name, which the undo file cannot hold.")
                    .arg(Path));
}

void TReplaceRun::MakeFolders(const QString &Folder, bool Backup)
{
    // Each folder is made (or found) once per run; the files that follow
    // into it cost no further look-up.
    if (FKnownFolders.contains(Folder))
        return;
    // The folders that do not exist yet are noted, so that a run that stops
    // removes those it made (and that stayed empty).
    QStringList Missing;
    for (QString F = Folder; !F.isEmpty() && !QFileInfo::exists(F);) {
        Missing.prepend(F);
        const QString Parent = QFileInfo(F).path();
        if (Parent == F)
            break;
        F = Parent;
    }
    if (!ForceFolders(Folder)) {
        if (Backup)
            throw EFCreateError(RExpertRes::sFailedToCreateDirectory + QStringLiteral(" (%1)").arg(Folder));
        throw EFCreateError(QStringLiteral("Cannot create the temporary folder \"%1\".").arg(Folder));
    }
    if (Backup)
        FCreatedFolders += Missing;
    for (QString F = Folder; !F.isEmpty() && !FKnownFolders.contains(F);) {
        FKnownFolders.insert(F);
        const QString Parent = QFileInfo(F).path();
        if (Parent == F)
            break;
        F = Parent;
    }
}

void TReplaceRun::CreateBackupFolder()
{
    const TReplaceOptions &Options = *R.FReplaceOptions;
    if (!Options.MakeBackup)
        return;
    R.FLog.WriteLine(RExpertRes::sCreatingBackupFolder);
    if (Options.BackupDir.isEmpty())
        throw EFCreateError(RExpertRes::sFailedToCreateDirectory + QStringLiteral(" ()"));
    MakeFolders(Options.BackupDir, true);
}

QString TReplaceRun::OutputFolderOf(int Index)
{
    const QString &Path = R.FUnitList[Index];
    auto It = FOutputFolders.constFind(Path);
    if (It != FOutputFolders.constEnd())
        return *It;
    QString Folder;
    if (R.FReplaceOptions->Dest != sdProject) {
        // The same relative path as below the converted folder.
        const QString Relative = QDir(R.FReplaceOptions->Directory).relativeFilePath(Path);
        const QString Sub = QFileInfo(Relative).path();
        Folder = Sub == QLatin1String(".") ? FTempFolder : JoinPath(FTempFolder, Sub);
    } else {
        // Flat, by file name; a second file of the same name from another
        // folder gets a numbered subfolder of its own.
        Folder = FTempFolder;
        for (int N = 2;; ++N) {
            const QString Key = FileNameKey(JoinPath(Folder, FileNameOf(Path)));
            const auto Claimed = FClaimedOutputNames.constFind(Key);
            if (Claimed == FClaimedOutputNames.constEnd()) {
                FClaimedOutputNames.insert(Key, Path);
                break;
            }
            if (*Claimed == Path)
                break;
            Folder = JoinPath(FTempFolder, QStringLiteral("$%1").arg(N));
        }
    }
    MakeFolders(Folder, false);
    FOutputFolders.insert(Path, Folder);
    FOriginalOf.insert(JoinPath(Folder, FileNameOf(Path)), Path);
    return Folder;
}

void TReplaceRun::ConvertFiles()
{
    R.FDBList.Clear();
    QStringList &Units = R.FUnitList;
    const int N = int(Units.size());
    // The units first: the forms they name are in the list only when every
    // unit has been committed.
    ConvertRange(0, N);
    // Folder mode pre-scans too: a dataset whose TDatabase sits in another
    // form of the folder would otherwise lose its database. The forms named
    // by the units are pre-scanned for the database names of their
    // TDatabase objects, then converted in a second pass.
    PrescanForms(N, int(Units.size()));
    for (int Begin = N; Begin < Units.size();) {
        const int End = int(Units.size());
        ConvertRange(Begin, End);
        Begin = End;
    }
    FPrescanned.clear();
}

const TReplaceRun::TKeptFile *TReplaceRun::PrescannedFile(const QString &Path) const
{
    const auto It = FPrescanned.constFind(Path);
    return It == FPrescanned.constEnd() ? nullptr : &*It;
}

void TReplaceRun::PrescanForms(int Begin, int End)
{
    // Every form is independent here: the threads read and scan them in any
    // order; this thread then takes the names in list order (a later
    // definition of a name wins, as one thread would leave it) and the first
    // error in list order stops the run.
    struct TScan
    {
        TKeptFile File;
        QList<std::pair<QString, QString>> Names;
        std::exception_ptr Error;
    };
    const QStringList Paths = R.FUnitList.mid(Begin, End - Begin);
    std::vector<TScan> Scans(size_t(Paths.size()));
    std::atomic<int> Next{0};
    std::atomic<qint64> Kept{0};
    const auto Work = [&] {
        for (int I; !FStopRequested && (I = Next++) < int(Paths.size());) {
            TScan &Scan = Scans[size_t(I)];
            try {
                QString Error;
                if (!FFs.ReadFile(Paths[I], Scan.File.Bytes, &Error, &Scan.File.Attributes))
                    throw EFileError(Error);
                Scan.Names = TComponentReplacer::DatabaseNamesOf(Scan.File.Bytes, Paths[I]);
            } catch (...) {
                Scan.Error = std::current_exception();
            }
            if (Kept.fetch_add(Scan.File.Bytes.size()) + Scan.File.Bytes.size() > MaxKeptBytes)
                Scan.File.Bytes = QByteArray(); // read again for its conversion
        }
    };
    runOnThreads(std::min(std::max(R.FReplaceOptions->Jobs, 1), int(Paths.size())), Work);
    CheckStop();
    for (qsizetype I = 0; I < Paths.size(); ++I) {
        TScan &Scan = Scans[size_t(I)];
        if (Scan.Error)
            std::rethrow_exception(Scan.Error);
        for (const auto &[Name, Component] : std::as_const(Scan.Names))
            R.FDBList.SetValue(Name, Component);
        if (!Scan.File.Bytes.isNull())
            FPrescanned.insert(Paths[I], std::move(Scan.File));
    }
}

void TReplaceRun::ConvertRange(int Begin, int End)
{
    using TConversion = TComponentReplacer::TConversion;
    QStringList &Units = R.FUnitList;
    const int Jobs = std::min(std::max(R.FReplaceOptions->Jobs, 1), End - Begin);
    if (Jobs <= 1) {
        for (int I = Begin; I < End; ++I) {
            CheckStop();
            if (R.FProgress)
                R.FProgress->FileStarted(I, int(Units.size()), Units[I]);
            const int Before = R.FChangedFilesCount;
            R.ProcessFile(Units[I], OutputFolderOf(I));
            if (R.FChangedFilesCount > Before && R.FReplaceOptions->MakeBackup)
                BackupOriginal(I);
        }
        return;
    }

    // Workers convert the files of the range into memory, each with its own
    // form parser; this thread commits their results in list order (log
    // lines, report items, appended forms, the converted file, the backup),
    // so that everything the run leaves is what one thread would leave. The
    // first error in list order wins: the files before it are committed, the
    // ones after it are dropped. Workers stay at most Window files ahead.
    //
    // The threads wake one another only when the other is waiting for what
    // they did: this thread, when it has to wait, waits until the next Jobs
    // results are there (or the rest of the range); a worker waits only
    // once Window files are converted ahead of the commits, and then until
    // half of them are committed (this thread wakes the waiting workers
    // every Window / 4 commits, and before it waits itself). The counters
    // and result slots are atomic, so the lock is taken only to sleep and
    // to wake a sleeper (each side stores before it looks at the other's
    // state, and wakes the other under the lock, so no wake-up is lost).
    const QStringList Paths = Units.mid(Begin, End - Begin); // the workers' own copy
    const int Window = Jobs * 8;
    std::vector<std::atomic<TConversion *>> Results(size_t(End - Begin)); // owned
    std::mutex Lock;
    std::condition_variable ResultsReady, RoomAhead;
    std::atomic<int> Next{Begin}, Committed{Begin};
    std::atomic<int> CommitterWaitsAt{-1}; // the index this thread waits at, or -1
    std::atomic<int> WorkersWaiting{0};
    std::atomic<bool> Abort{false};
    const auto IsReady = [&](int I) {
        const int Last = std::min(I + Jobs, End) - 1;
        return Results[size_t(I - Begin)].load() != nullptr && Results[size_t(Last - Begin)].load() != nullptr;
    };
    std::vector<std::unique_ptr<TConversion>> Own;
    for (int J = 0; J < Jobs; ++J)
        Own.push_back(R.MakeCollectingConversion());
    auto Work = [&](TConversion *Worker) {
        for (;;) {
            const int I = Next++;
            if (I >= End || Abort)
                return;
            if (I >= Committed + Window) {
                std::unique_lock<std::mutex> L(Lock);
                ++WorkersWaiting;
                RoomAhead.wait(L, [&] { return Abort || I < Committed + Window / 2; });
                --WorkersWaiting;
                if (Abort)
                    return;
            }
            auto C = std::make_unique<TConversion>();
            C->Parser = Worker->Parser;
            C->Collect = true;
            R.ConvertInto(*C, Paths[I - Begin]);
            Results[size_t(I - Begin)] = C.release();
            if (const int Waiting = CommitterWaitsAt; Waiting >= 0 && IsReady(Waiting)) {
                std::lock_guard<std::mutex> L(Lock);
                ResultsReady.notify_one();
            }
        }
    };
    std::vector<std::thread> Threads;
    TFinally Join([&] {
        Abort = true;
        {
            std::lock_guard<std::mutex> L(Lock);
            RoomAhead.notify_all();
        }
        for (std::thread &T : Threads)
            T.join();
        for (std::atomic<TConversion *> &Left : Results)
            delete Left.exchange(nullptr);
    });
    for (int J = 0; J < Jobs; ++J)
        Threads.emplace_back(Work, Own[size_t(J)].get());

    for (int I = Begin; I < End; ++I) {
        Committed = I;
        const bool MustWait = Results[size_t(I - Begin)].load() == nullptr;
        if (WorkersWaiting > 0 && (MustWait || (I - Begin) % (Window / 4) == 0)) {
            std::lock_guard<std::mutex> L(Lock);
            RoomAhead.notify_all();
        }
        if (MustWait) {
            std::unique_lock<std::mutex> L(Lock);
            CommitterWaitsAt = I;
            ResultsReady.wait(L, [&] { return IsReady(I); });
            CommitterWaitsAt = -1;
        }
        const std::unique_ptr<TConversion> C(Results[size_t(I - Begin)].exchange(nullptr));
        CheckStop();
        if (R.FProgress)
            R.FProgress->FileStarted(I, int(Units.size()), Units[I]);
        const QString Folder = OutputFolderOf(I);
        R.FLog.WriteLines(C->LogLines);
        for (TWorkItem &Item : C->ReportItems)
            R.FWorkReport.Add(std::move(Item));
        Units += C->AppendedFiles;
        if (C->Error)
            std::rethrow_exception(C->Error);
        if (C->HasOriginal)
            NoteOriginalFile(Units[I], C->OriginalBytes, C->OriginalAttributes);
        if (C->HasOutput)
            R.WriteWholeFile(JoinPath(Folder, FileNameOf(Units[I])), C->Output);
        R.FChangedFilesCount += C->ChangedFiles;
        R.FRecreatedObjectsCount += C->RecreatedObjects;
        if (C->ChangedFiles > 0 && R.FReplaceOptions->MakeBackup)
            BackupOriginal(I);
    }
}

void TReplaceRun::BackupOriginal(int Index)
{
    const QString &Path = R.FUnitList[Index];
    if (HasLineBreak(Path))
        throw EFileError(
            QStringLiteral("The file \"%1\" has a line break in its name, which the undo file cannot hold.").arg(Path));
    const TReplaceOptions &Options = *R.FReplaceOptions;
    QString Backup;
    if (Options.Dest != sdProject) {
        const QString Relative = QDir(Options.Directory).relativeFilePath(Path);
        const QString Sub = QFileInfo(Relative).path();
        const QString Folder = Sub == QLatin1String(".") ? Options.BackupDir : JoinPath(Options.BackupDir, Sub);
        MakeFolders(Folder, true);
        Backup = BackupFileName(JoinPath(Folder, FileNameOf(Path)));
    } else {
        // Flat, by file name; two originals of the same name from different
        // folders must not share one backup.
        QString Folder = Options.BackupDir;
        for (int N = 2;; ++N) {
            Backup = JoinPath(Folder, FileNameOf(BackupFileName(Path)));
            const QString Key = FileNameKey(Backup);
            const auto Claimed = FClaimedBackups.constFind(Key);
            if (Claimed == FClaimedBackups.constEnd()) {
                FClaimedBackups.insert(Key, Path);
                break;
            }
            if (*Claimed == Path)
                break;
            Folder = JoinPath(Options.BackupDir, QStringLiteral("$%1").arg(N));
        }
        MakeFolders(Folder, true);
    }
    // An original without its backup must never be overwritten: a failed
    // backup stops the run before the copy-back. The backup is a second name
    // (hard link) of the original's file: the copy-back replaces the
    // original's name by a rename and never writes into that file, so the
    // link keeps the original's bytes. Where the file system has no hard
    // links (or the backup folder is on another one), the bytes are copied.
    // Either is flushed with the rest before the undo file is written. The
    // checksum is the original's, for the restore.
    QByteArray Bytes;
    QString Error;
    if (FLastReadPath == Path)
        Bytes = FLastReadBytes;
    else if (!FFs.ReadFile(Path, Bytes, &Error))
        throw EFileError(Error);
    if (!FFs.LinkFile(Path, Backup, &Error)) {
        FFs.RemoveFile(Backup);
        if (!FFs.WriteUnflushedFile(Backup, Bytes, TFileAttributes(), &Error))
            throw EFileError(QStringLiteral("Cannot back up \"%1\": %2").arg(Path, Error));
    }
    if (!FCreatedBackupSet.contains(Backup)) {
        FCreatedBackupSet.insert(Backup);
        FCreatedBackups << Backup;
    }
    FOriginalSums.insert(FileNameKey(Path), Sha256Hex(Bytes));
    R.FUndoList.SetValue(Path, Backup);
}

void TReplaceRun::NoteOriginalFile(const QString &Path, const QByteArray &Bytes, const TFileAttributes &Attributes)
{
    FLastReadPath = Path;
    FLastReadBytes = Bytes;
    if (Attributes.Valid)
        FAttributes.insert(Path, Attributes);
}

const TFileAttributes &TReplaceRun::AttributesOf(const QString &Original)
{
    auto It = FAttributes.find(Original);
    if (It == FAttributes.end())
        It = FAttributes.insert(Original, FFs.Attributes(Original));
    return *It;
}

void TReplaceRun::WriteConvertedFile(const QString &OutputPath, const QByteArray &Bytes)
{
    const auto Original = FOriginalOf.constFind(OutputPath);
    TFileAttributes Attributes = Original == FOriginalOf.constEnd() ? TFileAttributes() : AttributesOf(*Original);
    if (!FTempDeviceKnown) {
        const TFileAttributes Temp = FFs.Attributes(FTempFolder);
        FTempDevice = Temp.Device;
        FTempGroup = Temp.Group;
        FTempDeviceKnown = true;
        FUmask = ProcessUmask();
#ifndef Q_OS_WIN
        FOwner = unsigned(::geteuid());
        FGroup = unsigned(::getegid());
#endif
    }
    // A rename works only within one file system: a converted file whose
    // original is on another one than the temporary folder is written as the
    // temporary beside its original (a dry run replaces nothing and keeps
    // everything in the temporary folder).
    QString Target = OutputPath;
    if (Attributes.Valid && Attributes.Device != FTempDevice && !R.FReplaceOptions->DryRun) {
        Target = TemporaryNameBeside(*Original);
        FFs.RemoveFile(Target); // left by a run that was killed, or written before
        FBesideTemporaries.insert(Target, *Original);
    } else if (FWrittenAt.contains(OutputPath)) {
        FFs.RemoveFile(Target); // converted before in this run
    }
#ifndef Q_OS_WIN
    // In the temporary folder (made by this process, so its group is the
    // one its new files get when it is the process's own), a file of the
    // process's owner and group whose mode the umask keeps needs no change
    // of owner or mode after its creation.
    Attributes.CreatedAsIs = Target == OutputPath && Attributes.Valid && FUmask >= 0
        && Attributes.Owner == FOwner && Attributes.Group == FGroup && FTempGroup == FGroup
        && (Attributes.Mode & ~0777u) == 0
        && (Attributes.Mode & unsigned(FUmask)) == 0;
#endif
    QString Error;
    if (!FFs.WriteUnflushedFile(Target, Bytes, Attributes, &Error)) {
        if (Target != OutputPath)
            FBesideTemporaries.remove(Target);
        throw EFileError(Error);
    }
    FWrittenAt.insert(OutputPath, Target);
    NoteConvertedFile(OutputPath, Bytes);
}

bool TReplaceRun::FlushFileSystems(QStringList Paths, QString *Error)
{
    // Why one flush per file system before the first replacement, and one
    // after the last, keep the run's promise after a crash at any moment:
    // - syncfs writes out every dirty file and folder entry of the file
    //   system that holds the path: the converted files (in the temporary
    //   folder or beside their originals), the backups (links or copies)
    //   and the backup folders. The first flush happens before the undo
    //   file and its record are written, so a crash before it leaves no
    //   undo file and every original untouched (the copy-back has not
    //   begun).
    // - The record and the undo file are each written, fsync'ed, renamed
    //   into place and their folder flushed (WriteFileAtomically), so they
    //   are on disk before the first rename over an original.
    // - Every converted file was therefore on disk before it is renamed over
    //   its original: after a crash the original's name holds either the
    //   original (its backup listed) or the whole converted file, never a
    //   part of one.
    // - The flush after the last rename makes the replacements themselves
    //   durable before the run reports success.
    QSet<quint64> Devices;
    for (const QString &Path : std::as_const(Paths)) {
        if (Path.isEmpty())
            continue;
        const auto Known = FAttributes.constFind(Path);
        const TFileAttributes Attributes = Known != FAttributes.constEnd() ? *Known : FFs.Attributes(Path);
        if (Attributes.Valid && Devices.contains(Attributes.Device))
            continue;
        if (Attributes.Valid)
            Devices.insert(Attributes.Device);
        if (!FFs.SyncFileSystem(Path, Error))
            return false;
    }
    return true;
}

void TReplaceRun::NoteConvertedFile(const QString &OutputPath, QByteArrayView Bytes)
{
    FConvertedSums.insert(OutputPath, Sha256Hex(Bytes));
}

void TReplaceRun::WriteUndoRecords()
{
    if (!R.FReplaceOptions->MakeBackup)
        return;
    // The record first, then the undo file: whenever the undo file exists,
    // its record does too. Both are written whole, flushed and renamed into
    // place, and the backups are on disk before them.
    QString Error;
    TRunRecord Record;
    QString Text;
    for (int I = 0; I < R.FUndoList.Count(); ++I) {
        const QString &Path = R.FUndoList.Name(I);
        Text += Path + u'=' + R.FUndoList.ValueAt(I) + QLatin1String("\r\n");
        const QString Converted = FConvertedSums.value(JoinPath(FOutputFolders.value(Path), FileNameOf(Path)));
        Record.Entries.push_back({Path, Converted, FOriginalSums.value(FileNameKey(Path))});
    }
    FUndoWritten = true; // from here on a stop removes them too
    const QString RecordFile = TRunRecord::FileNameFor(FUndoFile);
    if (!WriteFileAtomically(FFs, RecordFile, Record.ToBytes(), &Error))
        throw EFileError(Error);
    // The undo file is in the ANSI code page, unless a path has a character
    // that the code page lacks: written as "?", that path could never be
    // restored. Such a file is UTF-8 with its byte-order mark, which the
    // restore recognises.
    const TTextEncoding Encoding = TextCodec::IsAnsiEncodable(Text) ? TTextEncoding::Ansi() : TTextEncoding::Utf8();
    if (!WriteFileAtomically(FFs, FUndoFile, TextCodec::EncodeFile(Text, Encoding), &Error))
        throw EFileError(Error);
}

bool TReplaceRun::ReplaceOriginalFiles()
{
    FCopyBackStarted = true;
    if (R.FChangedFilesCount > 0)
        R.FLog.WriteLine(RExpertRes::sReplacingOriginals);
    // Each converted file replaces its original in one step, so that a crash
    // never leaves a half-written original; a failure is logged with its
    // path and reason and makes the result false, and the copy-back goes on
    // with the other files.
    bool Result = true;
    QSet<QString> Done;
    QStringList Replaced;
    for (const QString &Path : std::as_const(R.FUnitList)) {
        if (Done.contains(Path))
            continue;
        Done.insert(Path);
        const auto Folder = FOutputFolders.constFind(Path);
        if (Folder == FOutputFolders.constEnd())
            continue;
        const QString Converted = JoinPath(*Folder, FileNameOf(Path));
        if (!FConvertedSums.contains(Converted))
            continue; // nothing changed: no converted file
        const QString Source = FWrittenAt.value(Converted, Converted);
        const bool Beside = Source != Converted;
        const TFileAttributes &Attributes = AttributesOf(Path);
        QString Error;
        bool Ok = false;
        // A read-only original stays as it is, also for a user (root) whom
        // the file system would let replace it: read-only is what its owner
        // chose.
        if (Attributes.Valid && !(Attributes.Mode & 0222)) {
            Error = QStringLiteral("Cannot replace \"%1\": the file is read-only").arg(Path);
        } else if (FFs.ReplaceOriginal(Source, Path, &Error)) {
            Ok = true;
        } else if (!Beside && IsCrossDeviceError(Error)) {
            // The same device under two mounts: copied beside it instead.
            QByteArray Bytes;
            Ok = FFs.ReadFile(Source, Bytes, &Error) && ReplaceFileContents(FFs, Path, Bytes, &Error);
        } else {
            Error = QStringLiteral("Cannot replace \"%1\": %2").arg(Path, Error);
        }
        if (Beside) {
            if (!Ok)
                FFs.RemoveFile(Source);
            FBesideTemporaries.remove(Source);
        }
        if (Ok) {
            Replaced << Path;
        } else {
            R.FLog.WriteLine(Error);
            R.FRunErrors << Error;
            Result = false;
        }
    }
    QString Error;
    if (!FlushFileSystems(Replaced, &Error)) {
        R.FLog.WriteLine(Error);
        R.FRunErrors << Error;
        Result = false;
    }
    return Result;
}

bool TReplaceRun::ShowConvertedFiles()
{
    QSet<QString> Done;
    for (const QString &Path : std::as_const(R.FUnitList)) {
        const auto Folder = FOutputFolders.constFind(Path);
        if (Done.contains(Path) || Folder == FOutputFolders.constEnd())
            continue;
        Done.insert(Path);
        const QString Converted = JoinPath(*Folder, FileNameOf(Path));
        if (R.FProgress && FConvertedSums.contains(Converted))
            R.FProgress->ConvertedFile(Path, Converted);
    }
    return true;
}

void TReplaceRun::MarkFinished()
{
    TRunRecord Record;
    QByteArray Bytes;
    const QString RecordFile = TRunRecord::FileNameFor(FUndoFile);
    QString Error;
    if (FFs.ReadFile(RecordFile, Bytes, &Error) && TRunRecord::FromBytes(Bytes, Record)) {
        Record.Finished = true;
        if (WriteFileAtomically(FFs, RecordFile, Record.ToBytes(), &Error))
            return;
    }
    // The originals are in place and the undo file lists them; a record left
    // "unfinished" only means the restore takes nothing for granted.
    R.FLog.WriteLine(Error);
}

void TReplaceRun::RemoveWhatItCreated()
{
    if (FUndoWritten) {
        FFs.RemoveFile(FUndoFile);
        FFs.RemoveFile(TRunRecord::FileNameFor(FUndoFile));
    }
    for (const QString &Backup : std::as_const(FCreatedBackups))
        FFs.RemoveFile(Backup);
    for (auto It = FBesideTemporaries.cbegin(); It != FBesideTemporaries.cend(); ++It)
        FFs.RemoveFile(It.key());
    FBesideTemporaries.clear();
    FCreatedBackupSet.clear();
    // Deepest first; a folder that holds anything else stays.
    for (auto It = FCreatedFolders.crbegin(); It != FCreatedFolders.crend(); ++It)
        QDir().rmdir(*It);
    FCreatedBackups.clear();
    FCreatedFolders.clear();
    FKnownFolders.clear();
}

QString TReplaceRun::FindFileIgnoringCase(const QString &Path)
{
    // Delphi projects come from case-insensitive file systems: "Main.DFM"
    // names the file "Main.dfm". Each folder is listed once; the names are
    // looked up in its listing, with no look-up on the disk per name. The
    // listings are shared by the run's conversion threads.
    const std::lock_guard<std::mutex> Guard(FFolderEntriesLock);
    const QFileInfo Info(Path);
    const QString Folder = Info.path();
    auto It = FFolderEntries.find(Folder);
    if (It == FFolderEntries.end()) {
        const QDir Dir(Folder);
        if (!Dir.exists()) {
            if (Info.isFile())
                return Path;
            // The folder itself may be spelled in another case.
            const QString Resolved = ResolvePathCase(Path);
            return QFileInfo(Resolved).isFile() ? Resolved : QString();
        }
        QHash<QString, QStringList> Entries;
        for (const QString &Name : Dir.entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name))
            Entries[Name.toLower()].append(Name);
        It = FFolderEntries.insert(Folder, Entries);
    }
    const QString Wanted = Info.fileName();
    const auto Found = It->constFind(Wanted.toLower());
    if (Found == It->constEnd())
        return Info.isFile() ? Path : QString(); // made after the listing
    if (Found->contains(Wanted))
        return Path;
    if (Found->size() == 1)
        return JoinPath(Folder, Found->first());
    // Several files differ from the name only in letter case ("x.dfm" and
    // "X.dfm" beside "x.pas" and "X.pas"): the one whose name before the
    // extension is spelled exactly as asked is meant.
    const qsizetype Dot = Wanted.lastIndexOf(u'.');
    const QStringView Stem = QStringView(Wanted).left(Dot < 0 ? Wanted.size() : Dot);
    QStringList Exact;
    for (const QString &Name : *Found)
        if (QStringView(Name).left(Stem.size()) == Stem)
            Exact << Name;
    if (Exact.size() == 1)
        return JoinPath(Folder, Exact.first());
    throw EFileError(QStringLiteral("The form file \"%1\" could be any of %2 in \"%3\", which differ only in "
                                    "letter case.")
                         .arg(Wanted, Found->join(QStringLiteral(", ")), Folder));
}

// ---------------------------------------------------------------------------
// TRestoreRun

TRestoreRun::TRestoreRun(TComponentReplacer &Replacer, TFileSystem &Fs, TRestoreQuestions *Questions)
    : R(Replacer), FFs(Fs), FQuestions(Questions)
{
}

bool TRestoreRun::Execute(const QString &UndoFile, TRestoreReport &Report)
{
    TFinally EmptyList([this] { R.FUnitList.clear(); });
    QByteArray Bytes;
    QString Error;
    if (!FFs.ReadFile(UndoFile, Bytes, &Error))
        throw EFileError(Error);
    TTextEncoding Encoding;
    const QString Text = TextCodec::DecodeFile(Bytes, Encoding);
    R.FUnitList = Text.split(LineEnds());
    if (!R.FUnitList.isEmpty() && R.FUnitList.last().isEmpty())
        R.FUnitList.removeLast(); // the line break that ends the last line

    // Relative paths are taken from the undo file's folder, not from
    // wherever the process happens to run, and backups only from inside
    // that folder: an undo file from elsewhere must not copy any file of
    // this machine over another.
    const QString Folder = QFileInfo(UndoFile).absolutePath();
    const QString CanonicalFolder = QFileInfo(Folder).canonicalFilePath();
    auto Resolve = [&Folder](const QString &Path) {
        return Path.isEmpty() || QDir::isAbsolutePath(Path) ? Path : QDir::cleanPath(JoinPath(Folder, Path));
    };

    // A line is "original=backup". The format has no escape, so a path that
    // holds "=" is split at the first "=" behind which an existing backup
    // file is named, and at the first "=" when none is.
    TNameValueList Lines(FileNameCase());
    for (const QString &Line : std::as_const(R.FUnitList)) {
        qsizetype Eq = Line.indexOf(u'=');
        for (qsizetype Try = Eq; Try >= 0; Try = Line.indexOf(u'=', Try + 1))
            if (QFileInfo(Resolve(Line.mid(Try + 1))).isFile()) {
                Eq = Try;
                break;
            }
        Lines.Append(Eq < 0 ? QString() : Resolve(Line.left(Eq)), Eq < 0 ? QString() : Resolve(Line.mid(Eq + 1)));
    }

    // Check pass: nothing is copied unless every backup is there, inside the
    // undo file's folder.
    for (int I = 0; I < Lines.Count(); ++I) {
        const QString Backup = Lines.Value(Lines.Name(I));
        const QFileInfo Info(Backup);
        if (!Info.isFile()) {
            Report.Errors << QStringLiteral("The backup \"%1\" does not exist.").arg(Backup);
            return false;
        }
        const QString Canonical = Info.canonicalFilePath();
        if (CanonicalFolder.isEmpty() || !Canonical.startsWith(JoinPath(CanonicalFolder, QString()), FileNameCase())) {
            Report.Errors << QStringLiteral("The backup \"%1\" is not inside the undo file's folder \"%2\".")
                                 .arg(Backup, Folder);
            return false;
        }
    }
    if (Lines.Count() == 0)
        return false;

    // Which originals may simply be put back: with the run's record, a file
    // that is neither what the run wrote nor the original (a crash can leave
    // it untouched) was changed since; a file that no longer exists is not
    // created unless the user says so.
    TRunRecord Record;
    QByteArray RecordBytes;
    const bool HasRecord = FFs.ReadFile(TRunRecord::FileNameFor(UndoFile), RecordBytes, nullptr)
        && TRunRecord::FromBytes(RecordBytes, Record);
    std::vector<bool> Copy(size_t(Lines.Count()), true);
    QList<int> Changed, Missing;
    for (int I = 0; I < Lines.Count(); ++I) {
        const QString &Original = Lines.Name(I);
        const QFileInfo Info(Original);
        if (!Info.exists()) {
            Missing << I;
            continue;
        }
        const TRunRecord::TEntry *Entry = HasRecord ? Record.Find(Original) : nullptr;
        if (!Entry || Entry->Converted.isEmpty())
            continue;
        QByteArray Current;
        if (!FFs.ReadFile(Original, Current, &Error))
            continue; // the copy pass reports it
        const QString Sum = Sha256Hex(Current);
        if (Sum == Entry->Original)
            Copy[size_t(I)] = false; // still the original: nothing to do
        else if (Sum != Entry->Converted)
            Changed << I;
    }
    auto Ask = [&](const QList<int> &Indexes, bool Changes, QStringList &Left) {
        if (Indexes.isEmpty())
            return;
        QStringList Files;
        for (int I : Indexes)
            Files << Lines.Name(I);
        const bool Yes = FQuestions && (Changes ? FQuestions->OverwriteChangedFiles(Files)
                                                : FQuestions->CreateMissingFiles(Files));
        if (Yes)
            return;
        for (int I : Indexes)
            Copy[size_t(I)] = false;
        Left = Files;
    };
    Ask(Changed, true, Report.LeftChanged);
    Ask(Missing, false, Report.LeftMissing);

    // Copy pass: each backup replaces its original in one step, checked and
    // flushed; the first failure stops the restore.
    for (int I = 0; I < Lines.Count(); ++I) {
        const QString &Original = Lines.Name(I);
        FFs.RemoveFile(TemporaryNameBeside(Original)); // left by a killed run
        if (!Copy[size_t(I)])
            continue;
        QByteArray Backup;
        if (!FFs.ReadFile(Lines.Value(Original), Backup, &Error) || !ReplaceFileContents(FFs, Original, Backup, &Error)) {
            Report.Errors << Error;
            return false;
        }
    }
    return Report.LeftChanged.isEmpty() && Report.LeftMissing.isEmpty();
}
