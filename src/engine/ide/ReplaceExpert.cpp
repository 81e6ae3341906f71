#include "ReplaceExpert.h"

#include "Errors.h"
#include "IDEUtils.h"
#include "RExpertRes.h"
#include "Replacer.h"

namespace {

bool isPascalUnit(const QString &FileName)
{
    return FileName.size() >= 4 && FileName.right(4).toUpper() == QLatin1String(".PAS");
}

// Reopens the remembered project when the restore is over, whichever way it
// ends: an undo file that cannot be read must not leave the IDE without the
// project the user had open.
class TReopenProject
{
public:
    explicit TReopenProject(QString ProjName)
        : FProjName(std::move(ProjName))
    {
    }
    ~TReopenProject()
    {
        try {
            TIDEUtils::OpenProject(FProjName); // the answer is not needed
        } catch (...) {
            // Reopening is a courtesy; it must not replace the outcome that
            // the user has already been told about.
        }
    }

    TReopenProject(const TReopenProject &) = delete;
    TReopenProject &operator=(const TReopenProject &) = delete;

private:
    QString FProjName;
};

} // namespace

TCompReplaceExpert::TCompReplaceExpert(const QString &ProductName, TComponentReplacer *ComponentReplacer,
                                       TExpertUI *UI)
    : FProductName(ProductName), FUI(UI)
{
    MIG_ASSERT(UI, QStringLiteral("the expert needs a user interface"));
    RegisterReplacer(ComponentReplacer);
}

void TCompReplaceExpert::RegisterReplacer(TComponentReplacer *ComponentReplacer)
{
    MIG_ASSERT(ComponentReplacer, QStringLiteral("a registered replacer must exist"));
    FReplacers.push_back(ComponentReplacer);
}

TComponentReplacer *TCompReplaceExpert::GetReplacer(int ReplacerIndex) const
{
    MIG_ASSERT(ReplacerIndex >= 0 && ReplacerIndex < ReplacerCount(),
               QStringLiteral("replacer index %1 out of range 0..%2").arg(ReplacerIndex).arg(ReplacerCount() - 1));
    return FReplacers[size_t(ReplacerIndex)];
}

TComponentReplacer *TCompReplaceExpert::GetDefaultReplacer() const
{
    MIG_ASSERT(!FReplacers.empty(), QStringLiteral("no replacer is registered"));
    return FReplacers.front();
}

TExpertOutcome TCompReplaceExpert::PerformReplace(TComponentReplacer &ComponentReplacer)
{
    const TReplaceOptions &Options = *ComponentReplacer.ReplaceOptions();
    const QString Caption = Options.Caption();
    const bool ProjectMode = Options.Dest == sdProject;

    if (ProjectMode && !TIDEUtils::GetProjectName().isEmpty()
        && !FUI->ConfirmAction(Caption, true, FProductName, false))
        return TExpertOutcome::Cancelled;

    if (ProjectMode) {
        if (!TIDEUtils::SaveProject()) {
            FUI->MessageBox(RExpertRes::sCannotStartReplace + u'\n' + RExpertRes::sProjectNotSaved, Caption,
                            TMessageIcon::Information);
            return TExpertOutcome::NotStarted;
        }
        TIDEUtils::ShowProjectCodeEditors();
    }

    if (!ComponentReplacer.PerformReplace()) {
        QString Text = RExpertRes::sReplaceFailed;
        for (const QString &Error : ComponentReplacer.RunErrors())
            Text += u'\n' + Error;
        FUI->MessageBox(Text, Caption, TMessageIcon::Error);
        return TExpertOutcome::Failed;
    }

    if (ProjectMode) {
        // The project source and resource files are left to the IDE.
        for (int I = 0, N = TIDEUtils::GetUnitCount(); I < N; ++I) {
            const QString Name = TIDEUtils::GetUnitName(I);
            if (!Name.isEmpty() && isPascalUnit(Name))
                TIDEUtils::ReloadFile(Name);
        }
    }
    FUI->MessageBox(RExpertRes::sReplaceSucceeded, Caption, TMessageIcon::Information);
    return TExpertOutcome::Succeeded;
}

TExpertOutcome TCompReplaceExpert::PerformRestore(const QString &UndoFile)
{
    TComponentReplacer *Replacer = GetDefaultReplacer();
    const QString Caption = Replacer->ReplaceOptions()->Caption();

    if (!FUI->ConfirmAction(Caption, false, FProductName, true))
        return TExpertOutcome::Cancelled;

    TReopenProject Reopen(TIDEUtils::GetProjectName());
    TIDEUtils::CloseProject();
    // The restore's questions go to the user with the caption of the run.
    class TQuestions : public TRestoreQuestions
    {
    public:
        TQuestions(TExpertUI &UI, const QString &Caption) : FUI(UI), FCaption(Caption) {}
        bool OverwriteChangedFiles(const QStringList &Files) override { return FUI.OverwriteChangedFiles(FCaption, Files); }
        bool CreateMissingFiles(const QStringList &Files) override { return FUI.CreateMissingFiles(FCaption, Files); }

    private:
        TExpertUI &FUI;
        const QString &FCaption;
    } Questions(*FUI, Caption);
    Replacer->SetRestoreQuestions(&Questions);
    struct TDetach
    {
        TComponentReplacer *R;
        ~TDetach() { R->SetRestoreQuestions(nullptr); }
    } Detach{Replacer};

    if (Replacer->PerformRestore(UndoFile)) {
        FUI->MessageBox(RExpertRes::sRestoreSucceeded, Caption, TMessageIcon::Information);
        return TExpertOutcome::Succeeded;
    }
    const TRestoreReport &Report = Replacer->RestoreReport();
    QString Text = RExpertRes::sRestoreFailed;
    for (const QString &Error : Report.Errors)
        Text += u'\n' + Error;
    if (!Report.LeftChanged.isEmpty())
        Text += QStringLiteral("\nLeft alone, changed since the conversion:\n  ") + Report.LeftChanged.join(QStringLiteral("\n  "));
    if (!Report.LeftMissing.isEmpty())
        Text += QStringLiteral("\nNot created, no longer there:\n  ") + Report.LeftMissing.join(QStringLiteral("\n  "));
    FUI->MessageBox(Text, Caption, TMessageIcon::Error);
    return TExpertOutcome::Failed;
}
