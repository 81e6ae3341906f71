// TReplaceRun and TRestoreRun: one replace run and one restore of a
// replacer, with the state that lives only as long as they do (the temporary
// folder, the folders of converted files, the names claimed in the flat
// temporary and backup folders, the folder listings, what the run created).
//
// The guarantees of a replace run, in the order in which they hold:
// - nothing is written before the file list is complete and every name in it
//   can be held by the undo file; a backup folder that holds the undo file of
//   an earlier run (finished or not) is refused before anything is written;
// - every write is checked and flushed before anything is renamed over an
//   original; a run that stops before the copy-back removes what it created
//   (temporary folder, backups, backup folders it made) and every original
//   is untouched;
// - the undo file, and beside it the run record (state, checksums), are
//   complete and on disk before the first original is replaced; from there
//   on each original is replaced in one step, so a crash at any moment leaves
//   every original either untouched or converted with its backup listed.
#pragma once

#include "FileSystem.h"
#include "FileUtils.h"
#include "Replacer.h"
#include "RunLock.h"

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>

#include <csignal>
#include <mutex>
#include <vector>

// The record of a run kept beside its undo file (the undo file's name with
// ".run" appended): whether the copy-back finished (and whether a restore
// has put the originals back since), the tree the run converted, and for
// each original the checksums of what the run wrote over it and of the
// original itself. The undo file's own format stays as it is.
struct TRunRecord
{
    struct TEntry
    {
        QString Path;
        QString Converted; // SHA-256 of the converted file, hexadecimal
        QString Original;  // SHA-256 of the original (its backup)
    };
    bool Finished = false;
    bool Restored = false; // a restore put every original back
    // The folder below which every original of the run lies; a restore
    // writes nowhere else. Empty in records of older runs.
    QString Tree;
    std::vector<TEntry> Entries;
    // Lines that FromBytes could not read; the originals they named have no
    // entry, so a restore takes them as possibly edited.
    int DamagedLines = 0;

    static QString FileNameFor(const QString &UndoFile);
    QByteArray ToBytes() const;
    // False for bytes that are no run record (no valid first line). A
    // damaged line costs only its own entry (DamagedLines).
    static bool FromBytes(const QByteArray &Bytes, TRunRecord &Record);
    // The last entry of an original (compared as the file system compares
    // names), as the undo list keeps the last backup.
    const TEntry *Find(const QString &Path) const;

private:
    QHash<QString, size_t> FIndex; // name key -> last entry; filled by FromBytes
};

class TReplaceRun : public TConversionHost
{
public:
    TReplaceRun(TComponentReplacer &Replacer, TFileSystem &Fs);
    TReplaceRun(const TReplaceRun &) = delete;
    TReplaceRun &operator=(const TReplaceRun &) = delete;

    // TComponentReplacer::PerformReplace.
    bool Execute();

    // The path of an existing file that Path names, letter case aside (see
    // TComponentReplacer::FindFileIgnoringCase), with this run's listings.
    QString FindFileIgnoringCase(const QString &Path) override;
    // Notes the bytes written for a converted file, for the run record.
    void NoteConvertedFile(const QString &OutputPath, QByteArrayView Bytes);
    // Writes the converted version of a file (OutputPath: its place in the
    // temporary folder), once, where the copy-back can rename it over its
    // original: in the temporary folder when that is on the original's file
    // system, else as the temporary beside the original. It takes the
    // original's permissions, owner and group, and is not flushed yet: the
    // run flushes all of them together before the first replacement.
    void WriteConvertedFile(const QString &OutputPath, const QByteArray &Bytes) override;
    // The bytes just read of a file being converted; its backup's checksum
    // is taken from them rather than from a second read.
    // Its attributes, from the same reading, are those the converted file
    // takes.
    void NoteOriginalFile(const QString &Path, const QByteArray &Bytes, const TFileAttributes &Attributes) override;
    // A unit or form file as the index of the units or the pre-scan of the
    // forms read it, kept for its conversion so that it is read only once;
    // nullptr when the run did not keep it. Safe on any thread while the
    // files are converted (nothing is kept or dropped then).
    const TKeptFile *PrescannedFile(const QString &Path) const override;
    bool IndexLater() const override { return FIndexLater; }
    void NoteUnitInterface(const QString &Path, TUnitInterface Interface, bool MayReach) override;
    // At most this many bytes of indexed units and pre-scanned forms are
    // kept for their conversion; the rest are read a second time.
    static constexpr qint64 MaxKeptBytes = qint64(256) << 20;

    // Asks the run in progress to stop at its next file, as if an error had
    // stopped it (async-signal-safe). The copy-back, once begun, finishes.
    static void RequestStop();
    static bool IsRunning() { return FRunning != 0; }
    // Makes SIGINT and SIGTERM stop a run in progress that way; outside a
    // run they end the process as usual.
    static void StopOnSignals();

private:
    void RefuseEarlierRun() const;
    // Why Path is not converted (a symbolic link, a FIFO, a device), or an
    // empty text for a regular file.
    QString NotConvertible(const QString &Path);
    // Logs and reports a file that the run leaves as it is.
    void LeaveAlone(const QString &Path, const QString &Reason);
    // Checks, before anything is flushed or replaced, that every original
    // the copy-back will rename over may be replaced (not read-only, in a
    // folder this process may write); raises EFileError naming every one
    // that may not, so that the run stops with nothing replaced.
    void Preflight();
    static QString TempFolderError();
    // Takes the originals left alone by the copy-back out of the undo file
    // and the record, and removes their backups.
    void DropFromUndoSet();
    void InitUnitList();
    void ScanDirectory(const QString &Folder, bool IncludeSubDirs);
    // The form files of the scanned folders that no unit of the run named
    // go into the report: they were not converted.
    void ReportFormsNotNamed();
    void CheckNamesForUndoFile() const;
    void CreateBackupFolder();
    // Quiet: false instead of an error when a folder cannot be made.
    bool MakeFolders(const QString &Folder, bool Backup, bool Quiet = false);
    // Takes the locks of the backup folder (made now where it is missing)
    // and of the tree (RunFolder), then refuses a backup folder that holds
    // an earlier run's undo set: all before the log is opened.
    void TakeLocks(const QString &RunFolder);
    QString OutputFolderOf(int Index);
    void ConvertFiles();
    // Converts the files of the list from Begin to End (exclusive) on the
    // options' number of threads, committed in list order.
    void ConvertRange(int Begin, int End);
    // Reads the forms of the list from Begin to End (exclusive) on the
    // options' number of threads and takes the database names of their
    // TDatabase objects in list order; keeps what it read for the
    // conversion (MaxKeptBytes).
    void PrescanForms(int Begin, int End);
    // Reads the interfaces of the units among the first End files of the
    // list into the replacer's unit index for the code scan, and the class
    // names of the project's units outside the run into the report (a
    // project's own class is never taken for an old one); keeps what it
    // read of the run's units for their conversion.
    // Reads the interfaces of the first End units of the list (unless
    // OutsideOnly) and of the project's units outside the run.
    void IndexUnits(int End, bool OutsideOnly);
    // Once the units are rewritten: indexes the interfaces they gave and
    // scans again those whose code may reach another unit's objects.
    void ScanReachingUnits();
    void BackupOriginal(int Index);
    void WriteUndoRecords();
    // The undo file and the record from FUndoList (less FLeftChanged), each
    // written whole and renamed into place.
    void WriteUndoFiles(bool Finished);
    // The permissions, owner, group and device of an original, read once.
    const TFileAttributes &AttributesOf(const QString &Original);
    // Flushes what the run wrote (converted files, backups, folders) on
    // every file system it wrote to: before the undo file and the first
    // replacement, and once more after the last one.
    bool FlushFileSystems(QStringList Paths, QString *Error);
    bool ReplaceOriginalFiles();
    // Instead of the copy-back of a dry run: every converted file is shown
    // to the progress observer. Returns true.
    bool ShowConvertedFiles();
    void MarkFinished();
    void RemoveWhatItCreated();
    void CheckStop() const;

    TComponentReplacer &R;
    TFileSystem &FFs;
    QString FTempFolder;
    QString FUndoFile;
    // Original path -> folder of its converted version. Project mode keeps
    // apart files of the same name from different folders.
    QHash<QString, QString> FOutputFolders;
    QHash<QString, QString> FClaimedOutputNames; // name key of an output path -> original
    QHash<QString, QString> FClaimedBackups;     // name key of a backup path -> original
    TFileNameIndex FNames;
    QHash<QString, QString> FConvertedSums; // output path -> SHA-256
    QHash<QString, QString> FOriginalOf;    // output path -> original
    QHash<QString, QString> FWrittenAt;     // output path -> where its bytes are
    QHash<QString, TFileAttributes> FAttributes; // original -> its attributes
    quint64 FTempDevice = 0;
    unsigned FTempGroup = 0;
    unsigned FOwner = 0, FGroup = 0; // the process's effective user and group
    int FUmask = -1; // the process's umask, -1 when unknown
    bool FTempDeviceKnown = false;
    // Without renames in the code, the units are indexed as they are
    // rewritten, not read ahead: what they gave, in list order.
    bool FIndexLater = false;
    QList<std::pair<QString, TUnitInterface>> FLaterInterfaces;
    QStringList FMayReach; // units to scan again
    QHash<QString, TKeptFile> FPrescanned; // file -> what a pre-scan read
    qint64 FKeptBytes = 0;                 // the bytes of FPrescanned
    QString FLastReadPath; // the file just read for conversion, and its bytes
    QByteArray FLastReadBytes;
    QHash<QString, QString> FOriginalSums;  // name key of an original -> SHA-256
    // What the run created, removed again when it stops before the copy-back.
    QStringList FCreatedBackups;
    QSet<QString> FCreatedBackupSet;
    // Converted files written beside their originals, not yet renamed:
    // temporary -> original.
    QHash<QString, QString> FBesideTemporaries;
    QStringList FCreatedFolders;
    // Form files of the scanned folders, to tell those that no unit names.
    QStringList FFolderForms;
    QSet<QString> FKnownFolders; // folders made or found by MakeFolders
    // What the folder scan found that is not a regular file: path -> why.
    QHash<QString, QString> FNotRegular;
    QSet<QString> FScannedFolders;
    // Originals changed after the run read them: left as the user saved
    // them, not replaced.
    QStringList FLeftChanged;
    int FReplacedCount = 0;
    bool FMarkFailed = false;
    TRunLock FLock;
    bool FUndoWritten = false;
    bool FCopyBackStarted = false;

    static volatile std::sig_atomic_t FStopRequested;
    static volatile std::sig_atomic_t FRunning;
};

class TRestoreRun
{
public:
    TRestoreRun(TComponentReplacer &Replacer, TFileSystem &Fs, TRestoreQuestions *Questions);
    // TComponentReplacer::PerformRestore; Report tells what it left alone.
    bool Execute(const QString &UndoFile, TRestoreReport &Report);

private:
    QByteArray ReadOrEmpty(const QString &Path);
    // Puts the backup back over Original in one step; false with *Error
    // naming the file and the reason.
    bool PutBack(const QString &Original, const QString &Backup, QString *Error);

    TComponentReplacer &R;
    TFileSystem &FFs;
    TRestoreQuestions *FQuestions;
};
