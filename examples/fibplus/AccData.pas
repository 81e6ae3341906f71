unit AccData;

interface

uses
  SysUtils, Classes, DB, FIBDatabase, pFIBDatabase, FIBDataSet, pFIBDataSet,
  FIBQuery, pFIBQuery, pFIBStoredProc, pFIBScripter, SIBEABase, SIBFIBEA;

type
  TAccDM = class(TDataModule)
    AccDB: TpFIBDatabase;
    ReadTransaction: TpFIBTransaction;
    WriteTransaction: TpFIBTransaction;
    AccountsDataSet: TpFIBDataSet;
    AccountsDataSetACC_ID: TFIBIntegerField;
    AccountsDataSetTITLE: TFIBStringField;
    AccountsSource: TDataSource;
    BalanceProc: TpFIBStoredProc;
    TotalQuery: TpFIBQuery;
    CleanupScript: TpFIBScripter;
    AccAlerter: TSIBfibEventAlerter;
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
    on E: EFIBError do
      Result := 0;
  end;
end;

end.
