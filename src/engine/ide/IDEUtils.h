// The one place where the system talks to the IDE about projects, files and
// menus. TIDEUtils answers plain questions (the active project's file name,
// its units) and carries out plain orders (save, close, open, reload, add a
// menu item) by forwarding them to the process-wide current TIDEServices
// object. With none set, it behaves as an IDE with no project open.
//
// TIDEServices is what the IDE offers; TProjectFileIde (a project file opened
// from disk) and the test fake implement it. The main menu is modelled by
// TZuMainMenu, on which AddWizard places the product menu and its items.
#pragma once

#include <QByteArray>
#include <QString>
#include <functional>
#include <memory>
#include <vector>

class TZuMenuItem;

// Runs when a menu item is clicked; receives that item as sender.
using TZuMenuClickEvent = std::function<void(TZuMenuItem *Sender)>;

// One item of the main menu: a component name, a caption, a click handler and
// the child items that it owns.
class TZuMenuItem
{
public:
    TZuMenuItem() = default;
    TZuMenuItem(const QString &Name, const QString &Caption, TZuMenuClickEvent OnClick = {});

    TZuMenuItem(const TZuMenuItem &) = delete;
    TZuMenuItem &operator=(const TZuMenuItem &) = delete;

    QString Name;
    QString Caption;
    TZuMenuClickEvent OnClick;

    TZuMenuItem *Parent() const { return FParent; }
    int Count() const { return int(FItems.size()); }
    // The child at Index (0 <= Index < Count()).
    TZuMenuItem *Item(int Index) const;
    // Inserts Item as the child at Index (clamped to 0..Count()); returns it.
    TZuMenuItem *Insert(int Index, std::unique_ptr<TZuMenuItem> Item);
    // The child with the given component name (exact match), or nullptr.
    TZuMenuItem *FindChild(const QString &Name) const;
    // This item or a descendant with the given component name, depth first.
    TZuMenuItem *Find(const QString &Name);
    // Runs OnClick with this item as sender, when set.
    void Click();

private:
    TZuMenuItem *FParent = nullptr;
    std::vector<std::unique_ptr<TZuMenuItem>> FItems;
};

// The IDE's main menu: the children of Items() are the top-level menus.
class TZuMainMenu
{
public:
    TZuMenuItem &Items() { return FItems; }
    const TZuMenuItem &Items() const { return FItems; }

private:
    TZuMenuItem FItems;
};

// The product's top-level menu as the product's design-time package
// describes it.
struct TZuProductMenu
{
    QString ItemName;   // component name of the product's top-level item
    QString Caption;    // its caption
    QString AltCaption; // caption used when another menu shows Caption; may be empty
};

// A caption without its accelerator ampersands; "&&" stands for one "&".
QString RemoveAmpersands(const QString &Caption);

// What the IDE offers the wizard. Module indexes count from 0.
class TIDEServices
{
public:
    virtual ~TIDEServices() = default;

    virtual bool IsProjectGroupOpen() const = 0;
    // Full path of the active project's file; empty when there is none.
    virtual QString ActiveProjectFileName() const = 0;
    virtual int ModuleCount() const = 0;
    // Full path of module Index; callers keep 0 <= Index < ModuleCount().
    virtual QString ModuleFileName(int Index) const = 0;
    // Saves the active project without asking for a name or permission.
    virtual bool SaveProject() = 0;
    // Closes the project group and its projects.
    virtual bool CloseProjectGroup() = 0;
    // Opens the named project in a new project group.
    virtual bool OpenProject(const QString &ProjName) = 0;
    virtual bool ReloadFile(const QString &FileName) = 0;
    // Brings the code editor of each form unit of the active project in
    // front of its form designer.
    virtual void ShowProjectCodeEditors() = 0;
    virtual TZuMainMenu &MainMenu() = 0;
    // Shows a report of work left (the JSON of TWorkReport::ToJson) in the
    // IDE's report view; false when the IDE has none.
    virtual bool ShowWorkReport(const QByteArray & /*Json*/) { return false; }
};

// Class operations only; no state besides the current services object.
class TIDEUtils
{
public:
    TIDEUtils() = delete;

    // The current services (not owned); nullptr means no IDE at all.
    static TIDEServices *Services();
    static void SetServices(TIDEServices *Services);

    // Empty when no project is active.
    static QString GetProjectName();
    // 0 when no project is active.
    static int GetUnitCount();
    // Empty when no project is active or Ind is out of range.
    static QString GetUnitName(int Ind);
    // False when no project is active, else the IDE's answer.
    static bool SaveProject();
    // True when no project group is open, else the IDE's answer.
    static bool CloseProject();
    // The name is passed on unchanged, also when empty. False without an IDE.
    static bool OpenProject(const QString &ProjName);
    // False without an IDE.
    static bool ReloadFile(const QString &FileName);
    // The editor walk before a project's units are rewritten.
    static void ShowProjectCodeEditors();
    // False without an IDE or when it has no report view.
    static bool ShowWorkReport(const QByteArray &Json);

    // Puts an item (Caption, component name Name, ClickEvent) under the
    // product's top-level menu, creating that menu just before the last
    // top-level menu when absent. When another top-level menu already shows
    // the product's caption (ampersands and letter case aside) and MainMenu
    // has an alternative caption, the product menu shows that one. Returns
    // the new item; nullptr without an IDE.
    static TZuMenuItem *AddWizard(const TZuProductMenu &MainMenu, const QString &Caption, const QString &Name,
                                  TZuMenuClickEvent ClickEvent);
};

// Makes Services current for the lifetime of the scope, then restores the
// previous one.
class TIDEServicesScope
{
public:
    explicit TIDEServicesScope(TIDEServices *Services);
    ~TIDEServicesScope();

    TIDEServicesScope(const TIDEServicesScope &) = delete;
    TIDEServicesScope &operator=(const TIDEServicesScope &) = delete;

private:
    TIDEServices *FPrevious;
};
