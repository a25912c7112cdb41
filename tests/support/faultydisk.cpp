#include "faultydisk.h"

#include <csignal>
#include <cstring>
#include <utility>
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
    static void beforeWrite(std::function<void(const QString&)> hook) { hook_ = std::move(hook); }
    static QStringList closedUnflushed() { return std::exchange(unflushed_, {}); }

private:
    struct File {
        sqlite3_file base;
        const char* name;
        bool unflushed;
        sqlite3_file* real() { return reinterpret_cast<sqlite3_file*>(this + 1); }
    };
    static File* self(sqlite3_file* f) { return reinterpret_cast<File*>(f); }

    static int open(sqlite3_vfs*, sqlite3_filename name, sqlite3_file* f, int flags, int* outFlags)
    {
        File* file = self(f);
        file->name = name;
        file->unflushed = false;
        std::memset(file->real(), 0, static_cast<std::size_t>(base_->szOsFile));
        const int rc = base_->xOpen(base_, name, file->real(), flags, outFlags);
        file->base.pMethods = file->real()->pMethods ? &io_ : nullptr;
        return rc;
    }
    static int write(sqlite3_file* f, const void* data, int amount, sqlite3_int64 offset)
    {
        if (hook_) {
            // Once: what the hook does may write too.
            const auto hook = std::exchange(hook_, nullptr);
            hook(QString::fromUtf8(self(f)->name ? self(f)->name : ""));
        }
        if (armed_ && goodWrites_-- <= 0) {
            ++failed_;
            return code_;
        }
        self(f)->unflushed = true;
        return self(f)->real()->pMethods->xWrite(self(f)->real(), data, amount, offset);
    }
    static int truncate(sqlite3_file* f, sqlite3_int64 size)
    {
        self(f)->unflushed = true;
        return self(f)->real()->pMethods->xTruncate(self(f)->real(), size);
    }
    static int sync(sqlite3_file* f, int flags)
    {
        const int rc = self(f)->real()->pMethods->xSync(self(f)->real(), flags);
        if (rc == SQLITE_OK)
            self(f)->unflushed = false;
        return rc;
    }
    static int close(sqlite3_file* f)
    {
        if (self(f)->unflushed && self(f)->name)
            unflushed_ << QString::fromUtf8(self(f)->name);
        return self(f)->real()->pMethods->xClose(self(f)->real());
    }
#define KINBOOK_FORWARD(name, params, args) \
    static int name params { return self(f)->real()->pMethods->name args; }
    KINBOOK_FORWARD(xRead, (sqlite3_file * f, void* d, int n, sqlite3_int64 o), (self(f)->real(), d, n, o))
    KINBOOK_FORWARD(xFileSize, (sqlite3_file * f, sqlite3_int64 * s), (self(f)->real(), s))
    KINBOOK_FORWARD(xLock, (sqlite3_file * f, int l), (self(f)->real(), l))
    KINBOOK_FORWARD(xUnlock, (sqlite3_file * f, int l), (self(f)->real(), l))
    KINBOOK_FORWARD(xCheckReservedLock, (sqlite3_file * f, int* r), (self(f)->real(), r))
    KINBOOK_FORWARD(xFileControl, (sqlite3_file * f, int op, void* a), (self(f)->real(), op, a))
    KINBOOK_FORWARD(xSectorSize, (sqlite3_file * f), (self(f)->real()))
    KINBOOK_FORWARD(xDeviceCharacteristics, (sqlite3_file * f), (self(f)->real()))
    KINBOOK_FORWARD(xShmMap, (sqlite3_file * f, int i, int n, int w, void volatile** p), (self(f)->real(), i, n, w, p))
    KINBOOK_FORWARD(xShmLock, (sqlite3_file * f, int o, int n, int fl), (self(f)->real(), o, n, fl))
    KINBOOK_FORWARD(xShmUnmap, (sqlite3_file * f, int d), (self(f)->real(), d))
    KINBOOK_FORWARD(xFetch, (sqlite3_file * f, sqlite3_int64 o, int n, void** p), (self(f)->real(), o, n, p))
    KINBOOK_FORWARD(xUnfetch, (sqlite3_file * f, sqlite3_int64 o, void* p), (self(f)->real(), o, p))
#undef KINBOOK_FORWARD
    static void xShmBarrier(sqlite3_file* f) { self(f)->real()->pMethods->xShmBarrier(self(f)->real()); }

    // With the shared memory of WAL files (the writes of a WAL file pass by write() all the same).
    static inline const sqlite3_io_methods io_ = {
        3,       &close,  &xRead,   &write,   &truncate,  &sync,    &xFileSize, &xLock,  &xUnlock, &xCheckReservedLock,
        &xFileControl, &xSectorSize, &xDeviceCharacteristics, &xShmMap, &xShmLock, &xShmBarrier, &xShmUnmap, &xFetch, &xUnfetch};
    static inline sqlite3_vfs* base_ = nullptr;
    static inline sqlite3_vfs vfs_{};
    static inline bool armed_ = false;
    static inline int goodWrites_ = 0;
    static inline int code_ = SQLITE_FULL;
    static inline int failed_ = 0;
    static inline std::function<void(const QString&)> hook_;
    static inline QStringList unflushed_;
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

void beforeFirstWrite(std::function<void(const QString&)> hook)
{
    FaultyVfs::install();
    FaultyVfs::beforeWrite(std::move(hook));
}

QStringList closedUnflushed()
{
    return FaultyVfs::closedUnflushed();
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
