#pragma once

#include "recordsetmodel.h"

#include <QHash>
#include <QPointer>
#include <QSet>
#include <QTableView>

class Recordset;

// A grid showing a recordset: one selected row, the recordset's current row. Read-only, fixed row
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
class DataGrid : public QTableView {
    Q_OBJECT
public:
    explicit DataGrid(QWidget* parent = nullptr);
    void setRecordset(Recordset* rs);
    Recordset* recordset() const { return rs_; }
    RecordsetModel* recordsetModel() const { return model_; }
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
    void followRecordset(int row);
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
    RecordsetModel* model_ = nullptr;
    bool syncing_ = false;
    bool removing_ = false;
};
