// The confirmation dialog: its layout and texts, and the four cases of its
// "Don't ask me this again" flag, answered through the real dialog.
#include "SaveWarn.h"

#include "RegIniFile.h"
#include "UiTestSupport.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

namespace {

const QString Caption = QStringLiteral("BDE/IBX/FibPlus Migration Wizard");

struct TSeen
{
    bool Shown = false;
    QString Title, Note, Warn;
};

// Answers the dialog: ticks the box when asked, then Yes, No, Esc or the
// close box.
TModalDriver::TAction answer(TSeen &Seen, bool Tick, const char *How)
{
    return [&Seen, Tick, How](QWidget *Modal) {
        auto *Form = qobject_cast<TSaveWarnForm *>(Modal);
        ASSERT_NE(Form, nullptr);
        Seen = {true, Form->windowTitle(), Form->lblNote->text(), Form->lblWarn->text()};
        if (Tick)
            QTest::mouseClick(Form->chkDontAsk, Qt::LeftButton, {}, QPoint(5, 5));
        const QString H = How;
        if (H == "yes")
            QTest::mouseClick(Form->OKBtn, Qt::LeftButton);
        else if (H == "no")
            QTest::mouseClick(Form->CancelBtn, Qt::LeftButton);
        else if (H == "esc")
            QTest::keyClick(Form, Qt::Key_Escape);
        else
            Form->close();
    };
}

} // namespace

TEST(SaveWarnForm, LayoutAndIcon)
{
    TSaveWarnForm Form;
    EXPECT_EQ(Form.size(), QSize(302, 143));
    EXPECT_EQ(Form.OKBtn->geometry(), QRect(69, 111, 76, 24));
    EXPECT_EQ(Form.CancelBtn->geometry(), QRect(153, 111, 75, 24));
    EXPECT_EQ(Form.OKBtn->text(), "&Yes");
    EXPECT_EQ(Form.CancelBtn->text(), "&No");
    EXPECT_TRUE(Form.OKBtn->isDefault());
    EXPECT_EQ(Form.chkDontAsk->text(), "&Don't ask me this again");
    EXPECT_FALSE(Form.chkDontAsk->isChecked());
    EXPECT_EQ(Form.Label2->text(), "Note:");
    EXPECT_EQ(Form.Image1->geometry(), QRect(7, 15, 30, 30));
    EXPECT_FALSE(Form.Image1->pixmap().isNull());
}

TEST(SaveWarnForm, TheFourQuestionsAndTheirFlags)
{
    // Rows in order: each one sees the flag that the rows before it left.
    const struct
    {
        bool ProjectMode, Restore;
        bool Tick;
        const char *How;
        bool ExpectShown, ExpectResult;
        const char *Flag;
        const char *Stored; // the flag's value afterwards, "" when absent
        const char *Note;
        const char *Warn;
    } Rows[] = {
        // First run: absent, so asked; No with the box ticked stores nothing.
        {true, false, true, "no", true, false, "ReplaceProjWarn", "", "Project forms will be hidden.",
         "Current project will be saved. Continue?"},
        // Esc and the close box store nothing either.
        {true, false, true, "esc", true, false, "ReplaceProjWarn", "", nullptr, nullptr},
        {true, false, true, "close", true, false, "ReplaceProjWarn", "", nullptr, nullptr},
        // Yes unticked stores "ask"; asked again next time.
        {true, false, false, "yes", true, true, "ReplaceProjWarn", "1", nullptr, nullptr},
        // Yes ticked stores "do not ask"...
        {true, false, true, "yes", true, true, "ReplaceProjWarn", "0", nullptr, nullptr},
        // ...after which the same operation goes ahead with no dialog,
        {true, false, false, "", false, true, "ReplaceProjWarn", "0", nullptr, nullptr},
        // while the restore is still asked: the flags are independent.
        {false, true, true, "yes", true, true, "RestoreDirWarn", "0", "Current project will be closed.",
         "Old files will be restored from backup. Continue?"},
        {true, true, false, "no", true, false, "RestoreProjWarn", "", "Current project will be closed.",
         "Old files will be restored from backup. Continue?"},
        {false, false, false, "no", true, false, "ReplaceDirWarn", "", "Current project will be closed.",
         "Current project will be saved. Continue?"},
    };
    ResetRegistry();
    int Row = 0;
    for (const auto &R : Rows) {
        TSeen Seen;
        TModalDriver Driver;
        if (R.ExpectShown)
            Driver.Then(answer(Seen, R.Tick, R.How));
        EXPECT_EQ(ConfirmAction(Caption, R.ProjectMode, "Orvex", R.Restore), R.ExpectResult) << "row " << Row;
        EXPECT_EQ(Seen.Shown, R.ExpectShown) << "row " << Row;
        EXPECT_EQ(Driver.Pending(), 0u) << "row " << Row;
        if (R.ExpectShown)
            EXPECT_EQ(Seen.Title, Caption) << "row " << Row;
        if (R.Note) {
            EXPECT_EQ(Seen.Note, R.Note) << "row " << Row;
            EXPECT_EQ(Seen.Warn, R.Warn) << "row " << Row;
        }
        TRegIniFile Ini(OrvexKey());
        EXPECT_EQ(Ini.ValueExists(Caption, R.Flag) ? Ini.ReadString(Caption, R.Flag, "") : QString(), R.Stored)
            << "row " << Row;
        ++Row;
    }
}
