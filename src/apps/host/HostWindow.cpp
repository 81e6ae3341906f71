#include "HostWindow.h"

#include "Errors.h"
#include "ReportView.h"
#include "Replacer.h"
#include "TextCodec.h"
#include "UiDialogs.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QDockWidget>
#include <QFile>
#include <QFileInfo>
#include <QFontDatabase>
#include <QListWidget>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QSplitter>
#include <QStatusBar>
#include <QTextBlock>

#include <algorithm>

THostWindow *THostWindow::FLoading = nullptr;

namespace {

const QString sProjectFilter =
    QStringLiteral("Delphi projects (*.dpr *.dproj)|*.dpr;*.dproj|All files (*)|*");
const QString sReportFilter = QStringLiteral("Reports of work left (*.json)|*.json|All files (*)|*");

void addItem(TZuMenuItem &Parent, const QString &Name, const QString &Caption, TZuMenuClickEvent OnClick = {})
{
    Parent.Insert(Parent.Count(), std::make_unique<TZuMenuItem>(Name, Caption, std::move(OnClick)));
}

} // namespace

THostWindow::THostWindow(QWidget *Parent)
    : QMainWindow(Parent)
{
    setObjectName(QStringLiteral("HostWindow"));
    setWindowTitle(QStringLiteral("Delphi IDE stand-in"));
    resize(900, 600);

    FSplitter = new QSplitter(this);
    FModuleList = new QListWidget(FSplitter);
    FModuleList->setObjectName(QStringLiteral("ModuleList"));
    FUnitView = new QPlainTextEdit(FSplitter);
    FUnitView->setObjectName(QStringLiteral("UnitView"));
    FUnitView->setReadOnly(true);
    FUnitView->setLineWrapMode(QPlainTextEdit::NoWrap);
    FUnitView->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    FSplitter->setStretchFactor(1, 1);
    FSplitter->setSizes({220, 680});
    setCentralWidget(FSplitter);
    connect(FModuleList, &QListWidget::currentItemChanged, this, [this](QListWidgetItem *Item) {
        if (Item)
            ShowFile(Item->data(Qt::UserRole).toString());
    });

    FReportView = new TReportView;
    FReportView->OnOpenLocation = [this](const QString &File, int Line) { ShowFileAtLine(File, Line); };
    FReportDock = new QDockWidget(QStringLiteral("Work Report"), this);
    FReportDock->setObjectName(QStringLiteral("ReportDock"));
    FReportDock->setWidget(FReportView);
    addDockWidget(Qt::BottomDockWidgetArea, FReportDock);
    FReportDock->hide();

    BuildMainMenuModel();
    RebuildMenuBar();
    Status(QStringLiteral("No project open"));
}

THostWindow::~THostWindow()
{
    // The menu items' click handlers were made by the plug-in; they and the
    // wizards go while its code is still there (the library is not
    // unloaded: QLibrary keeps it until the process ends).
    FWizards.clear();
}

QString THostWindow::DefaultPluginPath()
{
    return QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("orxwizard"));
}

bool THostWindow::LoadPlugin(const QString &Path)
{
    FLibrary.setFileName(Path);
    auto Init = reinterpret_cast<TInitWizardProc>(FLibrary.resolve("INITWIZARD0001"));
    if (!Init) {
        Status(QStringLiteral("Cannot load the wizard \"%1\": %2").arg(Path, FLibrary.errorString()));
        return false;
    }
    FLoading = this;
    Init(this, &THostWindow::RegisterWizard, &FTerminate);
    FLoading = nullptr;
    RebuildMenuBar();
    Status(QStringLiteral("Loaded %1").arg(QDir::toNativeSeparators(FLibrary.fileName())));
    return true;
}

bool THostWindow::RegisterWizard(IOTAWizard *Wizard)
{
    std::unique_ptr<IOTAWizard> Owned(Wizard);
    if (!FLoading || !Wizard)
        return false;
    FLoading->FWizards.push_back(std::move(Owned));
    return true;
}

void THostWindow::BuildMainMenuModel()
{
    TZuMenuItem &Top = FMainMenu.Items();
    addItem(Top, QStringLiteral("FileMenu"), QStringLiteral("&File"));
    TZuMenuItem &File = *Top.Item(0);
    addItem(File, QStringLiteral("FileOpenItem"), QStringLiteral("&Open Project..."),
            [this](TZuMenuItem *) { OpenProjectDialog(); });
    addItem(File, QStringLiteral("FileSaveItem"), QStringLiteral("&Save"), [this](TZuMenuItem *) { SaveProject(); });
    addItem(File, QStringLiteral("FileCloseItem"), QStringLiteral("&Close"),
            [this](TZuMenuItem *) { CloseProjectClick(); });
    addItem(File, QStringLiteral("FileSeparator"), QStringLiteral("-"));
    addItem(File, QStringLiteral("FileExitItem"), QStringLiteral("E&xit"), [this](TZuMenuItem *) { close(); });
    addItem(Top, QStringLiteral("ViewMenu"), QStringLiteral("&View"));
    TZuMenuItem &View = *Top.Item(1);
    addItem(View, QStringLiteral("ViewReportItem"), QStringLiteral("Work &Report"), [this](TZuMenuItem *) {
        if (FReportView->Report().Base.isEmpty())
            OpenReportDialog();
        else
            FReportDock->show();
    });
    addItem(View, QStringLiteral("ViewOpenReportItem"), QStringLiteral("&Open Work Report..."),
            [this](TZuMenuItem *) { OpenReportDialog(); });
    addItem(Top, QStringLiteral("HelpMenu"), QStringLiteral("&Help"));
    addItem(*Top.Item(2), QStringLiteral("HelpAboutItem"), QStringLiteral("&About"), [this](TZuMenuItem *) {
        TUiDialogs::Current().MessageBox(this,
                                         QStringLiteral("A stand-in for the Delphi IDE that loads the migration "
                                                        "wizard's plug-in."),
                                         windowTitle(), QMessageBox::Information);
    });
}

void THostWindow::RebuildMenuBar()
{
    menuBar()->clear();
    const TZuMenuItem &Top = FMainMenu.Items();
    for (int I = 0; I < Top.Count(); ++I) {
        TZuMenuItem *TopItem = Top.Item(I);
        QMenu *Menu = menuBar()->addMenu(TopItem->Caption);
        Menu->setObjectName(TopItem->Name);
        Menu->menuAction()->setObjectName(TopItem->Name);
        for (int J = 0; J < TopItem->Count(); ++J) {
            TZuMenuItem *Item = TopItem->Item(J);
            if (Item->Caption == QLatin1String("-")) {
                Menu->addSeparator();
                continue;
            }
            QAction *Action = Menu->addAction(Item->Caption);
            Action->setObjectName(Item->Name);
            connect(Action, &QAction::triggered, this, [this, Item] { ClickItem(Item); });
        }
    }
}

QAction *THostWindow::MenuAction(const QString &Name) const
{
    const QList<QAction *> Actions = menuBar()->findChildren<QAction *>(Name);
    return Actions.isEmpty() ? nullptr : Actions.first();
}

void THostWindow::ClickItem(TZuMenuItem *Item)
{
    // The IDE's default exception display: what a click raises is shown,
    // and the host goes on.
    try {
        Item->Click();
    } catch (const std::exception &E) {
        TUiDialogs::Current().MessageBox(this, QString::fromUtf8(E.what()), windowTitle(), QMessageBox::Critical);
    }
}

void THostWindow::OpenProjectDialog()
{
    QString FileName;
    const QString Folder = IsProjectGroupOpen() ? QFileInfo(ActiveProjectFileName()).path() : QDir::currentPath();
    if (!TUiDialogs::Current().OpenFileName(this, Folder, sProjectFilter, FileName))
        return;
    if (!OpenProject(FileName))
        TUiDialogs::Current().MessageBox(this, FProject.ErrorString(), windowTitle(), QMessageBox::Critical);
}

void THostWindow::CloseProjectClick()
{
    CloseProjectGroup();
}

bool THostWindow::SaveProject()
{
    // The unit view is read-only: nothing is ever modified, so saving has
    // nothing to write.
    const bool Saved = FProject.SaveProject();
    Status(Saved ? QStringLiteral("Project saved") : QStringLiteral("No project to save"));
    return Saved;
}

bool THostWindow::CloseProjectGroup()
{
    FProject.CloseProjectGroup();
    RefreshProject();
    Status(QStringLiteral("Project closed"));
    return true;
}

bool THostWindow::OpenProject(const QString &ProjName)
{
    const bool Opened = FProject.OpenProject(ProjName);
    RefreshProject();
    Status(Opened ? QStringLiteral("Opened %1 (%2 modules)").arg(ActiveProjectFileName()).arg(ModuleCount())
                  : FProject.ErrorString());
    return Opened;
}

bool THostWindow::ReloadFile(const QString &FileName)
{
    if (FileName == FShownFile)
        ShowFile(FileName);
    Status(QStringLiteral("Reloaded %1").arg(FileName));
    return true;
}

void THostWindow::ShowProjectCodeEditors()
{
    // There is no form designer here: the code is always in front.
}

void THostWindow::RefreshProject()
{
    const QString Shown = FShownFile;
    FModuleList->clear();
    FUnitView->clear();
    FShownFile.clear();
    if (!IsProjectGroupOpen()) {
        setWindowTitle(QStringLiteral("Delphi IDE stand-in"));
        return;
    }
    setWindowTitle(QStringLiteral("Delphi IDE stand-in - %1").arg(QFileInfo(ActiveProjectFileName()).fileName()));
    QStringList Files{ActiveProjectFileName()};
    for (int I = 0; I < ModuleCount(); ++I)
        Files << ModuleFileName(I);
    QListWidgetItem *Select = nullptr;
    for (const QString &File : std::as_const(Files)) {
        auto *Item = new QListWidgetItem(QFileInfo(File).fileName(), FModuleList);
        Item->setData(Qt::UserRole, File);
        Item->setToolTip(File);
        if (File == Shown || (!Select && File != ActiveProjectFileName()))
            Select = Item;
    }
    // The unit shown before stays in view; otherwise the first unit.
    if (!Shown.isEmpty())
        for (int I = 0; I < FModuleList->count(); ++I)
            if (FModuleList->item(I)->data(Qt::UserRole).toString() == Shown)
                Select = FModuleList->item(I);
    FModuleList->setCurrentItem(Select ? Select : FModuleList->item(0));
}

void THostWindow::ShowFile(const QString &Path)
{
    FShownFile = Path;
    QFile File(Path);
    if (!File.open(QIODevice::ReadOnly)) {
        FUnitView->setPlainText(QString());
        Status(QStringLiteral("Cannot read %1: %2").arg(Path, File.errorString()));
        return;
    }
    TTextEncoding Encoding;
    if (Path.endsWith(QLatin1String(".dfm"), Qt::CaseInsensitive)
        || Path.endsWith(QLatin1String(".nfm"), Qt::CaseInsensitive)) {
        // A form as its text, binary or not: the report's lines are those.
        QString Text;
        try {
            TRCData RCData;
            bool Binary = false;
            TComponentReplacer::ReadFormText(File, Path, RCData, Text, Encoding, Binary);
        } catch (const EMigError &E) {
            Status(E.Message());
        }
        FUnitView->setPlainText(Text);
        return;
    }
    FUnitView->setPlainText(TextCodec::DecodeFile(File.readAll(), Encoding));
}

void THostWindow::ShowFileAtLine(const QString &Path, int Line)
{
    // Through the module list when the file is one of the project's.
    bool Listed = false;
    for (int I = 0; I < FModuleList->count() && !Listed; ++I)
        if (FModuleList->item(I)->data(Qt::UserRole).toString() == Path) {
            FModuleList->setCurrentRow(I);
            Listed = true;
        }
    if (!Listed || FShownFile != Path)
        ShowFile(Path);
    const QTextBlock Block = FUnitView->document()->findBlockByNumber(std::max(Line, 1) - 1);
    if (Block.isValid()) {
        QTextCursor Cursor(Block);
        FUnitView->setTextCursor(Cursor);
        FUnitView->centerCursor();
    }
    FUnitView->setFocus();
}

bool THostWindow::ShowWorkReport(const QByteArray &Json)
{
    TReportFile Report;
    QString Error;
    if (!TReportFile::FromJson(Json, IsProjectGroupOpen() ? QFileInfo(ActiveProjectFileName()).path() : QString(),
                               Report, &Error)) {
        Status(Error);
        return false;
    }
    FReportView->SetReport(Report);
    FReportDock->show();
    FReportDock->raise();
    return true;
}

bool THostWindow::OpenReportFile(const QString &Path)
{
    QFile File(Path);
    TReportFile Report;
    QString Error;
    if (!File.open(QIODevice::ReadOnly))
        Error = QStringLiteral("Cannot open the report \"%1\": %2").arg(Path, File.errorString());
    else if (!TReportFile::FromJson(File.readAll(), QFileInfo(Path).absolutePath(), Report, &Error))
        Error = QStringLiteral("Cannot read the report \"%1\": %2").arg(Path, Error);
    if (!Error.isEmpty()) {
        TUiDialogs::Current().MessageBox(this, Error, windowTitle(), QMessageBox::Critical);
        return false;
    }
    FReportView->SetReport(Report);
    FReportDock->show();
    FReportDock->raise();
    Status(QStringLiteral("Report %1: %2 item(s)").arg(Path).arg(Report.Rows.size()));
    return true;
}

void THostWindow::OpenReportDialog()
{
    QString FileName;
    const QString Folder = IsProjectGroupOpen() ? QFileInfo(ActiveProjectFileName()).path() : QDir::currentPath();
    if (TUiDialogs::Current().OpenFileName(this, Folder, sReportFilter, FileName))
        OpenReportFile(FileName);
}

void THostWindow::Status(const QString &Text)
{
    statusBar()->showMessage(Text);
}
