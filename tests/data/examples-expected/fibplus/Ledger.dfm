inherited LedgerForm: TLedgerForm
  Caption = 'Ledger'
  OnShow = FormShow
  PixelsPerInch = 96
  TextHeight = 13
    inherited dsEntries: TOrxQuery
    SQL.Strings = (
            'SELECT ENTRY_ID, AMOUNT FROM ENTRIES'
            'ORDER BY ENTRY_ID')
    Transaction = trWrite
    object dsEntriesAMOUNT: TFIBBCDField
      FieldName = 'AMOUNT'
      Size = 2
    end
  end
  object trWrite: TOrxTransaction [2]
    DefaultConnection = AccDM.AccDB
    IsolationLevel = iblReadCommitted
    Left = 96
    Top = 64
  end
object LedgerSource: TDataSource [3]
    DataSet = dsEntries
    Left = 160
    Top = 64
  end
end
