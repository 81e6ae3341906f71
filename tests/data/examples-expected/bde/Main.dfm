object MainForm: TMainForm
  Left = 200
  Top = 120
  Width = 568
  Height = 394
  Caption = 'Sales'
  Color = clBtnFace
  Font.Charset = DEFAULT_CHARSET
  Font.Color = clWindowText
  Font.Height = -11
  Font.Name = 'MS Sans Serif'
  Font.Style = []
  OldCreateOrder = False
  OnCreate = FormCreate
  PixelsPerInch = 96
  TextHeight = 13
  object CustomersGrid: TDBGrid
    Left = 0
    Top = 41
    Width = 560
    Height = 319
    Align = alClient
    DataSource = SalesDM.CustomersSource
    TabOrder = 0
    TitleFont.Charset = DEFAULT_CHARSET
    TitleFont.Color = clWindowText
    TitleFont.Height = -11
    TitleFont.Name = 'MS Sans Serif'
    TitleFont.Style = []
  end
  object ToolPanel: TPanel
    Left = 0
    Top = 0
    Width = 560
    Height = 41
    Align = alTop
    TabOrder = 1
    object CountLabel: TLabel
      Left = 8
      Top = 14
      Width = 3
      Height = 13
    end
  end
    object CountQuery: TOrxQuery
    Connection = SalesDM.SalesDB
    SQL.Strings = (
            'select count(*) as CNT from CUSTOMER')
    Left = 480
    Top = 8
    AutoCommit = True
  end
object CountSource: TDataSource
    DataSet = CountQuery
    Left = 520
    Top = 8
  end
end
