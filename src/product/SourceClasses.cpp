#include "SourceClasses.h"

#include "ClassRegistry.h"

// The properties that the components of the old sets publish, as their
// users meet them in the Object Inspector and in code. The code scan reads
// them to tell a property that a converted class no longer has (IndexName of
// a TTable) from a method or public property that both classes have (Open,
// FieldByName, RecordCount): only a published property of the old class
// that the new class does not publish is reported as missing. A property
// left out here is never reported, so the table errs on the short side.

namespace {

constexpr const char *Component = "Name Tag";

constexpr const char *DataSetEvents =
    "BeforeOpen AfterOpen BeforeClose AfterClose BeforeInsert AfterInsert BeforeEdit AfterEdit "
    "BeforePost AfterPost BeforeCancel AfterCancel BeforeDelete AfterDelete BeforeScroll AfterScroll "
    "BeforeRefresh AfterRefresh OnCalcFields OnDeleteError OnEditError OnFilterRecord OnNewRecord OnPostError";

constexpr const char *DataSet = "Active AutoCalcFields Filter Filtered FilterOptions ObjectView";

// The BDE datasets (TDBDataSet and its descendants).
constexpr const char *BdeDataSet =
    "CachedUpdates DatabaseName SessionName UpdateObject AutoRefresh Constraints OnUpdateError OnUpdateRecord "
    "OnServerYield";

// What the InfoPower datasets add to their BDE ancestors.
constexpr const char *InfoPower =
    "ControlType PictureMasks ValidateWithMask UsePictureMask OnInvalidValue SyncSQLByRange NarrowSearch "
    "LookupLinks";

constexpr const char *IbxDataSet =
    "BufferChunks CachedUpdates Database Transaction UpdateObject ForcedRefresh GeneratorField OnUpdateError "
    "OnUpdateRecord ParamCheck UniDirectional";

constexpr const char *FibDataSet =
    "Database Transaction UpdateTransaction AutoCommit AutoUpdateOptions CacheModelOptions Options "
    "PrepareOptions DetailConditions Conditions DataSet_ID Description AllowedUpdateKinds UpdateRecordTypes "
    "CachedUpdates DataSource SelectSQL InsertSQL UpdateSQL DeleteSQL RefreshSQL OnUpdateError OnUpdateRecord";

constexpr const char *FibService = "Active ServerName Protocol LoginPrompt Params LibraryName";

struct TSourceClassRow
{
    const char *ClassName;
    const char *Groups[5];
};

constexpr TSourceClassRow SourceClassTable[] = {
    // BDE and InfoPower.
    {"TDatabase",
     {Component, "AliasName Connected DatabaseName DriverName Exclusive HandleShared KeepConnection LoginPrompt "
                 "Params ReadOnly SessionName TransIsolation AfterConnect AfterDisconnect BeforeConnect "
                 "BeforeDisconnect OnLogin"}},
    {"TQuery", {Component, DataSet, DataSetEvents, BdeDataSet,
                "Constrained DataSource ParamCheck Params RequestLive SQL UniDirectional UpdateMode"}},
    {"TTable", {Component, DataSet, DataSetEvents, BdeDataSet,
                "DefaultIndex Exclusive FieldDefs IndexDefs IndexFieldNames IndexFiles IndexName MasterFields "
                "MasterSource ReadOnly StoreDefs TableLevel TableName TableType UpdateMode"}},
    {"TStoredProc", {Component, DataSet, DataSetEvents, BdeDataSet, "Overload ParamBindMode Params StoredProcName"}},
    {"TwwQuery", {DataSet, DataSetEvents, BdeDataSet, InfoPower,
                  "Name Tag Constrained DataSource ParamCheck Params RequestLive SQL UniDirectional UpdateMode"}},
    {"TwwTable", {DataSet, DataSetEvents, BdeDataSet, InfoPower,
                  "Name Tag DefaultIndex Exclusive FieldDefs IndexDefs IndexFieldNames IndexFiles IndexName "
                  "MasterFields MasterSource ReadOnly StoreDefs TableLevel TableName TableType UpdateMode"}},
    {"TwwStoredProc", {DataSet, DataSetEvents, BdeDataSet, InfoPower, "Name Tag Overload ParamBindMode Params StoredProcName"}},
    {"TUpdateSQL", {Component, "ModifySQL InsertSQL DeleteSQL"}},
    {"TBatchMove",
     {Component, "AbortOnKeyViol AbortOnProblem ChangedTableName CommitCount Destination KeyViolTableName Mappings "
                 "Mode ProblemTableName RecordCount Source Transliterate"}},
    // IBX.
    {"TIBDatabase",
     {Component, "AllowStreamedConnected Connected DatabaseName DefaultTransaction IdleTimer LoginPrompt Params "
                 "SQLDialect TraceFlags AfterConnect AfterDisconnect BeforeConnect BeforeDisconnect OnIdleTimer "
                 "OnLogin OnDialectDowngradeWarning"}},
    {"TIBTransaction",
     {Component, "Active AllowAutoStart AutoStopAction DefaultAction DefaultDatabase IdleTimer Params OnIdleTimer"}},
    {"TIBQuery", {Component, DataSet, DataSetEvents, IbxDataSet, "Constraints DataSource Params SQL"}},
    {"TIBDataSet", {Component, DataSet, DataSetEvents, IbxDataSet,
                    "DataSource SelectSQL InsertSQL ModifySQL DeleteSQL RefreshSQL Params"}},
    {"TIBTable", {Component, DataSet, DataSetEvents, IbxDataSet,
                  "Constraints DefaultIndex FieldDefs IndexDefs IndexFieldNames IndexName MasterFields MasterSource "
                  "ReadOnly StoreDefs TableName TableTypes"}},
    {"TIBStoredProc", {Component, DataSet, DataSetEvents, IbxDataSet, "Params StoredProcName"}},
    {"TIBSQL", {Component, "Database GoToFirstRecordOnExecute ParamCheck SQL Transaction OnSQLChanging"}},
    {"TIBScript",
     {Component, "AutoDDL Database Dataset Script Statistics Terminator Transaction OnExecuteError OnParse "
                 "OnParseError"}},
    {"TIBUpdateSQL", {Component, "RefreshSQL ModifySQL InsertSQL DeleteSQL"}},
    // FIBPlus.
    {"TpFIBDatabase",
     {Component, "AliasName Connected DBName DBParams DefaultTransaction DefaultUpdateTransaction SQLDialect "
                 "Timeout LibraryName UseLoginPrompt DesignDBOptions UpperOldNames ConnectParams SynchronizeTime "
                 "WaitForRestoreConnect AfterConnect AfterDisconnect BeforeConnect BeforeDisconnect OnTimeout"}},
    {"TpFIBTransaction",
     {Component, "Active DefaultDatabase TimeoutAction Timeout TPBMode TRParams AfterStart AfterEnd BeforeStart "
                 "BeforeEnd OnTimeout"}},
    {"TpFIBDataSet", {Component, DataSet, DataSetEvents, FibDataSet}},
    {"TpFIBQuery",
     {Component, "Database Transaction SQL Options ParamCheck GoToFirstRecordOnExecute Conditions OnSQLChanging"}},
    {"TpFIBStoredProc",
     {Component, "Database Transaction SQL Options ParamCheck StoredProcName GoToFirstRecordOnExecute Conditions"}},
    {"TpFIBScripter", {Component, "Database Transaction Script AutoDDL Params OnExecuteError OnStatementExecute"}},
    {"TSIBfibEventAlerter", {Component, "Active AutoRegister Database Events OnEventAlert"}},
    {"TFIBSQLMonitor", {Component, "Active TraceFlags OnSQL"}},
    {"TpFIBServerProperties", {Component, FibService, "Options"}},
    {"TpFIBConfigService", {Component, FibService, "DatabaseName"}},
    {"TpFIBLicensingService", {Component, FibService, "Action Key ID"}},
    {"TpFIBLogService", {Component, FibService}},
    {"TpFIBStatisticalService", {Component, FibService, "DatabaseName Options"}},
    {"TpFIBBackupService", {Component, FibService, "DatabaseName BackupFile Options Verbose BlockingFactor"}},
    {"TpFIBRestoreService", {Component, FibService, "DatabaseName BackupFile Options PageSize PageBuffers Verbose"}},
    {"TpFIBValidationService", {Component, FibService, "DatabaseName Options GlobalAction"}},
    {"TpFIBSecurityService",
     {Component, FibService, "SecurityAction SQlRole FirstName MiddleName LastName UserID GroupID UserName Password"}},
    {"TpFIBNBackupService", {Component, FibService, "DatabaseName BackupFile Level Options"}},
    {"TpFIBNRestoreService", {Component, FibService, "DatabaseName BackupFiles Options"}},
};

} // namespace

void registerSourceClasses()
{
    for (const TSourceClassRow &Row : SourceClassTable) {
        QStringList Names;
        for (const char *Group : Row.Groups)
            if (Group)
                Names << QString::fromLatin1(Group).split(u' ', Qt::SkipEmptyParts);
        TClassRegistry::Sources().RegisterClass(QString::fromLatin1(Row.ClassName), Names);
    }
}
