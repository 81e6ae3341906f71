// What the summary's checks say about a folder before the run: the source
// set its forms hold (text and binary forms alike), the others seen, and a
// read-only form that the run would have to change, which stops it.
#include "RunChecks.h"

#include "FileSystem.h"
#include "OrxReplacer.h"
#include "RunLock.h"
#include "QtPrinters.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace {

void copyExample(const char *Set, const QString &To)
{
    const QString From = QStringLiteral(MIGWIZ_SOURCE_DIR "/examples/") + Set;
    for (const QString &Name : QDir(From).entryList(QDir::Files))
        WriteBytes(QDir(To).filePath(Name), ReadBytes(QDir(From).filePath(Name)));
}

} // namespace

TEST(RunChecks, NameTheSetFoundTheOthersAndWhatStopsTheRun)
{
    TOrxProduct Product;
    std::vector<const TComponentReplacer *> Replacers;
    for (int I = 0; I < TOrxProduct::ReplacerCount; ++I)
        Replacers.push_back(Product.Replacer(I));
    QTemporaryDir Dir;
    copyExample("ibx", Dir.filePath("ibx"));
    copyExample("bde", Dir.filePath("bde"));
    copyExample("ibx", Dir.filePath("mixed"));
    WriteBytes(Dir.filePath("mixed/AccData.dfm"), ReadBytes(QStringLiteral(MIGWIZ_SOURCE_DIR "/examples/fibplus/AccData.dfm")));
    copyExample("ibx", Dir.filePath("locked"));
    QFile::setPermissions(Dir.filePath("locked/InvData.dfm"), QFile::ReadOwner | QFile::ReadGroup);

    const struct
    {
        const char *Folder;
        int Chosen;
        const char *Says;
        bool Stops;
    } Rows[] = {
        {"ibx", 0, "No BDE components were found in the forms; they hold IBX components: choose IBX", false},
        {"ibx", 1, "IBX components: ", false},
        {"bde", 0, "BDE components: ", false}, // a binary form among them
        {"mixed", 1, "Also seen: FIBPlus (", false},
        {"locked", 1, "Read-only forms that the run must change: ", true},
    };
    for (const auto &R : Rows) {
        TReplaceOptions Options = Product.ReplaceOptions();
        Options.Dest = sdDirectory;
        Options.Directory = QDir::toNativeSeparators(Dir.filePath(R.Folder));
        Options.MakeBackup = false;
        Options.WriteLog = false;
        const TRunChecks Checks = CheckReplaceRun(Options, {}, Options.Directory, R.Chosen, Replacers);
        QStringList Texts;
        for (const TRunCheck &Check : Checks.Items)
            Texts << Check.Text;
        EXPECT_TRUE(Texts.join('\n').contains(R.Says)) << R.Folder << ": " << Texts.join('\n').toStdString();
        EXPECT_EQ(!Checks.StopReason().isEmpty(), R.Stops) << R.Folder;
    }
}

TEST(RunChecks, ATreeIsLockedByOneRunOrRestoreAtATime)
{
    QTemporaryDir Dir;
    QString Error;
    TRunLock First, Second;
    ASSERT_TRUE(First.LockTree(Dir.path(), &Error)) << Error.toStdString();
    // On Windows one folder has names in any letter case.
    const QString Again = (FileNameCase() == Qt::CaseInsensitive ? Dir.path().toUpper() : Dir.path()) + "/sub/..";
    ASSERT_TRUE(QDir(Dir.path()).mkdir("sub"));
    EXPECT_FALSE(Second.LockTree(Again, &Error));
    EXPECT_TRUE(Error.contains("is working on the folder")) << Error.toStdString();
    First.Release();
    EXPECT_TRUE(Second.LockTree(Again, &Error)) << Error.toStdString();
}

TEST(RunChecks, ARunAtWorkInTheBackupFolderStopsTheNext)
{
    QTemporaryDir Dir;
    WriteBytes(Dir.filePath("Main.pas"), "unit Main;\ninterface\nimplementation\nend.\n");
    ASSERT_TRUE(QDir().mkpath(Dir.filePath("RBackup")));
    TReplaceOptions Options(QStringLiteral("BDE/IBX/FibPlus"));
    Options.Dest = sdDirectory;
    Options.Directory = Dir.path();
    Options.BackupDir = Dir.filePath("RBackup");
    Options.WriteLog = false;
    EXPECT_EQ(CheckReplaceRun(Options, {}, Dir.path(), -1, {}).StopReason(), "");
    TRunLock Lock;
    QString Error;
    ASSERT_TRUE(Lock.LockBackupFolder(Options.BackupDir, "a restore", &Error)) << Error.toStdString();
    const QString Reason = CheckReplaceRun(Options, {}, Dir.path(), -1, {}).StopReason();
    EXPECT_TRUE(Reason.contains("is in use by a restore")) << Reason.toStdString();
}
