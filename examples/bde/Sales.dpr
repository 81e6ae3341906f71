program Sales;

uses
  Forms,
  SalesData in 'SalesData.pas' {SalesDM: TDataModule},
  Main in 'Main.pas' {MainForm},
  Orders in 'Orders.pas' {OrdersForm},
  Cities in 'Cities.pas' {CityDM: TDataModule};

{$R *.res}

begin
  Application.Initialize;
  Application.CreateForm(TSalesDM, SalesDM);
  Application.CreateForm(TMainForm, MainForm);
  Application.CreateForm(TOrdersForm, OrdersForm);
  Application.Run;
end.
