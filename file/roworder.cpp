#include "roworder.h"

#include "pinyinorder.h"
#include "snapshot.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <numeric>
#include <string_view>
#include <unordered_map>

namespace {

enum Kind : std::uint8_t { Empty, Number, Text };

// A row's place in the order: its kind, then a number in ten-thousandths (as amounts are shown), or
// its text's place among the column's distinct texts.
struct Entry {
    std::int64_t value = 0;
    std::uint32_t row = 0;
    Kind kind = Empty;
    bool operator<(const Entry& o) const { return kind != o.kind ? kind < o.kind : value < o.value; }
    bool sameAs(const Entry& o) const { return kind == o.kind && value == o.value; }
};

// A number in ten-thousandths; beyond what any amount reaches, the nearest end.
std::int64_t units(long double v)
{
    constexpr long double kMax = 9.2e18L;
    return v >= kMax ? INT64_MAX : (v <= -kMax ? INT64_MIN : static_cast<std::int64_t>(std::llround(v)));
}

std::string_view bytes(QByteArrayView v)
{
    return std::string_view(v.data(), static_cast<std::size_t>(v.size()));
}

// The places of the distinct texts in order: by their bytes, or in Chinese order.
std::vector<std::uint32_t> textPlaces(const std::vector<std::string_view>& texts, bool byBytes)
{
    std::vector<std::uint32_t> order(texts.size());
    std::iota(order.begin(), order.end(), 0u);
    if (byBytes) {
        std::sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) { return texts[a] < texts[b]; });
    } else {
        // One key per distinct text, then only keys are compared.
        PinyinOrder chinese;
        std::vector<QCollatorSortKey> keys;
        keys.reserve(texts.size());
        for (const std::string_view t : texts)
            keys.push_back(chinese.sortKey(QString::fromUtf8(t.data(), static_cast<qsizetype>(t.size()))));
        std::sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) {
            const int c = keys[a].compare(keys[b]);
            return c != 0 ? c < 0 : texts[a] < texts[b];
        });
    }
    std::vector<std::uint32_t> place(texts.size());
    for (std::uint32_t i = 0; i < order.size(); ++i)
        place[order[i]] = i;
    return place;
}

}  // namespace

namespace RowOrder {

std::vector<std::uint32_t> ranks(const Snapshot& snap, int column)
{
    const int n = snap.rowCount();
    std::vector<Entry> entries(static_cast<std::size_t>(n));
    std::vector<std::string_view> texts;
    std::unordered_map<std::string_view, std::uint32_t> seen;
    const char* lastData = nullptr;  // a text repeated from the row above is stored once
    std::uint32_t lastText = 0;
    for (int r = 0; r < n; ++r) {
        const Snapshot::Raw c = snap.raw(r, column);
        Entry& e = entries[static_cast<std::size_t>(r)];
        e.row = static_cast<std::uint32_t>(r);
        switch (c.type) {
        case Snapshot::CellType::Null:
            break;
        case Snapshot::CellType::Int:
            e.kind = Number;
            e.value = units(static_cast<long double>(c.number) * 10000.0L);
            break;
        case Snapshot::CellType::Money:
            e.kind = Number;
            e.value = c.number;
            break;
        case Snapshot::CellType::Real:
            e.kind = Number;
            e.value = units(static_cast<long double>(c.real) * 10000.0L);
            break;
        case Snapshot::CellType::Text:
            if (!lastData || c.text.data() != lastData) {
                const auto [it, added] = seen.emplace(bytes(c.text), static_cast<std::uint32_t>(texts.size()));
                if (added)
                    texts.push_back(it->first);
                lastData = c.text.data();
                lastText = it->second;
            }
            e.kind = Text;
            e.value = lastText;
            break;
        }
    }
    const std::vector<std::uint32_t> place = textPlaces(texts, snap.column(column).date);
    for (Entry& e : entries)
        if (e.kind == Text)
            e.value = place[static_cast<std::size_t>(e.value)];

    std::sort(entries.begin(), entries.end());
    std::vector<std::uint32_t> rank(static_cast<std::size_t>(n));
    std::uint32_t current = 0;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (i > 0 && !entries[i - 1].sameAs(entries[i]))
            ++current;
        rank[entries[i].row] = current;
    }
    return rank;
}

std::vector<int> sorted(const std::vector<std::uint32_t>& ranks, bool descending)
{
    // Counting the rows of each rank: one pass, and equal ranks keep their order.
    std::uint32_t top = 0;
    for (const std::uint32_t r : ranks)
        top = std::max(top, r + 1);
    std::vector<int> start(static_cast<std::size_t>(top) + 1, 0);
    for (const std::uint32_t r : ranks)
        ++start[descending ? top - 1 - r + 1 : r + 1];
    for (std::size_t i = 1; i < start.size(); ++i)
        start[i] += start[i - 1];
    std::vector<int> rows(ranks.size());
    for (std::size_t i = 0; i < ranks.size(); ++i)
        rows[static_cast<std::size_t>(start[descending ? top - 1 - ranks[i] : ranks[i]]++)] = static_cast<int>(i);
    return rows;
}

}  // namespace RowOrder
