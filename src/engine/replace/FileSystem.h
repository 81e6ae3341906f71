// TFileSystem: the file operations through which a replace run and a restore
// change the disk. Every operation checks what the system answers and reports
// a failure with the path and the system's reason, so that nothing is renamed
// over an original after a write that did not reach the disk.
//
// The run reaches the disk only through this interface, so tests put a
// fault-injecting implementation in its place (a full disk, a failing rename
// or flush, a crash at a chosen replacement) without root and without
// mounting anything. The operations are small on purpose: a faster
// implementation (hard-linked backups, batched flushes, several threads) can
// take the real one's place without changing the run.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>

class QFile;

// What a replacement keeps of the file it replaces.
struct TFileAttributes
{
    bool Valid = false; // false: the file did not exist or could not be examined
    unsigned Mode = 0;  // permission bits
    unsigned Owner = 0;
    unsigned Group = 0;
    quint64 Device = 0; // the file system that holds the file
    // A new file that this process creates where it is written gets this
    // owner and group anyway, and the umask keeps this mode: it is created
    // with the mode, and neither owner nor permissions are changed after.
    bool CreatedAsIs = false;
    // What tells the file that was read from one saved since: its identity
    // on its file system, its size and its modification time.
    quint64 Inode = 0;
    qint64 Size = -1;
    qint64 ModifiedNs = 0;
};

// Whether Now (examined just before an original is replaced) is still the
// file that the run read (AsRead): the same file, neither renamed over nor
// written to since. Both must be valid.
bool IsSameFileAsRead(const TFileAttributes &Now, const TFileAttributes &AsRead);

// What a name is, without following a symbolic link.
enum class TFileKind { Missing, Regular, Folder, SymLink, Other /* FIFO, device, socket */ };

// One entry of a folder listing.
struct TFolderEntry
{
    QString Name;
    bool IsFolder = false;  // a folder, not reached through a symbolic link
    bool IsSymLink = false; // the entry itself is a symbolic link
    bool IsOther = false;   // a FIFO, a device or a socket
    // The name's bytes do not decode to Name and back (not valid in the
    // file-name encoding): Name cannot reach the file. ShownName shows the
    // undecodable bytes as \xNN.
    bool NameLost = false;
    QString ShownName;
};

class TFileSystem
{
public:
    virtual ~TFileSystem() = default;

    // Reads the whole file, and where asked its attributes (from the same
    // opening). False, with *Error naming it, when it cannot, and for
    // anything but a regular file: a FIFO, device or socket is refused
    // without waiting for it or reading from it.
    virtual bool ReadFile(const QString &Path, QByteArray &Bytes, QString *Error,
                          TFileAttributes *Attributes = nullptr);
    // Creates Path anew (it must not exist), writes Bytes, gives it the
    // permissions (and, where the process may set them, the owner and group)
    // of Attributes when they are valid, flushes it to disk and closes it.
    // Each step is checked; on failure the partial file is removed and
    // *Error names the path and the system's reason.
    virtual bool WriteNewFile(const QString &Path, QByteArrayView Bytes, const TFileAttributes &Attributes,
                              QString *Error);
    // WriteNewFile without the flush: for files that a later SyncFileSystem
    // makes durable together, before anything depends on them.
    virtual bool WriteUnflushedFile(const QString &Path, QByteArrayView Bytes, const TFileAttributes &Attributes,
                                    QString *Error);
    // Makes NewName a second name (hard link) of the file Existing. False,
    // with *Error, where the file system has no hard links, Existing sits on
    // another one, or NewName exists; the caller then copies.
    virtual bool LinkFile(const QString &Existing, const QString &NewName, QString *Error);
    // Flushes everything written to the file system that holds Path (files,
    // their data and folder entries) to disk, in one step for the whole
    // file system.
    virtual bool SyncFileSystem(const QString &Path, QString *Error);
    // Renames From over To (replacing To) in one step.
    virtual bool Rename(const QString &From, const QString &To, QString *Error);
    // Renames a fully written temporary file over an original: the one step
    // in which an original of the user changes. Rename, unless a test build
    // watches these steps.
    virtual bool ReplaceOriginal(const QString &Temporary, const QString &Original, QString *Error);
    // Flushes a folder's entries (after a rename or a creation in it).
    virtual bool SyncFolder(const QString &Folder, QString *Error);
    // Whether this process may create and rename entries in Folder (write
    // and search permission); its attributes in *FolderAttributes (the
    // sticky bit among its mode bits). False, with *Error naming the folder
    // and the reason.
    virtual bool MayWriteFolder(const QString &Folder, TFileAttributes &FolderAttributes, QString *Error);
    // What Path names, without following a symbolic link.
    virtual TFileKind Kind(const QString &Path);
    // Removes a file (not a folder); true when it is gone.
    virtual bool RemoveFile(const QString &Path);
    // The permissions, owner, group and device of the file that Path names (through
    // a symbolic link); not Valid when there is none.
    virtual TFileAttributes Attributes(const QString &Path);
    // The entries of a folder (without "." and ".."), sorted by name as
    // QDir::Name sorts them. False, with *Error naming the folder and the
    // reason, when the folder cannot be read (no permission, a path too long
    // for the system, not a folder).
    virtual bool ListFolder(const QString &Folder, QList<TFolderEntry> &Entries, QString *Error);
};

// The real file system of the process.
TFileSystem &DefaultFileSystem();

// Whether this system's file names differ when only their letter case does:
// true on Linux and other case-sensitive systems, false on Windows and macOS.
bool FileNamesAreCaseSensitive();
// How file names compare here (Qt::CaseSensitive where FileNamesAreCaseSensitive).
Qt::CaseSensitivity FileNameCase();
// A key under which two names of one file are equal: the path itself where
// names are case-sensitive, its lower-case form elsewhere.
QString FileNameKey(const QString &Path);

// The temporary file beside Target through which it is replaced: a fixed
// name (".Main.pas.migwiz~"), so that one left behind by a killed run is
// known and removed. Where that name would be too long for the file system,
// a short one made from a checksum of Target's name (".3f2a...migwiz~").
QString TemporaryNameBeside(const QString &Target);
// Path itself when its file name fits the file system's limit of 255
// bytes; otherwise the name shortened, with a checksum of the whole name
// before its extension so that two long names stay apart.
QString FitFileName(const QString &Path);

// Replaces Target by a file holding Bytes: written to a temporary file beside
// Target with Target's permissions, owner and group (where the process may
// set them), flushed, and renamed over Target through ReplaceOriginal. A
// missing Target is created the same way. A read-only Target (no write
// permission for anybody) is refused. On failure Target is untouched, the
// temporary file is gone and *Error names the path and the reason.
bool ReplaceFileContents(TFileSystem &Fs, const QString &Target, QByteArrayView Bytes, QString *Error);
// The same for a file of the run's own (the undo file, the run record):
// through Rename, not ReplaceOriginal.
bool WriteFileAtomically(TFileSystem &Fs, const QString &Path, QByteArrayView Bytes, QString *Error);

// Whether *Error, set by a Rename, says that From and To are on different
// file systems (a bind mount of the same device, for instance).
bool IsCrossDeviceError(const QString &Error);

// Creates Path anew (truncating an existing file) and opens File on it for
// writing, never through a symbolic link: a link of that name is refused,
// and *Error says so, naming it; so is a file with a second name (hard
// link), which would be emptied under that name too, and anything but a
// regular file. For the log and the report, which nobody backs up.
bool CreateFileNoFollow(QFile &File, const QString &Path, QString *Error);

// The SHA-256 of Bytes in lower-case hexadecimal.
QString Sha256Hex(QByteArrayView Bytes);
