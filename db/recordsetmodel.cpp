#include "recordsetmodel.h"

#include "dberror.h"
#include "recordset.h"

RecordsetModel::RecordsetModel(Recordset* rs, QObject* parent) : QAbstractTableModel(parent), rs_(rs)
{
    rows_ = actualRows();
    cols_ = rs ? rs->fieldCount() : 0;
    if (!rs)
        return;
    connect(rs, &Recordset::reset, this, [this] {
        beginResetModel();
        rows_ = actualRows();
        cols_ = rs_ ? rs_->fieldCount() : 0;
        endResetModel();
    });
    connect(rs, &Recordset::rowInserted, this, [this](int row) {
        if (actualRows() == rows_)
            return;
        beginInsertRows(QModelIndex(), row, row);
        rows_ = actualRows();
        endInsertRows();
    });
    connect(rs, &Recordset::rowsAppended, this, [this] {
        const int rows = actualRows();
        if (rows <= rows_)
            return;
        beginInsertRows(QModelIndex(), rows_, rows - 1);
        rows_ = rows;
        endInsertRows();
    });
    connect(rs, &Recordset::rowAboutToBeRemoved, this, [this](int row) {
        if (row < 0 || row >= rows_)
            return;
        removing_ = true;
        beginRemoveRows(QModelIndex(), row, row);
    });
    connect(rs, &Recordset::rowRemoved, this, [this](int) {
        if (!removing_)
            return;
        removing_ = false;
        rows_ = actualRows();
        endRemoveRows();
    });
    connect(rs, &Recordset::rowChanged, this, [this](int row) {
        if (row >= 0 && row < rows_ && cols_ > 0)
            emit dataChanged(index(row, 0), index(row, cols_ - 1));
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
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole) {
        if (format_.value(index.column()) == Format::Concealed)
            return QString();
        if (format_.value(index.column()) == Format::Grouped) {
            // A sum beyond a single amount is shown in full; what is no amount at all is shown as
            // the database holds it, never as some other figure.
            try {
                if (auto t = rs_->totalAt(index.row(), index.column()))
                    return t->toGrouped();
            } catch (const DbError&) {
            }
        }
        return rs_->textAt(index.row(), index.column());
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
