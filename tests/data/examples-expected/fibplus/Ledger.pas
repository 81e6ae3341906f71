unit Ledger;

interface

uses
  SysUtils, Classes, Controls, Forms, DB, pFIBDatabase, Quorvel, Lintra, ZuSQLMonitor, ZuAlerter, ZuScript, Orx, OrxScript, OrxAlerter, OrxSQLMonitor, OrxError, OrxAdmin, pFIBDataSet, BaseForm;

type
  TLedgerForm = class(TBaseForm)
    trWrite: TOrxTransaction;
    dsEntriesAMOUNT: TFIBBCDField;
    LedgerSource: TDataSource;
    procedure FormShow(Sender: TObject);
  end;

var
  LedgerForm: TLedgerForm;

implementation

{$R *.dfm}

procedure TLedgerForm.FormShow(Sender: TObject);
begin
  dsEntries.Open;
end;

end.
