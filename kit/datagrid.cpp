#include "datagrid.h"

#include "gridexport.h"
#include "inputs.h"
#include "recordset.h"

#include <QAbstractItemDelegate>
#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <algorithm>

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
    auto* old = model_;
    QItemSelectionModel* oldSelection = selectionModel();
    model_ = new RecordsetModel(rs, this);
    setModel(model_);
    delete oldSelection;
    delete old;
    if (!rs)
        return;
    connect(model_, &QAbstractItemModel::modelReset, this, [this] { fitColumns(true); });
    connect(model_, &QAbstractItemModel::modelReset, this,
            [this] { horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder); });  // a new result, its own order
    connect(model_, &QAbstractItemModel::rowsInserted, this, [this] { fitColumns(false); });
    // A change of cells widens only their columns; a new alignment changes no width.
    connect(model_, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex& from, const QModelIndex& to, const QList<int>& roles) {
                if (roles == QList<int>{Qt::TextAlignmentRole})
                    return;
                for (int c = from.column(); c <= to.column(); ++c)
                    fitColumn(c, false);
            });
    connect(rs, &Recordset::rowRemoved, this, [this] { removing_ = false; });
    connect(rs, &Recordset::currentChanged, this, [this](int row) { followRecordset(row); });
    connect(rs, &Recordset::reset, this, [this] {
        if (rs_)
            followRecordset(rs_->position());
    });
    connect(selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current, const QModelIndex&) {
                if (syncing_ || removing_ || !rs_ || !current.isValid())
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
    fitColumns(true);
    followRecordset(rs->position());
}

void DataGrid::followRecordset(int row)
{
    if (!model_ || !selectionModel())
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
    if (!model_)
        return;
    for (int c = 0; c < model_->columnCount(); ++c) {
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
    for (const int r : rs_->widestRows(column)) {
        if (r < 0 || r >= model_->rowCount())
            continue;
        const QModelIndex idx = model_->index(model_->gridRow(r), column);
        need = std::max(need, itemDelegateForIndex(idx)->sizeHint(option, idx).width() + grid);
    }
    needed_.insert(column, need);
    return need;
}

void DataGrid::fitColumn(int column, bool shrink)
{
    if (!model_ || !rs_ || column >= model_->columnCount() || hidden_.contains(column))
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
    if (!model_ || !rs_)
        return;
    int width = 2 * frameWidth() + (verticalHeader()->isVisible() ? verticalHeader()->width() : 0)
        + verticalScrollBar()->sizeHint().width();
    for (int c = 0; c < model_->columnCount(); ++c)
        if (!isColumnHidden(c))
            width += needed_.contains(c) ? needed_.value(c) : neededWidth(c);
    setMinimumWidth(width);
}

void DataGrid::fitElastic()
{
    if (!model_ || !rs_ || elastic_ < 0 || elastic_ >= model_->columnCount() || hidden_.contains(elastic_))
        return;
    // The room the other columns leave, as wide as they need to be (the last one is stretched
    // over what is left, so its own need counts, not its width), as they were last measured.
    int others = 0;
    for (int c = 0; c < model_->columnCount(); ++c)
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
}

void DataGrid::setColumnFormat(int column, RecordsetModel::Format f)
{
    if (model_)
        model_->setFormat(column, f);
    fitColumn(column, true);
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

void DataGrid::sortByHeader(int column)
{
    if (!model_ || !rs_ || column < 0 || column >= model_->columnCount() || hidden_.contains(column))
        return;
    const Qt::SortOrder order = model_->sortColumn() == column && model_->sortOrder() == Qt::AscendingOrder
        ? Qt::DescendingOrder
        : Qt::AscendingOrder;
    QApplication::setOverrideCursor(Qt::WaitCursor);  // the rest of a loading result is read first
    model_->sort(column, order);
    QApplication::restoreOverrideCursor();
    horizontalHeader()->setSortIndicator(model_->sortColumn(), model_->sortOrder());
    if (rs_)
        followRecordset(rs_->position());
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
