#include "UiTestSupport.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <QSettings>
#include <QStandardPaths>

#include <gtest/gtest.h>

bool TScriptedDialogs::Question(QWidget *, const QString &Text, const QString &Caption)
{
    Questions.push_back({Text, Caption, QMessageBox::Question});
    EXPECT_FALSE(Answers.empty()) << "unexpected question: " << Text.toStdString();
    if (Answers.empty())
        return false;
    const bool Answer = Answers.front();
    Answers.pop_front();
    return Answer;
}

int TScriptedDialogs::Choice(QWidget *, const QString &Text, const QString &Caption, QMessageBox::Icon Icon,
                             const QStringList &Buttons)
{
    Choices.push_back({Text, Caption, Icon});
    ChoiceButtons.push_back(Buttons);
    if (ChoiceAnswers.empty())
        return -1;
    const int Answer = ChoiceAnswers.front();
    ChoiceAnswers.pop_front();
    return Answer;
}

void TScriptedDialogs::MessageBox(QWidget *, const QString &Text, const QString &Caption, QMessageBox::Icon Icon)
{
    Messages.push_back({Text, Caption, Icon});
}

bool TScriptedDialogs::SelectDirectory(const QString &Prompt, QString &Directory)
{
    Prompts << Prompt;
    StartDirs << Directory;
    std::optional<QString> Answer = Folders.empty() ? std::nullopt : Folders.front();
    if (!Folders.empty())
        Folders.pop_front();
    if (Answer)
        Directory = *Answer;
    return Answer.has_value();
}

bool TScriptedDialogs::OpenFileName(QWidget *, const QString &InitialDir, const QString &Filter, QString &FileName)
{
    OpenDirs << InitialDir;
    OpenFilters << Filter;
    std::optional<QString> Answer = Files.empty() ? std::nullopt : Files.front();
    if (!Files.empty())
        Files.pop_front();
    if (Answer)
        FileName = *Answer;
    return Answer.has_value();
}

bool TScriptedDialogs::OpenDocument(const QString &Path)
{
    Documents << Path;
    return OpensDocuments;
}

TModalDriver::TModalDriver()
{
    connect(&FTimer, &QTimer::timeout, this, &TModalDriver::poll);
    FTimer.start(5);
}

void TModalDriver::poll()
{
    QWidget *Modal = QApplication::activeModalWidget();
    if (!Modal || !Modal->isVisible())
        return;
    for (const QPointer<QWidget> &Seen : FSeen)
        if (Seen == Modal)
            return;
    FSeen.emplace_back(Modal);
    if (FActions.empty()) {
        // Nobody would ever answer it: the test would hang.
        ADD_FAILURE() << "unexpected modal window \"" << Modal->windowTitle().toStdString() << "\"";
        Modal->close();
        return;
    }
    TAction Action = std::move(FActions.front());
    FActions.pop_front();
    Action(Modal);
}

TModalDriver::TAction AcceptMessage(TScriptedDialogs::TMessage *Out)
{
    return [Out](QWidget *Modal) {
        auto *Box = qobject_cast<QMessageBox *>(Modal);
        if (!Box) {
            Modal->close();
            return;
        }
        if (Out)
            *Out = {Box->text(), Box->windowTitle(), Box->icon()};
        Box->button(QMessageBox::Ok)->click();
    };
}

namespace {

QString registryFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
}

} // namespace

void ResetRegistry()
{
    QDir(QDir(registryFolder()).filePath(QStringLiteral("Halvane"))).removeRecursively();
}

QString OrvexKey()
{
    return QStringLiteral("Software\\Halvane\\Orvex");
}

QStringList RegistryContents()
{
    QSettings Settings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Halvane"), QStringLiteral("Orvex"));
    QStringList Result;
    for (const QString &Key : Settings.allKeys())
        Result << Key + u'=' + Settings.value(Key).toString();
    Result.sort();
    return Result;
}
