unit BaseForm;

interface

uses
  SysUtils, Classes, Controls, Forms, DB, FIBDatabase, Quorvel, Lintra, ZuSQLMonitor, ZuAlerter, ZuScript, Orx, OrxScript, OrxAlerter, OrxSQLMonitor, OrxError, OrxAdmin, pFIBDatabase,
  FIBDataSet, pFIBDataSet;

type
  TBaseForm = class(TForm)
    dsEntries: TOrxQuery;
    trRead: TOrxTransaction;
  end;

implementation

{$R *.dfm}

end.
