#include "ReportView.h"

#include <QComboBox>
#include <QDir>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QSortFilterProxyModel>
#include <QStandardItemModel>
#include <QTableView>
#include <QVBoxLayout>

namespace {

// Roles of the model's items beside the shown text.
constexpr int SortRole = Qt::UserRole + 1;
constexpr int FileRole = Qt::UserRole + 2;
constexpr int LineRole = Qt::UserRole + 3;
constexpr int ConsequenceRole = Qt::UserRole + 4;

// Lets through the rows of the chosen consequence (-1: all) whose cells hold
// the text, letter case aside.
class TReportFilter : public QSortFilterProxyModel
{
public:
    using QSortFilterProxyModel::QSortFilterProxyModel;
    int Consequence = -1;
    QString Text;
    void Refilter() { invalidateFilter(); }

protected:
    bool filterAcceptsRow(int Row, const QModelIndex &Parent) const override
    {
        const QAbstractItemModel *Model = sourceModel();
        if (Consequence >= 0
            && Model->index(Row, TReportView::ConsequenceColumn, Parent).data(ConsequenceRole).toInt() != Consequence)
            return false;
        if (Text.isEmpty())
            return true;
        for (int C = 0; C < TReportView::ColumnCount; ++C)
            if (Model->index(Row, C, Parent).data().toString().contains(Text, Qt::CaseInsensitive))
                return true;
        return false;
    }
};

QString detailOf(const TReportRow &Row)
{
    QString Text = Row.Name;
    if (!Row.Value.isEmpty())
        Text += QStringLiteral(" = ") + Row.Value;
    if (!Row.Detail.isEmpty())
        Text += Text.isEmpty() ? Row.Detail : QStringLiteral(" (") + Row.Detail + u')';
    return Text;
}

QString shownPath(const QString &File, const QString &Base)
{
    if (Base.isEmpty())
        return QDir::toNativeSeparators(File);
    const QString Relative = QDir(Base).relativeFilePath(File);
    return QDir::toNativeSeparators(Relative.startsWith(QLatin1String("..")) ? File : Relative);
}

} // namespace

TReportView::TReportView(QWidget *Parent)
    : QWidget(Parent)
{
    setObjectName(QStringLiteral("ReportView"));
    FSummary = new QLabel(this);
    FSummary->setObjectName(QStringLiteral("ReportSummary"));
    FSummary->setWordWrap(true);
    FConsequence = new QComboBox(this);
    FConsequence->setObjectName(QStringLiteral("ConsequenceFilter"));
    FConsequence->addItem(QStringLiteral("All consequences"), -1);
    for (int C = 0; C < ConsequenceCount; ++C)
        FConsequence->addItem(TReportFile::ConsequenceText(TConsequence(C)), C);
    FText = new QLineEdit(this);
    FText->setObjectName(QStringLiteral("TextFilter"));
    FText->setPlaceholderText(QStringLiteral("Filter by text"));
    FText->setClearButtonEnabled(true);

    FModel = new QStandardItemModel(0, ColumnCount, this);
    FModel->setHorizontalHeaderLabels(
        {QStringLiteral("Consequence"), QStringLiteral("Kind"), QStringLiteral("File:Line"), QStringLiteral("Object"),
         QStringLiteral("Detail")});
    auto *Filter = new TReportFilter(this);
    Filter->setSourceModel(FModel);
    Filter->setSortRole(SortRole);
    Filter->setSortCaseSensitivity(Qt::CaseInsensitive);
    FProxy = Filter;

    FTable = new QTableView(this);
    FTable->setObjectName(QStringLiteral("ReportTable"));
    FTable->setModel(FProxy);
    FTable->setSortingEnabled(true);
    FTable->setSelectionBehavior(QAbstractItemView::SelectRows);
    FTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    FTable->setWordWrap(false);
    FTable->verticalHeader()->hide();
    FTable->horizontalHeader()->setStretchLastSection(true);

    auto *Filters = new QHBoxLayout;
    Filters->addWidget(FConsequence);
    Filters->addWidget(FText, 1);
    auto *Layout = new QVBoxLayout(this);
    Layout->setContentsMargins(4, 4, 4, 4);
    Layout->addWidget(FSummary);
    Layout->addLayout(Filters);
    Layout->addWidget(FTable, 1);

    connect(FConsequence, &QComboBox::currentIndexChanged, this, [this, Filter] {
        Filter->Consequence = FConsequence->currentData().toInt();
        Filter->Refilter();
    });
    connect(FText, &QLineEdit::textChanged, this, [this, Filter](const QString &Text) {
        Filter->Text = Text;
        Filter->Refilter();
    });
    connect(FTable, &QTableView::doubleClicked, this, &TReportView::OpenRow);
    connect(FTable, &QTableView::activated, this, &TReportView::OpenRow);
}

void TReportView::SetReport(const TReportFile &Report)
{
    FReport = Report;
    FModel->removeRows(0, FModel->rowCount());
    int Order = 0;
    for (const TReportRow &Row : Report.Rows) {
        const QString Place = shownPath(Row.File, Report.Base) + (Row.Line > 0 ? u':' + QString::number(Row.Line) : QString());
        QList<QStandardItem *> Items;
        auto add = [&Items](const QString &Text, const QVariant &Sort) {
            auto *Item = new QStandardItem(Text);
            Item->setData(Sort, SortRole);
            Item->setToolTip(Text);
            Items << Item;
        };
        // The consequences sort by their weight, the places by file and then
        // by line number, the rest by their text; equals keep report order.
        add(TReportFile::ConsequenceText(Row.Consequence), int(Row.Consequence) * 1000000 + Order);
        add(Row.Kind, Row.Kind);
        add(Place, QStringLiteral("%1\x01%2").arg(Row.File.toLower()).arg(Row.Line, 9, 10, QLatin1Char('0')));
        add(Row.Object, Row.Object);
        add(detailOf(Row), detailOf(Row));
        Items[ConsequenceColumn]->setData(int(Row.Consequence), ConsequenceRole);
        for (QStandardItem *Item : std::as_const(Items)) {
            Item->setData(Row.File, FileRole);
            Item->setData(Row.Line, LineRole);
        }
        FModel->appendRow(Items);
        ++Order;
    }
    QStringList Counts;
    for (int C = 0; C < ConsequenceCount; ++C)
        if (Report.Counts[size_t(C)] > 0)
            Counts << QStringLiteral("%1 %2").arg(Report.Counts[size_t(C)]).arg(TReportFile::ConsequenceText(TConsequence(C)));
    FSummary->setText(Report.Rows.empty()
                          ? QStringLiteral("Nothing needs manual work.")
                          : QStringLiteral("%1 item(s) need manual work in %2: %3.")
                                .arg(Report.Rows.size())
                                .arg(QDir::toNativeSeparators(Report.Base), Counts.join(QStringLiteral(", "))));
    // The most serious first; within a consequence, the report's order.
    FTable->sortByColumn(ConsequenceColumn, Qt::AscendingOrder);
    FTable->resizeColumnsToContents();
}

int TReportView::VisibleRows() const
{
    return FProxy->rowCount();
}

QString TReportView::Cell(int Row, int Column) const
{
    return FProxy->index(Row, Column).data().toString();
}

void TReportView::OpenRow(const QModelIndex &Index)
{
    if (!Index.isValid() || !OnOpenLocation)
        return;
    OnOpenLocation(Index.data(FileRole).toString(), Index.data(LineRole).toInt());
}
