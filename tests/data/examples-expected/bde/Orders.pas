unit Orders;

interface

uses
  Windows, Messages, SysUtils, Classes, Graphics, Controls, Forms, Dialogs,
  StdCtrls, Grids, DBGrids, DB, DBTables, Quorvel, Orx, Lintra, OrxError;

type
  TOrdersForm = class(TForm)
    PaidLabel: TLabel;
    OrdersGrid: TDBGrid;
    ReportQuery: TOrxQuery;
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
  Query: TOrxQuery;
begin
  Query := TOrxQuery.Create(nil);
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
