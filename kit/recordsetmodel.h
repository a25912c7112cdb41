#pragma once

#include <QAbstractTableModel>
#include <QHash>
#include <QPointer>
#include <cstdint>
#include <vector>

class Recordset;

// Shows a recordset in a grid: one row per record (a pending new row last), headed by the field
// names. Read-only: edits go through the window's bound controls.
//
// The rows can be shown sorted by a column (see RowOrder); the recordset keeps its own order and
// its current row, and recordRow()/gridRow() translate. A sort reads the rest of a result that is
// still loading first. Rows added later are shown after the sorted ones; a new result shows in its
// own order again.
class RecordsetModel : public QAbstractTableModel {
    Q_OBJECT
public:
    // Grouped: money shown as "#,##0.00". Concealed: the cells show nothing, to the eye or to a
    // screen reader (a password column kept out of sight).
    enum class Format { AsStored, Grouped, Concealed };

    explicit RecordsetModel(Recordset* rs, QObject* parent = nullptr);

    Recordset* recordset() const { return rs_; }
    void setAlignment(int column, Qt::Alignment a);
    void setFormat(int column, Format f);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // Sorting: column -1 is the recordset's own order.
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;
    int sortColumn() const { return sortColumn_; }
    Qt::SortOrder sortOrder() const { return sortOrder_; }
    // The recordset's row shown in grid row `row`, and the grid row of recordset row `record`.
    int recordRow(int row) const;
    int gridRow(int record) const;
    // The recordset's saved rows in the order shown.
    std::vector<int> recordRows() const;
    Format format(int column) const { return format_.value(column, Format::AsStored); }

private:
    void appendedRows(int from, int to);
    void insertedRow(int record);
    void removedRow(int record);
    void unsorted();
    std::vector<int> order_;  // grid row -> recordset row; empty in the recordset's order
    std::vector<int> place_;  // recordset row -> grid row
    int sortColumn_ = -1;
    Qt::SortOrder sortOrder_ = Qt::AscendingOrder;
    int ranksColumn_ = -1;    // the column whose ranks are kept, for sorting it the other way
    std::vector<std::uint32_t> ranks_;
    int removingRecord_ = -1;

    int actualRows() const;
    QPointer<Recordset> rs_;
    int rows_ = 0;
    bool removing_ = false;
    int cols_ = 0;
    QHash<int, Qt::Alignment> align_;
    QHash<int, Format> format_;
};
