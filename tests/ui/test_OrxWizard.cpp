// The product's wizard form: the source-set box, the replace button's
// caption, the fixed welcome text and the wizard mode.
#include "OrxWizard.h"

#include "FakeIde.h"
#include "OrxReplacer.h"
#include "TestFiles.h"
#include "RegIniFile.h"
#include "Replacer.h"
#include "UiTestSupport.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QTemporaryDir>
#include <QLabel>
#include <QRadioButton>
#include <QTest>

#include <gtest/gtest.h>

namespace {

class OrxWizardForm : public ::testing::Test
{
protected:
    TFakeIde Ide;
    TIDEServicesScope Scope{&Ide};
    TReplaceOptions Options{QStringLiteral("BDE/IBX/FibPlus")};
    TOrxWizardForm Form;

    OrxWizardForm()
    {
        Form.SetProductName("Orvex");
        Form.SetReplaceOptions(&Options);
        // As the expert does before showing the dialog.
        Form.SetReplaceModeCaption("&Replace BDE/IBX/FibPlus components");
    }
    void pick(int Index)
    {
        // As the user picks: through the box's own keyboard handling.
        Form.cbReplaceComponents->setFocus();
        while (Form.cbReplaceComponents->currentIndex() < Index)
            QTest::keyClick(Form.cbReplaceComponents, Qt::Key_Down);
        while (Form.cbReplaceComponents->currentIndex() > Index)
            QTest::keyClick(Form.cbReplaceComponents, Qt::Key_Up);
    }
};

} // namespace

TEST_F(OrxWizardForm, ResourceValues)
{
    EXPECT_EQ(Form.windowTitle(), "OrxWizardForm");
    EXPECT_EQ(Form.rbModeReplace->geometry(), QRect(15, 198, 176, 17));
    EXPECT_EQ(Form.rbModeRestore->pos(), QPoint(15, 226));
    EXPECT_EQ(Form.cbReplaceComponents->geometry(), QRect(194, 194, 85, 21));
    EXPECT_EQ(Form.cbReplaceComponents->parentWidget(), Form.Step1Sheet);
    EXPECT_FALSE(Form.cbReplaceComponents->isEditable());
    ASSERT_EQ(Form.cbReplaceComponents->count(), 3);
    EXPECT_EQ(Form.cbReplaceComponents->itemText(0), "BDE");
    EXPECT_EQ(Form.cbReplaceComponents->itemText(1), "IBX");
    EXPECT_EQ(Form.cbReplaceComponents->itemText(2), "FIBPlus");
    EXPECT_FALSE(Form.Image1->pixmap().isNull());
    // The welcome text is the product's, whatever names are passed.
    Form.SetLabel2Caption("X", "Y");
    EXPECT_EQ(Form.Label2->text(),
              "Wizard facilitates converting your application to Orvex. It replaces BDE, IBX and FibPlus components "
              "to corresponding Orvex components. You may need to make some changes manually to compile your "
              "application successfully.");
}

TEST_F(OrxWizardForm, SourceSetChoosesTheReplacerAndTheCaption)
{
    Form.show();
    EXPECT_EQ(Form.windowTitle(), "Orvex Migration Wizard - Step 1 of 5");
    EXPECT_EQ(Form.cbReplaceComponents->currentIndex(), 0);
    const struct
    {
        int Index;
        const char *Caption;
    } Rows[] = {{1, "Replace IBX components"}, {2, "Replace FIBPlus components"}, {0, "Replace BDE components"}};
    for (const auto &R : Rows) {
        pick(R.Index);
        EXPECT_EQ(Form.rbModeReplace->text(), R.Caption);
        EXPECT_EQ(Form.GetWizardMode(), R.Index);
    }
    // Restore disables the box and keeps its choice; replace enables it.
    pick(2);
    QTest::mouseClick(Form.rbModeRestore, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_FALSE(Form.cbReplaceComponents->isEnabled());
    EXPECT_EQ(Form.cbReplaceComponents->currentIndex(), 2);
    EXPECT_EQ(Form.GetWizardMode(), 100);
    QTest::mouseClick(Form.rbModeReplace, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_TRUE(Form.cbReplaceComponents->isEnabled());
    EXPECT_EQ(Form.GetWizardMode(), 2);
    // Shown again, the source set starts at BDE.
    Form.hide();
    Form.show();
    EXPECT_EQ(Form.cbReplaceComponents->currentIndex(), 0);
    EXPECT_EQ(Form.rbModeReplace->text(), "Replace BDE components");
}

TEST_F(OrxWizardForm, SavedRestoreModeShowsBdeWithTheBoxDisabled)
{
    ResetRegistry();
    TRegIniFile Ini(OrvexKey());
    Ini.WriteBool("S", "ReplaceMode", false);
    Form.LoadState(Ini, "S");
    Form.show();
    EXPECT_TRUE(Form.rbModeRestore->isChecked());
    EXPECT_EQ(Form.cbReplaceComponents->currentText(), "BDE");
    EXPECT_FALSE(Form.cbReplaceComponents->isEnabled());
    EXPECT_EQ(Form.GetWizardMode(), 100);
    EXPECT_EQ(Form.windowTitle(), "Orvex Migration Wizard - Step 1 of 3");
}

// The source set starts on the one the forms hold most of: the project's
// units' forms, or the stored folder's; BDE when none is found. The forms
// are read under the busy cursor, which is gone when the dialog shows; so
// are those of the summary's checks.
TEST_F(OrxWizardForm, SourceSetStartsOnTheOneTheFormsHold)
{
    QList<int> Cursors; // at each form read: the override cursor's shape, -1 for none
    Form.OnScanForm = [&Cursors](const QString &) {
        Cursors << (QApplication::overrideCursor() ? int(QApplication::overrideCursor()->shape()) : -1);
    };
    const auto busyThroughout = [&Cursors] {
        return !Cursors.isEmpty() && Cursors.count(Qt::WaitCursor) == Cursors.size()
               && !QApplication::overrideCursor();
    };
    TOrxProduct Product;
    std::vector<const TComponentReplacer *> Replacers;
    for (int I = 0; I < TOrxProduct::ReplacerCount; ++I)
        Replacers.push_back(Product.Replacer(I));
    Form.SetReplacers(Replacers);
    QTemporaryDir Dir;
    for (const char *Set : {"ibx", "fibplus"}) {
        const QString Source = QStringLiteral(MIGWIZ_SOURCE_DIR "/examples/") + Set;
        for (const QString &Name : QDir(Source).entryList(QDir::Files))
            WriteBytes(Dir.filePath(QString(Set) + "/" + Name), ReadBytes(QDir(Source).filePath(Name)));
    }
    const struct
    {
        bool Project;
        QString Folder;
        int Expected;
    } Rows[] = {
        {true, QString(), 1},                    // the IBX project's units
        {false, Dir.filePath("fibplus"), 2},     // the stored folder
        {false, Dir.filePath("nothing"), 0},     // no such folder: BDE
    };
    for (const auto &R : Rows) {
        QStringList Units;
        for (const QString &Name : QDir(Dir.filePath("ibx")).entryList({"*.pas"}))
            Units << QDir::toNativeSeparators(Dir.filePath("ibx/" + Name));
        Ide.SetProject(R.Project ? Dir.filePath("ibx/Inventory.dpr") : QString(), R.Project ? Units : QStringList());
        Options.Dest = R.Project ? sdProject : sdDirectory;
        Options.Directory = R.Folder;
        Form.hide();
        Cursors.clear();
        Form.show();
        EXPECT_EQ(Form.cbReplaceComponents->currentIndex(), R.Expected) << R.Folder.toStdString();
        EXPECT_TRUE(R.Expected == 0 || busyThroughout()) << R.Folder.toStdString();
    }
    Form.rbDestFolder->setChecked(true);
    Form.cbDirectory->setEditText(Dir.filePath("fibplus"));
    Cursors.clear();
    Form.BuildReplaceSummary();
    EXPECT_TRUE(busyThroughout());
}
