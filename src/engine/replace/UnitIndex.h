// What the interfaces of a run's units declare that the code of another unit
// reaches: the classes with fields of an old class (a data module's
// "Query1: TQuery"), their ancestors, and the global variables with their
// classes ("DataModule1: TDataModule1"). The code scan of unit B reads
// "DataModule1.Query1.IndexName" through it when DataModule1 is a global of
// a unit that B uses.
//
// Only the interface is read (the implementation's declarations are not
// visible elsewhere), so indexing a run of thousands of units costs a small
// part of their rewriting.
#pragma once

#include "CaseCompare.h"
#include "UsesClauses.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <functional>
#include <utility>
#include <vector>

class TCodeIndex;

// The new class of an old class name, or nullptr (the replacer's FindNewComp).
using TNewClassOf = std::function<const QString *(QStringView)>;

// What one unit's interface declares.
struct TUnitInterface
{
    struct TField
    {
        QString Class, Name, OldClass, NewClass;
    };
    struct TNamed
    {
        QString Name, Type;
    };
    QStringList Classes;  // every class the interface declares, as written
    QList<TField> Fields; // fields and properties of an old class
    QList<TNamed> Parents;  // class -> its ancestor
    QList<TNamed> Globals;  // global variables -> their type
};

// The name by which uses clauses name the unit at Path: its file name
// without folder and extension ("Data.Main" of "src/Data.Main.pas").
QString unitNameOf(const QString &Path);

// The paths that the uses clause of a project file's text gives its units
// ("Main in 'Forms\\Main.pas'" gives Forms\Main.pas), as written.
QStringList unitPathsOfProject(const QString &Text);

// Memory that the reading of one interface after another may use again, so
// that a run reading thousands does not take fresh memory for each.
struct TInterfaceScratch
{
    std::vector<TUnitLexem> Lexems;
    std::vector<size_t> Code;
};

// Reads the interface of a unit's text (up to "implementation"). *Complete,
// when given, tells whether the word "implementation" was reached: false
// when the text ends before it (or inside a comment).
TUnitInterface readUnitInterface(const QString &Text, const TNewClassOf &NewClassOf, bool *Complete = nullptr,
                                 TInterfaceScratch *Scratch = nullptr);
// The same from the lexemes of the whole unit that its rewriting made (an
// identifier with a NewName names an old class): read up to the first
// "implementation" of the code. Index, when given, is that of the lexemes.
TUnitInterface readUnitInterface(const QString &Text, const std::vector<TUnitLexem> &Lexems,
                                 const TCodeIndex *Index = nullptr);

// The interfaces of a run's units, looked up without regard to letter case.
class TUnitIndex
{
public:
    struct TField
    {
        QString OldClass, NewClass;
    };
    // UnitName: the unit's name as uses clauses name it (its file name).
    void Add(const QString &UnitName, const TUnitInterface &Interface);
    // Whether no class of the index has a field of an old class.
    bool IsEmpty() const { return !FHasFields; }

    // The field Name of Class or of one of its ancestors, when its class is
    // old, or nullptr.
    const TField *FieldOf(QStringView Class, QStringView Name) const;
    // Whether Class or an ancestor has such a field.
    bool HasFields(QStringView Class) const;
    // Whether Name may be a global variable of some unit (quick test).
    bool MayBeGlobal(QStringView Name) const { return FGlobalNames.MayContain(Name); }
    // The class of the global variable Name as a unit sees it that is
    // OwnUnit and uses the units of Uses (case-folded, in uses order): the
    // own unit's variable first, otherwise that of the last unit used that
    // declares one. Empty when none is seen or its class has no such field.
    QString GlobalClass(QStringView Name, const QString &OwnUnit, const QStringList &Uses) const;

private:
    struct TClass
    {
        QHash<QString, TField> Fields; // case-folded field name
        QString Parent;                // case-folded
    };
    const TClass *classOf(QStringView Name) const;

    QHash<QString, TClass> FClasses; // case-folded; only classes with fields or an ancestor
    QHash<QString, QList<std::pair<QString, QString>>> FGlobals; // name -> (unit, class), case-folded
    TNameFilter FGlobalNames;
    TNameFilter FClassNames;
    bool FHasFields = false;
};
