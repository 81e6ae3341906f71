unit StockMain;

interface

uses
  Windows, Messages, SysUtils, Classes, Graphics, Controls, Forms, Dialogs,
  Grids, DBGrids, DB, IBDatabase, Quorvel, Orx, OrxScript, Lintra, OrxError, IBCustomDataSet, IBTable;

type
  TStockForm = class(TForm)
    StockGrid: TDBGrid;
    StockTable: TOrxTable;
    StockSource: TDataSource;
    procedure FormShow(Sender: TObject);
  end;

var
  StockForm: TStockForm;

implementation

uses InvData;

{$R *.dfm}

procedure TStockForm.FormShow(Sender: TObject);
begin
  StockTable.Open;
end;

end.
