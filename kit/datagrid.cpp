#include "datagrid.h"

#include "gridexport.h"
#include "inputs.h"
#include "money.h"
#include "pinyinorder.h"
#include "recordset.h"

#include <QAbstractItemDelegate>
#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QScrollBar>
#include <QSortFilterProxyModel>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <algorithm>

// An item model as the grid shows it: in the order the header chose, in the grid's alignments and
// with concealed columns out of sight. The rows sort as RowOrder sorts a recordset's: empty cells
// first, then numbers by their value (Money and numbers alike), then texts in Chinese order; rows of
// equal value keep their order.
class GridOrder : public QSortFilterProxyModel {
public:
    using QSortFilterProxyModel::QSortFilterProxyModel;

    void setAlignment(int column, Qt::Alignment a)
    {
        alignment_[column] = a;
        if (rowCount() > 0 && column < columnCount())
            emit dataChanged(index(0, column), index(rowCount() - 1, column), {Qt::TextAlignmentRole});
    }
    void setFormat(int column, RecordsetModel::Format f)
    {
        format_[column] = f;
        if (rowCount() > 0 && column < columnCount())
            emit dataChanged(index(0, column), index(rowCount() - 1, column), {Qt::DisplayRole});
    }
    RecordsetModel::Format format(int column) const { return format_.value(column, RecordsetModel::Format::AsStored); }

    QVariant data(const QModelIndex& index, int role) const override
    {
        if (role == Qt::TextAlignmentRole) {
            const auto it = alignment_.constFind(index.column());
            if (it != alignment_.constEnd())
                return QVariant::fromValue(it.value() | Qt::AlignVCenter);
        }
        if ((role == Qt::DisplayRole || role == Qt::ToolTipRole || role == DataGrid::ValueRole)
            && format(index.column()) == RecordsetModel::Format::Concealed)
            return QVariant();
        return QSortFilterProxyModel::data(index, role);
    }

protected:
    bool lessThan(const QModelIndex& left, const QModelIndex& right) const override
    {
        return compare(sortValue(left), sortValue(right)) < 0;
    }

private:
    enum Kind { Empty, Number, Text };

    static QVariant sortValue(const QModelIndex& cell)
    {
        const QVariant value = cell.data(DataGrid::ValueRole);
        return value.isValid() ? value : cell.data(Qt::DisplayRole);
    }
    static Kind kindOf(const QVariant& v)
    {
        if (v.isNull() || (v.typeId() == QMetaType::QString && v.toString().isEmpty()))
            return Empty;
        switch (v.typeId()) {
        case QMetaType::Int: case QMetaType::UInt: case QMetaType::LongLong: case QMetaType::ULongLong:
        case QMetaType::Double: case QMetaType::Float:
            return Number;
        default:
            return v.typeId() == qMetaTypeId<Money>() ? Number : Text;
        }
    }
    static double numberOf(const QVariant& v)
    {
        return v.typeId() == qMetaTypeId<Money>() ? v.value<Money>().toDouble() : v.toDouble();
    }
    int compare(const QVariant& a, const QVariant& b) const
    {
        const Kind ka = kindOf(a), kb = kindOf(b);
        if (ka != kb)
            return ka < kb ? -1 : 1;
        if (ka == Empty)
            return 0;
        if (ka == Number) {
            if (a.typeId() == qMetaTypeId<Money>() && b.typeId() == qMetaTypeId<Money>())
                return a.value<Money>() < b.value<Money>() ? -1 : (b.value<Money>() < a.value<Money>() ? 1 : 0);
            const double x = numberOf(a), y = numberOf(b);
            return x < y ? -1 : (y < x ? 1 : 0);
        }
        const QString textA = a.typeId() == QMetaType::QDate ? a.toDate().toString(Qt::ISODate) : a.toString();
        const QString textB = b.typeId() == QMetaType::QDate ? b.toDate().toString(Qt::ISODate) : b.toString();
        return pinyin_.compare(textA.toUtf8(), textB.toUtf8());
    }

    QHash<int, Qt::Alignment> alignment_;
    QHash<int, RecordsetModel::Format> format_;
    mutable PinyinOrder pinyin_;
};

DataGrid::DataGrid(QWidget* parent) : QTableView(parent)
{
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);  // the current row is the recordset's
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setTabKeyNavigation(false);
    setWordWrap(false);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    verticalHeader()->setMinimumSectionSize(4);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    horizontalHeader()->setMinimumSectionSize(0);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setStretchLastSection(true);
    setFont(songFont(9));
    setUpSorting();
}

void DataGrid::setRecordset(Recordset* rs)
{
    if (model_ && rs == rs_ && rs) {
        // The same recordset, reopened: the model has followed it already.
        followRecordset(rs->position());
        return;
    }
    if (rs_)
        disconnect(rs_, nullptr, this, nullptr);
    rs_ = rs;
    // While the model removes a row, the selection model moves its current row by itself: that is no
    // choice of the user's, and the recordset's current row stays. This must be connected before the
    // model is, so that it is known before the model starts removing.
    if (rs)
        connect(rs, &Recordset::rowAboutToBeRemoved, this, [this] { removing_ = true; });
    replaceModel(new RecordsetModel(rs, this), nullptr);
    if (!rs)
        return;
    connectFitting();
    connectRecordset(rs);
    fitColumns(true);
    followRecordset(rs->position());
}

void DataGrid::setItemModel(QAbstractItemModel* model)
{
    if (!model) {
        setRecordset(nullptr);
        return;
    }
    if (order_ && order_->sourceModel() == model)
        return;
    if (rs_)
        disconnect(rs_, nullptr, this, nullptr);
    rs_ = nullptr;
    auto* order = new GridOrder(this);
    order->setSourceModel(model);
    replaceModel(nullptr, order);
    connectFitting();
    // A new result shows in its own order.
    connect(order_, &QAbstractItemModel::modelReset, this, [this] {
        if (order_ && order_->sortColumn() >= 0)
            order_->sort(-1);
    });
    fitColumns(true);
}

QAbstractItemModel* DataGrid::itemModel() const
{
    return order_ ? order_->sourceModel() : nullptr;
}

void DataGrid::replaceModel(RecordsetModel* model, GridOrder* order)
{
    QItemSelectionModel* oldSelection = selectionModel();
    RecordsetModel* oldModel = model_;
    GridOrder* oldOrder = order_;
    model_ = model;
    order_ = order;
    setModel(model ? static_cast<QAbstractItemModel*>(model) : order);
    delete oldSelection;
    delete oldModel;
    delete oldOrder;
}

void DataGrid::connectFitting()
{
    QAbstractItemModel* shown = model();
    connect(shown, &QAbstractItemModel::modelReset, this, [this] { fitColumns(true); });
    connect(shown, &QAbstractItemModel::modelReset, this,
            [this] { horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder); });  // a new result, its own order
    connect(shown, &QAbstractItemModel::rowsInserted, this, [this] { fitColumns(false); });
    // A change of cells widens only their columns; a new alignment changes no width.
    connect(shown, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex& from, const QModelIndex& to, const QList<int>& roles) {
                if (roles == QList<int>{Qt::TextAlignmentRole})
                    return;
                for (int c = from.column(); c <= to.column(); ++c)
                    fitColumn(c, false);
            });
}

void DataGrid::connectRecordset(Recordset* rs)
{
    connect(rs, &Recordset::rowRemoved, this, [this] { removing_ = false; });
    connect(rs, &Recordset::currentChanged, this, [this](int row) { followRecordset(row); });
    connect(rs, &Recordset::reset, this, [this] {
        if (rs_)
            followRecordset(rs_->position());
    });
    connect(selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current, const QModelIndex&) {
                if (syncing_ || removing_ || !rs_ || !model_ || !current.isValid())
                    return;
                const int row = current.row();
                if (rs_->editMode() != Recordset::EditNone) {
                    // The row being edited stays current until it is saved or cancelled.
                    if (model_->recordRow(row) != rs_->position())
                        QMetaObject::invokeMethod(this, [this] { if (rs_) followRecordset(rs_->position()); },
                                                  Qt::QueuedConnection);
                    return;
                }
                rs_->moveTo(model_->recordRow(row));
            });
}

void DataGrid::followRecordset(int row)
{
    if (!model_ || !rs_ || !selectionModel())
        return;
    syncing_ = true;
    if (row >= 0 && row < model_->rowCount()) {
        const QModelIndex idx = model_->index(model_->gridRow(row), qMax(0, currentIndex().column()));
        selectionModel()->setCurrentIndex(idx, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        scrollTo(idx);
    } else {
        selectionModel()->clearSelection();
    }
    syncing_ = false;
}

void DataGrid::setColumnTwips(int column, int tw)
{
    minWidth_[column] = twips(tw);
    fitColumn(column, true);
}

void DataGrid::fitColumns(bool shrink)
{
    if (!showsRows())
        return;
    for (int c = 0; c < model()->columnCount(); ++c) {
        setColumnHidden(c, hidden_.contains(c));
        fitColumn(c, shrink);
    }
}

int DataGrid::neededWidth(int column)
{
    // The widths were chosen for the short dates and narrow digits of another font: a column is
    // never so narrow that its header or any of its cells is cut off.
    QHeaderView* header = horizontalHeader();
    int need = std::max(minWidth_.value(column, header->defaultSectionSize()), header->sectionSizeHint(column));
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    const int grid = showGrid() ? 1 : 0;
    for (const int r : widestRows(column)) {
        const QModelIndex idx = model()->index(r, column);
        need = std::max(need, itemDelegateForIndex(idx)->sizeHint(option, idx).width() + grid);
    }
    needed_.insert(column, need);
    return need;
}

void DataGrid::fitColumn(int column, bool shrink)
{
    if (!showsRows() || column >= model()->columnCount() || hidden_.contains(column))
        return;
    if (column == elastic_) {
        fitElastic();
        return;
    }
    QHeaderView* header = horizontalHeader();
    const int need = neededWidth(column);
    if (shrink ? header->sectionSize(column) != need : header->sectionSize(column) < need)
        header->resizeSection(column, need);
    if (elastic_ >= 0)
        fitElastic();
    if (columnsInView_)
        fitMinimumWidth();
}

void DataGrid::keepColumnsInView()
{
    columnsInView_ = true;
    fitMinimumWidth();
}

void DataGrid::fitMinimumWidth()
{
    if (!showsRows())
        return;
    int width = 2 * frameWidth() + (verticalHeader()->isVisible() ? verticalHeader()->width() : 0)
        + verticalScrollBar()->sizeHint().width();
    for (int c = 0; c < model()->columnCount(); ++c)
        if (!isColumnHidden(c))
            width += needed_.contains(c) ? needed_.value(c) : neededWidth(c);
    setMinimumWidth(width);
}

void DataGrid::fitElastic()
{
    if (!showsRows() || elastic_ < 0 || elastic_ >= model()->columnCount() || hidden_.contains(elastic_))
        return;
    // The room the other columns leave, as wide as they need to be (the last one is stretched
    // over what is left, so its own need counts, not its width), as they were last measured.
    int others = 0;
    for (int c = 0; c < model()->columnCount(); ++c)
        if (c != elastic_ && !isColumnHidden(c))
            others += needed_.contains(c) ? needed_.value(c) : neededWidth(c);
    const int room = viewport()->width() - others;
    const int width = std::max(minWidth_.value(elastic_, 0), std::min(neededWidth(elastic_), room));
    if (horizontalHeader()->sectionSize(elastic_) != width)
        horizontalHeader()->resizeSection(elastic_, width);
}

void DataGrid::setColumnElastic(int column)
{
    elastic_ = column;
    setTextElideMode(Qt::ElideRight);
    fitElastic();
}

void DataGrid::resizeEvent(QResizeEvent* e)
{
    QTableView::resizeEvent(e);
    fitElastic();
}

void DataGrid::setColumnAlignment(int column, Qt::Alignment a)
{
    if (model_)
        model_->setAlignment(column, a);
    else if (order_)
        order_->setAlignment(column, a);
}

void DataGrid::setColumnFormat(int column, RecordsetModel::Format f)
{
    if (model_)
        model_->setFormat(column, f);
    else if (order_)
        order_->setFormat(column, f);
    fitColumn(column, true);
}

RecordsetModel::Format DataGrid::columnFormat(int column) const
{
    if (model_)
        return model_->format(column);
    return order_ ? order_->format(column) : RecordsetModel::Format::AsStored;
}

std::vector<int> DataGrid::widestRows(int column) const
{
    std::vector<int> rows;
    if (model_ && rs_) {
        for (const int r : rs_->widestRows(column))
            if (r >= 0 && r < model_->rowCount())
                rows.push_back(model_->gridRow(r));
    } else if (order_) {
        // The few rows of the longest texts, a Chinese character counting as two Latin ones (as a
        // recordset picks its widest rows): the texts are read, only those few are measured.
        constexpr std::size_t kMeasured = 4;
        std::vector<std::pair<int, int>> longest;  // width in half characters, row
        for (int r = 0; r < order_->rowCount(); ++r) {
            const QString text = order_->index(r, column).data().toString();
            int width = 0;
            for (const QChar ch : text)
                width += ch.unicode() < 0x2E80 ? 1 : 2;
            longest.emplace_back(width, r);
        }
        const std::size_t kept = std::min(kMeasured, longest.size());
        std::partial_sort(longest.begin(), longest.begin() + static_cast<std::ptrdiff_t>(kept), longest.end(),
                          [](const auto& a, const auto& b) { return a.first > b.first; });
        for (std::size_t i = 0; i < kept; ++i)
            rows.push_back(longest[i].second);
    }
    return rows;
}

void DataGrid::setColumnHiddenWidth(int column)
{
    hidden_.insert(column);
    setColumnHidden(column, true);
}

// ---- sorting and copying -----------------------------------------------------------------------

void DataGrid::setUpSorting()
{
    QHeaderView* header = horizontalHeader();
    header->setSectionsClickable(true);
    header->setSortIndicatorShown(true);
    header->setSortIndicator(-1, Qt::AscendingOrder);
    connect(header, &QHeaderView::sectionClicked, this, &DataGrid::sortByHeader);
}

void DataGrid::fetchAll(QAbstractItemModel* model)
{
    while (model && model->canFetchMore(QModelIndex()))
        model->fetchMore(QModelIndex());
}

int DataGrid::sortColumn() const
{
    if (model_ && rs_)
        return model_->sortColumn();
    return order_ ? order_->sortColumn() : -1;
}

Qt::SortOrder DataGrid::sortOrder() const
{
    if (model_ && rs_)
        return model_->sortOrder();
    return order_ ? order_->sortOrder() : Qt::AscendingOrder;
}

void DataGrid::sortByHeader(int column)
{
    if (!showsRows() || column < 0 || column >= model()->columnCount() || hidden_.contains(column))
        return;
    const Qt::SortOrder order = sortColumn() == column && sortOrder() == Qt::AscendingOrder ? Qt::DescendingOrder
                                                                                            : Qt::AscendingOrder;
    QApplication::setOverrideCursor(Qt::WaitCursor);  // the rest of a loading result is read first
    if (order_)
        fetchAll(order_->sourceModel());
    model()->sort(column, order);
    QApplication::restoreOverrideCursor();
    horizontalHeader()->setSortIndicator(sortColumn(), sortOrder());
    if (rs_)
        followRecordset(rs_->position());
    else if (currentIndex().isValid())
        scrollTo(currentIndex());
}

void DataGrid::keyPressEvent(QKeyEvent* e)
{
    if (e->matches(QKeySequence::Copy)) {
        GridExport::copySelection(this);
        e->accept();
        return;
    }
    QTableView::keyPressEvent(e);
}
