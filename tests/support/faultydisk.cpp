#include "faultydisk.h"

#include <csignal>
#include <cstring>
#include <sqlite3.h>

namespace {

// SQLite's default file system, every file it opens wrapped so that its writes fail while armed.
class FaultyVfs {
public:
    static void install()
    {
        if (base_)
            return;
        base_ = sqlite3_vfs_find(nullptr);
        vfs_ = *base_;
        vfs_.zName = "kinbook-faulty";
        vfs_.szOsFile = static_cast<int>(sizeof(File)) + base_->szOsFile;
        vfs_.pNext = nullptr;
        vfs_.xOpen = &open;
        sqlite3_vfs_register(&vfs_, 1);
    }
    static void arm(int goodWrites, int code)
    {
        goodWrites_ = goodWrites;
        code_ = code;
        armed_ = true;
        failed_ = 0;
    }
    static void disarm() { armed_ = false; }
    static int failedWrites() { return failed_; }

private:
    struct File {
        sqlite3_file base;
        sqlite3_file* real() { return reinterpret_cast<sqlite3_file*>(this + 1); }
    };
    static File* self(sqlite3_file* f) { return reinterpret_cast<File*>(f); }

    static int open(sqlite3_vfs*, sqlite3_filename name, sqlite3_file* f, int flags, int* outFlags)
    {
        File* file = self(f);
        std::memset(file->real(), 0, static_cast<std::size_t>(base_->szOsFile));
        const int rc = base_->xOpen(base_, name, file->real(), flags, outFlags);
        file->base.pMethods = file->real()->pMethods ? &io_ : nullptr;
        return rc;
    }
    static int write(sqlite3_file* f, const void* data, int amount, sqlite3_int64 offset)
    {
        if (armed_ && goodWrites_-- <= 0) {
            ++failed_;
            return code_;
        }
        return self(f)->real()->pMethods->xWrite(self(f)->real(), data, amount, offset);
    }
#define KINBOOK_FORWARD(name, params, args) \
    static int name params { return self(f)->real()->pMethods->name args; }
    KINBOOK_FORWARD(xClose, (sqlite3_file * f), (self(f)->real()))
    KINBOOK_FORWARD(xRead, (sqlite3_file * f, void* d, int n, sqlite3_int64 o), (self(f)->real(), d, n, o))
    KINBOOK_FORWARD(xTruncate, (sqlite3_file * f, sqlite3_int64 s), (self(f)->real(), s))
    KINBOOK_FORWARD(xSync, (sqlite3_file * f, int flags), (self(f)->real(), flags))
    KINBOOK_FORWARD(xFileSize, (sqlite3_file * f, sqlite3_int64 * s), (self(f)->real(), s))
    KINBOOK_FORWARD(xLock, (sqlite3_file * f, int l), (self(f)->real(), l))
    KINBOOK_FORWARD(xUnlock, (sqlite3_file * f, int l), (self(f)->real(), l))
    KINBOOK_FORWARD(xCheckReservedLock, (sqlite3_file * f, int* r), (self(f)->real(), r))
    KINBOOK_FORWARD(xFileControl, (sqlite3_file * f, int op, void* a), (self(f)->real(), op, a))
    KINBOOK_FORWARD(xSectorSize, (sqlite3_file * f), (self(f)->real()))
    KINBOOK_FORWARD(xDeviceCharacteristics, (sqlite3_file * f), (self(f)->real()))
#undef KINBOOK_FORWARD

    // Version 1: no shared memory and no memory mapping, which the rollback journal does not need.
    static inline const sqlite3_io_methods io_ = {
        1,       &xClose, &xRead,   &write,   &xTruncate, &xSync,   &xFileSize, &xLock,  &xUnlock, &xCheckReservedLock,
        &xFileControl, &xSectorSize, &xDeviceCharacteristics, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};
    static inline sqlite3_vfs* base_ = nullptr;
    static inline sqlite3_vfs vfs_{};
    static inline bool armed_ = false;
    static inline int goodWrites_ = 0;
    static inline int code_ = SQLITE_FULL;
    static inline int failed_ = 0;
};

}  // namespace

namespace FaultyDisk {

void install()
{
    FaultyVfs::install();
}

void arm(int goodWrites, int code)
{
    FaultyVfs::install();
    FaultyVfs::arm(goodWrites, code);
}

void disarm()
{
    FaultyVfs::disarm();
}

int failedWrites()
{
    return FaultyVfs::failedWrites();
}

}  // namespace FaultyDisk

FullDisk::FullDisk()
{
    FaultyDisk::arm(0, SQLITE_FULL);
}

FullDisk::~FullDisk()
{
    FaultyDisk::disarm();
}

FileSizeLimit::FileSizeLimit(rlim_t bytes)
{
    getrlimit(RLIMIT_FSIZE, &old_);
    oldSignal_ = std::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{bytes, old_.rlim_max};
    setrlimit(RLIMIT_FSIZE, &limit);
}

FileSizeLimit::~FileSizeLimit()
{
    setrlimit(RLIMIT_FSIZE, &old_);
    std::signal(SIGXFSZ, oldSignal_);
}
