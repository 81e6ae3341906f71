unit AdminTools;

interface

uses
  Windows, Messages, SysUtils, Classes, Graphics, Controls, Forms, Dialogs,
  StdCtrls, FIBDatabase, IB_Services;

type
  TAdminForm = class(TForm)
    LogMemo: TMemo;
    BackupButton: TButton;
    BackupService: TpFIBBackupService;
    RestoreService: TpFIBRestoreService;
    ValidationService: TpFIBValidationService;
    SecurityService: TpFIBSecurityService;
    procedure BackupButtonClick(Sender: TObject);
  end;

var
  AdminForm: TAdminForm;

implementation

uses AccData;

{$R *.dfm}

procedure TAdminForm.BackupButtonClick(Sender: TObject);
begin
  BackupService.Active := True;
  try
    BackupService.ServiceStart;
    while not BackupService.Eof do
      LogMemo.Lines.Add(BackupService.GetNextLine);
  finally
    BackupService.Active := False;
  end;
end;

end.
