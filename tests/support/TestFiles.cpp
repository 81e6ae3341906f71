#include "TestFiles.h"

#include "FileSystem.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

QByteArray ReadBytes(const QString &Path)
{
    QFile F(Path);
    if (!F.open(QIODevice::ReadOnly))
        return {};
    return F.readAll();
}

void WriteBytes(const QString &Path, const QByteArray &Bytes)
{
    QDir().mkpath(QFileInfo(Path).path());
    QFile F(Path);
    ASSERT_TRUE(F.open(QIODevice::WriteOnly | QIODevice::Truncate)) << Path.toStdString();
    ASSERT_EQ(F.write(Bytes), Bytes.size()) << Path.toStdString();
}

namespace {
const char *const TempVariables[3] = {"TMPDIR", "TMP", "TEMP"};
}

TTempFolderScope::TTempFolderScope(const QString &Folder)
{
    for (int I = 0; I < 3; ++I)
        FOld[I] = qgetenv(TempVariables[I]);
    Set(Folder);
}

TTempFolderScope::~TTempFolderScope()
{
    for (int I = 0; I < 3; ++I)
        qputenv(TempVariables[I], FOld[I]);
}

void TTempFolderScope::Set(const QString &Folder)
{
    for (const char *Name : TempVariables)
        qputenv(Name, Folder.toLocal8Bit());
}

QStringList FileNameKeys(const QStringList &Paths)
{
    QStringList Keys;
    for (const QString &Path : Paths)
        Keys << FileNameKey(Path);
    return Keys;
}
