object BaseForm: TBaseForm
  Left = 250
  Top = 160
  Width = 400
  Height = 300
  Caption = 'Entries'
  OldCreateOrder = False
  PixelsPerInch = 96
  TextHeight = 13
  object dsEntries: TpFIBDataSet
    SelectSQL.Strings = (
      'SELECT ENTRY_ID FROM ENTRIES')
    Transaction = trRead
    Database = AccDM.AccDB
    Left = 32
    Top = 16
  end
  object trRead: TpFIBTransaction
    DefaultDatabase = AccDM.AccDB
    TPBMode = tpbReadCommitted
    Left = 96
    Top = 16
  end
end
