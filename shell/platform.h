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

#ifdef Q_OS_WIN
// Reads a string value under HKEY_LOCAL_MACHINE; false when the key or value is missing or the
// value is not a string.
bool readMachineRegistryString(const QString& keyName, const QString& valueName, QString& value);
#endif

}  // namespace Platform
