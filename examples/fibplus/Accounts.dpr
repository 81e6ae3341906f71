program Accounts;

uses
  Forms,
  AccData in 'AccData.pas' {AccDM: TDataModule},
  AdminTools in 'AdminTools.pas' {AdminForm},
  BaseForm in 'BaseForm.pas' {BaseForm},
  Ledger in 'Ledger.pas' {LedgerForm};

{$R *.res}

begin
  Application.Initialize;
  Application.CreateForm(TAccDM, AccDM);
  Application.CreateForm(TAdminForm, AdminForm);
  Application.Run;
end.
