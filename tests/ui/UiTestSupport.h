// What the GUI tests share: a scripted stand-in for the standard dialogs, a
// driver for the modal dialogs that the code under test opens, and the
// registry stand-in of the test process (a temporary folder, emptied by
// ResetRegistry).
#pragma once

#include "UiDialogs.h"

#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QTimer>

#include <deque>
#include <functional>
#include <optional>
#include <vector>

class QWidget;
class TRegIniFile;

// Records message boxes and answers the folder browser and the file-open
// dialog from queues (std::nullopt: the user cancels).
class TScriptedDialogs : public TUiDialogs
{
public:
    struct TMessage
    {
        QString Text;
        QString Caption;
        QMessageBox::Icon Icon;
    };
    std::vector<TMessage> Messages;
    QStringList Prompts;             // of the folder browser
    QStringList StartDirs;           // where the folder browser started
    QStringList OpenDirs, OpenFilters; // of the file-open dialog
    QStringList Documents;           // opened with their program
    std::deque<std::optional<QString>> Folders, Files;
    std::vector<TMessage> Questions; // asked; each answered from Answers
    std::deque<bool> Answers;
    // Boxes with buttons of their own, their buttons, and the index of the
    // button to press for each (-1, and when none is left: OK).
    std::vector<TMessage> Choices;
    std::vector<QStringList> ChoiceButtons;
    std::deque<int> ChoiceAnswers;
    bool OpensDocuments = true; // whether a program opens documents

    bool Question(QWidget *Parent, const QString &Text, const QString &Caption) override;
    int Choice(QWidget *Parent, const QString &Text, const QString &Caption, QMessageBox::Icon Icon,
               const QStringList &Buttons) override;

    void MessageBox(QWidget *Parent, const QString &Text, const QString &Caption, QMessageBox::Icon Icon) override;
    bool SelectDirectory(const QString &Prompt, QString &Directory) override;
    bool OpenFileName(QWidget *Parent, const QString &InitialDir, const QString &Filter, QString &FileName) override;
    bool OpenDocument(const QString &Path) override;
};

// Runs each queued action on the next modal widget that appears, in order,
// also inside the nested event loop of a modal dialog that an earlier
// action opened. A modal widget that appears when no action is left fails
// the test and is closed.
class TModalDriver : public QObject
{
public:
    using TAction = std::function<void(QWidget *Modal)>;
    TModalDriver();
    void Then(TAction Action) { FActions.push_back(std::move(Action)); }
    size_t Pending() const { return FActions.size(); }

private:
    void poll();
    std::deque<TAction> FActions;
    std::vector<QPointer<QWidget>> FSeen;
    QTimer FTimer;
};

// An action for a QMessageBox: records its text, caption and icon into *Out
// (when given) and presses OK.
TModalDriver::TAction AcceptMessage(TScriptedDialogs::TMessage *Out = nullptr);

// Empties the registry stand-in.
void ResetRegistry();
// The registry key of the Orvex product, as the wizard opens it.
QString OrvexKey();
// Every "section/key=value" of that key, sorted; empty when nothing is stored.
QStringList RegistryContents();
