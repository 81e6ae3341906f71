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

#include <QList>
#include <QString>

#include <functional>
#include <vector>

// The fate of Member ("IndexName", "AutoUpdateOptions.KeyFields") on an
// object converted from OldClass to NewClass.
using TMemberLookup =
    std::function<TMemberFate(const QString &OldClass, const QString &NewClass, const QString &Member)>;

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
};

// The uses in text order. Lexems are the unit's lexemes without blanks, as
// the unit rewriting reads them; an identifier with a NewName names an old
// class. A use through a field of another object names both ("DM.Query1").
QList<TCodeUse> scanCodeUses(const QString &Text, const std::vector<TUnitLexem> &Lexems, const TMemberLookup &Lookup,
                             const TCodeScanScope &Scope = {});

// The indexes of the lexemes that are code: block comments, "//" comments up
// to the line's end and "(* *)" comments left out.
std::vector<size_t> codeLexemes(const QString &Text, const std::vector<TUnitLexem> &Lexems);
