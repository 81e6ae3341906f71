#include "OrxFormParser.h"

#include "ClassRegistry.h"
#include "DefaultConversion.h"

#include <algorithm>
#include <string_view>
#include <span>

// The rules are one table, tried from the top; the first rule whose class
// test, property name and (where it has one) value condition hold decides,
// and nothing further is tried. Their order is that of the groups they form:
//   G1 FIBPlus connection, G2 FIBPlus transaction, G3 FIBPlus dataset,
//   G4 FIBPlus stored procedure, G5 FIBPlus script, G6 FIBPlus services,
//   G7 rules for several classes (IBX, BDE, any class).
// A property that no rule takes goes to the default conversion.
// Class names, property names and values are compared exactly.

namespace {

using TNames = std::span<const char16_t *const>;

struct TNamePair
{
    const char16_t *From;
    const char16_t *To;
};
using TNamePairs = std::span<const TNamePair>;

// Which old classes a rule applies to.
enum class TClassTest {
    Any,           // every class
    OneOf,         // one of the listed classes
    ServiceClass,  // a class whose name contains "Service"
};

struct TClasses
{
    TClassTest Test;
    TNames Names;
};

enum class TRuleKind {
    Rename,   // the property under the target name, value unchanged
    Values,   // the value mapped through the pairs under the target name; other values dropped
    SetEdit,  // set elements removed, then renamed; the property keeps its name
    Params,   // connection parameters to Username, Password, Options.Charset, Options.Role
    SqlNames, // an IBX dataset's SQL statement to the Orvex query's
    Isolation, // as Values; the transaction's TPBMode is remembered
    TrParams, // a transaction's parameters: remembered, dropped; entries that nothing carries over noted
};

struct TRule
{
    TClasses Classes;
    std::u16string_view Property; // with its length: every property is compared with every rule
    TRuleKind Kind;
    const char16_t *Target = nullptr;
    TNamePairs Pairs = {};
    TNames Removals = {};
    bool IsEmptyValuePassed = false; // an empty value text goes on to the next rule
};

constexpr TRule rename(TClasses Classes, const char16_t *Property, const char16_t *Target)
{
    return {Classes, Property, TRuleKind::Rename, Target};
}

constexpr TRule values(TClasses Classes, const char16_t *Property, TNamePairs Pairs, const char16_t *Target = nullptr)
{
    return {Classes, Property, TRuleKind::Values, Target ? Target : Property, Pairs};
}

constexpr TRule setEdit(TClasses Classes, const char16_t *Property, TNames Removals, TNamePairs Renames)
{
    return {Classes, Property, TRuleKind::SetEdit, Property, Renames, Removals};
}

// Class lists.
constexpr const char16_t *FibDatabase[] = {u"TpFIBDatabase"};
constexpr const char16_t *FibTransaction[] = {u"TpFIBTransaction"};
constexpr const char16_t *FibDataSet[] = {u"TpFIBDataSet"};
constexpr const char16_t *FibStoredProc[] = {u"TpFIBStoredProc"};
constexpr const char16_t *FibScripter[] = {u"TpFIBScripter"};
constexpr const char16_t *FibLicensing[] = {u"TpFIBLicensingService"};
constexpr const char16_t *FibStatistical[] = {u"TpFIBStatisticalService"};
constexpr const char16_t *FibBackup[] = {u"TpFIBBackupService"};
constexpr const char16_t *FibRestore[] = {u"TpFIBRestoreService"};
constexpr const char16_t *FibValidation[] = {u"TpFIBValidationService"};
constexpr const char16_t *FibSecurity[] = {u"TpFIBSecurityService"};
constexpr const char16_t *FibNBackup[] = {u"TpFIBNBackupService"};
constexpr const char16_t *FibNRestore[] = {u"TpFIBNRestoreService"};
constexpr const char16_t *IbDatabase[] = {u"TIBDatabase"};
constexpr const char16_t *IbTransaction[] = {u"TIBTransaction"};
constexpr const char16_t *IbDataSet[] = {u"TIBDataSet"};
constexpr const char16_t *IbScript[] = {u"TIBScript"};
constexpr const char16_t *IbQueryOrDataSet[] = {u"TIBQuery", u"TIBDataSet"};
constexpr const char16_t *DetailFieldsClasses[] = {u"TIBDataSet", u"TTable", u"TIBTable", u"TIBQuery"};

constexpr TClasses oneOf(TNames Names)
{
    return {TClassTest::OneOf, Names};
}
constexpr TClasses AnyClass{TClassTest::Any, {}};
constexpr TClasses AnyService{TClassTest::ServiceClass, {}};

// Value maps.
constexpr TNamePair TpbModes[] = {
    {u"tpbDefault", u"iblSnapshot"},
    {u"tpbRepeatableRead", u"iblSnapshot"},
    {u"tpbReadCommitted", u"iblReadCommitted"},
};
constexpr TNamePair Protocols[] = {{u"TCP", u"TCP"}, {u"SPX", u"SPX"}, {u"NamedPipe", u"NetBEUI"}};
constexpr TNamePair LicenseActions[] = {{u"LicenseAdd", u"laAdd"}, {u"LicenseRemove", u"laRemove"}};
constexpr TNamePair GlobalActions[] = {
    {u"CommitGlobal", u"tgCommitGlobal"},
    {u"NoGlobalAction", u"tgNoGlobalAction"},
    {u"RollbackGlobal", u"tgRollbackGlobal"},
};
constexpr TNamePair SecurityActions[] = {
    {u"ActionAddUser", u"saAddUser"},
    {u"ActionDeleteUser", u"saDeleteUser"},
    {u"ActionDisplayUser", u"saDisplayUser"},
    {u"ActionModifyUser", u"saModifyUser"},
};

// Set elements.
constexpr TNamePair StatisticalOptions[] = {
    {u"DataPages", u"soDataPages"},     {u"DbLog", u"soDbLog"},
    {u"HeaderPages", u"soHeaderPages"}, {u"IndexPages", u"soIndexPages"},
    {u"SystemRelations", u"soSystemRelations"}, {u"RecordVersions", u"soRecordVersions"},
    {u"StatTables", u"soStatTables"},
};
constexpr TNamePair BackupOptions[] = {
    {u"IgnoreChecksums", u"boIgnoreChecksums"},   {u"IgnoreLimbo", u"boIgnoreLimbo"},
    {u"MetadataOnly", u"boMetadataOnly"},         {u"NoGarbageCollection", u"boNoGarbageCollection"},
    {u"OldMetadataDesc", u"boOldMetadataDesc"},   {u"NonTransportable", u"boNonTransportable"},
    {u"ConvertExtTables", u"boConvertExtTables"},
};
constexpr const char16_t *RestoreRemovals[] = {u"OnlyMetadata", u"FixFssMetadata", u"FixFssData"};
constexpr TNamePair RestoreOptions[] = {
    {u"DeactivateIndexes", u"roDeactivateIndexes"}, {u"NoShadow", u"roNoShadow"},
    {u"NoValidityCheck", u"roNoValidityCheck"},     {u"OneRelationAtATime", u"roOneRelationAtATime"},
    {u"Replace", u"roReplace"},                     {u"UseAllSpace", u"roUseAllSpace"},
    {u"ValidationCheck", u"roValidationCheck"},
};
constexpr const char16_t *ValidationRemovals[] = {u"LimboTransactions", u"SweepDB"};
constexpr TNamePair ValidationOptions[] = {
    {u"CheckDB", u"voCheckDB"},         {u"IgnoreChecksum", u"voIgnoreChecksum"},
    {u"KillShadows", u"voKillShadows"}, {u"MendDB", u"voMendDB"},
    {u"ValidateDB", u"voValidateDB"},   {u"ValidateFull", u"voValidateFull"},
};

constexpr TRule Rules[] = {
    // G1. FIBPlus connection.
    rename(oneOf(FibDatabase), u"DBName", u"Database"),
    rename(oneOf(FibDatabase), u"UseLoginPrompt", u"LoginPrompt"),
    rename(oneOf(FibDatabase), u"LibraryName", u"ClientLibrary"),
    // G2. FIBPlus transaction.
    rename(oneOf(FibTransaction), u"TimeoutAction", u"DefaultCloseAction"),
    {oneOf(FibTransaction), u"TPBMode", TRuleKind::Isolation, u"IsolationLevel", TpbModes, {}, true},
    {oneOf(FibTransaction), u"TRParams.Strings", TRuleKind::TrParams},
    // G3. FIBPlus dataset.
    rename(oneOf(FibDataSet), u"UpdateSQL.Strings", u"SQLUpdate.Strings"),
    rename(oneOf(FibDataSet), u"DeleteSQL.Strings", u"SQLDelete.Strings"),
    rename(oneOf(FibDataSet), u"InsertSQL.Strings", u"SQLInsert.Strings"),
    rename(oneOf(FibDataSet), u"RefreshSQL.Strings", u"SQLRefresh.Strings"),
    rename(oneOf(FibDataSet), u"SelectSQL.Strings", u"SQL.Strings"),
    rename(oneOf(FibDataSet), u"AutoUpdateOptions.UpdateTableName", u"UpdatingTable"),
    rename(oneOf(FibDataSet), u"AutoUpdateOptions.KeyFields", u"KeyFields"),
    rename(oneOf(FibDataSet), u"AutoUpdateOptions.GeneratorName", u"KeyGenerator"),
    rename(oneOf(FibDataSet), u"AutoUpdateOptions.GeneratorStep", u"GeneratorStep"),
    rename(oneOf(FibDataSet), u"poImportDefaultValues", u"Options.DefaultValues"),
    rename(oneOf(FibDataSet), u"poSetRequiredFields", u"Options.RequiredFields"),
    rename(oneOf(FibDataSet), u"poSetReadOnlyFields", u"Options.SetFieldsReadOnly"),
    rename(oneOf(FibDataSet), u"poAskRecordCount", u"Options.QueryRecCount"),
    rename(oneOf(FibDataSet), u"poEmptyStrToNull", u"Options.SetEmptyStrToNull"),
    rename(oneOf(FibDataSet), u"oTrimCharFields", u"Options.TrimFixedChar"),
    rename(oneOf(FibDataSet), u"oFetchAll", u"FetchAll"),
    rename(oneOf(FibDataSet), u"DataSource", u"MasterSource"),
    // G4. FIBPlus stored procedure.
    rename(oneOf(FibStoredProc), u"qoAutoCommit", u"AutoCommit"),
    rename(oneOf(FibStoredProc), u"qoTrimCharFields", u"Options.TrimFixedChar"),
    // G5. FIBPlus script.
    rename(oneOf(FibScripter), u"Script.Strings", u"SQL.Strings"),
    // G6. FIBPlus services: first what they share, then the single classes.
    rename(AnyService, u"DatabaseName", u"Database"),
    rename(AnyService, u"LibraryName", u"ClientLibrary"),
    rename(AnyService, u"ServerName", u"Server"),
    values(AnyService, u"Protocol", Protocols),
    values(oneOf(FibLicensing), u"Action", LicenseActions),
    setEdit(oneOf(FibStatistical), u"Options", {}, StatisticalOptions),
    setEdit(oneOf(FibBackup), u"Options", {}, BackupOptions),
    setEdit(oneOf(FibRestore), u"Options", RestoreRemovals, RestoreOptions),
    values(oneOf(FibValidation), u"GlobalAction", GlobalActions),
    setEdit(oneOf(FibValidation), u"Options", ValidationRemovals, ValidationOptions),
    values(oneOf(FibSecurity), u"SecurityAction", SecurityActions),
    rename(oneOf(FibSecurity), u"SQlRole", u"UserInfo.SQLRole"),
    rename(oneOf(FibSecurity), u"FirstName", u"UserInfo.FirstName"),
    rename(oneOf(FibSecurity), u"MiddleName", u"UserInfo.MiddleName"),
    rename(oneOf(FibSecurity), u"LastName", u"UserInfo.LastName"),
    rename(oneOf(FibSecurity), u"UserID", u"UserInfo.UserID"),
    rename(oneOf(FibSecurity), u"GroupID", u"UserInfo.GroupID"),
    rename(oneOf(FibNBackup), u"Level", u"NBackupLevel"),
    rename(oneOf(FibNRestore), u"BackupFiles.Strings", u"BackupFile.Strings"),
    // G7. Rules for several classes.
    rename(AnyClass, u"Conditions", u"Macros"),
    rename(AnyClass, u"Database", u"Connection"),
    rename(AnyClass, u"DefaultDatabase", u"DefaultConnection"),
    rename(oneOf(IbDatabase), u"DatabaseName", u"Database"),
    {oneOf(IbDatabase), u"Params.Strings", TRuleKind::Params},
    {oneOf(FibDatabase), u"DBParams.Strings", TRuleKind::Params},
    rename(oneOf(IbTransaction), u"DefaultAction", u"DefaultCloseAction"),
    {oneOf(IbDataSet), {}, TRuleKind::SqlNames},
    rename(oneOf(IbScript), u"Script.Strings", u"SQL.Strings"),
    rename(oneOf(IbScript), u"Terminator", u"Delimiter"),
    rename(oneOf(IbQueryOrDataSet), u"DataSource", u"MasterSource"),
    rename(oneOf(DetailFieldsClasses), u"IndexFieldNames", u"DetailFields"),
};

// The SQL statements of the IBX dataset and those of the Orvex query, by
// position; each is written with ".Strings" behind it in a form.
constexpr TNamePair IbxSqlNames[] = {
    {u"SelectSQL", u"SQL"},
    {u"RefreshSQL", u"SQLRefresh"},
    {u"InsertSQL", u"SQLInsert"},
    {u"ModifySQL", u"SQLUpdate"},
    {u"DeleteSQL", u"SQLDelete"},
};

// The connection parameters that carry over, and the properties that receive
// them, in the order they are written.
constexpr TNamePair ConnectionParams[] = {
    {u"USER_NAME", u"Username"},
    {u"PASSWORD", u"Password"},
    {u"LC_CTYPE", u"Options.Charset"},
    {u"SQL_ROLE_NAME", u"Options.Role"},
};

// Forms name classes exactly as the rules do; code may spell them in any
// letter case.
bool appliesTo(const TClasses &Classes, const QString &OldClass, Qt::CaseSensitivity Case = Qt::CaseSensitive)
{
    switch (Classes.Test) {
    case TClassTest::Any:
        return true;
    case TClassTest::ServiceClass:
        return OldClass.contains(u"Service", Case);
    case TClassTest::OneOf:
        for (const char16_t *Name : Classes.Names)
            if (QStringView(OldClass).compare(QStringView(Name), Case) == 0)
                return true;
        return false;
    }
    return false;
}

// The TRParams entries that name the isolation a transaction runs with:
// IsolationLevel carries them over.
constexpr const char16_t *IsolationParams[] = {u"read_committed", u"concurrency"};

bool hasParam(const QStringList &Items, QStringView Name)
{
    for (const QString &Item : Items)
        if (QStringView(Item).trimmed().compare(Name, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

bool isIdentifier(QStringView Name)
{
    if (Name.isEmpty())
        return false;
    for (const QChar Ch : Name)
        if (!(Ch.isLetterOrNumber() || Ch == u'_'))
            return false;
    return true;
}

// The elements of a set value "[A, B]"; false when the value is no such set.
bool splitSet(QStringView Value, QList<QStringView> &Elements)
{
    const QStringView Set = Value.trimmed();
    if (Set.size() < 2 || Set.front() != u'[' || Set.back() != u']')
        return false;
    const QStringView Inner = Set.mid(1, Set.size() - 2).trimmed();
    if (Inner.isEmpty())
        return true;
    for (const QStringView Part : Inner.split(u',')) {
        const QStringView Element = Part.trimmed();
        if (!isIdentifier(Element))
            return false;
        Elements << Element;
    }
    return true;
}

// The set edit on a text that is not a set of identifiers: each removal and
// each rename at the first occurrence of the name in the text.
QString editText(QString Value, TNames Removals, TNamePairs Renames)
{
    for (const char16_t *Name : Removals) {
        const QStringView Element(Name);
        const qsizetype P = Value.indexOf(Element);
        if (P < 0)
            continue;
        // The name goes with the separator before it (", " or a blank) or,
        // first in a list, with the one after it; never with a character of
        // its neighbours.
        const qsizetype N = Element.size();
        if (P >= 2 && Value[P - 1] == u' ' && Value[P - 2] == u',')
            Value.remove(P - 2, N + 2);
        else if (P + N < Value.size() && Value[P + N] == u',')
            Value.remove(P, N + (P + N + 1 < Value.size() && Value[P + N + 1] == u' ' ? 2 : 1));
        else if (P >= 1 && Value[P - 1] == u' ')
            Value.remove(P - 1, N + 1);
        else
            Value.remove(P, N);
    }
    for (const TNamePair &Pair : Renames) {
        const qsizetype P = Value.indexOf(QStringView(Pair.From));
        if (P >= 0)
            Value.replace(P, QStringView(Pair.From).size(), QString::fromUtf16(Pair.To));
    }
    return Value;
}

// Removes the listed elements of a set, then renames elements, each by its
// whole name. The text stays as written when nothing changes; otherwise the
// set is written as a form writer writes it, "[A, B]".
QString editSet(const QString &Value, TNames Removals, TNamePairs Renames)
{
    QList<QStringView> Views;
    if (!splitSet(Value, Views))
        return editText(Value, Removals, Renames);
    QStringList Elements;
    for (const QStringView View : Views)
        Elements << View.toString();
    bool IsChanged = false;
    for (const char16_t *Name : Removals) {
        const qsizetype I = Elements.indexOf(QStringView(Name));
        if (I >= 0) {
            Elements.removeAt(I);
            IsChanged = true;
        }
    }
    for (const TNamePair &Pair : Renames) {
        const qsizetype I = Elements.indexOf(QStringView(Pair.From));
        if (I >= 0) {
            Elements[I] = QString::fromUtf16(Pair.To);
            IsChanged = true;
        }
    }
    return IsChanged ? u'[' + Elements.join(QStringLiteral(", ")) + u']' : Value;
}

} // namespace

void TOrxFormParser::ConvertProperty(const QString &PropName, const QString &PropValue)
{
    if (!convertByProductRules(PropName, PropValue))
        TFormParser::ConvertProperty(PropName, PropValue);
}

bool TOrxFormParser::convertByProductRules(const QString &PropName, const QString &PropValue)
{
    const QString &OldClass = FormState().TypeName();
    for (const TRule &Rule : Rules) {
        if (Rule.Kind == TRuleKind::SqlNames) {
            if (!appliesTo(Rule.Classes, OldClass) || !PropName.endsWith(u".Strings"))
                continue;
            const QStringView Statement = QStringView(PropName).chopped(8);
            for (const TNamePair &Pair : IbxSqlNames)
                if (Statement == QStringView(Pair.From)) {
                    AddProperty(QString::fromUtf16(Pair.To) + QStringLiteral(".Strings"), PropValue);
                    return true;
                }
            continue;
        }
        if (PropName.size() != qsizetype(Rule.Property.size()) || PropName != QStringView(Rule.Property) ||
            !appliesTo(Rule.Classes, OldClass))
            continue;
        if (Rule.IsEmptyValuePassed && PropValue.isEmpty())
            continue;
        switch (Rule.Kind) {
        case TRuleKind::Rename:
            AddProperty(QString::fromUtf16(Rule.Target), PropValue);
            break;
        case TRuleKind::Isolation:
            FIsDefaultTpb = PropValue == u"tpbDefault";
            [[fallthrough]];
        case TRuleKind::Values: {
            const auto Pair = std::find_if(Rule.Pairs.begin(), Rule.Pairs.end(),
                                           [&](const TNamePair &P) { return PropValue == QStringView(P.From); });
            if (Pair != Rule.Pairs.end())
                AddProperty(QString::fromUtf16(Rule.Target), QString::fromUtf16(Pair->To));
            else
                NoteDropped(PropName, PropValue, TDropReason::NoCounterpart);
            break;
        }
        case TRuleKind::SetEdit: {
            AddProperty(PropName, editSet(PropValue, Rule.Removals, Rule.Pairs));
            // The removed elements have no counterpart: the user is told.
            QList<QStringView> Elements;
            const bool IsSet = splitSet(PropValue, Elements);
            QStringList Removed;
            for (const char16_t *Name : Rule.Removals)
                if (IsSet ? Elements.contains(QStringView(Name)) : PropValue.contains(QStringView(Name)))
                    Removed << QString::fromUtf16(Name);
            if (!Removed.isEmpty())
                NoteDropped(PropName, Removed.join(QStringLiteral(", ")), TDropReason::ElementsRemoved);
            break;
        }
        case TRuleKind::Params: {
            const QStringList Items = stringListItems(PropValue);
            QStringList Keys;
            for (const TNamePair &Param : ConnectionParams) {
                Keys << QString::fromUtf16(Param.From);
                const QString Value = valueOfKey(Items, QStringView(Param.From));
                if (!Value.isEmpty())
                    AddProperty(QString::fromUtf16(Param.To), quotedString(Value));
            }
            if (const QStringList Left = itemsWithoutKeys(Items, Keys); !Left.isEmpty())
                NoteDropped(PropName, Left.join(QStringLiteral(", ")), TDropReason::NotCarried);
            break;
        }
        case TRuleKind::TrParams: {
            FTrParams = stringListItems(PropValue);
            QStringList Left;
            for (const QString &Item : std::as_const(FTrParams))
                if (!Item.trimmed().isEmpty()
                    && std::none_of(std::begin(IsolationParams), std::end(IsolationParams), [&](const char16_t *Name) {
                           return QStringView(Item).trimmed().compare(QStringView(Name), Qt::CaseInsensitive) == 0;
                       }))
                    Left << Item.trimmed();
            if (!Left.isEmpty())
                NoteDropped(PropName, Left.join(QStringLiteral(", ")), TDropReason::NotCarried);
            break;
        }
        case TRuleKind::SqlNames:
            break;
        }
        return true;
    }
    return false;
}

bool TOrxFormParser::IsAutoCommitClass(QStringView OldClass)
{
    static constexpr const char16_t *Classes[] = {
        u"tquery",   u"ttable",   u"tstoredproc",   u"twwquery",   u"twwtable", u"twwstoredproc",
        u"tibquery", u"tibtable", u"tibstoredproc", u"tibdataset", u"tibscript", u"tibsql",
    };
    // ASCII letters only: a class name with other letters matches no entry.
    QString Lower(OldClass.size(), Qt::Uninitialized);
    for (qsizetype I = 0; I < OldClass.size(); ++I) {
        const char16_t C = OldClass[I].unicode();
        Lower[I] = QChar(C >= u'A' && C <= u'Z' ? char16_t(C + 32) : C);
    }
    for (const char16_t *Name : Classes)
        if (Lower == QStringView(Name))
            return true;
    return false;
}

void TOrxFormParser::BeforeParse()
{
    FIsDefaultTpb = false;
    FTrParams.clear();
    TFormParser::BeforeParse();
}

QString TOrxFormParser::MakeObject(int Level)
{
    const TFormParseState &S = FormState();
    if (!S.ObjKeyWord().isEmpty() && !S.Name().isEmpty() && IsAutoCommitClass(S.TypeName()))
        AddProperty(QStringLiteral("AutoCommit"), QStringLiteral("True"));
    // tpbDefault leaves the isolation to the parameters: a read-committed
    // transaction stays read committed, not snapshot.
    if (FIsDefaultTpb && S.TypeName() == u"TpFIBTransaction" && hasParam(FTrParams, u"read_committed"))
        for (TFormProperty &Prop : FProps)
            if (Prop.Name == u"IsolationLevel")
                Prop.Lines = QStringList{QStringLiteral("iblReadCommitted")};
    return TFormParser::MakeObject(Level);
}

TMemberFate TOrxFormParser::MemberFate(const QString &OldClass, const QString &NewClass, const QString &Member) const
{
    using TKind = TMemberFate::TKind;
    const qsizetype Dot = Member.indexOf(u'.');
    const QStringView First = QStringView(Member).left(Dot);
    const auto Is = [](QStringView A, QStringView B) { return A.compare(B, Qt::CaseInsensitive) == 0; };
    const auto IsStrings = [&](std::u16string_view Property) {
        // "SelectSQL.Strings" is the form's name of the property SelectSQL.
        const QStringView P(Property.data(), qsizetype(Property.size()));
        return P.endsWith(u".Strings") && Is(P.chopped(8), First);
    };
    // The first rule that takes the member decides, as in a form.
    for (const TRule &Rule : Rules) {
        if (!appliesTo(Rule.Classes, OldClass, Qt::CaseInsensitive))
            continue;
        const QStringView Property(Rule.Property.data(), qsizetype(Rule.Property.size()));
        switch (Rule.Kind) {
        case TRuleKind::Rename: {
            const QStringView Target(Rule.Target);
            if (Dot >= 0 && Is(Property, Member))
                return {TKind::Renamed, Target.toString(), 2};
            if (Is(Property, First))
                return {TKind::Renamed, Target.toString()};
            if (IsStrings(Rule.Property) && Target.endsWith(u".Strings"))
                return {TKind::Renamed, Target.chopped(8).toString()};
            break;
        }
        case TRuleKind::Values:
        case TRuleKind::Isolation:
        case TRuleKind::SetEdit:
            if (Is(Property, First))
                return Is(QStringView(Rule.Target), Property) ? TMemberFate()
                                                             : TMemberFate{TKind::Replaced, QString::fromUtf16(Rule.Target)};
            break;
        case TRuleKind::Params:
        case TRuleKind::TrParams:
            if (IsStrings(Rule.Property)) {
                const TPublishedProperties *New = TClassRegistry::Global().FindClass(NewClass);
                if (New && New->Contains(First))
                    return {};
                QStringList Targets;
                for (const TNamePair &Param : ConnectionParams)
                    Targets << QString::fromUtf16(Param.To);
                return {TKind::Replaced, Rule.Kind == TRuleKind::Params ? Targets.join(QStringLiteral(", "))
                                                                       : QStringLiteral("IsolationLevel")};
            }
            break;
        case TRuleKind::SqlNames:
            for (const TNamePair &Pair : IbxSqlNames)
                if (Is(QStringView(Pair.From), First))
                    return {TKind::Renamed, QString::fromUtf16(Pair.To)};
            break;
        }
    }
    return TFormParser::MemberFate(OldClass, NewClass, Member);
}
