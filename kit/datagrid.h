#pragma once

#include "recordset.h"
#include "recordsetmodel.h"

#include <QHash>
#include <QPointer>
#include <QSet>
#include <QTableView>
#include <vector>

class GridOrder;

// A grid showing a recordset, or any other item model (a table of figures worked out in memory).
//
// A recordset: one selected row, the recordset's current row. Read-only, fixed row
// heights (no per-row measuring), so it stays quick on a million rows. While the recordset has a
// pending change the selection cannot leave the row being edited.
//
// Each column is at least the width the window gives it and, after every load, slice of rows and
// saved row, wide enough for its header and its widest cell (the recordset tells which few cells
// those can be, so that a million rows cost no more than a handful). The last column takes the
// room that is left.
//
// A click on a column's header sorts the rows by that column, a second click the other way round
// (the header's arrow shows which); the recordset's current row stays the record the user selected.
// Ctrl+C copies the selected rows (see gridexport.h).
//
// Another model is shown through the grid's own order over it (the model keeps its rows as they
// are): the header sorts it as it sorts a recordset (every row; a model that gives its rows as they
// are asked for is read to its end first), by each cell's value (ValueRole where the model gives
// one, else what the cell shows), and the selection stays on its rows. Its columns are fitted as a
// recordset's are, to the few cells whose texts are the longest. The column formats and alignments
// apply to it as to a recordset; Grouped marks a column of amounts (the model shows them as it
// likes; they are exported as numbers).
class DataGrid : public QTableView {
    Q_OBJECT
public:
    // The value behind a cell of an item model, where the cell shows something else (an amount as
    // Money or a number, shown grouped): the header sorts by it and the exports write it.
    static constexpr int ValueRole = Qt::UserRole;

    explicit DataGrid(QWidget* parent = nullptr);
    // Shows the recordset (or nothing); any item model shown before is let go.
    void setRecordset(Recordset* rs);
    Recordset* recordset() const { return rs_; }
    RecordsetModel* recordsetModel() const { return model_; }
    // Shows `model` (or nothing); a recordset shown before is let go. The grid does not own it.
    void setItemModel(QAbstractItemModel* model);
    QAbstractItemModel* itemModel() const;
    // Reads the rest of the rows of a model that gives them as they are asked for.
    static void fetchAll(QAbstractItemModel* model);
    RecordsetModel::Format columnFormat(int column) const;
    // At least `tw` twips, and wide enough for the header and every cell.
    void setColumnTwips(int column, int tw);
    void setColumnAlignment(int column, Qt::Alignment a);
    void setColumnFormat(int column, RecordsetModel::Format f);
    void setColumnHiddenWidth(int column);  // width 0
    // The column gives way to the others: at most the room they leave in the grid (and at least the
    // width given it), so that a text that grows (a repayment log) never pushes the columns after it
    // out of view. Its cells are cut short with "…"; each shows its whole text as a tooltip.
    void setColumnElastic(int column);
    // The grid asks its layout for the width of all its columns (as wide as they need to be), so
    // that none is out of view at any size of its window.
    void keepColumnsInView();
    // Sorts as a click on the header of `column` does: by it, or the other way when it is sorted by it.
    void sortByHeader(int column);

protected:
    void keyPressEvent(QKeyEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

private:
    void setUpSorting();
    // The grid's models (each owned) in place of those before.
    void replaceModel(RecordsetModel* model, GridOrder* order);
    // Whether the grid shows rows of a recordset or of an item model.
    bool showsRows() const { return (model_ && rs_) || order_; }
    void connectFitting();
    void connectRecordset(Recordset* rs);
    void followRecordset(int row);
    int sortColumn() const;
    Qt::SortOrder sortOrder() const;
    // The grid rows whose cells can be the widest of a column.
    std::vector<int> widestRows(int column) const;
    // Every shown column to its content; `shrink` lets a column narrow (after a new load).
    void fitColumns(bool shrink);
    void fitColumn(int column, bool shrink);
    // The width a column needs for its header and its widest cells, at least the width it was given;
    // kept in needed_ as each column is fitted.
    int neededWidth(int column);
    QHash<int, int> needed_;  // pixels, by column, as last measured
    void fitElastic();
    void fitMinimumWidth();
    int elastic_ = -1;
    bool columnsInView_ = false;
    QHash<int, int> minWidth_;  // pixels, by column
    QSet<int> hidden_;
    QPointer<Recordset> rs_;
    RecordsetModel* model_ = nullptr;  // over rs_
    GridOrder* order_ = nullptr;       // over an item model
    bool syncing_ = false;
    bool removing_ = false;
};
