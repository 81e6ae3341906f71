object StockForm: TStockForm
  Left = 260
  Top = 180
  Width = 520
  Height = 360
  Caption = #1057#1082#1083#1072#1076
  Color = clBtnFace
  Font.Charset = RUSSIAN_CHARSET
  Font.Color = clWindowText
  Font.Height = -11
  Font.Name = 'Tahoma'
  Font.Style = []
  OldCreateOrder = False
  OnShow = FormShow
  PixelsPerInch = 96
  TextHeight = 13
  object StockGrid: TDBGrid
    Left = 0
    Top = 0
    Width = 512
    Height = 326
    Align = alClient
    DataSource = StockSource
    TabOrder = 0
    TitleFont.Charset = RUSSIAN_CHARSET
    TitleFont.Color = clWindowText
    TitleFont.Height = -11
    TitleFont.Name = 'Tahoma'
    TitleFont.Style = []
  end
    object StockTable: TOrxTable
    Connection = InvDM.InvDB
    Transaction = InvDM.InvTransaction
    CachedUpdates = False
    DetailFields = 'ITEM_ID'
    TableName = 'STOCK'
    Left = 400
    Top = 16
    AutoCommit = True
  end
object StockSource: TDataSource
    DataSet = StockTable
    Left = 440
    Top = 16
  end
end
