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
