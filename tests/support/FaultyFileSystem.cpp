#include "FaultyFileSystem.h"

#include "FileSystem.h"

#include <QDir>

#include <cstdlib>

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
    return AllowWrite(Path, Bytes, Error) && TFileSystem::WriteNewFile(Path, Bytes, Attributes, Error);
}

bool TFaultyFileSystem::WriteUnflushedFile(const QString &Path, QByteArrayView Bytes,
                                           const TFileAttributes &Attributes, QString *Error)
{
    return AllowWrite(Path, Bytes, Error) && TFileSystem::WriteUnflushedFile(Path, Bytes, Attributes, Error);
}

bool TFaultyFileSystem::LinkFile(const QString &Existing, const QString &NewName, QString *Error)
{
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
    if (++Syncs == FailSyncAt) {
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
    TFileAttributes Result = TFileSystem::Attributes(Path);
    MoveAway(TemporaryFolderElsewhere, Path, Result);
    return Result;
}

bool TFaultyFileSystem::ReadFile(const QString &Path, QByteArray &Bytes, QString *Error, TFileAttributes *Attributes)
{
    if (!TFileSystem::ReadFile(Path, Bytes, Error, Attributes))
        return false;
    if (Attributes)
        MoveAway(TemporaryFolderElsewhere, Path, *Attributes);
    return true;
}

bool TFaultyFileSystem::Rename(const QString &From, const QString &To, QString *Error)
{
    if (++Renames == FailRenameAt) {
        if (Error)
            *Error = QStringLiteral("Cannot rename \"%1\" to \"%2\". Input/output error").arg(From, To);
        return false;
    }
    return TFileSystem::Rename(From, To, Error);
}

bool TFaultyFileSystem::ReplaceOriginal(const QString &Temporary, const QString &Original, QString *Error)
{
    if (++Replacements == CrashAtReplacement)
        std::_Exit(CrashExitCode);
    return TFileSystem::ReplaceOriginal(Temporary, Original, Error);
}

bool TFaultyFileSystem::SyncFolder(const QString &Folder, QString *Error)
{
    if (++Syncs == FailSyncAt) {
        if (Error)
            *Error = QStringLiteral("Cannot flush folder \"%1\". Input/output error").arg(Folder);
        return false;
    }
    return TFileSystem::SyncFolder(Folder, Error);
}
