object AdminForm: TAdminForm
  Left = 280
  Top = 200
  Width = 480
  Height = 360
  Caption = 'Administration'
  Color = clBtnFace
  Font.Charset = DEFAULT_CHARSET
  Font.Color = clWindowText
  Font.Height = -11
  Font.Name = 'Tahoma'
  Font.Style = []
  OldCreateOrder = False
  PixelsPerInch = 96
  TextHeight = 13
  object LogMemo: TMemo
    Left = 8
    Top = 40
    Width = 456
    Height = 280
    ScrollBars = ssVertical
    TabOrder = 0
  end
  object BackupButton: TButton
    Left = 8
    Top = 8
    Width = 75
    Height = 25
    Caption = 'Backup'
    TabOrder = 1
    OnClick = BackupButtonClick
  end
  object BackupService: TpFIBBackupService
    ServerName = 'fbserver'
    Protocol = TCP
    Params.Strings = (
      'user_name=SYSDBA'
      'password=masterkey')
    LoginPrompt = False
    LibraryName = 'fbclient.dll'
    DatabaseName = '/var/db/accounts.fdb'
    BackupFile.Strings = (
      '/var/backup/accounts.fbk')
    Options = [IgnoreLimbo, NoGarbageCollection]
    Verbose = True
    Left = 104
    Top = 8
  end
  object RestoreService: TpFIBRestoreService
    ServerName = 'fbserver'
    Protocol = NamedPipe
    Params.Strings = (
      'user_name=SYSDBA'
      'password=masterkey')
    LoginPrompt = False
    BackupFile.Strings = (
      '/var/backup/accounts.fbk')
    Options = [DeactivateIndexes, OnlyMetadata, Replace, UseAllSpace]
    PageSize = 8192
    Left = 144
    Top = 8
  end
  object ValidationService: TpFIBValidationService
    ServerName = 'fbserver'
    Protocol = Local
    LoginPrompt = False
    DatabaseName = '/var/db/accounts.fdb'
    Options = [LimboTransactions, CheckDB, ValidateFull]
    GlobalAction = CommitGlobal
    Left = 184
    Top = 8
  end
  object SecurityService: TpFIBSecurityService
    ServerName = 'fbserver'
    Protocol = TCP
    LoginPrompt = False
    SecurityAction = ActionAddUser
    SQlRole = 'ACCOUNTANT'
    FirstName = 'Anna'
    LastName = 'Kovalenko'
    UserID = 0
    GroupID = 0
    Left = 224
    Top = 8
  end
end
