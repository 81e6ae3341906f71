#include "FaultyFileSystem.h"

#include "FileSystem.h"

#include <QDir>

#include <cstdlib>

void TFaultyFileSystem::Step(const char *Op, const QString &Path, const QString &To)
{
    Journal << QLatin1String(Op) + u' ' + Path + (To.isEmpty() ? QString() : u' ' + To);
    if (Before)
        Before(QLatin1String(Op), Path);
}

bool TFaultyFileSystem::AllowWrite(const QString &Path, QByteArrayView Bytes, QString *Error)
{
    if (!WritesOf.isEmpty() && !QDir::fromNativeSeparators(Path).contains(WritesOf))
        return true;
    ++Writes;
    const bool Full = WriteBudget >= 0 && Bytes.size() > WriteBudget;
    if (Writes == FailWriteAt || Full) {
        if (Error)
            *Error = QStringLiteral("Cannot write file \"%1\". No space left on device").arg(Path);
        WriteBudget = Full ? 0 : WriteBudget;
        return false;
    }
    if (WriteBudget >= 0)
        WriteBudget -= Bytes.size();
    return true;
}

bool TFaultyFileSystem::WriteNewFile(const QString &Path, QByteArrayView Bytes, const TFileAttributes &Attributes,
                                     QString *Error)
{
    Step("write", Path);
    return AllowWrite(Path, Bytes, Error) && TFileSystem::WriteNewFile(Path, Bytes, Attributes, Error);
}

bool TFaultyFileSystem::WriteUnflushedFile(const QString &Path, QByteArrayView Bytes,
                                           const TFileAttributes &Attributes, QString *Error)
{
    Step("write-unflushed", Path);
    return AllowWrite(Path, Bytes, Error) && TFileSystem::WriteUnflushedFile(Path, Bytes, Attributes, Error);
}

bool TFaultyFileSystem::LinkFile(const QString &Existing, const QString &NewName, QString *Error)
{
    Step("link", Existing, NewName);
    ++Links;
    if (NoHardLinks) {
        if (Error)
            *Error = QStringLiteral("Cannot link \"%1\" to \"%2\". Operation not permitted").arg(NewName, Existing);
        return false;
    }
    return TFileSystem::LinkFile(Existing, NewName, Error);
}

bool TFaultyFileSystem::SyncFileSystem(const QString &Path, QString *Error)
{
    Step("syncfs", Path);
    if (++Syncs == FailSyncAt || (FailSyncAfterReplacement && Replacements > 0)) {
        if (Error)
            *Error = QStringLiteral("Cannot flush the file system of \"%1\". Input/output error").arg(Path);
        return false;
    }
    return TFileSystem::SyncFileSystem(Path, Error);
}

namespace {
void MoveAway(bool Elsewhere, const QString &Path, TFileAttributes &Attributes)
{
    if (Elsewhere && Attributes.Valid && !FileNameKey(Path).startsWith(FileNameKey(QDir::tempPath() + u'/')))
        Attributes.Device = ~Attributes.Device;
}
} // namespace

TFileAttributes TFaultyFileSystem::Attributes(const QString &Path)
{
    Step("attributes", Path);
    TFileAttributes Result = TFileSystem::Attributes(Path);
    MoveAway(TemporaryFolderElsewhere, Path, Result);
    return Result;
}

bool TFaultyFileSystem::ReadFile(const QString &Path, QByteArray &Bytes, QString *Error, TFileAttributes *Attributes)
{
    Step("read", Path);
    if (!TFileSystem::ReadFile(Path, Bytes, Error, Attributes))
        return false;
    if (Attributes)
        MoveAway(TemporaryFolderElsewhere, Path, *Attributes);
    return true;
}

bool TFaultyFileSystem::Rename(const QString &From, const QString &To, QString *Error)
{
    Step("rename", From, To);
    if (++Renames == FailRenameAt) {
        if (Error)
            *Error = QStringLiteral("Cannot rename \"%1\" to \"%2\". Input/output error").arg(From, To);
        return false;
    }
    return TFileSystem::Rename(From, To, Error);
}

bool TFaultyFileSystem::ReplaceOriginal(const QString &Temporary, const QString &Original, QString *Error)
{
    Step("replace", Original, Temporary);
    if (++Replacements == CrashAtReplacement)
        std::_Exit(CrashExitCode);
    if (++Renames == FailRenameAt) {
        if (Error)
            *Error = QStringLiteral("Cannot rename \"%1\" to \"%2\". Input/output error").arg(Temporary, Original);
        return false;
    }
    return TFileSystem::Rename(Temporary, Original, Error);
}

bool TFaultyFileSystem::SyncFolder(const QString &Folder, QString *Error)
{
    Step("syncfolder", Folder);
    if (++Syncs == FailSyncAt) {
        if (Error)
            *Error = QStringLiteral("Cannot flush folder \"%1\". Input/output error").arg(Folder);
        return false;
    }
    return TFileSystem::SyncFolder(Folder, Error);
}

bool TFaultyFileSystem::RemoveFile(const QString &Path)
{
    Step("remove", Path);
    return TFileSystem::RemoveFile(Path);
}

bool TFaultyFileSystem::MayWriteFolder(const QString &Folder, TFileAttributes &FolderAttributes, QString *Error)
{
    Step("may-write", Folder);
    for (const QString &Denied : std::as_const(DenyReplace))
        if (QDir::fromNativeSeparators(Folder).contains(Denied)) {
            if (Error)
                *Error = QStringLiteral("The folder \"%1\" may not be written. Permission denied").arg(Folder);
            return false;
        }
    return TFileSystem::MayWriteFolder(Folder, FolderAttributes, Error);
}
