program Inventory;

uses
  Forms,
  InvData in 'InvData.pas' {InvDM: TDataModule},
  StockMain in 'StockMain.pas' {StockForm},
  Movements in 'Movements.pas' {MovesForm};

{$R *.res}

begin
  Application.Initialize;
  Application.CreateForm(TInvDM, InvDM);
  Application.CreateForm(TStockForm, StockForm);
  Application.Run;
end.
