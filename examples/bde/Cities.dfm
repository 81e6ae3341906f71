object CityDM: TCityDM
  OldCreateOrder = False
  OnCreate = CityDMCreate
  Left = 300
  Top = 200
  Height = 150
  Width = 215
  object CityTable: TwwTable
    DatabaseName = 'DBDEMOS'
    IndexName = 'ByName'
    TableName = 'CITIES'
    Left = 32
    Top = 16
    object CityTableNAME: TStringField
      FieldName = 'NAME'
      Size = 30
    end
  end
end
