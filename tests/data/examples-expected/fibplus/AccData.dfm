object AccDM: TAccDM
  OldCreateOrder = False
  Left = 230
  Top = 150
  Height = 280
  Width = 400
    object AccDB: TOrxConnection
    Database = 'fbserver:/var/db/accounts.fdb'
    Username = 'SYSDBA'
    Password = 'masterkey'
    Options.Charset = 'UTF8'
    Options.Role = 'ACCOUNTANT'
    DefaultTransaction = ReadTransaction
    SQLDialect = 3
    LoginPrompt = False
    ClientLibrary = 'fbclient.dll'
    Left = 32
    Top = 16
  end
  object ReadTransaction: TOrxTransaction
    DefaultConnection = AccDB
    DefaultCloseAction = TARollback
    IsolationLevel = iblReadCommitted
    Left = 120
    Top = 16
  end
  object WriteTransaction: TOrxTransaction
    DefaultConnection = AccDB
    DefaultCloseAction = TACommit
    IsolationLevel = iblSnapshot
    Left = 208
    Top = 16
  end
  object AccountsDataSet: TOrxQuery
    SQLUpdate.Strings = (
            'UPDATE ACCOUNTS'
            'SET TITLE = :TITLE'
            'WHERE ACC_ID = :OLD_ACC_ID')
    SQLDelete.Strings = (
            'DELETE FROM ACCOUNTS'
            'WHERE ACC_ID = :OLD_ACC_ID')
    SQLInsert.Strings = (
            'INSERT INTO ACCOUNTS (ACC_ID, TITLE)'
            'VALUES (:ACC_ID, :TITLE)')
    SQLRefresh.Strings = (
            'SELECT ACC_ID, TITLE FROM ACCOUNTS'
            'WHERE ACC_ID = :OLD_ACC_ID')
    SQL.Strings = (
            'SELECT ACC_ID, TITLE FROM ACCOUNTS'
            'ORDER BY TITLE')
    BeforePost = AccountsDataSetBeforePost
    Transaction = ReadTransaction
    Connection = AccDB
    UpdateTransaction = WriteTransaction
    AutoCommit = True
    UpdatingTable = 'ACCOUNTS'
    KeyFields = 'ACC_ID'
    KeyGenerator = 'GEN_ACC_ID'
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
    object BalanceProc: TOrxStoredProc
    Transaction = ReadTransaction
    Connection = AccDB
    SQL.Strings = (
            'EXECUTE PROCEDURE GET_BALANCE (?ACC_ID)')
    StoredProcName = 'GET_BALANCE'
    Left = 32
    Top = 144
  end
  object TotalQuery: TOrxSQL
    Transaction = ReadTransaction
    Connection = AccDB
    SQL.Strings = (
            'SELECT SUM(AMOUNT) FROM ENTRIES')
    Left = 120
    Top = 144
  end
  object CleanupScript: TOrxScript
    Connection = AccDB
    Transaction = WriteTransaction
    SQL.Strings = (
            'DELETE FROM ENTRIES WHERE AMOUNT = 0;'
            'COMMIT;')
    Left = 208
    Top = 144
  end
  object AccAlerter: TOrxAlerter
    Events.Strings = (
            'ACCOUNT_CHANGED')
    Connection = AccDB
    Left = 296
    Top = 144
  end
end
