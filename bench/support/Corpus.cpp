#include "Corpus.h"

#include "TextCodec.h"

#include <QRandomGenerator>

namespace Corpus {

namespace {

const char *const Words[] = {"Customer", "Order", "Invoice", "Payment", "Supplier", "Stock", "Report", "Ledger",
                             "Account", "Address", "Contract", "Employee", "Product", "Region", "Tax", "Total"};

QString Word(QRandomGenerator &Rng)
{
    return QString::fromLatin1(Words[Rng.bounded(int(std::size(Words)))]);
}

} // namespace

QString MakeUnit(const QString &UnitName, bool WithForm, QRandomGenerator &Rng)
{
    QString S;
    S.reserve(20000);
    S += QStringLiteral("unit %1;\r\n\r\n{ Data entry for the %2 module.\r\n  Written for the BDE; see TQuery usage below. }\r\n\r\n")
             .arg(UnitName, Word(Rng));
    S += QStringLiteral("interface\r\n\r\nuses\r\n  Windows, Messages, SysUtils, Classes, Graphics, Controls, Forms,\r\n"
                        "  Dialogs, StdCtrls, ExtCtrls, Grids, DBGrids, DB, DBTables, Wwquery, Wwtable;\r\n\r\ntype\r\n");
    const QString Cls = QStringLiteral("T") + UnitName + QStringLiteral("Form");
    S += QStringLiteral("  %1 = class(TForm)\r\n").arg(Cls);
    const int Fields = 10 + Rng.bounded(30);
    for (int I = 0; I < Fields; ++I) {
        switch (Rng.bounded(6)) {
        case 0: S += QStringLiteral("    qry%1%2: TQuery;\r\n").arg(Word(Rng)).arg(I); break;
        case 1: S += QStringLiteral("    tbl%1%2: TTable;\r\n").arg(Word(Rng)).arg(I); break;
        case 2: S += QStringLiteral("    ds%1%2: TDataSource;\r\n").arg(Word(Rng)).arg(I); break;
        case 3: S += QStringLiteral("    lbl%1%2: TLabel;\r\n").arg(Word(Rng)).arg(I); break;
        case 4: S += QStringLiteral("    edt%1%2: TEdit;\r\n").arg(Word(Rng)).arg(I); break;
        default: S += QStringLiteral("    fld%1%2: TStringField;\r\n").arg(Word(Rng)).arg(I); break;
        }
    }
    S += QStringLiteral("    procedure FormCreate(Sender: TObject);\r\n  private\r\n    FCount: Integer;\r\n  public\r\n"
                        "    procedure Refresh%1;\r\n  end;\r\n\r\nvar\r\n  %2: %3;\r\n\r\nimplementation\r\n\r\n")
             .arg(Word(Rng), UnitName, Cls);
    if (WithForm)
        S += QStringLiteral("{$R *.dfm}\r\n\r\n");
    const int Procs = 8 + Rng.bounded(16);
    for (int P = 0; P < Procs; ++P) {
        S += QStringLiteral("procedure %1.Refresh%2%3;\r\nvar\r\n  Q: TQuery;\r\n  I: Integer;\r\nbegin\r\n").arg(Cls, Word(Rng)).arg(P);
        S += QStringLiteral("  // Reload the %1 list; don't keep the old cursor\r\n").arg(Word(Rng));
        S += QStringLiteral("  Q := TQuery.Create(nil);\r\n  try\r\n    Q.DatabaseName := 'SALES';\r\n");
        S += QStringLiteral("    Q.SQL.Text := 'select * from %1 where ID = :ID and NAME <> ''x''';\r\n").arg(Word(Rng).toUpper());
        S += QStringLiteral("    Q.ParamByName('ID').AsInteger := %1;\r\n    Q.Open;\r\n").arg(Rng.bounded(100000));
        S += QStringLiteral("    for I := 0 to Q.FieldCount - 1 do\r\n      Caption := Caption + Q.Fields[I].AsString + #13#10;\r\n");
        S += QString::fromUtf8("    ShowMessage('Готово: ' + IntToStr(FCount) + ' записей, coût total');\r\n");
        S += QStringLiteral("  except\r\n    on E: EDBEngineError do\r\n      raise Exception.Create(E.Message); (* BDE error *)\r\n"
                            "  end;\r\n  Q.Free;\r\n  FCount := FCount + $%1;\r\nend;\r\n\r\n")
                 .arg(Rng.bounded(256), 2, 16, QLatin1Char('0'));
    }
    S += QStringLiteral("procedure %1.FormCreate(Sender: TObject);\r\nbegin\r\n  FCount := 0;\r\nend;\r\n\r\nend.\r\n").arg(Cls);
    return S;
}

QString MakeForm(const QString &FormName, QRandomGenerator &Rng)
{
    QString S;
    S += QStringLiteral("object %1: T%1\r\n  Left = 192\r\n  Top = 107\r\n  Width = 870\r\n  Height = 640\r\n"
                        "  Caption = 'Data entry'\r\n  Font.Name = 'MS Sans Serif'\r\n  OnCreate = FormCreate\r\n"
                        "  PixelsPerInch = 96\r\n  TextHeight = 13\r\n").arg(FormName);
    const int Objects = 6 + Rng.bounded(20);
    for (int I = 0; I < Objects; ++I) {
        const int Kind = Rng.bounded(4);
        if (Kind == 0) {
            S += QStringLiteral("  object qry%1: TQuery\r\n    DatabaseName = 'SALES'\r\n    SQL.Strings = (\r\n"
                                "      'select ID, NAME, TOTAL'\r\n      'from %2'\r\n      'where ID = :ID')\r\n"
                                "    Left = %3\r\n    Top = 16\r\n    ParamData = <\r\n      item\r\n        DataType = ftInteger\r\n"
                                "        Name = 'ID'\r\n        ParamType = ptInput\r\n      end>\r\n")
                     .arg(I).arg(Word(Rng).toUpper()).arg(8 + 40 * I);
            for (int F = 0; F < 4 + Rng.bounded(8); ++F)
                S += QStringLiteral("    object qry%1%2%3: TStringField\r\n      FieldName = '%2'\r\n      Size = %4\r\n    end\r\n")
                         .arg(I).arg(Word(Rng).toUpper()).arg(F).arg(10 + Rng.bounded(90));
            S += QStringLiteral("  end\r\n");
        } else if (Kind == 1) {
            S += QStringLiteral("  object tbl%1: TTable\r\n    DatabaseName = 'SALES'\r\n    TableName = '%2'\r\n"
                                "    IndexFieldNames = 'ID'\r\n    Left = %3\r\n    Top = 64\r\n  end\r\n")
                     .arg(I).arg(Word(Rng).toUpper()).arg(8 + 40 * I);
        } else if (Kind == 2) {
            S += QStringLiteral("  object Panel%1: TPanel\r\n    Left = 0\r\n    Top = %2\r\n    Width = 870\r\n    Height = 41\r\n"
                                "    Align = alTop\r\n    TabOrder = %1\r\n    object Label%1: TLabel\r\n      Left = 8\r\n"
                                "      Top = 12\r\n      Caption = #1050#1083#1080#1077#1085#1090\r\n    end\r\n  end\r\n")
                     .arg(I).arg(41 * I);
        } else {
            S += QStringLiteral("  object ds%1: TDataSource\r\n    DataSet = qry%1\r\n    Left = %2\r\n    Top = 112\r\n  end\r\n")
                     .arg(I).arg(8 + 40 * I);
        }
    }
    S += QStringLiteral("end\r\n");
    return S;
}

QList<QByteArray> MakeUnitFiles(qsizetype TargetBytes, unsigned Seed)
{
    QRandomGenerator Rng(Seed);
    QList<QByteArray> Files;
    qsizetype Total = 0;
    for (int I = 0; Total < TargetBytes; ++I) {
        const QByteArray Bytes = TextCodec::EncodeAnsi(MakeUnit(QStringLiteral("Unit%1").arg(I), I % 2 == 0, Rng));
        Total += Bytes.size();
        Files.append(Bytes);
    }
    return Files;
}

} // namespace Corpus
