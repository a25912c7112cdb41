#pragma once

#include "dberror.h"
#include "money.h"
#include "resultreader.h"
#include "snapshot.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>
#include <cstdint>
#include <memory>
#include <vector>

class Connection;
class QTimer;

// A static snapshot of a SELECT, in the statement's order, with a current row: a read-only cursor
// (BOF/EOF, fields by name, MoveNext, MoveLast). It never writes and never reads the statement's text.
// A table's rows that a window edits are an EditableRows (household), which adds a pending row to the
// cursor and writes it through the store.
//
// Moving to another row drops a pending row's change.
//
// openInSlices() reads only the first rows before it returns and the rest from the event loop, a
// slice at a time (rowsAppended each time, loaded at the end), so that a window shows its first
// rows at once and stays responsive. Another open or a close stops the reading.
class Recordset : public QObject {
    Q_OBJECT
public:
    enum EditModeValue { EditNone = 0, EditInProgress = 1, EditAdd = 2 };

    explicit Recordset(QObject* parent = nullptr);
    ~Recordset() override;

    // Every row of `sql`, with `values` bound to its "?" marks, in order.
    void open(Connection& conn, const QString& sql, const QVariantList& values = {});
    void openInSlices(Connection& conn, const QString& sql, const QVariantList& values = {});
    // Every row at once, with the row keys when keepRowKeys() asked for them.
    void open(Connection& conn, const Select& select, const QVariantList& values = {});
    // In slices, with the row keys when keepRowKeys() asked for them.
    void openInSlices(Connection& conn, const Select& select, const QVariantList& values = {});
    // In slices: the rows of `select` in the order `order` describes (see ByLookup), with the row keys
    // when keepRowKeys() asked for them. The rows after the first screen arrive all at once, when the
    // last is read.
    void openByLookup(Connection& conn, const Select& select, const ByLookup& order, const QVariantList& values = {});
    void close();
    // Rows are still being read (after openInSlices).
    bool isLoading() const { return reader_ != nullptr; }
    // Reads the rest of the rows now (rowsAppended, then loaded or loadFailed, as a slice would);
    // for what needs every row of the result at once. False when reading failed.
    bool finishLoading();
    bool isOpen() const { return open_; }
    const QString& sql() const { return sql_; }
    // The statement of the last open given in its parts; nothing after an open by its text.
    const std::optional<Select>& select() const { return select_; }
    // The order of the last open by lookup; nothing after any other open.
    std::optional<ByLookup> lookupOrder() const { return order_; }

    // Position.
    bool bof() const;
    bool eof() const;
    int rowCount() const { return snap_.rowCount(); }
    // Index of the current row, or -1 before the first / rowCount() after the last; a pending new
    // row is at rowCount().
    int position() const { return pos_; }
    bool hasCurrent() const;
    void moveNext();
    void moveLast();
    void moveTo(int row);

    // Fields.
    int fieldCount() const { return snap_.columnCount(); }
    QString fieldName(int field) const;
    int fieldIndex(const QString& name) const;  // -1 when there is none; ignores letter case
    QStringList fieldNames() const;
    bool isMoneyField(int field) const;
    // The saved rows' cells, for readers of every row (a pending edit is not in them).
    const Snapshot& snapshot() const { return snap_; }

    // The current row's value: the pending edit if there is one. Money fields give a Money.
    QVariant value(int field) const;
    QVariant value(const QString& name) const;
    // The value as the grids and bound controls show it ("" for null, money in its plain form).
    QString text(int field) const;
    QString text(const QString& name) const;

    // Any row of the snapshot.
    QVariant valueAt(int row, int field) const;
    QString textAt(int row, int field) const;
    bool isNullAt(int row, int field) const;
    // An amount: nothing for an empty cell. A number no amount can hold (not finite, or beyond the
    // range, as another tool can write) or a text that is no amount raises DbError (BadValue).
    std::optional<Money> moneyAt(int row, int field) const;
    // The same for a sum the engine computed, which may lie beyond a single amount's range.
    std::optional<MoneyTotal> totalAt(int row, int field) const;
    // The amounts of a field from row `from` to the last row read; empty ones count 0. Raises DbError
    // (BadValue) at the first cell that holds no amount.
    MoneyTotal sum(int field, int from) const;
    // The rows whose cells of `field` show widest (see Snapshot::widestRows), a pending row included.
    std::vector<int> widestRows(int field) const;

    // Whether a pending row is being edited (EditableRows), and how.
    int editMode() const { return mode_; }

    // Keys. The rows of a result that each stand for one row of `table` (a ledger joined to the names
    // of its member and type) carry that row's rowid beside them, never as a column: a row is found
    // again by its own record, never by its values. `head` is the statement without its WHERE and
    // ORDER BY; a row is re-read through it by its key. Set once, it holds for every later open given
    // in parts (openInSlices with a Select, openByLookup).
    void keepRowKeys(const QString& table, const Select& head);
    std::int64_t keyAt(int row) const;     // -1 when the result carries no keys
    int rowOfKey(std::int64_t key) const;  // -1 when no row has it
    // The values bound to the statement of the last open.
    const QVariantList& values() const { return values_; }
    // A keyed result follows what was written to its table without being read again: a row re-read
    // by its key (taken out when its record is gone), a row taken out, a record put in before row
    // `row`. Each is announced with the signals below; the current row stays on its record (on the
    // one after a row taken out). Raise DbError when the file cannot be read.
    void refreshRow(int row);
    void removeRow(int row);
    bool insertKeyedRow(int row, std::int64_t key);


signals:
    void reset();               // opened, reopened or closed
    void currentChanged(int row);
    void rowInserted(int row);  // a row put in (a new row pending or saved, a record put back)
    void rowAboutToBeRemoved(int row);  // the row is still there
    void rowRemoved(int row);
    void rowChanged(int row);
    void rowsAppended(int first, int last);  // a slice of rows read
    void loaded();                            // the last slice read
    void loadFailed(const DbError& error);    // reading stopped; the rows read so far stay

protected:
    // How a result is read: a statement's own columns, or its first column the row key.
    enum class Keys { None, First };
    // Opens `sql` (or `select`, when given) and reads `firstRows` rows; the rest, if any, in slices.
    void start(Connection& conn, const QString& sql, const std::optional<Select>& select, const QVariantList& values,
               Keys keys, int firstRows, const ByLookup* order = nullptr);
    // Drops a pending row: its change, or the new row itself (EditableRows).
    void cancelPending();
    void setPos(int p);
    // The row keys of a result read with Keys::First.
    bool hasRowKeys() const { return keyed_; }

    Connection* conn_ = nullptr;
    Snapshot snap_;
    int pos_ = -1;
    bool onDeleted_ = false;  // the current row was just deleted; MoveNext lands on the one after it
    int mode_ = EditNone;
    int posBeforeAdd_ = -1;
    QVector<QVariant> buffer_;

private:
    void readSlice();
    // Reads a slice of rows, or all that are left; false when reading failed.
    bool readRows(bool all);

    QString sql_;
    std::optional<Select> select_;
    bool open_ = false;
    std::unique_ptr<ResultReader> reader_;  // while rows are still to be read
    QTimer* slices_ = nullptr;
    unsigned generation_ = 0;  // counts opens and closes, so that a slice knows it was overtaken
    QString keyTable_;
    std::optional<Select> keyHead_;
    bool keyed_ = false;  // the open result carries keys
    QVariantList values_;
    std::optional<ByLookup> order_;
};
