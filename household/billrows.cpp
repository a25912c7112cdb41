// The compact rows of a bill (bills.h).
#include "bills.h"

#include <QByteArray>
#include <algorithm>
#include <cstring>
#include <limits>
#include <numeric>
#include <stdexcept>

namespace Bills {

namespace {

// The most texts kept once for all rows that share them: counterparties, reasons and words repeat;
// beyond so many different ones each is kept with its row.
constexpr std::size_t kMaxShared = 1 << 16;

// A day as it is kept: its number, 0 for no date.
std::int32_t dayOf(const QDate& date)
{
    return date.isValid() ? static_cast<std::int32_t>(date.toJulianDay()) : 0;
}

}  // namespace

Rows::Rows()
{
    texts_.append('\0');  // where every empty text is
}

void Rows::reserve(qsizetype rows)
{
    rows_.reserve(static_cast<std::size_t>(std::max<qsizetype>(rows, 0)));
}

namespace {

// FNV-1a: a quick hash of a short text.
std::uint32_t hashOf(QByteArrayView bytes)
{
    std::uint32_t h = 2166136261u;
    for (const char c : bytes)
        h = (h ^ static_cast<unsigned char>(c)) * 16777619u;
    return h;
}

}  // namespace

std::uint32_t Rows::keep(QByteArrayView utf8, bool shared)
{
    if (utf8.isEmpty())
        return 0;
    // The texts kept once: a table of where each is, found by its hash (the next place where one is
    // taken); it is only ever half full, and beyond that a text is kept with its row.
    std::uint32_t* slot = nullptr;
    if (shared) {
        // Twice as many places as texts, up to the most kept.
        if (2 * (sharedCount_ + 1) > shared_.size() && shared_.size() < 2 * kMaxShared) {
            std::vector<std::uint32_t> old(std::max<std::size_t>(64, 2 * shared_.size()), 0);
            old.swap(shared_);
            for (const std::uint32_t at : old) {
                if (at == 0)
                    continue;
                std::size_t to = hashOf(textView(at)) & (shared_.size() - 1);
                while (shared_[to] != 0)
                    to = (to + 1) & (shared_.size() - 1);
                shared_[to] = at;
            }
        }
        const std::size_t mask = shared_.size() - 1;
        for (std::size_t at = hashOf(utf8) & mask;; at = (at + 1) & mask) {
            if (shared_[at] == 0) {
                slot = sharedCount_ < kMaxShared ? &shared_[at] : nullptr;
                break;
            }
            if (textView(shared_[at]) == utf8)
                return shared_[at];
        }
    }
    const qsizetype at = texts_.size();
    if (at + utf8.size() + 5 > std::numeric_limits<std::uint32_t>::max())
        throw std::length_error("the texts of the rows are too long");
    for (std::size_t n = static_cast<std::size_t>(utf8.size());; n >>= 7) {
        if (n < 0x80) {
            texts_.append(static_cast<char>(n));
            break;
        }
        texts_.append(static_cast<char>((n & 0x7f) | 0x80));
    }
    texts_.append(utf8.data(), utf8.size());
    if (slot) {
        *slot = static_cast<std::uint32_t>(at);
        ++sharedCount_;
    }
    return static_cast<std::uint32_t>(at);
}

QByteArrayView Rows::textView(std::uint32_t at) const
{
    if (at == 0)
        return {};
    const char* p = texts_.constData() + at;
    std::size_t n = 0;
    for (int shift = 0;; shift += 7) {
        const auto byte = static_cast<unsigned char>(*p++);
        n |= static_cast<std::size_t>(byte & 0x7f) << shift;
        if (byte < 0x80)
            break;
    }
    return QByteArrayView(p, static_cast<qsizetype>(n));
}

QString Rows::text(std::uint32_t at) const
{
    return at == 0 ? QString() : QString::fromUtf8(textView(at));
}

QDate Rows::date(qsizetype i) const
{
    const std::int32_t day = rows_[static_cast<std::size_t>(i)].day;
    return day == 0 ? QDate() : QDate::fromJulianDay(day);
}

QString Rows::trade(qsizetype i) const
{
    char buffer[64];
    return QString::fromUtf8(tradeUtf8(i, buffer));
}

QByteArrayView Rows::tradeUtf8(qsizetype i, char (&out)[64]) const
{
    const Stored& r = rows_[static_cast<std::size_t>(i)];
    if (r.place == 0)
        return textView(r.texts[Trade]);
    // "#20260105", 96 bits of the identity's digest, and the place among equal rows: the day first,
    // so that a statement's numbers go into the file's index of them in order, as its rows come.
    int at = 0;
    int year = 0, month = 0, day = 0;
    QDate::fromJulianDay(r.day).getDate(&year, &month, &day);
    out[at++] = '#';
    for (const int part : {year / 100, year % 100, month, day}) {
        out[at++] = static_cast<char>('0' + part / 10);
        out[at++] = static_cast<char>('0' + part % 10);
    }
    static const char hex[] = "0123456789abcdef";
    for (const char byte : r.digest) {
        out[at++] = hex[static_cast<unsigned char>(byte) >> 4];
        out[at++] = hex[static_cast<unsigned char>(byte) & 0xf];
    }
    out[at++] = '-';
    char digits[12];
    int n = 0;
    for (std::uint32_t place = r.place; place != 0; place /= 10)
        digits[n++] = static_cast<char>('0' + place % 10);
    while (n > 0)
        out[at++] = digits[--n];
    return QByteArrayView(out, at);
}

void Rows::store(Stored& r, const Row& row)
{
    r.amount = row.amount.units();
    r.refunded = row.refunded.units();
    r.earlierRecord = row.earlierRecord;
    r.line = row.line;
    r.day = dayOf(row.date);
    r.refundedFrom = row.refundedFrom;
    r.kind = static_cast<std::uint8_t>(row.kind);
    r.tickAs = static_cast<std::uint8_t>(row.tickAs);
    r.ticked = row.ticked;
    r.texts[KindText] = keep(row.kindText.toUtf8(), true);
    r.texts[Counterparty] = keep(row.counterparty.toUtf8(), true);
    r.texts[Item] = keep(row.item.toUtf8(), false);
    r.texts[Status] = keep(row.status.toUtf8(), false);
    r.texts[Skip] = keep(row.skip.toUtf8(), true);
    r.texts[RefundOf] = keep(row.refundOf.toUtf8(), false);
    r.texts[EarlierLedger] = keep(row.earlierLedger.toUtf8(), true);
}

void Rows::append(const Row& row)
{
    Stored r;
    store(r, row);
    r.texts[Trade] = keep(row.trade.toUtf8(), false);
    rows_.push_back(r);
}

void Rows::replace(qsizetype i, const Row& row)
{
    Stored& r = rows_[static_cast<std::size_t>(i)];
    // A statement row's number stays the digest it is made of while the row keeps its day and number.
    const bool sameNumber = r.place != 0 && dayOf(row.date) == r.day && row.trade == trade(i);
    store(r, row);
    if (!sameNumber) {
        r.place = 0;
        r.texts[Trade] = keep(row.trade.toUtf8(), false);
    }
}

Row Rows::at(qsizetype i) const
{
    const Stored& s = rows_[static_cast<std::size_t>(i)];
    Row r;
    r.line = s.line;
    r.trade = trade(i);
    r.date = date(i);
    r.kind = static_cast<Kind>(s.kind);
    r.kindText = text(s.texts[KindText]);
    r.counterparty = text(s.texts[Counterparty]);
    r.item = text(s.texts[Item]);
    r.amount = Money::fromUnits(s.amount);
    r.refunded = Money::fromUnits(s.refunded);
    r.status = text(s.texts[Status]);
    r.skip = text(s.texts[Skip]);
    r.tickAs = static_cast<Kind>(s.tickAs);
    r.ticked = s.ticked;
    r.refundOf = text(s.texts[RefundOf]);
    r.refundedFrom = s.refundedFrom;
    r.earlierLedger = text(s.texts[EarlierLedger]);
    r.earlierRecord = s.earlierRecord;
    return r;
}

void Rows::setEarlier(qsizetype i, const QString& ledger, qint64 record)
{
    Stored& r = rows_[static_cast<std::size_t>(i)];
    r.texts[EarlierLedger] = keep(ledger.toUtf8(), true);
    r.earlierRecord = record;
}

void Rows::appendStatement(const StatementRow& row)
{
    Stored r;
    r.amount = row.amount.units();
    r.line = row.line;
    r.day = dayOf(row.date);
    r.kind = static_cast<std::uint8_t>(row.kind);
    r.tickAs = static_cast<std::uint8_t>(row.tickAs);
    r.texts[KindText] = keep(row.kindText, true);
    r.texts[Counterparty] = keep(row.counterparty, true);
    r.texts[Item] = keep(row.item, false);
    r.texts[Status] = keep(row.status, false);
    r.texts[Skip] = keep(row.skip, true);
    std::memcpy(r.digest, row.digest, sizeof r.digest);
    r.place = 1;
    rows_.push_back(r);
}

void Rows::numberEqualRows()
{
    // The rows in the order of their digests (and of their places in the statement among equal ones).
    std::vector<std::uint32_t> order;
    for (std::size_t i = 0; i < rows_.size(); ++i)
        if (rows_[i].place != 0)
            order.push_back(static_cast<std::uint32_t>(i));
    auto first64 = [this](std::uint32_t i) {
        std::uint64_t v;
        std::memcpy(&v, rows_[i].digest, sizeof v);
        return v;
    };
    std::sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) {
        const std::uint64_t x = first64(a), y = first64(b);
        if (x != y)
            return x < y;
        const int c = std::memcmp(rows_[a].digest + 8, rows_[b].digest + 8, sizeof rows_[a].digest - 8);
        return c < 0 || (c == 0 && a < b);
    });
    for (std::size_t k = 0; k < order.size(); ++k) {
        Stored& r = rows_[order[k]];
        const bool sameAsBefore = k > 0 && std::memcmp(rows_[order[k - 1]].digest, r.digest, sizeof r.digest) == 0;
        r.place = sameAsBefore ? rows_[order[k - 1]].place + 1 : 1;
    }
}

}  // namespace Bills
