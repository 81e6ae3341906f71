#include "ReplaceExpert.h"

#include "Errors.h"
#include "IDEUtils.h"
#include "RExpertRes.h"
#include "RegIniFile.h"
#include "Replacer.h"

namespace {

const QString sMenuItemCaption = QStringLiteral("&Migration Wizard");
const QString sReplaceComponentsFmt = QStringLiteral("&Replace %1 components");

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

TCompReplaceExpert::TCompReplaceExpert(TWizardFormClass WizardFormClass, const QString &ProductName,
                                       const TZuProductMenu &WizardMenu, TComponentReplacer *ComponentReplacer,
                                       TExpertUI *UI)
    : TCompReplaceExpert(ProductName, ComponentReplacer, UI)
{
    FWizardFormClass = std::move(WizardFormClass);
    FSelf = std::make_shared<TCompReplaceExpert *>(this);
    std::weak_ptr<TCompReplaceExpert *> Self = FSelf;
    TIDEUtils::AddWizard(WizardMenu, sMenuItemCaption, MenuItemName(), [Self](TZuMenuItem *Sender) {
        if (const auto Expert = Self.lock())
            (*Expert)->ShowWizard(Sender);
    });
}

TCompReplaceExpert::~TCompReplaceExpert() = default;

QString TCompReplaceExpert::RegistryKey() const
{
    return QStringLiteral("Software\\Halvane\\") + FProductName;
}

QString TCompReplaceExpert::MenuItemName() const
{
    return QStringLiteral("RExpertItem") + QString(GetDefaultReplacer()->ReplaceOptions()->SourceName()).replace(u'/', u'_')
           + RemoveAmpersands(FProductName);
}

QString TCompReplaceExpert::GetIDString() const
{
    return QStringLiteral("Halvane.%1MigrationWizard").arg(GetDefaultReplacer()->ReplaceOptions()->SourceName())
           + u'.' + RemoveAmpersands(FProductName);
}

QString TCompReplaceExpert::GetName() const
{
    return GetDefaultReplacer()->ReplaceOptions()->Caption();
}

void TCompReplaceExpert::LoadDesktop()
{
    TReplaceOptions &Options = *GetDefaultReplacer()->ReplaceOptions();
    TRegIniFile IniFile(RegistryKey());
    const QString Section = Options.Caption();
    Options.LoadFromIniFile(IniFile, Section);
    if (FWizardForm)
        FWizardForm->LoadState(IniFile, Section);
}

void TCompReplaceExpert::SaveDesktop()
{
    const TReplaceOptions &Options = *GetDefaultReplacer()->ReplaceOptions();
    TRegIniFile IniFile(RegistryKey());
    const QString Section = Options.Caption();
    Options.SaveToIniFile(IniFile, Section);
    if (FWizardForm)
        FWizardForm->SaveState(IniFile, Section);
}

void TCompReplaceExpert::ShowWizard(TZuMenuItem *Sender)
{
    Q_UNUSED(Sender);
    MIG_ASSERT(FWizardFormClass, QStringLiteral("the expert has no wizard dialog class"));
    std::unique_ptr<TWizardDialog> Form = FWizardFormClass();
    MIG_ASSERT(Form, QStringLiteral("the wizard dialog class made no dialog"));
    // The dialog is reachable for the desktop while this click lasts, and
    // freed on every way out.
    struct TCurrentForm
    {
        TWizardDialog *&Ref;
        ~TCurrentForm() { Ref = nullptr; }
    } Current{FWizardForm};
    FWizardForm = Form.get();

    TComponentReplacer *Default = GetDefaultReplacer();
    const QString ProductName = RemoveAmpersands(FProductName);
    const QString SourceName = Default->ReplaceOptions()->SourceName();
    Form->SetProductName(ProductName);
    Form->SetReplaceOptions(Default->ReplaceOptions());
    Form->SetLabel2Caption(SourceName, ProductName);
    Form->SetReplaceModeCaption(sReplaceComponentsFmt.arg(SourceName));
    LoadDesktop();
    if (!Form->ShowModal())
        return;
    const int Mode = Form->GetWizardMode();
    if (Mode == WizardModeRestore)
        PerformRestore(Form->UndoFileName());
    else
        PerformReplace(*GetReplacer(Mode));
    SaveDesktop();
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
