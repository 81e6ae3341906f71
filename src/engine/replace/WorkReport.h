// The report of work left: what a replace run could not carry over and the
// user must look at by hand. Each item names its file, its line and, in a
// form, the object path (DataModule1.CustomersQuery), and its consequence if
// the user does nothing (will not compile, will not load, behaves
// differently, for information). The run collects the items; the report is
// written as text for people (Wiz_Report.txt beside the log: counts by
// consequence, the largest groups, then the items) and as JSON for tools,
// and summed up in one line for the terminal. Values and paths are whole in
// the items and in the JSON; the text shortens them.
//
// Lines of a binary form are those of its text form.
#pragma once

#include <QByteArray>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

#include <cstddef>
#include <functional>
#include <unordered_map>
#include <utility>
#include <vector>

// In the order in which the report lists them: the most serious first.
enum class TWorkItemKind : int {
    // An object whose class has a pair but that was not re-created: the unit
    // declares the new class while the form holds the old one.
    ObjectNotConverted = 0,
    // A property the new class does not publish, or whose value has no
    // counterpart.
    DroppedProperty = 1,
    // An event handler the new class does not publish: its method will no
    // longer be called.
    DroppedEvent = 2,
    // A DatabaseName that no TDatabase of the run defines (a BDE alias).
    UnknownDatabase = 3,
    // A component of the old source set whose class has no pair.
    UnpairedComponent = 4,
    // An identifier of the old source set left in the code.
    LeftInCode = 5,
    // A call of the BDE API (Dbi...).
    ApiCall = 6,
    // Code that uses a member of a converted component which the new class
    // renames, lacks or expresses in another way.
    MemberInCode = 7,
    // A "with" whose subject is a converted component: the members used
    // inside are not checked.
    WithInCode = 8,
    // A member renamed in the code (on request): done, listed for review.
    MemberRenamed = 9,
    // An event handler of a component that was not converted whose
    // parameters name a class the run renamed: it no longer matches the event.
    HandlerSignature = 10,
    // Active or Connected left True on a converted object that has no
    // connection any more.
    OpenWithoutConnection = 11,
    // A form file that no unit of the run names: not converted.
    FormNotNamed = 12,
    // A declaration that the run adds to the code without an object in the
    // form (the Transaction field of a BDE connection): it stays nil.
    AddedDeclaration = 13,
    // A file the run did not convert: not a regular file (a symbolic link,
    // a FIFO, a device), or changed while the run worked (kept as saved).
    // Name says why.
    FileLeftAlone = 14,
};
constexpr int WorkItemKindCount = 15;

// What happens if the user does nothing, most serious first.
enum class TConsequence : int {
    WillNotCompile = 0,
    WillNotLoad = 1,
    BehavesDifferently = 2,
    Information = 3,
    ByKind = 4, // decided by the kind (and name) when the item is added
};
constexpr int ConsequenceCount = 4;

struct TWorkItem
{
    TWorkItemKind Kind = TWorkItemKind::DroppedProperty;
    QString File;
    int Line = 0;       // one-based; 0 when unknown
    QString ObjectPath; // forms only
    QString Name;       // property, event, class or identifier
    QString Value;      // the value as written, whole
    QString Detail;     // the reason, the new class, the method
    QString Class;      // the class the item concerns, for the groups
    TConsequence Consequence = TConsequence::ByKind;
};
// A run may note tens of thousands of items: the list grows by moving them
// as bytes, not one string at a time.
Q_DECLARE_TYPEINFO(TWorkItem, Q_RELOCATABLE_TYPE);

// The one-based line of a zero-based offset in a text. Questions in text
// order (the common case: a unit's items are found front to back) count the
// line breaks from the last answer on, and stop at the last item; the first
// question behind the last one finds every line start, once per text, so
// that a form with hundreds of items is not counted through hundreds of
// times. A text without items costs nothing.
class TLineIndex
{
public:
    explicit TLineIndex(const QString &Text) : FText(Text) {}
    int LineOf(qsizetype Pos);

private:
    const QString &FText;
    qsizetype FPos = 0; // in text order: the lines before FPos are counted
    int FLine = 1;
    std::vector<qsizetype> FStarts;
};

// Items of one kind, consequence, name and class: "IndexName dropped on 481
// TOrxTable objects in 96 forms".
struct TWorkGroup
{
    TConsequence Consequence = TConsequence::Information;
    TWorkItemKind Kind = TWorkItemKind::DroppedProperty;
    QString Name;
    QString Class;
    int Count = 0;
    int Files = 0;
    QString Text;
};

// Half of a handler whose signature no longer matches its event: a method
// of a unit whose parameters name a renamed class, or an event of a form
// object that was not converted and the method it names. Settle joins the
// halves of a unit and its form.
struct THandlerNote
{
    bool IsMethod = false; // the unit's half; otherwise the form's
    QString File;
    int Line = 0;
    QString Method;
    QString ObjectPath; // form: the object
    QString Class;      // form: the object's class; unit: the renamed class
    QString Detail;     // form: the event; unit: the new class
};

class TWorkReport
{
public:
    void Clear()
    {
        FItems.clear();
        indexAll();
        FDeclaredClasses.clear();
        FHandlerNotes.clear();
    }
    // Adds an item unless the same item is there already; an item whose
    // consequence is ByKind gets the one of its kind.
    void Add(TWorkItem Item);
    // Items in report order: by consequence, then by kind, then in the order
    // they were added.
    QList<TWorkItem> Items() const;
    int Count() const { return int(FItems.size()); }
    int Count(TWorkItemKind Kind) const;
    int Count(TConsequence Consequence) const;
    // The groups of items, largest first (ties in report order).
    QList<TWorkGroup> Groups() const;

    // Classes that the code of the run declares itself (letter case
    // ignored). Settle drops the items that take such a class for one of
    // the old source set: a project's own TFIB is no FIBPlus class.
    void NoteDeclaredClasses(const QStringList &Names);
    // Settle also reports each handler whose unit half and form half meet.
    void NoteHandler(THandlerNote Note) { FHandlerNotes.append(std::move(Note)); }
    void Settle();

    // The consequence of an item of this kind and name when nothing else
    // decides it.
    static TConsequence ConsequenceOf(TWorkItemKind Kind, const QString &Name);
    // "willNotCompile" and so on; "will not compile" and so on.
    static const char *ConsequenceName(TConsequence Consequence);
    static const char *ConsequenceText(TConsequence Consequence);

    // A value as the report's text shows it: line breaks and runs of blanks
    // become one blank, and a value longer than 60 characters ends in "...".
    static QString Shorten(const QString &Value);

    // The text of Wiz_Report.txt: a title line, the count, the counts by
    // consequence, the largest groups, then one section per consequence and
    // kind. Paths below BaseFolder are shown relative to it.
    QString ToText(const QString &Title, const QString &BaseFolder) const;
    // The same text given to Write in consecutive parts.
    void WriteText(const std::function<void(const QString &)> &Write, const QString &Title,
                   const QString &BaseFolder) const;
    // The JSON document: {"total", "base", "consequences", "counts",
    // "groups", "items"}; Base is the run's folder.
    QByteArray ToJson(const QString &Base = QString()) const;
    // "N items need manual work (M object(s) not converted: their forms will
    // not load); see PATH" -- without the "see" part when Path is empty.
    QString Summary(const QString &Path) const;

    static const char *KindName(TWorkItemKind Kind);

private:
    // The items of one file by what makes each one item (hashOf): open
    // addressing over indexes into FItems, -1 a free slot. Per file, so
    // that the table a run's file adds to stays small and at hand: a run
    // may add tens of thousands of items.
    struct TFileItems
    {
        std::vector<qsizetype> Slots;
        qsizetype Count = 0;
        // Whether an item equal to Item (same kind, line, object, name and
        // value) is there already.
        bool Contains(const TWorkReport &Report, const TWorkItem &Item, std::size_t Hash) const;
        void Insert(const std::vector<std::size_t> &Hashes, qsizetype At);
    };
    static std::size_t hashOf(const TWorkItem &Item);
    TFileItems &fileItems(const QString &File);
    void indexAll();
    // The items in report order, and their groups.
    using TSorted = std::vector<const TWorkItem *>;
    TSorted sorted() const;
    static QList<TWorkGroup> groupsOf(const TSorted &Sorted);

    QList<TWorkItem> FItems;
    std::vector<std::size_t> FHashes; // hashOf each item of FItems
    // Node-based: a file's table stays where it is when others are added.
    std::unordered_map<QString, TFileItems> FByFile;
    QString FLastFile;
    TFileItems *FLastFileItems = nullptr;
    QSet<QString> FDeclaredClasses; // case-folded
    QList<THandlerNote> FHandlerNotes;
};
