object MovesForm: TMovesForm
  Left = 300
  Top = 200
  Width = 480
  Height = 320
  Caption = 'Movements'
  OldCreateOrder = False
  PixelsPerInch = 96
  TextHeight = 13
  object MovesGrid: TDBGrid
    Left = 0
    Top = 0
    Width = 472
    Height = 286
    Align = alClient
    DataSource = MovesSource
    TabOrder = 0
  end
    object MovesQuery: TOrxQuery
    Connection = InvDM.InvDB
    Transaction = InvDM.InvTransaction
    CachedUpdates = False
    SQL.Strings = (
            'select ITEM_ID, NOTE from MOVES')
    Left = 32
    Top = 16
    AutoCommit = True
    object MovesQueryITEM_ID: TIntegerField
      FieldName = 'ITEM_ID'
      Origin = 'MOVES.ITEM_ID'
    end
    object MovesQueryNOTE: TIBStringField
      FieldName = 'NOTE'
      Origin = 'MOVES.NOTE'
      Size = 80
    end
  end
object MovesSource: TDataSource
    DataSet = MovesQuery
    Left = 96
    Top = 16
  end
  object StockEvents: TIBEvents
    AutoRegister = True
    Database = InvDM.InvDB
    Events.Strings = (
      'STOCK_CHANGED')
    Registered = False
    OnEventAlert = StockEventsEventAlert
    Left = 160
    Top = 16
  end
end
