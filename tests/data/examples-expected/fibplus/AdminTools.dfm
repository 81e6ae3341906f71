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
    object BackupService: TOrxBackupService
    Server = 'fbserver'
    Protocol = TCP
    Params.Strings = (
            'user_name=SYSDBA'
            'password=masterkey')
    LoginPrompt = False
    ClientLibrary = 'fbclient.dll'
    Database = '/var/db/accounts.fdb'
    BackupFile.Strings = (
            '/var/backup/accounts.fbk')
    Options = [boIgnoreLimbo, boNoGarbageCollection]
    Verbose = True
    Left = 104
    Top = 8
  end
  object RestoreService: TOrxRestoreService
    Server = 'fbserver'
    Protocol = NetBEUI
    Params.Strings = (
            'user_name=SYSDBA'
            'password=masterkey')
    LoginPrompt = False
    BackupFile.Strings = (
            '/var/backup/accounts.fbk')
    Options = [roDeactivateIndexes, roReplace, roUseAllSpace]
    PageSize = 8192
    Left = 144
    Top = 8
  end
  object ValidationService: TOrxValidationService
    Server = 'fbserver'
    LoginPrompt = False
    Database = '/var/db/accounts.fdb'
    Options = [voCheckDB, voValidateFull]
    GlobalAction = tgCommitGlobal
    Left = 184
    Top = 8
  end
  object SecurityService: TOrxSecurityService
    Server = 'fbserver'
    Protocol = TCP
    LoginPrompt = False
    SecurityAction = saAddUser
    UserInfo.SQLRole = 'ACCOUNTANT'
    UserInfo.FirstName = 'Anna'
    UserInfo.LastName = 'Kovalenko'
    UserInfo.UserID = 0
    UserInfo.GroupID = 0
    Left = 224
    Top = 8
  end
end
