#include "diskwrites.h"

#include <cerrno>
#include <cstdio>
#include <random>
#include <utility>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace DiskWrites {

namespace {

Observer* g_observer = nullptr;

constexpr std::string_view kPartSuffix = ".part";
constexpr std::size_t kRandomLetters = 6;

std::error_code lastError()
{
    return std::error_code(errno, std::generic_category());
}

Path folderOf(const Path& file)
{
    const Path parent = file.parent_path();
    return parent.empty() ? Path(".") : parent;
}

#ifdef _WIN32
int openForWriting(const Path& path, unsigned mode)
{
    return _wopen(path.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, mode & 0600 ? (_S_IREAD | _S_IWRITE) : _S_IREAD);
}
int closeFile(int fd) { return _close(fd); }
long long writeSome(int fd, const char* data, std::size_t size)
{
    return _write(fd, data, static_cast<unsigned>(size > 0x40000000u ? 0x40000000u : size));
}
#else
int openForWriting(const Path& path, unsigned mode)
{
    int fd;
    do
        fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, static_cast<mode_t>(mode));
    while (fd < 0 && errno == EINTR);
    return fd;
}
int closeFile(int fd) { return ::close(fd); }
long long writeSome(int fd, const char* data, std::size_t size) { return ::write(fd, data, size); }
#endif

// A file of that name, made for writing; its descriptor, or -1 with `ec` set.
int createFile(const Path& target, unsigned mode, Path& made, std::error_code& ec)
{
    static constexpr char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    thread_local std::mt19937 random{std::random_device{}()};
    std::uniform_int_distribution<std::size_t> pick(0, sizeof(kLetters) - 2);
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = "." + target.filename().string() + ".";
        for (std::size_t i = 0; i < kRandomLetters; ++i)
            name += kLetters[pick(random)];
        name += kPartSuffix;
        const Path path = folderOf(target) / name;
        const int fd = openForWriting(path, mode);
        if (fd >= 0) {
            made = path;
            ec.clear();
            if (g_observer)
                g_observer->created(path);
            return fd;
        }
        if (errno != EEXIST) {
            ec = lastError();
            return -1;
        }
    }
    ec = std::make_error_code(std::errc::file_exists);
    return -1;
}

}  // namespace

void setObserver(Observer* observer)
{
    g_observer = observer;
}

std::error_code flushFile(const Path& file)
{
#ifdef _WIN32
    const int fd = _wopen(file.c_str(), _O_RDWR | _O_BINARY);
    if (fd < 0)
        return lastError();
    const int rc = _commit(fd);
    const std::error_code ec = rc == 0 ? std::error_code() : lastError();
    _close(fd);
#else
    int fd;
    do
        fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return lastError();
#ifdef __APPLE__
    // fsync leaves the bytes in the drive's cache on macOS; F_FULLFSYNC asks the drive to write them.
    int rc = ::fcntl(fd, F_FULLFSYNC);
    if (rc != 0)
        rc = ::fsync(fd);
#elif defined(__linux__)
    // The bytes and what it takes to read them (the size): all that a file put in place needs.
    const int rc = ::fdatasync(fd);
#else
    const int rc = ::fsync(fd);
#endif
    const std::error_code ec = rc == 0 ? std::error_code() : lastError();
    ::close(fd);
#endif
    if (!ec && g_observer)
        g_observer->flushed(file);
    return ec;
}

std::error_code flushFolder(const Path& folder)
{
#ifndef _WIN32
    // (Windows keeps a folder's names with the files' own metadata: there is nothing to flush.)
    int fd;
    do
        fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return lastError();
    const int rc = ::fsync(fd);
    const int error = errno;
    ::close(fd);
    if (rc != 0 && error != EINVAL && error != ENOTSUP && error != EROFS)
        return std::error_code(error, std::generic_category());
#endif
    if (g_observer)
        g_observer->flushedFolder(folder);
    return {};
}

namespace {

// Renames `temporary` to `target` unless a file is there already (std::errc::file_exists).
std::error_code renameNoReplace(const Path& temporary, const Path& target)
{
#ifdef __linux__
    if (::renameat2(AT_FDCWD, temporary.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0)
        return {};
    // A file system that cannot rename so (some network and FUSE ones) is asked the plain way below.
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP)
        return lastError();
#endif
    // The names a file is put in place under this way are the program's own in that folder (one
    // computer's changesets, written by it alone): nobody else makes one between these two steps.
    std::error_code ec;
    if (std::filesystem::exists(target, ec) || ec)
        return ec ? ec : std::make_error_code(std::errc::file_exists);
    std::filesystem::rename(temporary, target, ec);
    return ec;
}

std::error_code placeAs(const Path& temporary, const Path& target, bool replace)
{
#ifndef _WIN32
    // A file put in place of another keeps what that one allowed (main.mdb restored stays 0644).
    struct stat existing;
    if (replace && ::stat(target.c_str(), &existing) == 0)
        ::chmod(temporary.c_str(), existing.st_mode & 07777);
#endif
    if (const std::error_code ec = flushFile(temporary))
        return ec;
    std::error_code ec;
    if (replace)
        std::filesystem::rename(temporary, target, ec);
    else
        ec = renameNoReplace(temporary, target);
    if (ec)
        return ec;
    if (g_observer)
        g_observer->renamed(temporary, target);
    if ((ec = flushFolder(folderOf(target))))
        return ec;
    if (folderOf(temporary) != folderOf(target))
        ec = flushFolder(folderOf(temporary));
    return ec;
}

}  // namespace

std::error_code place(const Path& temporary, const Path& target)
{
    return placeAs(temporary, target, true);
}

std::error_code placeNew(const Path& temporary, const Path& target)
{
    return placeAs(temporary, target, false);
}

std::error_code makeFolders(const Path& folder)
{
    std::error_code ec;
    if (std::filesystem::is_directory(folder, ec))
        return {};
    const Path parent = folderOf(folder);
    if (parent != folder && !parent.empty() && folder.has_relative_path())
        if ((ec = makeFolders(parent)))
            return ec;
    if (!std::filesystem::create_directory(folder, ec)) {
        if (ec)
            return ec;
        return std::filesystem::is_directory(folder, ec) ? std::error_code() : std::make_error_code(std::errc::not_a_directory);
    }
    if (g_observer)
        g_observer->madeFolder(folder);
    return flushFolder(parent);
}

bool remove(const Path& file)
{
    std::error_code ec;
    const bool removed = std::filesystem::remove(file, ec);
    if (removed && g_observer)
        g_observer->removed(file);
    return removed || !std::filesystem::exists(file, ec);
}

Path createBeside(const Path& target, unsigned mode, std::error_code& ec)
{
    Path made;
    const int fd = createFile(target, mode, made, ec);
    if (fd >= 0)
        closeFile(fd);
    return made;
}

bool isTemporaryFor(std::string_view fileName, std::string_view targetName)
{
    const std::size_t length = 1 + targetName.size() + 1 + kRandomLetters + kPartSuffix.size();
    if (fileName.size() != length || fileName[0] != '.' || fileName.substr(1, targetName.size()) != targetName
        || fileName[1 + targetName.size()] != '.' || fileName.substr(length - kPartSuffix.size()) != kPartSuffix)
        return false;
    for (const char c : fileName.substr(2 + targetName.size(), kRandomLetters))
        if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')))
            return false;
    return true;
}

Writer::Writer(Path target) : target_(std::move(target)) {}

Writer::~Writer()
{
    if (!committed_)
        discard();
}

std::error_code Writer::open()
{
    std::error_code ec;
    // As a new file is made (less the umask); replacing one, it takes that one's permissions.
    fd_ = createFile(target_, 0666, temporary_, ec);
    return ec;
}

std::error_code Writer::write(const char* data, std::size_t size)
{
    if (fd_ < 0)
        return std::make_error_code(std::errc::bad_file_descriptor);
    const std::int64_t at = written_;
    std::size_t done = 0;
    while (done < size) {
        const long long n = writeSome(fd_, data + done, size - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return lastError();
        }
        if (n == 0)
            return std::make_error_code(std::errc::no_space_on_device);
        done += static_cast<std::size_t>(n);
    }
    written_ += static_cast<std::int64_t>(size);
    if (g_observer)
        g_observer->wrote(temporary_, at, std::string_view(data, size));
    return {};
}

std::error_code Writer::commit()
{
    return finish(true);
}

std::error_code Writer::commitNew()
{
    return finish(false);
}

std::error_code Writer::finish(bool replace)
{
    if (fd_ < 0)
        return std::make_error_code(std::errc::bad_file_descriptor);
    // A close can report a write that failed late (a full disk on some file systems).
    const int rc = closeFile(std::exchange(fd_, -1));
    std::error_code ec = rc == 0 ? std::error_code() : lastError();
    if (!ec)
        ec = placeAs(temporary_, target_, replace);
    if (ec) {
        discard();
        return ec;
    }
    committed_ = true;
    return {};
}

void Writer::discard()
{
    if (fd_ >= 0)
        closeFile(std::exchange(fd_, -1));
    if (!temporary_.empty())
        DiskWrites::remove(std::exchange(temporary_, Path()));
}

std::error_code writeWhole(const Path& target, std::string_view bytes)
{
    Writer writer(target);
    std::error_code ec = writer.open();
    if (!ec)
        ec = writer.write(bytes.data(), bytes.size());
    if (!ec)
        ec = writer.commit();
    return ec;
}

std::error_code writeNew(const Path& target, std::string_view bytes)
{
    Writer writer(target);
    std::error_code ec = writer.open();
    if (!ec)
        ec = writer.write(bytes.data(), bytes.size());
    if (!ec)
        ec = writer.commitNew();
    return ec;
}

std::error_code settle(const Path& file)
{
    if (const std::error_code ec = flushFile(file))
        return ec;
    return flushFolder(folderOf(file));
}

}  // namespace DiskWrites
