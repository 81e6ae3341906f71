#include "IDEUtils.h"

#include "FakeIde.h"

#include <gtest/gtest.h>

namespace {

const TZuProductMenu ProductMenu{"OrvexMenu", "&Orvex", "Or&vex Tools"};

// "Name:Caption" of each top-level menu, in order.
QStringList topLevel(TZuMainMenu &Menu)
{
    QStringList Result;
    for (int I = 0; I < Menu.Items().Count(); ++I)
        Result << Menu.Items().Item(I)->Name + ":" + Menu.Items().Item(I)->Caption;
    return Result;
}

void addTopLevel(TZuMainMenu &Menu, const QString &Name, const QString &Caption)
{
    Menu.Items().Insert(Menu.Items().Count(), std::make_unique<TZuMenuItem>(Name, Caption));
}

class IDEUtils : public ::testing::Test
{
protected:
    TFakeIde Ide;
    TIDEServicesScope Scope{&Ide};

    void SetUp() override
    {
        addTopLevel(Ide.Menu, "FileMenu", "&File");
        addTopLevel(Ide.Menu, "ToolsMenu", "&Tools");
        addTopLevel(Ide.Menu, "HelpMenu", "&Help");
    }
};

} // namespace

TEST(IDEUtilsWithoutIde, BehavesAsIfNoProjectWereOpen)
{
    TIDEServicesScope Scope(nullptr);
    EXPECT_EQ(TIDEUtils::GetProjectName(), QString());
    EXPECT_EQ(TIDEUtils::GetUnitCount(), 0);
    EXPECT_EQ(TIDEUtils::GetUnitName(0), QString());
    EXPECT_FALSE(TIDEUtils::SaveProject());
    EXPECT_TRUE(TIDEUtils::CloseProject());
    EXPECT_FALSE(TIDEUtils::OpenProject("/p/App.dpr"));
    EXPECT_FALSE(TIDEUtils::ReloadFile("/p/Main.pas"));
    TIDEUtils::ShowProjectCodeEditors();
    EXPECT_EQ(TIDEUtils::AddWizard(ProductMenu, "&Migration Wizard", "Item", {}), nullptr);
}

TEST_F(IDEUtils, NoProjectGroupGivesNeutralAnswersWithoutAskingTheIde)
{
    EXPECT_EQ(TIDEUtils::GetProjectName(), QString());
    EXPECT_EQ(TIDEUtils::GetUnitCount(), 0);
    EXPECT_FALSE(TIDEUtils::SaveProject());
    EXPECT_TRUE(TIDEUtils::CloseProject());
    EXPECT_EQ(Ide.Calls, QStringList());
}

TEST_F(IDEUtils, ForwardsToTheActiveProjectAndPassesAnswersBack)
{
    Ide.SetProject("/p/App.dpr", {"/p/Main.pas", "/p/Data.pas"});
    Ide.SaveResult = false;
    Ide.ReloadResult = false;
    EXPECT_EQ(TIDEUtils::GetProjectName(), "/p/App.dpr");
    EXPECT_EQ(TIDEUtils::GetUnitCount(), 2);
    EXPECT_EQ(TIDEUtils::GetUnitName(1), "/p/Data.pas");
    EXPECT_EQ(TIDEUtils::GetUnitName(2), QString());
    EXPECT_EQ(TIDEUtils::GetUnitName(-1), QString());
    EXPECT_FALSE(TIDEUtils::SaveProject());
    EXPECT_FALSE(TIDEUtils::ReloadFile("/p/Main.pas"));
    TIDEUtils::ShowProjectCodeEditors();
    EXPECT_TRUE(TIDEUtils::CloseProject());
    EXPECT_TRUE(TIDEUtils::OpenProject("")); // passed on unchanged, also when empty
    EXPECT_EQ(Ide.Calls, (QStringList{"SaveProject", "ReloadFile(/p/Main.pas)", "ShowProjectCodeEditors",
                                      "CloseProjectGroup", "OpenProject()"}));
}

TEST_F(IDEUtils, CloseAndReopenRestoresTheProject)
{
    Ide.SetProject("/p/App.dpr", {"/p/Main.pas"});
    Ide.ModulesOnOpen = {"/p/Main.pas"};
    const QString Remembered = TIDEUtils::GetProjectName();
    EXPECT_TRUE(TIDEUtils::CloseProject());
    EXPECT_EQ(TIDEUtils::GetUnitCount(), 0);
    EXPECT_TRUE(TIDEUtils::OpenProject(Remembered));
    EXPECT_EQ(TIDEUtils::GetProjectName(), "/p/App.dpr");
    EXPECT_EQ(TIDEUtils::GetUnitCount(), 1);
}

TEST_F(IDEUtils, AddWizardCreatesTheProductMenuBeforeTheLastTopLevelMenu)
{
    TZuMenuItem *Clicked = nullptr;
    TZuMenuItem *Item = TIDEUtils::AddWizard(ProductMenu, "&Migration Wizard", "RExpertItemBDE_IBX_FibPlusOrvex",
                                             [&](TZuMenuItem *Sender) { Clicked = Sender; });
    ASSERT_NE(Item, nullptr);
    EXPECT_EQ(topLevel(Ide.Menu),
              (QStringList{"FileMenu:&File", "ToolsMenu:&Tools", "OrvexMenu:&Orvex", "HelpMenu:&Help"}));
    TZuMenuItem *Product = Ide.Menu.Items().Item(2);
    ASSERT_EQ(Product->Count(), 1);
    EXPECT_EQ(Product->Item(0), Item);
    EXPECT_EQ(Item->Parent(), Product);
    EXPECT_EQ(Item->Name, "RExpertItemBDE_IBX_FibPlusOrvex");
    EXPECT_EQ(Item->Caption, "&Migration Wizard");
    Item->Click();
    EXPECT_EQ(Clicked, Item);
    Product->Click(); // no handler: nothing happens
}

TEST_F(IDEUtils, AddWizardReusesTheProductMenuAndResetsItsCaption)
{
    addTopLevel(Ide.Menu, "OrvexMenu", "Old caption");
    Ide.Menu.Items().Item(3)->Insert(0, std::make_unique<TZuMenuItem>("Other", "Other item"));
    TIDEUtils::AddWizard(ProductMenu, "&First", "First", {});
    TIDEUtils::AddWizard(ProductMenu, "&Second", "Second", {});
    EXPECT_EQ(topLevel(Ide.Menu),
              (QStringList{"FileMenu:&File", "ToolsMenu:&Tools", "HelpMenu:&Help", "OrvexMenu:&Orvex"}));
    TZuMenuItem *Product = Ide.Menu.Items().Item(3);
    ASSERT_EQ(Product->Count(), 3);
    EXPECT_EQ(Product->Item(1)->Name, "First");
    EXPECT_EQ(Product->Item(2)->Name, "Second");
}

TEST_F(IDEUtils, AddWizardMatchesTheComponentNameExactly)
{
    addTopLevel(Ide.Menu, "orvexmenu", "Something");
    TIDEUtils::AddWizard(ProductMenu, "&Migration Wizard", "Item", {});
    EXPECT_EQ(Ide.Menu.Items().Count(), 5);
    EXPECT_EQ(Ide.Menu.Items().Find("OrvexMenu")->Count(), 1);
    EXPECT_EQ(Ide.Menu.Items().Find("orvexmenu")->Count(), 0);
}

TEST_F(IDEUtils, AddWizardUsesTheAlternativeCaptionOnACaptionClash)
{
    struct
    {
        const char *OtherCaption;
        const char *AltCaption;
        const char *Expected;
    } const Cases[] = {
        {"O&RVEX", "Or&vex Tools", "Or&vex Tools"}, // ampersands and case do not matter
        {"orvex", "", "&Orvex"},                    // without an alternative the clash is ignored
        {"Orvex Pro", "Or&vex Tools", "&Orvex"},    // no clash
    };
    for (const auto &C : Cases) {
        TFakeIde Fresh;
        TIDEServicesScope Inner(&Fresh);
        addTopLevel(Fresh.Menu, "OtherVendor", C.OtherCaption);
        addTopLevel(Fresh.Menu, "HelpMenu", "&Help");
        TIDEUtils::AddWizard({"OrvexMenu", "&Orvex", C.AltCaption}, "&Migration Wizard", "Item", {});
        ASSERT_NE(Fresh.Menu.Items().Find("OrvexMenu"), nullptr);
        EXPECT_EQ(Fresh.Menu.Items().Find("OrvexMenu")->Caption, QString(C.Expected)) << C.OtherCaption;
    }
}

TEST(AddWizardOnAnEmptyMenu, TheProductMenuBecomesTheOnlyOne)
{
    TFakeIde Ide;
    TIDEServicesScope Scope(&Ide);
    TIDEUtils::AddWizard(ProductMenu, "&Migration Wizard", "Item", {});
    EXPECT_EQ(topLevel(Ide.Menu), QStringList{"OrvexMenu:&Orvex"});
    EXPECT_EQ(Ide.Menu.Items().Item(0)->Count(), 1);
}

TEST(RemoveAmpersands, DropsAcceleratorMarks)
{
    EXPECT_EQ(RemoveAmpersands("&Migration Wizard"), "Migration Wizard");
    EXPECT_EQ(RemoveAmpersands("Or&vex"), "Orvex");
    EXPECT_EQ(RemoveAmpersands("Save && Exit"), "Save & Exit");
    EXPECT_EQ(RemoveAmpersands("Trailing&"), "Trailing");
    EXPECT_EQ(RemoveAmpersands(""), "");
}
