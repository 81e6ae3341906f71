object AccDM: TAccDM
  OldCreateOrder = False
  Left = 230
  Top = 150
  Height = 280
  Width = 400
  object AccDB: TpFIBDatabase
    DBName = 'fbserver:/var/db/accounts.fdb'
    DBParams.Strings = (
      'lc_ctype=UTF8'
      'user_name=SYSDBA'
      'password=masterkey'
      'sql_role_name=ACCOUNTANT')
    DefaultTransaction = ReadTransaction
    DefaultUpdateTransaction = WriteTransaction
    SQLDialect = 3
    Timeout = 0
    UseLoginPrompt = False
    LibraryName = 'fbclient.dll'
    WaitForRestoreConnect = 0
    Left = 32
    Top = 16
  end
  object ReadTransaction: TpFIBTransaction
    DefaultDatabase = AccDB
    TimeoutAction = TARollback
    TPBMode = tpbReadCommitted
    Left = 120
    Top = 16
  end
  object WriteTransaction: TpFIBTransaction
    DefaultDatabase = AccDB
    TimeoutAction = TACommit
    TPBMode = tpbDefault
    Left = 208
    Top = 16
  end
  object AccountsDataSet: TpFIBDataSet
    UpdateSQL.Strings = (
      'UPDATE ACCOUNTS'
      'SET TITLE = :TITLE'
      'WHERE ACC_ID = :OLD_ACC_ID')
    DeleteSQL.Strings = (
      'DELETE FROM ACCOUNTS'
      'WHERE ACC_ID = :OLD_ACC_ID')
    InsertSQL.Strings = (
      'INSERT INTO ACCOUNTS (ACC_ID, TITLE)'
      'VALUES (:ACC_ID, :TITLE)')
    RefreshSQL.Strings = (
      'SELECT ACC_ID, TITLE FROM ACCOUNTS'
      'WHERE ACC_ID = :OLD_ACC_ID')
    SelectSQL.Strings = (
      'SELECT ACC_ID, TITLE FROM ACCOUNTS'
      'ORDER BY TITLE')
    BeforePost = AccountsDataSetBeforePost
    Transaction = ReadTransaction
    Database = AccDB
    UpdateTransaction = WriteTransaction
    AutoCommit = True
    AutoUpdateOptions.UpdateTableName = 'ACCOUNTS'
    AutoUpdateOptions.KeyFields = 'ACC_ID'
    AutoUpdateOptions.GeneratorName = 'GEN_ACC_ID'
    AutoUpdateOptions.WhenGetGenID = wgBeforePost
    Left = 32
    Top = 80
    object AccountsDataSetACC_ID: TFIBIntegerField
      FieldName = 'ACC_ID'
    end
    object AccountsDataSetTITLE: TFIBStringField
      FieldName = 'TITLE'
      Size = 60
      EmptyStrToNull = True
    end
  end
  object AccountsSource: TDataSource
    DataSet = AccountsDataSet
    Left = 120
    Top = 80
  end
  object BalanceProc: TpFIBStoredProc
    Transaction = ReadTransaction
    Database = AccDB
    SQL.Strings = (
      'EXECUTE PROCEDURE GET_BALANCE (?ACC_ID)')
    StoredProcName = 'GET_BALANCE'
    Left = 32
    Top = 144
  end
  object TotalQuery: TpFIBQuery
    Transaction = ReadTransaction
    Database = AccDB
    SQL.Strings = (
      'SELECT SUM(AMOUNT) FROM ENTRIES')
    Left = 120
    Top = 144
  end
  object CleanupScript: TpFIBScripter
    Database = AccDB
    Transaction = WriteTransaction
    Script.Strings = (
      'DELETE FROM ENTRIES WHERE AMOUNT = 0;'
      'COMMIT;')
    Left = 208
    Top = 144
  end
  object AccAlerter: TSIBfibEventAlerter
    Events.Strings = (
      'ACCOUNT_CHANGED')
    OnEventAlert = AccAlerterEventAlert
    Database = AccDB
    Left = 296
    Top = 144
  end
end
