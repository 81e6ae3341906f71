// Where the rewriting of a unit adds the new units to its uses clauses.
//
// A uses clause runs from the keyword "uses" to the next ";"; its entries are
// unit names, possibly dotted ("IBX.IBQuery"), each possibly followed by
// "in 'path'". The new units go right behind the entry of the old unit
// (behind its "in 'path'" when it has one). A unit that renamed classes but
// names only other units of the source set (IBQuery, pFIBDataSet, ...) gets
// them behind the first such entry instead. A unit that any uses clause of
// the file already names is never added again, so a second run, or a run for
// a second source set, adds nothing twice.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <vector>

struct TUsesInsertion
{
    qsizetype Pos = 0; // zero-based offset in the unit's text
    QString Text;      // ", Unit1, Unit2"
};

struct TUsesPlan
{
    // In text order.
    QList<TUsesInsertion> Insertions;
    // Identifiers of the code (outside uses clauses) that name an old class.
    int ClassNames = 0;
};

struct TUsesRules
{
    QString OldUnit;         // compared without regard to letter case
    QString NewUsesList;     // ", Quorvel, Orx, ..."
    QStringList FamilyUnits; // other units of the source set, letter case ignored
};

// One lexeme of a unit or project file, blanks left out: its bounds in the
// text (zero-based, End behind it), its code (lex* of TPasParser) and, for an
// identifier that names an old class of the replace pairs, the new class
// name (null for every other lexeme). The rewriting of a unit reads the text
// once into this list and both plans and rewrites from it.
struct TUnitLexem
{
    qsizetype Start = 0;
    qsizetype End = 0;
    const QString *NewName = nullptr;
    int Code = 0;
};

// The unit names of a new-uses text: ", Quorvel, Orx" gives Quorvel and Orx.
QStringList usesListUnits(const QString &NewUsesList);

// Scans the uses clauses of a unit or project file, given as its lexemes.
TUsesPlan planUsesInsertions(const QString &Text, const std::vector<TUnitLexem> &Lexems, const TUsesRules &Rules);
