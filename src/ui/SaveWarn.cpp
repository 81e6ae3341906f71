#include "SaveWarn.h"

#include "RegIniFile.h"

#include <QCheckBox>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>
#include <QStyle>

#include <memory>

TSaveWarnForm::TSaveWarnForm(QWidget *Parent)
    : QDialog(Parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                          | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("SaveWarnForm"));
    setWindowTitle(QStringLiteral("BDE Migration Wizard"));
    setFixedSize(302, 143);

    OKBtn = new QPushButton(QStringLiteral("&Yes"), this);
    OKBtn->setObjectName(QStringLiteral("OKBtn"));
    OKBtn->setGeometry(69, 111, 76, 24);
    OKBtn->setDefault(true);
    connect(OKBtn, &QPushButton::clicked, this, [this] { done(mrYes); });

    CancelBtn = new QPushButton(QStringLiteral("&No"), this);
    CancelBtn->setObjectName(QStringLiteral("CancelBtn"));
    CancelBtn->setGeometry(153, 111, 75, 24);
    CancelBtn->setAutoDefault(false);
    connect(CancelBtn, &QPushButton::clicked, this, [this] { done(mrNo); });

    chkDontAsk = new QCheckBox(QStringLiteral("&Don't ask me this again"), this);
    chkDontAsk->setObjectName(QStringLiteral("chkDontAsk"));
    chkDontAsk->setGeometry(7, 74, 288, 17);

    lblWarn = new QLabel(QStringLiteral("All modified files will be saved. Continue?"), this);
    lblWarn->setObjectName(QStringLiteral("lblWarn"));
    lblWarn->setGeometry(54, 24, 235, 16);

    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(7, 15, 30, 30);
    Image1->setAttribute(Qt::WA_TranslucentBackground);

    Label2 = new QLabel(QStringLiteral("Note:"), this);
    Label2->setObjectName(QStringLiteral("Label2"));
    // As wide as the room before the note, so that a wider font scales the
    // dialog rather than running "Note:" into the note.
    Label2->setGeometry(7, 52, 31, 16);

    Bevel1 = new QFrame(this);
    Bevel1->setObjectName(QStringLiteral("Bevel1"));
    Bevel1->setFrameShape(QFrame::HLine);
    Bevel1->setFrameShadow(QFrame::Sunken);
    Bevel1->setGeometry(5, 97, 292, 2);

    lblNote = new QLabel(QStringLiteral("lblNote"), this);
    lblNote->setObjectName(QStringLiteral("lblNote"));
    lblNote->setGeometry(40, 52, 255, 16);

    FormCreate();
}

void TSaveWarnForm::FormCreate()
{
    Image1->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxQuestion, nullptr, this).pixmap(30, 30));
}

void TSaveWarnForm::showEvent(QShowEvent *Event)
{
    FFit.Fit();
    QDialog::showEvent(Event);
}

void TSaveWarnForm::keyPressEvent(QKeyEvent *Event)
{
    if (Event->key() == Qt::Key_Escape && Event->modifiers() == Qt::NoModifier) {
        CancelBtn->click();
        return;
    }
    QDialog::keyPressEvent(Event);
}

bool ConfirmAction(const QString &Caption, bool ProjectMode, const QString &ProductName, bool IsRestore)
{
    const QString &ValueName = ProjectMode ? (IsRestore ? sRestoreProjWarn : sReplaceProjWarn)
                                           : (IsRestore ? sRestoreDirWarn : sReplaceDirWarn);
    TRegIniFile IniFile(QStringLiteral("Software\\Halvane\\") + ProductName);
    if (!IniFile.ReadBool(Caption, ValueName, true))
        return true;

    // The form is freed on every way out, also when an exception passes.
    auto Form = std::make_unique<TSaveWarnForm>();
    Form->setWindowTitle(Caption);
    if (IsRestore) {
        Form->lblNote->setText(QStringLiteral("Current project will be closed."));
        Form->lblWarn->setText(QStringLiteral("Old files will be restored from backup. Continue?"));
    } else {
        Form->lblNote->setText(ProjectMode ? QStringLiteral("Project forms will be hidden.")
                                           : QStringLiteral("Current project will be closed."));
        Form->lblWarn->setText(QStringLiteral("Current project will be saved. Continue?"));
    }
    if (Form->exec() != TSaveWarnForm::mrYes)
        return false;
    IniFile.WriteBool(Caption, ValueName, !Form->chkDontAsk->isChecked());
    return true;
}
