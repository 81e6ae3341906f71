#include "ProjectIde.h"

#include "FileSystem.h"
#include "FileUtils.h"
#include "TestFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QStringList modules(const TProjectFileIde &Ide)
{
    QStringList Result;
    for (int I = 0; I < Ide.ModuleCount(); ++I)
        Result << Ide.ModuleFileName(I);
    return Result;
}

class ProjectIde : public ::testing::Test
{
protected:
    QTemporaryDir Base;
    QString B;
    TProjectFileIde Ide;

    void SetUp() override { B = Base.path(); }
};

} // namespace

TEST(ProjectSource, ListsThePathsOfTheUsesClause)
{
    struct
    {
        const char *Source;
        QStringList Expected;
    } const Cases[] = {
        {"program P; uses Forms, Main in 'Main.pas' {Form1}, Data in 'Data.pas' {DM: TDataModule}; begin end.",
         {"Main.pas", "Data.pas"}},
        {"program P;\r\n\r\nuses\r\n  Forms,\r\n  // Old in 'Old.pas',\r\n  { Gone in 'Gone.pas', }\r\n"
         "  (* X in 'X.pas', *)\r\n  U1 in '..\\Lib\\U1.pas',\r\n\r\n  Vcl.Grids.Ext IN 'ext\\G.pas';\r\n"
         "begin Application.Run; end.",
         {"..\\Lib\\U1.pas", "ext\\G.pas"}},
        {"library L; uses SysUtils, Classes; {$R *.res} begin end.", {}},
        {"program P; {$IFDEF X} uses A in 'a.pas'; {$ELSE} uses B in 'b.pas'; {$ENDIF} begin end.",
         {"a.pas", "b.pas"}},
        {"program P; uses Q in 'it''s.pas', R in 'r'#46'pas'; begin end.", {"it's.pas", "r.pas"}},
        {"program P; uses A in 'a.pas'; begin S := 'uses B in ''b.pas'''; end.", {"a.pas"}},
        {"program P; uses A in 'a.pas', B in", {"a.pas"}}, // cut off
        {"", {}},
    };
    for (const auto &C : Cases)
        EXPECT_EQ(TProjectFileIde::ParseProjectSource(QString::fromUtf8(C.Source)), C.Expected) << C.Source;
}

TEST_F(ProjectIde, DprUnitsBecomeFullPathsWithTheCaseFoundOnDisk)
{
    WriteBytes(B + "/App/Main.PAS", "unit Main;");
    WriteBytes(B + "/App/Forms/Login.pas", "unit Login;");
    WriteBytes(B + "/Common/Utils.pas", "unit Utils;");
    WriteBytes(B + "/App/App.dpr",
              "program App;\r\n\r\nuses\r\n  Forms,\r\n  Main in 'Main.pas' {MainForm},\r\n"
              "  Login in 'forms\\LOGIN.pas' {LoginForm},\r\n  Utils in '..\\common\\Utils.pas',\r\n"
              "  Missing in 'Missing.pas';\r\n\r\n{$R *.res}\r\n\r\nbegin\r\nend.\r\n");

    ASSERT_TRUE(Ide.OpenProject(B + "/App/App.dpr")) << Ide.ErrorString().toStdString();
    EXPECT_TRUE(Ide.IsProjectGroupOpen());
    EXPECT_EQ(FileNameKey(Ide.ActiveProjectFileName()), FileNameKey(B + "/App/App.dpr"));
    EXPECT_EQ(FileNameKeys(modules(Ide)), FileNameKeys({B + "/App/Main.PAS", B + "/App/Forms/Login.pas", B + "/Common/Utils.pas",
                                                     B + "/App/Missing.pas"}));
    EXPECT_EQ(Ide.ModuleFileName(4), QString());
    EXPECT_TRUE(Ide.SaveProject());
    EXPECT_TRUE(Ide.ReloadFile(B + "/App/Main.PAS"));
}

TEST_F(ProjectIde, TheProjectNameItselfIsFoundWithoutRegardToCase)
{
    WriteBytes(B + "/App.dpr", "program App; uses Main in 'Main.pas'; begin end.");
    ASSERT_TRUE(Ide.OpenProject(B + "/APP.DPR"));
    EXPECT_EQ(FileNameKey(Ide.ActiveProjectFileName()), FileNameKey(B + "/App.dpr"));
}

TEST_F(ProjectIde, ADprWithoutInEntriesHasNoModules)
{
    WriteBytes(B + "/Tool.dpr", "program Tool;\n{$APPTYPE CONSOLE}\nuses SysUtils, Classes;\nbegin\nend.\n");
    ASSERT_TRUE(Ide.OpenProject(B + "/Tool.dpr"));
    EXPECT_EQ(Ide.ModuleCount(), 0);
    EXPECT_EQ(FileNameKey(Ide.ActiveProjectFileName()), FileNameKey(B + "/Tool.dpr"));
}

TEST_F(ProjectIde, DecodesTheProjectFileByItsByteOrderMark)
{
    WriteBytes(B + QString::fromUtf8("/Модулі/Головна.pas"), "unit X;");
    WriteBytes(B + "/App.dpr",
              "\xEF\xBB\xBFprogram App; uses Головна in '\xD0\x9C\xD0\xBE\xD0\xB4\xD1\x83\xD0\xBB\xD1\x96\\"
              "\xD0\x93\xD0\xBE\xD0\xBB\xD0\xBE\xD0\xB2\xD0\xBD\xD0\xB0.pas'; begin end.");
    ASSERT_TRUE(Ide.OpenProject(B + "/App.dpr"));
    EXPECT_EQ(FileNameKeys(modules(Ide)), FileNameKeys({B + QString::fromUtf8("/Модулі/Головна.pas")}));
}

TEST_F(ProjectIde, DprojListsItsDccReferences)
{
    WriteBytes(B + "/Src/Main.pas", "unit Main;");
    WriteBytes(B + "/Lib/Utils.pas", "unit Utils;");
    WriteBytes(B + "/Src/App.dproj", R"xml(<?xml version="1.0" encoding="utf-8"?>
<Project xmlns="http://schemas.microsoft.com/developer/msbuild/2003">
  <PropertyGroup><MainSource>App.dpr</MainSource></PropertyGroup>
  <ItemGroup>
    <DelphiCompile Include="$(MainSource)"><MainSource>MainSource</MainSource></DelphiCompile>
    <DCCReference Include="rtl.dcp"/>
    <DCCReference Include="Main.pas"><Form>MainForm</Form></DCCReference>
    <DCCReference Include="..\LIB\utils.PAS"/>
  </ItemGroup>
</Project>
)xml");
    ASSERT_TRUE(Ide.OpenProject(B + "/Src/App.dproj")) << Ide.ErrorString().toStdString();
    EXPECT_EQ(FileNameKeys(modules(Ide)), FileNameKeys({B + "/Src/Main.pas", B + "/Lib/Utils.pas"}));
}

TEST_F(ProjectIde, UnreadableProjectsOpenNothingAndSayWhy)
{
    WriteBytes(B + "/Bad.dproj", "<Project><ItemGroup><DCCReference Include=\"A.pas\"></ItemGroup>");
    WriteBytes(B + "/Good.dpr", "program Good; uses A in 'A.pas'; begin end.");
    ASSERT_TRUE(Ide.OpenProject(B + "/Good.dpr"));

    EXPECT_FALSE(Ide.OpenProject(B + "/Bad.dproj"));
    EXPECT_TRUE(Ide.ErrorString().contains(NativePath(B + "/Bad.dproj"))) << Ide.ErrorString().toStdString();
    EXPECT_FALSE(Ide.IsProjectGroupOpen());
    EXPECT_EQ(Ide.ModuleCount(), 0);

    EXPECT_FALSE(Ide.OpenProject(B + "/None.dpr"));
    EXPECT_TRUE(Ide.ErrorString().contains(NativePath(B + "/None.dpr"))) << Ide.ErrorString().toStdString();
    EXPECT_FALSE(Ide.OpenProject(""));
    EXPECT_FALSE(Ide.ErrorString().isEmpty());
}

TEST_F(ProjectIde, ClosingForgetsTheProjectAndServesTIDEUtils)
{
    WriteBytes(B + "/App.dpr", "program App; uses A in 'A.pas'; begin end.");
    TIDEServicesScope Scope(&Ide);
    ASSERT_TRUE(TIDEUtils::OpenProject(B + "/App.dpr"));
    EXPECT_EQ(TIDEUtils::GetUnitName(0), NativePath(B + "/A.pas"));
    EXPECT_TRUE(TIDEUtils::SaveProject());
    EXPECT_TRUE(TIDEUtils::CloseProject());
    EXPECT_EQ(TIDEUtils::GetProjectName(), QString());
    EXPECT_EQ(TIDEUtils::GetUnitCount(), 0);
    EXPECT_FALSE(TIDEUtils::SaveProject());
}
