// TOrxWizardForm: the wizard dialog of the Orvex product. On the first step
// the user picks the source component set (BDE, IBX or FIBPlus) beside the
// replace-mode button, and the dialog reports that choice as the wizard
// mode: the position of the replacer to run. The welcome text has the
// product's fixed wording, and the left panel the product's picture.
#pragma once

#include "Wizard.h"

class QComboBox;

class TOrxWizardForm : public TWizardForm
{
    Q_OBJECT

public:
    explicit TOrxWizardForm(QWidget *Parent = nullptr);

    QComboBox *cbReplaceComponents;

    // The base FormShow, then the mode buttons made consistent and the
    // source set on the one whose objects the project's or folder's forms
    // hold most of ("BDE" when they hold none; the choice of an earlier run
    // is not kept).
    void FormShow() override;
    // The replace button reads "Replace <set> components".
    void cbReplaceComponentsChange();
    // The base handler, then the source set enabled only in replace mode.
    void rbModeReplaceClick() override;
    // The product's welcome text, whatever the names passed.
    void SetLabel2Caption(const QString &ASourceName, const QString &AProductName) override;
    // 100 in restore mode, else the position of the chosen source set.
    int GetWizardMode() override;

protected:
    QPixmap Picture() const override;
};

// The dialog class that the product's expert shows.
TWizardFormClass OrxWizardFormClass();
