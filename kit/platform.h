#pragma once

#include <QString>
#include <QStringList>

// What the program asks of the operating system: its own folder, whether a file exists, starting
// another program, and (on Windows) reading a text value from the registry.
namespace Platform {

// The folder of the running program, without a trailing separator. Tests point it elsewhere.
QString programFolder();
void setProgramFolder(const QString& folder);  // empty: back to the real one

bool fileExists(const QString& path);

// Starts a program detached, with a normal window. False when it cannot be started.
// Tests replace the starter to see what would have been started.
bool startProgram(const QString& program, const QStringList& args = {});
using Starter = bool (*)(const QString& program, const QStringList& args);
void setStarter(Starter starter);  // nullptr: the real one

// Looks a program up on the PATH; empty when there is none.
QString findOnPath(const QString& name);

// An exclusive lock on a file, held by this process while the object lives and released by the
// system when the process ends, however it ends (a crash, a kill, a power cut): a lock file left
// behind never blocks anyone. What the file holds means nothing.
class FileLock {
public:
    enum Result { Acquired, HeldElsewhere, Failed };
    FileLock() = default;
    ~FileLock() { unlock(); }
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    // Takes the lock on `path` (made when missing) without waiting. HeldElsewhere: another holder
    // has it now; Failed: the file cannot be made or opened.
    Result tryLock(const QString& path);
    // Lets the lock go and removes the file while still holding it.
    void unlock();
    bool isLocked() const;

private:
#ifdef Q_OS_WIN
    void* handle_ = nullptr;
#else
    int fd_ = -1;
#endif
    QString path_;
};

#ifdef Q_OS_WIN
// Reads a string value under HKEY_LOCAL_MACHINE; false when the key or value is missing or the
// value is not a string.
bool readMachineRegistryString(const QString& keyName, const QString& valueName, QString& value);
#endif

}  // namespace Platform
