#include "Wizard.h"

#include "BusyCursor.h"
#include "FileUtils.h"
#include "IDEUtils.h"
#include "RExpertRes.h"
#include "RegIniFile.h"
#include "Replacer.h"
#include "RunChecks.h"
#include "UiDialogs.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScrollArea>
#include <QScrollBar>
#include <QShowEvent>
#include <QStackedWidget>
#include <QVBoxLayout>

const QString TWizardForm::OpenDialogFilter = QStringLiteral("Undo files (*.reu)|*.reu|All files (*.*)|*.*");

namespace {

const QString sCaptionFmt = QStringLiteral("%1 Migration Wizard - Step %2 of %3");
const QString sLabel2Fmt = QStringLiteral(
    "Wizard facilitates converting your application to %1. It replaces all standard %2 components to "
    "corresponding %3 components. You may need to make some changes manually to compile your application "
    "successfully.");
const QString sUndoFileNotExist = QStringLiteral("Undo file \"%1\" does not exist.");
const QString sTargetDirNotExist = QStringLiteral("Target directory \"%1\" does not exist.");
const QString sSelectUnit = QStringLiteral("At least one unit should be selected.");
const QString sBackupFolderName = QStringLiteral("RBackup");

// The right edge of the pages' controls, in design pixels.
constexpr int PageRight = 330;

template <class T>
T *named(T *Object, const char *Name)
{
    Object->setObjectName(QLatin1String(Name));
    return Object;
}

QLabel *label(QWidget *Parent, const char *Name, const QString &Text, int X, int Y, int W = 0, int H = 0)
{
    auto *Label = named(new QLabel(Text, Parent), Name);
    Label->setTextFormat(Qt::PlainText);
    if (W > 0) {
        Label->setGeometry(X, Y, W, H);
        Label->setWordWrap(true);
        Label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    } else {
        // A single line with the room to the page's right edge: the text
        // must fit it, or the dialog grows (TFontFit).
        Label->setGeometry(X, Y, PageRight - X, 16);
    }
    return Label;
}

QLabel *title(QWidget *Page, const char *Name, const QString &Text)
{
    QLabel *Title = label(Page, Name, Text, 8, 8);
    QFont Bold = Title->font();
    Bold.setBold(true);
    Title->setFont(Bold);
    Title->resize(Title->width(), 18);
    return Title;
}

template <class T>
T *placed(T *Widget, int X, int Y, int W, int H)
{
    Widget->setGeometry(X, Y, W, H);
    return Widget;
}

QPushButton *button(QWidget *Parent, const char *Name, const QString &Text, int X, int Y, int W = 75, int H = 25)
{
    auto *Button = placed(named(new QPushButton(Text, Parent), Name), X, Y, W, H);
    // No button takes Enter: the VCL form has no default button either.
    Button->setAutoDefault(false);
    return Button;
}

QCheckBox *checkBox(QWidget *Parent, const char *Name, const QString &Text, int X, int Y)
{
    auto *Box = named(new QCheckBox(Text, Parent), Name);
    Box->setGeometry(X, Y, PageRight - X, 17);
    return Box;
}

QRadioButton *radio(QWidget *Parent, const char *Name, const QString &Text, int X, int Y, int W)
{
    auto *Radio = named(new QRadioButton(Text, Parent), Name);
    Radio->setGeometry(X, Y, W, 17);
    return Radio;
}

QComboBox *historyCombo(QWidget *Parent, const char *Name, int X, int Y, int W)
{
    auto *Combo = placed(named(new QComboBox(Parent), Name), X, Y, W, 21);
    Combo->setEditable(true);
    // Enter in the box must not add to the history: only Finish does.
    Combo->setInsertPolicy(QComboBox::NoInsert);
    return Combo;
}

QWidget *page(QStackedWidget *Pages, const char *Name)
{
    auto *Page = named(new QWidget(Pages), Name);
    Pages->addWidget(Page);
    return Page;
}

// The folder part of a path, with its trailing separator; empty when the
// path names no folder.
QString folderPart(const QString &Path)
{
    const qsizetype At = std::max(Path.lastIndexOf(u'/'), Path.lastIndexOf(u'\\'));
    return At < 0 ? QString() : Path.left(At + 1);
}

QStringList historyLines(const QString &Text)
{
    return Text.split(QRegularExpression(QStringLiteral("\r\n|\n|\r")), Qt::SkipEmptyParts);
}

QString historyText(const QComboBox *Combo)
{
    QString Text;
    for (int I = 0; I < Combo->count(); ++I)
        Text += Combo->itemText(I) + u'\n';
    return Text;
}

// A button that shows an action: its caption and enabled state follow the
// action, and a click runs it.
void bindButton(QAbstractButton *Button, QAction *Action)
{
    Button->setText(Action->text());
    QObject::connect(Action, &QAction::changed, Button, [Button, Action] {
        Button->setText(Action->text());
        Button->setEnabled(Action->isEnabled());
    });
    QObject::connect(Button, &QAbstractButton::clicked, Action, &QAction::trigger);
}

QAction *action(QObject *List, const char *Name, const QString &Text)
{
    auto *Action = named(new QAction(Text, List), Name);
    return Action;
}

} // namespace

TWizardForm::TWizardForm(QWidget *Parent)
    : QDialog(Parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                          | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("WizardForm"));
    setWindowTitle(QStringLiteral("BDE Migration Wizard"));
    setFixedSize(468, 324);

    ActionList1 = named(new QObject(this), "ActionList1");
    actMakeBackup = action(ActionList1, "actMakeBackup", QStringLiteral("&Make backup"));
    actFinish = action(ActionList1, "actFinish", QStringLiteral("Finish"));
    actNext = action(ActionList1, "actNext", QStringLiteral("Next >"));
    actBack = action(ActionList1, "actBack", QStringLiteral("< Back"));
    actWriteLog = action(ActionList1, "actWriteLog", QStringLiteral("&Write log"));
    connect(actMakeBackup, &QAction::triggered, this, [this] { actMakeBackupExecute(); });
    connect(actFinish, &QAction::triggered, this, [this] { actFinishExecute(); });
    connect(actNext, &QAction::triggered, this, [this] { actNextExecute(); });
    connect(actBack, &QAction::triggered, this, [this] { actBackExecute(); });
    connect(actWriteLog, &QAction::triggered, this, [this] { actWriteLogExecute(); });

    // The picture panel in its bevel frame.
    Bevel1 = placed(named(new QFrame(this), "Bevel1"), 6, 6, 124, 264);
    Bevel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Image1 = placed(named(new QLabel(this), "Image1"), 8, 8, 120, 260);
    Image1->setScaledContents(true);

    StepsPageControl = placed(named(new QStackedWidget(this), "StepsPageControl"), 129, 2, 338, 271);
    Bevel2 = placed(named(new QFrame(this), "Bevel2"), 8, 276, 452, 2);
    Bevel2->setFrameStyle(QFrame::HLine | QFrame::Sunken);

    // Step 1: the mode.
    Step1Sheet = page(StepsPageControl, "Step1Sheet");
    title(Step1Sheet, "Step1Title", QStringLiteral("Step 1 - Select mode"));
    Label1 = label(Step1Sheet, "Label1", QStringLiteral("Welcome to Migration Wizard"), 8, 30, 322, 18);
    {
        QFont Bold = Label1->font();
        Bold.setBold(true);
        Label1->setFont(Bold);
        Label1->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    }
    Label2 = label(Step1Sheet, "Label2", QStringLiteral("fmtWizardFormLabel"), 8, 54, 322, 62);
    Label11 = label(Step1Sheet, "Label11",
                    QStringLiteral("If any problem occurs during the migration process, you can restore your project "
                                   "from backup files. However, it is highly recommended to make a reserved copy of "
                                   "your project before running the migration process."),
                    8, 120, 322, 70);
    rbModeReplace = radio(Step1Sheet, "rbModeReplace", QStringLiteral("&Replace BDE components"), 16, 200, 149);
    rbModeRestore = radio(Step1Sheet, "rbModeRestore", QStringLiteral("R&estore original files from backup"), 16,
                          222, 250);
    rbModeReplace->setChecked(true);
    // One change of the pair, by the user or from code, is one click.
    connect(rbModeReplace, &QRadioButton::toggled, this, [this] { rbModeReplaceClick(); });

    // Step 2 of a restore: the undo file.
    Step2RestoreSheet = page(StepsPageControl, "Step2RestoreSheet");
    title(Step2RestoreSheet, "Step2RestoreTitle", QStringLiteral("Step 2 - Select backup file"));
    lUndo = label(Step2RestoreSheet, "lUndo", QStringLiteral("&Backup file:"), 8, 40);
    edUndoFile = placed(named(new QLineEdit(Step2RestoreSheet), "edUndoFile"), 8, 58, 240, 21);
    lUndo->setBuddy(edUndoFile);
    btRestoreBrowse = button(Step2RestoreSheet, "btRestoreBrowse", QStringLiteral("Bro&wse..."), 254, 56);
    Label5 = label(Step2RestoreSheet, "Label5",
                   QStringLiteral("Note: Backup file is created while replacing if 'Make backup' option is selected."),
                   8, 96, 322, 40);
    connect(btRestoreBrowse, &QPushButton::clicked, this, [this] { btRestoreBrowseClick(); });
    connect(edUndoFile, &QLineEdit::textChanged, this, [this] { UpdateActions(); });

    // Step 2 of a replace: project or folder.
    Step2ReplaceSheet = page(StepsPageControl, "Step2ReplaceSheet");
    title(Step2ReplaceSheet, "Step2ReplaceTitle", QStringLiteral("Step 2 - Select location of files to search"));
    rbDestProject = radio(Step2ReplaceSheet, "rbDestProject", QStringLiteral("&Current open project"), 16, 40, 250);
    rbDestFolder = radio(Step2ReplaceSheet, "rbDestFolder", QStringLiteral("&Disk folder"), 16, 64, 250);
    rbDestProject->setChecked(true);
    Label7 = label(Step2ReplaceSheet, "Label7",
                   QStringLiteral("Note: Using 'Current open project' option gives more information about files."), 8,
                   100, 322, 40);

    // Step 3 of a project replace: the units.
    Step3ProjSheet = page(StepsPageControl, "Step3ProjSheet");
    title(Step3ProjSheet, "Step3ProjTitle", QStringLiteral("Step 3 - Select units to replace components"));
    lbModules = placed(named(new QListWidget(Step3ProjSheet), "lbModules"), 8, 32, 240, 230);
    btSelect = button(Step3ProjSheet, "btSelect", QStringLiteral("Select All"), 254, 32);
    btDeselect = button(Step3ProjSheet, "btDeselect", QStringLiteral("Deselect All"), 254, 64);
    connect(btSelect, &QPushButton::clicked, this, [this] { btSelectClick(); });
    connect(btDeselect, &QPushButton::clicked, this, [this] { btDeselectClick(); });

    // Step 3 of a folder replace: the folder.
    Step3DirSheet = page(StepsPageControl, "Step3DirSheet");
    title(Step3DirSheet, "Step3DirTitle", QStringLiteral("Step 3 - Select folder to search units"));
    lSource = label(Step3DirSheet, "lSource", QStringLiteral("Target &folder:"), 8, 40);
    cbDirectory = historyCombo(Step3DirSheet, "cbDirectory", 8, 58, 240);
    lSource->setBuddy(cbDirectory);
    btBrowseFolder = button(Step3DirSheet, "btBrowseFolder", QStringLiteral("&Browse..."), 254, 56);
    chSubDirs = checkBox(Step3DirSheet, "chSubDirs", QStringLiteral("Include &subfolders"), 8, 92);
    connect(btBrowseFolder, &QPushButton::clicked, this, [this] { btBrowseFolderClick(); });
    connect(cbDirectory, &QComboBox::currentTextChanged, this, [this] { UpdateActions(); });

    // Step 4: backup and log.
    Step4Sheet = page(StepsPageControl, "Step4Sheet");
    title(Step4Sheet, "Step4Title", QStringLiteral("Step 4 - Set advanced options"));
    chMakeBackup = checkBox(Step4Sheet, "chMakeBackup", actMakeBackup->text(), 8, 36);
    chMakeBackup->setChecked(true);
    lBackupFolder = label(Step4Sheet, "lBackupFolder", QStringLiteral("Backup &folder:"), 24, 60);
    cbBackupDir = historyCombo(Step4Sheet, "cbBackupDir", 24, 78, 224);
    lBackupFolder->setBuddy(cbBackupDir);
    btBrowseBackFolder = button(Step4Sheet, "btBrowseBackFolder", QStringLiteral("&Browse..."), 254, 76);
    chWriteLog = checkBox(Step4Sheet, "chWriteLog", actWriteLog->text(), 8, 116);
    chWriteLog->setChecked(true);
    lblLogNote = label(Step4Sheet, "lblLogNote",
                       QStringLiteral("Note: Log file will be placed in project folder or target folder you selected."),
                       24, 138, 300, 30);
    chViewLog = checkBox(Step4Sheet, "chViewLog", QStringLiteral("View log after replace"), 24, 172);
    // Off by default: the code keeps its member names and the report lists them.
    chRenameMembers = checkBox(Step4Sheet, "chRenameMembers", QStringLiteral("Rename members in code"), 8, 200);
    connect(chMakeBackup, &QCheckBox::clicked, actMakeBackup, &QAction::trigger);
    connect(chWriteLog, &QCheckBox::clicked, actWriteLog, &QAction::trigger);
    connect(chMakeBackup, &QCheckBox::toggled, this, [this] { UpdateActions(); });
    connect(chWriteLog, &QCheckBox::toggled, this, [this] { UpdateActions(); });
    connect(btBrowseBackFolder, &QPushButton::clicked, this, [this] { btBrowseBackFolderClick(); });
    // Only the user's edits count: typing, or picking an entry of the list.
    connect(cbBackupDir->lineEdit(), &QLineEdit::textEdited, this, [this] { cbBackupDirChange(); });
    connect(cbBackupDir, &QComboBox::activated, this, [this] { cbBackupDirChange(); });

    // The summary.
    FinalStepSheet = page(StepsPageControl, "FinalStepSheet");
    title(FinalStepSheet, "FinalStepTitle", QStringLiteral("Step 5 - Start units converting"));
    Label15 = label(FinalStepSheet, "Label15",
                    QStringLiteral("If you want to review or change any settings, click Back. Otherwise click Finish "
                                   "to start replacing."),
                    8, 32, 322, 32);
    Label14 = label(FinalStepSheet, "Label14", QStringLiteral("Summary:"), 8, 68);
    sbSummary = placed(named(new QScrollArea(FinalStepSheet), "sbSummary"), 8, 86, 322, 177);
    sbSummary->setWidgetResizable(true);
    lSummary = named(new QLabel, "lSummary");
    lSummary->setTextFormat(Qt::PlainText);
    lSummary->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    lSummary->setWordWrap(true);
    lSummary->setTextInteractionFlags(Qt::TextSelectableByMouse);
    // The summary text, and below it the checks under their own heading.
    auto *SummaryPanel = named(new QWidget, "SummaryPanel");
    auto *SummaryLayout = new QVBoxLayout(SummaryPanel);
    SummaryLayout->setContentsMargins(2, 2, 2, 2);
    SummaryLayout->addWidget(lSummary);
    lChecksTitle = named(new QLabel(QStringLiteral("What the run will meet:"), SummaryPanel), "lChecksTitle");
    {
        QFont Bold = lChecksTitle->font();
        Bold.setBold(true);
        lChecksTitle->setFont(Bold);
    }
    lChecks = named(new QLabel(SummaryPanel), "lChecks");
    lChecks->setTextFormat(Qt::PlainText);
    lChecks->setWordWrap(true);
    lChecks->setTextInteractionFlags(Qt::TextSelectableByMouse);
    SummaryLayout->addWidget(lChecksTitle);
    SummaryLayout->addWidget(lChecks);
    SummaryLayout->addStretch(1);
    lChecksTitle->hide();
    lChecks->hide();
    sbSummary->setWidget(SummaryPanel);

    // The button row comes after the pages, so that Tab goes through the
    // page's own controls first.
    btPrev = button(this, "btPrev", QString(), 126, 291);
    btNext = button(this, "btNext", QString(), 208, 291);
    btFinish = button(this, "btFinish", QString(), 305, 291);
    btCancel = button(this, "btCancel", QStringLiteral("Cancel"), 386, 291);
    bindButton(btPrev, actBack);
    bindButton(btNext, actNext);
    bindButton(btFinish, actFinish);
    // Finish runs its action, then closes the dialog with mrOk.
    connect(btFinish, &QPushButton::clicked, this, [this] {
        if (actFinish->isEnabled())
            accept();
    });
    connect(btCancel, &QPushButton::clicked, this, &QDialog::reject);

    connect(StepsPageControl, &QStackedWidget::currentChanged, this, [this] { UpdateActions(); });
    LoadPicture();
    StepsPageControl->setCurrentWidget(Step1Sheet);
    UpdateActions();
}

TWizardForm::~TWizardForm() = default;

QPixmap TWizardForm::Picture() const
{
    // A plain panel: a vertical gradient with a few steps climbing to the
    // right, the wizard's way from the old components to the new ones.
    QPixmap Pixmap(120, 260);
    QPainter Painter(&Pixmap);
    QLinearGradient Fill(0, 0, 0, 260);
    Fill.setColorAt(0, QColor(0x3a, 0x5f, 0x8f));
    Fill.setColorAt(1, QColor(0x10, 0x20, 0x38));
    Painter.fillRect(Pixmap.rect(), Fill);
    Painter.setRenderHint(QPainter::Antialiasing);
    Painter.setPen(Qt::NoPen);
    for (int I = 0; I < 5; ++I) {
        Painter.setBrush(QColor(255, 255, 255, 40 + 30 * I));
        Painter.drawRoundedRect(QRectF(12 + 18 * I, 220 - 34 * I, 24, 12), 3, 3);
    }
    return Pixmap;
}

void TWizardForm::LoadPicture()
{
    Image1->setPixmap(Picture());
}

int TWizardForm::CurStep() const
{
    QWidget *Page = StepsPageControl->currentWidget();
    if (Page == Step1Sheet)
        return 1;
    if (Page == Step2RestoreSheet || Page == Step2ReplaceSheet)
        return 2;
    if (Page == Step3ProjSheet || Page == Step3DirSheet)
        return 3;
    if (Page == Step4Sheet)
        return 4;
    return IsRestoreMode() ? 3 : 5;
}

int TWizardForm::StepCount() const
{
    return IsRestoreMode() ? 3 : StepsPageControl->count() - 2;
}

bool TWizardForm::IsRestoreMode() const
{
    return rbModeRestore->isChecked();
}

QString TWizardForm::BaseFolder() const
{
    if (rbDestProject->isChecked())
        return QDir::toNativeSeparators(QFileInfo(FProjectName).path());
    return cbDirectory->currentText();
}

QString TWizardForm::EffectiveBackupDir() const
{
    const QString Text = cbBackupDir->currentText();
    // An absolute path plays the part that a drive letter or a UNC share
    // plays on Windows: it is used as typed.
    if (!Text.isEmpty() && QDir::isAbsolutePath(Text))
        return Text;
    return JoinPath(BaseFolder(), Text);
}

void TWizardForm::AddToHistory(QComboBox *Combo, const QString &Text)
{
    if (Text.isEmpty() || Combo->findText(Text, Qt::MatchFixedString) >= 0)
        return;
    // Changing the entries may move the box's current entry; the text typed
    // stays what it is.
    const QString Typed = Combo->currentText();
    Combo->insertItem(0, Text);
    while (Combo->count() > MaxHistory)
        Combo->removeItem(Combo->count() - 1);
    Combo->setEditText(Typed);
}

void TWizardForm::SetLabel2Caption(const QString &ASourceName, const QString &AProductName)
{
    Label2->setText(sLabel2Fmt.arg(AProductName, ASourceName, AProductName));
}

void TWizardForm::SetReplaceModeCaption(const QString &Caption)
{
    rbModeReplace->setText(Caption);
}

void TWizardForm::LoadState(TRegIniFile &IniFile, const QString &Section)
{
    // A stored position wins over centring on the screen.
    if (IniFile.ValueExists(Section, QStringLiteral("Left")) || IniFile.ValueExists(Section, QStringLiteral("Top")))
        move(IniFile.ReadInteger(Section, QStringLiteral("Left"), x()),
             IniFile.ReadInteger(Section, QStringLiteral("Top"), y()));
    cbDirectory->clear();
    cbDirectory->addItems(historyLines(IniFile.ReadString(Section, QStringLiteral("DirHistory"), QString())));
    cbBackupDir->clear();
    cbBackupDir->addItems(historyLines(IniFile.ReadString(Section, QStringLiteral("BackDirHistory"), QString())));
    // Checking a mode button from code counts as a click on it.
    if (IniFile.ReadBool(Section, QStringLiteral("ReplaceMode"), rbModeReplace->isChecked()))
        rbModeReplace->setChecked(true);
    else
        rbModeRestore->setChecked(true);
    edUndoFile->setText(IniFile.ReadString(Section, QStringLiteral("LastUndo"), QString()));
}

void TWizardForm::SaveState(TRegIniFile &IniFile, const QString &Section)
{
    IniFile.WriteInteger(Section, QStringLiteral("Left"), x());
    IniFile.WriteInteger(Section, QStringLiteral("Top"), y());
    IniFile.WriteString(Section, QStringLiteral("DirHistory"), historyText(cbDirectory));
    IniFile.WriteString(Section, QStringLiteral("BackDirHistory"), historyText(cbBackupDir));
    IniFile.WriteBool(Section, QStringLiteral("ReplaceMode"), rbModeReplace->isChecked());
    // After a restore, the undo file it used; after a replace, the one the
    // run wrote (none without backups).
    QString LastUndo;
    if (IsRestoreMode())
        LastUndo = edUndoFile->text();
    else if (chMakeBackup->isChecked())
        LastUndo = JoinPath(EffectiveBackupDir(), RExpertRes::sUndoFileName);
    IniFile.WriteString(Section, QStringLiteral("LastUndo"), LastUndo);
}

bool TWizardForm::ShowModal()
{
    return exec() == QDialog::Accepted;
}

int TWizardForm::GetWizardMode()
{
    return rbModeRestore->isChecked() ? WizardModeRestore : 0;
}

QString TWizardForm::UndoFileName() const
{
    return edUndoFile->text();
}

void TWizardForm::BuildRestoreSummary()
{
    FStopReason.clear();
    lChecksTitle->hide();
    lChecks->hide();
    SetSummaryText(lSummary, QStringLiteral("Mode: ") + QStringLiteral("Restore original files from backup\n\n")
                                 + QStringLiteral("Undo file: \"%1\"\n\n").arg(edUndoFile->text()));
}

void TWizardForm::BuildReplaceSummary()
{
    const bool ProjectMode = rbDestProject->isChecked();
    QString Text = QStringLiteral("Mode: ")
                   + QStringLiteral("Replace %1 components\n\n")
                         .arg(FReplaceOptions ? FReplaceOptions->SourceName() : QString())
                   + QStringLiteral("Scan destination: ");
    if (ProjectMode)
        Text += QStringLiteral("Current open project\n\n");
    else
        Text += QStringLiteral("Folder \"%1\"\n\n").arg(cbDirectory->currentText());
    if (chMakeBackup->isChecked())
        Text += QStringLiteral("Backup dir: \"%1\"\n\n").arg(EffectiveBackupDir());
    if (chWriteLog->isChecked()) {
        Text += QStringLiteral("Write log file\n\n");
        if (chViewLog->isChecked())
            Text += QStringLiteral("View log afer replace\n\n");
    }
    if (ProjectMode) {
        Text += QStringLiteral("Units list:\n");
        for (int I = 0; I < lbModules->count(); ++I)
            if (lbModules->item(I)->checkState() == Qt::Checked)
                Text += lbModules->item(I)->text() + u'\n';
    }
    SetSummaryText(lSummary, Text);

    TReplaceOptions Planned = FReplaceOptions ? *FReplaceOptions : TReplaceOptions(QString());
    Planned.Dest = ProjectMode ? sdProject : sdDirectory;
    Planned.Directory = cbDirectory->currentText();
    Planned.IncludeSubDirs = chSubDirs->isChecked();
    Planned.MakeBackup = chMakeBackup->isChecked();
    Planned.BackupDir = EffectiveBackupDir();
    Planned.WriteLog = chWriteLog->isChecked();
    const TRunChecks Checks = [&] {
        const TBusyCursor Busy;
        return CheckReplaceRun(Planned, ProjectMode ? ProjectUnitPaths(true) : QStringList(), BaseFolder(),
                               GetWizardMode(), FReplacers, OnScanForm);
    }();
    FStopReason = Checks.StopReason();
    QStringList Lines;
    for (const TRunCheck &Check : Checks.Items)
        Lines << (Check.Stops ? QStringLiteral("Cannot start: ") : QStringLiteral("- ")) + Check.Text;
    if (!FStopReason.isEmpty())
        Lines << QStringLiteral("Finish stays disabled until this is mended (click Back).");
    SetSummaryText(lChecks, Lines.join(u'\n'));
    lChecksTitle->show();
    lChecks->show();
    UpdateActions();
}

void TWizardForm::SetSummaryText(QLabel *Label, const QString &Text)
{
    // The room of the box's panel, with a vertical scroll bar shown.
    const QMargins Margins = sbSummary->widget()->layout()->contentsMargins();
    const int Room = sbSummary->contentsRect().width() - sbSummary->verticalScrollBar()->sizeHint().width()
                     - Margins.left() - Margins.right() - 2 * Label->margin();
    const QString Shown = TFontFit::ElideLongWords(Text, Label->fontMetrics(), Room);
    Label->setText(Shown);
    Label->setToolTip(Shown == Text ? QString() : Text);
}

int TWizardForm::DetectFamily() const
{
    if (FReplacers.empty())
        return -1;
    const QString Folder = cbDirectory->currentText();
    const bool ProjectMode = rbDestProject->isChecked();
    if (!ProjectMode && (Folder.isEmpty() || !QFileInfo(Folder).isDir()))
        return -1;
    const TBusyCursor Busy;
    if (ProjectMode)
        return ScanFamilies(FormsOfUnits(ProjectUnitPaths(false)), FReplacers, OnScanForm).Largest();
    return ScanFolderFamilies(Folder, chSubDirs->isChecked(), FReplacers, OnScanForm).Largest();
}

QStringList TWizardForm::ProjectUnitPaths(bool OnlyChecked) const
{
    QStringList Checked;
    for (int I = 0; I < lbModules->count(); ++I)
        if (lbModules->item(I)->checkState() == Qt::Checked)
            Checked << lbModules->item(I)->text();
    QStringList Paths;
    for (int I = 0, N = TIDEUtils::GetUnitCount(); I < N; ++I) {
        const QString Path = NativePath(TIDEUtils::GetUnitName(I));
        if (!Path.endsWith(QLatin1String(".pas"), Qt::CaseInsensitive))
            continue;
        if (!OnlyChecked || Checked.contains(QFileInfo(QDir::fromNativeSeparators(Path)).fileName()))
            Paths << Path;
    }
    return Paths;
}

QString TWizardForm::GetConnectionDefFileName()
{
    return QString();
}

QString TWizardForm::GetDriverConfFileName()
{
    return QString();
}

void TWizardForm::showEvent(QShowEvent *Event)
{
    if (!Event->spontaneous()) {
        FormShow();
        FFit.Fit();
    }
    QDialog::showEvent(Event);
}

void TWizardForm::FitToFont()
{
    FFit.Fit();
}

void TWizardForm::done(int Result)
{
    FormClose();
    QDialog::done(Result);
}

void TWizardForm::FormShow()
{
    FProjectName = TIDEUtils::GetProjectName();
    const bool HasProject = !FProjectName.isEmpty();
    rbDestProject->setEnabled(HasProject);
    if (HasProject && FReplaceOptions && FReplaceOptions->Dest == sdProject)
        rbDestProject->setChecked(true);
    else
        rbDestFolder->setChecked(true);
    if (FReplaceOptions) {
        cbDirectory->setEditText(FReplaceOptions->Directory);
        chSubDirs->setChecked(FReplaceOptions->IncludeSubDirs);
        chMakeBackup->setChecked(FReplaceOptions->MakeBackup);
        chWriteLog->setChecked(FReplaceOptions->WriteLog);
        chViewLog->setChecked(FReplaceOptions->ViewLog);
        chRenameMembers->setChecked(FReplaceOptions->RenameMembers);
    }
    // The stored backup folder is not shown: it follows the destination.
    cbBackupDir->setEditText(QString());
    ShowPage(Step1Sheet);
    UpdateCaption();
}

void TWizardForm::FormClose()
{
    lbModules->clear();
}

void TWizardForm::rbModeReplaceClick()
{
    UpdateActions();
    UpdateCaption();
}

void TWizardForm::btRestoreBrowseClick()
{
    QString FileName;
    if (TUiDialogs::Current().OpenFileName(this, folderPart(edUndoFile->text()), OpenDialogFilter, FileName))
        edUndoFile->setText(FileName);
}

void TWizardForm::btSelectClick()
{
    SetAllChecked(true);
}

void TWizardForm::btDeselectClick()
{
    SetAllChecked(false);
}

void TWizardForm::btBrowseFolderClick()
{
    QString Folder = BrowseStart(cbDirectory->currentText());
    if (SelectDirectory(sSelectDirectory, Folder))
        cbDirectory->setEditText(Folder);
}

void TWizardForm::btBrowseBackFolderClick()
{
    QString Folder = BrowseStart(EffectiveBackupDir());
    if (SelectDirectory(sSelectDirectory, Folder)) {
        cbBackupDir->setEditText(Folder);
        FBackupDirModified = true;
    }
}

void TWizardForm::cbBackupDirChange()
{
    FBackupDirModified = true;
}

void TWizardForm::actMakeBackupUpdate()
{
    const bool Enabled = chMakeBackup->isChecked();
    lBackupFolder->setEnabled(Enabled);
    cbBackupDir->setEnabled(Enabled);
    btBrowseBackFolder->setEnabled(Enabled);
}

void TWizardForm::actWriteLogUpdate()
{
    const bool Enabled = chWriteLog->isChecked();
    chViewLog->setEnabled(Enabled);
    lblLogNote->setEnabled(Enabled);
}

void TWizardForm::actFinishUpdate()
{
    actFinish->setEnabled(StepsPageControl->currentWidget() == FinalStepSheet
                          && (IsRestoreMode() || FStopReason.isEmpty()));
}

void TWizardForm::actBackUpdate()
{
    actBack->setEnabled(StepsPageControl->currentWidget() != Step1Sheet);
}

void TWizardForm::actNextUpdate()
{
    QWidget *Page = StepsPageControl->currentWidget();
    if (Page == Step2RestoreSheet)
        actNext->setEnabled(!edUndoFile->text().isEmpty());
    else if (Page == Step3DirSheet)
        actNext->setEnabled(!cbDirectory->currentText().isEmpty());
    else
        actNext->setEnabled(Page != FinalStepSheet);
}

void TWizardForm::UpdateActions()
{
    actMakeBackupUpdate();
    actFinishUpdate();
    actNextUpdate();
    actBackUpdate();
    actWriteLogUpdate();
    UpdateDefaultButton();
}

void TWizardForm::UpdateCaption()
{
    setWindowTitle(sCaptionFmt.arg(FProductName, QString::number(CurStep()), QString::number(StepCount())));
}

void TWizardForm::ShowPage(QWidget *Page)
{
    StepsPageControl->setCurrentWidget(Page);
    UpdateActions();
    if (isVisible())
        FocusFirstControl(Page);
}

void TWizardForm::FocusFirstControl(QWidget *Page)
{
    // The first control of the page that takes Tab, in the focus chain; of a
    // group of radio buttons the one that is checked, as Tab reaches it.
    QWidget *First = nullptr;
    for (QWidget *W = Page->nextInFocusChain(); W && W != Page; W = W->nextInFocusChain()) {
        if (!Page->isAncestorOf(W))
            break;
        if (W->isEnabled() && W->isVisibleTo(Page) && (W->focusPolicy() & Qt::TabFocus)) {
            First = W;
            break;
        }
    }
    if (auto *Radio = qobject_cast<QRadioButton *>(First); Radio && !Radio->isChecked())
        for (QRadioButton *Other : Page->findChildren<QRadioButton *>())
            if (Other->isChecked() && Other->isEnabled())
                First = Other;
    if (First)
        First->setFocus(Qt::TabFocusReason);
}

void TWizardForm::UpdateDefaultButton()
{
    const bool Last = StepsPageControl->currentWidget() == FinalStepSheet;
    btNext->setDefault(!Last);
    btFinish->setDefault(Last);
}

QString TWizardForm::BrowseStart(const QString &Typed)
{
    return ExistingFolderAtOrAbove(Typed);
}

void TWizardForm::actNextExecute()
{
    QWidget *Page = StepsPageControl->currentWidget();
    const QString Caption = FReplaceOptions ? FReplaceOptions->Caption() : windowTitle();
    if (Page == Step1Sheet) {
        ShowPage(IsRestoreMode() ? Step2RestoreSheet : Step2ReplaceSheet);
    } else if (Page == Step2RestoreSheet) {
        if (!QFileInfo(edUndoFile->text()).isFile()) {
            TUiDialogs::Current().MessageBox(this, sUndoFileNotExist.arg(edUndoFile->text()), Caption,
                                             QMessageBox::Information);
            edUndoFile->setFocus();
            return;
        }
        BuildRestoreSummary();
        ShowPage(FinalStepSheet);
    } else if (Page == Step2ReplaceSheet) {
        if (rbDestProject->isChecked()) {
            FillUnitList();
            ShowPage(Step3ProjSheet);
        } else {
            ShowPage(Step3DirSheet);
        }
    } else if (Page == Step3ProjSheet) {
        if (!AnyUnitChecked()) {
            TUiDialogs::Current().MessageBox(this, sSelectUnit, QStringLiteral("Information"),
                                             QMessageBox::Information);
            lbModules->setFocus();
            UpdateCaption();
            return;
        }
        DefaultBackupDir();
        ShowPage(Step4Sheet);
    } else if (Page == Step3DirSheet) {
        if (!QFileInfo(cbDirectory->currentText()).isDir()) {
            TUiDialogs::Current().MessageBox(this, sTargetDirNotExist.arg(cbDirectory->currentText()), Caption,
                                             QMessageBox::Information);
            cbDirectory->setFocus();
            return;
        }
        DefaultBackupDir();
        ShowPage(Step4Sheet);
    } else if (Page == Step4Sheet) {
        BuildReplaceSummary();
        ShowPage(FinalStepSheet);
    } else {
        return; // the final page stays
    }
    UpdateCaption();
}

void TWizardForm::actBackExecute()
{
    QWidget *Page = StepsPageControl->currentWidget();
    if (Page == Step2RestoreSheet || Page == Step2ReplaceSheet)
        ShowPage(Step1Sheet);
    else if (Page == Step3ProjSheet || Page == Step3DirSheet)
        ShowPage(Step2ReplaceSheet);
    else if (Page == Step4Sheet)
        ShowPage(rbDestProject->isChecked() ? Step3ProjSheet : Step3DirSheet);
    else if (Page == FinalStepSheet)
        ShowPage(IsRestoreMode() ? Step2RestoreSheet : Step4Sheet);
    UpdateCaption();
}

void TWizardForm::actFinishExecute()
{
    if (!FReplaceOptions)
        return;
    TReplaceOptions &Options = *FReplaceOptions;
    if (rbDestProject->isChecked()) {
        Options.Dest = sdProject;
        QString Modules;
        for (int I = lbModules->count() - 1; I >= 0; --I)
            if (lbModules->item(I)->checkState() != Qt::Checked)
                delete lbModules->takeItem(I);
        for (int I = 0; I < lbModules->count(); ++I)
            Modules += lbModules->item(I)->text() + u'\n';
        Options.ModuleList = Modules;
    } else {
        Options.Dest = sdDirectory;
    }
    Options.Directory = cbDirectory->currentText();
    Options.IncludeSubDirs = chSubDirs->isChecked();
    Options.MakeBackup = chMakeBackup->isChecked();
    Options.ConnectionDefFileName = GetConnectionDefFileName();
    Options.DriverConfFileName = GetDriverConfFileName();
    Options.BackupDir = EffectiveBackupDir();
    Options.WriteLog = chWriteLog->isChecked();
    Options.ViewLog = chViewLog->isChecked();
    Options.RenameMembers = chRenameMembers->isChecked();
    AddToHistory(cbDirectory, cbDirectory->currentText());
    AddToHistory(cbBackupDir, cbBackupDir->currentText());
}

void TWizardForm::FillUnitList()
{
    // Filled once: the user's ticks survive going back and forth.
    if (lbModules->count() > 0)
        return;
    for (int I = 0, N = TIDEUtils::GetUnitCount(); I < N; ++I) {
        const QString Name = TIDEUtils::GetUnitName(I);
        if (Name.size() < 4 || Name.right(4).toUpper() != QLatin1String(".PAS"))
            continue;
        InsertModuleSorted(QFileInfo(QDir::fromNativeSeparators(NativePath(Name))).fileName());
    }
    btSelectClick();
}

void TWizardForm::InsertModuleSorted(const QString &Name)
{
    // The list keeps itself sorted, letter case aside, as the units of a
    // Delphi project are named on a case-insensitive file system.
    int At = 0;
    while (At < lbModules->count() && QString::compare(lbModules->item(At)->text(), Name, Qt::CaseInsensitive) <= 0)
        ++At;
    auto *Item = new QListWidgetItem(Name);
    Item->setFlags(Item->flags() | Qt::ItemIsUserCheckable);
    Item->setCheckState(Qt::Unchecked);
    lbModules->insertItem(At, Item);
}

void TWizardForm::SetAllChecked(bool Checked)
{
    for (int I = 0; I < lbModules->count(); ++I)
        lbModules->item(I)->setCheckState(Checked ? Qt::Checked : Qt::Unchecked);
}

bool TWizardForm::AnyUnitChecked() const
{
    for (int I = 0; I < lbModules->count(); ++I)
        if (lbModules->item(I)->checkState() == Qt::Checked)
            return true;
    return false;
}

void TWizardForm::DefaultBackupDir()
{
    if (!FBackupDirModified)
        cbBackupDir->setEditText(JoinPath(BaseFolder(), sBackupFolderName));
}
