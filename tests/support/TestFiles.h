// Small file helpers shared by the tests that build projects on disk.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// The file's bytes, or an empty array when it cannot be read.
QByteArray ReadBytes(const QString &Path);
// Writes Bytes to Path, creating missing folders; fails the test on error.
void WriteBytes(const QString &Path, const QByteArray &Bytes);

// Points the system's temporary folder (TMPDIR on POSIX systems, TMP and
// TEMP on Windows) at a folder, and puts the old one back when it ends.
class TTempFolderScope
{
public:
    explicit TTempFolderScope(const QString &Folder);
    ~TTempFolderScope();
    void Set(const QString &Folder);

    TTempFolderScope(const TTempFolderScope &) = delete;
    TTempFolderScope &operator=(const TTempFolderScope &) = delete;

private:
    QByteArray FOld[3];
};

// The keys under which the file layer takes paths for one file (see
// FileNameKey): tests compare paths through them, so that the letter case
// and separators that name one file on Windows compare equal there.
QStringList FileNameKeys(const QStringList &Paths);
