// The expert's messages as the desktop shows them, the busy cursor of a run
// and the log opened with its program.
#include "QtExpertUI.h"

#include "UiTestSupport.h"

#include <QApplication>
#include <QMessageBox>
#include <QTest>

#include <gtest/gtest.h>

#include <stdexcept>

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

// The wait cursor comes back however the work under it ends; guards nest.
TEST(QtExpertUI, BusyCursorIsRestoredOnEveryPath)
{
    const auto shape = [] { return QApplication::overrideCursor() ? int(QApplication::overrideCursor()->shape()) : -1; };
    {
        const TBusyCursor Outer;
        {
            const TBusyCursor Inner;
            EXPECT_EQ(shape(), Qt::WaitCursor);
        }
        EXPECT_EQ(shape(), Qt::WaitCursor);
    }
    EXPECT_EQ(shape(), -1);
    EXPECT_THROW(
        [] {
            const TBusyCursor Busy;
            throw std::runtime_error("a form could not be read");
        }(),
        std::runtime_error);
    EXPECT_EQ(shape(), -1);
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

// The result box: the message, the counts, and buttons that open the report
// (the IDE's view first) and the log; what cannot be opened is said.
TEST(QtExpertUI, ResultBoxCountsAndOpensTheReportAndTheLog)
{
    TScriptedDialogs Dialogs;
    TUiDialogsScope Scope(&Dialogs);
    TQtExpertUI UI;
    TReplaceResult Result;
    Result.FilesChanged = 3;
    Result.ObjectsRecreated = 1;
    Result.Items = {2, 0, 1, 0};
    Result.LogPath = "/p/Wiz_Log.txt";
    Result.ReportPath = "/p/Wiz_Report.txt";
    Result.ReportJson = "{}";
    Result.Notice = "No IBX components were found; the project uses BDE components.";
    // Each row: the button pressed, whether programs open documents, what
    // was opened and what was said after.
    const struct
    {
        int Pressed;
        bool Opens;
        QStringList Opened;
        int Said;
    } Rows[] = {{-1, true, {}, 0}, {1, true, {"/p/Wiz_Log.txt"}, 0}, {0, true, {"/p/Wiz_Report.txt"}, 0},
                {1, false, {"/p/Wiz_Log.txt"}, 1}};
    for (const auto &R : Rows) {
        Dialogs.Documents.clear();
        Dialogs.Messages.clear();
        Dialogs.OpensDocuments = R.Opens;
        Dialogs.ChoiceAnswers = {R.Pressed};
        UI.ReplaceResult("Replace procedure was performed sucessfully.", "T", Result);
        EXPECT_EQ(Dialogs.Documents, R.Opened);
        EXPECT_EQ(int(Dialogs.Messages.size()), R.Said);
    }
    EXPECT_EQ(Dialogs.ChoiceButtons.back(), QStringList({sOpenReport, sOpenLog}));
    EXPECT_EQ(Dialogs.Choices.back().Caption, "T");
    EXPECT_EQ(Dialogs.Choices.back().Text, "Replace procedure was performed sucessfully.\n\n"
                                           "No IBX components were found; the project uses BDE components.\n"
                                           "3 files changed, 1 object re-created.\n"
                                           "3 items need manual work:\n"
                                           "  2 will not compile\n"
                                           "  1 behaves differently");
    EXPECT_TRUE(Dialogs.Messages.back().Text.contains("/p/Wiz_Log.txt"));

    // "View log after replace" says when nothing can open the log.
    Dialogs.Messages.clear();
    TQtReplaceProgress Progress;
    Progress.SetCaption("T");
    Progress.ViewLog("/p/Wiz_Log.txt");
    ASSERT_EQ(Dialogs.Messages.size(), 1u);
    EXPECT_EQ(Dialogs.Messages[0].Caption, "T");
    EXPECT_TRUE(Dialogs.Messages[0].Text.startsWith("Cannot open the log \"/p/Wiz_Log.txt\""));
}
