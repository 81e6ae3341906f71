// The options of a run and the model of a replacer: captions, the stored
// values, and what the constructor sets up.
#include "Replacer.h"

#include "QtPrinters.h"
#include "RegIniFile.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

TEST(ReplaceOptions, DefaultsAndCaption)
{
    const TReplaceOptions O(QStringLiteral("BDE/IBX/FibPlus"));
    EXPECT_EQ(O.Caption(), QStringLiteral("BDE/IBX/FibPlus Migration Wizard"));
    EXPECT_EQ(O.Dest, sdProject);
    EXPECT_TRUE(O.MakeBackup);
    EXPECT_TRUE(O.WriteLog);
    EXPECT_FALSE(O.ViewLog);
    EXPECT_FALSE(O.RenameMembers);
    EXPECT_FALSE(O.IncludeSubDirs);
    EXPECT_TRUE(O.Directory.isEmpty() && O.BackupDir.isEmpty() && O.ModuleList.isEmpty());
}

TEST(ReplaceOptions, SevenValuesGoToTheSectionAndBack)
{
    QTemporaryDir Dir;
    const QString Ini = Dir.filePath(QStringLiteral("settings.ini"));
    const QString Section = QStringLiteral("BDE/IBX/FibPlus Migration Wizard");
    {
        TReplaceOptions O(QStringLiteral("BDE/IBX/FibPlus"));
        O.Dest = sdDirectory;
        O.Directory = QStringLiteral("/src/app");
        O.IncludeSubDirs = true;
        O.MakeBackup = false;
        O.WriteLog = false;
        O.ViewLog = true;
        O.RenameMembers = true;
        O.BackupDir = QStringLiteral("/not/stored");
        O.ModuleList = QStringLiteral("A.pas");
        TRegIniFile File(QStringLiteral("Software\\Halvane\\Orvex"), Ini);
        O.SaveToIniFile(File, Section);
    }
    TRegIniFile File(QStringLiteral("Software\\Halvane\\Orvex"), Ini);
    TReplaceOptions Fresh(QStringLiteral("X"));
    Fresh.LoadFromIniFile(File, Section);
    EXPECT_EQ(Fresh.Dest, sdDirectory);
    EXPECT_EQ(Fresh.Directory, QStringLiteral("/src/app"));
    EXPECT_TRUE(Fresh.IncludeSubDirs);
    EXPECT_FALSE(Fresh.MakeBackup);
    EXPECT_FALSE(Fresh.WriteLog);
    EXPECT_TRUE(Fresh.ViewLog);
    EXPECT_TRUE(Fresh.RenameMembers);
    EXPECT_TRUE(Fresh.BackupDir.isEmpty());
    EXPECT_TRUE(Fresh.ModuleList.isEmpty());

    // An empty section changes nothing.
    TReplaceOptions Kept(QStringLiteral("X"));
    Kept.Directory = QStringLiteral("/kept");
    Kept.MakeBackup = false;
    Kept.LoadFromIniFile(File, QStringLiteral("Empty section"));
    EXPECT_EQ(Kept.Directory, QStringLiteral("/kept"));
    EXPECT_FALSE(Kept.MakeBackup);
}

TEST(ComponentReplacerModel, ConstructorSetsUpUsesLogAndParser)
{
    TReplaceOptions O(QStringLiteral("BDE/IBX/FibPlus"));
    TComponentReplacer R(nullptr, QStringLiteral("DBTables"), QStringLiteral(", Quorvel"), &O);
    EXPECT_EQ(R.OldUsesUnit(), QStringLiteral("DBTABLES"));
    EXPECT_EQ(R.NewUsesList(), QStringLiteral(", Quorvel"));
    EXPECT_EQ(R.Log().Header(), QStringLiteral("BDE/IBX/FibPlus Migration Wizard log"));
    EXPECT_EQ(R.Log().CreationTimeString(), QStringLiteral("Created at:"));
    EXPECT_TRUE(R.Log().EmptyLineAfterString());
    EXPECT_EQ(R.ReplaceOptions(), &O);
    // The parser asks the replacer for database connections.
    ASSERT_TRUE(R.FormParser().OnGetPropertyValue());
    EXPECT_EQ(R.FormParser().OnGetPropertyValue()(QStringLiteral("DatabaseName"), QStringLiteral("none")), QString());
}

TEST(ComponentReplacerModel, FormParserIsMadeThroughTheGivenClass)
{
    class TMyParser : public TFormParser
    {
    public:
        using TFormParser::TFormParser;
        QString MakeObject(int) override { return QStringLiteral("mine"); }
    };
    TReplaceOptions O(QStringLiteral("S"));
    TComponentReplacer R(&MakeFormParser<TMyParser>, QStringLiteral("U"), QString(), &O);
    EXPECT_EQ(R.FormParser().MakeObject(0), QStringLiteral("mine"));
    EXPECT_NE(dynamic_cast<TFormParseState *>(R.FormParser().State()), nullptr);
}
