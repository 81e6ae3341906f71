object InvDM: TInvDM
  OldCreateOrder = False
  Left = 210
  Top = 140
  Height = 260
  Width = 380
    object InvDB: TOrxConnection
    Database = 'localhost:C:\Data\INVENTORY.FDB'
    Username = 'SYSDBA'
    Password = 'masterkey'
    Options.Charset = 'WIN1251'
    Options.Role = 'STOCKMAN'
    LoginPrompt = False
    DefaultTransaction = InvTransaction
    SQLDialect = 3
    Left = 32
    Top = 16
  end
  object InvTransaction: TOrxTransaction
    Active = False
    DefaultConnection = InvDB
    DefaultCloseAction = TACommitRetaining
    Params.Strings = (
            'read_committed'
            'rec_version'
            'nowait')
    Left = 120
    Top = 16
  end
  object ItemsDataSet: TOrxQuery
    Connection = InvDB
    Transaction = InvTransaction
    AfterPost = ItemsDataSetAfterPost
    OnNewRecord = ItemsDataSetNewRecord
    CachedUpdates = False
    SQLDelete.Strings = (
            'delete from ITEMS'
            'where'
            '  ITEM_ID = :OLD_ITEM_ID')
    SQLInsert.Strings = (
            'insert into ITEMS'
            '  (ITEM_ID, TITLE, PRICE)'
            'values'
            '  (:ITEM_ID, :TITLE, :PRICE)')
    SQLRefresh.Strings = (
            'select ITEM_ID, TITLE, PRICE from ITEMS'
            'where'
            '  ITEM_ID = :ITEM_ID')
    SQL.Strings = (
            'select ITEM_ID, TITLE, PRICE from ITEMS'
            'order by TITLE')
    SQLUpdate.Strings = (
            'update ITEMS'
            'set'
            '  TITLE = :TITLE,'
            '  PRICE = :PRICE'
            'where'
            '  ITEM_ID = :OLD_ITEM_ID')
    Left = 32
    Top = 80
    AutoCommit = True
    object ItemsDataSetITEM_ID: TIntegerField
      FieldName = 'ITEM_ID'
      Origin = '"ITEMS"."ITEM_ID"'
      ProviderFlags = [pfInUpdate, pfInWhere, pfInKey]
      Required = True
    end
    object ItemsDataSetTITLE: TIBStringField
      FieldName = 'TITLE'
      Origin = '"ITEMS"."TITLE"'
      Size = 80
    end
    object ItemsDataSetPRICE: TIBBCDField
      FieldName = 'PRICE'
      Origin = '"ITEMS"."PRICE"'
      currency = True
      Precision = 18
      Size = 2
    end
  end
object ItemsSource: TDataSource
    DataSet = ItemsDataSet
    Left = 120
    Top = 80
  end
    object StockQuery: TOrxQuery
    Connection = InvDB
    Transaction = InvTransaction
    CachedUpdates = False
    MasterSource = ItemsSource
    SQL.Strings = (
            'select WAREHOUSE, QUANTITY from STOCK'
            'where ITEM_ID = :ITEM_ID')
    Left = 208
    Top = 80
    ParamData = <
            item
              DataType = ftInteger
              Name = 'ITEM_ID'
              ParamType = ptUnknown
            end>
    AutoCommit = True
  end
  object CountSQL: TOrxSQL
    Connection = InvDB
    ParamCheck = True
    SQL.Strings = (
            'select count(*) from ITEMS')
    Transaction = InvTransaction
    Left = 32
    Top = 144
    AutoCommit = True
  end
  object UpgradeScript: TOrxScript
    Connection = InvDB
    Transaction = InvTransaction
    Delimiter = '^'
    SQL.Strings = (
            'alter table ITEMS add NOTE varchar(200)^'
            'commit^')
    Left = 120
    Top = 144
    AutoCommit = True
  end
end
