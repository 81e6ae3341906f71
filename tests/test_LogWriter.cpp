// The log's exact line layout, and a writer that has no file open.
#include "LogWriter.h"

#include "Errors.h"
#include "PosixOnly.h"
#include "TextCodec.h"

#include <gtest/gtest.h>

#include <QDateTime>
#include <QFile>
#include <QTemporaryDir>

namespace {

QByteArray ReadAll(const QString &Path)
{
    QFile F(Path);
    EXPECT_TRUE(F.open(QIODevice::ReadOnly));
    return F.readAll();
}

} // namespace

TEST(LogWriter, LinesWithoutAnOpenFileAreDropped)
{
    TLogWriter Log;
    Log.WriteLine(QStringLiteral("lost"));
    Log.Write("x", 1);
    Log.CloseLogFile();
    EXPECT_FALSE(Log.IsOpen());
}

TEST(LogWriter, LayoutWithEmptyLinesAfterEachLine)
{
    QTemporaryDir Dir;
    const QString Path = Dir.filePath(QStringLiteral("Wiz_Log.txt"));
    TLogWriter Log;
    Log.SetHeader(QStringLiteral("BDE/IBX/FibPlus Migration Wizard log"));
    Log.SetCreationTimeString(QStringLiteral("Created at:"));
    Log.SetEmptyLineAfterString(true);
    Log.OpenLogFile(Path);
    Log.WriteLine(QStringLiteral("Initializing unit list"));
    Log.WriteLine(QStringLiteral(" "));
    Log.WriteLine(QStringLiteral("ends with a break\n"));
    // Each line is on disk while the log is open: a crash leaves the log so far.
    EXPECT_TRUE(ReadAll(Path).endsWith("ends with a break\n\r\n"));
    Log.CloseLogFile();
    const QList<QByteArray> Lines = ReadAll(Path).split('\n');
    ASSERT_EQ(Lines.size(), 11);
    EXPECT_EQ(Lines[0], "BDE/IBX/FibPlus Migration Wizard log\r");
    EXPECT_EQ(Lines[1], "\r");
    EXPECT_TRUE(Lines[2].startsWith("Created at: "));
    EXPECT_EQ(Lines[3], "\r");
    EXPECT_EQ(Lines[4], "Initializing unit list\r");
    EXPECT_EQ(Lines[5], "\r");
    EXPECT_EQ(Lines[6], "\r"); // " " is an empty line...
    EXPECT_EQ(Lines[7], "\r"); // ...followed by the empty line after it
    EXPECT_EQ(Lines[8], "ends with a break"); // no second break of its own
    EXPECT_EQ(Lines[9], "\r");
}

TEST(LogWriter, WithoutHeaderOnlyTheCreationLine)
{
    QTemporaryDir Dir;
    const QString Path = Dir.filePath(QStringLiteral("log.txt"));
    TLogWriter Log;
    Log.OpenLogFile(Path);
    Log.CloseLogFile();
    const QByteArray Bytes = ReadAll(Path);
    EXPECT_TRUE(Bytes.startsWith("Log created at: "));
    EXPECT_TRUE(Bytes.endsWith("\r\n"));
    EXPECT_EQ(Bytes.count('\n'), 1);
}

TEST(LogWriter, WritesTheAnsiCodePage)
{
    const QString Old = TextCodec::AnsiCodePage();
    ASSERT_TRUE(TextCodec::SetAnsiCodePage(QStringLiteral("windows-1251")));
    QTemporaryDir Dir;
    const QString Path = Dir.filePath(QStringLiteral("log.txt"));
    TLogWriter Log;
    Log.OpenLogFile(Path);
    Log.WriteLine(QString::fromUtf8("Файл é"));
    Log.CloseLogFile();
    TextCodec::SetAnsiCodePage(Old);
    EXPECT_TRUE(ReadAll(Path).endsWith("\xD4\xE0\xE9\xEB ?\r\n"));
}

TEST(LogWriter, UncreatableFileRaisesNamingIt)
{
    TLogWriter Log;
    try {
        Log.OpenLogFile(QStringLiteral("/nonexistent-folder/Wiz_Log.txt"));
        FAIL() << "no error";
    } catch (const EFCreateError &E) {
        EXPECT_TRUE(E.Message().contains(QStringLiteral("/nonexistent-folder/Wiz_Log.txt")));
    }
    EXPECT_FALSE(Log.IsOpen());
}

TEST(LogWriter, MidnightLeavesTheTimeOut)
{
    const QDateTime Midnight(QDate(2026, 12, 8), QTime(0, 0));
    const QDateTime Later(QDate(2026, 12, 8), QTime(13, 5, 9));
    EXPECT_FALSE(TLogWriter::FormatDateTime(Midnight).contains(u':'));
    EXPECT_TRUE(TLogWriter::FormatDateTime(Later).contains(QStringLiteral("05")));
}

TEST(LogWriter, NeverWritesThroughASymbolicLink)
{
    POSIX_ONLY(SymbolicLinks);
    QTemporaryDir Dir;
    const QString Victim = Dir.filePath(QStringLiteral("precious.txt"));
    const QString Path = Dir.filePath(QStringLiteral("Wiz_Log.txt"));
    {
        QFile F(Victim);
        ASSERT_TRUE(F.open(QIODevice::WriteOnly));
        F.write("keep me");
    }
    ASSERT_TRUE(QFile::link(Victim, Path));
    TLogWriter Log;
    try {
        Log.OpenLogFile(Path);
        ADD_FAILURE() << "opened through the link";
    } catch (const EFCreateError &E) {
        EXPECT_TRUE(E.Message().contains(Path) && E.Message().contains(QStringLiteral("symbolic link")));
    }
    EXPECT_FALSE(Log.IsOpen());
    EXPECT_EQ(ReadAll(Victim), QByteArray("keep me"));
}
