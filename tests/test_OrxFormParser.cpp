// The product's form parser: the IBX and FIBPlus rules tried before the
// default conversion, and AutoCommit added to the BDE, InfoPower and IBX
// datasets, scripts and SQL objects.
#include "OrxClasses.h"
#include "OrxFormParser.h"
#include "SourceClasses.h"

#include <gtest/gtest.h>

#include <ostream>

void PrintTo(const QString &Text, std::ostream *Out)
{
    *Out << '"' << QString(Text).replace("\r", "\\r").replace("\n", "\\n").toStdString() << '"';
}

namespace {

struct Case
{
    const char *OldClass;
    const char *NewClass;
    QStringList Body;
    QStringList Expected;
};

class OrxFormParser : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        for (const QString &Name : orxClassNames())
            registerOrxClass(Name);
        registerSourceClasses();
    }

    OrxFormParser()
    {
        Parser.SetOnGetPropertyValue([](const QString &, const QString &Value) {
            return Value == QLatin1String("SALES") ? QStringLiteral("DataModule1.Database1") : QString();
        });
    }

    // The object "object X: OldClass" holding Body, written anew for NewClass.
    QString convertObject(const QString &OldClass, const QString &NewClass, const QStringList &Body, int Level = 0)
    {
        const QString Text = QStringLiteral("object X: ") + OldClass + QStringLiteral("\r\n  ") +
                             Body.join(QStringLiteral("\r\n  ")) + QStringLiteral("\r\nend\r\n");
        Parser.SetNewClassName(NewClass);
        int Pos = 1;
        EXPECT_TRUE(Parser.ParseString(Text, QStringLiteral("<object>"), Pos)) << Text.toStdString();
        return Parser.MakeObject(Level);
    }

    // Only the property lines of the converted object.
    QStringList convert(const QString &OldClass, const QString &NewClass, const QStringList &Body)
    {
        QStringList Lines = convertObject(OldClass, NewClass, Body).split(QStringLiteral("\r\n"));
        EXPECT_GE(Lines.size(), 3);
        return Lines.mid(1, Lines.size() - 3);
    }

    void expectCases(std::initializer_list<Case> Cases)
    {
        for (const Case &C : Cases) {
            SCOPED_TRACE(QStringLiteral("%1: %2").arg(C.OldClass, C.Body.join(" | ")).toStdString());
            EXPECT_EQ(convert(C.OldClass, C.NewClass, C.Body), C.Expected);
        }
    }

    TOrxFormParser Parser;
};

} // namespace

TEST_F(OrxFormParser, FibPlusConnectionTransactionAndDataSet)
{
    expectCases({
        {"TpFIBDatabase", "TOrxConnection",
         {"DBName = 'srv:/db/a.fdb'", "UseLoginPrompt = False", "LibraryName = 'fbclient.dll'", "SQLDialect = 3",
          "Timeout = 0"},
         {"  Database = 'srv:/db/a.fdb'", "  LoginPrompt = False", "  ClientLibrary = 'fbclient.dll'",
          "  SQLDialect = 3"}},
        // The rules match the class exactly: in capitals none applies.
        {"TPFIBDATABASE", "TOrxConnection", {"DBName = 'a'", "LoginPrompt = True"}, {"  LoginPrompt = True"}},
        {"TpFIBTransaction", "TOrxTransaction", {"TPBMode = tpbReadCommitted", "TimeoutAction = TARollback"},
         {"  IsolationLevel = iblReadCommitted", "  DefaultCloseAction = TARollback"}},
        {"TpFIBTransaction", "TOrxTransaction", {"TPBMode = tpbDefault"}, {"  IsolationLevel = iblSnapshot"}},
        {"TpFIBTransaction", "TOrxTransaction", {"TPBMode = tpbRepeatableRead"}, {"  IsolationLevel = iblSnapshot"}},
        // tpbDefault takes the isolation from TRParams, before or after it;
        // the entries that IsolationLevel does not carry are dropped.
        {"TpFIBTransaction", "TOrxTransaction",
         {"TRParams.Strings = (\r\n    'write'\r\n    'read_committed'\r\n    'rec_version')", "TPBMode = tpbDefault"},
         {"  IsolationLevel = iblReadCommitted"}},
        {"TpFIBTransaction", "TOrxTransaction", {"TPBMode = tpbDefault", "TRParams.Strings = (\r\n    'READ_COMMITTED')"},
         {"  IsolationLevel = iblReadCommitted"}},
        {"TpFIBTransaction", "TOrxTransaction", {"TPBMode = tpbDefault", "TRParams.Strings = (\r\n    'concurrency')"},
         {"  IsolationLevel = iblSnapshot"}},
        {"TpFIBTransaction", "TOrxTransaction",
         {"TPBMode = tpbRepeatableRead", "TRParams.Strings = (\r\n    'read_committed')"},
         {"  IsolationLevel = iblSnapshot"}},
        {"TpFIBTransaction", "TOrxTransaction", {"TPBMode = tpbReadCommitedRecVersion", "Active = False"},
         {"  Active = False"}},
        {"TpFIBDataSet", "TOrxQuery",
         {"UpdateSQL.Strings = (\r\n    'update A')", "DeleteSQL.Strings = (\r\n    'delete')",
          "InsertSQL.Strings = (\r\n    'insert')", "RefreshSQL.Strings = (\r\n    'refresh')",
          "SelectSQL.Strings = (\r\n    'select')"},
         {"  SQLUpdate.Strings = (", "        'update A')", "  SQLDelete.Strings = (", "        'delete')",
          "  SQLInsert.Strings = (", "        'insert')", "  SQLRefresh.Strings = (", "        'refresh')",
          "  SQL.Strings = (", "        'select')"}},
        {"TpFIBDataSet", "TOrxQuery",
         {"AutoUpdateOptions.UpdateTableName = 'ACC'", "AutoUpdateOptions.KeyFields = 'ID'",
          "AutoUpdateOptions.GeneratorName = 'GEN_ID'", "AutoUpdateOptions.GeneratorStep = 10",
          "AutoUpdateOptions.WhenGetGenID = wgBeforePost", "DataSource = Src", "Database = Db", "AutoCommit = True"},
         {"  UpdatingTable = 'ACC'", "  KeyFields = 'ID'", "  KeyGenerator = 'GEN_ID'", "  GeneratorStep = 10",
          "  MasterSource = Src", "  Connection = Db", "  AutoCommit = True"}},
        // Whole property names only; a set value is not searched for them.
        {"TpFIBDataSet", "TOrxQuery",
         {"poImportDefaultValues = True", "poSetRequiredFields = True", "poSetReadOnlyFields = False",
          "poAskRecordCount = True", "poEmptyStrToNull = True", "oTrimCharFields = False", "oFetchAll = True",
          "Options = [poImportDefaultValues, poTrimCharFields]"},
         {"  Options.DefaultValues = True", "  Options.RequiredFields = True", "  Options.SetFieldsReadOnly = False",
          "  Options.QueryRecCount = True", "  Options.SetEmptyStrToNull = True", "  Options.TrimFixedChar = False",
          "  FetchAll = True"}}, // the Options set has no place in the Orvex Options object
        {"TpFIBStoredProc", "TOrxStoredProc", {"qoAutoCommit = True", "qoTrimCharFields = True", "StoredProcName = 'P'"},
         {"  AutoCommit = True", "  Options.TrimFixedChar = True", "  StoredProcName = 'P'"}},
        {"TpFIBScripter", "TOrxScript", {"Script.Strings = (\r\n    'drop table T;')"},
         {"  SQL.Strings = (", "        'drop table T;')"}},
    });
}

// What code that uses a member of a converted component is told: the same
// rules as the forms, with names in any letter case.
TEST_F(OrxFormParser, MemberFateFollowsTheFormRules)
{
    const struct
    {
        const char *OldClass, *NewClass, *Member, *Expected;
    } Rows[] = {
        {"TIBDataSet", "TOrxQuery", "SelectSQL", "Renamed SQL 1"},
        {"tibdataset", "TOrxQuery", "selectsql.Text", "Renamed SQL 1"},
        {"TpFIBDataSet", "TOrxQuery", "SelectSQL", "Renamed SQL 1"},
        {"TpFIBDataSet", "TOrxQuery", "AutoUpdateOptions.KeyFields", "Renamed KeyFields 2"},
        {"TpFIBDataSet", "TOrxQuery", "AutoUpdateOptions", "Missing  1"},
        {"TpFIBDataSet", "TOrxQuery", "DataSource", "Renamed MasterSource 1"},
        {"TpFIBDatabase", "TOrxConnection", "DBName", "Renamed Database 1"},
        {"TpFIBDatabase", "TOrxConnection", "DBParams", "Replaced Username, Password, Options.Charset, Options.Role 1"},
        {"TpFIBTransaction", "TOrxTransaction", "TPBMode", "Replaced IsolationLevel 1"},
        {"TpFIBScripter", "TOrxScript", "Script", "Renamed SQL 1"},
        {"TIBQuery", "TOrxQuery", "Database", "Renamed Connection 1"},
        {"TIBDatabase", "TOrxConnection", "Params", "Kept  1"},
        {"TTable", "TOrxTable", "IndexName", "Missing  1"},
        {"TTable", "TOrxTable", "DatabaseName", "Replaced Connection 1"},
        {"TDatabase", "TOrxConnection", "DatabaseName", "Missing  1"},
        {"TQuery", "TOrxQuery", "DataSource", "Renamed MasterSource 1"},
        {"TQuery", "TOrxQuery", "SQL.Text", "Kept  1"},
        {"TQuery", "TOrxQuery", "Open", "Kept  1"}, // a method: the old class does not publish it
        {"TQuery", "TOrxQuery", "RequestLive", "Missing  1"},
    };
    const char *const Kinds[] = {"Kept", "Renamed", "Missing", "Replaced"};
    for (const auto &Row : Rows) {
        const TMemberFate F = Parser.MemberFate(Row.OldClass, Row.NewClass, Row.Member);
        EXPECT_EQ(QStringLiteral("%1 %2 %3").arg(Kinds[int(F.Kind)], F.Target).arg(F.Parts), Row.Expected)
            << Row.OldClass << "." << Row.Member;
    }
}

TEST_F(OrxFormParser, FibPlusServices)
{
    expectCases({
        {"TpFIBBackupService", "TOrxBackupService",
         {"ServerName = 'srv'", "LibraryName = 'fbclient.dll'", "DatabaseName = '/db/a.fdb'", "Protocol = TCP",
          "Options = [IgnoreChecksums, MetadataOnly]"},
         {"  Server = 'srv'", "  ClientLibrary = 'fbclient.dll'", "  Database = '/db/a.fdb'", "  Protocol = TCP",
          "  Options = [boIgnoreChecksums, boMetadataOnly]"}},
        {"TpFIBLogService", "TOrxLogService", {"Protocol = NamedPipe"}, {"  Protocol = NetBEUI"}},
        {"TpFIBLogService", "TOrxLogService", {"Protocol = SPX"}, {"  Protocol = SPX"}},
        {"TpFIBLogService", "TOrxLogService", {"Protocol = Local"}, {}},
        {"TpFIBRestoreService", "TOrxRestoreService", {"Options = [OnlyMetadata, Replace, FixFssData]"},
         {"  Options = [roReplace]"}},
        {"TpFIBRestoreService", "TOrxRestoreService", {"Options = [OnlyMetadata]"}, {"  Options = []"}},
        {"TpFIBRestoreService", "TOrxRestoreService",
         {"Options = [DeactivateIndexes, NoShadow, NoValidityCheck, OneRelationAtATime, UseAllSpace, "
          "ValidationCheck, FixFssMetadata]"},
         {"  Options = [roDeactivateIndexes, roNoShadow, roNoValidityCheck, roOneRelationAtATime, roUseAllSpace, "
          "roValidationCheck]"}},
        // Options always reach the new object, as written when nothing changes.
        {"TpFIBRestoreService", "TOrxRestoreService", {"Options = [CreateNewDB]"}, {"  Options = [CreateNewDB]"}},
        {"TpFIBRestoreService", "TOrxRestoreService", {"Options = []"}, {"  Options = []"}},
        // A value that is no set: the elements go and are renamed in its text.
        {"TpFIBRestoreService", "TOrxRestoreService", {"Options = 'Replace, OnlyMetadata, x'"},
         {"  Options = 'roReplace, x'"}},
        {"TpFIBRestoreService", "TOrxRestoreService", {"Options = 'OnlyMetadata, x'"}, {"  Options = 'x'"}},
        {"TpFIBRestoreService", "TOrxRestoreService", {"Options = 'x OnlyMetadata'"}, {"  Options = 'x'"}},
        {"TpFIBRestoreService", "TOrxRestoreService", {"Options = 'OnlyMetadata,x'"}, {"  Options = 'x'"}},
        // A set written without blanks loses its elements cleanly.
        {"TpFIBRestoreService", "TOrxRestoreService", {"Options = [Replace,OnlyMetadata]"}, {"  Options = [roReplace]"}},
        {"TpFIBValidationService", "TOrxValidationService",
         {"Options = [CheckDB, LimboTransactions]", "GlobalAction = CommitGlobal"},
         {"  Options = [voCheckDB]", "  GlobalAction = tgCommitGlobal"}},
        {"TpFIBValidationService", "TOrxValidationService",
         {"Options = [SweepDB, IgnoreChecksum, KillShadows, MendDB, ValidateDB, ValidateFull]",
          "GlobalAction = NoGlobalAction"},
         {"  Options = [voIgnoreChecksum, voKillShadows, voMendDB, voValidateDB, voValidateFull]",
          "  GlobalAction = tgNoGlobalAction"}},
        {"TpFIBValidationService", "TOrxValidationService", {"GlobalAction = RollbackGlobal"},
         {"  GlobalAction = tgRollbackGlobal"}},
        {"TpFIBValidationService", "TOrxValidationService", {"GlobalAction = Other"}, {}},
        {"TpFIBStatisticalService", "TOrxStatisticalService",
         {"Options = [DataPages, DbLog, HeaderPages, IndexPages, SystemRelations, RecordVersions, StatTables]"},
         {"  Options = [soDataPages, soDbLog, soHeaderPages, soIndexPages, soSystemRelations, soRecordVersions, "
          "soStatTables]"}},
        {"TpFIBLicensingService", "TOrxLicensingService", {"Action = LicenseAdd"}, {"  Action = laAdd"}},
        {"TpFIBLicensingService", "TOrxLicensingService", {"Action = LicenseRemove"}, {"  Action = laRemove"}},
        {"TpFIBLicensingService", "TOrxLicensingService", {"Action = LicenseView"}, {}},
        {"TpFIBSecurityService", "TOrxSecurityService",
         {"SecurityAction = ActionModifyUser", "SQlRole = 'ADMIN'", "FirstName = 'Ann'", "MiddleName = 'B'",
          "LastName = 'Cole'", "UserID = 10", "GroupID = 20"},
         {"  SecurityAction = saModifyUser", "  UserInfo.SQLRole = 'ADMIN'", "  UserInfo.FirstName = 'Ann'",
          "  UserInfo.MiddleName = 'B'", "  UserInfo.LastName = 'Cole'", "  UserInfo.UserID = 10",
          "  UserInfo.GroupID = 20"}},
        // "SQLRole" is not "SQlRole": it goes on, and the new class does not
        // publish it.
        {"TpFIBSecurityService", "TOrxSecurityService", {"SQLRole = 'ADMIN'", "SecurityAction = ActionDisplayUser"},
         {"  SecurityAction = saDisplayUser"}},
        {"TpFIBSecurityService", "TOrxSecurityService", {"SecurityAction = ActionAddUser"},
         {"  SecurityAction = saAddUser"}},
        {"TpFIBSecurityService", "TOrxSecurityService", {"SecurityAction = ActionDeleteUser"},
         {"  SecurityAction = saDeleteUser"}},
        {"TpFIBNBackupService", "TOrxBackupService", {"Level = 1"}, {"  NBackupLevel = 1"}},
        {"TpFIBNRestoreService", "TOrxRestoreService", {"BackupFiles.Strings = (\r\n    'a.nbk')"},
         {"  BackupFile.Strings = (", "        'a.nbk')"}},
        // The server properties are no "Service": the database name is looked
        // up as a dataset's would be, and the server name is not renamed.
        {"TpFIBServerProperties", "TOrxServerProperties", {"DatabaseName = 'SALES'", "ServerName = 'srv'"},
         {"  Connection = DataModule1.Database1"}},
        {"TpFIBServerProperties", "TOrxServerProperties", {"DatabaseName = 'OTHER'"}, {}},
        {"TpFIBServerProperties", "TNotRegisteredAnywhere", {"DatabaseName = 'SALES'", "ServerName = 'srv'"},
         {"  Connection = DataModule1.Database1", "  ServerName = 'srv'"}},
    });
}

TEST_F(OrxFormParser, IbxRulesAndRulesForEveryClass)
{
    expectCases({
        {"TIBDatabase", "TOrxConnection",
         {"DatabaseName = 'srv:C:\\Data\\A.FDB'",
          "Params.Strings = (\r\n    'user_name=SYSDBA'\r\n    ''\r\n    'password=masterkey'\r\n    "
          "'lc_ctype=WIN1251'\r\n    'sql_dialect=3')",
          "DefaultTransaction = T1"},
         {"  Database = 'srv:C:\\Data\\A.FDB'", "  Username = 'SYSDBA'", "  Password = 'masterkey'",
          "  Options.Charset = 'WIN1251'", "  DefaultTransaction = T1"}},
        {"TIBDatabase", "TOrxConnection", {"Params.Strings = (\r\n    'SQL_ROLE_NAME=R'\r\n    'USER_NAME=')"},
         {"  Options.Role = 'R'"}},
        {"TpFIBDatabase", "TOrxConnection",
         {"DBParams.Strings = (\r\n    'sql_role_name=ACC'\r\n    'lc_ctype=UTF8'\r\n    'password=pw'\r\n    "
          "'user_name=U')"},
         {"  Username = 'U'", "  Password = 'pw'", "  Options.Charset = 'UTF8'", "  Options.Role = 'ACC'"}},
        {"TIBTransaction", "TOrxTransaction",
         {"DefaultDatabase = Db", "DefaultAction = TACommit", "Params.Strings = (\r\n    'read_committed')"},
         {"  DefaultConnection = Db", "  DefaultCloseAction = TACommit", "  Params.Strings = (",
          "        'read_committed')"}},
        {"TIBDataSet", "TOrxQuery",
         {"Database = Db", "ModifySQL.Strings = (\r\n    'update')", "SelectSQL.Strings = (\r\n    'select')",
          "RefreshSQL.Strings = (\r\n    'r')", "InsertSQL.Strings = (\r\n    'i')", "DeleteSQL.Strings = (\r\n    'd')",
          "DataSource = Src", "IndexFieldNames = 'ID'", "BufferChunks = 1000"},
         {"  Connection = Db", "  SQLUpdate.Strings = (", "        'update')", "  SQL.Strings = (", "        'select')",
          "  SQLRefresh.Strings = (", "        'r')", "  SQLInsert.Strings = (", "        'i')",
          "  SQLDelete.Strings = (", "        'd')", "  MasterSource = Src", "  DetailFields = 'ID'",
          "  AutoCommit = True"}},
        // The SQL names belong to the IBX dataset alone.
        {"TIBQuery", "TOrxQuery", {"ModifySQL.Strings = (\r\n    'u')", "DataSource = Src", "IndexFieldNames = 'ID'"},
         {"  MasterSource = Src", "  DetailFields = 'ID'", "  AutoCommit = True"}},
        {"TIBScript", "TOrxScript", {"Script.Strings = (\r\n    'drop table T^')", "Terminator = '^'", "AutoDDL = True"},
         {"  SQL.Strings = (", "        'drop table T^')", "  Delimiter = '^'", "  AutoCommit = True"}},
        {"TIBSQL", "TOrxSQL", {"SQL.Strings = (\r\n    'select 1')", "ParamCheck = True"},
         {"  SQL.Strings = (", "        'select 1')", "  ParamCheck = True", "  AutoCommit = True"}},
        {"TIBTable", "TOrxTable", {"IndexFieldNames = 'ID'", "TableName = 'T'"},
         {"  DetailFields = 'ID'", "  TableName = 'T'", "  AutoCommit = True"}},
        // BDE: the table's index fields become detail fields; InfoPower's
        // table keeps them, as the new class publishes them.
        {"TTable", "TOrxTable", {"IndexFieldNames = 'ID'", "IndexDefs = <>"},
         {"  DetailFields = 'ID'", "  AutoCommit = True"}},
        {"TwwTable", "TOrxTable", {"IndexFieldNames = 'ID'", "ControlType.Strings = (\r\n    'PAID;CheckBox')"},
         {"  IndexFieldNames = 'ID'", "  AutoCommit = True"}},
        // Renamed properties are written whether or not the new class
        // publishes them.
        {"TTable", "TOrxTable", {"Conditions = <>", "DefaultDatabase = Db"},
         {"  Macros = <>", "  DefaultConnection = Db", "  AutoCommit = True"}},
        {"TQuery", "TOrxQuery", {"Database = Db"}, {"  Connection = Db", "  AutoCommit = True"}},
        // A detail table keeps its master fields.
        {"TTable", "TOrxTable", {"MasterSource = Src", "MasterFields = 'ID'"},
         {"  MasterSource = Src", "  MasterFields = 'ID'", "  AutoCommit = True"}},
    });
}

TEST_F(OrxFormParser, AutoCommitGoesToTheBdeInfoPowerAndIbxClasses)
{
    const std::pair<const char *, bool> Cases[] = {
        {"TQuery", true},         {"TTable", true},       {"TStoredProc", true},   {"TwwQuery", true},
        {"TwwTable", true},       {"TwwStoredProc", true}, {"TIBQuery", true},     {"TIBTable", true},
        {"TIBStoredProc", true},  {"TIBDataSet", true},   {"TIBScript", true},     {"TIBSQL", true},
        {"TQUERY", true},         {"tibdataset", true},   {"TDatabase", false},    {"TUpdateSQL", false},
        {"TIBDatabase", false},   {"TpFIBDataSet", false}, {"TpFIBQuery", false},  {"TQuery2", false},
        {"", false},
    };
    for (const auto &[Class, Expected] : Cases)
        EXPECT_EQ(TOrxFormParser::IsAutoCommitClass(QString::fromLatin1(Class)), Expected) << Class;

    // Last of the properties, before the nested objects; counted like any.
    const QString Object = convertObject("TStoredProc", "TOrxStoredProc",
                                         {"object F: TIntegerField\r\n    FieldName = 'ID'\r\n  end",
                                          "StoredProcName = 'P'"},
                                         1);
    EXPECT_EQ(Object, QStringLiteral("  object X: TOrxStoredProc\r\n    StoredProcName = 'P'\r\n    AutoCommit = True\r\n"
                                     "  object F: TIntegerField\r\n    FieldName = 'ID'\r\n  end\r\n  end\r\n"));
    EXPECT_EQ(Parser.FormState().PropCount(), 2);

    // After a failed parse there is no object and nothing is added.
    int Pos = 1;
    Parser.SetNewClassName("TOrxQuery");
    EXPECT_FALSE(Parser.ParseString(QStringLiteral("object X: TQuery\r\n  = 1\r\nend"), "<object>", Pos));
    EXPECT_EQ(Parser.MakeObject(0), QString());
}

// The combined effect of the rules on a BDE query and a BDE connection.
TEST_F(OrxFormParser, BdeQueryAndConnectionAsAWhole)
{
    EXPECT_EQ(convertObject("TQuery", "TOrxQuery",
                            {"DatabaseName = 'SALES'", "DataSource = DataSource1", "SQL.Strings = (\r\n      'select *'\r\n      'from ORDERS')",
                             "Left = 8", "Top = 16"},
                            1),
              QStringLiteral("  object X: TOrxQuery\r\n"
                             "    Connection = DataModule1.Database1\r\n"
                             "    MasterSource = DataSource1\r\n"
                             "    SQL.Strings = (\r\n"
                             "            'select *'\r\n"
                             "            'from ORDERS')\r\n"
                             "    Left = 8\r\n"
                             "    Top = 16\r\n"
                             "    AutoCommit = True\r\n"
                             "  end\r\n"));
    EXPECT_EQ(convertObject("TDatabase", "TOrxConnection",
                            {"DatabaseName = 'SALES'", "LoginPrompt = False",
                             "Params.Strings = (\r\n    'SERVER NAME=srv:/db/sales.fdb'\r\n    'USER NAME=SYSDBA'\r\n    "
                             "'PASSWORD=masterkey')",
                             "SessionName = 'Default'", "Left = 24", "Top = 8"}),
              QStringLiteral("object X: TOrxConnection\r\n"
                             "  LoginPrompt = False\r\n"
                             "  Username = 'SYSDBA'\r\n"
                             "  Password = 'masterkey'\r\n"
                             "  Server = 'srv:/db/sales.fdb'\r\n"
                             "  Left = 24\r\n"
                             "  Top = 8\r\n"
                             "end\r\n"));
}
