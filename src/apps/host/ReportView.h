// TReportView: the report of work left as the host shows it, a table of its
// items (consequence, kind, file:line, object, detail) that filters by
// consequence and by text, sorts by any column, and asks for the unit or
// form at an item's line on a double click. It reads the JSON report
// (TReportFile), so the file of `migwiz replace --report` opens in it too.
#pragma once

#include "ReportFile.h"

#include <QWidget>

#include <functional>

class QComboBox;
class QLabel;
class QLineEdit;
class QSortFilterProxyModel;
class QStandardItemModel;
class QTableView;

class TReportView : public QWidget
{
    Q_OBJECT

public:
    enum TColumn : int { ConsequenceColumn, KindColumn, PlaceColumn, ObjectColumn, DetailColumn, ColumnCount };

    explicit TReportView(QWidget *Parent = nullptr);

    // Shows a report; the rows that the filters let through.
    void SetReport(const TReportFile &Report);
    const TReportFile &Report() const { return FReport; }

    // Runs on a double click with the item's file and line (0: unknown).
    std::function<void(const QString &File, int Line)> OnOpenLocation;

    QComboBox *ConsequenceFilter() const { return FConsequence; }
    QLineEdit *TextFilter() const { return FText; }
    QTableView *Table() const { return FTable; }
    // The rows shown, after filtering and sorting.
    int VisibleRows() const;
    // The text of a shown cell.
    QString Cell(int Row, int Column) const;

private:
    void OpenRow(const QModelIndex &Index);

    TReportFile FReport;
    QLabel *FSummary;
    QComboBox *FConsequence;
    QLineEdit *FText;
    QTableView *FTable;
    QStandardItemModel *FModel;
    QSortFilterProxyModel *FProxy;
};
