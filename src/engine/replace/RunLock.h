// TRunLock: one replace run or restore at a time. A run or a restore holds
// an operating-system lock (flock, LockFileEx) on the lock file
// "RExpert.lock" in its backup folder, which describes the holder
// (operation, process, host, start time), and on the folder of the tree it
// converts (no file is written there for it; on Windows a named semaphore
// stands for the folder), for as long as it works. The
// system drops such a lock when its process ends, so a killed run never
// leaves a stale one; a lock file left behind holds no lock.
//
// The run's temporary folder is locked the same way while the run lives, so
// that the next run can tell the temporary folder of a dead run (a full
// converted copy of the tree) from that of a live one, and remove it.
#pragma once

#include <QString>

class TRunLock
{
public:
    TRunLock() = default;
    ~TRunLock() { Release(); }
    TRunLock(const TRunLock &) = delete;
    TRunLock &operator=(const TRunLock &) = delete;

    // Takes the lock of BackupFolder (an existing folder) for Operation
    // ("a replace run", "a restore"). False, with *Error naming the holder,
    // when another run or restore holds it, or naming the fault.
    bool LockBackupFolder(const QString &BackupFolder, const QString &Operation, QString *Error);
    // Locks the folder Tree itself. False, with *Error, when another run or
    // restore holds it.
    bool LockTree(const QString &Tree, QString *Error);
    // Locks the run's own temporary folder, for RemoveStaleTemporaryFolders.
    void LockTemporaryFolder(const QString &Folder);
    // Releases every lock; the lock file is removed (while still held).
    void Release();

private:
    QString FLockFile;
#ifdef Q_OS_WIN
    void *FHandle = nullptr;
    void *FTreeHandle = nullptr;
    void *FTempHandle = nullptr;
#else
    int FFd = -1;
    int FTreeFd = -1;
    int FTempFd = -1;
#endif
};

// Empty when no live run or restore holds the lock of BackupFolder; else a
// sentence naming the holder, e.g. "a replace run (process 1234 on host,
// since 10:02:11)".
QString RunLockHolder(const QString &BackupFolder);

// Removes the folders named Prefix + counter in the system's temporary
// folder that belong to this user, are older than a minute and that no live
// run holds locked: left by runs that were killed.
void RemoveStaleTemporaryFolders(const QString &Prefix);
