// What the IDE and the expert know of each other, and of the wizard dialog,
// without any user-interface library:
//
// - IOTAWizard, the face of an add-in that the IDE registers and keeps;
// - the entry point that the IDE calls when it loads the wizard library, with
//   its registration callback and termination slot;
// - TWizardDialog, what the expert asks of the wizard dialog (the dialog
//   itself is a Widgets class; the expert only sees this interface), and
//   TWizardFormClass, the factory by which the product chooses that class.
#pragma once

#include <QString>
#include <functional>
#include <memory>
#include <vector>

class TComponentReplacer;
class TIDEServices;
class TRegIniFile;
class TReplaceOptions;

// The states an add-in may report to the IDE (a set: 0 is the empty set).
using TWizardState = unsigned;
inline constexpr TWizardState wsEnabled = 1;
inline constexpr TWizardState wsChecked = 2;

// An add-in as the IDE sees it: the notifier's four events and the wizard's
// identity, state and Execute. The IDE owns it after registration and
// destroys it through the virtual destructor.
class IOTAWizard
{
public:
    virtual ~IOTAWizard() = default;

    virtual void AfterSave() = 0;
    virtual void BeforeSave() = 0;
    virtual void Destroyed() = 0;
    virtual void Modified() = 0;

    virtual QString GetIDString() const = 0;
    virtual QString GetName() const = 0;
    virtual TWizardState GetState() const = 0;
    virtual void Execute() = 0;
};

// The IDE's registration callback. It takes ownership of Wizard once it
// returns, whatever it answers.
using TWizardRegisterProc = bool (*)(IOTAWizard *Wizard);
// What the library may put into the IDE's termination slot.
using TWizardTerminateProc = void (*)();
// The exported entry point INITWIZARD0001: the IDE's services, its
// registration callback and its termination slot.
using TInitWizardProc = bool (*)(TIDEServices *Services, TWizardRegisterProc RegisterProc,
                                 TWizardTerminateProc *Terminate);

// The wizard dialog, in the order the expert uses it: product name and
// options, the welcome text, the replace button's caption, the remembered
// state, the modal run, then the mode and (for a restore) the undo file.
class TWizardDialog
{
public:
    virtual ~TWizardDialog() = default;

    virtual void SetProductName(const QString &ProductName) = 0;
    // The shared options; not owned. Finish writes the user's choices here.
    virtual void SetReplaceOptions(TReplaceOptions *ReplaceOptions) = 0;
    virtual void SetLabel2Caption(const QString &ASourceName, const QString &AProductName) = 0;
    // The caption of the replace-mode button.
    virtual void SetReplaceModeCaption(const QString &Caption) = 0;
    // The expert's replacers by position (not owned), so that the dialog can
    // look at what the chosen files hold before the run.
    virtual void SetReplacers(const std::vector<const TComponentReplacer *> & /*Replacers*/) {}
    virtual void LoadState(TRegIniFile &IniFile, const QString &Section) = 0;
    virtual void SaveState(TRegIniFile &IniFile, const QString &Section) = 0;
    // Runs the dialog modally; true when it closed with Finish.
    virtual bool ShowModal() = 0;
    // 100 for a restore, otherwise the position of the replacer to run.
    virtual int GetWizardMode() = 0;
    // The text of the undo-file box.
    virtual QString UndoFileName() const = 0;
};

// Creates the dialog of the class that the product chose.
using TWizardFormClass = std::function<std::unique_ptr<TWizardDialog>()>;

// The wizard mode that means restore; any other mode is a replacer position.
inline constexpr int WizardModeRestore = 100;
