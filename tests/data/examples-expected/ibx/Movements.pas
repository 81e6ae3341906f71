unit Movements;

interface

uses
  SysUtils, Classes, Controls, Forms, Grids, DBGrids, DB, IBCustomDataSet, Quorvel, Orx, OrxScript, Lintra, OrxError,
  IBQuery, IBEvents;

type
  TMovesForm = class(TForm)
    MovesGrid: TDBGrid;
    MovesQuery: TOrxQuery;
    MovesQueryITEM_ID: TIntegerField;
    MovesQueryNOTE: TIBStringField;
    MovesSource: TDataSource;
    StockEvents: TIBEvents;
    procedure StockEventsEventAlert(Sender: TObject; EventName: string;
      EventCount: Integer; var CancelAlerts: Boolean);
  end;

var
  MovesForm: TMovesForm;

implementation

uses InvData;

{$R *.dfm}

procedure TMovesForm.StockEventsEventAlert(Sender: TObject; EventName: string;
  EventCount: Integer; var CancelAlerts: Boolean);
begin
  MovesQuery.Close;
  MovesQuery.Open;
end;

end.
