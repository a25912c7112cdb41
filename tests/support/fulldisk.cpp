#include "fulldisk.h"

#include <atomic>
#include <sqlite3.h>

namespace {

// A file system over SQLite's own that forwards everything, and fails writes while the disk is full.
std::atomic<bool> g_full{false};
sqlite3_vfs* g_real = nullptr;
sqlite3_vfs g_vfs;

struct File {
    sqlite3_file base;
    sqlite3_file* real;  // the real file's state follows this struct
};

sqlite3_file* real(sqlite3_file* f)
{
    return reinterpret_cast<File*>(f)->real;
}

int xClose(sqlite3_file* f) { return real(f)->pMethods->xClose(real(f)); }
int xRead(sqlite3_file* f, void* b, int n, sqlite3_int64 o) { return real(f)->pMethods->xRead(real(f), b, n, o); }
int xWrite(sqlite3_file* f, const void* b, int n, sqlite3_int64 o)
{
    return g_full ? SQLITE_FULL : real(f)->pMethods->xWrite(real(f), b, n, o);
}
int xTruncate(sqlite3_file* f, sqlite3_int64 s) { return real(f)->pMethods->xTruncate(real(f), s); }
int xSync(sqlite3_file* f, int flags) { return real(f)->pMethods->xSync(real(f), flags); }
int xFileSize(sqlite3_file* f, sqlite3_int64* s) { return real(f)->pMethods->xFileSize(real(f), s); }
int xLock(sqlite3_file* f, int l) { return real(f)->pMethods->xLock(real(f), l); }
int xUnlock(sqlite3_file* f, int l) { return real(f)->pMethods->xUnlock(real(f), l); }
int xCheckReservedLock(sqlite3_file* f, int* r) { return real(f)->pMethods->xCheckReservedLock(real(f), r); }
int xFileControl(sqlite3_file* f, int op, void* a) { return real(f)->pMethods->xFileControl(real(f), op, a); }
int xSectorSize(sqlite3_file* f) { return real(f)->pMethods->xSectorSize(real(f)); }
int xDeviceCharacteristics(sqlite3_file* f) { return real(f)->pMethods->xDeviceCharacteristics(real(f)); }

// Version 1 of the methods: no shared memory (no WAL) and no memory mapping, which the program uses neither.
const sqlite3_io_methods kMethods = {1, xClose, xRead, xWrite, xTruncate, xSync, xFileSize, xLock, xUnlock,
                                     xCheckReservedLock, xFileControl, xSectorSize, xDeviceCharacteristics,
                                     nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};

int xOpen(sqlite3_vfs*, sqlite3_filename name, sqlite3_file* f, int flags, int* outFlags)
{
    auto* file = reinterpret_cast<File*>(f);
    file->real = reinterpret_cast<sqlite3_file*>(file + 1);
    const int rc = g_real->xOpen(g_real, name, file->real, flags, outFlags);
    file->base.pMethods = file->real->pMethods ? &kMethods : nullptr;
    return rc;
}

void install()
{
    if (g_real)
        return;
    g_real = sqlite3_vfs_find(nullptr);
    g_vfs = *g_real;
    g_vfs.iVersion = 3;
    g_vfs.zName = "kinbook-full-disk";
    g_vfs.szOsFile = static_cast<int>(sizeof(File)) + g_real->szOsFile;
    g_vfs.xOpen = xOpen;
    g_vfs.pNext = nullptr;
    sqlite3_vfs_register(&g_vfs, 1);
}

}  // namespace

FullDisk::FullDisk()
{
    install();
    g_full = true;
}

FullDisk::~FullDisk()
{
    g_full = false;
}
