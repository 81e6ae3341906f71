#include "RunLock.h"

#include "FileSystem.h"
#include "FileUtils.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSysInfo>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

const QString LockFileName = QStringLiteral("RExpert.lock");

// The lock file's text: one "key=value" line each.
QByteArray Description(const QString &Operation)
{
    return ("operation=" + Operation + QStringLiteral("\npid=%1\nhost=").arg(QCoreApplication::applicationPid())
            + QSysInfo::machineHostName() + QStringLiteral("\nsince=")
            + QDateTime::currentDateTime().toString(Qt::ISODate) + u'\n')
        .toUtf8();
}

QString HolderSentence(const QByteArray &Text)
{
    QString Operation, Pid, Host, Since;
    for (const QByteArray &Line : Text.split('\n')) {
        const QString L = QString::fromUtf8(Line);
        const qsizetype Eq = L.indexOf(u'=');
        const QString Key = L.left(Eq), Value = L.mid(Eq + 1);
        if (Eq < 0)
            continue;
        if (Key == QLatin1String("operation"))
            Operation = Value;
        else if (Key == QLatin1String("pid"))
            Pid = Value;
        else if (Key == QLatin1String("host"))
            Host = Value;
        else if (Key == QLatin1String("since"))
            Since = QDateTime::fromString(Value, Qt::ISODate).toString(QStringLiteral("HH:mm:ss"));
    }
    if (Operation.isEmpty() || Pid.isEmpty())
        return QStringLiteral("another replace run or restore (it has not described itself yet)");
    return QStringLiteral("%1 (process %2 on %3, since %4)").arg(Operation, Pid, Host, Since);
}

QString InUse(const QString &Folder, const QString &Holder)
{
    return QStringLiteral("The backup folder \"%1\" is in use by %2; try again when it has finished.")
        .arg(Folder, Holder);
}

} // namespace

#ifndef Q_OS_WIN

namespace {

QByteArray native(const QString &Path)
{
    return QFile::encodeName(Path);
}

QString reason()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

} // namespace

bool TRunLock::LockBackupFolder(const QString &BackupFolder, const QString &Operation, QString *Error)
{
    const QString Path = JoinPath(BackupFolder, LockFileName);
    const QByteArray Name = native(Path);
    // A lock file that its holder removed between our opening and our lock
    // is no longer the lock: the lock is taken again on the file that the
    // name holds now.
    for (int Try = 0; Try < 10; ++Try) {
        const int Fd = ::open(Name.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644);
        if (Fd < 0) {
            // A folder that nobody may write (read-only media) cannot hold a
            // run either: a restore from it goes without the lock.
            if (errno == EACCES || errno == EROFS)
                return true;
            *Error = QStringLiteral("Cannot create the lock file \"%1\". %2").arg(Path, reason());
            return false;
        }
        if (::flock(Fd, LOCK_EX | LOCK_NB) != 0) {
            const bool Held = errno == EWOULDBLOCK;
            *Error = Held ? QString() : QStringLiteral("Cannot lock \"%1\". %2").arg(Path, reason());
            ::close(Fd);
            if (Held) {
                const QString Holder = RunLockHolder(BackupFolder);
                *Error = InUse(BackupFolder, Holder.isEmpty() ? HolderSentence(QByteArray()) : Holder);
            }
            return false;
        }
        struct stat Held, Named;
        if (::fstat(Fd, &Held) == 0 && ::stat(Name.constData(), &Named) == 0 && Held.st_ino == Named.st_ino
            && Held.st_dev == Named.st_dev) {
            const QByteArray Text = Description(Operation);
            if (::ftruncate(Fd, 0) != 0 || ::write(Fd, Text.constData(), size_t(Text.size())) != Text.size()) {
                *Error = QStringLiteral("Cannot write the lock file \"%1\". %2").arg(Path, reason());
                ::unlink(Name.constData());
                ::close(Fd);
                return false;
            }
            FFd = Fd;
            FLockFile = Path;
            return true;
        }
        ::close(Fd);
    }
    *Error = QStringLiteral("Cannot lock \"%1\": it keeps being replaced.").arg(Path);
    return false;
}

bool TRunLock::LockTree(const QString &Tree, QString *Error)
{
    const int Fd = ::open(native(Tree).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (Fd < 0)
        return true; // a folder that cannot be opened is refused by the run itself
    if (::flock(Fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(Fd);
        *Error = QStringLiteral("Another replace run or restore is working on the folder \"%1\"; try again when it "
                                "has finished.").arg(Tree);
        return false;
    }
    FTreeFd = Fd;
    return true;
}

void TRunLock::LockTemporaryFolder(const QString &Folder)
{
    const int Fd = ::open(native(Folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (Fd >= 0 && ::flock(Fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(Fd);
        return;
    }
    FTempFd = Fd;
}

void TRunLock::Release()
{
    if (FFd >= 0) {
        // Removed while still held, and only when the name is still ours.
        struct stat Held, Named;
        const QByteArray Name = native(FLockFile);
        if (::fstat(FFd, &Held) == 0 && ::stat(Name.constData(), &Named) == 0 && Held.st_ino == Named.st_ino
            && Held.st_dev == Named.st_dev)
            ::unlink(Name.constData());
        ::close(FFd);
        FFd = -1;
    }
    for (int *Fd : {&FTreeFd, &FTempFd})
        if (*Fd >= 0) {
            ::close(*Fd);
            *Fd = -1;
        }
}

QString RunLockHolder(const QString &BackupFolder)
{
    const QByteArray Name = native(JoinPath(BackupFolder, LockFileName));
    const int Fd = ::open(Name.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (Fd < 0)
        return QString();
    if (::flock(Fd, LOCK_SH | LOCK_NB) == 0) {
        ::close(Fd); // nobody holds it: left by a run that ended
        return QString();
    }
    QByteArray Text(4096, '\0');
    const ssize_t N = ::read(Fd, Text.data(), size_t(Text.size()));
    ::close(Fd);
    Text.resize(N > 0 ? N : 0);
    return HolderSentence(Text);
}

void RemoveStaleTemporaryFolders(const QString &Prefix)
{
    const QDir Temp(QDir::tempPath());
    const uid_t Me = ::geteuid();
    const QDateTime Old = QDateTime::currentDateTime().addSecs(-60);
    for (const QFileInfo &Info : Temp.entryInfoList({Prefix + u'*'}, QDir::Dirs | QDir::NoSymLinks | QDir::Hidden)) {
        if (Info.ownerId() != Me || Info.lastModified() > Old)
            continue;
        const int Fd = ::open(native(Info.filePath()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOFOLLOW);
        if (Fd < 0)
            continue;
        if (::flock(Fd, LOCK_EX | LOCK_NB) == 0)
            DeleteFolder(Info.filePath()); // held while it is removed
        ::close(Fd);
    }
}

#else // Q_OS_WIN

namespace {
// The lock covers one byte far beyond the description, so that others can
// read the description while it is held.
constexpr DWORD LockOffsetHigh = 1;
} // namespace

bool TRunLock::LockBackupFolder(const QString &BackupFolder, const QString &Operation, QString *Error)
{
    const QString Path = JoinPath(BackupFolder, LockFileName);
    HANDLE H = ::CreateFileW(reinterpret_cast<LPCWSTR>(Path.utf16()), GENERIC_READ | GENERIC_WRITE,
                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    if (H == INVALID_HANDLE_VALUE) {
        *Error = QStringLiteral("Cannot create the lock file \"%1\".").arg(Path);
        return false;
    }
    OVERLAPPED At = {};
    At.OffsetHigh = LockOffsetHigh;
    if (!::LockFileEx(H, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &At)) {
        ::CloseHandle(H);
        const QString Holder = RunLockHolder(BackupFolder);
        *Error = InUse(BackupFolder, Holder.isEmpty() ? HolderSentence(QByteArray()) : Holder);
        return false;
    }
    const QByteArray Text = Description(Operation);
    DWORD Written = 0;
    ::SetFilePointer(H, 0, nullptr, FILE_BEGIN);
    ::SetEndOfFile(H);
    ::WriteFile(H, Text.constData(), DWORD(Text.size()), &Written, nullptr);
    FHandle = H;
    FLockFile = Path;
    return true;
}

namespace {

// Windows has no lock on a folder itself. A folder is locked instead through
// a named semaphore of one count whose name is derived from the folder's
// path in one letter case (the file system ignores the case): the system
// removes it with the last handle, so a killed run leaves no lock behind. A
// semaphore, not a mutex, because a mutex may be taken again by the thread
// that holds it.
HANDLE TakeFolderLock(const QString &Folder)
{
    // One name for every way of writing the folder: its canonical path, or
    // its clean absolute path while it does not exist.
    const QFileInfo Info(Folder);
    const QString Canonical = Info.canonicalFilePath();
    const QString Path = Canonical.isEmpty() ? QDir::cleanPath(Info.absoluteFilePath()) : Canonical;
    const QString Key = QStringLiteral("migwiz-folder-")
        + Sha256Hex(QDir::toNativeSeparators(Path).toCaseFolded().toUtf8());
    HANDLE H = ::CreateSemaphoreW(nullptr, 1, 1, reinterpret_cast<LPCWSTR>(Key.utf16()));
    if (!H)
        return INVALID_HANDLE_VALUE; // no lock to be had: the run goes on without it
    if (::WaitForSingleObject(H, 0) != WAIT_OBJECT_0) {
        ::CloseHandle(H);
        return nullptr;
    }
    return H;
}

void ReleaseFolderLock(void *&Handle)
{
    if (!Handle)
        return;
    ::ReleaseSemaphore(static_cast<HANDLE>(Handle), 1, nullptr);
    ::CloseHandle(static_cast<HANDLE>(Handle));
    Handle = nullptr;
}

} // namespace

bool TRunLock::LockTree(const QString &Tree, QString *Error)
{
    HANDLE H = TakeFolderLock(Tree);
    if (!H) {
        *Error = QStringLiteral("Another replace run or restore is working on the folder \"%1\"; try again when it "
                                "has finished.").arg(QDir::toNativeSeparators(Tree));
        return false;
    }
    if (H != INVALID_HANDLE_VALUE)
        FTreeHandle = H;
    return true;
}

void TRunLock::LockTemporaryFolder(const QString &Folder)
{
    HANDLE H = TakeFolderLock(Folder);
    if (H && H != INVALID_HANDLE_VALUE)
        FTempHandle = H;
}

void TRunLock::Release()
{
    if (FHandle) {
        ::CloseHandle(static_cast<HANDLE>(FHandle));
        FHandle = nullptr;
        QFile::remove(FLockFile);
    }
    ReleaseFolderLock(FTreeHandle);
    ReleaseFolderLock(FTempHandle);
}

QString RunLockHolder(const QString &BackupFolder)
{
    const QString Path = JoinPath(BackupFolder, LockFileName);
    HANDLE H = ::CreateFileW(reinterpret_cast<LPCWSTR>(Path.utf16()), GENERIC_READ,
                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    if (H == INVALID_HANDLE_VALUE)
        return QString();
    OVERLAPPED At = {};
    At.OffsetHigh = LockOffsetHigh;
    if (::LockFileEx(H, LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &At)) {
        ::UnlockFileEx(H, 0, 1, 0, &At);
        ::CloseHandle(H);
        return QString();
    }
    QByteArray Text(4096, '\0');
    DWORD Read = 0;
    ::ReadFile(H, Text.data(), DWORD(Text.size()), &Read, nullptr);
    ::CloseHandle(H);
    Text.resize(qsizetype(Read));
    return HolderSentence(Text);
}

void RemoveStaleTemporaryFolders(const QString &Prefix)
{
    // The system's temporary folder is the user's own here.
    const QDir Temp(QDir::tempPath());
    const QDateTime Old = QDateTime::currentDateTime().addSecs(-60);
    for (const QFileInfo &Info : Temp.entryInfoList({Prefix + u'*'}, QDir::Dirs | QDir::NoSymLinks | QDir::Hidden)) {
        if (Info.lastModified() > Old)
            continue;
        void *Lock = TakeFolderLock(Info.filePath());
        if (!Lock)
            continue; // a live run's
        DeleteFolder(Info.filePath()); // held while it is removed
        if (Lock != INVALID_HANDLE_VALUE)
            ReleaseFolderLock(Lock);
    }
}

#endif
