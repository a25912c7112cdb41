#include "pinyinorder.h"

#include "sqltext.h"

#include <QLocale>
#include <algorithm>
#include <climits>
#include <cstring>
#include <sqlite3.h>

namespace {

// More distinct texts than a household has names: they are forgotten rather than grow without end.
constexpr std::size_t kMaxSeen = 1 << 16;

}  // namespace

PinyinOrder::PinyinOrder() : collator_(QLocale(QLocale::Chinese, QLocale::China))
{
    collator_.setCaseSensitivity(Qt::CaseInsensitive);
    collator_.setNumericMode(true);
}

PinyinOrder::~PinyinOrder() = default;

void PinyinOrder::forget()
{
    seen_.clear();
    ordered_.clear();
    index_.clear();
    recent_.fill(nullptr);
    ++generation_;
}

bool PinyinOrder::before(const Seen& a, const Seen& b) const
{
    const int c = a.key.compare(b.key);
    return c != 0 ? c < 0 : a.bytes < b.bytes;
}

void PinyinOrder::spaceOut()
{
    const std::uint64_t step = UINT64_MAX / (ordered_.size() + 1);
    for (std::size_t i = 0; i < ordered_.size(); ++i)
        ordered_[i]->place = (i + 1) * step;
}

PinyinOrder::Seen& PinyinOrder::seen(QByteArrayView utf8)
{
    const std::string_view bytes(utf8.data(), static_cast<std::size_t>(utf8.size()));
    std::uint32_t h = 2166136261u;
    for (const char c : bytes)
        h = (h ^ static_cast<unsigned char>(c)) * 16777619u;
    Seen*& slot = recent_[h & 0xFF];
    if (slot && slot->bytes == bytes)
        return *slot;
    if (auto it = index_.find(bytes); it != index_.end())
        return *(slot = it->second);
    if (seen_.size() >= kMaxSeen)
        forget();
    Seen* s = &seen_.emplace_back(Seen{std::string(bytes), collator_.sortKey(QString::fromUtf8(utf8)), 0});
    const auto at = std::lower_bound(ordered_.begin(), ordered_.end(), s,
                                     [this](const Seen* x, const Seen* y) { return before(*x, *y); });
    const std::uint64_t low = at == ordered_.begin() ? 0 : (*(at - 1))->place;
    const std::uint64_t high = at == ordered_.end() ? UINT64_MAX : (*at)->place;
    ordered_.insert(at, s);
    if (high - low >= 2)
        s->place = low + (high - low) / 2;
    else
        spaceOut();
    index_.emplace(std::string_view(s->bytes), s);
    return *(recent_[h & 0xFF] = s);
}

int PinyinOrder::compare(QByteArrayView a, QByteArrayView b)
{
    if (a.size() == b.size() && (a.isEmpty() || std::memcmp(a.data(), b.data(), static_cast<std::size_t>(a.size())) == 0))
        return 0;
    const unsigned generation = generation_;
    const Seen* sa = &seen(a);
    const Seen* sb = &seen(b);
    if (generation_ != generation)
        sa = &seen(a);  // forgotten to make room for b
    return sa->place < sb->place ? -1 : 1;
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
