#include "FaultyFileSystem.h"

#include <unistd.h>

bool TFaultyFileSystem::WriteNewFile(const QString &Path, QByteArrayView Bytes, const TFileAttributes &Attributes,
                                     QString *Error)
{
    if (!WritesOf.isEmpty() && !Path.contains(WritesOf))
        return TFileSystem::WriteNewFile(Path, Bytes, Attributes, Error);
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
    return TFileSystem::WriteNewFile(Path, Bytes, Attributes, Error);
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
        ::_exit(CrashExitCode);
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
