object BaseForm: TBaseForm
  Left = 250
  Top = 160
  Width = 400
  Height = 300
  Caption = 'Entries'
  OldCreateOrder = False
  PixelsPerInch = 96
  TextHeight = 13
    object dsEntries: TOrxQuery
    SQL.Strings = (
            'SELECT ENTRY_ID FROM ENTRIES')
    Transaction = trRead
    Connection = AccDM.AccDB
    Left = 32
    Top = 16
  end
  object trRead: TOrxTransaction
    DefaultConnection = AccDM.AccDB
    IsolationLevel = iblReadCommitted
    Left = 96
    Top = 16
  end
end
