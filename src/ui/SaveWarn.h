// The confirmation asked before the expert saves or closes the user's
// project, with a "Don't ask me this again" box that switches the question
// off for good, per kind of operation, through a flag in the registry.
#pragma once

#include "FontFit.h"

#include <QDialog>

class QCheckBox;
class QFrame;
class QLabel;
class QPushButton;

class TSaveWarnForm : public QDialog
{
    Q_OBJECT

public:
    // The modal results of the two buttons.
    static constexpr int mrYes = 6;
    static constexpr int mrNo = 7;

    explicit TSaveWarnForm(QWidget *Parent = nullptr);

    QPushButton *OKBtn;
    QPushButton *CancelBtn;
    QCheckBox *chkDontAsk;
    QLabel *lblWarn;
    QLabel *Image1;
    QLabel *Label2;
    QFrame *Bevel1;
    QLabel *lblNote;

    // The scale at which the texts of the question fit (see TFontFit).
    double ScaleFactor() const { return FFit.Factor(); }

protected:
    // The texts are set by then: the dialog takes the size they need.
    void showEvent(QShowEvent *Event) override;
    // Loads the style's question-mark icon into Image1.
    void FormCreate();
    // Esc answers as the No button does.
    void keyPressEvent(QKeyEvent *Event) override;

private:
    TFontFit FFit{this};
};

// The names of the suppression flags, by operation.
inline const QString sReplaceProjWarn = QStringLiteral("ReplaceProjWarn");
inline const QString sRestoreProjWarn = QStringLiteral("RestoreProjWarn");
inline const QString sReplaceDirWarn = QStringLiteral("ReplaceDirWarn");
inline const QString sRestoreDirWarn = QStringLiteral("RestoreDirWarn");

// Asks whether the operation may go on: true at once when its flag (in
// section Caption under "Software\Halvane\<ProductName>") is false;
// otherwise shows the question with Caption as window caption. Yes stores
// the flag as the opposite of "Don't ask me this again" and returns true;
// No, Esc and the close box store nothing and return false.
bool ConfirmAction(const QString &Caption, bool ProjectMode, const QString &ProductName, bool IsRestore);
