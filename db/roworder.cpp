#include "roworder.h"

#include "pinyinorder.h"
#include "snapshot.h"

#include <algorithm>
#include <cstring>
#include <numeric>
#include <string_view>
#include <unordered_map>

namespace {

enum Kind : std::uint8_t { Empty, Number, Text };

struct Key {
    Kind kind = Empty;
    std::uint32_t text = 0;  // the text's place among the column's distinct texts, in order
    long double number = 0;
};

bool before(const Key& a, const Key& b)
{
    if (a.kind != b.kind)
        return a.kind < b.kind;
    if (a.kind == Number)
        return a.number < b.number;
    return a.text < b.text;
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
    std::vector<Key> keys(static_cast<std::size_t>(n));
    std::vector<std::string_view> texts;
    std::unordered_map<std::string_view, std::uint32_t> seen;
    const char* lastData = nullptr;  // a text repeated from the row above is stored once
    std::uint32_t lastText = 0;
    for (int r = 0; r < n; ++r) {
        const Snapshot::Raw c = snap.raw(r, column);
        Key& k = keys[static_cast<std::size_t>(r)];
        switch (c.type) {
        case Snapshot::CellType::Null:
            break;
        case Snapshot::CellType::Int:
            k = {Number, 0, static_cast<long double>(c.number)};
            break;
        case Snapshot::CellType::Money:
            k = {Number, 0, static_cast<long double>(c.number) / 10000.0L};
            break;
        case Snapshot::CellType::Real:
            k = {Number, 0, static_cast<long double>(c.real)};
            break;
        case Snapshot::CellType::Text: {
            if (!lastData || c.text.data() != lastData) {
                const auto [it, added] = seen.emplace(bytes(c.text), static_cast<std::uint32_t>(texts.size()));
                if (added)
                    texts.push_back(it->first);
                lastData = c.text.data();
                lastText = it->second;
            }
            k = {Text, lastText, 0};
            break;
        }
        }
    }
    const std::vector<std::uint32_t> place = textPlaces(texts, snap.column(column).date);
    for (Key& k : keys)
        if (k.kind == Text)
            k.text = place[k.text];

    std::vector<int> rows(static_cast<std::size_t>(n));
    std::iota(rows.begin(), rows.end(), 0);
    std::sort(rows.begin(), rows.end(), [&](int a, int b) {
        return before(keys[static_cast<std::size_t>(a)], keys[static_cast<std::size_t>(b)]);
    });
    std::vector<std::uint32_t> rank(static_cast<std::size_t>(n));
    std::uint32_t current = 0;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (i > 0 && before(keys[static_cast<std::size_t>(rows[i - 1])], keys[static_cast<std::size_t>(rows[i])]))
            ++current;
        rank[static_cast<std::size_t>(rows[i])] = current;
    }
    return rank;
}

std::vector<int> sorted(const std::vector<std::uint32_t>& ranks, bool descending)
{
    std::vector<int> rows(ranks.size());
    std::iota(rows.begin(), rows.end(), 0);
    if (descending)
        std::stable_sort(rows.begin(), rows.end(), [&](int a, int b) { return ranks[static_cast<std::size_t>(a)] > ranks[static_cast<std::size_t>(b)]; });
    else
        std::stable_sort(rows.begin(), rows.end(), [&](int a, int b) { return ranks[static_cast<std::size_t>(a)] < ranks[static_cast<std::size_t>(b)]; });
    return rows;
}

}  // namespace RowOrder
