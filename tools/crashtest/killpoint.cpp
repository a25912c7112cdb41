#include "killpoint.h"

#include <csignal>
#include <cstring>
#include <sqlite3.h>

namespace {

// SQLite's default file system with every file it opens wrapped: each operation that changes what is
// on the disk (a write, a truncation, a flush, a deletion) is counted, and the process is killed just
// before the chosen one.
class CountingVfs {
public:
    static void install(long killBefore)
    {
        killBefore_ = killBefore;
        if (base_)
            return;
        base_ = sqlite3_vfs_find(nullptr);
        vfs_ = *base_;
        vfs_.zName = "kinbook-killpoint";
        vfs_.szOsFile = static_cast<int>(sizeof(File)) + base_->szOsFile;
        vfs_.pNext = nullptr;
        vfs_.xOpen = &open;
        vfs_.xDelete = &remove;
        sqlite3_vfs_register(&vfs_, 1);
    }
    static long count() { return count_; }

private:
    struct File {
        sqlite3_file base;
        sqlite3_file* real() { return reinterpret_cast<sqlite3_file*>(this + 1); }
    };
    static sqlite3_file* real(sqlite3_file* f) { return reinterpret_cast<File*>(f)->real(); }

    // One more operation that changes the disk: the chosen one is never made.
    static void step()
    {
        if (++count_ == killBefore_)
            std::raise(SIGKILL);
    }

    static int open(sqlite3_vfs*, sqlite3_filename name, sqlite3_file* f, int flags, int* outFlags)
    {
        File* file = reinterpret_cast<File*>(f);
        std::memset(file->real(), 0, static_cast<std::size_t>(base_->szOsFile));
        const int rc = base_->xOpen(base_, name, file->real(), flags, outFlags);
        file->base.pMethods = file->real()->pMethods ? &io_ : nullptr;
        return rc;
    }
    static int remove(sqlite3_vfs*, const char* name, int syncDir)
    {
        step();
        return base_->xDelete(base_, name, syncDir);
    }
    static int write(sqlite3_file* f, const void* data, int amount, sqlite3_int64 offset)
    {
        step();
        return real(f)->pMethods->xWrite(real(f), data, amount, offset);
    }
    static int truncate(sqlite3_file* f, sqlite3_int64 size)
    {
        step();
        return real(f)->pMethods->xTruncate(real(f), size);
    }
    static int sync(sqlite3_file* f, int flags)
    {
        step();
        return real(f)->pMethods->xSync(real(f), flags);
    }
#define KINBOOK_FORWARD(name, params, args) \
    static int name params { return real(f)->pMethods->name args; }
    KINBOOK_FORWARD(xClose, (sqlite3_file * f), (real(f)))
    KINBOOK_FORWARD(xRead, (sqlite3_file * f, void* d, int n, sqlite3_int64 o), (real(f), d, n, o))
    KINBOOK_FORWARD(xFileSize, (sqlite3_file * f, sqlite3_int64 * s), (real(f), s))
    KINBOOK_FORWARD(xLock, (sqlite3_file * f, int l), (real(f), l))
    KINBOOK_FORWARD(xUnlock, (sqlite3_file * f, int l), (real(f), l))
    KINBOOK_FORWARD(xCheckReservedLock, (sqlite3_file * f, int* r), (real(f), r))
    KINBOOK_FORWARD(xFileControl, (sqlite3_file * f, int op, void* a), (real(f), op, a))
    KINBOOK_FORWARD(xSectorSize, (sqlite3_file * f), (real(f)))
    KINBOOK_FORWARD(xDeviceCharacteristics, (sqlite3_file * f), (real(f)))
#undef KINBOOK_FORWARD

    // Version 1: no shared memory and no memory mapping, which the rollback journal does not need.
    static inline const sqlite3_io_methods io_ = {
        1,       &xClose, &xRead,   &write,   &truncate, &sync,    &xFileSize, &xLock,  &xUnlock, &xCheckReservedLock,
        &xFileControl, &xSectorSize, &xDeviceCharacteristics, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};
    static inline sqlite3_vfs* base_ = nullptr;
    static inline sqlite3_vfs vfs_{};
    static inline long killBefore_ = 0;
    static inline long count_ = 0;
};

}  // namespace

namespace KillPoint {

void install(long killBefore)
{
    CountingVfs::install(killBefore);
}

long operations()
{
    return CountingVfs::count();
}

}  // namespace KillPoint
