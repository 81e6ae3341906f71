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

#include <functional>

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

// The unit names of a new-uses text: ", Quorvel, Orx" gives Quorvel and Orx.
QStringList usesListUnits(const QString &NewUsesList);

// Scans the uses clauses of a unit or project file. IsOldClass tells whether
// an identifier names an old class of the replace pairs.
TUsesPlan planUsesInsertions(const QString &Text, const TUsesRules &Rules,
                             const std::function<bool(QStringView)> &IsOldClass);
