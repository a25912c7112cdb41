#include "pinyinorder.h"

#include "dialect.h"

#include <QLocale>
#include <cstring>
#include <sqlite3.h>

namespace {

// More distinct texts than a household has names: the cache starts again rather than grow.
constexpr std::size_t kMaxCached = 1 << 16;

int byteOrder(QByteArrayView a, QByteArrayView b)
{
    const qsizetype n = std::min(a.size(), b.size());
    if (const int c = n ? std::memcmp(a.data(), b.data(), static_cast<std::size_t>(n)) : 0)
        return c;
    return a.size() < b.size() ? -1 : (a.size() > b.size() ? 1 : 0);
}

}  // namespace

PinyinOrder::PinyinOrder() : collator_(QLocale(QLocale::Chinese, QLocale::China))
{
    collator_.setCaseSensitivity(Qt::CaseInsensitive);
    collator_.setNumericMode(true);
}

PinyinOrder::~PinyinOrder() = default;

const QCollatorSortKey& PinyinOrder::cachedKey(QByteArrayView utf8)
{
    const std::string_view bytes(utf8.data(), static_cast<std::size_t>(utf8.size()));
    if (auto it = cache_.find(bytes); it != cache_.end())
        return it->second;
    if (cache_.size() >= kMaxCached)
        cache_.clear();
    return cache_.emplace(std::string(bytes), collator_.sortKey(QString::fromUtf8(utf8))).first->second;
}

int PinyinOrder::compare(QByteArrayView a, QByteArrayView b)
{
    if (a.size() == b.size() && (a.isEmpty() || std::memcmp(a.data(), b.data(), static_cast<std::size_t>(a.size())) == 0))
        return 0;
    const QCollatorSortKey ka = cachedKey(a);  // a copy: looking up the second may start the cache again
    const int c = ka.compare(cachedKey(b));
    return c != 0 ? c : byteOrder(a, b);
}

bool PinyinOrder::registerOn(sqlite3* db)
{
    auto* order = new PinyinOrder;
    const auto cmp = [](void* self, int na, const void* a, int nb, const void* b) {
        return static_cast<PinyinOrder*>(self)->compare(QByteArrayView(static_cast<const char*>(a), na),
                                                        QByteArrayView(static_cast<const char*>(b), nb));
    };
    const auto destroy = [](void* self) { delete static_cast<PinyinOrder*>(self); };
    if (sqlite3_create_collation_v2(db, kPinyinCollation, SQLITE_UTF8, order, cmp, destroy) == SQLITE_OK)
        return true;
    delete order;  // not handed over
    return false;
}
