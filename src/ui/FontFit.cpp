#include "FontFit.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontMetrics>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QStackedWidget>

#include <algorithm>
#include <cmath>

namespace {

// A button's text as drawn: "&&" is one ampersand, a single "&" marks the
// accelerator and takes no room.
QString shownText(QString Text)
{
    Text.replace(QLatin1String("&&"), QString(QChar(1)));
    Text.remove(u'&');
    Text.replace(QChar(1), u'&');
    return Text;
}

double ratio(int Needed, int Has)
{
    return Has > 0 && Needed > Has ? double(Needed) / Has : 1.0;
}

// How much larger W must be for its text to fit: 1 when it fits.
double neededRatio(const QWidget *W)
{
    const QFontMetrics Metrics = W->fontMetrics();
    if (const auto *Label = qobject_cast<const QLabel *>(W)) {
        if (Label->text().isEmpty())
            return 1.0;
        if (Label->wordWrap())
            return ratio(Label->heightForWidth(Label->width()), Label->height());
        const QSize Hint = Label->sizeHint();
        return std::max(ratio(Hint.width(), Label->width()), ratio(Metrics.height(), Label->height()));
    }
    if (qobject_cast<const QCheckBox *>(W) || qobject_cast<const QRadioButton *>(W))
        return std::max(ratio(W->sizeHint().width(), W->width()), ratio(Metrics.height(), W->height()));
    if (const auto *Button = qobject_cast<const QPushButton *>(W))
        return std::max(ratio(Metrics.horizontalAdvance(shownText(Button->text())) + 12, W->width()),
                        ratio(Metrics.height() + 6, W->height()));
    if (const auto *Combo = qobject_cast<const QComboBox *>(W)) {
        double Result = ratio(Metrics.height() + 4, W->height());
        if (!Combo->isEditable())
            Result = std::max(Result, ratio(Combo->sizeHint().width(), W->width()));
        return Result;
    }
    return 1.0;
}

} // namespace

TFontFit::TFontFit(QWidget *Dialog)
    : FDialog(Dialog)
{
}

QRect TFontFit::Scaled(const QRect &Design, double Factor)
{
    return QRect(int(std::lround(Design.x() * Factor)), int(std::lround(Design.y() * Factor)),
                 int(std::lround(Design.width() * Factor)), int(std::lround(Design.height() * Factor)));
}

QSize TFontFit::Scaled(const QSize &Design, double Factor)
{
    return QSize(int(std::lround(Design.width() * Factor)), int(std::lround(Design.height() * Factor)));
}

QString TFontFit::ElideLongWords(const QString &Text, const QFontMetrics &Metrics, int Width)
{
    QString Result;
    Result.reserve(Text.size());
    qsizetype Start = 0;
    for (qsizetype I = 0; I <= Text.size(); ++I) {
        if (I < Text.size() && Text.at(I) != u' ' && Text.at(I) != u'\n')
            continue;
        const QString Word = Text.mid(Start, I - Start);
        Result += Metrics.horizontalAdvance(Word) > Width ? Metrics.elidedText(Word, Qt::ElideMiddle, Width) : Word;
        if (I < Text.size())
            Result += Text.at(I);
        Start = I + 1;
    }
    return Result;
}

void TFontFit::Record(QWidget *Parent)
{
    // The pages of a page control and what a scroll box holds are placed by
    // their container; everything else keeps its design place.
    for (QObject *Child : Parent->children()) {
        auto *W = qobject_cast<QWidget *>(Child);
        if (!W || W->isWindow())
            continue;
        if (qobject_cast<QStackedWidget *>(Parent)) {
            Record(W);
            continue;
        }
        if (!FDesign.contains(W)) {
            FDesign.insert(W, W->geometry());
            FWidgets.emplace_back(W);
        }
        if (qobject_cast<QStackedWidget *>(W))
            Record(W);
    }
}

void TFontFit::Apply(double Factor)
{
    FFactor = Factor;
    for (const QPointer<QWidget> &W : FWidgets)
        if (W)
            W->setGeometry(Scaled(FDesign.value(W), Factor));
    FDialog->setFixedSize(Scaled(FDesignSize, Factor));
}

double TFontFit::WorstRatio() const
{
    double Worst = 1.0;
    for (const QPointer<QWidget> &W : FWidgets)
        if (W)
            Worst = std::max(Worst, neededRatio(W));
    return Worst;
}

double TFontFit::Fit()
{
    if (FDesignSize.isEmpty())
        FDesignSize = FDialog->size();
    Record(FDialog);
    // A wrapped text needs fewer lines as its label widens, so a second
    // look may find that the first guess was enough; a few rounds settle.
    double Factor = 1.0;
    for (int Round = 0; Round < 4; ++Round) {
        Apply(Factor);
        const double Worst = WorstRatio();
        if (Worst <= 1.0)
            break;
        Factor *= Worst * 1.01;
    }
    return FFactor;
}
