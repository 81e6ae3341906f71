// Path and folder functions of a replace run: building paths, naming backup
// files, creating the backup and temporary folders, copying the converted tree
// back and removing the temporary folder. Plain functions without state.
//
// Paths use the native separator and are built as strings; "." and ".." parts
// are not resolved. The folder-removing functions never touch anything outside
// the folder they are given: symbolic links are removed, never followed.
#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

#include <mutex>

// The native path separator: '\' on Windows, '/' elsewhere.
#ifdef Q_OS_WIN
inline constexpr QChar PathDelim = u'\\';
#else
inline constexpr QChar PathDelim = u'/';
#endif

// Folder + separator + Name. A separator is added only when Folder is not
// empty and does not end with one; a leading separator of a Name of two or
// more characters is dropped. An empty Name yields Folder with a trailing
// separator; an empty Folder yields Name.
QString JoinPath(const QString &Folder, const QString &Name);

// The backup name of a file: its extension becomes ".~" followed by the old
// extension without its dot ("Main.pas" -> "Main.~pas"); a file without
// extension gets ".~" ("README" -> "README.~"). Letter case is kept.
QString BackupFileName(const QString &Path);

// Creates Path and every missing parent. True when each folder along the path
// exists as a folder afterwards. A path ending with a separator stops after
// its last folder. On POSIX a leading "/" is the root; on Windows a drive root
// ("C:\") needs no creation and a path starting with "\" fails.
bool ForceFolders(const QString &Path);

// Creates a new folder named Prefix (at most 3 characters) + Counter in
// hexadecimal (upper case, no leading zeros) in the system's temporary folder,
// counting up from Counter past every name that exists already ("$DS", 1 ->
// "$DS1", or "$DS3" when $DS1 and $DS2 exist). The folder is readable by its
// owner only. Returns its path, or an empty string when no folder was made.
QString AllocTempFolder(const QString &Prefix, unsigned Counter);
// The same in the folder Base instead of the system's temporary folder.
QString AllocTempFolder(const QString &Base, const QString &Prefix, unsigned Counter);

// Removes everything inside Folder; failures are ignored. Symbolic links are
// removed themselves, never their targets. Does nothing for an empty name, for
// a root ("/", a drive root) and for a Folder that is itself a symbolic link.
void ClearFolder(const QString &Folder);

// ClearFolder, then removes Folder itself; true when Folder was removed.
// False, with nothing removed, in the cases where ClearFolder does nothing.
bool DeleteFolder(const QString &Folder);

// Copies the tree below Source onto Target, entries in name order: folders
// are created as needed, files replace those of the same name (each one in a
// single step, see ReplaceFileAtomically), files of Target that Source lacks
// stay. A folder that cannot be created, or a file that cannot be copied,
// ends the copying of the remaining entries of the folder it is in. Symbolic
// links to folders are not followed. Always returns true.
bool CopyFolder(const QString &Source, const QString &Target);

// The folder that holds Path ("." for a bare name), with native separators.
// Qt answers with "/" on every system; the run's paths keep the native one.
QString FolderOf(const QString &Path);
// Path without "." and ".." parts and doubled separators, with native
// separators.
QString CleanPath(const QString &Path);
// The length of Path's root, which needs no creation and has no parent: "/"
// on POSIX; on Windows "C:\", "C:", "\\server\share\" (either separator),
// or "\" for a path from the current drive's root. 0 for a relative path.
qsizetype RootLength(const QString &Path);
// Whether Path lies below Folder, both clean absolute paths taken as they
// are written (no link resolved), in native or "/" separators (Qt's
// canonical paths use "/" on every system), compared as the file system
// compares names.
bool IsBelow(const QString &Path, const QString &Folder);

// Whether the file Path is inside the folder Folder (at any depth), both
// resolved through links to their real paths, compared as the file system
// compares names and whichever separators they were written with. False
// when either does not exist.
bool IsInsideFolder(const QString &Path, const QString &Folder);

// Converts the backslashes of a path taken from a Delphi source (a project's
// "in '..\Lib\Unit1.pas'" entry) into the native separator.
QString NativePath(const QString &Path);

// Delphi projects come from case-insensitive file systems. When Path does not
// exist as written, each missing component (from the deepest existing ancestor
// on) is replaced by the folder entry whose name matches it without regard to
// case; the real path is returned when every component was found, Path
// unchanged otherwise. A Path that exists as written is returned unchanged.
QString ResolvePathCase(const QString &Path);

// Replaces Target by a copy of Source in one step: the copy is written to a
// temporary file beside Target, given Target's permissions (and owner and
// group where the process may set them), each write checked, flushed to disk
// and renamed over Target (see ReplaceFileContents in FileSystem.h). On failure Target is untouched, the temporary file
// is removed, and *Error (when given) names the path and the reason.
bool ReplaceFileAtomically(const QString &Source, const QString &Target, QString *Error);

// Copies Source to Target, replacing an existing file (backup copies). False
// when Source cannot be read, Target cannot be replaced or both name the same
// file; a failure never removes Source.
bool CopyFileReplacing(const QString &Source, const QString &Target);

// The path of an existing file that Path names when letter case is ignored
// (Path itself when it exists), or an empty text. Where several names
// differ from it only in letter case, the one whose name before the
// extension is spelled as asked; EFileError when that leaves more than one.
// Each folder is listed once and kept, so a folder of thousands of units is
// listed once per index; safe on any thread.
class TFileNameIndex
{
public:
    QString Find(const QString &Path);

private:
    // Folder -> lower-case name -> the names of the folder that have it.
    QHash<QString, QHash<QString, QStringList>> FFolders;
    std::mutex FLock;
};
