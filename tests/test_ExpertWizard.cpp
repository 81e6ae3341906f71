// The expert as the IDE's add-in: its menu item, its identity, and a click
// on the item with a scripted dialog: what the dialog is told, which
// operation runs, what the user is told, and when the desktop is saved.
#include "ReplaceExpert.h"

#include "Errors.h"
#include "FakeIde.h"
#include "QtPrinters.h"
#include "IDEUtils.h"
#include "RegIniFile.h"
#include "Replacer.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QSettings>
#include <QTemporaryDir>

namespace {

const QString Caption = QStringLiteral("BDE/IBX/FibPlus Migration Wizard");

// A dialog that records what it is told and closes as scripted.
class TScriptedDialog : public TWizardDialog
{
public:
    struct TScript
    {
        bool Finish = true;
        int Mode = 0;
        QString UndoFile;
        QStringList Calls;
        bool Freed = false;
    };
    explicit TScriptedDialog(TScript &Script) : FScript(Script) {}
    ~TScriptedDialog() override { FScript.Freed = true; }

    void SetProductName(const QString &Name) override { FScript.Calls << "ProductName=" + Name; }
    void SetReplaceOptions(TReplaceOptions *Options) override { FScript.Calls << "Options=" + Options->SourceName(); }
    void SetLabel2Caption(const QString &Source, const QString &Product) override
    {
        FScript.Calls << "Label2=" + Source + "," + Product;
    }
    void SetReplaceModeCaption(const QString &Text) override { FScript.Calls << "ReplaceCaption=" + Text; }
    void LoadState(TRegIniFile &, const QString &Section) override { FScript.Calls << "LoadState=" + Section; }
    void SaveState(TRegIniFile &Ini, const QString &Section) override
    {
        FScript.Calls << "SaveState=" + Section;
        Ini.WriteBool(Section, "ReplaceMode", true);
    }
    bool ShowModal() override
    {
        FScript.Calls << "ShowModal";
        return FScript.Finish;
    }
    int GetWizardMode() override { return FScript.Mode; }
    QString UndoFileName() const override { return FScript.UndoFile; }

private:
    TScript &FScript;
};

class TRecordingUI : public TExpertUI
{
public:
    bool Answer = true;
    QStringList Shown; // "icon|caption|text" and "confirm"
    void MessageBox(const QString &Text, const QString &Title, TMessageIcon Icon) override
    {
        Shown << QStringLiteral("%1|%2|%3").arg(Icon == TMessageIcon::Error ? "error" : "info", Title, Text);
    }
    bool ConfirmAction(const QString &, bool, const QString &, bool) override
    {
        Shown << "confirm";
        return Answer;
    }
};

class ExpertWizard : public ::testing::Test
{
protected:
    QTemporaryDir Dir;
    QTemporaryDir Config;
    TReplaceOptions Options{QStringLiteral("BDE/IBX/FibPlus")};
    TComponentReplacer Bde{nullptr, QStringLiteral("DBTables"), QStringLiteral(", Orx"), &Options};
    TComponentReplacer Ibx{nullptr, QStringLiteral("IBDatabase"), QStringLiteral(", Orx"), &Options};
    TFakeIde Ide;
    TIDEServicesScope Scope{&Ide};
    TRecordingUI UI;
    TScriptedDialog::TScript Script;
    std::unique_ptr<TCompReplaceExpert> Expert;

    void SetUp() override
    {
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, Config.path());
        Bde.AddReplacePair("TQuery", "TOrxQuery");
        Ibx.AddReplacePair("TIBQuery", "TOrxQuery");
        Ide.Menu.Items().Insert(0, std::make_unique<TZuMenuItem>("FileMenu", "&File"));
        Ide.Menu.Items().Insert(1, std::make_unique<TZuMenuItem>("HelpMenu", "&Help"));
        Expert = std::make_unique<TCompReplaceExpert>(
            [this] { return std::make_unique<TScriptedDialog>(Script); }, QStringLiteral("Orvex"),
            TZuProductMenu{"OrvexMenu", "&Orvex", ""}, &Bde, &UI);
        Expert->RegisterReplacer(&Ibx);
        WriteBytes(path("Main.pas"), "unit Main;\ninterface\nuses DBTables;\nvar Q: TQuery; I: TIBQuery;\n"
                                     "implementation\nend.\n");
        Options.Dest = sdDirectory;
        Options.Directory = Dir.path();
        Options.BackupDir = path("RBackup");
    }

    QString path(const char *Name) const { return QDir::toNativeSeparators(Dir.filePath(QString::fromLatin1(Name))); }
    void click() { Ide.Menu.Items().Find(Expert->MenuItemName())->Click(); }
    QStringList registry() const
    {
        QSettings Settings(QSettings::IniFormat, QSettings::UserScope, "Halvane", "Orvex");
        return Settings.allKeys();
    }
};

} // namespace

TEST_F(ExpertWizard, MenuItemAndIdentity)
{
    TZuMenuItem &Top = Ide.Menu.Items();
    ASSERT_EQ(Top.Count(), 3);
    EXPECT_EQ(Top.Item(1)->Name, "OrvexMenu"); // before the last top-level menu
    ASSERT_EQ(Top.Item(1)->Count(), 1);
    EXPECT_EQ(Top.Item(1)->Item(0)->Name, "RExpertItemBDE_IBX_FibPlusOrvex");
    EXPECT_EQ(Top.Item(1)->Item(0)->Caption, "&Migration Wizard");
    EXPECT_EQ(Expert->GetIDString(), "Halvane.BDE/IBX/FibPlusMigrationWizard.Orvex");
    EXPECT_EQ(Expert->GetName(), Caption);
    EXPECT_EQ(Expert->GetState(), TWizardState{});
    EXPECT_EQ(Expert->RegistryKey(), "Software\\Halvane\\Orvex");

    // A click that comes after the expert is gone does nothing.
    TZuMenuItem *Item = Top.Item(1)->Item(0);
    Expert.reset();
    Item->Click();
    EXPECT_TRUE(Script.Calls.isEmpty());
}

TEST_F(ExpertWizard, CancelledDialogRunsNothingAndWritesNothing)
{
    Script.Finish = false;
    click();
    const QStringList Expected{"ProductName=Orvex", "Options=BDE/IBX/FibPlus", "Label2=BDE/IBX/FibPlus,Orvex",
                               "ReplaceCaption=&Replace BDE/IBX/FibPlus components", "LoadState=" + Caption,
                               "ShowModal"};
    EXPECT_EQ(Script.Calls, Expected);
    EXPECT_TRUE(Script.Freed);
    EXPECT_TRUE(UI.Shown.isEmpty());
    EXPECT_TRUE(registry().isEmpty());
    EXPECT_TRUE(ReadBytes(path("Main.pas")).contains("Q: TQuery"));
}

TEST_F(ExpertWizard, OutcomesAndMessagesAfterFinish)
{
    const struct
    {
        const char *Name;
        std::function<void()> Prepare;
        int Mode;
        QStringList Shown;
        const char *Converted; // text Main.pas then holds
    } Rows[] = {
        {"folder replace with the IBX replacer", [] {}, 1,
         {"info|" + Caption + "|Replace procedure was performed sucessfully."}, "I: TOrxQuery"},
        {"restore of that run", [this] { Script.UndoFile = path("RBackup/RExpert.reu"); }, 100,
         {"confirm", "info|" + Caption + "|Files were succefully restored."}, "I: TIBQuery"},
        {"restore refused", [] {}, 100, {"confirm"}, "I: TIBQuery"},
        {"restore of an empty undo file",
         [this] {
             UI.Answer = true;
             WriteBytes(path("Empty.reu"), "");
             Script.UndoFile = path("Empty.reu");
         },
         100, {"confirm", "error|" + Caption + "|Failed to restore files.\nThe undo file \"" + path("Empty.reu")
                  + "\" lists no file: its run changed nothing, so there is nothing to restore."}, "I: TIBQuery"},
        {"project not saved",
         [this] {
             Options.Dest = sdProject;
             Ide.SetProject(path("App.dpr"), {path("Main.pas")});
             Ide.SaveResult = false;
         },
         0, {"confirm", "info|" + Caption + "|Cannot start replace process.\nProject was not saved."}, "Q: TQuery"},
    };
    for (const auto &R : Rows) {
        if (QString(R.Name) == "restore refused")
            UI.Answer = false;
        R.Prepare();
        Script.Mode = R.Mode;
        Script.Calls.clear();
        UI.Shown.clear();
        QSettings(QSettings::IniFormat, QSettings::UserScope, "Halvane", "Orvex").clear();
        click();
        EXPECT_EQ(UI.Shown, R.Shown) << R.Name;
        EXPECT_TRUE(ReadBytes(path("Main.pas")).contains(R.Converted)) << R.Name;
        // The desktop is saved after the operation, whatever its outcome.
        EXPECT_EQ(Script.Calls.last(), "SaveState=" + Caption) << R.Name;
        EXPECT_FALSE(registry().isEmpty()) << R.Name;
        EXPECT_TRUE(Script.Freed) << R.Name;
    }
}

TEST_F(ExpertWizard, ErrorThatStopsTheRunIsShownInTheWizardsOwnBox)
{
    Options.Directory = path("missing");
    click();
    EXPECT_TRUE(Script.Freed);
    ASSERT_EQ(UI.Shown.size(), 1);
    EXPECT_TRUE(UI.Shown[0].startsWith("error|" + Caption + "|Replace failed.\n")) << UI.Shown[0].toStdString();
    EXPECT_TRUE(UI.Shown[0].contains(path("missing"))) << UI.Shown[0].toStdString();
    // As after any failure, the desktop is saved.
    EXPECT_EQ(Script.Calls.last(), "SaveState=" + Caption);

    // A folder without units fails instead of succeeding with nothing done.
    UI.Shown.clear();
    QSettings(QSettings::IniFormat, QSettings::UserScope, "Halvane", "Orvex").clear();
    ASSERT_TRUE(QDir().mkpath(path("empty")));
    Options.Directory = path("empty");
    click();
    EXPECT_EQ(UI.Shown, QStringList("error|" + Caption + "|Replace failed.\nThe folder \"" + path("empty")
                                    + "\" holds no Delphi units (.pas, .dpr)."));
}
