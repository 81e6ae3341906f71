unit InvData;

interface

uses
  SysUtils, Classes, DB, IBDatabase, Quorvel, Orx, OrxScript, Lintra, OrxError, IBCustomDataSet, IBQuery, IBSQL, IBScript;

type
  TInvDM = class(TDataModule)
    InvDB: TOrxConnection;
    InvTransaction: TOrxTransaction;
    ItemsDataSet: TOrxQuery;
    ItemsDataSetITEM_ID: TIntegerField;
    ItemsDataSetTITLE: TIBStringField;
    ItemsDataSetPRICE: TIBBCDField;
    ItemsSource: TDataSource;
    StockQuery: TOrxQuery;
    CountSQL: TOrxSQL;
    UpgradeScript: TOrxScript;
    procedure ItemsDataSetAfterPost(DataSet: TDataSet);
    procedure ItemsDataSetNewRecord(DataSet: TDataSet);
  public
    function ItemCount: Integer;
  end;

var
  InvDM: TInvDM;

implementation

{$R *.dfm}

procedure TInvDM.ItemsDataSetAfterPost(DataSet: TDataSet);
begin
  InvTransaction.CommitRetaining;
end;

procedure TInvDM.ItemsDataSetNewRecord(DataSet: TDataSet);
begin
  ItemsDataSetPRICE.AsCurrency := 0;
end;

function TInvDM.ItemCount: Integer;
begin
  CountSQL.ExecQuery;
  try
    Result := CountSQL.Fields[0].AsInteger;
  finally
    CountSQL.Close;
  end;
end;

end.
