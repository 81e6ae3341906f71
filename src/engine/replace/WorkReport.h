// The report of work left: what a replace run could not carry over and the
// user must look at by hand. Each item names its file, its line and, in a
// form, the object path (DataModule1.CustomersQuery). The run collects the
// items; the report is written as text for people (Wiz_Report.txt beside the
// log) and as JSON for tools, and summed up in one line for the terminal.
//
// Lines of a binary form are those of its text form.
#pragma once

#include <QByteArray>
#include <QList>
#include <QSet>
#include <QString>

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
    // A file the run did not convert: not a regular file (a symbolic link,
    // a FIFO, a device), or changed while the run worked (kept as saved).
    // Name says why.
    FileLeftAlone = 7,
};

struct TWorkItem
{
    TWorkItemKind Kind = TWorkItemKind::DroppedProperty;
    QString File;
    int Line = 0;       // one-based; 0 when unknown
    QString ObjectPath; // forms only
    QString Name;       // property, event, class or identifier
    QString Value;      // the value as written, shortened
    QString Detail;     // the reason, the new class, the method
};

// The one-based line of a zero-based offset in a text. The line starts are
// found on the first question, once per text, so that a form with hundreds
// of items is not counted through hundreds of times, and a text without
// items costs nothing.
class TLineIndex
{
public:
    explicit TLineIndex(const QString &Text) : FText(Text) {}
    int LineOf(qsizetype Pos);

private:
    const QString &FText;
    std::vector<qsizetype> FStarts;
};

class TWorkReport
{
public:
    void Clear()
    {
        FItems.clear();
        FKeys.clear();
    }
    // Adds an item unless the same item is there already.
    void Add(TWorkItem Item);
    // Items in report order: by kind, then in the order they were added.
    QList<TWorkItem> Items() const;
    int Count() const { return int(FItems.size()); }
    int Count(TWorkItemKind Kind) const;

    // A value as the report shows it: line breaks and runs of blanks become
    // one blank, and a long value ends in "...".
    static QString Shorten(const QString &Value);

    // The text of Wiz_Report.txt: a title line, the count, then one section
    // per kind. Paths below BaseFolder are shown relative to it.
    QString ToText(const QString &Title, const QString &BaseFolder) const;
    // The JSON document: {"items": [...], "counts": {...}, "total": n}.
    QByteArray ToJson() const;
    // "N items need manual work (M object(s) not converted: their forms will
    // not load); see PATH" -- without the "see" part when Path is empty.
    QString Summary(const QString &Path) const;

    static const char *KindName(TWorkItemKind Kind);

private:
    QList<TWorkItem> FItems;
    QSet<QString> FKeys;
};
