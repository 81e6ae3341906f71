object InvDM: TInvDM
  OldCreateOrder = False
  Left = 210
  Top = 140
  Height = 260
  Width = 380
  object InvDB: TIBDatabase
    DatabaseName = 'localhost:C:\Data\INVENTORY.FDB'
    Params.Strings = (
      'user_name=SYSDBA'
      'password=masterkey'
      'lc_ctype=WIN1251'
      ''
      'sql_role_name=STOCKMAN')
    LoginPrompt = False
    DefaultTransaction = InvTransaction
    IdleTimer = 0
    SQLDialect = 3
    TraceFlags = []
    Left = 32
    Top = 16
  end
  object InvTransaction: TIBTransaction
    Active = False
    DefaultDatabase = InvDB
    DefaultAction = TACommitRetaining
    Params.Strings = (
      'read_committed'
      'rec_version'
      'nowait')
    AutoStopAction = saNone
    Left = 120
    Top = 16
  end
  object ItemsDataSet: TIBDataSet
    Database = InvDB
    Transaction = InvTransaction
    AfterPost = ItemsDataSetAfterPost
    OnNewRecord = ItemsDataSetNewRecord
    BufferChunks = 1000
    CachedUpdates = False
    DeleteSQL.Strings = (
      'delete from ITEMS'
      'where'
      '  ITEM_ID = :OLD_ITEM_ID')
    InsertSQL.Strings = (
      'insert into ITEMS'
      '  (ITEM_ID, TITLE, PRICE)'
      'values'
      '  (:ITEM_ID, :TITLE, :PRICE)')
    RefreshSQL.Strings = (
      'select ITEM_ID, TITLE, PRICE from ITEMS'
      'where'
      '  ITEM_ID = :ITEM_ID')
    SelectSQL.Strings = (
      'select ITEM_ID, TITLE, PRICE from ITEMS'
      'order by TITLE')
    ModifySQL.Strings = (
      'update ITEMS'
      'set'
      '  TITLE = :TITLE,'
      '  PRICE = :PRICE'
      'where'
      '  ITEM_ID = :OLD_ITEM_ID')
    GeneratorField.Field = 'ITEM_ID'
    GeneratorField.Generator = 'GEN_ITEM_ID'
    Left = 32
    Top = 80
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
  object StockQuery: TIBQuery
    Database = InvDB
    Transaction = InvTransaction
    BufferChunks = 1000
    CachedUpdates = False
    DataSource = ItemsSource
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
  end
  object CountSQL: TIBSQL
    Database = InvDB
    ParamCheck = True
    SQL.Strings = (
      'select count(*) from ITEMS')
    Transaction = InvTransaction
    Left = 32
    Top = 144
  end
  object UpgradeScript: TIBScript
    Database = InvDB
    Transaction = InvTransaction
    Terminator = '^'
    Script.Strings = (
      'alter table ITEMS add NOTE varchar(200)^'
      'commit^')
    Left = 120
    Top = 144
  end
end
