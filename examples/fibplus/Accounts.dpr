program Accounts;

uses
  Forms,
  AccData in 'AccData.pas' {AccDM: TDataModule},
  AdminTools in 'AdminTools.pas' {AdminForm};

{$R *.res}

begin
  Application.Initialize;
  Application.CreateForm(TAccDM, AccDM);
  Application.CreateForm(TAdminForm, AdminForm);
  Application.Run;
end.
