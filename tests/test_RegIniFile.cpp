#include "RegIniFile.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

const QString Section = QStringLiteral("BDE/IBX/FibPlus Migration Wizard");
const QString KeyPath = QStringLiteral("Software\\Halvane\\Orvex");

class RegIniFile : public ::testing::Test
{
protected:
    QTemporaryDir Base;
    QString IniName() const { return Base.path() + "/settings.ini"; }
};

} // namespace

TEST_F(RegIniFile, ValuesSurviveReopeningTheFile)
{
    {
        TRegIniFile Ini(KeyPath, IniName());
        Ini.WriteInteger(Section, "Dest", 1);
        Ini.WriteString(Section, "Directory", "/home/user/Src");
        Ini.WriteBool(Section, "IncludeSubDirs", true);
        Ini.WriteBool(Section, "ViewLog", false);
        Ini.WriteInteger(Section, "Left", -120);
    }
    TRegIniFile Ini(KeyPath, IniName());
    EXPECT_EQ(Ini.ReadInteger(Section, "Dest", 0), 1);
    EXPECT_EQ(Ini.ReadString(Section, "Directory", ""), "/home/user/Src");
    EXPECT_TRUE(Ini.ReadBool(Section, "IncludeSubDirs", false));
    EXPECT_FALSE(Ini.ReadBool(Section, "ViewLog", true));
    EXPECT_EQ(Ini.ReadInteger(Section, "Left", 0), -120);
    EXPECT_EQ(Ini.KeyPath(), KeyPath);
}

TEST_F(RegIniFile, SlashesInNamesDoNotMakeGroups)
{
    TRegIniFile Ini(KeyPath, IniName());
    Ini.WriteString("A/B", "C", "section A/B");
    Ini.WriteString("A", "B/C", "section A");
    Ini.WriteString("A\\B", "C", "backslash");
    Ini.WriteString("A%2FB", "C", "percent");
    EXPECT_EQ(Ini.ReadString("A/B", "C", ""), "section A/B");
    EXPECT_EQ(Ini.ReadString("A", "B/C", ""), "section A");
    EXPECT_EQ(Ini.ReadString("A\\B", "C", ""), "backslash");
    EXPECT_EQ(Ini.ReadString("A%2FB", "C", ""), "percent");
    EXPECT_TRUE(Ini.UpdateFile());

    QFile File(IniName());
    ASSERT_TRUE(File.open(QIODevice::ReadOnly));
    int Sections = 0;
    for (const QByteArray &Line : File.readAll().split('\n'))
        Sections += Line.startsWith('[');
    EXPECT_EQ(Sections, 4);
}

TEST_F(RegIniFile, AbsentOrMalformedValuesReadAsTheDefault)
{
    TRegIniFile Ini(KeyPath, IniName());
    EXPECT_EQ(Ini.ReadInteger(Section, "Dest", 7), 7);
    EXPECT_EQ(Ini.ReadString(Section, "Directory", "def"), "def");
    EXPECT_TRUE(Ini.ReadBool(Section, "ReplaceProjWarn", true));
    EXPECT_FALSE(Ini.ValueExists(Section, "Dest"));

    Ini.WriteString(Section, "Dest", "twelve");
    EXPECT_EQ(Ini.ReadInteger(Section, "Dest", 7), 7);
    EXPECT_TRUE(Ini.ReadBool(Section, "Dest", true));
    EXPECT_FALSE(Ini.ReadBool(Section, "Dest", false));
    EXPECT_TRUE(Ini.ValueExists(Section, "Dest"));

    Ini.DeleteKey(Section, "Dest");
    EXPECT_FALSE(Ini.ValueExists(Section, "Dest"));
}

TEST_F(RegIniFile, BooleansReadFromNumbersAndWords)
{
    struct
    {
        const char *Stored;
        bool Expected;
    } const Cases[] = {{"1", true}, {"0", false}, {"-1", true}, {"2", true}, {"true", true}, {"False", false}};
    TRegIniFile Ini(KeyPath, IniName());
    for (const auto &C : Cases) {
        Ini.WriteString(Section, "Flag", C.Stored);
        EXPECT_EQ(Ini.ReadBool(Section, "Flag", !C.Expected), C.Expected) << C.Stored;
    }
    Ini.WriteBool(Section, "Flag", true);
    EXPECT_EQ(Ini.ReadInteger(Section, "Flag", 5), 1);
}

TEST_F(RegIniFile, StringsRoundTripUnchanged)
{
    const QString Values[] = {
        "",
        "  padded  ",
        "a, b, c",
        "/home/a\n/home/b\n/home/c", // a history, one entry per line
        "@Variant(not one)",
        "\"quoted\" ; not a comment",
        "C:\\Proj\\RBackup\\RExpert.reu",
        QString::fromUtf8("Нотаріус Visualização"),
    };
    {
        TRegIniFile Ini(KeyPath, IniName());
        int I = 0;
        for (const QString &V : Values)
            Ini.WriteString(Section, QString("S%1").arg(I++), V);
    }
    TRegIniFile Ini(KeyPath, IniName());
    int I = 0;
    for (const QString &V : Values)
        EXPECT_EQ(Ini.ReadString(Section, QString("S%1").arg(I++), "<absent>"), V) << V.toStdString();
}

TEST(RegIniFileLocation, TheKeyPathNamesTheUsersSettingsFile)
{
    // Only the name is checked; nothing is written to the user's settings.
    TRegIniFile Ini(KeyPath);
    EXPECT_TRUE(Ini.FileName().endsWith("/Halvane/Orvex.ini")) << Ini.FileName().toStdString();
}
