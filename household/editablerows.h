#pragma once

#include "ledger.h"
#include "recordset.h"
#include "referencelist.h"

#include <QStringList>

class Store;

// A table whose rows a window edits, by its type: a reference list, a ledger's staging table, the bank
// ledger or the debts, with the columns the window shows.
struct EditedTable {
    QString table;
    QStringList columns;

    static EditedTable of(ReferenceList list) { return {list.table(), list.fields()}; }
    static EditedTable of(Ledger ledger) { return {ledger.table(), ledger.columns()}; }
    // The income and expense ledgers' records waiting for the entry form to post them.
    static EditedTable stagingOf(Ledger ledger) { return {ledger.stagingTable(), ledger.columns()}; }
};

// The rows of an EditedTable in the order they were stored, with a pending row: AddNew/Update/
// CancelUpdate/Delete. Each write goes through the store, one transaction each; a write the engine
// refuses changes neither the file nor the rows and raises DbError, and the pending edit is kept so
// that the window can show the cause and let the user fix it. While rows are still being read
// (never, as opened here: every row is read at once) nothing is written.
class EditableRows : public Recordset {
    Q_OBJECT
public:
    explicit EditableRows(QObject* parent = nullptr) : Recordset(parent) {}

    // Reads every row of `table`.
    void open(Store& store, const EditedTable& table);
    const EditedTable& table() const { return table_; }

    void setValue(int field, const QVariant& v);
    void setValue(const QString& name, const QVariant& v);
    void addNew();
    void update();
    void cancelUpdate();
    void deleteCurrent();

private:
    void requireOpen() const;
    void requireCurrent() const;
    QVariant normalize(int field, const QVariant& v) const;
    // Reads the stored row `rowid` into row `row` (appended first when `append`).
    void reloadRow(std::int64_t rowid, int row, bool append);

    Store* store_ = nullptr;
    EditedTable table_;
};
