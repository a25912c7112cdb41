#include "snapshot.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstring>
#include <sqlite3.h>

namespace {

constexpr std::uint32_t kNull32 = 0xFFFFFFFFu;
constexpr std::int32_t kNullSmall = INT32_MIN;
// Null in a column of numbers: a NaN that the engine never hands over (it turns NaN into NULL). An
// integer or an amount with these bits moves its column to the mixed layout.
constexpr std::uint64_t kNull64 = 0x7FF4'0000'DEAD'0001ull;

constexpr int kChunkBits = 18;  // a chunk of texts holds at most 256 KiB
constexpr std::size_t kChunkMax = std::size_t(1) << kChunkBits;
constexpr std::size_t kFirstChunk = 4096;
constexpr std::size_t kLongText = 64 * 1024;  // from this length a text is kept on its own

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

int varintSize(std::uint64_t v)
{
    int n = 1;
    while (v >= 0x80) {
        v >>= 7;
        ++n;
    }
    return n;
}

char* putVarint(char* p, std::uint64_t v)
{
    while (v >= 0x80) {
        *p++ = static_cast<char>((v & 0x7F) | 0x80);
        v >>= 7;
    }
    *p++ = static_cast<char>(v);
    return p;
}

const char* getVarint(const char* p, std::uint64_t& v)
{
    v = 0;
    int shift = 0;
    for (;;) {
        const auto b = static_cast<unsigned char>(*p++);
        v |= std::uint64_t(b & 0x7F) << shift;
        if (!(b & 0x80))
            return p;
        shift += 7;
    }
}

// How wide a text shows, in the units of a narrow character: CJK and emoji count two. Never more
// than its length in bytes.
std::uint32_t textWidth(const unsigned char* p, std::size_t n)
{
    std::uint32_t w = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const unsigned char b = p[i];
        if (b < 0x80)
            w += 1;
        else if (b >= 0xE0)
            w += 2;
        else if (b >= 0xC0)
            w += 1;
    }
    return w;
}

std::uint32_t digits(std::uint64_t v)
{
    std::uint32_t n = 1;
    while (v >= 10) {
        v /= 10;
        ++n;
    }
    return n;
}

std::uint64_t magnitude(std::int64_t v)
{
    return v < 0 ? std::uint64_t(-(v + 1)) + 1 : std::uint64_t(v);
}

// "#,##0.00" of a whole number of `d` digits, with its sign.
std::uint32_t groupedWidth(std::uint32_t d, bool negative)
{
    return d + (d - 1) / 3 + 3 + (negative ? 1 : 0);
}

}  // namespace

// ---- cells -----------------------------------------------------------------------------------

std::size_t Snapshot::Cells::width() const
{
    switch (layout_) {
    case Layout::Nulls:
        return 0;
    case Layout::Texts:
    case Layout::Small:
        return 4;
    case Layout::Numbers:
        return 8;
    case Layout::Mixed:
        return 9;
    }
    return 9;
}

std::byte* Snapshot::Cells::slot(std::size_t row) const
{
    const std::size_t w = layout_ == Layout::Mixed ? 8 : width();
    return blocks_[row / kBlock].get() + (row % kBlock) * w;
}

bool Snapshot::Cells::fits(Cell c) const
{
    switch (layout_) {
    case Layout::Nulls:
        return c.type == CellType::Null;
    case Layout::Texts:
        return c.type == CellType::Null || (c.type == CellType::Text && c.bits < kNull32);
    case Layout::Small:
        return c.type == CellType::Null || (c.type == numbers_ && small(c));
    case Layout::Numbers:
        return c.type == CellType::Null || (c.type == numbers_ && c.bits != kNull64);
    case Layout::Mixed:
        return true;
    }
    return true;
}

bool Snapshot::Cells::small(Cell c)
{
    const auto v = static_cast<std::int64_t>(c.bits);
    return c.type != CellType::Real && v > kNullSmall && v <= INT32_MAX;
}

void Snapshot::Cells::relayout(Cell next)
{
    // The narrowest layout that holds the cells so far and the next one.
    Cells wider;
    wider.layout_ = Layout::Mixed;
    const bool number = next.type != CellType::Text && next.bits != kNull64;
    if (layout_ == Layout::Nulls && next.type == CellType::Text && next.bits < kNull32) {
        wider.layout_ = Layout::Texts;
    } else if (layout_ == Layout::Nulls && number) {
        wider.layout_ = small(next) ? Layout::Small : Layout::Numbers;
        wider.numbers_ = next.type;
    } else if (layout_ == Layout::Small && number && next.type == numbers_) {
        wider.layout_ = Layout::Numbers;
        wider.numbers_ = numbers_;
    }
    for (std::size_t r = 0; r < size_; ++r)
        wider.push(get(r));
    *this = std::move(wider);
}

void Snapshot::Cells::push(Cell c)
{
    if (!fits(c))
        relayout(c);
    if (layout_ != Layout::Nulls && size_ == blocks_.size() * kBlock)
        blocks_.push_back(std::unique_ptr<std::byte[]>(new std::byte[kBlock * width()]));
    ++size_;
    if (layout_ != Layout::Nulls)
        set(size_ - 1, c);
}

void Snapshot::Cells::set(std::size_t row, Cell c)
{
    if (!fits(c))
        relayout(c);
    std::byte* p = layout_ == Layout::Nulls ? nullptr : slot(row);
    switch (layout_) {
    case Layout::Nulls:
        break;
    case Layout::Texts: {
        const std::uint32_t v = c.type == CellType::Null ? kNull32 : static_cast<std::uint32_t>(c.bits);
        std::memcpy(p, &v, sizeof v);
        break;
    }
    case Layout::Small: {
        const std::int32_t v = c.type == CellType::Null ? kNullSmall : static_cast<std::int32_t>(c.bits);
        std::memcpy(p, &v, sizeof v);
        break;
    }
    case Layout::Numbers: {
        const std::uint64_t v = c.type == CellType::Null ? kNull64 : c.bits;
        std::memcpy(p, &v, sizeof v);
        break;
    }
    case Layout::Mixed:
        std::memcpy(p, &c.bits, sizeof c.bits);
        blocks_[row / kBlock][kBlock * 8 + row % kBlock] = static_cast<std::byte>(c.type);
        break;
    }
}

Snapshot::Cell Snapshot::Cells::get(std::size_t row) const
{
    switch (layout_) {
    case Layout::Nulls:
        return {};
    case Layout::Texts: {
        std::uint32_t v;
        std::memcpy(&v, slot(row), sizeof v);
        return v == kNull32 ? Cell{} : Cell{CellType::Text, v};
    }
    case Layout::Small: {
        std::int32_t v;
        std::memcpy(&v, slot(row), sizeof v);
        return v == kNullSmall ? Cell{} : Cell{numbers_, static_cast<std::uint64_t>(static_cast<std::int64_t>(v))};
    }
    case Layout::Numbers: {
        std::uint64_t v;
        std::memcpy(&v, slot(row), sizeof v);
        return v == kNull64 ? Cell{} : Cell{numbers_, v};
    }
    case Layout::Mixed: {
        Cell c;
        std::memcpy(&c.bits, slot(row), sizeof c.bits);
        c.type = static_cast<CellType>(blocks_[row / kBlock][kBlock * 8 + row % kBlock]);
        return c;
    }
    }
    return {};
}

void Snapshot::Cells::shiftInBlock(std::size_t b, std::size_t from, std::size_t count, bool up)
{
    if (count == 0)
        return;
    const std::size_t w = layout_ == Layout::Mixed ? 8 : width();
    std::byte* base = blocks_[b].get();
    const std::size_t to = up ? from - 1 : from + 1;
    std::memmove(base + to * w, base + from * w, count * w);
    if (layout_ == Layout::Mixed)
        std::memmove(base + kBlock * 8 + to, base + kBlock * 8 + from, count);
}

// The cells after `row` move up one place, a block at a time: a row taken out of a million costs a
// few copies of memory, not a million cells read and written.
void Snapshot::Cells::erase(std::size_t row)
{
    if (layout_ != Layout::Nulls) {
        for (std::size_t b = row / kBlock; b * kBlock < size_; ++b) {
            const std::size_t first = b == row / kBlock ? row % kBlock : 0;  // the place filled from below
            const std::size_t end = std::min(kBlock, size_ - b * kBlock);
            shiftInBlock(b, first + 1, end - first - 1, true);
            if ((b + 1) * kBlock < size_)
                set(b * kBlock + kBlock - 1, get((b + 1) * kBlock));
        }
    }
    --size_;
    if (blocks_.size() > (size_ + kBlock - 1) / kBlock)
        blocks_.pop_back();
}

// The cells from `row` on move down one place, from the last block back, and `c` takes the place.
void Snapshot::Cells::insert(std::size_t row, Cell c)
{
    push(Cell{});  // the room at the end: a null fits every layout
    if (layout_ != Layout::Nulls) {
        const std::size_t firstBlock = row / kBlock;
        for (std::size_t b = (size_ - 1) / kBlock;; --b) {
            const std::size_t first = b == firstBlock ? row % kBlock : 0;
            const std::size_t end = std::min(kBlock, size_ - b * kBlock);
            shiftInBlock(b, first, end - first - 1, false);
            if (b == firstBlock)
                break;
            set(b * kBlock, get(b * kBlock - 1));
        }
    }
    set(row, c);
}

Snapshot::Cells Snapshot::Cells::scattered(const std::vector<std::uint32_t>& dest) const
{
    Cells out;
    out.layout_ = layout_;
    out.numbers_ = numbers_;
    out.size_ = size_;
    if (layout_ == Layout::Nulls)
        return out;
    out.blocks_.reserve(blocks_.size());
    for (std::size_t b = 0; b < blocks_.size(); ++b)
        out.blocks_.push_back(std::unique_ptr<std::byte[]>(new std::byte[kBlock * width()]));
    const std::size_t w = layout_ == Layout::Mixed ? 8 : width();
    for (std::size_t r = 0; r < size_; ++r) {
        const std::size_t to = dest[r];
        std::memcpy(out.slot(to), slot(r), w);
        if (layout_ == Layout::Mixed)
            out.blocks_[to / kBlock][kBlock * 8 + to % kBlock] = blocks_[r / kBlock][kBlock * 8 + r % kBlock];
    }
    return out;
}

void Snapshot::Cells::addAmounts(std::size_t from, MoneyTotal& total,
                                 const std::function<std::optional<Money>(int)>& other) const
{
    if (layout_ == Layout::Nulls)
        return;
    if ((layout_ == Layout::Small || layout_ == Layout::Numbers) && numbers_ == CellType::Money) {
        // A column of amounts: read straight from its blocks.
        for (std::size_t r = from; r < size_;) {
            const std::size_t b = r / kBlock, end = std::min(size_, (b + 1) * kBlock);
            const std::byte* base = blocks_[b].get();
            if (layout_ == Layout::Small) {
                std::int64_t part = 0;  // at most 1024 cells of 31 bits: no overflow
                for (; r < end; ++r) {
                    std::int32_t v;
                    std::memcpy(&v, base + (r % kBlock) * 4, sizeof v);
                    if (v != kNullSmall)
                        part += v;
                }
                total += MoneyTotal(Money::fromUnits(part));
            } else {
                for (; r < end; ++r) {
                    std::uint64_t v;
                    std::memcpy(&v, base + (r % kBlock) * 8, sizeof v);
                    if (v != kNull64)
                        total += MoneyTotal(Money::fromUnits(static_cast<std::int64_t>(v)));
                }
            }
        }
        return;
    }
    for (std::size_t r = from; r < size_; ++r) {
        const Cell c = get(r);
        if (c.type == CellType::Money)
            total += MoneyTotal(Money::fromUnits(static_cast<std::int64_t>(c.bits)));
        else if (c.type != CellType::Null)
            if (const auto m = other(static_cast<int>(r)))
                total += MoneyTotal(*m);
    }
}

std::size_t Snapshot::Cells::bytes() const
{
    return blocks_.capacity() * sizeof(void*) + blocks_.size() * kBlock * width();
}

// ---- texts -----------------------------------------------------------------------------------

std::uint64_t Snapshot::Texts::add(const char* p, std::size_t n)
{
    payload_ += n;
    // The length is stored doubled; an odd value is the index of a text kept on its own.
    std::uint64_t head = std::uint64_t(n) << 1;
    if (n >= kLongText) {
        head = (std::uint64_t(long_.size()) << 1) | 1;
        long_.emplace_back(p, static_cast<qsizetype>(n));
        n = 0;
    }
    const std::size_t need = static_cast<std::size_t>(varintSize(head)) + n;
    if (chunks_.empty() || capacity_ - used_ < need) {
        capacity_ = chunks_.empty() ? kFirstChunk : std::min(capacity_ * 2, kChunkMax);
        chunks_.push_back(std::unique_ptr<char[]>(new char[capacity_]));
        chunkBytes_ += capacity_;
        used_ = 0;
    }
    const std::uint64_t place = (std::uint64_t(chunks_.size() - 1) << kChunkBits) | used_;
    char* at = putVarint(chunks_.back().get() + used_, head);
    if (n)
        std::memcpy(at, p, n);
    used_ += need;
    return place;
}

QByteArrayView Snapshot::Texts::view(std::uint64_t place) const
{
    const char* p = chunks_[place >> kChunkBits].get() + (place & (kChunkMax - 1));
    std::uint64_t head;
    p = getVarint(p, head);
    if (head & 1)
        return QByteArrayView(long_[static_cast<std::size_t>(head >> 1)]);
    return QByteArrayView(p, static_cast<qsizetype>(head >> 1));
}

void Snapshot::Texts::clear()
{
    chunks_.clear();
    chunks_.shrink_to_fit();
    long_.clear();
    long_.shrink_to_fit();
    used_ = capacity_ = chunkBytes_ = payload_ = 0;
}

std::size_t Snapshot::Texts::allocated() const
{
    std::size_t bytes = chunkBytes_ + chunks_.capacity() * sizeof(void*) + long_.capacity() * sizeof(QByteArray);
    for (const QByteArray& b : long_)
        bytes += static_cast<std::size_t>(b.capacity());
    return bytes;
}

// ---- widest cells ----------------------------------------------------------------------------

void Snapshot::Widest::offer(std::uint32_t w, int r)
{
    int at = count;
    if (count < kRows) {
        ++count;
    } else {
        at = 0;
        for (int i = 1; i < kRows; ++i)
            if (width[i] < width[at])
                at = i;
    }
    width[at] = w;
    row[at] = r;
    if (count == kRows) {
        lowest = width[0];
        for (int i = 1; i < kRows; ++i)
            lowest = std::min(lowest, width[i]);
    }
}

void Snapshot::Widest::forget(int r, bool shift)
{
    for (int i = 0; i < count;) {
        if (row[i] == r) {
            --count;
            width[i] = width[count];
            row[i] = row[count];
            continue;
        }
        if (shift && row[i] > r)
            --row[i];
        ++i;
    }
}

void Snapshot::Widest::shiftFrom(int r)
{
    for (int i = 0; i < count; ++i)
        if (row[i] >= r)
            ++row[i];
}

void Snapshot::Widest::moveRows(const std::vector<std::uint32_t>& dest)
{
    for (int i = 0; i < count; ++i)
        row[i] = static_cast<int>(dest[static_cast<std::size_t>(row[i])]);
}

// ---- the snapshot ----------------------------------------------------------------------------

Snapshot::Snapshot() = default;
Snapshot::~Snapshot() = default;

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
    rowids_ = Cells();
    texts_.clear();
    rows_ = 0;
}

Snapshot::Cell Snapshot::readCell(Column& c, sqlite3_stmt* st, int col, std::uint64_t& last)
{
    switch (sqlite3_column_type(st, col)) {
    case SQLITE_NULL:
        return {};
    case SQLITE_INTEGER: {
        const std::int64_t v = sqlite3_column_int64(st, col);
        std::int64_t units;
        if (!c.info.money)
            return {CellType::Int, static_cast<std::uint64_t>(v)};
        if (!__builtin_mul_overflow(v, 10000, &units))
            return {CellType::Money, static_cast<std::uint64_t>(units)};
        return {CellType::Int, static_cast<std::uint64_t>(v)};  // beyond any amount: kept and shown as stored
    }
    case SQLITE_FLOAT: {
        const double v = sqlite3_column_double(st, col);
        if (c.info.money && std::fabs(v) < 9.0e14)
            return {CellType::Money, static_cast<std::uint64_t>(Money::fromDouble(v).units())};
        return {CellType::Real, realBits(v)};
    }
    default: {
        const char* p = reinterpret_cast<const char*>(sqlite3_column_text(st, col));
        const auto n = static_cast<std::size_t>(sqlite3_column_bytes(st, col));
        if (last != ~std::uint64_t(0)) {
            const QByteArrayView before = texts_.view(last);
            if (static_cast<std::size_t>(before.size()) == n && (n == 0 || std::memcmp(before.data(), p, n) == 0))
                return {CellType::Text, last};
        }
        last = texts_.add(p, n);
        return {CellType::Text, last};
    }
    }
}

void Snapshot::offerWidths(Column& c, Cell cell, int row)
{
    switch (cell.type) {
    case CellType::Null:
        return;
    case CellType::Text: {
        const QByteArrayView t = texts_.view(cell.bits);
        // The width never exceeds the length in bytes: most texts are passed over unread.
        if (c.shown.wants(static_cast<std::uint32_t>(t.size())))
            if (const auto w = textWidth(reinterpret_cast<const unsigned char*>(t.data()), static_cast<std::size_t>(t.size()));
                c.shown.wants(w))
                c.shown.offer(w, row);
        return;
    }
    case CellType::Int: {
        const auto v = static_cast<std::int64_t>(cell.bits);
        const std::uint32_t d = digits(magnitude(v));
        if (c.shown.wants(d + (v < 0)))
            c.shown.offer(d + (v < 0), row);
        if (c.grouped.wants(groupedWidth(d, v < 0)))
            c.grouped.offer(groupedWidth(d, v < 0), row);
        return;
    }
    case CellType::Money: {
        const auto u = static_cast<std::int64_t>(cell.bits);
        const std::uint64_t a = magnitude(u);
        std::uint32_t plain = digits(a / 10000) + (u < 0);
        if (std::uint64_t frac = a % 10000) {
            std::uint32_t f = 4;
            for (; frac % 10 == 0; frac /= 10)
                --f;
            plain += 1 + f;
        }
        if (c.shown.wants(plain))
            c.shown.offer(plain, row);
        const std::uint32_t g = groupedWidth(digits((a + 50) / 100 / 100), u < 0);
        if (c.grouped.wants(g))
            c.grouped.offer(g, row);
        return;
    }
    case CellType::Real: {
        const double v = bitsReal(cell.bits);
        char buf[32];
        const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, 15);
        const auto plain = static_cast<std::uint32_t>(r.ptr - buf);
        if (c.shown.wants(plain))
            c.shown.offer(plain, row);
        const double a = std::fabs(v);
        const std::uint32_t g = a < 1e18 ? groupedWidth(digits(static_cast<std::uint64_t>(a)), v < 0) : 40;
        if (c.grouped.wants(g))
            c.grouped.offer(g, row);
        return;
    }
    }
}

void Snapshot::appendRow(sqlite3_stmt* st, int firstCol, int group)
{
    for (std::size_t f = 0; f < columns_.size(); ++f) {
        Column& c = columns_[f];
        std::uint64_t* lastText = &c.lastText;
        if (group >= 0) {
            if (static_cast<std::size_t>(group) >= c.groupText.size())
                c.groupText.resize(static_cast<std::size_t>(group) + 1, ~std::uint64_t(0));
            lastText = &c.groupText[static_cast<std::size_t>(group)];
        }
        const std::uint64_t last = *lastText;
        const Cell cell = readCell(c, st, static_cast<int>(f) + firstCol, *lastText);
        c.cells.push(cell);
        // A text that repeats the one above it is no wider than that one.
        if (cell.type != CellType::Text || cell.bits != last)
            offerWidths(c, cell, rows_);
    }
    ++rows_;
}

void Snapshot::replaceRow(int row, sqlite3_stmt* st, int firstCol)
{
    for (std::size_t f = 0; f < columns_.size(); ++f) {
        Column& c = columns_[f];
        const Cell cell = readCell(c, st, static_cast<int>(f) + firstCol, c.lastText);
        c.cells.set(static_cast<std::size_t>(row), cell);
        c.shown.forget(row, false);
        c.grouped.forget(row, false);
        offerWidths(c, cell, row);
    }
}

void Snapshot::insertRow(int row, std::int64_t rowid, sqlite3_stmt* st, int firstCol)
{
    for (std::size_t f = 0; f < columns_.size(); ++f) {
        Column& c = columns_[f];
        const Cell cell = readCell(c, st, static_cast<int>(f) + firstCol, c.lastText);
        c.cells.insert(static_cast<std::size_t>(row), cell);
        c.shown.shiftFrom(row);
        c.grouped.shiftFrom(row);
        offerWidths(c, cell, row);
    }
    rowids_.insert(static_cast<std::size_t>(row), Cell{CellType::Int, static_cast<std::uint64_t>(rowid)});
    ++rows_;
}

void Snapshot::appendNullRow()
{
    for (Column& c : columns_)
        c.cells.push(Cell{});
    ++rows_;
}

void Snapshot::eraseRow(int row)
{
    for (Column& c : columns_) {
        c.cells.erase(static_cast<std::size_t>(row));
        c.shown.forget(row, true);
        c.grouped.forget(row, true);
    }
    if (static_cast<std::size_t>(row) < rowids_.size())
        rowids_.erase(static_cast<std::size_t>(row));
    --rows_;
}

// A column at a time, so that no more than one column is held twice.
void Snapshot::reorder(const std::vector<std::uint32_t>& dest)
{
    for (Column& c : columns_) {
        c.cells = c.cells.scattered(dest);
        c.shown.moveRows(dest);
        c.grouped.moveRows(dest);
        c.groupText = {};  // the groups are together now
    }
    if (rowids_.size() == static_cast<std::size_t>(rows_))
        rowids_ = rowids_.scattered(dest);
}

void Snapshot::swap(Snapshot& other)
{
    std::swap(columns_, other.columns_);
    std::swap(rowids_, other.rowids_);
    std::swap(texts_, other.texts_);
    std::swap(rows_, other.rows_);
}

void Snapshot::pushRowid(std::int64_t id)
{
    rowids_.push(Cell{CellType::Int, static_cast<std::uint64_t>(id)});
}

std::int64_t Snapshot::rowid(int row) const
{
    return static_cast<std::int64_t>(rowids_.get(static_cast<std::size_t>(row)).bits);
}

int Snapshot::rowOfRowid(std::int64_t id) const
{
    for (std::size_t r = 0; r < rowids_.size(); ++r)
        if (static_cast<std::int64_t>(rowids_.get(r).bits) == id)
            return static_cast<int>(r);
    return -1;
}

Snapshot::Cell Snapshot::cell(int row, int c) const
{
    return columns_[static_cast<std::size_t>(c)].cells.get(static_cast<std::size_t>(row));
}

Snapshot::CellType Snapshot::type(int row, int c) const
{
    return cell(row, c).type;
}

QString Snapshot::textOf(Cell c) const
{
    switch (c.type) {
    case CellType::Null:
        return QString();
    case CellType::Int:
        return QString::number(static_cast<qlonglong>(c.bits));
    case CellType::Real:
        return QString::number(bitsReal(c.bits), 'g', 15);
    case CellType::Money:
        return Money::fromUnits(static_cast<std::int64_t>(c.bits)).toPlain();
    case CellType::Text: {
        const QByteArrayView t = texts_.view(c.bits);
        return QString::fromUtf8(t.data(), t.size());
    }
    }
    return QString();
}

QVariant Snapshot::value(int row, int col) const
{
    const Cell c = cell(row, col);
    switch (c.type) {
    case CellType::Null:
        return QVariant();
    case CellType::Int:
        return QVariant(static_cast<qlonglong>(c.bits));
    case CellType::Real:
        return QVariant(bitsReal(c.bits));
    case CellType::Money:
        return QVariant::fromValue(Money::fromUnits(static_cast<std::int64_t>(c.bits)));
    case CellType::Text:
        return QVariant(textOf(c));
    }
    return QVariant();
}

QString Snapshot::text(int row, int col) const
{
    return textOf(cell(row, col));
}

std::optional<Money> Snapshot::money(int row, int col) const
{
    const Cell c = cell(row, col);
    switch (c.type) {
    case CellType::Null:
        return std::nullopt;
    case CellType::Int:
        return Money::fromDouble(static_cast<double>(static_cast<std::int64_t>(c.bits)));
    case CellType::Real:
        return Money::fromDouble(bitsReal(c.bits));
    case CellType::Money:
        return Money::fromUnits(static_cast<std::int64_t>(c.bits));
    case CellType::Text:
        return Money::parse(textOf(c));
    }
    return std::nullopt;
}

MoneyTotal Snapshot::sumAmounts(int c, int from, const std::function<std::optional<Money>(int row)>& other) const
{
    MoneyTotal total;
    columns_[static_cast<std::size_t>(c)].cells.addAmounts(static_cast<std::size_t>(std::max(from, 0)), total, other);
    return total;
}

Snapshot::Raw Snapshot::raw(int row, int col) const
{
    const Cell c = cell(row, col);
    Raw r;
    r.type = c.type;
    switch (c.type) {
    case CellType::Null:
        break;
    case CellType::Int:
    case CellType::Money:
        r.number = static_cast<std::int64_t>(c.bits);
        break;
    case CellType::Real:
        r.real = bitsReal(c.bits);
        break;
    case CellType::Text:
        r.text = texts_.view(c.bits);
        break;
    }
    return r;
}

std::vector<int> Snapshot::widestRows(int c) const
{
    const Column& col = columns_[static_cast<std::size_t>(c)];
    std::vector<int> rows(col.shown.row.begin(), col.shown.row.begin() + col.shown.count);
    for (int i = 0; i < col.grouped.count; ++i)
        if (std::find(rows.begin(), rows.end(), col.grouped.row[i]) == rows.end())
            rows.push_back(col.grouped.row[i]);
    return rows;
}

std::size_t Snapshot::overheadBytes() const
{
    std::size_t bytes = sizeof(*this) + rowids_.bytes() + texts_.allocated() - texts_.payload();
    for (const Column& c : columns_)
        bytes += sizeof(Column) + c.cells.bytes();
    return bytes;
}

std::size_t Snapshot::textBytes() const
{
    return texts_.payload();
}
