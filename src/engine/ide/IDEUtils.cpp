#include "IDEUtils.h"

#include <algorithm>

namespace {

TIDEServices *CurrentServices = nullptr;

bool hasActiveProject(const TIDEServices *Services)
{
    return Services && !Services->ActiveProjectFileName().isEmpty();
}

// The menu item routine of AddWizard: a new item that becomes the last child
// of Parent or, without a parent, the top-level menu just before the one at
// RefIndex. The item is placed through the pointers in hand rather than looked
// up again by component name, so an item that happens to share a name cannot
// receive it.
TZuMenuItem *createMenuItem(TZuMainMenu &Menu, const QString &Caption, const QString &Name, int RefIndex,
                            TZuMenuItem *Parent, TZuMenuClickEvent ClickEvent)
{
    auto Item = std::make_unique<TZuMenuItem>(Name, Caption, std::move(ClickEvent));
    if (Parent)
        return Parent->Insert(Parent->Count(), std::move(Item));
    TZuMenuItem &Top = Menu.Items();
    // With no top-level menu at all there is nothing to insert before: the
    // new menu becomes the only one.
    return Top.Insert(RefIndex < 0 ? Top.Count() : RefIndex, std::move(Item));
}

} // namespace

TZuMenuItem::TZuMenuItem(const QString &Name, const QString &Caption, TZuMenuClickEvent OnClick)
    : Name(Name)
    , Caption(Caption)
    , OnClick(std::move(OnClick))
{
}

TZuMenuItem *TZuMenuItem::Item(int Index) const
{
    return FItems.at(size_t(Index)).get();
}

TZuMenuItem *TZuMenuItem::Insert(int Index, std::unique_ptr<TZuMenuItem> Item)
{
    Index = std::clamp(Index, 0, Count());
    Item->FParent = this;
    TZuMenuItem *Result = Item.get();
    FItems.insert(FItems.begin() + Index, std::move(Item));
    return Result;
}

TZuMenuItem *TZuMenuItem::FindChild(const QString &Name) const
{
    for (const auto &Child : FItems) {
        if (Child->Name == Name)
            return Child.get();
    }
    return nullptr;
}

TZuMenuItem *TZuMenuItem::Find(const QString &Name)
{
    if (this->Name == Name)
        return this;
    if (TZuMenuItem *Child = FindChild(Name))
        return Child;
    for (const auto &Child : FItems) {
        if (TZuMenuItem *Found = Child->Find(Name))
            return Found;
    }
    return nullptr;
}

void TZuMenuItem::Click()
{
    if (OnClick)
        OnClick(this);
}

QString RemoveAmpersands(const QString &Caption)
{
    QString Result;
    Result.reserve(Caption.size());
    for (qsizetype I = 0; I < Caption.size(); ++I) {
        if (Caption.at(I) == u'&') {
            if (I + 1 < Caption.size() && Caption.at(I + 1) == u'&') {
                Result += u'&';
                ++I;
            }
            continue;
        }
        Result += Caption.at(I);
    }
    return Result;
}

TIDEServices *TIDEUtils::Services()
{
    return CurrentServices;
}

void TIDEUtils::SetServices(TIDEServices *Services)
{
    CurrentServices = Services;
}

QString TIDEUtils::GetProjectName()
{
    return CurrentServices ? CurrentServices->ActiveProjectFileName() : QString();
}

int TIDEUtils::GetUnitCount()
{
    return hasActiveProject(CurrentServices) ? CurrentServices->ModuleCount() : 0;
}

QString TIDEUtils::GetUnitName(int Ind)
{
    if (!hasActiveProject(CurrentServices) || Ind < 0 || Ind >= CurrentServices->ModuleCount())
        return {};
    return CurrentServices->ModuleFileName(Ind);
}

bool TIDEUtils::SaveProject()
{
    return hasActiveProject(CurrentServices) && CurrentServices->SaveProject();
}

bool TIDEUtils::CloseProject()
{
    if (!CurrentServices || !CurrentServices->IsProjectGroupOpen())
        return true;
    return CurrentServices->CloseProjectGroup();
}

bool TIDEUtils::OpenProject(const QString &ProjName)
{
    return CurrentServices && CurrentServices->OpenProject(ProjName);
}

bool TIDEUtils::ReloadFile(const QString &FileName)
{
    return CurrentServices && CurrentServices->ReloadFile(FileName);
}

void TIDEUtils::ShowProjectCodeEditors()
{
    if (CurrentServices)
        CurrentServices->ShowProjectCodeEditors();
}

bool TIDEUtils::ShowWorkReport(const QByteArray &Json)
{
    return CurrentServices && CurrentServices->ShowWorkReport(Json);
}

TZuMenuItem *TIDEUtils::AddWizard(const TZuProductMenu &MainMenu, const QString &Caption, const QString &Name,
                                  TZuMenuClickEvent ClickEvent)
{
    if (!CurrentServices)
        return nullptr;
    TZuMainMenu &Menu = CurrentServices->MainMenu();
    const TZuMenuItem &Top = Menu.Items();

    TZuMenuItem *ProductItem = nullptr;
    bool CaptionTaken = false;
    const QString ProductCaption = RemoveAmpersands(MainMenu.Caption).toUpper();
    for (int I = 0; I < Top.Count(); ++I) {
        TZuMenuItem *Item = Top.Item(I);
        if (Item->Name == MainMenu.ItemName) {
            ProductItem = Item;
            break;
        }
        if (!MainMenu.AltCaption.isEmpty() && RemoveAmpersands(Item->Caption).toUpper() == ProductCaption)
            CaptionTaken = true;
    }

    const QString MenuCaption = CaptionTaken ? MainMenu.AltCaption : MainMenu.Caption;
    if (ProductItem)
        ProductItem->Caption = MenuCaption;
    else
        ProductItem = createMenuItem(Menu, MenuCaption, MainMenu.ItemName, Top.Count() - 1, nullptr, {});
    return createMenuItem(Menu, Caption, Name, -1, ProductItem, std::move(ClickEvent));
}

TIDEServicesScope::TIDEServicesScope(TIDEServices *Services)
    : FPrevious(TIDEUtils::Services())
{
    TIDEUtils::SetServices(Services);
}

TIDEServicesScope::~TIDEServicesScope()
{
    TIDEUtils::SetServices(FPrevious);
}
