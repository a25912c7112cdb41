#pragma once

#include "money.h"

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QVariant>
#include <cstdint>
#include <memory>
#include <vector>

struct sqlite3_stmt;

// The cells of a recordset's snapshot, column by column, with the rowid of each row when the
// snapshot can be written back. Each distinct text of a load is stored once, in the text pool.
class Snapshot {
public:
    enum class CellType : std::uint8_t { Null, Int, Real, Money, Text };

    struct ColumnInfo {
        QString name;
        bool money = false;
        bool integer = false;  // INTEGER column: whole numbers typed as text are stored as numbers
    };

    void setColumns(std::vector<ColumnInfo> columns);
    void clear();

    int rowCount() const { return rows_; }
    int columnCount() const { return static_cast<int>(columns_.size()); }
    const ColumnInfo& column(int c) const { return columns_[static_cast<std::size_t>(c)].info; }

    // Reads the statement's current row from column `firstCol` on. Between beginLoad and endLoad
    // equal texts share one pool entry; a row read back after a write gets its own.
    void beginLoad();
    void endLoad();
    void appendRow(sqlite3_stmt* st, int firstCol);
    // Overwrites row `row` from the statement's current row.
    void replaceRow(int row, sqlite3_stmt* st, int firstCol);
    void appendNullRow();
    void eraseRow(int row);

    void pushRowid(std::int64_t id) { rowids_.push_back(id); }
    std::int64_t rowid(int row) const { return rowids_[static_cast<std::size_t>(row)]; }

    QVariant value(int row, int c) const;
    QString text(int row, int c) const;

    std::size_t overheadBytes() const;
    std::size_t textBytes() const;

private:
    // One column's cells, in fixed-size blocks: no reallocation while a large result is read, and
    // at most one block of slack. A cell is 8 bytes of value and 1 byte of type; texts are indexes
    // into the pool.
    class Cells {
    public:
        static constexpr std::size_t kBlock = 1024;
        void push(std::uint64_t bits, CellType type);
        void set(std::size_t row, std::uint64_t bits, CellType type);
        std::uint64_t bits(std::size_t row) const { return blocks_[row / kBlock]->bits[row % kBlock]; }
        CellType type(std::size_t row) const { return blocks_[row / kBlock]->types[row % kBlock]; }
        void erase(std::size_t row);
        std::size_t bytes() const;

    private:
        struct Block {
            std::uint64_t bits[kBlock];
            CellType types[kBlock];
        };
        std::vector<std::unique_ptr<Block>> blocks_;
        std::size_t size_ = 0;
    };

    struct Column {
        ColumnInfo info;
        Cells cells;
    };

    void storeCell(Column& c, std::size_t row, sqlite3_stmt* st, int col);

    std::vector<Column> columns_;
    std::vector<std::int64_t> rowids_;
    std::vector<QString> pool_;
    QHash<QByteArray, std::uint32_t> seen_;  // the texts of the current load, while loading
    bool loading_ = false;
    int rows_ = 0;
};
