#pragma once

#include "money.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QVariant>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

struct sqlite3_stmt;

// The cells of a recordset's snapshot, column by column, with the rowid of each row when the
// snapshot can be written back.
//
// A cell keeps what the engine handed over: numbers as numbers, texts as their UTF-8 bytes in an
// arena. Nothing becomes a QString until a grid or a bound control asks for that one cell, and
// totals read the numbers directly. A column of texts, or of amounts under 214,748 yuan, takes 4
// bytes a cell; other numbers 8, a column that mixes kinds 9.
//
// While rows arrive each column remembers the few cells that will show widest, so that a grid
// can fit a column to a million rows by measuring only those.
class Snapshot {
public:
    enum class CellType : std::uint8_t { Null, Int, Real, Money, Text };

    struct ColumnInfo {
        QString name;
        bool money = false;
        bool integer = false;  // INTEGER column: whole numbers typed as text are stored as numbers
        bool date = false;     // DATE column: YYYY-MM-DD texts
    };

    Snapshot();
    ~Snapshot();
    Snapshot(const Snapshot&) = delete;
    Snapshot& operator=(const Snapshot&) = delete;

    void setColumns(std::vector<ColumnInfo> columns);
    void clear();

    int rowCount() const { return rows_; }
    int columnCount() const { return static_cast<int>(columns_.size()); }
    const ColumnInfo& column(int c) const { return columns_[static_cast<std::size_t>(c)].info; }

    // Reads the statement's current row from column `firstCol` on. Rows of one `group` (0 and up)
    // that will end up together after reorder() share their repeated texts as neighbours do.
    void appendRow(sqlite3_stmt* st, int firstCol, int group = -1);
    // Overwrites row `row` from the statement's current row.
    void replaceRow(int row, sqlite3_stmt* st, int firstCol);
    // Puts the statement's current row before row `row` (rowCount(): after the last), with its rowid.
    void insertRow(int row, std::int64_t rowid, sqlite3_stmt* st, int firstCol);
    void appendNullRow();
    void eraseRow(int row);
    // Moves every row `r` to place `dest[r]`; `dest` holds each of 0 .. rowCount() - 1 once.
    void reorder(const std::vector<std::uint32_t>& dest);
    // Trades rows, cells and texts with `other` (of the same columns).
    void swap(Snapshot& other);

    void pushRowid(std::int64_t id);
    std::int64_t rowid(int row) const;
    int rowOfRowid(std::int64_t id) const;  // -1 when no row has it

    CellType type(int row, int c) const;
    QVariant value(int row, int c) const;
    // As the grids show it: "" for null, money in its plain form, reals with 15 digits.
    QString text(int row, int c) const;
    // The cell as an amount: numbers rounded to four decimals, texts parsed; null when empty.
    std::optional<Money> money(int row, int c) const;
    // The raw cell: its type, its whole number, money units or real (by type), or its UTF-8 bytes
    // (a text; valid while the snapshot is). For readers of every row: the grid's sort, the export.
    struct Raw {
        CellType type = CellType::Null;
        std::int64_t number = 0;  // Int, or Money in ten-thousandths
        double real = 0;
        QByteArrayView text;
    };
    Raw raw(int row, int c) const;

    // Adds up column `c` from row `from` on: the cells that hold an amount as such a block at a time;
    // each other cell that is not empty is handed to `other`, which gives its amount (or raises).
    MoneyTotal sumAmounts(int c, int from, const std::function<std::optional<Money>(int row)>& other) const;

    // Rows whose cells in column `c` are the widest when shown: the longest texts (CJK and emoji
    // counting two) and, for numbers, also the longest in the grouped form "#,##0.00". At most a
    // handful, in no particular order.
    std::vector<int> widestRows(int c) const;

    // Bytes held beyond the texts themselves, and the bytes of the texts (UTF-8).
    std::size_t overheadBytes() const;
    std::size_t textBytes() const;

private:
    struct Cell {
        CellType type = CellType::Null;
        std::uint64_t bits = 0;  // the integer, the double's bits, money units or the text's place
    };

    // One column's cells in fixed-size blocks: no reallocation while a large result is read.
    class Cells {
    public:
        static constexpr std::size_t kBlock = 1024;
        void push(Cell c);
        void set(std::size_t row, Cell c);
        Cell get(std::size_t row) const;
        void erase(std::size_t row);
        void insert(std::size_t row, Cell c);
        // A copy with cell `r` at `dest[r]`.
        Cells scattered(const std::vector<std::uint32_t>& dest) const;
        void addAmounts(std::size_t from, MoneyTotal& total, const std::function<std::optional<Money>(int)>& other) const;
        std::size_t bytes() const;
        std::size_t size() const { return size_; }

    private:
        // Texts: 4-byte places into the arena. Small: whole numbers or amounts of one type in 4
        // bytes. Numbers: 8-byte values of one type. Mixed: 8 bytes and a type byte. A column
        // starts as Nulls and moves to a wider layout when a cell needs it.
        enum class Layout : std::uint8_t { Nulls, Texts, Small, Numbers, Mixed };
        bool fits(Cell c) const;
        static bool small(Cell c);
        // Moves the cells `from` .. `from + count` of block `b` by one place (up: to `from - 1`).
        void shiftInBlock(std::size_t b, std::size_t from, std::size_t count, bool up);
        void relayout(Cell next);
        std::byte* slot(std::size_t row) const;
        std::size_t width() const;

        Layout layout_ = Layout::Nulls;
        CellType numbers_ = CellType::Null;  // the type of a Numbers column
        std::vector<std::unique_ptr<std::byte[]>> blocks_;
        std::size_t size_ = 0;
    };

    // The UTF-8 bytes of the texts, one after another in chunks, each after its length.
    class Texts {
    public:
        std::uint64_t add(const char* p, std::size_t n);
        QByteArrayView view(std::uint64_t place) const;
        void clear();
        std::size_t payload() const { return payload_; }
        std::size_t allocated() const;

    private:
        std::vector<std::unique_ptr<char[]>> chunks_;
        std::vector<QByteArray> long_;  // texts too long for a chunk
        std::size_t used_ = 0;
        std::size_t capacity_ = 0;
        std::size_t chunkBytes_ = 0;
        std::size_t payload_ = 0;
    };

    // The rows with the highest widths seen in one column.
    struct Widest {
        static constexpr int kRows = 8;
        std::array<std::uint32_t, kRows> width{};
        std::array<int, kRows> row{};
        int count = 0;
        std::uint32_t lowest = 0;  // the smallest width held, once full
        bool wants(std::uint32_t w) const { return count < kRows || w > lowest; }
        void offer(std::uint32_t w, int r);
        void forget(int r, bool shift);
        void shiftFrom(int r);  // a row was put before row r
        void moveRows(const std::vector<std::uint32_t>& dest);
    };

    struct Column {
        ColumnInfo info;
        Cells cells;
        Widest shown;    // by the width of the text as stored
        Widest grouped;  // numbers, by the width of their "#,##0.00" form
        std::uint64_t lastText = ~std::uint64_t(0);  // the column's last text: a repeat is stored once
        std::vector<std::uint64_t> groupText;        // the same for each group of appendRow()
    };

    Cell readCell(Column& c, sqlite3_stmt* st, int col, std::uint64_t& last);
    void offerWidths(Column& c, Cell cell, int row);
    Cell cell(int row, int c) const;
    QString textOf(Cell cell) const;

    std::vector<Column> columns_;
    Cells rowids_;  // as whole numbers: in blocks, 4 bytes each while they fit, never copied to grow
    Texts texts_;
    int rows_ = 0;
};
