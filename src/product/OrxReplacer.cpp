#include "OrxReplacer.h"

#include "OrxClasses.h"
#include "OrxFormParser.h"
#include "SourceClasses.h"

namespace {

struct TReplacePair
{
    const char *OldClass;
    const char *NewClass;
    // The Orvex class registered right after this pair is added; null for none.
    const char *RegisteredClass = nullptr;
};

// The Orvex classes that every source set needs, registered before the first
// replacer is created.
constexpr const char *CommonClasses[] = {
    "TOrxConnection", "TOrxTransaction", "TOrxQuery", "TOrxTable",
    "TOrxStoredProc", "TOrxSQL",         "TOrxScript", "TOrxUpdateSQL",
};

constexpr TReplacePair BdePairs[] = {
    {"TDatabase", "TOrxConnection"},   {"TQuery", "TOrxQuery"},
    {"TwwQuery", "TOrxQuery"},         {"TTable", "TOrxTable"},
    {"TwwTable", "TOrxTable"},         {"TStoredProc", "TOrxStoredProc"},
    {"TwwStoredProc", "TOrxStoredProc"}, {"TUpdateSQL", "TOrxUpdateSQL"},
    {"EDBEngineError", "EOrxError"},   {"TBatchMove", "TKxBatchMove"},
};

constexpr TReplacePair IbxPairs[] = {
    {"TIBDatabase", "TOrxConnection"}, {"TIBTransaction", "TOrxTransaction"}, {"TIBQuery", "TOrxQuery"},
    {"TIBSQL", "TOrxSQL"},             {"TIBScript", "TOrxScript"},           {"TIBDataset", "TOrxQuery"},
    {"TIBTable", "TOrxTable"},         {"TIBStoredProc", "TOrxStoredProc"},   {"TIBUpdateSQL", "TOrxUpdateSQL"},
};

// "TIBDataset" and "TpFIBDataset" are written with a lower-case "s"; the pair
// lookup ignores case, so they match "TIBDataSet" and "TpFIBDataSet".
constexpr TReplacePair FibPlusPairs[] = {
    {"TpFIBDatabase", "TOrxConnection"},
    {"TpFIBTransaction", "TOrxTransaction"},
    {"TpFIBQuery", "TOrxSQL"},
    {"TpFIBScripter", "TOrxScript"},
    {"TpFIBDataset", "TOrxQuery"},
    {"TpFIBStoredProc", "TOrxStoredProc"},
    {"TSIBfibEventAlerter", "TOrxAlerter", "TOrxAlerter"},
    {"TFIBSQLMonitor", "TOrxSQLMonitor", "TOrxSQLMonitor"},
    {"EFIBError", "EOrxError"},
    {"TpFIBServerProperties", "TOrxServerProperties", "TOrxServerProperties"},
    {"TpFIBConfigService", "TOrxConfigService", "TOrxConfigService"},
    {"TpFIBLicensingService", "TOrxLicensingService", "TOrxLicensingService"},
    {"TpFIBLogService", "TOrxLogService", "TOrxLogService"},
    {"TpFIBStatisticalService", "TOrxStatisticalService", "TOrxStatisticalService"},
    {"TpFIBBackupService", "TOrxBackupService", "TOrxBackupService"},
    {"TpFIBRestoreService", "TOrxRestoreService", "TOrxRestoreService"},
    {"TpFIBValidationService", "TOrxValidationService", "TOrxValidationService"},
    {"TpFIBSecurityService", "TOrxSecurityService", "TOrxSecurityService"},
    {"TpFIBNBackupService", "TOrxBackupService"},
    {"TpFIBNRestoreService", "TOrxRestoreService"},
};

// The units of each source set, as a uses clause names them. A unit that
// declares a renamed class often names only the unit of that class
// (IBQuery, pFIBDataSet), not the connection's unit that the new units go
// behind; it then gets them behind the first of these. The IBX and BDE
// units also come with the unit scope of newer Delphi versions.
constexpr const char *BdeUnits[] = {
    "DBTables", "BDE", "BDEConst", "DBBdeWeb", "SMINTF", "Wwtable", "Wwquery", "Wwstorep", "wwQBE",
};
constexpr const char *IbxUnits[] = {
    "IBDatabase", "IBCustomDataSet", "IBQuery", "IBTable", "IBStoredProc", "IBSQL", "IBUpdateSQL",
    "IBScript", "IBServices", "IBDatabaseInfo", "IBEvents", "IBSQLMonitor", "IBExtract", "IBHeader",
    "IBIntf", "IBExternals", "IBErrorCodes", "IBUtils", "IBBlob", "IBXConst", "IBFieldHelper",
};
constexpr const char *FibPlusUnits[] = {
    "FIBDatabase", "pFIBDatabase", "FIBDataSet", "pFIBDataSet", "FIBQuery", "pFIBQuery", "pFIBStoredProc",
    "pFIBScripter", "FIBSQLMonitor", "SIBEABase", "SIBFIBEA", "pFIBErrorHandler", "pFIBProps",
    "FIBMiscellaneous", "pFIBSQLLog", "pFIBDataInfo", "pFIBCacheQueries", "IB_Services", "IB_ErrorCodes",
    "IB_Externals", "ibase", "FIBConsts", "FIBPlatforms",
};

// The BDE's classes without a pair; the InfoPower datasets that have none
// (TwwQBE) too.
constexpr const char *BdeClasses[] = {
    "TSession", "TSessionList", "TBDEDataSet", "TDBDataSet", "TNestedTable", "TBDEClientDataSet",
    "TBlobStream", "TwwQBE",
};

template <std::size_t N>
QStringList names(const char *const (&Names)[N])
{
    QStringList Result;
    for (const char *Name : Names)
        Result << QString::fromLatin1(Name);
    return Result;
}

template <std::size_t N>
QStringList familyUnits(const char *const (&Units)[N], const char *Scope)
{
    QStringList Result;
    for (const char *Unit : Units)
        Result << QString::fromLatin1(Unit);
    if (Scope)
        for (const char *Unit : Units)
            Result << QString::fromLatin1(Scope) + u'.' + QString::fromLatin1(Unit);
    return Result;
}

std::unique_ptr<TOrxComponentReplacer> makeReplacer(const char *OldUsesUnit, const char *NewUsesList,
                                                     TReplaceOptions *Options)
{
    return std::make_unique<TOrxComponentReplacer>(&MakeFormParser<TOrxFormParser>, QString::fromLatin1(OldUsesUnit),
                                                   QString::fromLatin1(NewUsesList), Options);
}

template <std::size_t N>
void addPairs(TComponentReplacer &Replacer, const TReplacePair (&Pairs)[N])
{
    for (const TReplacePair &Pair : Pairs) {
        Replacer.AddReplacePair(QString::fromLatin1(Pair.OldClass), QString::fromLatin1(Pair.NewClass));
        if (Pair.RegisteredClass)
            registerOrxClass(QString::fromLatin1(Pair.RegisteredClass));
    }
}

} // namespace

QString TOrxComponentReplacer::GetReplacementText(const QString &OldName, const QString &NewName) const
{
    if (NewName != u"TOrxConnection" || OldName != u"TDatabase")
        return TComponentReplacer::GetReplacementText(OldName, NewName);
    QString Field = QStringLiteral("Transaction");
    const TIdentifierContext &Context = IdentifierContext();
    if (Context.Text) {
        if (!IsDeclaredType(*Context.Text, Context.Start, Context.End))
            return NewName;
        // The unit's own count: units converted on other threads keep theirs.
        if (++Context.Counter > 1)
            Field += QString::number(Context.Counter);
    }
    return NewName + u';' + LineBreak() + QStringLiteral("    ") + Field + QStringLiteral(": TOrxTransaction");
}

bool TOrxComponentReplacer::IsDeclaredType(const QString &Text, qsizetype Start, qsizetype End)
{
    auto IsBlank = [&](qsizetype I) { return Text[I] == u' ' || Text[I] == u'\t'; };
    auto IsNameChar = [&](qsizetype I) { return Text[I].isLetterOrNumber() || Text[I] == u'_'; };
    qsizetype P = End;
    while (P < Text.size() && IsBlank(P))
        ++P;
    if (P >= Text.size() || Text[P] != u';')
        return false;
    P = Start;
    while (P > 0 && IsBlank(P - 1))
        --P;
    if (P == 0 || Text[P - 1] != u':')
        return false;
    --P;
    // Names separated by commas, back to the start of the line.
    for (;;) {
        while (P > 0 && IsBlank(P - 1))
            --P;
        const qsizetype NameEnd = P;
        while (P > 0 && IsNameChar(P - 1))
            --P;
        if (P == NameEnd)
            return false;
        while (P > 0 && IsBlank(P - 1))
            --P;
        if (P == 0 || Text[P - 1] == u'\n' || Text[P - 1] == u'\r')
            return true;
        if (Text[P - 1] != u',')
            return false;
        --P;
    }
}

TOrxProduct::TOrxProduct()
{
    FReplaceOptions = std::make_unique<TReplaceOptions>(QStringLiteral("BDE/IBX/FibPlus"));
    for (const char *Class : CommonClasses)
        registerOrxClass(QString::fromLatin1(Class));
    registerSourceClasses();

    // The new units are written right behind the old unit's name in a uses
    // clause, hence the leading comma.
    FBdeReplacer = makeReplacer("DBTables", ", Quorvel, Orx, Lintra, OrxError", FReplaceOptions.get());
    addPairs(*FBdeReplacer, BdePairs);
    FBdeReplacer->SetFamily({familyUnits(BdeUnits, "Bde"), names(BdeClasses), {}, QStringLiteral("Dbi"),
                              QStringLiteral("BDE")});
    FIbxReplacer = makeReplacer("IBDatabase", ", Quorvel, Orx, OrxScript, Lintra, OrxError", FReplaceOptions.get());
    addPairs(*FIbxReplacer, IbxPairs);
    // IBX classes start with TIB or EIB (TIBStringField, TIBDatabaseInfo,
    // EIBError); FIBPlus ones with TpFIB, TFIB, EFIB or TSIBfib (in any
    // letter case: TpFibErrorHandler). A name that merely contains such a
    // prefix elsewhere (TMyIBQuery) is not of the set.
    FIbxReplacer->SetFamily({familyUnits(IbxUnits, "IBX"), {}, {QStringLiteral("TIB"), QStringLiteral("EIB")}, QString(),
                              QStringLiteral("IBX")});
    FFibPlusReplacer = makeReplacer("FIBDatabase",
                                    ", Quorvel, Lintra, ZuSQLMonitor, ZuAlerter, ZuScript, Orx, OrxScript, OrxAlerter, "
                                    "OrxSQLMonitor, OrxError, OrxAdmin",
                                    FReplaceOptions.get());
    addPairs(*FFibPlusReplacer, FibPlusPairs);
    FFibPlusReplacer->SetFamily({familyUnits(FibPlusUnits, nullptr), {},
                                 {QStringLiteral("TpFIB"), QStringLiteral("TFIB"), QStringLiteral("EFIB"),
                                  QStringLiteral("TSIBfib")},
                                 QString(), QStringLiteral("FIBPlus")});
}

TOrxProduct::~TOrxProduct()
{
    // The replacers first, in the order of creation; the options they share last.
    FBdeReplacer.reset();
    FIbxReplacer.reset();
    FFibPlusReplacer.reset();
    FReplaceOptions.reset();
}

TOrxComponentReplacer *TOrxProduct::Replacer(int Position) const
{
    switch (Position) {
    case BdePosition:
        return FBdeReplacer.get();
    case IbxPosition:
        return FIbxReplacer.get();
    case FibPlusPosition:
        return FFibPlusReplacer.get();
    default:
        return nullptr;
    }
}

QStringList TOrxProduct::SourceSetNames()
{
    return {QStringLiteral("bde"), QStringLiteral("ibx"), QStringLiteral("fibplus")};
}

int TOrxProduct::ReplacerIndexOf(const QString &SourceSet)
{
    return int(SourceSetNames().indexOf(SourceSet.toLower()));
}
