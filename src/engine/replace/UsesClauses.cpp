#include "UsesClauses.h"

#include "PasParser.h"

#include <QSet>

namespace {

struct TEntry
{
    QString Name;       // as written, dots included
    qsizetype End = 0;  // behind the name, or behind the string of "in 'path'"
};

QString lastPart(const QString &Name)
{
    return Name.mid(Name.lastIndexOf(u'.') + 1);
}

bool isNamed(const QString &Name, const QSet<QString> &UpperNames)
{
    return UpperNames.contains(Name.toUpper()) || UpperNames.contains(lastPart(Name).toUpper());
}

} // namespace

QStringList usesListUnits(const QString &NewUsesList)
{
    QStringList Units;
    for (const QString &Part : NewUsesList.split(u','))
        if (const QString Unit = Part.trimmed(); !Unit.isEmpty())
            Units << Unit;
    return Units;
}

TUsesPlan planUsesInsertions(const QString &Text, const std::vector<TUnitLexem> &Lexems, const TUsesRules &Rules)
{
    TUsesPlan Plan;
    std::vector<TEntry> Entries;
    QSet<QString> Named; // every unit that a clause names, upper case, in full and by its last part

    bool InUses = false;
    bool AfterIn = false; // "in" read: the path string ends the entry
    TEntry Current;
    auto completeEntry = [&] {
        if (!Current.Name.isEmpty()) {
            Named.insert(Current.Name.toUpper());
            Named.insert(lastPart(Current.Name).toUpper());
            Entries.push_back(Current);
        }
        Current = TEntry();
        AfterIn = false;
    };
    for (const TUnitLexem &L : Lexems) {
        const int Code = L.Code;
        if (Code == lexKeywordUses) {
            InUses = true;
            Current = TEntry();
            continue;
        }
        if (!InUses) {
            if (L.NewName)
                ++Plan.ClassNames;
            continue;
        }
        const QStringView Lexem = QStringView(Text).mid(L.Start, L.End - L.Start);
        switch (Code) {
        case lexIdentifier:
            if (!Current.Name.isEmpty() && !Current.Name.endsWith(u'.')
                && Lexem.compare(QLatin1String("in"), Qt::CaseInsensitive) == 0) {
                AfterIn = true;
            } else if (!AfterIn) {
                Current.Name += Lexem;
                Current.End = L.End;
            }
            break;
        case lexDot:
            if (!Current.Name.isEmpty() && !AfterIn)
                Current.Name += u'.';
            break;
        case lexString:
            if (AfterIn)
                Current.End = L.End;
            break;
        case lexComma:
            completeEntry();
            break;
        case lexSemicolon:
            completeEntry();
            InUses = false;
            break;
        default:
            break;
        }
    }

    const QStringList NewUnits = usesListUnits(Rules.NewUsesList);
    auto insertBehind = [&](const TEntry &Entry) {
        QStringList Missing;
        for (const QString &Unit : NewUnits)
            if (!Named.contains(Unit.toUpper())) {
                Missing << Unit;
                Named.insert(Unit.toUpper());
            }
        if (!Missing.isEmpty())
            Plan.Insertions.append({Entry.End, QStringLiteral(", ") + Missing.join(QStringLiteral(", "))});
    };

    bool HasOldUnit = false;
    for (const TEntry &Entry : Entries)
        if (lastPart(Entry.Name).compare(Rules.OldUnit, Qt::CaseInsensitive) == 0) {
            HasOldUnit = true;
            insertBehind(Entry);
        }
    if (HasOldUnit || Plan.ClassNames == 0)
        return Plan;
    QSet<QString> Family;
    for (const QString &Unit : Rules.FamilyUnits)
        Family.insert(Unit.toUpper());
    for (const TEntry &Entry : Entries)
        if (isNamed(Entry.Name, Family)) {
            insertBehind(Entry);
            break;
        }
    return Plan;
}
