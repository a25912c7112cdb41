#include "recordsetmodel.h"

#include "dberror.h"
#include "recordset.h"
#include "roworder.h"

RecordsetModel::RecordsetModel(Recordset* rs, QObject* parent) : QAbstractTableModel(parent), rs_(rs)
{
    rows_ = actualRows();
    cols_ = rs ? rs->fieldCount() : 0;
    if (!rs)
        return;
    connect(rs, &Recordset::reset, this, [this] {
        beginResetModel();
        unsorted();
        rows_ = actualRows();
        cols_ = rs_ ? rs_->fieldCount() : 0;
        endResetModel();
    });
    connect(rs, &Recordset::rowInserted, this, [this](int row) {
        if (actualRows() == rows_)
            return;
        // A sorted grid shows a record put in anywhere after its sorted rows, as it shows new ones.
        const int at = order_.empty() ? row : rows_;
        beginInsertRows(QModelIndex(), at, at);
        insertedRow(row);
        rows_ = actualRows();
        endInsertRows();
    });
    connect(rs, &Recordset::rowsAppended, this, [this] {
        const int rows = actualRows();
        if (rows <= rows_)
            return;
        beginInsertRows(QModelIndex(), rows_, rows - 1);
        appendedRows(rows_, rows - 1);
        rows_ = rows;
        endInsertRows();
    });
    connect(rs, &Recordset::rowAboutToBeRemoved, this, [this](int row) {
        if (row < 0 || row >= rows_)
            return;
        removing_ = true;
        removingRecord_ = row;
        beginRemoveRows(QModelIndex(), gridRow(row), gridRow(row));
    });
    connect(rs, &Recordset::rowRemoved, this, [this](int) {
        if (!removing_)
            return;
        removing_ = false;
        removedRow(removingRecord_);
        rows_ = actualRows();
        endRemoveRows();
    });
    connect(rs, &Recordset::rowChanged, this, [this](int row) {
        ranksColumn_ = -1;
        if (row >= 0 && row < rows_ && cols_ > 0)
            emit dataChanged(index(gridRow(row), 0), index(gridRow(row), cols_ - 1));
    });
}

int RecordsetModel::actualRows() const
{
    if (!rs_ || !rs_->isOpen())
        return 0;
    return rs_->rowCount() + (rs_->editMode() == 2 ? 1 : 0);
}

void RecordsetModel::setAlignment(int column, Qt::Alignment a)
{
    align_[column] = a;
    if (rows_ > 0 && column < cols_)
        emit dataChanged(index(0, column), index(rows_ - 1, column), {Qt::TextAlignmentRole});
}

void RecordsetModel::setFormat(int column, Format f)
{
    format_[column] = f;
    if (rows_ > 0 && column < cols_)
        emit dataChanged(index(0, column), index(rows_ - 1, column), {Qt::DisplayRole});
}

int RecordsetModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : rows_;
}

int RecordsetModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : cols_;
}

QVariant RecordsetModel::data(const QModelIndex& index, int role) const
{
    if (!rs_ || !index.isValid() || index.row() >= rows_ || index.column() >= cols_)
        return QVariant();
    const int row = recordRow(index.row());
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole) {
        if (format_.value(index.column()) == Format::Concealed)
            return QString();
        if (format_.value(index.column()) == Format::Grouped) {
            // A sum beyond a single amount is shown in full; what is no amount at all is shown as
            // the database holds it, never as some other figure.
            try {
                if (auto t = rs_->totalAt(row, index.column()))
                    return t->toGrouped();
            } catch (const DbError&) {
            }
        }
        return rs_->textAt(row, index.column());
    }
    if (role == Qt::TextAlignmentRole) {
        auto it = align_.constFind(index.column());
        if (it != align_.constEnd())
            return QVariant::fromValue(it.value() | Qt::AlignVCenter);
        return QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
    }
    return QVariant();
}

QVariant RecordsetModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return QVariant();
    if (orientation == Qt::Horizontal)
        return rs_ ? rs_->fieldName(section) : QVariant();
    return QVariant();
}

// ---- sorting ---------------------------------------------------------------------------------

int RecordsetModel::recordRow(int row) const
{
    return row >= 0 && static_cast<std::size_t>(row) < order_.size() ? order_[static_cast<std::size_t>(row)] : row;
}

int RecordsetModel::gridRow(int record) const
{
    return record >= 0 && static_cast<std::size_t>(record) < place_.size() ? place_[static_cast<std::size_t>(record)] : record;
}

std::vector<int> RecordsetModel::recordRows() const
{
    const int saved = rs_ && rs_->isOpen() ? rs_->rowCount() : 0;
    std::vector<int> rows;
    rows.reserve(static_cast<std::size_t>(saved));
    for (int r = 0; r < rows_; ++r)
        if (const int record = recordRow(r); record < saved)
            rows.push_back(record);
    return rows;
}

void RecordsetModel::unsorted()
{
    order_.clear();
    place_.clear();
    sortColumn_ = -1;
    ranksColumn_ = -1;
    ranks_.clear();
}

void RecordsetModel::appendedRows(int from, int to)
{
    // Shown after the sorted rows, in the recordset's order.
    ranksColumn_ = -1;
    if (order_.empty())
        return;
    for (int r = from; r <= to; ++r) {
        place_.push_back(static_cast<int>(order_.size()));
        order_.push_back(r);
    }
}

void RecordsetModel::insertedRow(int record)
{
    // The records from `record` on have moved one place down in the recordset.
    ranksColumn_ = -1;
    if (order_.empty())
        return;
    for (int& r : order_)
        if (r >= record)
            ++r;
    order_.push_back(record);
    place_.resize(order_.size());
    for (std::size_t i = 0; i < order_.size(); ++i)
        place_[static_cast<std::size_t>(order_[i])] = static_cast<int>(i);
}

void RecordsetModel::removedRow(int record)
{
    ranksColumn_ = -1;
    if (order_.empty() || record < 0 || static_cast<std::size_t>(record) >= place_.size())
        return;
    order_.erase(order_.begin() + place_[static_cast<std::size_t>(record)]);
    for (int& r : order_)
        if (r > record)
            --r;
    place_.resize(order_.size());
    for (std::size_t i = 0; i < order_.size(); ++i)
        place_[static_cast<std::size_t>(order_[i])] = static_cast<int>(i);
}

void RecordsetModel::sort(int column, Qt::SortOrder order)
{
    if (!rs_ || (rs_->isLoading() && !rs_->finishLoading()))
        return;
    if (!rs_->isOpen() || column >= cols_)
        return;
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    // The selection and the current row stay on their records.
    const QModelIndexList before = persistentIndexList();
    std::vector<int> records;
    records.reserve(static_cast<std::size_t>(before.size()));
    for (const QModelIndex& i : before)
        records.push_back(recordRow(i.row()));

    if (column < 0) {
        unsorted();
    } else {
        if (ranksColumn_ != column) {
            ranks_ = RowOrder::ranks(rs_->snapshot(), column);
            ranksColumn_ = column;
        }
        order_ = RowOrder::sorted(ranks_, order == Qt::DescendingOrder);
        for (int r = rs_->rowCount(); r < rows_; ++r)
            order_.push_back(r);  // a pending new row stays last
        place_.assign(order_.size(), 0);
        for (std::size_t i = 0; i < order_.size(); ++i)
            place_[static_cast<std::size_t>(order_[i])] = static_cast<int>(i);
        sortColumn_ = column;
        sortOrder_ = order;
    }

    QModelIndexList after;
    after.reserve(before.size());
    for (qsizetype i = 0; i < before.size(); ++i)
        after << index(gridRow(records[static_cast<std::size_t>(i)]), before[i].column());
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}
