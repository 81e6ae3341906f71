#include "FileSystem.h"
#include "FileUtils.h"
#include "PosixOnly.h"
#include "TestFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#if MIGWIZ_POSIX
#include <csignal>
#include <sys/resource.h>
#include <unistd.h>
#endif

namespace {

QStringList entries(const QString &Folder)
{
    return QDir(Folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System, QDir::Name);
}

struct TPathCase
{
    const char *A;
    const char *B;
    const char *Expected;
};

} // namespace

TEST(JoinPath, AddsOneSeparatorAndDropsTheNamesLeadingOne)
{
    const TPathCase Cases[] = {
        {"/app", "Main.pas", "/app/Main.pas"},
        {"/app/", "Main.pas", "/app/Main.pas"},
        {"/app", "/Sub/A.pas", "/app/Sub/A.pas"},
        {"/app", "", "/app/"},
        {"", "Main.pas", "Main.pas"},
        {"", "/Main.pas", "Main.pas"},
        {"/app", "/", "/app//"}, // a one-character name is kept as it is
        {"", "", ""},
    };
    for (const TPathCase &C : Cases)
        EXPECT_EQ(FileNameKey(JoinPath(C.A, C.B)), FileNameKey(C.Expected)) << C.A << " + " << C.B;
}

TEST(RootLength, CoversDrivesSharesAndTheRoot)
{
    struct TRow
    {
        const char *Path;
        int Length;
    };
    const TRow Rows[] = {
#ifdef Q_OS_WIN
        {"C:\\App", 3}, {"c:/App", 3}, {"C:", 2}, {"C:App", 2}, {"\\\\srv\\share\\App", 12},
        {"//srv/share", 11}, {"\\App", 1}, {"App", 0},
#else
        {"/app", 1}, {"/", 1}, {"app", 0}, {"", 0},
#endif
    };
    for (const TRow &R : Rows)
        EXPECT_EQ(RootLength(QString::fromLatin1(R.Path)), R.Length) << R.Path;
#ifdef Q_OS_WIN
    EXPECT_TRUE(ForceFolders("C:\\"));
    EXPECT_FALSE(ForceFolders("\\Backup")) << "a folder of whichever drive is current";
#endif
}

TEST(BackupFileName, TurnsTheExtensionIntoTildeAndOldExtension)
{
    const TPathCase Cases[] = {
        {"Main.pas", nullptr, "Main.~pas"},
        {"/app/Main.DFM", nullptr, "/app/Main.~DFM"},
        {"README", nullptr, "README.~"},
        {"/app.d/README", nullptr, "/app.d/README.~"}, // a dot in a folder is no extension
        {"Unit.", nullptr, "Unit.~"},
        {"Data.tar.gz", nullptr, "Data.tar.~gz"},
    };
    for (const TPathCase &C : Cases)
        EXPECT_EQ(BackupFileName(C.A), QString(C.Expected)) << C.A;
}

#ifndef Q_OS_WIN
TEST(ForceFolders, TheRootNeedsNoCreation)
{
    EXPECT_TRUE(ForceFolders("/"));
}
#endif

TEST(ForceFolders, CreatesEveryMissingFolderAlongThePath)
{
    QTemporaryDir Base;
    const QString Deep = Base.path() + "/A/B/C";
    EXPECT_TRUE(ForceFolders(Deep));
    EXPECT_TRUE(QFileInfo(Deep).isDir());
    EXPECT_TRUE(ForceFolders(Deep)); // existing folders are fine

    const QString Trailing = Base.path() + "/X/Y/";
    EXPECT_TRUE(ForceFolders(Trailing));
    EXPECT_TRUE(QFileInfo(Base.path() + "/X/Y").isDir());
}

TEST(ForceFolders, FailsWhenAFileStandsInTheWay)
{
    QTemporaryDir Base;
    WriteBytes(Base.path() + "/File", "x");
    EXPECT_FALSE(ForceFolders(Base.path() + "/File"));
    EXPECT_FALSE(ForceFolders(Base.path() + "/File/Sub"));
    EXPECT_FALSE(ForceFolders(""));
}

TEST(AllocTempFolder, SkipsExistingNamesAndCountsInUpperCaseHex)
{
    QTemporaryDir Base;
    QDir(Base.path()).mkdir("$DS1");
    QDir(Base.path()).mkdir("$DS2");
    WriteBytes(Base.path() + "/$DS3", "a file also takes the name");

    const QString Folder = AllocTempFolder(Base.path(), "$DS", 1);
    EXPECT_EQ(FileNameKey(Folder), FileNameKey(Base.path() + "/$DS4"));
    EXPECT_TRUE(QFileInfo(Folder).isDir());
#if MIGWIZ_POSIX // OwnerGroupMode
    EXPECT_EQ(QFileInfo(Folder).permissions() & (QFile::ReadOther | QFile::ReadGroup), QFile::Permissions());
#endif

    EXPECT_EQ(FileNameKey(AllocTempFolder(Base.path(), "$DS", 10)), FileNameKey(Base.path() + "/$DSA"));
    EXPECT_EQ(FileNameKey(AllocTempFolder(Base.path(), "LONGPREFIX", 0x2F)), FileNameKey(Base.path() + "/LON2F"));
}

TEST(AllocTempFolder, ReturnsEmptyWhenNoFolderCanBeMade)
{
    QTemporaryDir Base;
    EXPECT_EQ(AllocTempFolder(Base.path() + "/missing", "$DS", 1), QString());
    EXPECT_EQ(AllocTempFolder(QString(), "$DS", 1), QString());
    QDir(Base.path()).mkdir("$DSFFFF");
    EXPECT_EQ(AllocTempFolder(Base.path(), "$DS", 0xFFFF), QString()); // the counter has 16 bits
}

#ifndef Q_OS_WIN
TEST(AllocTempFolder, UsesTheSystemsTemporaryFolder)
{
    QTemporaryDir Base;
    QString Temp, Folder;
    {
        TTempFolderScope Scope(Base.path());
        Temp = QDir::tempPath();
        Folder = AllocTempFolder("$DS", 1);
    }
    EXPECT_EQ(Folder, Temp + "/$DS1");
    EXPECT_TRUE(QFileInfo(Base.path() + "/$DS1").isDir());
}
#endif

class FolderRemoval : public ::testing::Test
{
protected:
    QTemporaryDir Base;
    QString Inside;
    QString Outside;

    void SetUp() override
    {
        Inside = Base.path() + "/inside";
        Outside = Base.path() + "/outside";
        WriteBytes(Inside + "/a.pas", "a");
        WriteBytes(Inside + "/.hidden", "h");
        WriteBytes(Inside + "/sub/deeper/b.dfm", "b");
        WriteBytes(Outside + "/keep.txt", "keep");
        WriteBytes(Outside + "/dir/keep2.txt", "keep2");
    }

    void expectOutsideIntact()
    {
        EXPECT_EQ(ReadBytes(Outside + "/keep.txt"), "keep");
        EXPECT_EQ(ReadBytes(Outside + "/dir/keep2.txt"), "keep2");
    }
};

TEST_F(FolderRemoval, DeleteFolderRemovesTheWholeTree)
{
    // Read-only files too (a converted copy of a read-only original).
    QFile::setPermissions(Inside + "/sub/deeper/b.dfm", QFile::ReadOwner | QFile::ReadUser);
    EXPECT_TRUE(DeleteFolder(Inside));
    EXPECT_FALSE(QFileInfo::exists(Inside));
    expectOutsideIntact();
}

TEST_F(FolderRemoval, ClearFolderKeepsTheFolderItself)
{
    ClearFolder(Inside);
    EXPECT_TRUE(QFileInfo(Inside).isDir());
    EXPECT_EQ(entries(Inside), QStringList());
}

TEST_F(FolderRemoval, LinksAreRemovedNotFollowed)
{
    POSIX_ONLY(SymbolicLinks);
    ASSERT_TRUE(QFile::link(Outside + "/dir", Inside + "/sub/linkdir"));
    ASSERT_TRUE(QFile::link(Outside + "/keep.txt", Inside + "/linkfile"));
    ASSERT_TRUE(QFile::link(Outside + "/gone", Inside + "/dangling"));
    EXPECT_TRUE(DeleteFolder(Inside));
    EXPECT_FALSE(QFileInfo::exists(Inside));
    expectOutsideIntact();
}

TEST_F(FolderRemoval, AFolderThatIsALinkIsLeftAlone)
{
    POSIX_ONLY(SymbolicLinks);
    const QString Link = Base.path() + "/link";
    ASSERT_TRUE(QFile::link(Outside, Link));
    ClearFolder(Link);
    EXPECT_FALSE(DeleteFolder(Link));
    expectOutsideIntact();
    EXPECT_TRUE(QFileInfo(Link).isSymLink());
}

TEST(FolderRemovalGuard, EmptyNamesAndRootsAreNeverCleared)
{
    // Only guards that refuse at once are exercised here: clearing a real
    // root in a test would be a disaster if the guard failed.
    POSIX_ONLY(SymbolicLinks);
    QTemporaryDir Base;
    const QString RootLink = Base.path() + "/root";
    ASSERT_TRUE(QFile::link("/", RootLink));
    ClearFolder("");
    EXPECT_FALSE(DeleteFolder(""));
    EXPECT_FALSE(DeleteFolder(RootLink));
    EXPECT_TRUE(QFileInfo(RootLink).isSymLink());
}

TEST(FolderRemovalGuard, AFileIsNotAFolder)
{
    QTemporaryDir Base;
    WriteBytes(Base.path() + "/f.txt", "x");
    EXPECT_FALSE(DeleteFolder(Base.path() + "/f.txt"));
    EXPECT_EQ(ReadBytes(Base.path() + "/f.txt"), "x");
}

TEST(CopyFolder, RecreatesSubfoldersOverwritesAndKeepsExtraFiles)
{
    QTemporaryDir Base;
    const QString Source = Base.path() + "/src";
    const QString Target = Base.path() + "/dst";
    WriteBytes(Source + "/Main.pas", "new main");
    WriteBytes(Source + "/Sub/A.pas", "new a");
    WriteBytes(Target + "/Main.pas", "old main");
    WriteBytes(Target + "/Extra.pas", "extra");

    EXPECT_TRUE(CopyFolder(Source, Target));
    EXPECT_EQ(ReadBytes(Target + "/Main.pas"), "new main");
    EXPECT_EQ(ReadBytes(Target + "/Sub/A.pas"), "new a");
    EXPECT_EQ(ReadBytes(Target + "/Extra.pas"), "extra");
}

TEST(CopyFolder, AFailureStopsOnlyTheRestOfItsFolder)
{
    QTemporaryDir Base;
    const QString Source = Base.path() + "/src";
    const QString Target = Base.path() + "/dst";
    // In name order: a/1.pas fails (a folder blocks it), so a/2.pas is not
    // copied; b is blocked by a file, so c.pas after it is not copied either.
    WriteBytes(Source + "/a/1.pas", "1");
    WriteBytes(Source + "/a/2.pas", "2");
    WriteBytes(Source + "/b/x.pas", "x");
    WriteBytes(Source + "/c.pas", "c");
    WriteBytes(Source + "/0.pas", "0");
    QDir().mkpath(Target + "/a/1.pas");
    WriteBytes(Target + "/b", "a file where a folder should go");

    EXPECT_TRUE(CopyFolder(Source, Target));
    EXPECT_EQ(ReadBytes(Target + "/0.pas"), "0");
    EXPECT_FALSE(QFileInfo::exists(Target + "/a/2.pas"));
    EXPECT_FALSE(QFileInfo::exists(Target + "/c.pas"));
    EXPECT_EQ(ReadBytes(Target + "/b"), "a file where a folder should go");
}

TEST(ResolvePathCase, FindsTheRealNameOfEachMissingComponent)
{
    QTemporaryDir Base;
    const QString B = Base.path();
    WriteBytes(B + "/Common/Utils.PAS", "u");
    WriteBytes(B + "/App/Main.dfm", "m");

    EXPECT_EQ(FileNameKey(ResolvePathCase(B + "/common/utils.pas")), FileNameKey(B + "/Common/Utils.PAS"));
    EXPECT_EQ(FileNameKey(ResolvePathCase(B + "/App/Main.DFM")), FileNameKey(B + "/App/Main.dfm"));
    EXPECT_EQ(FileNameKey(ResolvePathCase(B + "/App/../COMMON/Utils.pas")), FileNameKey(B + "/App/../Common/Utils.PAS"));
    // Existing paths and paths with a component that is nowhere stay as written.
    EXPECT_EQ(FileNameKey(ResolvePathCase(B + "/App/Main.dfm")), FileNameKey(B + "/App/Main.dfm"));
    EXPECT_EQ(FileNameKey(ResolvePathCase(B + "/app/Missing.pas")), FileNameKey(B + "/app/Missing.pas"));
    EXPECT_EQ(ResolvePathCase(QString()), QString());
}

class FileReplacement : public ::testing::Test
{
protected:
    QTemporaryDir Base;
    QString Source;
    QString Target;

    void SetUp() override
    {
        Source = Base.path() + "/tmp/Main.pas";
        Target = Base.path() + "/app/Main.pas";
        WriteBytes(Source, "converted");
        WriteBytes(Target, "original");
    }
};

TEST_F(FileReplacement, ReplacesContentsAndKeepsTheTargetsPermissions)
{
    POSIX_ONLY(OwnerGroupMode);
    const QFile::Permissions Mode = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup;
    ASSERT_TRUE(QFile::setPermissions(Target, Mode));
    ASSERT_TRUE(QFile::setPermissions(Source, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther));
    QString Error;
    EXPECT_TRUE(ReplaceFileAtomically(Source, Target, &Error)) << Error.toStdString();
    EXPECT_EQ(ReadBytes(Target), "converted");
    EXPECT_EQ(QFileInfo(Target).permissions() & 0x7077, Mode & 0x7077);
    EXPECT_EQ(entries(Base.path() + "/app"), QStringList{"Main.pas"});
}

TEST_F(FileReplacement, ATargetHeldOpenByAnotherProgram)
{
    // Windows refuses to rename over a file that a program holds open
    // without sharing its deletion: the target stays, and the error names
    // it. POSIX systems replace it; the holder keeps reading the old file.
    QFile Holder(Target);
    ASSERT_TRUE(Holder.open(QIODevice::ReadOnly));
    QString Error;
    const bool Replaced = ReplaceFileAtomically(Source, Target, &Error);
    Holder.close();
    EXPECT_EQ(Replaced, FileNamesAreCaseSensitive()) << Error.toStdString();
    EXPECT_EQ(ReadBytes(Target), Replaced ? "converted" : "original");
    EXPECT_TRUE(Replaced || Error.contains(Target)) << Error.toStdString();
    EXPECT_EQ(entries(Base.path() + "/app"), QStringList{"Main.pas"});
}

TEST_F(FileReplacement, AMissingSourceLeavesTheTargetUntouched)
{
    QFile::remove(Source);
    QString Error;
    EXPECT_FALSE(ReplaceFileAtomically(Source, Target, &Error));
    EXPECT_EQ(ReadBytes(Target), "original");
    EXPECT_TRUE(Error.contains(Source)) << Error.toStdString();
    EXPECT_EQ(entries(Base.path() + "/app"), QStringList{"Main.pas"});
}

TEST_F(FileReplacement, AMissingTargetFolderIsReportedWithItsPath)
{
    const QString Elsewhere = Base.path() + "/nowhere/Main.pas";
    QString Error;
    EXPECT_FALSE(ReplaceFileAtomically(Source, Elsewhere, &Error));
    EXPECT_TRUE(Error.contains(Elsewhere)) << Error.toStdString();
    EXPECT_FALSE(ReplaceFileAtomically(Source, Elsewhere, nullptr));
}

TEST_F(FileReplacement, CopyFileReplacingOverwritesButNeverDestroysTheSource)
{
    EXPECT_TRUE(CopyFileReplacing(Source, Target));
    EXPECT_EQ(ReadBytes(Target), "converted");

    EXPECT_FALSE(CopyFileReplacing(Source, Source));
    EXPECT_EQ(ReadBytes(Source), "converted");

    WriteBytes(Target, "original");
    EXPECT_FALSE(CopyFileReplacing(Base.path() + "/missing.pas", Target));
    EXPECT_EQ(ReadBytes(Target), "original");
}

TEST_F(FileReplacement, AWriteTheSystemRefusesLeavesTheTargetAndNoTemporaryFile)
{
    // A real write failure: the process may not write files beyond 1 KiB
    // (the kernel answers EFBIG), in a forked copy of this test.
    POSIX_ONLY(FileSizeLimit);
#if MIGWIZ_POSIX
    GTEST_FLAG_SET(death_test_style, "fast");
    WriteBytes(Source, QByteArray(64 * 1024, 'x'));
    auto WriteWithinOneKiB = [this] {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit Limit{1024, 1024};
        setrlimit(RLIMIT_FSIZE, &Limit);
        QString Error;
        const bool Replaced = ReplaceFileAtomically(Source, Target, &Error);
        const bool Copied = CopyFileReplacing(Source, Base.path() + "/backup.~pas");
        _exit(!Replaced && !Copied && Error.contains(Target) ? 0 : 1);
    };
    EXPECT_EXIT(WriteWithinOneKiB(), ::testing::ExitedWithCode(0), "");
    EXPECT_EQ(ReadBytes(Target), "original");
    EXPECT_EQ(entries(Base.path() + "/app"), QStringList{"Main.pas"});
    EXPECT_FALSE(QFile::exists(Base.path() + "/backup.~pas"));
#endif
}
