#include "QtExpertUI.h"

#include "IDEUtils.h"
#include "SaveWarn.h"
#include "UiDialogs.h"


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
    FBusy.emplace();
}

void TQtReplaceProgress::StopWait()
{
    FBusy.reset();
}

void TQtReplaceProgress::ViewLog(const QString &Path)
{
    OpenOrSay(Path, QStringLiteral("the log"), FCaption);
}

void OpenOrSay(const QString &Path, const QString &What, const QString &Caption)
{
    if (!TUiDialogs::Current().OpenDocument(Path))
        TUiDialogs::Current().MessageBox(
            nullptr, QStringLiteral("Cannot open %1 \"%2\": no program on this system opens it.").arg(What, Path),
            Caption, QMessageBox::Warning);
}

void TQtExpertUI::ReplaceResult(const QString &Text, const QString &Caption, const TReplaceResult &Result)
{
    QStringList Buttons;
    const bool HasReport = !Result.ReportPath.isEmpty() || !Result.ReportJson.isEmpty();
    if (HasReport)
        Buttons << sOpenReport;
    if (!Result.LogPath.isEmpty())
        Buttons << sOpenLog;
    const int Chosen = TUiDialogs::Current().Choice(nullptr, Text + QStringLiteral("\n\n") + Result.Details(), Caption,
                                                    QMessageBox::Information, Buttons);
    if (Chosen < 0)
        return;
    if (Buttons.at(Chosen) == sOpenLog) {
        OpenOrSay(Result.LogPath, QStringLiteral("the log"), Caption);
        return;
    }
    // The IDE's own report view first; the text report beside the log else.
    if (TIDEUtils::ShowWorkReport(Result.ReportJson))
        return;
    if (Result.ReportPath.isEmpty())
        TUiDialogs::Current().MessageBox(nullptr, QStringLiteral("The IDE has no report view, and no report file "
                                                                 "was written (the run wrote no log)."),
                                         Caption, QMessageBox::Warning);
    else
        OpenOrSay(Result.ReportPath, QStringLiteral("the report"), Caption);
}
