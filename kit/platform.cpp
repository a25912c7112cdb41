#include "platform.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {
QString g_folder;
Platform::Starter g_starter = nullptr;

bool realStart(const QString& program, const QStringList& args)
{
    return QProcess::startDetached(program, args);
}
}  // namespace

namespace Platform {

QString programFolder()
{
    QString f = g_folder.isEmpty() ? QCoreApplication::applicationDirPath() : g_folder;
    while (f.size() > 1 && (f.endsWith(u'/') || f.endsWith(u'\\')))
        f.chop(1);
    return f;
}

void setProgramFolder(const QString& folder)
{
    g_folder = folder;
}

bool fileExists(const QString& path)
{
    return QFileInfo(path).isFile();
}

bool startProgram(const QString& program, const QStringList& args)
{
    return (g_starter ? g_starter : realStart)(program, args);
}

void setStarter(Starter starter)
{
    g_starter = starter;
}

QString findOnPath(const QString& name)
{
    return QStandardPaths::findExecutable(name);
}

#ifdef Q_OS_WIN

FileLock::Result FileLock::tryLock(const QString& path)
{
    unlock();
    HANDLE h = CreateFileW(reinterpret_cast<LPCWSTR>(path.utf16()), GENERIC_READ | GENERIC_WRITE,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return Failed;
    OVERLAPPED at = {};
    if (!LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at)) {
        const DWORD err = GetLastError();
        CloseHandle(h);
        return err == ERROR_LOCK_VIOLATION ? HeldElsewhere : Failed;
    }
    handle_ = h;
    path_ = path;
    return Acquired;
}

void FileLock::unlock()
{
    if (!handle_)
        return;
    // The file stays: Windows could not remove it while a starting copy has it open anyway, and an
    // unlocked file blocks no one.
    OVERLAPPED at = {};
    UnlockFileEx(static_cast<HANDLE>(handle_), 0, 1, 0, &at);
    CloseHandle(static_cast<HANDLE>(handle_));
    handle_ = nullptr;
}

bool FileLock::isLocked() const
{
    return handle_ != nullptr;
}

#else

FileLock::Result FileLock::tryLock(const QString& path)
{
    unlock();
    const QByteArray name = QFile::encodeName(path);
    // The holder before may remove the file between our opening it and our lock: the lock is then
    // on a file no one else will open, and the one now at the path is tried again.
    for (int attempt = 0; attempt < 16; ++attempt) {
        const int fd = ::open(name.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        if (fd < 0)
            return Failed;
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            const int err = errno;
            ::close(fd);
            return err == EWOULDBLOCK ? HeldElsewhere : Failed;
        }
        struct stat held {}, there {};
        if (::fstat(fd, &held) == 0 && ::stat(name.constData(), &there) == 0 && held.st_dev == there.st_dev
            && held.st_ino == there.st_ino) {
            fd_ = fd;
            path_ = path;
            return Acquired;
        }
        ::close(fd);
    }
    return Failed;
}

void FileLock::unlock()
{
    if (fd_ < 0)
        return;
    // Removed while still held, so that whoever opens the path next makes a fresh file.
    ::unlink(QFile::encodeName(path_).constData());
    ::close(fd_);
    fd_ = -1;
}

bool FileLock::isLocked() const
{
    return fd_ >= 0;
}

#endif

#ifdef Q_OS_WIN
bool readMachineRegistryString(const QString& keyName, const QString& valueName, QString& value)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, reinterpret_cast<LPCWSTR>(keyName.utf16()), 0, KEY_READ, &key) != ERROR_SUCCESS) {
        value.clear();
        return false;
    }
    wchar_t buffer[1024];
    DWORD size = sizeof buffer;
    DWORD type = 0;
    const LONG rc = RegQueryValueExW(key, reinterpret_cast<LPCWSTR>(valueName.utf16()), nullptr, &type,
                                     reinterpret_cast<LPBYTE>(buffer), &size);
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS) {
        value.clear();
        return false;
    }
    if (type == REG_SZ) {
        qsizetype len = static_cast<qsizetype>(size / sizeof(wchar_t));
        if (len > 0 && buffer[len - 1] == 0)
            --len;
        value = QString::fromWCharArray(buffer, len);
    }
    return true;
}
#endif

}  // namespace Platform
