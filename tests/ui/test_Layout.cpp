// The dialogs at two font sizes: every page of the wizard (both summaries
// with their checks) and both questions of the confirmation, each text
// measured against the control that shows it, and every control inside the
// window. Then the keyboard: Enter and Tab on every page.
#include "OrxWizard.h"
#include "SaveWarn.h"

#include "FakeIde.h"
#include "QtPrinters.h"
#include "Replacer.h"
#include "TestFiles.h"
#include "UiTestSupport.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScrollArea>
#include <QScrollBar>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace {

// The width of the widest piece of Text that a wrapped label cannot break.
int widestWord(const QFontMetrics &Metrics, const QString &Text)
{
    static const QRegularExpression Breaks(QStringLiteral("[\\s\\x{200B}]+"));
    int Widest = 0;
    for (const QString &Word : Text.split(Breaks, Qt::SkipEmptyParts))
        Widest = std::max(Widest, Metrics.horizontalAdvance(Word));
    return Widest;
}

// The texts of Window that do not fit their controls, or controls that
// reach past their parent, as "name: what".
QStringList clipped(QWidget *Window)
{
    QApplication::processEvents(); // layouts settle
    QStringList Faults;
    for (QWidget *W : Window->findChildren<QWidget *>()) {
        // What a scroll box holds may be larger than the box.
        const QWidget *Parent = W->parentWidget();
        const bool Scrolled = Parent && (qobject_cast<const QScrollArea *>(Parent)
                                         || qobject_cast<const QScrollArea *>(Parent->parentWidget()));
        if (!W->isVisible() || qobject_cast<const QScrollArea *>(Parent))
            continue;
        const QFontMetrics Metrics = W->fontMetrics();
        const QString Name = W->objectName();
        if (auto *L = qobject_cast<QLabel *>(W); L && !L->text().isEmpty()) {
            // A wrapped text needs its height at its width, and its widest
            // word (a path) no wider than the label.
            const QRect Room = L->contentsRect();
            if (L->wordWrap() ? L->heightForWidth(L->width()) > L->height() || widestWord(Metrics, L->text()) > Room.width()
                              : Metrics.horizontalAdvance(QString(L->text()).remove(u'&')) > Room.width())
                Faults << Name + ": \"" + L->text() + "\" does not fit " + QString::number(L->width());
        } else if (qobject_cast<QCheckBox *>(W) || qobject_cast<QRadioButton *>(W)) {
            auto *B = static_cast<QAbstractButton *>(W);
            if (B->sizeHint().width() > B->width())
                Faults << Name + ": \"" + B->text() + "\" does not fit " + QString::number(B->width());
        } else if (auto *B = qobject_cast<QPushButton *>(W)) {
            if (Metrics.horizontalAdvance(QString(B->text()).remove(u'&')) + 8 > B->width())
                Faults << Name + ": \"" + B->text() + "\" does not fit " + QString::number(B->width());
        }
        if (auto *Box = qobject_cast<QScrollArea *>(W); Box && Box->horizontalScrollBar()->isVisible())
            Faults << Name + ": scrolls sideways";
        if (Parent && !Scrolled && !Parent->rect().contains(W->geometry()))
            Faults << Name + ": reaches past " + Parent->objectName();
    }
    return Faults;
}

class Layout : public ::testing::TestWithParam<int>
{
protected:
    QFont Saved = QApplication::font();
    void SetUp() override
    {
        QFont Font = Saved;
        Font.setPixelSize(GetParam());
        QApplication::setFont(Font);
    }
    void TearDown() override { QApplication::setFont(Saved); }
};

} // namespace

TEST_P(Layout, NoTextIsClippedOnAnyPageOrQuestion)
{
    // The project lies in a folder whose path is 200 characters long: the
    // summary and its checks name it.
    QTemporaryDir Temp;
    QString Folder = Temp.path();
    while (Folder.size() < 200)
        Folder += QStringLiteral("/LongFolderNameOfTheProject").left(200 - Folder.size());
    const QDir Dir(Folder);
    WriteBytes(Dir.filePath("RBackup/RExpert.reu"), "x");
    TFakeIde Ide;
    TIDEServicesScope Scope(&Ide);
    Ide.SetProject(Dir.filePath("App.dpr"), {Dir.filePath("Main.pas")});
    TReplaceOptions Options(QStringLiteral("BDE/IBX/FibPlus"));
    TOrxWizardForm Form;
    Form.SetProductName("Orvex");
    Form.SetReplaceOptions(&Options);
    Form.SetReplaceModeCaption("&Replace BDE/IBX/FibPlus components");
    Form.show();
    for (int Set = 0; Set < 3; ++Set) {
        Form.cbReplaceComponents->setCurrentIndex(Set);
        EXPECT_EQ(clipped(&Form), QStringList()) << "first page, set " << Set;
    }
    for (int I = 0; I < Form.StepsPageControl->count(); ++I) {
        QWidget *Page = Form.StepsPageControl->widget(I);
        Form.StepsPageControl->setCurrentWidget(Page);
        if (Page == Form.FinalStepSheet) {
            Form.edUndoFile->setText(Dir.filePath("RBackup/RExpert.reu"));
            Form.BuildRestoreSummary();
            EXPECT_EQ(clipped(&Form), QStringList()) << "restore summary";
            Form.BuildReplaceSummary();
        }
        EXPECT_EQ(clipped(&Form), QStringList()) << Page->objectName().toStdString();
    }
    // The scale holds for the font: the design's positions grow together.
    EXPECT_EQ(Form.size(), TFontFit::Scaled(QSize(468, 324), Form.ScaleFactor()));
    EXPECT_EQ(Form.btNext->geometry(), TFontFit::Scaled(QRect(208, 291, 75, 25), Form.ScaleFactor()));

    for (const char *Question : {"Old files will be restored from backup. Continue?",
                                 "Current project will be saved. Continue?"}) {
        TSaveWarnForm Warn;
        Warn.lblNote->setText("Current project will be closed.");
        Warn.lblWarn->setText(Question);
        Warn.show();
        EXPECT_EQ(clipped(&Warn), QStringList()) << Question;
    }
}

INSTANTIATE_TEST_SUITE_P(FontSizes, Layout, ::testing::Values(11, 17));

namespace {

class Keyboard : public ::testing::Test
{
protected:
    QTemporaryDir Dir;
    TFakeIde Ide;
    TIDEServicesScope Scope{&Ide};
    TScriptedDialogs Dialogs;
    TUiDialogsScope DialogsScope{&Dialogs};
    TReplaceOptions Options{QStringLiteral("BDE/IBX/FibPlus")};
    TOrxWizardForm Form;

    void SetUp() override
    {
        Ide.SetProject(Dir.filePath("App.dpr"), {Dir.filePath("Main.pas")});
        Form.SetProductName("Orvex");
        Form.SetReplaceOptions(&Options);
        Form.show();
        QApplication::setActiveWindow(&Form);
        ASSERT_TRUE(QTest::qWaitForWindowActive(&Form));
    }
    QString page() const { return Form.StepsPageControl->currentWidget()->objectName(); }
    void enter() { QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return); }
};

} // namespace

TEST_F(Keyboard, EnterPressesNextOnEveryStepAndFinishOnTheLast)
{
    const char *Pages[] = {"Step2ReplaceSheet", "Step3ProjSheet", "Step4Sheet", "FinalStepSheet"};
    for (const char *Expected : Pages) {
        enter();
        EXPECT_EQ(page(), Expected);
    }
    EXPECT_TRUE(Form.isVisible());
    enter();
    EXPECT_FALSE(Form.isVisible());
    EXPECT_EQ(Form.result(), QDialog::Accepted);
    EXPECT_EQ(Options.ModuleList, "Main.pas\n");
}

TEST_F(Keyboard, TabGoesThroughThePageThenTheButtons)
{
    const QStringList Buttons{"btPrev", "btNext", "btFinish", "btCancel"};
    for (int Steps = 0; Steps < 4; ++Steps) {
        QStringList Order;
        for (int I = 0; I < 12; ++I) {
            Order << QApplication::focusWidget()->objectName();
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        }
        // From the page's first control: the page's controls, then the
        // enabled buttons, then the page again.
        const qsizetype FirstButton = std::find_if(Order.cbegin(), Order.cend(),
                                                   [&](const QString &N) { return Buttons.contains(N); })
                                      - Order.cbegin();
        ASSERT_GT(FirstButton, 0) << page().toStdString() << ": " << Order.join(' ').toStdString();
        qsizetype End = FirstButton;
        while (End < Order.size() && Buttons.contains(Order[End]))
            ++End;
        EXPECT_TRUE(Order.mid(FirstButton, End - FirstButton).contains("btCancel")) << Order.join(' ').toStdString();
        EXPECT_LT(End, Order.size()) << "back to the page: " << Order.join(' ').toStdString();
        Form.btNext->click();
    }
}

TEST_F(Keyboard, EnterInTheFolderBoxPressesNext)
{
    Form.rbDestFolder->click();
    Form.btNext->click();
    Form.btNext->click();
    ASSERT_EQ(page(), "Step3DirSheet");
    Form.cbDirectory->setFocus();
    Form.cbDirectory->setEditText(Dir.path());
    QTest::keyClick(Form.cbDirectory->lineEdit(), Qt::Key_Return);
    EXPECT_EQ(page(), "Step4Sheet");
}
