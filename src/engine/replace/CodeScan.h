// The code scan: where the code of a unit uses a member of a component whose
// class the run converts and which the new class renames, lacks or expresses
// in another way. It finds the identifiers that the unit declares with an old
// class (fields, variables, parameters, function results), then each
// "Ident.Member" and "Ident.Member.Sub" of the code and each "with" whose
// subject is such an identifier, with the bare members its statement uses.
// Through the index of the run's units (UnitIndex.h) it also finds
// "DataModule1.Query1.Member", where DataModule1 is another unit's object. What becomes of a member is asked of the
// form parser's rules (TMemberFate), so code and forms follow one table.
//
// The scan reads the lexemes of the unit rewriting; comments, strings and
// "//" and "(* *)" comments are never read as code.
#pragma once

#include "MemberFate.h"
#include "UsesClauses.h"

class TUnitIndex;

#include <QString>

#include <cstdint>
#include <functional>
#include <unordered_map>
#include <vector>

// The fate of Member ("IndexName", "AutoUpdateOptions.KeyFields") on an
// object converted from OldClass to NewClass.
using TMemberLookup =
    std::function<TMemberFate(const QString &OldClass, const QString &NewClass, const QString &Member)>;

// The fates that a run has asked of the rules. The units of a project use
// the same few members of the same few classes again and again: each is
// asked once per run (letter case ignored), and its names are kept to be
// shared by the uses and report items that name them.
class TMemberFates
{
public:
    struct TEntry
    {
        QString OldClass, NewClass, First, Sub; // as first written
        TMemberFate Fate;
        // What a report says of the fate, made once by the reporter and
        // shared by every item that says it.
        mutable QString Said;
    };
    // Lookup answers what the cache does not know; Owner (the rules' owner)
    // tells one set of rules from another: a new one empties the cache.
    void Use(const void *Owner, TMemberLookup Lookup)
    {
        if (Owner != FOwner)
            Clear();
        FOwner = Owner;
        FLookup = std::move(Lookup);
    }
    void Clear()
    {
        FEntries.clear();
        FOwner = nullptr;
    }
    // Sub is empty for a member of one part. Pair is PairHash(OldClass,
    // NewClass), which a caller asking about one object again and again
    // works out once.
    const TEntry &Of(std::uint64_t Pair, QStringView OldClass, const QString &NewClass, QStringView First,
                     QStringView Sub);
    static std::uint64_t PairHash(QStringView OldClass, const QString &NewClass);

private:
    const void *FOwner = nullptr;
    TMemberLookup FLookup;
    std::unordered_multimap<std::uint64_t, TEntry> FEntries; // entries stay where they are
};

struct TCodeUse
{
    enum class TKind {
        Member, // Ident.Member whose fate is not Kept
        With,   // "with Ident do": the members used inside are not checked
    };
    TKind Kind = TKind::Member;
    qsizetype Pos = 0;  // zero-based start of the identifier
    QString Ident;      // as written
    QString OldClass;   // as the declaration writes it
    QString NewClass;
    QString Member;     // the member path the fate covers, as written
    TMemberFate Fate;
    // The cache's entry the fate comes from (its names are the first
    // spelling met in the run).
    const TMemberFates::TEntry *Known = nullptr;
    // Whether the object was reached through the index of the run's units
    // ("DataModule1.Query1"), not declared in the unit itself.
    bool Reached = false;
    // For a one-to-one rename: the range of the text that names the member
    // (zero-based, End behind it), to be replaced by Fate.Target. Empty
    // (Start == End) when the member cannot be rewritten in place.
    qsizetype RenameStart = 0;
    qsizetype RenameEnd = 0;
};

// What the scan of a unit knows beyond the unit: the interfaces of the run's
// units, through which "DataModule1.Query1.IndexName" reaches a field of a
// class of another unit, and the unit's own name as uses clauses name it.
struct TCodeScanScope
{
    const TUnitIndex *Index = nullptr; // not owned; none: the unit alone
    QString Unit;
    // Without an index: set when the unit has code that an index could
    // resolve ("A.B.Member" or "with A.B do" where A is not one of its own
    // converted objects), so that it is scanned again once the index is
    // there.
    bool *MayReach = nullptr;
};

// The uses in text order. Lexems are the unit's lexemes without blanks, as
// the unit rewriting reads them; an identifier with a NewName names an old
// class. A use through a field of another object names both ("DM.Query1").
std::vector<TCodeUse> scanCodeUses(const QString &Text, const std::vector<TUnitLexem> &Lexems, TMemberFates &Fates,
                                   const TCodeScanScope &Scope = {});

// The indexes of the lexemes that are code: block comments, "//" comments up
// to the line's end and "(* *)" comments left out.
std::vector<size_t> codeLexemes(const QString &Text, const std::vector<TUnitLexem> &Lexems);
// The same, into Code (emptied first), of the lexemes before End.
void codeLexemes(const QString &Text, const std::vector<TUnitLexem> &Lexems, std::vector<size_t> &Code,
                 size_t End = size_t(-1));
