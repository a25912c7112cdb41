#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>

// The program's own files (copies of main.mdb, the first start's empty file, exports, settings) and
// the one way each is put in its place so that a power cut cannot take it back or leave half of it:
// written under a temporary name beside its target, its bytes flushed to the disk, renamed over the
// target, and the folder flushed, so that the new name is on the disk too. main.mdb's own writes are
// SQLite's business (its journal, and the synchronous setting of every connection).
//
// Plain C++ over the system's calls: the build's maker of the empty file uses it too.
namespace DiskWrites {

using Path = std::filesystem::path;

// Each step, told once it is done, to whoever rebuilds what a power cut at any moment could have
// left (the power-loss test). Nobody listens unless one is set.
class Observer {
public:
    virtual ~Observer() = default;
    virtual void created(const Path& file) = 0;
    virtual void wrote(const Path& file, std::int64_t offset, std::string_view bytes) = 0;
    // The file's bytes, as they are now, are on the disk.
    virtual void flushed(const Path& file) = 0;
    virtual void renamed(const Path& from, const Path& to) = 0;
    virtual void removed(const Path& file) = 0;
    virtual void madeFolder(const Path& folder) = 0;
    // The names made, renamed and removed in the folder so far are on the disk.
    virtual void flushedFolder(const Path& folder) = 0;
};
void setObserver(Observer* observer);  // not owned; null: nobody

// The file's bytes to the disk.
std::error_code flushFile(const Path& file);
// The folder's names to the disk. A file system that cannot flush a folder (some network ones) is
// taken at its word.
std::error_code flushFolder(const Path& folder);

// Puts a finished file in place: `temporary` flushed, renamed to `target` (replacing it and taking
// its permissions), and the target's folder flushed (and the temporary's, if another). On an error
// the temporary is left where it is, for the caller to remove.
std::error_code place(const Path& temporary, const Path& target);

// As place, for a file that is written once and never again: a file already at `target` is kept
// and std::errc::file_exists returned, the temporary left for the caller to remove.
std::error_code placeNew(const Path& temporary, const Path& target);

// Makes the folder and those above it that are missing, each one's parent flushed, so that a new
// folder and what is put in it cannot vanish together.
std::error_code makeFolders(const Path& folder);

// Removes a file; true when it is gone. The folder is not flushed: a file that comes back after a
// power cut is one that was to be removed anyway.
bool remove(const Path& file);

// A new empty file beside `target` for writing it, hidden and named for it:
// ".<name>.XXXXXX.part" (six letters or digits), made with the permissions `mode` (less the umask).
Path createBeside(const Path& target, unsigned mode, std::error_code& ec);
// Whether `fileName` is a name that createBeside makes for a target named `targetName`.
bool isTemporaryFor(std::string_view fileName, std::string_view targetName);

// A file written piece by piece beside its target and put in its place whole by commit(); one not
// committed is removed. A target already there keeps its bytes until the commit.
class Writer {
public:
    explicit Writer(Path target);
    ~Writer();
    Writer(const Writer&) = delete;
    Writer& operator=(const Writer&) = delete;

    std::error_code open();
    std::error_code write(const char* data, std::size_t size);
    std::error_code commit();
    // As commit, by placeNew: a target already there is kept (std::errc::file_exists) and what was
    // written removed.
    std::error_code commitNew();
    // Removes what was written; the target stays as it was.
    void discard();

private:
    std::error_code finish(bool replace);

    Path target_, temporary_;
    int fd_ = -1;
    std::int64_t written_ = 0;
    bool committed_ = false;
};

// Writes `bytes` as `target` through a Writer.
std::error_code writeWhole(const Path& target, std::string_view bytes);
// The same for a file never written again: one already at `target` is kept (std::errc::file_exists).
std::error_code writeNew(const Path& target, std::string_view bytes);

// A file that another writer (Qt's settings) has put under its name: its bytes and its folder
// flushed.
std::error_code settle(const Path& file);

}  // namespace DiskWrites
