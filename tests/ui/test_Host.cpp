// The IDE stand-in with the built plug-in loaded through INITWIZARD0001: the
// product menu in the menu bar, the project's modules and unit view, a whole
// replace and restore of the bundled BDE example walked through the real
// dialogs, and an error inside the entry point. Then the host's start: its
// command line, and window titles without the application's name.
//
// The plug-in keeps the IDE services of the first host that loaded it, as
// the IDE's library does; so one host serves every test of this process.
#include "HostApp.h"
#include "HostWindow.h"
#include "OrxWizard.h"
#include "ReportView.h"

#include "FakeIde.h"
#include "QtPrinters.h"
#include "Replacer.h"
#include "TestFiles.h"
#include "UiTestSupport.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDockWidget>
#include <QMessageBox>
#include <QRegularExpression>
#include <QTableView>
#include <QDirIterator>
#include <QLibrary>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QWindow>

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

const QString Caption = QStringLiteral("BDE/IBX/FibPlus Migration Wizard");
const QString ItemName = QStringLiteral("RExpertItemBDE_IBX_FibPlusOrvex");
const QString Examples = QStringLiteral(MIGWIZ_SOURCE_DIR "/examples/bde");
const QString Expected = QStringLiteral(MIGWIZ_SOURCE_DIR "/tests/data/examples-expected/bde");

THostWindow &host()
{
    static THostWindow *Host = [] {
        ResetRegistry();
        auto *H = new THostWindow;
        H->show();
        EXPECT_TRUE(H->LoadPlugin(QStringLiteral(MIGWIZ_PLUGIN)));
        return H;
    }();
    return *Host;
}

QStringList menuBarTitles(const THostWindow &Host)
{
    QStringList Titles;
    for (QAction *A : Host.menuBar()->actions())
        Titles << A->text();
    return Titles;
}

// Copies the example into Dir and returns its project file.
QString copyExample(const QTemporaryDir &Dir)
{
    for (const QString &Name : QDir(Examples).entryList(QDir::Files))
        WriteBytes(Dir.filePath(Name), ReadBytes(QDir(Examples).filePath(Name)));
    return QDir::toNativeSeparators(Dir.filePath("Sales.dpr"));
}

template <class T>
T *child(QWidget *Modal, const char *Name)
{
    return Modal->findChild<T *>(QLatin1String(Name));
}

// Walks the wizard: restore mode or not, Next until the summary, Finish.
// The dialog comes from the plug-in, whose classes are its own: it is
// reached through the names of its components.
TModalDriver::TAction walkWizard(bool Restore, QString *UndoShown = nullptr)
{
    return [Restore, UndoShown](QWidget *Modal) {
        auto *Next = child<QPushButton>(Modal, "btNext");
        auto *Finish = child<QPushButton>(Modal, "btFinish");
        auto *Pages = child<QStackedWidget>(Modal, "StepsPageControl");
        auto *RestoreMode = child<QRadioButton>(Modal, "rbModeRestore");
        auto *UndoFile = child<QLineEdit>(Modal, "edUndoFile");
        if (Modal->objectName() != "OrxWizardForm" || !Next || !Finish || !Pages || !RestoreMode || !UndoFile) {
            ADD_FAILURE() << "not the wizard: " << Modal->objectName().toStdString();
            Modal->close();
            return;
        }
        // The mode and the destination as the user picks them, whatever an
        // earlier run left in the registry.
        QTest::mouseClick(Restore ? RestoreMode : child<QRadioButton>(Modal, "rbModeReplace"), Qt::LeftButton, {},
                          QPoint(5, 5));
        EXPECT_EQ(Modal->windowTitle(), Restore ? "Orvex Migration Wizard - Step 1 of 3"
                                                : "Orvex Migration Wizard - Step 1 of 5");
        if (UndoShown)
            *UndoShown = UndoFile->text();
        QTest::mouseClick(Next, Qt::LeftButton);
        if (!Restore)
            child<QRadioButton>(Modal, "rbDestProject")->click();
        for (int I = 0; I < 4 && Next->isEnabled(); ++I)
            QTest::mouseClick(Next, Qt::LeftButton);
        EXPECT_EQ(Pages->currentWidget()->objectName(), "FinalStepSheet");
        QTest::mouseClick(Finish, Qt::LeftButton);
        if (Modal->isVisible())
            Modal->close();
    };
}

TModalDriver::TAction answerYes()
{
    return [](QWidget *Modal) {
        auto *Yes = child<QPushButton>(Modal, "OKBtn");
        if (Modal->objectName() != "SaveWarnForm" || !Yes) {
            ADD_FAILURE() << "not the confirmation: " << Modal->objectName().toStdString();
            Modal->close();
            return;
        }
        EXPECT_EQ(Modal->windowTitle(), Caption);
        QTest::mouseClick(Yes, Qt::LeftButton);
    };
}

} // namespace

TEST(Host, PluginPutsTheProductMenuIntoTheMenuBar)
{
    THostWindow &Host = host();
    ASSERT_EQ(Host.Wizards().size(), 1u);
    EXPECT_EQ(Host.Wizards()[0]->GetIDString(), "Halvane.BDE/IBX/FibPlusMigrationWizard.Orvex");
    // Just before the last top-level menu.
    EXPECT_EQ(menuBarTitles(Host), QStringList({"&File", "&View", "&Orvex", "&Help"}));
    QAction *Item = Host.MenuAction(ItemName);
    ASSERT_NE(Item, nullptr);
    EXPECT_EQ(Item->text(), "&Migration Wizard");
    EXPECT_NE(Host.MenuAction("FileOpenItem"), nullptr);

    THostWindow Other; // a library that is not there
    EXPECT_FALSE(Other.LoadPlugin(QDir::temp().filePath("no-such-wizard")));
    EXPECT_EQ(menuBarTitles(Other), QStringList({"&File", "&View", "&Help"}));
}

TEST(Host, ShowsTheProjectsModulesAndTheUnitAsOnDisk)
{
    THostWindow &Host = host();
    QTemporaryDir Dir;
    const QString Project = copyExample(Dir);
    ASSERT_TRUE(Host.OpenProject(Project));
    QStringList Names;
    for (int I = 0; I < Host.ModuleList()->count(); ++I)
        Names << Host.ModuleList()->item(I)->text();
    EXPECT_EQ(Names, QStringList({"Sales.dpr", "SalesData.pas", "Main.pas", "Orders.pas", "Cities.pas"}));
    EXPECT_EQ(Host.ShownFile(), QDir::toNativeSeparators(Dir.filePath("SalesData.pas")));
    EXPECT_EQ(Host.UnitView()->toPlainText().toUtf8(), ReadBytes(Dir.filePath("SalesData.pas")).replace("\r\n", "\n"));
    WriteBytes(Dir.filePath("SalesData.pas"), "unit SalesData;\nend.\n");
    Host.ReloadFile(Host.ShownFile());
    EXPECT_EQ(Host.UnitView()->toPlainText(), "unit SalesData;\nend.\n");
    Host.CloseProjectGroup();
    EXPECT_EQ(Host.ModuleList()->count(), 0);
}

TEST(Host, FileMenuAndTheDefaultExceptionDisplay)
{
    THostWindow Host; // without the plug-in
    TScriptedDialogs Dialogs;
    TUiDialogsScope Scope(&Dialogs);
    QTemporaryDir Dir;
    WriteBytes(Dir.filePath("Bad.dproj"), "<Project><ItemGroup>");
    Dialogs.Files = {std::nullopt, Dir.filePath("Bad.dproj")};
    Host.MenuAction("FileOpenItem")->trigger(); // cancelled
    EXPECT_TRUE(Dialogs.Messages.empty());
    Host.MenuAction("FileOpenItem")->trigger();
    ASSERT_EQ(Dialogs.Messages.size(), 1u);
    EXPECT_EQ(Dialogs.Messages[0].Icon, QMessageBox::Critical);
    EXPECT_TRUE(Dialogs.Messages[0].Text.contains("Bad.dproj"));
    EXPECT_FALSE(Host.IsProjectGroupOpen());

    // What a click raises is shown, and the host goes on.
    TZuMenuItem &Help = *Host.MainMenu().Items().FindChild("HelpMenu");
    Help.Insert(0, std::make_unique<TZuMenuItem>("Boom", "Boom", [](TZuMenuItem *) {
        throw std::runtime_error("the wizard failed");
    }));
    Host.RebuildMenuBar();
    Host.MenuAction("Boom")->trigger();
    ASSERT_EQ(Dialogs.Messages.size(), 2u);
    EXPECT_EQ(Dialogs.Messages[1].Text, "the wizard failed");
    EXPECT_EQ(Dialogs.Messages[1].Icon, QMessageBox::Critical);
}

TEST(Host, MigrationWizardConvertsTheExampleAndRestoresIt)
{
    THostWindow &Host = host();
    QTemporaryDir Dir;
    const QString Project = copyExample(Dir);
    ASSERT_TRUE(Host.OpenProject(Project));

    TScriptedDialogs::TMessage Message;
    {
        TModalDriver Driver;
        Driver.Then(walkWizard(false));
        Driver.Then(answerYes());
        // The result box: its text, then its button that opens the report.
        Driver.Then([&Message](QWidget *Modal) {
            auto *Box = qobject_cast<QMessageBox *>(Modal);
            ASSERT_NE(Box, nullptr);
            Message = {Box->text(), Box->windowTitle(), Box->icon()};
            for (QAbstractButton *Button : Box->buttons())
                if (Button->text() == "Open &Report")
                    Button->click();
            if (Box->isVisible())
                Box->close();
        });
        Host.MenuAction(ItemName)->trigger();
        EXPECT_EQ(Driver.Pending(), 0u);
    }
    // The report went to the host's report view.
    EXPECT_FALSE(Host.ReportDock()->isHidden());
    EXPECT_GT(Host.ReportView()->VisibleRows(), 0);
    EXPECT_EQ(Host.ReportView()->Report().Base, QFileInfo(Project).path());
    // The message, then what the run did.
    EXPECT_TRUE(QRegularExpression("^Replace procedure was performed sucessfully\\.\n\n[1-9]\\d* files changed, "
                                   "[1-9]\\d* objects re-created\\.\n")
                    .match(Message.Text)
                    .hasMatch())
        << Message.Text.toStdString();
    EXPECT_EQ(Message.Caption, Caption);
    EXPECT_EQ(Message.Icon, QMessageBox::Information);
    for (const char *Name : {"Main.pas", "Orders.pas", "SalesData.pas", "Main.dfm", "SalesData.dfm"})
        EXPECT_EQ(ReadBytes(Dir.filePath(Name)), ReadBytes(QDir(Expected).filePath(Name))) << Name;
    EXPECT_TRUE(ReadBytes(Dir.filePath("Orders.dfm")).startsWith("\xFF\x0A\x00"));
    EXPECT_NE(ReadBytes(Dir.filePath("Orders.dfm")), ReadBytes(QDir(Examples).filePath("Orders.dfm")));
    // The unit in view was reloaded from disk.
    EXPECT_TRUE(Host.UnitView()->toPlainText().contains("TOrx"));

    QString UndoShown;
    {
        TModalDriver Driver;
        Driver.Then(walkWizard(true, &UndoShown));
        Driver.Then(answerYes());
        Driver.Then(AcceptMessage(&Message));
        Host.MenuAction(ItemName)->trigger();
        EXPECT_EQ(Driver.Pending(), 0u);
    }
    // The last undo file was remembered from the replace.
    EXPECT_EQ(UndoShown, QDir::toNativeSeparators(Dir.filePath("RBackup/RExpert.reu")));
    EXPECT_EQ(Message.Text, "Files were succefully restored.");
    EXPECT_EQ(Message.Icon, QMessageBox::Information);
    for (const QString &Name : QDir(Examples).entryList(QDir::Files))
        EXPECT_EQ(ReadBytes(Dir.filePath(Name)), ReadBytes(QDir(Examples).filePath(Name))) << Name.toStdString();
    // The project was closed for the restore and opened again.
    EXPECT_EQ(Host.ActiveProjectFileName(), Project);
    EXPECT_EQ(Host.ModuleList()->count(), 5);
}

TEST(Host, FolderModeWithSubfoldersConvertsWithoutAskingTheIde)
{
    THostWindow &Host = host();
    QTemporaryDir Dir;
    const QString Ibx = QStringLiteral(MIGWIZ_SOURCE_DIR "/examples/ibx");
    for (const QString &Name : QDir(Ibx).entryList(QDir::Files))
        WriteBytes(Dir.filePath("top/sub/" + Name), ReadBytes(QDir(Ibx).filePath(Name)));
    const QString Top = QDir::toNativeSeparators(Dir.filePath("top"));

    TScriptedDialogs::TMessage Message;
    TModalDriver Driver;
    Driver.Then([&](QWidget *Modal) {
        auto *Sets = child<QComboBox>(Modal, "cbReplaceComponents");
        auto *Folder = child<QRadioButton>(Modal, "rbDestFolder");
        auto *Directory = child<QComboBox>(Modal, "cbDirectory");
        auto *SubDirs = child<QCheckBox>(Modal, "chSubDirs");
        auto *Next = child<QPushButton>(Modal, "btNext");
        if (!Sets || !Folder || !Directory || !SubDirs || !Next) {
            ADD_FAILURE() << "not the wizard";
            Modal->close();
            return;
        }
        QTest::mouseClick(child<QRadioButton>(Modal, "rbModeReplace"), Qt::LeftButton, {}, QPoint(5, 5));
        Sets->setCurrentIndex(1); // IBX
        QTest::mouseClick(Next, Qt::LeftButton);
        QTest::mouseClick(Folder, Qt::LeftButton, {}, QPoint(5, 5));
        QTest::mouseClick(Next, Qt::LeftButton);
        Directory->lineEdit()->clear();
        QTest::keyClicks(Directory->lineEdit(), Top);
        QTest::mouseClick(SubDirs, Qt::LeftButton, {}, QPoint(5, 5));
        QTest::mouseClick(Next, Qt::LeftButton);
        QTest::mouseClick(Next, Qt::LeftButton);
        QTest::mouseClick(child<QPushButton>(Modal, "btFinish"), Qt::LeftButton);
        if (Modal->isVisible())
            Modal->close();
    });
    // No confirmation in folder mode: the outcome comes next.
    Driver.Then(AcceptMessage(&Message));
    Host.MenuAction(ItemName)->trigger();
    EXPECT_EQ(Driver.Pending(), 0u);
    EXPECT_TRUE(Message.Text.startsWith("Replace procedure was performed sucessfully.")) << Message.Text.toStdString();
    const QString Expect = QStringLiteral(MIGWIZ_SOURCE_DIR "/tests/data/examples-expected/ibx");
    for (const QString &Name : QDir(Ibx).entryList(QDir::Files)) {
        const QString Want = QFileInfo::exists(QDir(Expect).filePath(Name)) ? QDir(Expect).filePath(Name)
                                                                             : QDir(Ibx).filePath(Name);
        EXPECT_EQ(ReadBytes(Dir.filePath("top/sub/" + Name)), ReadBytes(Want)) << Name.toStdString();
    }
    EXPECT_TRUE(QFileInfo::exists(Dir.filePath("top/RBackup/RExpert.reu")));
    EXPECT_TRUE(QFileInfo::exists(Dir.filePath("top/Wiz_Log.txt")));
}

TEST(Host, ErrorInsideTheEntryPointIsShownAndTheCallStillSucceeds)
{
    THostWindow &Host = host();
    QLibrary Library(QStringLiteral(MIGWIZ_PLUGIN));
    auto Init = reinterpret_cast<TInitWizardProc>(Library.resolve("INITWIZARD0001"));
    ASSERT_NE(Init, nullptr);
    TScriptedDialogs::TMessage Message;
    TModalDriver Driver;
    Driver.Then(AcceptMessage(&Message));
    const TWizardRegisterProc Refuse = [](IOTAWizard *) -> bool { throw std::runtime_error("registration refused"); };
    TWizardTerminateProc Terminate = nullptr;
    EXPECT_TRUE(Init(&Host, Refuse, &Terminate));
    EXPECT_EQ(Driver.Pending(), 0u);
    EXPECT_EQ(Message.Text, "registration refused");
    EXPECT_EQ(Message.Icon, QMessageBox::Critical);
    EXPECT_EQ(Terminate, nullptr);
}

// The report view reads today's JSON (without consequences) and the one with
// them; it filters, sorts, and opens the item's file at its line.
TEST(Host, ReportViewFiltersSortsAndOpensTheLine)
{
    THostWindow Host; // without the plug-in
    TScriptedDialogs Dialogs;
    TUiDialogsScope Scope(&Dialogs);
    QTemporaryDir Dir;
    WriteBytes(Dir.filePath("Main.pas"), "unit Main;\ninterface\nuses DBTables;\nimplementation\nend.\n");
    const QString Main = Dir.filePath("Main.pas");
    const QByteArray Today = "{\"total\": 3, \"counts\": {}, \"items\": ["
                             "{\"kind\": \"droppedProperty\", \"file\": \"" + Main.toUtf8() + "\", \"line\": 2,"
                             " \"object\": \"Form1.Table1\", \"name\": \"IndexName\", \"value\": \"ByName\"},"
                             "{\"kind\": \"leftInCode\", \"file\": \"" + Main.toUtf8() + "\", \"line\": 3,"
                             " \"name\": \"DBTables\"},"
                             "{\"kind\": \"newKind\", \"file\": \"" + Main.toUtf8() + "\", \"line\": 0,"
                             " \"name\": \"X\", \"consequence\": \"willNotLoad\"}]}";
    WriteBytes(Dir.filePath("report.json"), Today);
    WriteBytes(Dir.filePath("bad.json"), "[1, 2]");
    EXPECT_FALSE(Host.OpenReportFile(Dir.filePath("bad.json")));
    ASSERT_EQ(Dialogs.Messages.size(), 1u);
    EXPECT_TRUE(Dialogs.Messages[0].Text.contains("bad.json"));
    ASSERT_TRUE(Host.OpenReportFile(Dir.filePath("report.json")));
    TReportView &View = *Host.ReportView();
    EXPECT_FALSE(Host.ReportDock()->isHidden());
    EXPECT_EQ(View.Report().Base, QFileInfo(Dir.filePath("report.json")).absolutePath());
    ASSERT_EQ(View.VisibleRows(), 3);
    // The most serious first, each with its consequence (from the kind when
    // the report does not give it), the kind as given.
    EXPECT_EQ(View.Cell(0, TReportView::ConsequenceColumn), "will not compile");
    EXPECT_EQ(View.Cell(0, TReportView::KindColumn), "leftInCode");
    EXPECT_EQ(View.Cell(1, TReportView::KindColumn), "newKind");
    EXPECT_EQ(View.Cell(1, TReportView::ConsequenceColumn), "will not load");
    EXPECT_EQ(View.Cell(2, TReportView::ConsequenceColumn), "for information");
    EXPECT_EQ(View.Cell(2, TReportView::PlaceColumn), "Main.pas:2");
    EXPECT_EQ(View.Cell(2, TReportView::DetailColumn), "IndexName = ByName");
    // By place: the file, then the line as a number.
    View.Table()->sortByColumn(TReportView::PlaceColumn, Qt::AscendingOrder);
    EXPECT_EQ(View.Cell(0, TReportView::PlaceColumn), "Main.pas");
    EXPECT_EQ(View.Cell(2, TReportView::PlaceColumn), "Main.pas:3");
    View.ConsequenceFilter()->setCurrentIndex(1 + int(TConsequence::WillNotCompile));
    EXPECT_EQ(View.VisibleRows(), 1);
    View.ConsequenceFilter()->setCurrentIndex(0);
    QTest::keyClicks(View.TextFilter(), "table1");
    ASSERT_EQ(View.VisibleRows(), 1);

    // A double click shows the file with the cursor on the item's line.
    View.Table()->doubleClicked(View.Table()->model()->index(0, TReportView::PlaceColumn));
    EXPECT_EQ(Host.ShownFile(), Main);
    EXPECT_EQ(Host.UnitView()->textCursor().blockNumber(), 1);
}

// The command line as the host reads it.
TEST(Host, CommandLineIsReadOrRefusedWithTheReason)
{
    const struct
    {
        QStringList Arguments;
        QString Project, Report;
        const char *Error; // empty: accepted
    } Rows[] = {
        {{"host"}, {}, {}, ""},
        {{"host", "--report", "r.json", "App.dpr"}, "App.dpr", "r.json", ""},
        {{"host", "--reprot", "r.json"}, {}, {}, "Unknown option 'reprot'."},
        {{"host", "--report"}, {}, {}, "Missing value after '--report'."},
        {{"host", "A.dpr", "B.dpr"}, {}, {}, "Unexpected argument 'B.dpr': the host opens one project."},
    };
    for (const auto &R : Rows) {
        const THostArguments Parsed = ParseHostArguments(R.Arguments);
        EXPECT_EQ(Parsed.Error, R.Error) << R.Arguments.join(' ').toStdString();
        if (Parsed.Error.isEmpty()) {
            EXPECT_EQ(Parsed.Project, R.Project);
            EXPECT_EQ(Parsed.Report, R.Report);
            EXPECT_EQ(Parsed.Plugin, THostWindow::DefaultPluginPath());
        }
    }
    EXPECT_TRUE(ParseHostArguments({"host", "--help"}).Help);
    EXPECT_TRUE(HostUsage().contains("--report <FILE.json>"));
}

// `host --report FILE` shows the file's items, or says in a box which file
// it could not read and why, leaving the view closed.
TEST(Host, ReportOnTheCommandLineOpensOrNamesTheFileItCannotRead)
{
    QTemporaryDir Dir;
    WriteBytes(Dir.filePath("report.json"), "{\"total\": 1, \"counts\": {}, \"items\": [{\"kind\": \"leftInCode\","
                                            " \"file\": \"Main.pas\", \"line\": 3, \"name\": \"DBTables\"}]}");
    WriteBytes(Dir.filePath("cut.json"), "{\"total\": 1, \"items\": [");
    ASSERT_TRUE(QDir().mkpath(Dir.filePath("folder.json")));
    const struct
    {
        const char *File;
        int Rows;         // -1: refused
        const char *Says; // the reason in the box
    } Rows[] = {
        {"report.json", 1, ""},
        {"missing.json", -1, "Cannot open the report"},
        {"folder.json", -1, "Cannot open the report"},
        {"cut.json", -1, "Cannot read the report"},
    };
    for (const auto &R : Rows) {
        const QString File = Dir.filePath(R.File);
        TScriptedDialogs Dialogs;
        TUiDialogsScope Scope(&Dialogs);
        THostWindow Host; // no plug-in: the one test process keeps one host with it
        const THostArguments Arguments =
            ParseHostArguments({"host", "--plugin", Dir.filePath("no-plugin"), "--report", File});
        ASSERT_TRUE(Arguments.Error.isEmpty());
        EXPECT_FALSE(ApplyHostArguments(Host, Arguments));
        EXPECT_EQ(Host.ReportDock()->isHidden(), R.Rows < 0) << R.File;
        EXPECT_EQ(Host.ReportView()->VisibleRows(), std::max(R.Rows, 0)) << R.File;
        if (R.Rows >= 0) {
            EXPECT_TRUE(Dialogs.Messages.empty()) << R.File;
            continue;
        }
        ASSERT_EQ(Dialogs.Messages.size(), 1u) << R.File;
        EXPECT_TRUE(Dialogs.Messages[0].Text.startsWith(QString(R.Says) + " \"" + File + "\": "))
            << Dialogs.Messages[0].Text.toStdString();
        EXPECT_EQ(Dialogs.Messages[0].Icon, QMessageBox::Critical);
    }
}

// Qt's rule for the title that the window system shows: the window's title,
// then the application's display name when one is set. (QPlatformWindow's
// own, outside Qt's public headers; the offscreen platform keeps no title.)
class QPlatformWindow
{
public:
    static QString formatWindowTitle(const QString &Title, const QString &Separator);
};

// With the host's set-up, the window system shows the wizard's and its
// boxes' titles as they are, with nothing appended that would shorten them.
TEST(Host, WindowTitlesAreTheWizardsOwn)
{
    SetUpHostApplication();
    const auto shown = [](QWidget *Window) {
        return QPlatformWindow::formatWindowTitle(Window->windowHandle()->title(), QStringLiteral(" - "));
    };
    TFakeIde Ide;
    TIDEServicesScope Scope(&Ide);
    TReplaceOptions Options(QStringLiteral("BDE/IBX/FibPlus"));
    TOrxWizardForm Form;
    Form.SetProductName("Orvex");
    Form.SetReplaceOptions(&Options);
    Form.show();
    Form.btNext->click();
    Form.btNext->click();
    EXPECT_EQ(shown(&Form), "Orvex Migration Wizard - Step 3 of 5");

    QString BoxTitle;
    TModalDriver Driver;
    Driver.Then([&](QWidget *Box) {
        BoxTitle = shown(Box);
        Box->close();
    });
    TUiDialogs::Current().MessageBox(&Form, "Replace failed.", Options.Caption(), QMessageBox::Critical);
    EXPECT_EQ(BoxTitle, Options.Caption());
}
