unit AdminTools;

interface

uses
  Windows, Messages, SysUtils, Classes, Graphics, Controls, Forms, Dialogs,
  StdCtrls, FIBDatabase, Quorvel, Lintra, ZuSQLMonitor, ZuAlerter, ZuScript, Orx, OrxScript, OrxAlerter, OrxSQLMonitor, OrxError, OrxAdmin, IB_Services;

type
  TAdminForm = class(TForm)
    LogMemo: TMemo;
    BackupButton: TButton;
    BackupService: TOrxBackupService;
    RestoreService: TOrxRestoreService;
    ValidationService: TOrxValidationService;
    SecurityService: TOrxSecurityService;
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
