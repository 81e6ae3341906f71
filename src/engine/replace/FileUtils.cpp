#include "FileUtils.h"

#include "Errors.h"

#include "FileSystem.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

bool isDelimiter(QChar C)
{
#ifdef Q_OS_WIN
    return C == u'\\' || C == u'/';
#else
    return C == PathDelim;
#endif
}

// True when something (also a dangling symbolic link) carries this name.
bool hasEntry(const QString &Path)
{
    const QFileInfo Info(Path);
    return Info.exists() || Info.isSymLink();
}

bool isLink(const QFileInfo &Info)
{
#ifdef Q_OS_WIN
    if (Info.isJunction())
        return true;
#endif
    return Info.isSymLink();
}

// A folder whose contents ClearFolder must leave alone: no name, not a folder,
// a link (its contents live elsewhere) or a root.
bool isProtectedFolder(const QString &Folder)
{
    if (Folder.isEmpty())
        return true;
    const QFileInfo Info(Folder);
    if (isLink(Info) || !Info.isDir())
        return true;
    const QString Canonical = Info.canonicalFilePath();
    return Canonical.isEmpty() || QDir(Canonical).isRoot();
}

constexpr QDir::Filters AllEntries = QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System;

void clearTree(const QString &Folder)
{
    const QFileInfoList Entries = QDir(Folder).entryInfoList(AllEntries, QDir::NoSort);
    for (const QFileInfo &Entry : Entries) {
        const QString Path = Entry.filePath();
        if (isLink(Entry)) {
            // The link goes, its target stays. A link to a folder is a
            // folder entry on Windows and needs rmdir there.
            if (!QFile::remove(Path))
                QDir().rmdir(Path);
        } else if (Entry.isDir()) {
            clearTree(Path);
            QDir().rmdir(Path);
        } else if (!QFile::remove(Path)) {
#ifdef Q_OS_WIN
            // Windows removes no file that has the read-only attribute (a
            // converted copy of a read-only original). The attribute is
            // cleared first: these folders hold no second name of a user's
            // file, since a read-only file is copied, never linked, there.
            QFile::setPermissions(Path, Entry.permissions() | QFile::WriteOwner | QFile::WriteUser);
            QFile::remove(Path);
#endif
        }
    }
}

void copyTree(const QString &Source, const QString &Target)
{
    const QFileInfoList Entries = QDir(Source).entryInfoList(AllEntries, QDir::Name | QDir::IgnoreCase);
    for (const QFileInfo &Entry : Entries) {
        const QString SourcePath = JoinPath(Source, Entry.fileName());
        const QString TargetPath = JoinPath(Target, Entry.fileName());
        if (Entry.isDir()) {
            if (isLink(Entry))
                continue;
            if (!QFileInfo(TargetPath).isDir() && !QDir().mkdir(TargetPath))
                return;
            copyTree(SourcePath, TargetPath);
        } else if (!ReplaceFileAtomically(SourcePath, TargetPath, nullptr)) {
            return;
        }
    }
}

// The entry of Folder whose name equals Name without regard to case; the
// first one in name order when several do. Empty when there is none.
QString findEntryIgnoringCase(const QString &Folder, const QString &Name)
{
    const QStringList Entries = QDir(Folder).entryList(AllEntries, QDir::Name);
    for (const QString &Entry : Entries) {
        if (QString::compare(Entry, Name, Qt::CaseInsensitive) == 0)
            return Entry;
    }
    return {};
}

} // namespace

QString JoinPath(const QString &Folder, const QString &Name)
{
    QString Result = Folder;
    if (!Result.isEmpty() && !isDelimiter(Result.back()))
        Result += PathDelim;
    if (Name.size() >= 2 && isDelimiter(Name.front()))
        Result += QStringView(Name).mid(1);
    else
        Result += Name;
    return Result;
}

QString BackupFileName(const QString &Path)
{
    // The extension starts at the last dot of the file name part.
    qsizetype Dot = -1;
    for (qsizetype I = Path.size() - 1; I >= 0; --I) {
        const QChar C = Path.at(I);
        if (C == u'.') {
            Dot = I;
            break;
        }
        if (isDelimiter(C))
            break;
#ifdef Q_OS_WIN
        if (C == u':')
            break;
#endif
    }
    if (Dot < 0)
        return Path + QStringLiteral(".~");
    return Path.left(Dot) + QStringLiteral(".~") + Path.mid(Dot + 1);
}

bool ForceFolders(const QString &Path)
{
    // A folder counts only when a folder stands there afterwards: a file of
    // that name is a failure, not an existing folder.
    auto makeFolder = [](const QString &Folder) {
        if (Folder.isEmpty())
            return false;
        QDir().mkdir(Folder);
        return QFileInfo(Folder).isDir();
    };
    // The root (a drive, a network share, "/") needs no creation. On Windows
    // a path from the current drive's root ("\\Backup") fails: its folder
    // depends on where the process happens to run.
    qsizetype Root = RootLength(Path);
#ifdef Q_OS_WIN
    if (Root == 1)
        Root = 0;
#endif
    if (Root > 0 && Root == Path.size())
        return true;
    for (qsizetype I = Root; I < Path.size(); ++I) {
        if (!isDelimiter(Path.at(I)))
            continue;
        if (!makeFolder(Path.left(I)))
            return false;
        if (I == Path.size() - 1)
            return true;
    }
    return makeFolder(Path);
}

QString AllocTempFolder(const QString &Prefix, unsigned Counter)
{
    return AllocTempFolder(QDir::toNativeSeparators(QDir::tempPath()), Prefix, Counter);
}

QString AllocTempFolder(const QString &Base, const QString &Prefix, unsigned Counter)
{
    if (Base.isEmpty())
        return {};
    // Names as the Windows temporary-name function forms them (prefix of up
    // to 3 characters, a 16-bit counter in hexadecimal), less the extension.
    const QString Stem = JoinPath(Base, Prefix.left(3));
    constexpr unsigned LastCounter = 0xFFFF;
    for (unsigned C = Counter == 0 ? 1 : Counter; C <= LastCounter; ++C) {
        const QString Candidate = Stem + QString::number(C, 16).toUpper();
        // mkdir is the test: it fails on any existing entry, also one made by
        // another process a moment ago, or a link planted in a shared folder.
        if (QDir().mkdir(Candidate, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner))
            return Candidate;
        if (!hasEntry(Candidate))
            return {};
    }
    return {};
}

void ClearFolder(const QString &Folder)
{
    if (isProtectedFolder(Folder))
        return;
    clearTree(Folder);
}

bool DeleteFolder(const QString &Folder)
{
    if (isProtectedFolder(Folder))
        return false;
    clearTree(Folder);
    return QDir().rmdir(Folder);
}

bool CopyFolder(const QString &Source, const QString &Target)
{
    copyTree(Source, Target);
    return true;
}

QString FolderOf(const QString &Path)
{
    return QDir::toNativeSeparators(QFileInfo(Path).path());
}

QString CleanPath(const QString &Path)
{
    return QDir::toNativeSeparators(QDir::cleanPath(Path));
}

qsizetype RootLength(const QString &Path)
{
#ifdef Q_OS_WIN
    const qsizetype N = Path.size();
    if (N >= 2 && Path.at(1) == u':' && Path.at(0).isLetter())
        return N >= 3 && isDelimiter(Path.at(2)) ? 3 : 2;
    if (N >= 2 && isDelimiter(Path.at(0)) && isDelimiter(Path.at(1))) {
        // \\server\share\: two names after the two separators.
        qsizetype I = 2;
        for (int Names = 0; Names < 2; ++Names) {
            while (I < N && !isDelimiter(Path.at(I)))
                ++I;
            if (I < N)
                ++I;
        }
        return I;
    }
    return N >= 1 && isDelimiter(Path.at(0)) ? 1 : 0;
#else
    return Path.startsWith(PathDelim) ? 1 : 0;
#endif
}

bool IsBelow(const QString &Path, const QString &Folder)
{
    if (Folder.isEmpty())
        return false;
    QString Prefix = QDir::fromNativeSeparators(Folder);
    if (!Prefix.endsWith(u'/'))
        Prefix += u'/';
    return QDir::fromNativeSeparators(Path).startsWith(Prefix, FileNameCase());
}

bool IsInsideFolder(const QString &Path, const QString &Folder)
{
    const QString RealPath = QFileInfo(Path).canonicalFilePath();
    const QString RealFolder = QFileInfo(Folder).canonicalFilePath();
    return !RealPath.isEmpty() && IsBelow(RealPath, RealFolder);
}

QString NativePath(const QString &Path)
{
#ifdef Q_OS_WIN
    return QDir::toNativeSeparators(Path);
#else
    QString Result = Path;
    Result.replace(u'\\', PathDelim);
    return Result;
#endif
}

QString ResolvePathCase(const QString &Path)
{
    if (Path.isEmpty() || hasEntry(Path))
        return Path;
    const QStringList Parts = NativePath(Path).split(PathDelim);
    QString Result;
    for (qsizetype K = 0; K < Parts.size(); ++K) {
        const QString &Part = Parts.at(K);
        // The folder that holds this component, as a path that names it.
        const QString Prefix = K == 0 ? QString() : Result + PathDelim;
        if (Part.isEmpty() || Part == u"." || Part == u"..") {
            Result = Prefix + Part;
            continue;
        }
        QString Candidate = Prefix + Part;
        if (!hasEntry(Candidate)) {
            const QString Match = findEntryIgnoringCase(K == 0 ? QStringLiteral(".") : Prefix, Part);
            if (Match.isEmpty())
                return Path;
            Candidate = Prefix + Match;
        }
        Result = Candidate;
    }
    return Result;
}

bool ReplaceFileAtomically(const QString &Source, const QString &Target, QString *Error)
{
    // Through the checked file layer: a write that fails (a full disk) never
    // reaches Target. (Qt's QSaveFile can report a commit as done after its
    // buffered write failed.)
    TFileSystem &Fs = DefaultFileSystem();
    QByteArray Bytes;
    if (!Fs.ReadFile(Source, Bytes, Error))
        return false;
    return ReplaceFileContents(Fs, Target, Bytes, Error);
}

bool CopyFileReplacing(const QString &Source, const QString &Target)
{
    const QFileInfo SourceInfo(Source);
    const QFileInfo TargetInfo(Target);
    if (!SourceInfo.isFile())
        return false;
    // Copying a file onto itself would delete it below.
    if (TargetInfo.exists() && SourceInfo.canonicalFilePath() == TargetInfo.canonicalFilePath())
        return false;
    TFileSystem &Fs = DefaultFileSystem();
    QByteArray Bytes;
    if (!Fs.ReadFile(Source, Bytes, nullptr))
        return false;
    if (hasEntry(Target) && !Fs.RemoveFile(Target))
        return false;
    return Fs.WriteNewFile(Target, Bytes, TFileAttributes(), nullptr);
}

QString TFileNameIndex::Find(const QString &Path)
{
    // Delphi projects come from case-insensitive file systems: "Main.DFM"
    // names the file "Main.dfm". Each folder is listed once; the names are
    // looked up in its listing, with no look-up on the disk per name. The
    // listings are shared by the run's conversion threads.
    const std::lock_guard<std::mutex> Guard(FLock);
    const QFileInfo Info(Path);
    const QString Folder = FolderOf(Path);
    auto It = FFolders.find(Folder);
    if (It == FFolders.end()) {
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
        It = FFolders.insert(Folder, Entries);
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
