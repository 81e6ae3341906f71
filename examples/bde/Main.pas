unit Main;

interface

uses
  Windows, Messages, SysUtils, Classes, Graphics, Controls, Forms, Dialogs,
  StdCtrls, ExtCtrls, Grids, DBGrids, DB, DBTables;

type
  TMainForm = class(TForm)
    CustomersGrid: TDBGrid;
    ToolPanel: TPanel;
    CountLabel: TLabel;
    CountQuery: TQuery;
    CountSource: TDataSource;
    procedure FormCreate(Sender: TObject);
  end;

var
  MainForm: TMainForm;

implementation

uses SalesData;

{$R *.dfm}

procedure TMainForm.FormCreate(Sender: TObject);
begin
  CountQuery.Open;
  try
    CountLabel.Caption := CountQuery.FieldByName('CNT').AsString + ' customers';
  finally
    CountQuery.Close;
  end;
end;

end.
