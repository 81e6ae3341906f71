unit Orders;

interface

uses
  Windows, Messages, SysUtils, Classes, Graphics, Controls, Forms, Dialogs,
  StdCtrls, Grids, DBGrids, DB, DBTables;

type
  TOrdersForm = class(TForm)
    PaidLabel: TLabel;
    OrdersGrid: TDBGrid;
    ReportQuery: TQuery;
    ReportSource: TDataSource;
    procedure ReportQueryBeforeOpen(DataSet: TDataSet);
  public
    function CustomerCount(const City: string): Integer;
  end;

var
  OrdersForm: TOrdersForm;

implementation

{$R *.DFM}

procedure TOrdersForm.ReportQueryBeforeOpen(DataSet: TDataSet);
begin
  ReportQuery.ParamByName('MIN_AMOUNT').AsFloat := 100;
end;

function TOrdersForm.CustomerCount(const City: string): Integer;
var
  Query: TQuery;
begin
  Query := TQuery.Create(nil);
  try
    Query.DatabaseName := 'SALES';
    Query.SQL.Text := 'select count(*) from CUSTOMER where CITY = :CITY';
    Query.ParamByName('CITY').AsString := City;
    Query.Open;
    Result := Query.Fields[0].AsInteger;
  finally
    Query.Free;
  end;
end;

end.
