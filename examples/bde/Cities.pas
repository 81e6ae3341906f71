unit Cities;

interface

uses
  SysUtils, Classes, DB, Wwtable, BDE;

type
  TCityDM = class(TDataModule)
    CityTable: TwwTable;
    CityTableNAME: TStringField;
    procedure CityDMCreate(Sender: TObject);
  public
    function EngineVersion: Integer;
  end;

var
  CityDM: TCityDM;

implementation

{$R *.dfm}

procedure TCityDM.CityDMCreate(Sender: TObject);
begin
  CityTable.Open;
end;

function TCityDM.EngineVersion: Integer;
var
  Version: SYSVersion;
begin
  Check(DbiGetSysVersion(Version));
  Result := Version.iVersion;
end;

end.
