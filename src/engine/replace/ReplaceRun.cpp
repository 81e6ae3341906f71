#include "ReplaceRun.h"

#include "Errors.h"
#include "FileUtils.h"
#include "IDEUtils.h"
#include "RExpertRes.h"
#include "Replacer.h"
#include "RunChecks.h"
#include "RunLock.h"
#include "TextCodec.h"
#include "UnitIndex.h"

#include <QByteArrayMatcher>
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

#ifdef Q_OS_WIN
#include "WindowsApi.h"
#else
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

bool IsFormFile(const QString &Path)
{
    return HasExtension(Path, ".DFM") || HasExtension(Path, ".NFM");
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

// The end of a unit's interface in its bytes: behind the first line from
// From on that starts with "implementation" (any letter case), or the whole
// file when no line does (such as a UTF-16 file).
qsizetype interfaceEnd(const QByteArray &Bytes, qsizetype From)
{
    static const QByteArrayMatcher LineFeed("\n");
    constexpr QByteArrayView Word("implementation");
    for (qsizetype At = LineFeed.indexIn(Bytes, From); At >= 0; At = LineFeed.indexIn(Bytes, At + 1)) {
        const QByteArrayView Next = QByteArrayView(Bytes).sliced(At + 1).first(std::min(Word.size(), Bytes.size() - At - 1));
        if (Next.size() == Word.size() && Next.compare(Word, Qt::CaseInsensitive) == 0)
            return At + 1 + Word.size();
    }
    return Bytes.size();
}

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
    // "migwiz-run finished|unfinished|restored", then "tree PATH" when the
    // tree is known, then one line per original: the two checksums and the
    // path (which holds no line break: the run refuses such names), UTF-8.
    QByteArray Bytes = Restored ? "migwiz-run restored\n" : Finished ? "migwiz-run finished\n" : "migwiz-run unfinished\n";
    if (!Tree.isEmpty())
        Bytes += "tree " + Tree.toUtf8() + '\n';
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
    else if (Lines[0] == "migwiz-run restored")
        Record.Finished = Record.Restored = true;
    else if (Lines[0] != "migwiz-run unfinished")
        return false;
    constexpr int Hex = 64;
    const auto IsHex = [](QByteArrayView Text) {
        for (char C : Text)
            if (!((C >= '0' && C <= '9') || (C >= 'a' && C <= 'f')))
                return false;
        return true;
    };
    for (qsizetype I = 1; I < Lines.size(); ++I) {
        const QByteArray &Line = Lines[I];
        if (Line.isEmpty())
            continue;
        if (I == 1 && Line.startsWith("tree ") && Line.size() > 5) {
            Record.Tree = QString::fromUtf8(Line.mid(5));
            continue;
        }
        // Converted may be empty (an original with no converted file).
        const qsizetype Space = Line.indexOf(' ');
        const QByteArrayView Converted = QByteArrayView(Line).first(Space < 0 ? 0 : Space);
        const bool Good = Space >= 0 && (Converted.isEmpty() || (Converted.size() == Hex && IsHex(Converted)))
            && Line.size() > Space + Hex + 2 && Line[Space + Hex + 1] == ' '
            && IsHex(QByteArrayView(Line).sliced(Space + 1, Hex));
        if (!Good) {
            ++Record.DamagedLines;
            continue;
        }
        Record.Entries.push_back({QString::fromUtf8(Line.mid(Space + Hex + 2)), QString::fromLatin1(Converted),
                                  QString::fromLatin1(Line.mid(Space + 1, Hex))});
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
#else
namespace {
// Qt's regular expressions keep a JIT stack per thread in a thread_local
// whose destructor runs at the thread's end, after MinGW has freed the
// thread's thread_local storage: every conversion thread that matched a
// pattern (the family's class pattern) crashed as it ended. Without JIT no
// such stack is ever made. Set before main, before any pattern is compiled.
const bool RegexJitOff = qputenv("QT_ENABLE_REGEXP_JIT", "0");

// Ctrl+C and Ctrl+Break of the console; called on a thread of its own.
BOOL WINAPI StopConsoleHandler(DWORD Event)
{
    if ((Event == CTRL_C_EVENT || Event == CTRL_BREAK_EVENT) && TReplaceRun::IsRunning()) {
        TReplaceRun::RequestStop();
        return TRUE;
    }
    return FALSE; // the default: the process ends
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
#else
    SetConsoleCtrlHandler(StopConsoleHandler, TRUE);
#endif
}

void TReplaceRun::CheckStop() const
{
    if (FStopRequested)
        throw EMigError(QStringLiteral("The run was stopped by a signal before any original was replaced."));
}

void TReplaceRun::TakeLocks(const QString &RunFolder)
{
    const TReplaceOptions &Options = *R.FReplaceOptions;
    try {
        QString Error;
        // A backup folder that cannot be made is reported in its own stage
        // (CreateBackupFolder); without it there is nothing to lock there.
        if (!FUndoFile.isEmpty() && !Options.DryRun && MakeFolders(Options.BackupDir, true, true)
            && !FLock.LockBackupFolder(Options.BackupDir, QStringLiteral("a replace run"), &Error))
            throw EFileError(Error);
        if (!RunFolder.isEmpty() && !Options.DryRun && !FLock.LockTree(RunFolder, &Error))
            throw EFileError(Error);
        if (!FUndoFile.isEmpty())
            RefuseEarlierRun();
    } catch (...) {
        RemoveWhatItCreated();
        throw;
    }
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
    const QString RunFolder = Options.Dest == sdProject ? FolderOf(TIDEUtils::GetProjectName()) : Options.Directory;
    if (Options.MakeBackup && !Options.BackupDir.isEmpty())
        FUndoFile = JoinPath(Options.BackupDir, RExpertRes::sUndoFileName);
    TakeLocks(RunFolder);
    if (Options.WriteLog) {
        try {
            R.FLog.OpenLogFile(JoinPath(RunFolder, RExpertRes::sLogFileName));
        } catch (...) {
            RemoveWhatItCreated();
            throw;
        }
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
            RemoveStaleTemporaryFolders(QStringLiteral("$DS"));
            FTempFolder = AllocTempFolder(QStringLiteral("$DS"), 1);
            if (FTempFolder.isEmpty())
                throw EFCreateError(TempFolderError());
            FLock.LockTemporaryFolder(FTempFolder);
            TFinally RemoveTemp([this] {
                DeleteFolder(FTempFolder);
                FTempFolder.clear();
            });

            ConvertFiles();
            CheckStop();
            ReportFormsNotNamed();
            R.FWorkReport.Settle();
            R.WriteWorkReport();
            if (Options.DryRun) {
                Result = ShowConvertedFiles();
            } else {
                Preflight();
                QStringList Written{Options.MakeBackup ? Options.BackupDir : QString(), FTempFolder};
                for (const QString &Original : std::as_const(FBesideTemporaries))
                    Written << Original; // its file system holds the temporary beside it
                QString Error;
                if (!FlushFileSystems(Written, &Error))
                    throw EFileError(Error);
                WriteUndoRecords();
                CheckStop();
                Result = ReplaceOriginalFiles();
                if (FReplacedCount == 0 && !Result) {
                    // Nothing was replaced: the run leaves nothing behind,
                    // so that the next one is not refused.
                    FCopyBackStarted = false;
                    RemoveWhatItCreated();
                }
            }
            if (Options.MakeBackup && FUndoWritten) {
                MarkFinished();
                Result = Result && !FMarkFailed;
                R.FLog.WriteLine(RExpertRes::sBackupFile.arg(FUndoFile));
            }
            if (!FLeftChanged.isEmpty()) {
                // The report names them too (written before the copy-back).
                try {
                    R.WriteWorkReport();
                } catch (const EMigError &E) {
                    R.FLog.WriteLine(E.Message());
                    R.FRunErrors << E.Message();
                }
            }
            R.FLog.WriteLine(RExpertRes::sRemovingTempFolder);
        } catch (const EMigError &E) {
            R.FRunErrors << E.Message();
            R.FLog.WriteLine(E.Message());
            if (!FCopyBackStarted)
                RemoveWhatItCreated();
            R.FLog.WriteLine(RExpertRes::sReplaceFailed);
            throw;
        } catch (...) {
            if (!FCopyBackStarted)
                RemoveWhatItCreated();
            R.FLog.WriteLine(RExpertRes::sReplaceFailed);
            throw;
        }
        // A failed run says so in its log (its errors stand above).
        R.FLog.WriteLine(Result ? RExpertRes::sReplaceSucceeded : RExpertRes::sReplaceFailed);
        if (!R.FLog.WriteError().isEmpty()) {
            R.FRunErrors << R.FLog.WriteError();
            Result = false;
        }
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
    FScannedFolders.insert(Folder);
    QStringList Lost;
    for (const TFolderEntry &Entry : std::as_const(Entries)) {
        const QString Path = JoinPath(Folder, Entry.Name);
        // A name whose bytes are not valid in the file-name encoding cannot
        // be opened by its decoded name, and two such names may decode to
        // the same one: the run refuses them before it writes anything.
        if (Entry.NameLost) {
            if (Entry.IsFolder ? IncludeSubDirs : IsUnitFile(Entry.Name) || IsFormFile(Entry.Name))
                Lost << JoinPath(Folder, Entry.ShownName);
            continue;
        }
        if (Entry.IsSymLink)
            FNotRegular.insert(Path, QStringLiteral("a symbolic link; not converted"));
        else if (Entry.IsOther)
            FNotRegular.insert(Path, QStringLiteral("not a regular file (a FIFO, a device or a socket); not converted"));
        if (Entry.IsFolder) {
            if (IncludeSubDirs)
                ScanDirectory(Path, true);
        } else if (IsUnitFile(Entry.Name)) {
            // A link is not followed, nor is anything but a regular file
            // opened: listed, so that the report names it.
            if (Entry.IsSymLink && QFileInfo(Path).isDir())
                continue; // a link to a folder
            R.FUnitList.append(Path);
        } else if (HasExtension(Entry.Name, ".DFM") || HasExtension(Entry.Name, ".NFM")) {
            FFolderForms.append(Path);
        }
    }
    if (!Lost.isEmpty())
        throw EFileError(QStringLiteral("These file names are not valid in the file-name encoding (UTF-8), so the "
                                        "run could not find them again by name; rename them first: %1")
                             .arg(Lost.join(QStringLiteral(", "))));
}

QString TReplaceRun::NotConvertible(const QString &Path)
{
    // The scan saw every entry of its folders; other files are looked at.
    const auto Known = FNotRegular.constFind(Path);
    if (Known != FNotRegular.constEnd())
        return *Known;
    if (FScannedFolders.contains(FolderOf(Path)))
        return QString();
    switch (FFs.Kind(Path)) {
    case TFileKind::SymLink:
        return QStringLiteral("a symbolic link; not converted");
    case TFileKind::Other:
        return QStringLiteral("not a regular file (a FIFO, a device or a socket); not converted");
    default:
        return QString();
    }
}

void TReplaceRun::LeaveAlone(const QString &Path, const QString &Reason)
{
    R.FLog.WriteLine(QStringLiteral("Left as it is: %1 (%2)").arg(Path, Reason));
    TWorkItem Item;
    Item.Kind = TWorkItemKind::FileLeftAlone;
    Item.File = Path;
    Item.Name = Reason;
    R.FWorkReport.Add(std::move(Item));
}

void TReplaceRun::Preflight()
{
    // Every original that the copy-back renames over, and its folder, is
    // checked now: a predictable refusal stops the run before the undo file
    // is written, with every original untouched and nothing left behind.
    QHash<QString, TFileAttributes> Folders;
    QStringList Refused;
    QSet<QString> Done;
#ifndef Q_OS_WIN
    const unsigned Me = unsigned(::geteuid());
#else
    const unsigned Me = 1;
#endif
    for (const QString &Path : std::as_const(R.FUnitList)) {
        const auto Folder = FOutputFolders.constFind(Path);
        if (Folder == FOutputFolders.constEnd() || Done.contains(Path)
            || !FConvertedSums.contains(JoinPath(*Folder, FileNameOf(Path))))
            continue;
        Done.insert(Path);
        const TFileAttributes &File = AttributesOf(Path);
        if (File.Valid && !(File.Mode & 0222)) {
            Refused << QStringLiteral("\"%1\" is read-only").arg(Path);
            continue;
        }
        const QString Parent = FolderOf(Path);
        auto It = Folders.find(Parent);
        if (It == Folders.end()) {
            TFileAttributes Attributes;
            QString Error;
            if (!FFs.MayWriteFolder(Parent, Attributes, &Error)) {
                Refused << Error;
                Attributes.Valid = false;
                Attributes.Mode = 0;
            }
            It = Folders.insert(Parent, Attributes);
        }
        if (!It->Valid)
            continue;
        // In a folder with the sticky bit only the owner of a file or of the
        // folder may rename over it.
        if ((It->Mode & 01000) && Me != 0 && File.Owner != Me && It->Owner != Me)
            Refused << QStringLiteral("\"%1\" belongs to another user in a folder that lets only the owner replace "
                                      "it").arg(Path);
    }
    if (!Refused.isEmpty())
        throw EFileError(QStringLiteral("The run may not replace every original, so it replaced none: %1")
                             .arg(Refused.join(QStringLiteral("; "))));
}

QString TReplaceRun::TempFolderError()
{
    // The system's temporary folder is empty when TMPDIR names a folder that
    // does not exist: the message names what TMPDIR says.
    QString Base = QDir::tempPath();
    if (Base.isEmpty())
        Base = qEnvironmentVariable("TMPDIR");
    if (Base.isEmpty() || !QFileInfo(Base).isDir())
        return QStringLiteral("Cannot create a temporary folder: the temporary folder \"%1\" does not exist (it "
                              "comes from TMPDIR; set TMPDIR to an existing folder).").arg(Base);
    return QStringLiteral("Cannot create a temporary folder in \"%1\".").arg(Base);
}

void TReplaceRun::ReportFormsNotNamed()
{
    if (FFolderForms.isEmpty())
        return;
    const QSet<QString> Named(R.FUnitList.cbegin(), R.FUnitList.cend());
    for (const QString &Form : std::as_const(FFolderForms))
        if (!Named.contains(Form))
            R.FWorkReport.Add({TWorkItemKind::FormNotNamed, Form, 0, QString(), FileNameOf(Form), QString(),
                               QStringLiteral("no unit of the run names it in a {$R} directive: not converted"),
                               QString()});
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

bool TReplaceRun::MakeFolders(const QString &Folder, bool Backup, bool Quiet)
{
    // Each folder is made (or found) once per run; the files that follow
    // into it cost no further look-up.
    if (FKnownFolders.contains(Folder))
        return true;
    // The folders that do not exist yet are noted, so that a run that stops
    // removes those it made (and that stayed empty).
    QStringList Missing;
    for (QString F = Folder; !F.isEmpty() && !QFileInfo::exists(F);) {
        Missing.prepend(F);
        const QString Parent = FolderOf(F);
        if (Parent == F)
            break;
        F = Parent;
    }
    if (!ForceFolders(Folder)) {
        if (Quiet)
            return false;
        if (Backup)
            throw EFCreateError(RExpertRes::sFailedToCreateDirectory + QStringLiteral(" (%1)").arg(Folder));
        throw EFCreateError(QStringLiteral("Cannot create the temporary folder \"%1\".").arg(Folder));
    }
    if (Backup)
        FCreatedFolders += Missing;
    for (QString F = Folder; !F.isEmpty() && !FKnownFolders.contains(F);) {
        FKnownFolders.insert(F);
        const QString Parent = FolderOf(F);
        if (Parent == F)
            break;
        F = Parent;
    }
    return true;
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
        const QString Sub = FolderOf(Relative);
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
    R.Current().Fates->Clear(); // the classes the rules know may differ from the last run's
    QStringList &Units = R.FUnitList;
    const int N = int(Units.size());
    TFinally DropIndex([this] {
        R.SetUnitIndex(nullptr);
        FPrescanned.clear();
        FKeptBytes = 0;
        FIndexLater = false;
        FLaterInterfaces.clear();
        FMayReach.clear();
    });
    // A rename through another unit's object is written with the unit, so
    // the run reads every interface first; a run that only reports such
    // uses indexes the units as it rewrites them and scans again the few
    // that need it, rather than reading every unit twice.
    if (TComponentReplacer::CodeScan()) {
        FIndexLater = !R.FReplaceOptions->RenameMembers;
        IndexUnits(N, FIndexLater);
    }
    // The units first: the forms they name are in the list only when every
    // unit has been committed.
    ConvertRange(0, N);
    if (FIndexLater)
        ScanReachingUnits();
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
}

const TKeptFile *TReplaceRun::PrescannedFile(const QString &Path) const
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
    QStringList Paths = R.FUnitList.mid(Begin, End - Begin);
    for (QString &Path : Paths)
        if (!NotConvertible(Path).isEmpty())
            Path.clear(); // never read; its conversion reports it
    std::vector<TScan> Scans(size_t(Paths.size()));
    std::atomic<int> Next{0};
    std::atomic<qint64> Kept{FKeptBytes};
    const auto Work = [&] {
        for (int I; !FStopRequested && (I = Next++) < int(Paths.size());) {
            TScan &Scan = Scans[size_t(I)];
            if (Paths[I].isEmpty())
                continue;
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
    FKeptBytes = Kept;
}

void TReplaceRun::NoteUnitInterface(const QString &Path, TUnitInterface Interface, bool MayReach)
{
    FLaterInterfaces.append({Path, std::move(Interface)});
    if (MayReach)
        FMayReach << Path;
}

void TReplaceRun::ScanReachingUnits()
{
    FIndexLater = false;
    // No unit reaches another's objects: the index would answer nothing.
    if (FMayReach.isEmpty()) {
        FLaterInterfaces.clear();
        return;
    }
    auto Index = std::make_shared<TUnitIndex>();
    for (const auto &[Path, Interface] : std::as_const(FLaterInterfaces))
        Index->Add(unitNameOf(Path), Interface);
    FLaterInterfaces.clear();
    if (Index->IsEmpty())
        return;
    for (const QString &Path : std::as_const(FMayReach)) {
        CheckStop();
        // Converted a moment ago, still the original: a unit that can no
        // longer be read has nothing more to say.
        QByteArray Bytes;
        QString Error;
        if (FFs.ReadFile(Path, Bytes, &Error))
            R.ReportReachedUses(Path, Bytes, *Index);
    }
}

void TReplaceRun::IndexUnits(int End, bool OutsideOnly)
{
    // The run's units (a file that cannot be read is left to its
    // conversion, which reports it), then the project's other units.
    QStringList Paths, Projects;
    QSet<QString> InRun;
    for (int I = 0; I < End; ++I) {
        const QString &Path = R.FUnitList[I];
        InRun.insert(CleanPath(Path).toCaseFolded());
        if (!NotConvertible(Path).isEmpty())
            continue;
        if (HasExtension(Path, ".PAS")) {
            if (!OutsideOnly)
                Paths << Path;
        } else if (HasExtension(Path, ".DPR"))
            Projects << Path;
    }
    const qsizetype Own = Paths.size();
    const auto AddOutside = [&](const QString &Path) {
        if (HasExtension(Path, ".PAS") && !InRun.contains(CleanPath(Path).toCaseFolded())) {
            InRun.insert(CleanPath(Path).toCaseFolded());
            Paths << Path;
        }
    };
    if (R.FReplaceOptions->Dest == sdProject)
        for (int I = 0, N = TIDEUtils::GetUnitCount(); I < N; ++I)
            AddOutside(TIDEUtils::GetUnitName(I));
    // A project file of the folder may name units elsewhere.
    for (const QString &Project : std::as_const(Projects)) {
        QByteArray Bytes;
        QString Error;
        TTextEncoding Encoding;
        if (FFs.ReadFile(Project, Bytes, &Error))
            for (QString Written : unitPathsOfProject(TextCodec::DecodeFile(Bytes, Encoding)))
                AddOutside(CleanPath(JoinPath(FolderOf(Project), Written.replace(u'\\', u'/'))));
    }
    struct TRead
    {
        TKeptFile File;
        TUnitInterface Interface;
    };
    std::vector<TRead> Reads(size_t(Paths.size()));
    std::atomic<int> Next{0};
    std::atomic<qint64> Kept{FKeptBytes};
    const TComponentReplacer &Replacer = R;
    const TNewClassOf NewClassOf = [&Replacer](QStringView Name) { return Replacer.FindNewComp(Name); };
    const auto Work = [&] {
        TInterfaceScratch Scratch;
        for (int I; !FStopRequested && (I = Next++) < int(Paths.size());) {
            TRead &Read = Reads[size_t(I)];
            QString Error;
            if (!FFs.ReadFile(Paths[I], Read.File.Bytes, &Error, &Read.File.Attributes)) {
                Read.File.Bytes = QByteArray();
                continue;
            }
            // Only the interface is decoded: the section begins a line. A
            // line of a comment that begins with the word is not its start:
            // the reader does not reach the word, and the next such line is
            // tried.
            TTextEncoding Encoding;
            try {
                for (qsizetype From = 0;;) {
                    const qsizetype Implementation = interfaceEnd(Read.File.Bytes, From);
                    bool Complete = false;
                    Read.Interface = readUnitInterface(
                        TextCodec::DecodeFile(QByteArrayView(Read.File.Bytes).first(Implementation), Encoding),
                        NewClassOf, &Complete, &Scratch);
                    if (Complete || Implementation >= Read.File.Bytes.size())
                        break;
                    From = Implementation;
                }
            } catch (...) {
                Read.Interface = {}; // the conversion meets the fault and reports it
            }
            if (I >= Own || Kept.fetch_add(Read.File.Bytes.size()) + Read.File.Bytes.size() > MaxKeptBytes)
                Read.File.Bytes = QByteArray(); // read again for its conversion
        }
    };
    runOnThreads(std::min(std::max(R.FReplaceOptions->Jobs, 1), std::max(int(Paths.size()), 1)), Work);
    CheckStop();
    FKeptBytes = Kept;
    auto Index = std::make_shared<TUnitIndex>();
    for (qsizetype I = 0; I < Paths.size(); ++I) {
        TRead &Read = Reads[size_t(I)];
        if (I >= Own) {
            R.FWorkReport.NoteDeclaredClasses(Read.Interface.Classes);
            continue;
        }
        Index->Add(unitNameOf(Paths[I]), Read.Interface);
        if (!Read.File.Bytes.isNull())
            FPrescanned.insert(Paths[I], std::move(Read.File));
    }
    if (!Index->IsEmpty())
        R.SetUnitIndex(std::move(Index));
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
            if (const QString Why = NotConvertible(Units[I]); !Why.isEmpty()) {
                LeaveAlone(Units[I], Why);
                continue;
            }
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
    std::vector<QString> LeftAlone(size_t(End - Begin)); // why a file is not converted
    for (int I = Begin; I < End; ++I)
        LeftAlone[size_t(I - Begin)] = NotConvertible(Paths[I - Begin]);
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
            C->Fates = Worker->Fates;
            C->Collect = true;
            if (LeftAlone[size_t(I - Begin)].isEmpty())
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
        if (const QString &Why = LeftAlone[size_t(I - Begin)]; !Why.isEmpty()) {
            LeaveAlone(Units[I], Why);
            continue;
        }
        const QString Folder = OutputFolderOf(I);
        R.FLog.WriteLines(C->LogLines);
        for (TWorkItem &Item : C->ReportItems)
            R.FWorkReport.Add(std::move(Item));
        R.FWorkReport.NoteDeclaredClasses(C->DeclaredClasses);
        for (THandlerNote &Note : C->HandlerNotes)
            R.FWorkReport.NoteHandler(std::move(Note));
        if (C->HasInterface)
            NoteUnitInterface(Units[I], std::move(C->Interface), C->MayReach);
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
        const QString Sub = FolderOf(Relative);
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
    Backup = FitFileName(Backup);
    // A backup of an earlier run whose originals were restored is replaced
    // (its name is removed, then linked anew).
    if (!FFs.LinkFile(Path, Backup, &Error) && !(FFs.RemoveFile(Backup) && FFs.LinkFile(Path, Backup, &Error))) {
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
    FUndoWritten = true; // from here on a stop removes them too
    WriteUndoFiles(false);
}

namespace {
// The deepest folder that holds both A and B (folders or files' folders).
QString CommonFolder(const QString &A, const QString &B)
{
    if (A.isEmpty())
        return B;
    QString Folder = A;
    while (!(FileNameKey(B) == FileNameKey(Folder) || IsBelow(B, Folder))) {
        const QString Parent = FolderOf(Folder);
        if (Parent == Folder)
            break;
        Folder = Parent;
    }
    return Folder;
}
} // namespace

void TReplaceRun::WriteUndoFiles(bool Finished)
{
    // The undo file first, then the record, when the run starts; the other
    // way round at the end. Either way, whenever the undo file exists its
    // record does too, and an original of the undo file without an entry in
    // the record only counts as possibly edited. Both are written whole,
    // flushed and renamed into place, and the backups are on disk before.
    const TReplaceOptions &Options = *R.FReplaceOptions;
    const QSet<QString> Dropped(FLeftChanged.cbegin(), FLeftChanged.cend());
    QString Error;
    TRunRecord Record;
    Record.Finished = Finished;
    Record.Tree = CleanPath(QFileInfo(Options.Dest == sdProject ? TIDEUtils::GetProjectName()
                                                                      : JoinPath(Options.Directory, QStringLiteral("x")))
                                      .absolutePath());
    QString Text;
    for (int I = 0; I < R.FUndoList.Count(); ++I) {
        const QString &Path = R.FUndoList.Name(I);
        if (Dropped.contains(Path))
            continue;
        Text += Path + u'=' + R.FUndoList.ValueAt(I) + QLatin1String("\r\n");
        const QString Converted = FConvertedSums.value(JoinPath(FOutputFolders.value(Path), FileNameOf(Path)));
        Record.Entries.push_back({Path, Converted, FOriginalSums.value(FileNameKey(Path))});
        Record.Tree = CommonFolder(Record.Tree, CleanPath(QFileInfo(Path).absolutePath()));
    }
    const QString RecordFile = TRunRecord::FileNameFor(FUndoFile);
    if (!Finished && !WriteFileAtomically(FFs, RecordFile, Record.ToBytes(), &Error))
        throw EFileError(Error);
    // The undo file is in the ANSI code page, unless a path has a character
    // that the code page lacks: written as "?", that path could never be
    // restored. Such a file is UTF-8 with its byte-order mark, which the
    // restore recognises.
    if (!Finished || !Dropped.isEmpty()) {
        const TTextEncoding Encoding = TextCodec::IsAnsiEncodable(Text) ? TTextEncoding::Ansi() : TTextEncoding::Utf8();
        if (!WriteFileAtomically(FFs, FUndoFile, TextCodec::EncodeFile(Text, Encoding), &Error))
            throw EFileError(Error);
    }
    if (Finished && !WriteFileAtomically(FFs, RecordFile, Record.ToBytes(), &Error))
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
        // The original is examined just before it is replaced: one that an
        // editor saved (renamed over) or that was written to since the run
        // read it is left as the user saved it.
        if (!IsSameFileAsRead(FFs.Attributes(Path), Attributes)) {
            if (Beside)
                FFs.RemoveFile(Source);
            FBesideTemporaries.remove(Source);
            FLeftChanged << Path;
            LeaveAlone(Path, QStringLiteral("changed while the run worked; kept as saved, not converted"));
            R.FRunErrors << QStringLiteral("The file \"%1\" was changed while the run worked; it is left as it was "
                                           "saved, not converted.").arg(Path);
            Result = false;
            continue;
        }
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
            ++FReplacedCount;
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
    DropFromUndoSet();
    try {
        WriteUndoFiles(true);
    } catch (const EFileError &E) {
        // The originals are in place and the undo file lists them; a record
        // left "unfinished" makes the restore take nothing for granted, but
        // the run did not end as it should (a full disk): it fails.
        R.FLog.WriteLine(E.Message());
        R.FRunErrors << E.Message();
        FMarkFailed = true;
    }
}

void TReplaceRun::DropFromUndoSet()
{
    for (const QString &Path : std::as_const(FLeftChanged)) {
        const QString Backup = R.FUndoList.Value(Path);
        if (FCreatedBackupSet.contains(Backup))
            FFs.RemoveFile(Backup);
    }
}

void TReplaceRun::RemoveWhatItCreated()
{
    if (FUndoWritten) {
        FFs.RemoveFile(FUndoFile);
        FFs.RemoveFile(TRunRecord::FileNameFor(FUndoFile));
        FUndoWritten = false;
    }
    for (const QString &Backup : std::as_const(FCreatedBackups))
        FFs.RemoveFile(Backup);
    for (auto It = FBesideTemporaries.cbegin(); It != FBesideTemporaries.cend(); ++It)
        FFs.RemoveFile(It.key());
    FBesideTemporaries.clear();
    FCreatedBackupSet.clear();
    FLock.Release(); // its lock file must not keep the backup folder
    // Deepest first; a folder that holds anything else stays.
    for (auto It = FCreatedFolders.crbegin(); It != FCreatedFolders.crend(); ++It)
        QDir().rmdir(*It);
    FCreatedBackups.clear();
    FCreatedFolders.clear();
    FKnownFolders.clear();
}

QString TReplaceRun::FindFileIgnoringCase(const QString &Path)
{
    return FNames.Find(Path);
}

// ---------------------------------------------------------------------------
// TRestoreRun

TRestoreRun::TRestoreRun(TComponentReplacer &Replacer, TFileSystem &Fs, TRestoreQuestions *Questions)
    : R(Replacer), FFs(Fs), FQuestions(Questions)
{
}

namespace {

// The canonical path of Path's deepest existing folder: where a file of
// that name would really be written, links in its folders followed.
QString CanonicalFolderOf(const QString &Path)
{
    for (QString Folder = QFileInfo(Path).path();;) {
        const QString Canonical = QFileInfo(Folder).canonicalFilePath();
        if (!Canonical.isEmpty())
            return Canonical;
        const QString Parent = QFileInfo(Folder).path();
        if (Parent == Folder)
            return QString();
        Folder = Parent;
    }
}

} // namespace

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
    if (R.FUnitList.isEmpty()) {
        Report.Errors << QStringLiteral("The undo file \"%1\" lists no file: its run changed nothing, so there is "
                                        "nothing to restore.").arg(UndoFile);
        return false;
    }

    // Relative paths are taken from the undo file's folder, not from
    // wherever the process happens to run, and backups only from inside
    // that folder: an undo file from elsewhere must not copy any file of
    // this machine over another.
    const QString Folder = QDir::toNativeSeparators(QFileInfo(UndoFile).absolutePath());
    const QString CanonicalFolder = QFileInfo(Folder).canonicalFilePath();
    auto Resolve = [&Folder](const QString &Path) {
        return Path.isEmpty() ? Path : CleanPath(QDir::isAbsolutePath(Path) ? Path : JoinPath(Folder, Path));
    };

    // What the run recorded. Without a readable record nothing is taken for
    // granted: every original that differs from its backup counts as
    // possibly edited, and the originals are confined to the tree around
    // the backup folder (its parent).
    const QString RecordFile = TRunRecord::FileNameFor(UndoFile);
    TRunRecord Record;
    QByteArray RecordBytes;
    const bool HasRecord = FFs.ReadFile(RecordFile, RecordBytes, nullptr) && TRunRecord::FromBytes(RecordBytes, Record);
    const QString Tree = CleanPath(HasRecord && !Record.Tree.isEmpty() ? Record.Tree : FolderOf(Folder));
    const QString CanonicalTree = QFileInfo(Tree).canonicalFilePath();
    // One run or restore at a time, in the backup folder and in the tree.
    TRunLock Lock;
    if (!Lock.LockBackupFolder(Folder, QStringLiteral("a restore"), &Error) || !Lock.LockTree(Tree, &Error)) {
        Report.Errors << Error;
        return false;
    }
    QString Untrusted;
    if (!HasRecord)
        Untrusted = QStringLiteral("The run record \"%1\" is missing or unreadable, so every file counts as "
                                   "possibly edited since the conversion.").arg(RecordFile);
    else if (Record.DamagedLines > 0)
        Untrusted = QStringLiteral("The run record \"%1\" has %2 damaged line(s); the files they named count as "
                                   "possibly edited since the conversion.").arg(RecordFile).arg(Record.DamagedLines);

    // A line is "original=backup". The format has no escape, so a path that
    // holds "=" is split at the first "=" behind which an existing backup
    // file is named, and at the first "=" when none is. A file that is no
    // undo file is refused at its first line that is no such pair.
    TNameValueList Lines(FileNameCase());
    for (int N = 0; N < R.FUnitList.size(); ++N) {
        const QString &Line = R.FUnitList[N];
        qsizetype Eq = Line.indexOf(u'=');
        for (qsizetype Try = Eq; Try >= 0; Try = Line.indexOf(u'=', Try + 1))
            if (QFileInfo(Resolve(Line.mid(Try + 1))).isFile()) {
                Eq = Try;
                break;
            }
        if (Eq <= 0 || Eq == Line.size() - 1) {
            Report.Errors << QStringLiteral("\"%1\" is not an undo file: its line %2 is no \"original=backup\" pair "
                                            "(\"%3\"). Nothing was restored.")
                                 .arg(UndoFile).arg(N + 1).arg(Line.left(80));
            return false;
        }
        Lines.Append(Resolve(Line.left(Eq)), Resolve(Line.mid(Eq + 1)));
    }

    // Check pass: nothing is copied unless every backup is there, inside the
    // undo file's folder, and holds what the run recorded, and every
    // original lies in the tree the run converted. Every failure is named.
    struct TFile
    {
        QString Original;
        QString Backup;
        QString BackupSum; // SHA-256 of the backup, when it was read
        bool Copy = true;
    };
    std::vector<TFile> Files;
    QSet<QString> Seen;
    QHash<QString, QString> RealFolders; // folder -> its canonical path
    for (int I = 0; I < Lines.Count(); ++I) {
        const QString &Original = Lines.Name(I);
        if (Seen.contains(FileNameKey(Original)))
            continue;
        Seen.insert(FileNameKey(Original));
        TFile File;
        File.Original = Original;
        File.Backup = Lines.Value(Original);
        const QFileInfo Info(File.Backup);
        if (!Info.isFile()) {
            Report.Errors << QStringLiteral("The backup \"%1\" does not exist.").arg(File.Backup);
            continue;
        }
        const QString Canonical = Info.canonicalFilePath();
        if (CanonicalFolder.isEmpty() || !IsBelow(Canonical, CanonicalFolder)) {
            Report.Errors << QStringLiteral("The backup \"%1\" is not inside the undo file's folder \"%2\".")
                                 .arg(File.Backup, Folder);
            continue;
        }
        auto Real = RealFolders.constFind(QFileInfo(Original).path());
        if (Real == RealFolders.constEnd())
            Real = RealFolders.insert(QFileInfo(Original).path(), CanonicalFolderOf(Original));
        if (!IsBelow(Original, Tree) || CanonicalTree.isEmpty() || !(*Real == CanonicalTree || IsBelow(*Real, CanonicalTree))) {
            Report.Errors << QStringLiteral("The file \"%1\" is not inside the tree \"%2\" that the run converted; "
                                            "nothing is written there.").arg(Original, Tree);
            continue;
        }
        const TRunRecord::TEntry *Entry = HasRecord ? Record.Find(Original) : nullptr;
        if (Entry) {
            QByteArray Backup;
            if (!FFs.ReadFile(File.Backup, Backup, &Error)) {
                Report.Errors << Error;
                continue;
            }
            File.BackupSum = Sha256Hex(Backup);
            if (File.BackupSum != Entry->Original) {
                Report.Errors << QStringLiteral("The backup \"%1\" is not the original that the run backed up (its "
                                                "checksum differs from the recorded one).").arg(File.Backup);
                continue;
            }
        }
        Files.push_back(std::move(File));
    }
    if (!Report.Errors.isEmpty()) {
        Report.Errors << QStringLiteral("Nothing was restored.");
        return false;
    }

    // Which originals may simply be put back: with the run's record, a file
    // that is neither what the run wrote nor the original (a crash can leave
    // it untouched) was changed since; without an entry for it, a file that
    // is not its backup may have been. A file that no longer exists is not
    // created unless the user says so.
    QList<int> Changed, Missing;
    for (int I = 0; I < int(Files.size()); ++I) {
        TFile &File = Files[size_t(I)];
        const TFileKind Kind = FFs.Kind(File.Original);
        if (Kind == TFileKind::Missing) {
            Missing << I;
            continue;
        }
        const TRunRecord::TEntry *Entry = HasRecord ? Record.Find(File.Original) : nullptr;
        QByteArray Current;
        if (Kind != TFileKind::Regular || !FFs.ReadFile(File.Original, Current, &Error)) {
            Changed << I; // a link or FIFO put in its place: not the run's
            continue;
        }
        const QString Sum = Sha256Hex(Current);
        if (Entry && Sum == Entry->Original)
            File.Copy = false; // still the original: nothing to do
        else if (Entry && !Entry->Converted.isEmpty() && Sum == Entry->Converted)
            continue;
        else if (!Entry && Current == ReadOrEmpty(File.Backup))
            File.Copy = false;
        else
            Changed << I;
    }
    auto Ask = [&](const QList<int> &Indexes, bool Changes, QStringList &Left) {
        if (Indexes.isEmpty())
            return;
        QStringList Names;
        for (int I : Indexes)
            Names << Files[size_t(I)].Original;
        const bool Yes = FQuestions && (Changes ? FQuestions->OverwriteChangedFiles(Names)
                                                : FQuestions->CreateMissingFiles(Names));
        if (Yes)
            return;
        for (int I : Indexes)
            Files[size_t(I)].Copy = false;
        Left = Names;
    };
    Ask(Changed, true, Report.LeftChanged);
    Ask(Missing, false, Report.LeftMissing);
    if (!Report.LeftChanged.isEmpty() && !Untrusted.isEmpty())
        Report.Errors << Untrusted;

    // Copy pass: each backup replaces its original in one step; a failure
    // is named and the restore goes on with the next file. The backups go
    // back as second names of their files where they can (a link and a
    // rename, no copy), flushed together at the end.
    QStringList Restored;
    for (const TFile &File : Files) {
        FFs.RemoveFile(TemporaryNameBeside(File.Original)); // left by a killed run
        if (!File.Copy)
            continue;
        if (PutBack(File.Original, File.Backup, &Error))
            Restored << File.Original;
        else
            Report.Errors << Error;
    }
    QSet<quint64> Devices;
    for (const QString &Path : std::as_const(Restored)) {
        const TFileAttributes Attributes = FFs.Attributes(Path);
        if (Attributes.Valid && Devices.contains(Attributes.Device))
            continue;
        Devices.insert(Attributes.Device);
        if (!FFs.SyncFileSystem(Path, &Error)) {
            Report.Errors << Error;
            break;
        }
    }
    const bool Ok = Report.Errors.isEmpty() && Report.LeftChanged.isEmpty() && Report.LeftMissing.isEmpty();
    if (Ok) {
        // The originals are back: a later run into this backup folder may
        // replace this undo set.
        if (!HasRecord)
            Record.Tree = Tree;
        Record.Restored = Record.Finished = true;
        if (!WriteFileAtomically(FFs, RecordFile, Record.ToBytes(), &Error)) {
            Report.Errors << Error;
            return false;
        }
    }
    return Ok;
}

QByteArray TRestoreRun::ReadOrEmpty(const QString &Path)
{
    QByteArray Bytes;
    return FFs.ReadFile(Path, Bytes, nullptr) ? Bytes : QByteArray();
}

bool TRestoreRun::PutBack(const QString &Original, const QString &Backup, QString *Error)
{
    // A read-only original stays as it is (see ReplaceFileContents).
    const TFileAttributes Now = FFs.Attributes(Original);
    if (Now.Valid && !(Now.Mode & 0222)) {
        *Error = QStringLiteral("Cannot replace \"%1\": the file is read-only").arg(Original);
        return false;
    }
    // The backup's own file, when it has the permissions, owner and group
    // that the original has now (a backup that was linked to its original
    // has them): linked beside the original and renamed over it.
    const TFileAttributes Saved = FFs.Attributes(Backup);
    const QString Temporary = TemporaryNameBeside(Original);
    if (Saved.Valid && (!Now.Valid || (Saved.Mode == Now.Mode && Saved.Owner == Now.Owner && Saved.Group == Now.Group))
        && FFs.LinkFile(Backup, Temporary, nullptr)) {
        QString Reason;
        if (FFs.ReplaceOriginal(Temporary, Original, &Reason))
            return true;
        FFs.RemoveFile(Temporary);
        *Error = QStringLiteral("Cannot replace \"%1\": %2").arg(Original, Reason);
        return false;
    }
    QByteArray Bytes;
    return FFs.ReadFile(Backup, Bytes, Error) && ReplaceFileContents(FFs, Original, Bytes, Error);
}

// ---------------------------------------------------------------------------
// The replacer's operations, driven by the run and the restore

bool TComponentReplacer::PerformReplace()
{
    TReplaceRun Run(*this, *FFileSystem);
    return Run.Execute();
}

bool TComponentReplacer::PerformRestore(const QString &UndoFile)
{
    FRestoreReport = TRestoreReport();
    TRestoreRun Run(*this, *FFileSystem, FRestoreQuestions);
    return Run.Execute(UndoFile, FRestoreReport);
}
