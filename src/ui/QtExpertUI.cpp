#include "QtExpertUI.h"

#include "SaveWarn.h"
#include "UiDialogs.h"

#include <QApplication>
#include <QCursor>

void TQtExpertUI::MessageBox(const QString &Text, const QString &Caption, TMessageIcon Icon)
{
    TUiDialogs::Current().MessageBox(nullptr, Text, Caption,
                                     Icon == TMessageIcon::Error ? QMessageBox::Critical : QMessageBox::Information);
}

bool TQtExpertUI::ConfirmAction(const QString &Caption, bool ProjectMode, const QString &ProductName, bool Restore)
{
    return ::ConfirmAction(Caption, ProjectMode, ProductName, Restore);
}

namespace {

QString fileListQuestion(const QString &Lead, const QStringList &Files, const QString &Question)
{
    return Lead + QStringLiteral("\n\n  ") + Files.join(QStringLiteral("\n  ")) + QStringLiteral("\n\n") + Question;
}

} // namespace

bool TQtExpertUI::OverwriteChangedFiles(const QString &Caption, const QStringList &Files)
{
    return TUiDialogs::Current().Question(
        nullptr,
        fileListQuestion(QStringLiteral("These files were changed after the conversion:"), Files,
                         QStringLiteral("Overwrite them with their backups? (No leaves them as they are.)")),
        Caption);
}

bool TQtExpertUI::CreateMissingFiles(const QString &Caption, const QStringList &Files)
{
    return TUiDialogs::Current().Question(
        nullptr,
        fileListQuestion(QStringLiteral("These files no longer exist:"), Files,
                         QStringLiteral("Create them again from their backups? (No leaves them out.)")),
        Caption);
}

void TQtReplaceProgress::StartWait()
{
    QApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
}

void TQtReplaceProgress::StopWait()
{
    QApplication::restoreOverrideCursor();
}

void TQtReplaceProgress::ViewLog(const QString &Path)
{
    TUiDialogs::Current().OpenDocument(Path);
}
