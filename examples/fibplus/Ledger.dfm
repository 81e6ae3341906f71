inherited LedgerForm: TLedgerForm
  Caption = 'Ledger'
  OnShow = FormShow
  PixelsPerInch = 96
  TextHeight = 13
  inherited dsEntries: TpFIBDataSet
    SelectSQL.Strings = (
      'SELECT ENTRY_ID, AMOUNT FROM ENTRIES'
      'ORDER BY ENTRY_ID')
    Transaction = trWrite
    AutoUpdateOptions.WhenGetGenID = wgBeforePost
    object dsEntriesAMOUNT: TFIBBCDField
      FieldName = 'AMOUNT'
      Size = 2
    end
  end
  object trWrite: TpFIBTransaction [2]
    DefaultDatabase = AccDM.AccDB
    TRParams.Strings = (
      'write'
      'nowait'
      'rec_version'
      'read_committed')
    TPBMode = tpbReadCommitted
    Left = 96
    Top = 64
  end
  object LedgerSource: TDataSource [3]
    DataSet = dsEntries
    Left = 160
    Top = 64
  end
end
