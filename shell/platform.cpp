#include "platform.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

#ifdef Q_OS_WIN
#include <windows.h>
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
