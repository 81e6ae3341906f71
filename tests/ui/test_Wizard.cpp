// The wizard dialog driven through its real widgets: the roads of a project
// replace, a folder replace and a restore, the steps and the caption, the
// refusals, the enabling rules, the backup folder, the histories and the
// remembered state.
#include "Wizard.h"

#include "FakeIde.h"
#include "QtPrinters.h"
#include "RegIniFile.h"
#include "Replacer.h"
#include "TestFiles.h"
#include "UiTestSupport.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QTest>

#include <functional>

#include <gtest/gtest.h>

namespace {

const QString Caption = QStringLiteral("BDE/IBX/FibPlus Migration Wizard");

class WizardForm : public ::testing::Test
{
protected:
    QTemporaryDir Dir;
    TFakeIde Ide;
    TIDEServicesScope Scope{&Ide};
    TScriptedDialogs Dialogs;
    TUiDialogsScope DialogsScope{&Dialogs};
    TReplaceOptions Options{QStringLiteral("BDE/IBX/FibPlus")};
    std::unique_ptr<TWizardForm> Form;

    QString path(const QString &Name) const { return QDir::toNativeSeparators(Dir.filePath(Name)); }

    void openProject()
    {
        Ide.SetProject(path("App.dpr"), {path("Main.pas"), path("b.pas"), path("Util.PAS"), path("App.res"),
                                         QString(), path("App.dpr")});
    }

    void show()
    {
        Form = std::make_unique<TWizardForm>();
        Form->SetProductName(QStringLiteral("Orvex"));
        Form->SetReplaceOptions(&Options);
        Form->show();
    }

    QString page() const { return Form->StepsPageControl->currentWidget()->objectName(); }
    QString caption() const { return Form->windowTitle(); }
    void next() { QTest::mouseClick(Form->btNext, Qt::LeftButton); }
    void back() { QTest::mouseClick(Form->btPrev, Qt::LeftButton); }
    void finish() { QTest::mouseClick(Form->btFinish, Qt::LeftButton); }
    QStringList units() const
    {
        QStringList Result;
        for (int I = 0; I < Form->lbModules->count(); ++I)
            Result << Form->lbModules->item(I)->text()
                          + (Form->lbModules->item(I)->checkState() == Qt::Checked ? "+" : "-");
        return Result;
    }
    void typeInto(QComboBox *Combo, const QString &Text)
    {
        Combo->lineEdit()->clear();
        QTest::keyClicks(Combo->lineEdit(), Text);
    }
};

} // namespace

TEST_F(WizardForm, LayoutAndTextsAreThoseOfTheForm)
{
    show();
    // The design's places, scaled for the font the dialog is shown in.
    const double Scale = Form->ScaleFactor();
    EXPECT_GE(Scale, 1.0);
    EXPECT_EQ(Form->size(), TFontFit::Scaled(QSize(468, 324), Scale));
    EXPECT_EQ(Form->StepsPageControl->geometry(), TFontFit::Scaled(QRect(129, 2, 338, 271), Scale));
    EXPECT_EQ(Form->StepsPageControl->count(), 7);
    const struct
    {
        const char *Name;
        QString Text;
        QRect Geometry; // checked when not empty
    } Rows[] = {
        {"btPrev", "< Back", QRect(126, 291, 75, 25)},
        {"btNext", "Next >", QRect(208, 291, 75, 25)},
        {"btFinish", "Finish", QRect(305, 291, 75, 25)},
        {"btCancel", "Cancel", QRect(386, 291, 75, 25)},
        {"Step1Title", "Step 1 - Select mode", {}},
        {"Label1", "Welcome to Migration Wizard", {}},
        {"rbModeReplace", "&Replace BDE components", QRect(16, 200, 149, 17)},
        {"rbModeRestore", "R&estore original files from backup", {}},
        {"Label11", "If any problem occurs during the migration process, you can restore your project from backup "
                    "files. However, it is highly recommended to make a reserved copy of your project before running "
                    "the migration process.", {}},
        {"Step2RestoreTitle", "Step 2 - Select backup file", {}},
        {"lUndo", "&Backup file:", {}},
        {"btRestoreBrowse", "Bro&wse...", {}},
        {"Label5", "Note: Backup file is created while replacing if 'Make backup' option is selected.", {}},
        {"Step2ReplaceTitle", "Step 2 - Select location of files to search", {}},
        {"rbDestProject", "&Current open project", {}},
        {"rbDestFolder", "&Disk folder", {}},
        {"Label7", "Note: Using 'Current open project' option gives more information about files.", {}},
        {"Step3ProjTitle", "Step 3 - Select units to replace components", {}},
        {"btSelect", "Select All", {}},
        {"btDeselect", "Deselect All", {}},
        {"Step3DirTitle", "Step 3 - Select folder to search units", {}},
        {"lSource", "Target &folder:", {}},
        {"btBrowseFolder", "&Browse...", {}},
        {"chSubDirs", "Include &subfolders", {}},
        {"Step4Title", "Step 4 - Set advanced options", {}},
        {"chMakeBackup", "&Make backup", {}},
        {"lBackupFolder", "Backup &folder:", {}},
        {"btBrowseBackFolder", "&Browse...", {}},
        {"chWriteLog", "&Write log", {}},
        {"lblLogNote", "Note: Log file will be placed in project folder or target folder you selected.", {}},
        {"chViewLog", "View log after replace", {}},
        {"chRenameMembers", "Rename members in code", {}},
        {"FinalStepTitle", "Step 5 - Start units converting", {}},
        {"Label15", "If you want to review or change any settings, click Back. Otherwise click Finish to start "
                    "replacing.", {}},
        {"Label14", "Summary:", {}},
    };
    for (const auto &Row : Rows) {
        QWidget *W = Form->findChild<QWidget *>(QLatin1String(Row.Name));
        ASSERT_NE(W, nullptr) << Row.Name;
        QString Text;
        if (auto *L = qobject_cast<QLabel *>(W))
            Text = L->text();
        else if (auto *B = qobject_cast<QAbstractButton *>(W))
            Text = B->text();
        EXPECT_EQ(Text, Row.Text) << Row.Name;
        if (!Row.Geometry.isEmpty())
            EXPECT_EQ(W->geometry(), TFontFit::Scaled(Row.Geometry, Scale)) << Row.Name;
    }
    EXPECT_TRUE(Form->Label1->font().bold());
    EXPECT_TRUE(Form->findChild<QLabel *>("Step4Title")->font().bold());
    EXPECT_EQ(TWizardForm::OpenDialogFilter, "Undo files (*.reu)|*.reu|All files (*.*)|*.*");

    Form->SetLabel2Caption("BDE", "Orvex");
    EXPECT_EQ(Form->Label2->text(),
              "Wizard facilitates converting your application to Orvex. It replaces all standard BDE components to "
              "corresponding Orvex components. You may need to make some changes manually to compile your "
              "application successfully.");
}

TEST_F(WizardForm, ProjectReplaceRoad)
{
    openProject();
    Options.ModuleList = "old";
    show();
    EXPECT_EQ(caption(), "Orvex Migration Wizard - Step 1 of 5");
    next();
    EXPECT_EQ(page(), "Step2ReplaceSheet");
    EXPECT_TRUE(Form->rbDestProject->isEnabled());
    EXPECT_TRUE(Form->rbDestProject->isChecked());
    next();
    EXPECT_EQ(page(), "Step3ProjSheet");
    // The .pas units of the project, without folder, sorted, all ticked.
    EXPECT_EQ(units(), QStringList({"b.pas+", "Main.pas+", "Util.PAS+"}));
    Form->lbModules->item(2)->setCheckState(Qt::Unchecked);
    // Going back and forth keeps the ticks: the list is not refilled.
    back();
    next();
    EXPECT_EQ(units(), QStringList({"b.pas+", "Main.pas+", "Util.PAS-"}));
    next();
    EXPECT_EQ(page(), "Step4Sheet");
    EXPECT_EQ(Form->cbBackupDir->currentText(), path("RBackup"));
    next();
    EXPECT_EQ(page(), "FinalStepSheet");
    EXPECT_EQ(Form->lSummary->text(), "Mode: Replace BDE/IBX/FibPlus components\n\n"
                                      "Scan destination: Current open project\n\n"
                                      "Backup dir: \""
                                          + path("RBackup")
                                          + "\"\n\n"
                                            "Write log file\n\n"
                                            "Units list:\nb.pas\nMain.pas\n");
    finish();
    EXPECT_EQ(Form->result(), QDialog::Accepted);
    EXPECT_FALSE(Form->isVisible());
    EXPECT_EQ(Options.Dest, sdProject);
    EXPECT_EQ(Options.ModuleList, "b.pas\nMain.pas\n");
    EXPECT_EQ(Options.BackupDir, path("RBackup"));
    EXPECT_TRUE(Options.MakeBackup);
    EXPECT_TRUE(Options.WriteLog);
    EXPECT_FALSE(Options.ViewLog);
    EXPECT_FALSE(Options.RenameMembers);
    EXPECT_EQ(Form->GetWizardMode(), 0);
    // FormClose empties the list.
    EXPECT_EQ(Form->lbModules->count(), 0);
    EXPECT_TRUE(Dialogs.Messages.empty());
}

TEST_F(WizardForm, FolderReplaceRoadWithSubfoldersAndTheBackupFolderFollowingTheDestination)
{
    WriteBytes(path("src/sub/A.pas"), "unit A;\ninterface\nimplementation\nend.\n");
    ASSERT_TRUE(QDir().mkpath(path("other")));
    show(); // no project open
    EXPECT_FALSE(Form->rbDestProject->isEnabled());
    EXPECT_TRUE(Form->rbDestFolder->isChecked());
    next();
    next();
    EXPECT_EQ(page(), "Step3DirSheet");
    EXPECT_EQ(caption(), "Orvex Migration Wizard - Step 3 of 5");
    // An empty folder box disables Next; a folder that does not exist is
    // refused with a message, and the caption stays.
    EXPECT_FALSE(Form->btNext->isEnabled());
    typeInto(Form->cbDirectory, path("missing"));
    EXPECT_TRUE(Form->btNext->isEnabled());
    Form->setWindowTitle("unchanged");
    next();
    EXPECT_EQ(page(), "Step3DirSheet");
    EXPECT_EQ(caption(), "unchanged");
    ASSERT_EQ(Dialogs.Messages.size(), 1u);
    EXPECT_EQ(Dialogs.Messages[0].Text, "Target directory \"" + path("missing") + "\" does not exist.");
    EXPECT_EQ(Dialogs.Messages[0].Caption, Caption);
    EXPECT_EQ(Dialogs.Messages[0].Icon, QMessageBox::Information);

    typeInto(Form->cbDirectory, path("other"));
    next();
    EXPECT_EQ(Form->cbBackupDir->currentText(), path("other/RBackup"));
    // A new destination moves the default along...
    back();
    typeInto(Form->cbDirectory, path("src"));
    QTest::mouseClick(Form->chSubDirs, Qt::LeftButton, {}, QPoint(5, 5));
    next();
    EXPECT_EQ(Form->cbBackupDir->currentText(), path("src/RBackup"));
    // ...until the user types into the box; a relative entry is taken from
    // the target folder.
    typeInto(Form->cbBackupDir, "Saved");
    EXPECT_TRUE(Form->BackupDirModified());
    back();
    next();
    EXPECT_EQ(Form->cbBackupDir->currentText(), "Saved");
    QTest::mouseClick(Form->chViewLog, Qt::LeftButton, {}, QPoint(5, 5));
    QTest::mouseClick(Form->chRenameMembers, Qt::LeftButton, {}, QPoint(5, 5));
    next();
    EXPECT_EQ(Form->lSummary->text(), "Mode: Replace BDE/IBX/FibPlus components\n\n"
                                      "Scan destination: Folder \""
                                          + path("src")
                                          + "\"\n\n"
                                            "Backup dir: \""
                                          + path("src/Saved")
                                          + "\"\n\n"
                                            "Write log file\n\nView log afer replace\n\n");
    finish();
    EXPECT_EQ(Options.Dest, sdDirectory);
    EXPECT_EQ(Options.Directory, path("src"));
    EXPECT_TRUE(Options.IncludeSubDirs);
    EXPECT_EQ(Options.BackupDir, path("src/Saved"));
    EXPECT_TRUE(Options.ViewLog);
    EXPECT_TRUE(Options.RenameMembers);
    EXPECT_EQ(Form->cbDirectory->itemText(0), path("src"));
    EXPECT_EQ(Form->cbBackupDir->itemText(0), "Saved");
}

TEST_F(WizardForm, RestoreRoadCountsThreeSteps)
{
    openProject();
    WriteBytes(path("RBackup/RExpert.reu"), "x");
    show();
    QTest::mouseClick(Form->rbModeRestore, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(caption(), "Orvex Migration Wizard - Step 1 of 3");
    next();
    EXPECT_EQ(page(), "Step2RestoreSheet");
    EXPECT_EQ(caption(), "Orvex Migration Wizard - Step 2 of 3");
    EXPECT_FALSE(Form->btNext->isEnabled());
    // A folder is no undo file.
    for (const QString &Wrong : {path("nothing.reu"), path("RBackup")}) {
        Form->edUndoFile->setText(Wrong);
        next();
        EXPECT_EQ(page(), "Step2RestoreSheet");
        EXPECT_EQ(Dialogs.Messages.back().Text, "Undo file \"" + Wrong + "\" does not exist.");
        EXPECT_EQ(Dialogs.Messages.back().Caption, Caption);
    }
    Form->edUndoFile->setText(path("RBackup/RExpert.reu"));
    next();
    EXPECT_EQ(page(), "FinalStepSheet");
    EXPECT_EQ(caption(), "Orvex Migration Wizard - Step 3 of 3");
    EXPECT_EQ(Form->lSummary->text(), "Mode: Restore original files from backup\n\nUndo file: \""
                                          + path("RBackup/RExpert.reu") + "\"\n\n");
    back();
    EXPECT_EQ(page(), "Step2RestoreSheet");
    next();
    finish();
    EXPECT_EQ(Form->GetWizardMode(), 100);
    EXPECT_EQ(Form->UndoFileName(), path("RBackup/RExpert.reu"));
}

TEST_F(WizardForm, BackAndNextOnEveryPage)
{
    openProject();
    ASSERT_TRUE(QDir().mkpath(path("src")));
    WriteBytes(path("R.reu"), "x");
    show();
    const QString Fmt = "Orvex Migration Wizard - Step %1 of %2";
    // Each row: what to do, then the page and "step/count" after it.
    const struct
    {
        std::function<void()> Do;
        const char *Page;
        const char *Step;
    } Rows[] = {
        {[&] { back(); }, "Step1Sheet", "1/5"},
        {[&] { next(); }, "Step2ReplaceSheet", "2/5"},
        {[&] { back(); }, "Step1Sheet", "1/5"},
        {[&] { next(); }, "Step2ReplaceSheet", "2/5"},
        {[&] { next(); }, "Step3ProjSheet", "3/5"},
        {[&] { back(); }, "Step2ReplaceSheet", "2/5"},
        {[&] { Form->rbDestFolder->click(); }, "Step2ReplaceSheet", "2/5"},
        {[&] { next(); }, "Step3DirSheet", "3/5"},
        {[&] { back(); }, "Step2ReplaceSheet", "2/5"},
        {[&] { next(); }, "Step3DirSheet", "3/5"},
        {[&] { typeInto(Form->cbDirectory, path("src")); next(); }, "Step4Sheet", "4/5"},
        {[&] { back(); }, "Step3DirSheet", "3/5"},
        {[&] { next(); }, "Step4Sheet", "4/5"},
        {[&] { next(); }, "FinalStepSheet", "5/5"},
        {[&] { next(); }, "FinalStepSheet", "5/5"},
        {[&] { back(); }, "Step4Sheet", "4/5"},
        {[&] { Form->rbDestProject->setChecked(true); back(); }, "Step3ProjSheet", "3/5"},
        {[&] { back(); back(); }, "Step1Sheet", "1/5"},
        {[&] { Form->rbModeRestore->click(); }, "Step1Sheet", "1/3"},
        {[&] { next(); }, "Step2RestoreSheet", "2/3"},
        {[&] { back(); }, "Step1Sheet", "1/3"},
        {[&] { next(); Form->edUndoFile->setText(path("R.reu")); next(); }, "FinalStepSheet", "3/3"},
        {[&] { back(); }, "Step2RestoreSheet", "2/3"},
    };
    int Row = 0;
    for (const auto &R : Rows) {
        R.Do();
        const QStringList Step = QString(R.Step).split('/');
        EXPECT_EQ(page(), R.Page) << "row " << Row;
        EXPECT_EQ(caption(), Fmt.arg(Step[0], Step[1])) << "row " << Row;
        ++Row;
    }
}

TEST_F(WizardForm, EnablingRulesFollowWhatTheyDependOn)
{
    openProject();
    show();
    EXPECT_FALSE(Form->btPrev->isEnabled());
    EXPECT_TRUE(Form->btNext->isEnabled());
    EXPECT_FALSE(Form->btFinish->isEnabled());
    Form->StepsPageControl->setCurrentWidget(Form->Step4Sheet);
    const QList<QWidget *> Backup{Form->lBackupFolder, Form->cbBackupDir, Form->btBrowseBackFolder};
    const QList<QWidget *> Log{Form->chViewLog, Form->lblLogNote};
    for (bool On : {false, true}) {
        Form->chMakeBackup->click();
        Form->chWriteLog->click();
        for (QWidget *W : Backup)
            EXPECT_EQ(W->isEnabled(), On) << W->objectName().toStdString();
        for (QWidget *W : Log)
            EXPECT_EQ(W->isEnabled(), On) << W->objectName().toStdString();
    }
    EXPECT_TRUE(Form->btPrev->isEnabled());
    next();
    EXPECT_FALSE(Form->btNext->isEnabled());
    EXPECT_TRUE(Form->btFinish->isEnabled());

    // No unit ticked: refused with the message of its own, focus on the list.
    Form->StepsPageControl->setCurrentWidget(Form->Step2ReplaceSheet);
    next();
    QTest::mouseClick(Form->btDeselect, Qt::LeftButton);
    next();
    EXPECT_EQ(page(), "Step3ProjSheet");
    ASSERT_EQ(Dialogs.Messages.size(), 1u);
    EXPECT_EQ(Dialogs.Messages[0].Text, "At least one unit should be selected.");
    EXPECT_EQ(Dialogs.Messages[0].Icon, QMessageBox::Information);
    QTest::mouseClick(Form->btSelect, Qt::LeftButton);
    EXPECT_EQ(units(), QStringList({"b.pas+", "Main.pas+", "Util.PAS+"}));
}

TEST_F(WizardForm, BrowseButtonsChangeTheirBoxOnlyWhenConfirmed)
{
    show();
    Form->StepsPageControl->setCurrentWidget(Form->Step3DirSheet);
    Form->cbDirectory->setEditText("before");
    Dialogs.Folders = {std::nullopt, path("chosen")};
    Form->btBrowseFolder->click();
    EXPECT_EQ(Form->cbDirectory->currentText(), "before");
    Form->btBrowseFolder->click();
    EXPECT_EQ(Form->cbDirectory->currentText(), path("chosen"));
    EXPECT_EQ(Dialogs.Prompts, QStringList({"Select directory", "Select directory"}));

    Dialogs.Folders = {std::nullopt, path("backup")};
    Form->btBrowseBackFolder->click();
    EXPECT_FALSE(Form->BackupDirModified());
    Form->btBrowseBackFolder->click();
    EXPECT_TRUE(Form->BackupDirModified());
    EXPECT_EQ(Form->cbBackupDir->currentText(), path("backup"));

    Form->edUndoFile->setText(path("old/RExpert.reu"));
    Dialogs.Files = {std::nullopt, path("new.reu")};
    Form->btRestoreBrowse->click();
    EXPECT_EQ(Form->edUndoFile->text(), path("old/RExpert.reu"));
    Form->btRestoreBrowse->click();
    EXPECT_EQ(Form->edUndoFile->text(), path("new.reu"));
    EXPECT_EQ(Dialogs.OpenDirs.first(), path("old") + QDir::separator());
    EXPECT_EQ(Dialogs.OpenFilters.first(), TWizardForm::OpenDialogFilter);
    EXPECT_EQ(TUiDialogs::QtNameFilters(TWizardForm::OpenDialogFilter), "Undo files (*.reu);;All files (*.*)");
}

TEST_F(WizardForm, EffectiveBackupFolder)
{
    openProject();
    show();
    const struct
    {
        bool Project;
        QString Typed;
        QString Effective;
    } Rows[] = {
        {true, "", QDir::toNativeSeparators(Dir.path()) + QDir::separator()},
        {true, "Backup", path("Backup")},
        {true, "/abs/b", "/abs/b"},
        {false, "Backup", "/target/Backup"},
        {false, "", "/target/"},
    };
    Form->cbDirectory->setEditText("/target");
    for (const auto &R : Rows) {
        (R.Project ? Form->rbDestProject : Form->rbDestFolder)->setChecked(true);
        Form->cbBackupDir->setEditText(R.Typed);
        EXPECT_EQ(QDir::fromNativeSeparators(Form->EffectiveBackupDir()), QDir::fromNativeSeparators(R.Effective))
            << R.Typed.toStdString();
    }
}

TEST_F(WizardForm, HistoriesKeepTenEntriesNewestFirstAndIgnoreLetterCase)
{
    show();
    QComboBox *Box = Form->cbDirectory;
    for (int I = 1; I <= 10; ++I)
        TWizardForm::AddToHistory(Box, QStringLiteral("/d%1").arg(I));
    EXPECT_EQ(Box->count(), 10);
    TWizardForm::AddToHistory(Box, "/D5"); // present in another letter case
    TWizardForm::AddToHistory(Box, "");
    EXPECT_EQ(Box->count(), 10);
    EXPECT_EQ(Box->itemText(0), "/d10");
    Box->setEditText("/d11");
    TWizardForm::AddToHistory(Box, "/d11"); // the eleventh drops the oldest
    EXPECT_EQ(Box->count(), 10);
    EXPECT_EQ(Box->itemText(0), "/d11");
    EXPECT_EQ(Box->itemText(9), "/d2");
    EXPECT_EQ(Box->currentText(), "/d11");
}

TEST_F(WizardForm, StateRoundTripAndCancelWritesNoOption)
{
    ResetRegistry();
    openProject();
    const QString Section = Caption;
    {
        TRegIniFile Ini(OrvexKey());
        Ini.WriteInteger(Section, "Left", 40);
        Ini.WriteInteger(Section, "Top", 50);
        Ini.WriteString(Section, "DirHistory", "/a\n/b\n");
        Ini.WriteString(Section, "BackDirHistory", "/c\n");
        Ini.WriteBool(Section, "ReplaceMode", false);
        Ini.WriteString(Section, "LastUndo", "/c/RExpert.reu");
    }
    Form = std::make_unique<TWizardForm>();
    Form->SetProductName("Orvex");
    Form->SetReplaceOptions(&Options);
    {
        TRegIniFile Ini(OrvexKey());
        Form->LoadState(Ini, Section);
    }
    // Restoring the mode from code counts as a click: the caption knows it.
    EXPECT_EQ(caption(), "Orvex Migration Wizard - Step 1 of 3");
    Form->show();
    EXPECT_EQ(Form->pos(), QPoint(40, 50));
    EXPECT_TRUE(Form->rbModeRestore->isChecked());
    EXPECT_EQ(Form->edUndoFile->text(), "/c/RExpert.reu");
    EXPECT_EQ(Form->cbDirectory->count(), 2);

    // Cancel writes nothing into the options.
    const TReplaceOptions Before = Options;
    Form->rbModeReplace->click();
    Form->StepsPageControl->setCurrentWidget(Form->Step4Sheet);
    Form->chMakeBackup->click();
    Form->move(70, 80);
    QTest::keyClick(Form.get(), Qt::Key_Escape);
    EXPECT_EQ(Form->result(), QDialog::Rejected);
    EXPECT_EQ(Options.MakeBackup, Before.MakeBackup);
    EXPECT_EQ(Options.ModuleList, Before.ModuleList);

    // Saved: "Make backup" unticked stores an empty last undo file.
    {
        TRegIniFile Ini(OrvexKey());
        Form->SaveState(Ini, Section);
    }
    TRegIniFile Ini(OrvexKey());
    EXPECT_EQ(Ini.ReadInteger(Section, "Left", 0), 70);
    EXPECT_EQ(Ini.ReadInteger(Section, "Top", 0), 80);
    EXPECT_EQ(Ini.ReadString(Section, "DirHistory", ""), "/a\n/b\n");
    EXPECT_EQ(Ini.ReadString(Section, "BackDirHistory", ""), "/c\n");
    EXPECT_TRUE(Ini.ReadBool(Section, "ReplaceMode", false));
    EXPECT_EQ(Ini.ReadString(Section, "LastUndo", "?"), "");
    Form->chMakeBackup->click();
    Form->cbBackupDir->setEditText("/keep");
    Form->SaveState(Ini, Section);
    EXPECT_EQ(Ini.ReadString(Section, "LastUndo", "?"), QDir::toNativeSeparators("/keep/RExpert.reu"));
}

TEST_F(WizardForm, ShownWithTheOptionsAndFinishOnlyOnTheSummary)
{
    ASSERT_TRUE(QDir().mkpath(path("src")));
    // Each row: project open or not, the stored destination, and the
    // destination radio that the shown dialog checks.
    const struct
    {
        bool Project;
        TSearchDestination Dest;
        const char *Checked;
    } Rows[] = {
        {true, sdProject, "rbDestProject"},
        {true, sdDirectory, "rbDestFolder"},
        {false, sdProject, "rbDestFolder"},
    };
    for (const auto &R : Rows) {
        if (R.Project)
            openProject();
        else
            Ide.SetProject(QString(), {});
        Options.Dest = R.Dest;
        Options.Directory = path("src");
        Options.IncludeSubDirs = true;
        Options.MakeBackup = false;
        Options.WriteLog = false;
        Options.ViewLog = true;
        show();
        EXPECT_TRUE(Form->findChild<QRadioButton *>(R.Checked)->isChecked()) << R.Checked;
        EXPECT_EQ(Form->rbDestProject->isEnabled(), R.Project);
        EXPECT_EQ(Form->cbDirectory->currentText(), path("src"));
        EXPECT_TRUE(Form->chSubDirs->isChecked());
        EXPECT_FALSE(Form->chMakeBackup->isChecked());
        EXPECT_FALSE(Form->chWriteLog->isChecked());
        EXPECT_TRUE(Form->chViewLog->isChecked());
        EXPECT_EQ(Form->cbBackupDir->currentText(), "");
    }
    // Finish on the summary only, in either mode.
    for (bool Restore : {false, true}) {
        (Restore ? Form->rbModeRestore : Form->rbModeReplace)->click();
        for (int I = 0; I < Form->StepsPageControl->count(); ++I) {
            QWidget *Page = Form->StepsPageControl->widget(I);
            Form->StepsPageControl->setCurrentWidget(Page);
            EXPECT_EQ(Form->btFinish->isEnabled(), Page == Form->FinalStepSheet) << Page->objectName().toStdString();
        }
    }
}

TEST_F(WizardForm, BrowseStartsInTheTypedFolderAndARestoreRemembersItsUndoFile)
{
    ASSERT_TRUE(QDir().mkpath(path("src/deep")));
    show();
    Dialogs.Folders = {std::nullopt, std::nullopt, std::nullopt};
    for (const QString &Typed : {path("src/deep"), path("src/deep/not/yet"), QString("relative")}) {
        Form->cbDirectory->setEditText(Typed);
        Form->btBrowseFolder->click();
    }
    EXPECT_EQ(Dialogs.StartDirs, QStringList({path("src/deep"), path("src/deep"), ""}));

    ResetRegistry();
    WriteBytes(path("Elsewhere/RExpert.reu"), "x");
    Form->rbModeRestore->click();
    Form->edUndoFile->setText(path("Elsewhere/RExpert.reu"));
    TRegIniFile Ini(OrvexKey());
    Form->SaveState(Ini, Caption);
    EXPECT_EQ(Ini.ReadString(Caption, "LastUndo", "?"), path("Elsewhere/RExpert.reu"));
}

TEST_F(WizardForm, SummaryChecksStopFinishWithTheReason)
{
    ASSERT_TRUE(QDir().mkpath(path("empty")));
    WriteBytes(path("src/Main.pas"), "unit Main;\ninterface\nimplementation\nend.\n");
    WriteBytes(path("src/RBackup/RExpert.reu"), "Main.pas=Main.~pas\r\n");
    show();
    Form->rbDestFolder->click();
    // Each row: the folder and whether its summary lets Finish run.
    const struct
    {
        QString Folder;
        const char *Says;
        bool Finish;
    } Rows[] = {
        {path("empty"), "holds no Delphi units", false},
        {path("src"), "already holds the undo file", false},
    };
    for (const auto &R : Rows) {
        Form->StepsPageControl->setCurrentWidget(Form->Step3DirSheet);
        typeInto(Form->cbDirectory, R.Folder);
        next();
        next();
        EXPECT_EQ(page(), "FinalStepSheet");
        EXPECT_TRUE(Form->lChecks->text().contains(R.Says)) << Form->lChecks->text().toStdString();
        EXPECT_TRUE(Form->lChecksTitle->isVisibleTo(Form.get()));
        EXPECT_EQ(Form->btFinish->isEnabled(), R.Finish) << R.Says;
        EXPECT_TRUE(Form->StopReason().contains(R.Says));
    }
    // Without backups the earlier run is no obstacle.
    back();
    Form->chMakeBackup->click();
    next();
    EXPECT_TRUE(Form->btFinish->isEnabled()) << Form->lChecks->text().toStdString();
    EXPECT_TRUE(Form->lChecks->text().contains("1 unit and 0 forms")) << Form->lChecks->text().toStdString();
}
