#include "UiDialogs.h"

#include <QAbstractButton>
#include <QDesktopServices>
#include <QFileDialog>
#include <QPushButton>
#include <QStringList>
#include <QUrl>

#include <algorithm>
#include <vector>

namespace {

TUiDialogs PlatformDialogs;
TUiDialogs *CurrentDialogs = nullptr;

} // namespace

void TUiDialogs::MessageBox(QWidget *Parent, const QString &Text, const QString &Caption, QMessageBox::Icon Icon)
{
    QMessageBox Box(Icon, Caption, BreakablePaths(Text), QMessageBox::Ok, Parent);
    Box.setTextFormat(Qt::PlainText);
    Box.exec();
}

int TUiDialogs::Choice(QWidget *Parent, const QString &Text, const QString &Caption, QMessageBox::Icon Icon,
                       const QStringList &Buttons)
{
    QMessageBox Box(Icon, Caption, BreakablePaths(Text), QMessageBox::Ok, Parent);
    Box.setTextFormat(Qt::PlainText);
    Box.setDefaultButton(QMessageBox::Ok);
    Box.setEscapeButton(QMessageBox::Ok);
    std::vector<QAbstractButton *> Added;
    for (const QString &Caption : Buttons)
        Added.push_back(Box.addButton(Caption, QMessageBox::ActionRole));
    Box.exec();
    const auto It = std::find(Added.cbegin(), Added.cend(), Box.clickedButton());
    return It == Added.cend() ? -1 : int(It - Added.cbegin());
}

bool TUiDialogs::Question(QWidget *Parent, const QString &Text, const QString &Caption)
{
    QMessageBox Box(QMessageBox::Question, Caption, BreakablePaths(Text), QMessageBox::Yes | QMessageBox::No, Parent);
    Box.setTextFormat(Qt::PlainText);
    Box.setDefaultButton(QMessageBox::No);
    Box.setEscapeButton(QMessageBox::No);
    return Box.exec() == QMessageBox::Yes;
}

bool TUiDialogs::SelectDirectory(const QString &Prompt, QString &Directory)
{
    const QString Chosen = QFileDialog::getExistingDirectory(nullptr, Prompt, Directory, QFileDialog::ShowDirsOnly);
    if (Chosen.isEmpty())
        return false;
    Directory = QDir::toNativeSeparators(Chosen);
    return true;
}

bool TUiDialogs::OpenFileName(QWidget *Parent, const QString &InitialDir, const QString &Filter, QString &FileName)
{
    QFileDialog Dialog(Parent, QString(), InitialDir, QtNameFilters(Filter));
    Dialog.setAcceptMode(QFileDialog::AcceptOpen);
    Dialog.setFileMode(QFileDialog::ExistingFile);
    if (Dialog.exec() != QDialog::Accepted || Dialog.selectedFiles().isEmpty())
        return false;
    FileName = QDir::toNativeSeparators(Dialog.selectedFiles().constFirst());
    return true;
}

bool TUiDialogs::OpenDocument(const QString &Path)
{
    return QDesktopServices::openUrl(QUrl::fromLocalFile(Path));
}

QString TUiDialogs::BreakablePaths(const QString &Text)
{
    QString Result;
    Result.reserve(Text.size() + Text.size() / 8);
    for (const QChar C : Text) {
        Result += C;
        if (C == u'/' || C == u'\\')
            Result += QChar(0x200B);
    }
    return Result;
}

TUiDialogs &TUiDialogs::Current()
{
    return CurrentDialogs ? *CurrentDialogs : PlatformDialogs;
}

void TUiDialogs::SetCurrent(TUiDialogs *Dialogs)
{
    CurrentDialogs = Dialogs;
}

QString TUiDialogs::QtNameFilters(const QString &Filter)
{
    const QStringList Parts = Filter.split(u'|');
    QStringList Names;
    for (qsizetype I = 0; I < Parts.size(); I += 2) {
        const QString &Description = Parts.at(I);
        const QString Patterns = I + 1 < Parts.size() ? QString(Parts.at(I + 1)).replace(u';', u' ') : QString();
        // Qt reads the patterns from the description's parentheses.
        Names << (Description.contains(u'(') || Patterns.isEmpty() ? Description
                                                                   : Description + QStringLiteral(" (") + Patterns + u')');
    }
    return Names.join(QStringLiteral(";;"));
}

TUiDialogsScope::TUiDialogsScope(TUiDialogs *Dialogs)
    : FPrevious(CurrentDialogs)
{
    CurrentDialogs = Dialogs;
}

TUiDialogsScope::~TUiDialogsScope()
{
    CurrentDialogs = FPrevious;
}
