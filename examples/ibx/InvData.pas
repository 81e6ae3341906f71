unit InvData;

interface

uses
  SysUtils, Classes, DB, IBDatabase, IBCustomDataSet, IBQuery, IBSQL, IBScript;

type
  TInvDM = class(TDataModule)
    InvDB: TIBDatabase;
    InvTransaction: TIBTransaction;
    ItemsDataSet: TIBDataSet;
    ItemsDataSetITEM_ID: TIntegerField;
    ItemsDataSetTITLE: TIBStringField;
    ItemsDataSetPRICE: TIBBCDField;
    ItemsSource: TDataSource;
    StockQuery: TIBQuery;
    CountSQL: TIBSQL;
    UpgradeScript: TIBScript;
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
