unit BaseForm;

interface

uses
  SysUtils, Classes, Controls, Forms, DB, FIBDatabase, pFIBDatabase,
  FIBDataSet, pFIBDataSet;

type
  TBaseForm = class(TForm)
    dsEntries: TpFIBDataSet;
    trRead: TpFIBTransaction;
  end;

implementation

{$R *.dfm}

end.
