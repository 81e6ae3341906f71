// TFaultyFileSystem: the real file layer with faults on demand, for tests of
// what a run and a restore leave behind when the disk fills up, a write,
// rename or flush fails, or the process dies at a chosen replacement.
#pragma once

#include "FileSystem.h"

#include <functional>

class TFaultyFileSystem : public TFileSystem
{
    // Whether the write counts and fails; false with *Error set when it fails.
    bool AllowWrite(const QString &Path, QByteArrayView Bytes, QString *Error);
    // Notes the step in the journal and calls Before.
    void Step(const char *Op, const QString &Path, const QString &To = QString());

public:
    // Bytes that writes may still put on the disk; a write beyond it fails
    // as on a full disk (after writing what fits). Negative: no limit.
    qint64 WriteBudget = -1;
    // The k-th call (counted from 1) of WriteNewFile, Rename (also as
    // ReplaceOriginal) or SyncFolder fails; 0 never.
    int FailWriteAt = 0;
    int FailRenameAt = 0;
    int FailSyncAt = 0;
    // Only writes whose path contains this text count and fail (empty: all).
    QString WritesOf;
    // The process ends at once (_exit with CrashExitCode) at the k-th
    // replacement of an original, before it happens: a crash, with no
    // clean-up of any kind. For death tests.
    int CrashAtReplacement = 0;
    static constexpr int CrashExitCode = 86;
    // Hard links fail, as on a file system without them (backups are copied).
    bool NoHardLinks = false;
    // The run's temporary folder counts as another file system than the
    // other files (reported as another device), as when it is on tmpfs.
    bool TemporaryFolderElsewhere = false;

    // Fails every flush of a file system made after the first replacement
    // of an original (the run's final flush).
    bool FailSyncAfterReplacement = false;
    // MayWriteFolder refuses folders whose path contains one of these.
    QStringList DenyReplace;

    // Every step in the order in which it was asked for: "read P",
    // "write P" (flushed), "write-unflushed P", "link E N", "syncfs P",
    // "syncfolder P", "rename F T", "replace T O", "remove P",
    // "attributes P", "may-write P".
    QStringList Journal;
    // Called before each step with its name and path, so that a test can
    // change the disk at a chosen moment (an editor saving a file).
    std::function<void(const QString &Op, const QString &Path)> Before;

    int Links = 0;
    int Writes = 0, Renames = 0, Syncs = 0, Replacements = 0;

    bool WriteNewFile(const QString &Path, QByteArrayView Bytes, const TFileAttributes &Attributes,
                      QString *Error) override;
    bool WriteUnflushedFile(const QString &Path, QByteArrayView Bytes, const TFileAttributes &Attributes,
                            QString *Error) override;
    bool LinkFile(const QString &Existing, const QString &NewName, QString *Error) override;
    // Counts and fails as SyncFolder.
    bool SyncFileSystem(const QString &Path, QString *Error) override;
    TFileAttributes Attributes(const QString &Path) override;
    bool ReadFile(const QString &Path, QByteArray &Bytes, QString *Error, TFileAttributes *Attributes) override;
    bool Rename(const QString &From, const QString &To, QString *Error) override;
    bool ReplaceOriginal(const QString &Temporary, const QString &Original, QString *Error) override;
    bool SyncFolder(const QString &Folder, QString *Error) override;
    bool RemoveFile(const QString &Path) override;
    bool MayWriteFolder(const QString &Folder, TFileAttributes &FolderAttributes, QString *Error) override;
};
