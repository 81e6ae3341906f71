// The expert's messages as the desktop shows them, the busy cursor of a run
// and the log opened with its program.
#include "QtExpertUI.h"

#include "UiTestSupport.h"

#include <QApplication>

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
