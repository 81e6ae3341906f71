// The wizard plug-in: the library that the IDE loads. Its one export,
// INITWIZARD0001, creates the expert with the Orvex product's wizard form,
// menu and replacers, and hands it to the IDE.
//
// The product (the shared options and the three replacers) lives from the
// first call to the library's unload, as the replacer unit's initialisation
// and finalisation keep it in the IDE.
#include "OrxMenu.h"
#include "OrxReplacer.h"
#include "OrxWizard.h"
#include "QtExpertUI.h"
#include "ReplaceExpert.h"
#include "UiDialogs.h"

#include "Errors.h"

#include <QGuiApplication>
#include <QtGlobal>

namespace {

struct TLibrary
{
    TOrxProduct Product;
    TQtExpertUI UI;
    TQtReplaceProgress Progress;

    TLibrary()
    {
        Progress.SetCaption(Product.ReplaceOptions().Caption());
        for (int I = 0; I < TOrxProduct::ReplacerCount; ++I)
            Product.Replacer(I)->SetProgress(&Progress);
    }
};

TLibrary &Library()
{
    static TLibrary Instance;
    return Instance;
}

// The expert that the IDE holds (not owned here).
TCompReplaceExpert *Expert = nullptr;

// What the IDE's default exception display shows.
void HandleException(const QString &Message)
{
    TUiDialogs::Current().MessageBox(nullptr, Message, QGuiApplication::applicationDisplayName(), QMessageBox::Critical);
}

} // namespace

extern "C" Q_DECL_EXPORT bool INITWIZARD0001(TIDEServices *Services, TWizardRegisterProc RegisterProc,
                                             TWizardTerminateProc *Terminate)
{
    Q_UNUSED(Terminate); // left as the IDE gave it
    try {
        if (!TIDEUtils::Services())
            TIDEUtils::SetServices(Services);
        TLibrary &Lib = Library();
        auto Created = std::make_unique<TCompReplaceExpert>(OrxWizardFormClass(), QStringLiteral("Orvex"), OrxMenu(),
                                                            Lib.Product.Replacer(TOrxProduct::BdePosition), &Lib.UI);
        Created->RegisterReplacer(Lib.Product.Replacer(TOrxProduct::IbxPosition));
        Created->RegisterReplacer(Lib.Product.Replacer(TOrxProduct::FibPlusPosition));
        Expert = Created.get();
        // The IDE owns the expert once its callback has returned.
        RegisterProc(Created.get());
        Created.release();
    } catch (const EMigError &E) {
        Expert = nullptr;
        HandleException(E.Message());
    } catch (const std::exception &E) {
        Expert = nullptr;
        HandleException(QString::fromLocal8Bit(E.what()));
    } catch (...) {
        Expert = nullptr;
        HandleException(QStringLiteral("Unknown error while loading the wizard."));
    }
    return true;
}
