#include "OrxClasses.h"

#include "ClassRegistry.h"
#include "Errors.h"

// How the table was drawn up. Every class publishes what every component
// publishes (Name, Tag). Every dataset publishes what a TDataSet descendant
// publishes (Active, the filter properties, the Before/After and On events).
// Every class publishes each property that the conversion rules write for it
// (a rename target such as Connection, DetailFields or IsolationLevel, the
// first part of a dotted target such as Options of "Options.Charset", and
// AutoCommit where it is added). Then come the properties of the BDE,
// InfoPower, IBX and FIBPlus components that users set in their forms and that
// have an Orvex counterpart of the same name taking the same values
// (Params, ParamData, CachedUpdates, UpdateObject, MasterFields, TableName,
// StoredProcName, the event handlers of the datasets, ...).
//
// A property that is not listed is dropped from converted forms; one that is
// listed but takes other values in Orvex would make the form fail to load. So
// a source property whose Orvex namesake means something else (the BDE's
// TransIsolation, InfoPower's ControlType, the FIBPlus TRParams) is left out.
//
// A name with a trailing dot ("Options.") is an object with sub-properties:
// the rules write "Options.TrimFixedChar" and the like for it, while a plain
// value such as a FIBPlus dataset's "Options = [...]" set is dropped, since
// it would keep the form from loading.

namespace {

// Groups of properties, as space-separated names.
constexpr const char *Component = "Name Tag";

constexpr const char *DataSet =
    "Active AutoCalcFields Filter Filtered FilterOptions "
    "BeforeOpen AfterOpen BeforeClose AfterClose BeforeInsert AfterInsert BeforeEdit AfterEdit "
    "BeforePost AfterPost BeforeCancel AfterCancel BeforeDelete AfterDelete BeforeScroll AfterScroll "
    "BeforeRefresh AfterRefresh OnCalcFields OnDeleteError OnEditError OnFilterRecord OnNewRecord OnPostError";

// What the Orvex datasets add to TDataSet.
constexpr const char *OrxDataSet =
    "Connection Transaction UpdateTransaction Options. FetchAll FetchRows AutoCommit CachedUpdates "
    "UpdateObject ReadOnly UniDirectional MasterSource MasterFields DetailFields KeyFields KeyGenerator "
    "GeneratorStep OnUpdateError OnUpdateRecord";

// The update statements of a dataset that writes its own changes.
constexpr const char *UpdateStatements = "UpdatingTable SQLInsert SQLUpdate SQLDelete SQLRefresh SQLLock";

constexpr const char *Parameters = "Params ParamData ParamCheck Macros";

constexpr const char *Execution = "BeforeExecute AfterExecute";

// What the server service classes share.
constexpr const char *Service = "Active Server Protocol Username Password Params LoginPrompt ClientLibrary";

struct TOrxClassRow
{
    const char *ClassName;
    const char *Groups[7]; // unused slots are null
};

// One row per registered class, in the order of registration.
constexpr TOrxClassRow OrxClassTable[] = {
    {"TOrxConnection",
     {Component, "Connected Database Server Port Username Password Options. Params LoginPrompt ClientLibrary "
                 "DefaultTransaction SQLDialect BeforeConnect AfterConnect BeforeDisconnect AfterDisconnect "
                 "OnLogin OnError"}},
    {"TOrxTransaction", {Component, "Active DefaultConnection DefaultCloseAction IsolationLevel Params"}},
    {"TOrxQuery", {Component, DataSet, OrxDataSet, UpdateStatements, Parameters, Execution, "SQL IndexFieldNames"}},
    {"TOrxTable", {Component, DataSet, OrxDataSet, "TableName IndexFieldNames OrderFields FieldDefs"}},
    {"TOrxStoredProc", {Component, DataSet, OrxDataSet, Parameters, Execution, "StoredProcName SQL"}},
    {"TOrxSQL", {Component, Parameters, Execution, "Connection Transaction SQL AutoCommit"}},
    {"TOrxScript", {Component, Execution, "Connection Transaction SQL Delimiter AutoCommit DataSet OnError"}},
    {"TOrxUpdateSQL", {Component, "DataSet InsertSQL ModifySQL DeleteSQL RefreshSQL LockSQL"}},
    {"TOrxAlerter", {Component, "Active AutoRegister Connection Events OnEvent"}},
    {"TOrxSQLMonitor", {Component, "Active Options TraceFlags OnSQL"}},
    {"TOrxServerProperties", {Component, Service}},
    {"TOrxConfigService", {Component, Service, "Database"}},
    {"TOrxLicensingService", {Component, Service, "Action Key ID"}},
    {"TOrxLogService", {Component, Service}},
    {"TOrxStatisticalService", {Component, Service, "Database Options"}},
    {"TOrxBackupService", {Component, Service, "Database BackupFile Options Verbose BlockingFactor NBackupLevel"}},
    {"TOrxRestoreService", {Component, Service, "Database BackupFile Options PageSize PageBuffers Verbose"}},
    {"TOrxValidationService", {Component, Service, "Database Options GlobalAction"}},
    {"TOrxSecurityService", {Component, Service, "SecurityAction UserInfo"}},
};

const TOrxClassRow *findRow(const QString &ClassName)
{
    for (const TOrxClassRow &Row : OrxClassTable)
        if (ClassName == QLatin1String(Row.ClassName))
            return &Row;
    return nullptr;
}

} // namespace

QStringList orxClassNames()
{
    QStringList Names;
    for (const TOrxClassRow &Row : OrxClassTable)
        Names << QString::fromLatin1(Row.ClassName);
    return Names;
}

QStringList orxPublishedProperties(const QString &ClassName)
{
    QStringList Names;
    if (const TOrxClassRow *Row = findRow(ClassName))
        for (const char *Group : Row->Groups)
            if (Group)
                Names << QString::fromLatin1(Group).split(u' ', Qt::SkipEmptyParts);
    return Names;
}

void registerOrxClass(const QString &ClassName)
{
    MIG_ASSERT(findRow(ClassName), QStringLiteral("%1 is not an Orvex class of the class table").arg(ClassName));
    TClassRegistry::Global().RegisterClass(ClassName, orxPublishedProperties(ClassName));
}
