#include "snapshot.h"

#include <cstring>
#include <sqlite3.h>

namespace {

std::uint64_t realBits(double d)
{
    std::uint64_t b;
    std::memcpy(&b, &d, sizeof b);
    return b;
}

double bitsReal(std::uint64_t b)
{
    double d;
    std::memcpy(&d, &b, sizeof d);
    return d;
}

}  // namespace

void Snapshot::setColumns(std::vector<ColumnInfo> columns)
{
    clear();
    columns_.resize(columns.size());
    for (std::size_t i = 0; i < columns.size(); ++i)
        columns_[i].info = std::move(columns[i]);
}

void Snapshot::clear()
{
    columns_.clear();
    rowids_.clear();
    pool_.clear();
    seen_.clear();
    loading_ = false;
    rows_ = 0;
}

void Snapshot::beginLoad()
{
    loading_ = true;
}

void Snapshot::endLoad()
{
    loading_ = false;
    seen_.clear();
    seen_.squeeze();
}

void Snapshot::appendRow(sqlite3_stmt* st, int firstCol)
{
    const auto row = static_cast<std::size_t>(rows_);
    for (std::size_t f = 0; f < columns_.size(); ++f) {
        Column& c = columns_[f];
        c.cells.push(0, CellType::Null);
        storeCell(c, row, st, static_cast<int>(f) + firstCol);
    }
    ++rows_;
}

void Snapshot::replaceRow(int row, sqlite3_stmt* st, int firstCol)
{
    for (std::size_t f = 0; f < columns_.size(); ++f)
        storeCell(columns_[f], static_cast<std::size_t>(row), st, static_cast<int>(f) + firstCol);
}

void Snapshot::appendNullRow()
{
    for (Column& c : columns_)
        c.cells.push(0, CellType::Null);
    ++rows_;
}

void Snapshot::eraseRow(int row)
{
    for (Column& c : columns_)
        c.cells.erase(static_cast<std::size_t>(row));
    if (static_cast<std::size_t>(row) < rowids_.size())
        rowids_.erase(rowids_.begin() + row);
    --rows_;
}

void Snapshot::storeCell(Column& c, std::size_t row, sqlite3_stmt* st, int col)
{
    CellType t = CellType::Null;
    std::uint64_t b = 0;
    switch (sqlite3_column_type(st, col)) {
    case SQLITE_NULL:
        break;
    case SQLITE_INTEGER: {
        const std::int64_t v = sqlite3_column_int64(st, col);
        // A money cell beyond an amount's range (another tool can write one) keeps its number,
        // so that it is reported rather than shown wrapped around.
        const auto m = c.info.money ? Money::fromYuan(v) : std::nullopt;
        if (m) {
            t = CellType::Money;
            b = static_cast<std::uint64_t>(m->units());
        } else {
            t = CellType::Int;
            b = static_cast<std::uint64_t>(v);
        }
        break;
    }
    case SQLITE_FLOAT: {
        const double v = sqlite3_column_double(st, col);
        const auto m = c.info.money ? Money::fromNumber(v) : std::nullopt;
        if (m) {
            t = CellType::Money;
            b = static_cast<std::uint64_t>(m->units());
        } else {
            t = CellType::Real;
            b = realBits(v);
        }
        break;
    }
    default: {
        const char* txt = reinterpret_cast<const char*>(sqlite3_column_text(st, col));
        const int len = sqlite3_column_bytes(st, col);
        t = CellType::Text;
        if (loading_) {
            const QByteArray key = QByteArray::fromRawData(txt, len);
            auto it = seen_.constFind(key);
            if (it != seen_.constEnd()) {
                b = it.value();
                break;
            }
            seen_.insert(QByteArray(txt, len), static_cast<std::uint32_t>(pool_.size()));
        }
        b = pool_.size();
        pool_.push_back(QString::fromUtf8(txt, len));
        break;
    }
    }
    c.cells.set(row, b, t);
}

QVariant Snapshot::value(int row, int c) const
{
    const Cells& cells = columns_[static_cast<std::size_t>(c)].cells;
    const std::uint64_t b = cells.bits(static_cast<std::size_t>(row));
    switch (cells.type(static_cast<std::size_t>(row))) {
    case CellType::Null:
        return QVariant();
    case CellType::Int:
        return QVariant(static_cast<qlonglong>(b));
    case CellType::Real:
        return QVariant(bitsReal(b));
    case CellType::Money:
        return QVariant::fromValue(Money::fromUnits(static_cast<std::int64_t>(b)));
    case CellType::Text:
        return QVariant(pool_[b]);
    }
    return QVariant();
}

QString Snapshot::text(int row, int c) const
{
    const Cells& cells = columns_[static_cast<std::size_t>(c)].cells;
    const std::uint64_t b = cells.bits(static_cast<std::size_t>(row));
    switch (cells.type(static_cast<std::size_t>(row))) {
    case CellType::Null:
        return QString();
    case CellType::Int:
        return QString::number(static_cast<qlonglong>(b));
    case CellType::Real:
        return QString::number(bitsReal(b), 'g', 15);
    case CellType::Money:
        return Money::fromUnits(static_cast<std::int64_t>(b)).toPlain();
    case CellType::Text:
        return pool_[b];
    }
    return QString();
}

std::size_t Snapshot::overheadBytes() const
{
    std::size_t bytes = sizeof(*this) + rowids_.capacity() * sizeof(std::int64_t) + pool_.capacity() * sizeof(QString);
    for (const Column& c : columns_)
        bytes += sizeof(Column) + c.cells.bytes();
    return bytes;
}

std::size_t Snapshot::textBytes() const
{
    std::size_t bytes = 0;
    for (const QString& s : pool_)
        bytes += static_cast<std::size_t>(s.capacity()) * sizeof(QChar);
    return bytes;
}

void Snapshot::Cells::push(std::uint64_t bits, CellType type)
{
    if (size_ == blocks_.size() * kBlock)
        blocks_.push_back(std::make_unique<Block>());
    Block& b = *blocks_[size_ / kBlock];
    b.bits[size_ % kBlock] = bits;
    b.types[size_ % kBlock] = type;
    ++size_;
}

void Snapshot::Cells::set(std::size_t row, std::uint64_t bits, CellType type)
{
    Block& b = *blocks_[row / kBlock];
    b.bits[row % kBlock] = bits;
    b.types[row % kBlock] = type;
}

void Snapshot::Cells::erase(std::size_t row)
{
    for (std::size_t r = row; r + 1 < size_; ++r)
        set(r, bits(r + 1), type(r + 1));
    --size_;
    if (size_ % kBlock == 0 && blocks_.size() > size_ / kBlock)
        blocks_.pop_back();
}

std::size_t Snapshot::Cells::bytes() const
{
    return blocks_.capacity() * sizeof(void*) + blocks_.size() * sizeof(Block);
}
