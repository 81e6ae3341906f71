// TFontFit: fits a dialog that is laid out in pixels (the positions and
// sizes of its form resource, drawn for the VCL's small dialog font) to the
// font it is shown in. Every control keeps its design place, scaled by one
// factor for the whole dialog: the smallest factor, never below 1, at which
// every text fits its control (a single-line text its width and height, a
// wrapped text the height it needs at its width). A wider or larger font so
// makes a larger dialog with the same arrangement, as the VCL's scaled forms
// do, instead of clipping "Continue?" off a question.
#pragma once

#include <QHash>
#include <QPointer>
#include <QRect>
#include <QSize>

class QFontMetrics;
class QString;
class QWidget;

class TFontFit
{
public:
    explicit TFontFit(QWidget *Dialog);

    // Scales the dialog and its controls to the smallest factor at which
    // every text fits. The design geometry of a control is what it had when
    // the first Fit saw it, so Fit may run again after any text changed.
    double Fit();
    double Factor() const { return FFactor; }

    // A design rectangle or size at Factor.
    static QRect Scaled(const QRect &Design, double Factor);
    static QSize Scaled(const QSize &Design, double Factor);

    // Text for a word-wrapped label of that width: every word (a run
    // without spaces or line breaks, such as a long path) that is wider
    // than Width elided in the middle, so that the label never needs more
    // room than it has; the rest as it is. Qt wraps only between words.
    static QString ElideLongWords(const QString &Text, const QFontMetrics &Metrics, int Width);

private:
    void Record(QWidget *Parent);
    void Apply(double Factor);
    // How much larger the worst-fitting control must be: 1 when all fit.
    double WorstRatio() const;

    QWidget *FDialog;
    QSize FDesignSize;
    QHash<QWidget *, QRect> FDesign;
    std::vector<QPointer<QWidget>> FWidgets;
    double FFactor = 1.0;
};
