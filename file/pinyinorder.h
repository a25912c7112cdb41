#pragma once

#include <QByteArrayView>
#include <QCollator>
#include <QString>
#include <array>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

struct sqlite3;

// The order in which a Chinese reader expects names: by their pinyin (李, 王, 张), letters without
// regard to case, and the digits within a text by their value (2 before 10). Texts that this order
// finds equal but that differ in their bytes are ordered by their bytes, so that only equal texts
// compare equal and every sort is repeatable.
//
// The same order serves the statements' ORDER BY (a collation registered on every connection, see
// kPinyinCollation in sqltext.h) and the grids' header sort.
class PinyinOrder {
public:
    PinyinOrder();
    ~PinyinOrder();
    PinyinOrder(const PinyinOrder&) = delete;
    PinyinOrder& operator=(const PinyinOrder&) = delete;

    // Two texts in UTF-8: below, at or above zero.
    int compare(QByteArrayView a, QByteArrayView b);
    // The key of a text: keys compare (QCollatorSortKey::compare) as their texts do, bytes aside.
    QCollatorSortKey sortKey(const QString& text) const { return collator_.sortKey(text); }

    // Registers the collation on a connection; the connection owns the order and its cache.
    static bool registerOn(sqlite3* db);

private:
    // A text seen: its key, and a number that orders it among all the texts seen (numbers are
    // spaced out, so that a text seen later gets one between its neighbours'). A sort compares the
    // same few names again and again: each comparison is then two look-ups and one of numbers.
    struct Seen {
        std::string bytes;
        QCollatorSortKey key;
        std::uint64_t place = 0;
    };
    struct Hash {
        using is_transparent = void;
        std::size_t operator()(std::string_view s) const { return std::hash<std::string_view>()(s); }
    };
    Seen& seen(QByteArrayView utf8);
    bool before(const Seen& a, const Seen& b) const;
    void spaceOut();
    void forget();

    QCollator collator_;
    std::deque<Seen> seen_;                // in the order first seen; addresses stay
    std::vector<Seen*> ordered_;           // in the order of the texts
    std::unordered_map<std::string_view, Seen*, Hash, std::equal_to<>> index_;
    std::array<Seen*, 256> recent_{};      // by a quick hash of the bytes
    unsigned generation_ = 0;              // counts forget()
};
