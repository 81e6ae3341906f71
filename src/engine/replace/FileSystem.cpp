#include "FileSystem.h"

#include "FileUtils.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <new>
#include <cerrno>
#include <cstring>

#include <openssl/evp.h>

#ifdef Q_OS_WIN
#include <QDir>
#include "WindowsApi.h"
#include <string>
#else
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

void setError(QString *Error, const QString &Message)
{
    if (Error)
        *Error = Message;
}

#ifndef Q_OS_WIN
QString systemReason(int Code)
{
    return QString::fromLocal8Bit(std::strerror(Code));
}

QByteArray native(const QString &Path)
{
    return QFile::encodeName(Path);
}

// Writes all of Bytes, retrying after interruptions; false with errno set
// when the system refuses (ENOSPC on a full disk, EIO, ...).
bool writeAll(int Fd, QByteArrayView Bytes)
{
    const char *Data = Bytes.data();
    qsizetype Left = Bytes.size();
    while (Left > 0) {
        const ssize_t Written = ::write(Fd, Data, size_t(std::min<qsizetype>(Left, 1 << 30)));
        if (Written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (Written == 0) {
            errno = EIO;
            return false;
        }
        Data += Written;
        Left -= Written;
    }
    return true;
}

void fillAttributes(const struct stat &St, TFileAttributes &Attributes)
{
    Attributes = TFileAttributes();
    Attributes.Valid = true;
    Attributes.Mode = unsigned(St.st_mode & 07777);
    Attributes.Owner = unsigned(St.st_uid);
    Attributes.Group = unsigned(St.st_gid);
    Attributes.Device = quint64(St.st_dev);
    Attributes.Inode = quint64(St.st_ino);
    Attributes.Size = qint64(St.st_size);
    Attributes.ModifiedNs = qint64(St.st_mtim.tv_sec) * 1000000000 + St.st_mtim.tv_nsec;
}
#endif

} // namespace

bool IsSameFileAsRead(const TFileAttributes &Now, const TFileAttributes &AsRead)
{
    return Now.Valid && AsRead.Valid && Now.Device == AsRead.Device && Now.Inode == AsRead.Inode
        && Now.Size == AsRead.Size && Now.ModifiedNs == AsRead.ModifiedNs;
}

#ifdef Q_OS_WIN
bool TFileSystem::ReadFile(const QString &Path, QByteArray &Bytes, QString *Error, TFileAttributes *Attributes)
{
    QFile File(Path);
    if (!File.open(QIODevice::ReadOnly)) {
        setError(Error, QStringLiteral("Cannot open file \"%1\". %2").arg(Path, File.errorString()));
        return false;
    }
    Bytes = File.readAll();
    if (File.error() != QFileDevice::NoError) {
        setError(Error, QStringLiteral("Cannot read file \"%1\". %2").arg(Path, File.errorString()));
        return false;
    }
    if (Attributes)
        *Attributes = TFileSystem::Attributes(Path); // of the file read, as the POSIX branch answers
    return true;
}
#endif

#ifndef Q_OS_WIN

bool TFileSystem::ReadFile(const QString &Path, QByteArray &Bytes, QString *Error, TFileAttributes *Attributes)
{
    // By hand rather than through QFile: open, one fstat for the size, the
    // reads up to the end, close; the run reads every file of a tree.
    // O_NONBLOCK: opening a FIFO does not wait for a writer; it is then
    // refused, like a device, before anything is read from it.
    const int Fd = ::open(native(Path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (Fd < 0) {
        setError(Error, QStringLiteral("Cannot open file \"%1\". %2").arg(Path, systemReason(errno)));
        return false;
    }
    struct stat St;
    const bool Stat = ::fstat(Fd, &St) == 0;
    if (!Stat || !S_ISREG(St.st_mode)) {
        const int Code = !Stat ? errno : S_ISDIR(St.st_mode) ? EISDIR : 0;
        ::close(Fd);
        setError(Error, Code != 0 ? QStringLiteral("Cannot open file \"%1\". %2").arg(Path, systemReason(Code))
                                  : QStringLiteral("Cannot read file \"%1\". It is not a regular file (a FIFO, a "
                                                   "device or a socket) and is not read.").arg(Path));
        return false;
    }
    // One byte more than the size, so that a file that grew is read whole
    // and the end is seen without a further call in the usual case.
    Bytes.resize(qsizetype(St.st_size > 0 ? St.st_size : 0) + 1);
    qsizetype Got = 0;
    for (;;) {
        if (Got == Bytes.size())
            Bytes.resize(Bytes.size() * 2);
        const ssize_t N = ::read(Fd, Bytes.data() + Got, size_t(Bytes.size() - Got));
        if (N < 0) {
            if (errno == EINTR)
                continue;
            const int Code = errno;
            ::close(Fd);
            Bytes.clear();
            setError(Error, QStringLiteral("Cannot read file \"%1\". %2").arg(Path, systemReason(Code)));
            return false;
        }
        Got += N;
        // A regular file reads short only at its end.
        if (N == 0 || Got < Bytes.size())
            break;
    }
    ::close(Fd);
    Bytes.resize(Got);
    if (Attributes)
        fillAttributes(St, *Attributes);
    return true;
}

namespace {

bool writeNewFile(const QString &Path, QByteArrayView Bytes, const TFileAttributes &Attributes, bool Flush,
                  QString *Error)
{
    const QByteArray Name = native(Path);
    // A file that takes an original's attributes is private until it has
    // them; any other gets the usual permissions (less the umask).
    const bool AsIs = Attributes.Valid && Attributes.CreatedAsIs;
    const int Fd = ::open(Name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW,
                          AsIs ? mode_t(Attributes.Mode & 0777) : Attributes.Valid ? 0600 : 0666);
    if (Fd < 0) {
        setError(Error, QStringLiteral("Cannot create file \"%1\". %2").arg(Path, systemReason(errno)));
        return false;
    }
    auto fail = [&](const char *What) {
        const int Code = errno;
        ::close(Fd);
        ::unlink(Name.constData());
        setError(Error, QStringLiteral("%1 \"%2\". %3").arg(QLatin1String(What), Path, systemReason(Code)));
        return false;
    };
    if (!writeAll(Fd, Bytes))
        return fail("Cannot write file");
    if (Attributes.Valid && !AsIs) {
        // The owner and group first: changing them may clear the set-id bits
        // that the mode then sets again. Only root may give a file away, so
        // a refusal is no failure; the permissions must take.
        if (::fchown(Fd, uid_t(Attributes.Owner), gid_t(Attributes.Group)) != 0 && errno != EPERM)
            return fail("Cannot set the owner of file");
        if (::fchmod(Fd, mode_t(Attributes.Mode & 07777)) != 0)
            return fail("Cannot set the permissions of file");
    }
    if (Flush && ::fsync(Fd) != 0)
        return fail("Cannot flush file");
    if (::close(Fd) != 0) {
        const int Code = errno;
        ::unlink(Name.constData());
        setError(Error, QStringLiteral("Cannot write file \"%1\". %2").arg(Path, systemReason(Code)));
        return false;
    }
    return true;
}

} // namespace

bool TFileSystem::LinkFile(const QString &Existing, const QString &NewName, QString *Error)
{
    if (::link(native(Existing).constData(), native(NewName).constData()) != 0) {
        setError(Error,
                 QStringLiteral("Cannot link \"%1\" to \"%2\". %3").arg(NewName, Existing, systemReason(errno)));
        return false;
    }
    return true;
}

bool TFileSystem::SyncFileSystem(const QString &Path, QString *Error)
{
    const int Fd = ::open(native(Path).constData(), O_RDONLY | O_CLOEXEC);
#ifdef Q_OS_LINUX
    // syncfs reports the write errors of the file system since Linux 5.8.
    const bool Ok = Fd >= 0 && ::syncfs(Fd) == 0;
#else
    ::sync();
    const bool Ok = Fd >= 0;
#endif
    const int Code = errno;
    if (Fd >= 0)
        ::close(Fd);
    if (!Ok) {
        setError(Error, QStringLiteral("Cannot flush the file system of \"%1\". %2").arg(Path, systemReason(Code)));
        return false;
    }
    return true;
}

bool TFileSystem::Rename(const QString &From, const QString &To, QString *Error)
{
    if (::rename(native(From).constData(), native(To).constData()) != 0) {
        setError(Error, QStringLiteral("Cannot rename \"%1\" to \"%2\". %3").arg(From, To, systemReason(errno)));
        return false;
    }
    return true;
}

bool TFileSystem::SyncFolder(const QString &Folder, QString *Error)
{
    const int Fd = ::open(native(Folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (Fd < 0 || ::fsync(Fd) != 0) {
        const int Code = errno;
        if (Fd >= 0)
            ::close(Fd);
        setError(Error, QStringLiteral("Cannot flush folder \"%1\". %2").arg(Folder, systemReason(Code)));
        return false;
    }
    ::close(Fd);
    return true;
}

bool TFileSystem::RemoveFile(const QString &Path)
{
    return ::unlink(native(Path).constData()) == 0 || errno == ENOENT;
}

TFileAttributes TFileSystem::Attributes(const QString &Path)
{
    TFileAttributes Result;
    struct stat St;
    if (::stat(native(Path).constData(), &St) == 0)
        fillAttributes(St, Result);
    return Result;
}

TFileKind TFileSystem::Kind(const QString &Path)
{
    struct stat St;
    if (::lstat(native(Path).constData(), &St) != 0)
        return TFileKind::Missing;
    return S_ISREG(St.st_mode) ? TFileKind::Regular
        : S_ISDIR(St.st_mode)  ? TFileKind::Folder
        : S_ISLNK(St.st_mode)  ? TFileKind::SymLink
                               : TFileKind::Other;
}

bool TFileSystem::MayWriteFolder(const QString &Folder, TFileAttributes &FolderAttributes, QString *Error)
{
    const QByteArray Name = native(Folder);
    struct stat St;
    if (::access(Name.constData(), W_OK | X_OK) != 0 || ::stat(Name.constData(), &St) != 0) {
        setError(Error, QStringLiteral("The folder \"%1\" may not be written. %2").arg(Folder, systemReason(errno)));
        return false;
    }
    fillAttributes(St, FolderAttributes);
    FolderAttributes.Mode = unsigned(St.st_mode & 07777);
    return true;
}

bool TFileSystem::ListFolder(const QString &Folder, QList<TFolderEntry> &Entries, QString *Error)
{
    Entries.clear();
    const QByteArray Name = native(Folder);
    DIR *Dir = ::opendir(Name.constData());
    if (!Dir) {
        setError(Error, QStringLiteral("Cannot read folder \"%1\". %2").arg(Folder, systemReason(errno)));
        return false;
    }
    for (;;) {
        errno = 0;
        const dirent *Entry = ::readdir(Dir);
        if (!Entry) {
            if (errno != 0) {
                const int Code = errno;
                ::closedir(Dir);
                setError(Error, QStringLiteral("Cannot read folder \"%1\". %2").arg(Folder, systemReason(Code)));
                return false;
            }
            break;
        }
        if (std::strcmp(Entry->d_name, ".") == 0 || std::strcmp(Entry->d_name, "..") == 0)
            continue;
        TFolderEntry Item;
        Item.Name = QFile::decodeName(Entry->d_name);
        if (QFile::encodeName(Item.Name) != QByteArrayView(Entry->d_name)) {
            Item.NameLost = true;
            for (const char *C = Entry->d_name; *C; ++C) {
                const unsigned char B = static_cast<unsigned char>(*C);
                Item.ShownName += B >= 0x20 && B < 0x7F ? QString(QChar(B)) : QStringLiteral("\\x%1").arg(B, 2, 16, QChar(u'0'));
            }
        }
        unsigned char Type = Entry->d_type;
        if (Type == DT_UNKNOWN) {
            struct stat St;
            const QByteArray Child = Name + '/' + Entry->d_name;
            if (::lstat(Child.constData(), &St) == 0)
                Type = S_ISLNK(St.st_mode) ? DT_LNK : S_ISDIR(St.st_mode) ? DT_DIR : S_ISREG(St.st_mode) ? DT_REG : DT_FIFO;
        }
        Item.IsSymLink = Type == DT_LNK;
        Item.IsFolder = Type == DT_DIR;
        Item.IsOther = !Item.IsSymLink && !Item.IsFolder && Type != DT_REG;
        Entries.append(Item);
    }
    ::closedir(Dir);
    std::sort(Entries.begin(), Entries.end(),
              [](const TFolderEntry &A, const TFolderEntry &B) { return A.Name.compare(B.Name) < 0; });
    return true;
}

#else // Q_OS_WIN: the same contracts through the Win32 calls.

namespace {

std::wstring wide(const QString &Path)
{
    return QDir::toNativeSeparators(Path).toStdWString();
}

// The system's text for the last error of this thread.
QString lastReason()
{
    const DWORD Code = GetLastError();
    wchar_t *Text = nullptr;
    const DWORD Size = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM
                                          | FORMAT_MESSAGE_IGNORE_INSERTS,
                                      nullptr, Code, 0, reinterpret_cast<wchar_t *>(&Text), 0, nullptr);
    QString Reason = Size ? QString::fromWCharArray(Text, int(Size)).trimmed()
                          : QStringLiteral("Error %1.").arg(Code);
    LocalFree(Text);
    return Reason;
}

bool writeNewFile(const QString &Path, QByteArrayView Bytes, const TFileAttributes &Attributes, bool Flush,
                  QString *Error)
{
    const std::wstring Name = wide(Path);
    // CREATE_NEW: never through an existing file (or a link) of that name.
    const HANDLE File = CreateFileW(Name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                                    nullptr);
    if (File == INVALID_HANDLE_VALUE) {
        setError(Error, QStringLiteral("Cannot create file \"%1\". %2").arg(Path, lastReason()));
        return false;
    }
    auto fail = [&](const char *What) {
        const QString Reason = lastReason();
        CloseHandle(File);
        DeleteFileW(Name.c_str());
        setError(Error, QStringLiteral("%1 \"%2\". %3").arg(QLatin1String(What), Path, Reason));
        return false;
    };
    const char *Data = Bytes.data();
    qsizetype Left = Bytes.size();
    while (Left > 0) {
        DWORD Written = 0;
        if (!WriteFile(File, Data, DWORD(std::min<qsizetype>(Left, 1 << 30)), &Written, nullptr))
            return fail("Cannot write file");
        if (Written == 0) {
            SetLastError(ERROR_WRITE_FAULT);
            return fail("Cannot write file");
        }
        Data += Written;
        Left -= Written;
    }
    if (Flush && !FlushFileBuffers(File))
        return fail("Cannot flush file");
    if (!CloseHandle(File)) {
        const QString Reason = lastReason();
        DeleteFileW(Name.c_str());
        setError(Error, QStringLiteral("Cannot write file \"%1\". %2").arg(Path, Reason));
        return false;
    }
    // Windows files have no owner or permission bits to give; a read-only
    // original is refused before it is replaced, so no copy of its read-only
    // attribute is made (it would only keep the temporary folder from being
    // removed).
    Q_UNUSED(Attributes);
    return true;
}

} // namespace

bool TFileSystem::Rename(const QString &From, const QString &To, QString *Error)
{
    // One step that replaces To; it fails (and To stays) where another
    // program holds To open without letting it be deleted.
    if (!MoveFileExW(wide(From).c_str(), wide(To).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        setError(Error, QStringLiteral("Cannot rename \"%1\" to \"%2\". %3").arg(From, To, lastReason()));
        return false;
    }
    return true;
}

bool TFileSystem::SyncFolder(const QString &, QString *)
{
    return true; // MOVEFILE_WRITE_THROUGH has flushed the rename
}

bool TFileSystem::LinkFile(const QString &Existing, const QString &NewName, QString *Error)
{
    // A second name of a read-only file could only be removed by clearing
    // the attribute, which the file's other name shares: such a file is not
    // linked, and the caller copies it instead.
    const DWORD Attributes = GetFileAttributesW(wide(Existing).c_str());
    if (Attributes != INVALID_FILE_ATTRIBUTES && (Attributes & FILE_ATTRIBUTE_READONLY)) {
        setError(Error, QStringLiteral("Cannot link \"%1\" to \"%2\". The file is read-only.").arg(NewName, Existing));
        return false;
    }
    if (!CreateHardLinkW(wide(NewName).c_str(), wide(Existing).c_str(), nullptr)) {
        setError(Error, QStringLiteral("Cannot link \"%1\" to \"%2\". %3").arg(NewName, Existing, lastReason()));
        return false;
    }
    return true;
}

bool TFileSystem::SyncFileSystem(const QString &, QString *)
{
    return true; // every file was flushed when it was written
}

bool TFileSystem::RemoveFile(const QString &Path)
{
    const std::wstring Name = wide(Path);
    if (DeleteFileW(Name.c_str()))
        return true;
    const DWORD Code = GetLastError();
    return Code == ERROR_FILE_NOT_FOUND || Code == ERROR_PATH_NOT_FOUND;
}

TFileAttributes TFileSystem::Attributes(const QString &Path)
{
    TFileAttributes Result;
    // Opened without access rights, only to ask; folders need the backup
    // flag to be opened at all.
    const HANDLE File = CreateFileW(wide(Path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (File == INVALID_HANDLE_VALUE)
        return Result;
    BY_HANDLE_FILE_INFORMATION Info;
    const bool Ok = GetFileInformationByHandle(File, &Info);
    CloseHandle(File);
    if (!Ok)
        return Result;
    Result.Valid = true;
    // The read-only attribute as permission bits: no write bits when set.
    Result.Mode = (Info.dwFileAttributes & FILE_ATTRIBUTE_READONLY) ? 0444 : 0666;
    // The volume: a rename works only within one.
    Result.Device = Info.dwVolumeSerialNumber;
    // The file's identity on its volume, its size and its last write (in
    // 100 ns steps since 1601, made nanoseconds since 1970).
    Result.Inode = (quint64(Info.nFileIndexHigh) << 32) | Info.nFileIndexLow;
    Result.Size = qint64((quint64(Info.nFileSizeHigh) << 32) | Info.nFileSizeLow);
    const qint64 Ticks = qint64((quint64(Info.ftLastWriteTime.dwHighDateTime) << 32) | Info.ftLastWriteTime.dwLowDateTime);
    Result.ModifiedNs = (Ticks - 116444736000000000LL) * 100;
    return Result;
}

TFileKind TFileSystem::Kind(const QString &Path)
{
    const QFileInfo Info(Path);
    if (Info.isSymLink() || Info.isJunction())
        return TFileKind::SymLink;
    if (!Info.exists())
        return TFileKind::Missing;
    return Info.isDir() ? TFileKind::Folder : Info.isFile() ? TFileKind::Regular : TFileKind::Other;
}

bool TFileSystem::MayWriteFolder(const QString &Folder, TFileAttributes &FolderAttributes, QString *Error)
{
    FolderAttributes = Attributes(Folder);
    if (!QFileInfo(Folder).isWritable()) {
        setError(Error, QStringLiteral("The folder \"%1\" may not be written.").arg(Folder));
        return false;
    }
    return true;
}

bool TFileSystem::ListFolder(const QString &Folder, QList<TFolderEntry> &Entries, QString *Error)
{
    Entries.clear();
    WIN32_FIND_DATAW Data;
    const HANDLE Find = FindFirstFileW(wide(JoinPath(Folder, QStringLiteral("*"))).c_str(), &Data);
    if (Find == INVALID_HANDLE_VALUE) {
        setError(Error, QStringLiteral("Cannot read folder \"%1\". %2").arg(Folder, lastReason()));
        return false;
    }
    do {
        const QString Name = QString::fromWCharArray(Data.cFileName);
        if (Name == u"." || Name == u"..")
            continue;
        // Symbolic links and junctions are reparse points.
        const bool Link = (Data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)
            && (Data.dwReserved0 == IO_REPARSE_TAG_SYMLINK || Data.dwReserved0 == IO_REPARSE_TAG_MOUNT_POINT);
        Entries.append({Name, (Data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && !Link, Link});
    } while (FindNextFileW(Find, &Data));
    const DWORD Code = GetLastError();
    FindClose(Find);
    if (Code != ERROR_NO_MORE_FILES) {
        SetLastError(Code);
        setError(Error, QStringLiteral("Cannot read folder \"%1\". %2").arg(Folder, lastReason()));
        return false;
    }
    std::sort(Entries.begin(), Entries.end(),
              [](const TFolderEntry &A, const TFolderEntry &B) { return A.Name.compare(B.Name) < 0; });
    return true;
}

#endif

bool TFileSystem::WriteNewFile(const QString &Path, QByteArrayView Bytes, const TFileAttributes &Attributes,
                               QString *Error)
{
    return writeNewFile(Path, Bytes, Attributes, true, Error);
}

bool TFileSystem::WriteUnflushedFile(const QString &Path, QByteArrayView Bytes, const TFileAttributes &Attributes,
                                     QString *Error)
{
    return writeNewFile(Path, Bytes, Attributes, false, Error);
}

bool TFileSystem::ReplaceOriginal(const QString &Temporary, const QString &Original, QString *Error)
{
    return Rename(Temporary, Original, Error);
}

bool IsCrossDeviceError(const QString &Error)
{
#ifdef Q_OS_WIN
    Q_UNUSED(Error);
    return false;
#else
    return Error.endsWith(systemReason(EXDEV));
#endif
}

TFileSystem &DefaultFileSystem()
{
    static TFileSystem Instance;
    return Instance;
}

bool FileNamesAreCaseSensitive()
{
#if defined(Q_OS_WIN) || defined(Q_OS_DARWIN)
    return false;
#else
    return true;
#endif
}

Qt::CaseSensitivity FileNameCase()
{
    return FileNamesAreCaseSensitive() ? Qt::CaseSensitive : Qt::CaseInsensitive;
}

QString FileNameKey(const QString &Path)
{
#ifdef Q_OS_WIN
    // One file, whichever letter case and separators name it.
    return QDir::toNativeSeparators(Path).toLower();
#else
    return FileNamesAreCaseSensitive() ? Path : Path.toLower();
#endif
}

namespace {
constexpr qsizetype MaxNameBytes = 255;

qsizetype NameBytes(const QString &Name)
{
#ifdef Q_OS_WIN
    return Name.size(); // UTF-16 units, the limit there
#else
    return QFile::encodeName(Name).size();
#endif
}
} // namespace

QString TemporaryNameBeside(const QString &Target)
{
    const QFileInfo Info(Target);
    const QString Name = u'.' + Info.fileName() + QStringLiteral(".migwiz~");
    if (NameBytes(Name) <= MaxNameBytes)
        return JoinPath(FolderOf(Target), Name);
    return JoinPath(FolderOf(Target), u'.' + Sha256Hex(Info.fileName().toUtf8()).left(32) + QStringLiteral(".migwiz~"));
}

QString FitFileName(const QString &Path)
{
    const QFileInfo Info(Path);
    const QString Name = Info.fileName();
    if (NameBytes(Name) <= MaxNameBytes)
        return Path;
    // Keep the extension (".~pas"), a checksum of the whole name and as much
    // of its start as fits.
    const qsizetype Dot = Name.lastIndexOf(u'.');
    const QString Ext = Dot > 0 && Name.size() - Dot <= 16 ? Name.mid(Dot) : QString();
    const QString Tail = u'~' + Sha256Hex(Name.toUtf8()).left(16) + Ext;
    QString Stem = Name.left(Name.size() - Ext.size());
    while (!Stem.isEmpty() && NameBytes(Stem + Tail) > MaxNameBytes)
        Stem.chop(Stem.size() >= 2 && Stem.at(Stem.size() - 1).isLowSurrogate() ? 2 : 1);
    return JoinPath(FolderOf(Path), Stem + Tail);
}

namespace {

bool replaceThroughTemporary(TFileSystem &Fs, const QString &Target, QByteArrayView Bytes, QString *Error,
                             bool Original)
{
    // A read-only original stays as it is, also for a user (root) whom the
    // file system would let replace it: read-only is what its owner chose.
    const TFileAttributes Attributes = Fs.Attributes(Target);
    if (Attributes.Valid && !(Attributes.Mode & 0222)) {
        setError(Error, QStringLiteral("Cannot replace \"%1\": the file is read-only").arg(Target));
        return false;
    }
    // The temporary file has a fixed name beside Target, so that one left by
    // a run that was killed is known and removed by the next write or by the
    // restore.
    const QString Temporary = TemporaryNameBeside(Target);
    Fs.RemoveFile(Temporary);
    QString Reason;
    if (!Fs.WriteNewFile(Temporary, Bytes, Attributes, &Reason)
        || !(Original ? Fs.ReplaceOriginal(Temporary, Target, &Reason) : Fs.Rename(Temporary, Target, &Reason))) {
        Fs.RemoveFile(Temporary);
        setError(Error, QStringLiteral("Cannot replace \"%1\": %2").arg(Target, Reason));
        return false;
    }
    // FIXME: one flush of the folder per replaced file; a batched pass over
    // the folders after the last rename would do.
    return Fs.SyncFolder(FolderOf(Target), Error);
}

} // namespace

bool ReplaceFileContents(TFileSystem &Fs, const QString &Target, QByteArrayView Bytes, QString *Error)
{
    return replaceThroughTemporary(Fs, Target, Bytes, Error, true);
}

bool WriteFileAtomically(TFileSystem &Fs, const QString &Path, QByteArrayView Bytes, QString *Error)
{
    return replaceThroughTemporary(Fs, Path, Bytes, Error, false);
}

bool CreateFileNoFollow(QFile &File, const QString &Path, QString *Error)
{
    const QString Link = QStringLiteral("Cannot create file \"%1\". It is a symbolic link; nothing is written "
                                        "through it.").arg(Path);
#ifdef Q_OS_WIN
    if (QFileInfo(Path).isSymLink()) {
        setError(Error, Link);
        return false;
    }
    File.setFileName(Path);
    if (!File.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        setError(Error, QStringLiteral("Cannot create file \"%1\". %2").arg(Path, File.errorString()));
        return false;
    }
    return true;
#else
    // O_NOFOLLOW makes the test and the opening one step; the file is
    // emptied only once it is known to be a regular file with one name.
    const int Fd = ::open(native(Path).constData(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK, 0666);
    if (Fd < 0) {
        const int Code = errno;
        setError(Error, Code == ELOOP ? Link
                                      : QStringLiteral("Cannot create file \"%1\". %2").arg(Path, systemReason(Code)));
        return false;
    }
    struct stat St;
    QString Refusal;
    if (::fstat(Fd, &St) != 0)
        Refusal = QStringLiteral("Cannot create file \"%1\". %2").arg(Path, systemReason(errno));
    else if (!S_ISREG(St.st_mode))
        Refusal = QStringLiteral("Cannot create file \"%1\". It is not a regular file; nothing is written to it.").arg(Path);
    else if (St.st_nlink > 1)
        Refusal = QStringLiteral("Cannot create file \"%1\". It has another name (a hard link); nothing is written "
                                 "through it.").arg(Path);
    else if (::ftruncate(Fd, 0) != 0)
        Refusal = QStringLiteral("Cannot create file \"%1\". %2").arg(Path, systemReason(errno));
    if (!Refusal.isEmpty()) {
        ::close(Fd);
        setError(Error, Refusal);
        return false;
    }
    if (!File.open(Fd, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle)) {
        ::close(Fd);
        setError(Error, QStringLiteral("Cannot create file \"%1\". %2").arg(Path, File.errorString()));
        return false;
    }
    return true;
#endif
}

QString Sha256Hex(QByteArrayView Bytes)
{
    // OpenSSL's digest rather than QCryptographicHash: it uses the
    // processor's SHA instructions and runs about ten times as fast, and a
    // run takes the checksum of every original and every converted file.
    unsigned char Digest[EVP_MAX_MD_SIZE];
    unsigned int Size = 0;
    if (EVP_Digest(Bytes.data(), size_t(Bytes.size()), Digest, &Size, EVP_sha256(), nullptr) != 1)
        throw std::bad_alloc(); // the digest fails only when it cannot allocate
    return QString::fromLatin1(QByteArray::fromRawData(reinterpret_cast<const char *>(Digest), int(Size)).toHex());
}
