unit SalesData;

interface

uses
  SysUtils, Classes, DB, DBTables, Quorvel, Orx, Lintra, OrxError, Wwtable, Wwquery;

type
  TSalesDM = class(TDataModule)
    SalesDB: TOrxConnection;
    Transaction: TOrxTransaction;
    SalesSession: TSession;
    CustomersTable: TOrxTable;
    CustomersTableCUST_NO: TIntegerField;
    CustomersTableNAME: TStringField;
    CustomersTableCITY: TStringField;
    CustomersSource: TDataSource;
    OrdersQuery: TOrxQuery;
    OrdersQueryORDER_NO: TIntegerField;
    OrdersQueryCUST_NO: TIntegerField;
    OrdersQueryAMOUNT: TFloatField;
    OrdersQueryTAX: TFloatField;
    OrdersSource: TDataSource;
    OrdersUpdate: TOrxUpdateSQL;
    NextOrderProc: TOrxStoredProc;
    ItemsQuery: TOrxQuery;
    PartsTable: TOrxTable;
    procedure OrdersQueryBeforeOpen(DataSet: TDataSet);
    procedure OrdersQueryCalcFields(DataSet: TDataSet);
    procedure OrdersQueryAfterPost(DataSet: TDataSet);
    procedure CustomersTableFilterRecord(DataSet: TDataSet;
      var Accept: Boolean);
  private
    FTaxRate: Double;
  public
    function NextOrderNo: Integer;
    procedure ApplyOrders;
  end;

var
  SalesDM: TSalesDM;

implementation

{$R *.dfm}

procedure TSalesDM.OrdersQueryBeforeOpen(DataSet: TDataSet);
begin
  FTaxRate := 0.2;
end;

procedure TSalesDM.OrdersQueryCalcFields(DataSet: TDataSet);
begin
  OrdersQueryTAX.Value := OrdersQueryAMOUNT.Value * FTaxRate;
end;

procedure TSalesDM.OrdersQueryAfterPost(DataSet: TDataSet);
begin
  ApplyOrders;
end;

procedure TSalesDM.CustomersTableFilterRecord(DataSet: TDataSet;
  var Accept: Boolean);
begin
  Accept := CustomersTableCITY.AsString <> '';
end;

function TSalesDM.NextOrderNo: Integer;
begin
  NextOrderProc.ExecProc;
  Result := NextOrderProc.ParamByName('ORDER_NO').AsInteger;
end;

{ Cached order changes are written through the TOrxUpdateSQL object and
  committed on the TOrxConnection. }
procedure TSalesDM.ApplyOrders;
begin
  try
    SalesDB.ApplyUpdates([OrdersQuery]);
  except
    on E: EOrxError do
    begin
      SalesDB.Rollback;
      raise;
    end;
  end;
end;

end.
