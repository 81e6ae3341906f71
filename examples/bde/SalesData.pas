unit SalesData;

interface

uses
  SysUtils, Classes, DB, DBTables, Wwtable, Wwquery;

type
  TSalesDM = class(TDataModule)
    SalesDB: TDatabase;
    SalesSession: TSession;
    CustomersTable: TTable;
    CustomersTableCUST_NO: TIntegerField;
    CustomersTableNAME: TStringField;
    CustomersTableCITY: TStringField;
    CustomersSource: TDataSource;
    OrdersQuery: TQuery;
    OrdersQueryORDER_NO: TIntegerField;
    OrdersQueryCUST_NO: TIntegerField;
    OrdersQueryAMOUNT: TFloatField;
    OrdersQueryTAX: TFloatField;
    OrdersSource: TDataSource;
    OrdersUpdate: TUpdateSQL;
    NextOrderProc: TStoredProc;
    ItemsQuery: TwwQuery;
    PartsTable: TwwTable;
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

{ Cached order changes are written through the TUpdateSQL object and
  committed on the TDatabase. }
procedure TSalesDM.ApplyOrders;
begin
  try
    SalesDB.ApplyUpdates([OrdersQuery]);
  except
    on E: EDBEngineError do
    begin
      SalesDB.Rollback;
      raise;
    end;
  end;
end;

end.
