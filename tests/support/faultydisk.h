#pragma once

#include <QStringList>
#include <functional>
#include <sys/resource.h>

// SQLite's own file system with its writes made to fail, as on a full disk or a failing device.
// Reads go on working; files written without SQLite are not affected.
namespace FaultyDisk {

// Makes the faulty file system SQLite's default (once; it passes every write through until armed).
// Files opened before it is installed are not affected.
void install();
// From the write after `goodWrites` on, every write SQLite makes fails with `code` (an SQLite result
// code such as SQLITE_FULL or SQLITE_IOERR_WRITE) until disarm().
void arm(int goodWrites, int code);
void disarm();
// The writes refused since the last arm().
int failedWrites();
// Calls `hook` with the file's name just before the next write SQLite makes (once).
void beforeFirstWrite(std::function<void(const QString&)> hook);
// The files SQLite closed, since the last call, with writes it had not flushed to the disk after
// them: what a power cut could leave half written.
QStringList closedUnflushed();

}  // namespace FaultyDisk

// While an instance lives, every write fails as on a full disk.
class FullDisk {
public:
    FullDisk();
    ~FullDisk();
    FullDisk(const FullDisk&) = delete;
    FullDisk& operator=(const FullDisk&) = delete;
};

// While an instance lives, no file grows beyond `bytes`: a write past that fails as on a full disk,
// for files written without SQLite too.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes);
    ~FileSizeLimit();
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit old_{};
    void (*oldSignal_)(int) = nullptr;
};
