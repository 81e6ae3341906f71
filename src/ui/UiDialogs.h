// The platform's standard dialogs as the wizard uses them: message boxes,
// the folder browser, the file-open dialog, and opening a document with the
// desktop's program for it. Every call goes through the process-wide current
// TUiDialogs, which is this class itself (Qt's dialogs) unless a test has put
// a scripted one in its place.
#pragma once

#include <QMessageBox>
#include <QString>

class QWidget;

class TUiDialogs
{
public:
    virtual ~TUiDialogs() = default;

    // A modal message box with an OK button only.
    virtual void MessageBox(QWidget *Parent, const QString &Text, const QString &Caption, QMessageBox::Icon Icon);
    // A modal message box with the buttons OK and Buttons (in that order
    // after OK). Returns the index in Buttons of the one pressed, -1 for OK,
    // Esc or the close box.
    virtual int Choice(QWidget *Parent, const QString &Text, const QString &Caption, QMessageBox::Icon Icon,
                       const QStringList &Buttons);
    // A modal question with the question icon and the buttons Yes and No
    // (No is the default, Esc and the close box answer No). True for Yes.
    virtual bool Question(QWidget *Parent, const QString &Text, const QString &Caption);
    // The folder browser over the whole namespace, starting in the folder
    // that Directory names (nowhere in particular when it is empty). True
    // with the chosen folder in Directory when the user confirms; false,
    // with Directory untouched, when the user cancels.
    virtual bool SelectDirectory(const QString &Prompt, QString &Directory);
    // The file-open dialog for an existing file, starting in InitialDir.
    // Filter is given as "Description|Patterns|Description|Patterns...". True
    // with the chosen file in FileName when the user confirms.
    virtual bool OpenFileName(QWidget *Parent, const QString &InitialDir, const QString &Filter, QString &FileName);
    // Opens the file with its associated program; false when none opened it.
    virtual bool OpenDocument(const QString &Path);

    // Text for a message box whose paths may be longer than a line: a break
    // is allowed after every path separator (a zero-width space), so that a
    // long path wraps inside the box instead of widening it off the screen.
    static QString BreakablePaths(const QString &Text);
    // The dialogs in use; never null.
    static TUiDialogs &Current();
    // Puts Dialogs in place (nullptr: Qt's dialogs again).
    static void SetCurrent(TUiDialogs *Dialogs);

    // "Undo files (*.reu)|*.reu|All files (*.*)|*.*" as Qt's name filters:
    // the descriptions, which carry their patterns, joined by ";;".
    static QString QtNameFilters(const QString &Filter);
};

// The prompt of the folder browser.
inline const QString sSelectDirectory = QStringLiteral("Select directory");

// The folder browser of the wizard's two browse buttons.
inline bool SelectDirectory(const QString &Prompt, QString &Directory)
{
    return TUiDialogs::Current().SelectDirectory(Prompt, Directory);
}

// Makes Dialogs current for the lifetime of the scope.
class TUiDialogsScope
{
public:
    explicit TUiDialogsScope(TUiDialogs *Dialogs);
    ~TUiDialogsScope();
    TUiDialogsScope(const TUiDialogsScope &) = delete;
    TUiDialogsScope &operator=(const TUiDialogsScope &) = delete;

private:
    TUiDialogs *FPrevious;
};
