#pragma once

#include "recordsetmodel.h"

#include <QPointer>
#include <QTableView>

class Recordset;

// A grid showing a recordset: one selected row, the recordset's current row. Read-only, fixed row
// heights (no per-row measuring), so it stays quick on a million rows. While the recordset has a
// pending change the selection cannot leave the row being edited.
class DataGrid : public QTableView {
    Q_OBJECT
public:
    explicit DataGrid(QWidget* parent = nullptr);
    void setRecordset(Recordset* rs);
    Recordset* recordset() const { return rs_; }
    RecordsetModel* recordsetModel() const { return model_; }
    // At least `tw` twips, and wide enough for the header and the first rows' texts.
    void setColumnTwips(int column, int tw);
    void setColumnAlignment(int column, Qt::Alignment a);
    void setColumnFormat(int column, RecordsetModel::Format f);
    void setColumnHiddenWidth(int column);  // width 0

private:
    void followRecordset(int row);
    void widenToFit(int column);
    QPointer<Recordset> rs_;
    RecordsetModel* model_ = nullptr;
    bool syncing_ = false;
    bool removing_ = false;
};
