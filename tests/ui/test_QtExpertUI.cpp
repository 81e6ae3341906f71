// The expert's messages as the desktop shows them, the busy cursor of a run
// and the log opened with its program.
#include "QtExpertUI.h"

#include "UiTestSupport.h"

#include <QApplication>
#include <QMessageBox>
#include <QTest>

#include <gtest/gtest.h>

TEST(QtExpertUI, MessagesProgressAndLog)
{
    TScriptedDialogs Dialogs;
    TUiDialogsScope Scope(&Dialogs);
    TQtExpertUI UI;
    UI.MessageBox("Replace failed.", "T", TMessageIcon::Error);
    UI.MessageBox("Files were succefully restored.", "T", TMessageIcon::Information);
    ASSERT_EQ(Dialogs.Messages.size(), 2u);
    EXPECT_EQ(Dialogs.Messages[0].Icon, QMessageBox::Critical);
    EXPECT_EQ(Dialogs.Messages[0].Caption, "T");
    EXPECT_EQ(Dialogs.Messages[1].Icon, QMessageBox::Information);

    TQtReplaceProgress Progress;
    Progress.StartWait();
    ASSERT_NE(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    Progress.StopWait();
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    Progress.ViewLog("/p/Wiz_Log.txt");
    EXPECT_EQ(Dialogs.Documents, QStringList{"/p/Wiz_Log.txt"});
}

// The restore's two questions name the files and pass the user's answer on;
// the real box answers No to Esc, so nothing is overwritten by accident.
TEST(QtExpertUI, RestoreQuestionsNameTheFilesAndEscAnswersNo)
{
    TScriptedDialogs Dialogs;
    TQtExpertUI UI;
    {
        TUiDialogsScope Scope(&Dialogs);
        Dialogs.Answers = {true, false, false, true};
        EXPECT_TRUE(UI.OverwriteChangedFiles("T", {"/p/Main.pas", "/p/Main.dfm"}));
        EXPECT_FALSE(UI.OverwriteChangedFiles("T", {"/p/Main.pas"}));
        EXPECT_FALSE(UI.CreateMissingFiles("T", {"/p/Gone.pas"}));
        EXPECT_TRUE(UI.CreateMissingFiles("T", {"/p/Gone.pas"}));
    }
    ASSERT_EQ(Dialogs.Questions.size(), 4u);
    EXPECT_TRUE(Dialogs.Questions[0].Text.contains("/p/Main.pas\n  /p/Main.dfm"));
    EXPECT_TRUE(Dialogs.Questions[0].Text.contains("changed after the conversion"));
    EXPECT_TRUE(Dialogs.Questions[2].Text.contains("/p/Gone.pas"));
    EXPECT_TRUE(Dialogs.Questions[2].Text.contains("no longer exist"));
    EXPECT_EQ(Dialogs.Questions[3].Caption, "T");

    TModalDriver Driver;
    Driver.Then([](QWidget *Modal) {
        auto *Box = qobject_cast<QMessageBox *>(Modal);
        ASSERT_NE(Box, nullptr);
        EXPECT_EQ(Box->icon(), QMessageBox::Question);
        QTest::keyClick(Box, Qt::Key_Escape);
    });
    EXPECT_FALSE(UI.OverwriteChangedFiles("T", {"/p/Main.pas"}));
    EXPECT_EQ(Driver.Pending(), 0u);
}
