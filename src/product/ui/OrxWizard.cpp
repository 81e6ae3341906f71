#include "OrxWizard.h"

#include <QComboBox>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QRadioButton>

#include <algorithm>

TOrxWizardForm::TOrxWizardForm(QWidget *Parent)
    : TWizardForm(Parent)
{
    setObjectName(QStringLiteral("OrxWizardForm"));
    setWindowTitle(QStringLiteral("OrxWizardForm"));
    rbModeReplace->setGeometry(15, 198, 176, 17);
    rbModeReplace->setText(QStringLiteral("&Replace components"));
    rbModeRestore->move(15, 226);

    cbReplaceComponents = new QComboBox(Step1Sheet);
    cbReplaceComponents->setObjectName(QStringLiteral("cbReplaceComponents"));
    cbReplaceComponents->setGeometry(194, 194, 85, 21);
    cbReplaceComponents->setEditable(false); // the user can only pick an item
    // In the order of the expert's replacers.
    cbReplaceComponents->addItems({QStringLiteral("BDE"), QStringLiteral("IBX"), QStringLiteral("FIBPlus")});
    setTabOrder(rbModeReplace, cbReplaceComponents);
    setTabOrder(cbReplaceComponents, rbModeRestore);
    connect(cbReplaceComponents, &QComboBox::currentIndexChanged, this, [this] { cbReplaceComponentsChange(); });
    LoadPicture();
}

void TOrxWizardForm::FormShow()
{
    TWizardForm::FormShow();
    if (!rbModeReplace->isChecked())
        rbModeRestore->setChecked(true);
    // The set that the project's or folder's forms hold; BDE when none.
    cbReplaceComponents->setCurrentIndex(std::max(DetectFamily(), 0));
    cbReplaceComponentsChange();
}

void TOrxWizardForm::cbReplaceComponentsChange()
{
    rbModeReplace->setText(QStringLiteral("Replace %1 components").arg(cbReplaceComponents->currentText()));
    if (isVisible())
        FitToFont();
}

void TOrxWizardForm::rbModeReplaceClick()
{
    TWizardForm::rbModeReplaceClick();
    cbReplaceComponents->setEnabled(!rbModeRestore->isChecked());
}

void TOrxWizardForm::SetLabel2Caption(const QString &, const QString &)
{
    Label2->setText(QStringLiteral(
        "Wizard facilitates converting your application to Orvex. It replaces BDE, IBX and FibPlus components to "
        "corresponding Orvex components. You may need to make some changes manually to compile your application "
        "successfully."));
}

int TOrxWizardForm::GetWizardMode()
{
    return rbModeRestore->isChecked() ? WizardModeRestore : cbReplaceComponents->currentIndex();
}

QPixmap TOrxWizardForm::Picture() const
{
    // The product's panel: a deep gradient, a database drum whose rings turn
    // from the old colour to the product's, and the product name.
    QPixmap Pixmap(120, 260);
    QPainter Painter(&Pixmap);
    Painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient Fill(0, 0, 120, 260);
    Fill.setColorAt(0, QColor(0x0b, 0x3d, 0x5c));
    Fill.setColorAt(1, QColor(0x04, 0x12, 0x22));
    Painter.fillRect(Pixmap.rect(), Fill);

    const QColor Rings[] = {QColor(0x8a, 0x8f, 0x99), QColor(0x4f, 0xa3, 0xc7), QColor(0xf0, 0x8a, 0x24)};
    const qreal Left = 25, Width = 70, Ellipse = 18;
    for (int I = 2; I >= 0; --I) {
        const qreal Top = 70 + 34 * I;
        QPainterPath Drum;
        Drum.moveTo(Left, Top + Ellipse / 2);
        Drum.lineTo(Left, Top + 30 + Ellipse / 2);
        Drum.arcTo(QRectF(Left, Top + 30, Width, Ellipse), 180, 180);
        Drum.lineTo(Left + Width, Top + Ellipse / 2);
        Drum.arcTo(QRectF(Left, Top, Width, Ellipse), 0, -180);
        Painter.setPen(QPen(Rings[I].darker(150), 1.5));
        Painter.setBrush(Rings[I]);
        Painter.drawPath(Drum);
        Painter.setBrush(Rings[I].lighter(130));
        Painter.drawEllipse(QRectF(Left, Top, Width, Ellipse));
    }

    QFont Font = Painter.font();
    Font.setBold(true);
    Font.setPixelSize(20);
    Painter.setFont(Font);
    Painter.setPen(QColor(0xf0, 0x8a, 0x24));
    Painter.drawText(QRectF(0, 200, 120, 30), Qt::AlignCenter, QStringLiteral("Orvex"));
    Font.setBold(false);
    Font.setPixelSize(10);
    Painter.setFont(Font);
    Painter.setPen(QColor(0xcf, 0xdf, 0xea));
    Painter.drawText(QRectF(0, 228, 120, 20), Qt::AlignCenter, QStringLiteral("Migration Wizard"));
    return Pixmap;
}

TWizardFormClass OrxWizardFormClass()
{
    return [] { return std::unique_ptr<TWizardDialog>(std::make_unique<TOrxWizardForm>()); };
}
