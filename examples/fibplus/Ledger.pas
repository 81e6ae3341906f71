unit Ledger;

interface

uses
  SysUtils, Classes, Controls, Forms, DB, pFIBDatabase, pFIBDataSet, BaseForm;

type
  TLedgerForm = class(TBaseForm)
    trWrite: TpFIBTransaction;
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
