unit AccData;

interface

uses
  SysUtils, Classes, DB, FIBDatabase, Quorvel, Lintra, ZuSQLMonitor, ZuAlerter, ZuScript, Orx, OrxScript, OrxAlerter, OrxSQLMonitor, OrxError, OrxAdmin, pFIBDatabase, FIBDataSet, pFIBDataSet,
  FIBQuery, pFIBQuery, pFIBStoredProc, pFIBScripter, SIBEABase, SIBFIBEA;

type
  TAccDM = class(TDataModule)
    AccDB: TOrxConnection;
    ReadTransaction: TOrxTransaction;
    WriteTransaction: TOrxTransaction;
    AccountsDataSet: TOrxQuery;
    AccountsDataSetACC_ID: TFIBIntegerField;
    AccountsDataSetTITLE: TFIBStringField;
    AccountsSource: TDataSource;
    BalanceProc: TOrxStoredProc;
    TotalQuery: TOrxSQL;
    CleanupScript: TOrxScript;
    AccAlerter: TOrxAlerter;
    procedure AccountsDataSetBeforePost(DataSet: TDataSet);
    procedure AccAlerterEventAlert(Sender: TObject; EventName: string;
      EventCount: Integer);
  public
    function Balance(AccID: Integer): Currency;
  end;

var
  AccDM: TAccDM;

implementation

{$R *.dfm}

procedure TAccDM.AccountsDataSetBeforePost(DataSet: TDataSet);
begin
  AccountsDataSetTITLE.AsString := Trim(AccountsDataSetTITLE.AsString);
end;

procedure TAccDM.AccAlerterEventAlert(Sender: TObject; EventName: string;
  EventCount: Integer);
begin
  AccountsDataSet.FullRefresh;
end;

function TAccDM.Balance(AccID: Integer): Currency;
begin
  try
    BalanceProc.ParamByName('ACC_ID').AsInteger := AccID;
    BalanceProc.ExecProc;
    Result := BalanceProc.FieldByName('BALANCE').AsCurrency;
  except
    on E: EOrxError do
      Result := 0;
  end;
end;

end.
