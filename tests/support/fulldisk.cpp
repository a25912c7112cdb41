#include "fulldisk.h"

#include <atomic>
#include <sqlite3.h>

namespace {

// SQLite's own file system, with the write of every file it opens replaced by one that fails while
// the disk is "full".
std::atomic<bool> g_full{false};
sqlite3_vfs* g_real = nullptr;
sqlite3_vfs g_vfs;
const sqlite3_io_methods* g_realMethods = nullptr;
sqlite3_io_methods g_methods;

int xWrite(sqlite3_file* f, const void* data, int n, sqlite3_int64 offset)
{
    return g_full ? SQLITE_FULL : g_realMethods->xWrite(f, data, n, offset);
}

int xOpen(sqlite3_vfs*, sqlite3_filename name, sqlite3_file* f, int flags, int* outFlags)
{
    const int rc = g_real->xOpen(g_real, name, f, flags, outFlags);
    if (f->pMethods && !g_realMethods) {
        g_realMethods = f->pMethods;
        g_methods = *g_realMethods;
        g_methods.xWrite = xWrite;
    }
    if (f->pMethods == g_realMethods)
        f->pMethods = &g_methods;
    return rc;
}

}  // namespace

FullDisk::FullDisk()
{
    if (!g_real) {
        g_real = sqlite3_vfs_find(nullptr);
        g_vfs = *g_real;
        g_vfs.zName = "kinbook-full-disk";
        g_vfs.xOpen = xOpen;
        g_vfs.pNext = nullptr;
        sqlite3_vfs_register(&g_vfs, 1);
    }
    g_full = true;
}

FullDisk::~FullDisk()
{
    g_full = false;
}
