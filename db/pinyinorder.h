#pragma once

#include <QByteArrayView>
#include <QCollator>
#include <QString>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>

struct sqlite3;

// The order in which a Chinese reader expects names: by their pinyin (李, 王, 张), letters without
// regard to case, and the digits within a text by their value (2 before 10). Texts that this order
// finds equal but that differ in their bytes are ordered by their bytes, so that only equal texts
// compare equal and every sort is repeatable.
//
// The same order serves the statements' ORDER BY (a collation registered on every connection, see
// kPinyinCollation in dialect.h) and the grids' header sort.
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
    struct Hash {
        using is_transparent = void;
        std::size_t operator()(std::string_view s) const { return std::hash<std::string_view>()(s); }
    };
    // The keys of the texts seen lately: a statement compares the same few names again and again.
    const QCollatorSortKey& cachedKey(QByteArrayView utf8);

    QCollator collator_;
    std::unordered_map<std::string, QCollatorSortKey, Hash, std::equal_to<>> cache_;
};
