#pragma once

#include <QFile>
#include <QString>
#include <filesystem>

// A file's name as the standard library's file functions (and DiskWrites) take it: in the file
// system's own encoding, as QFile names it.
inline std::filesystem::path fsPath(const QString& path)
{
#ifdef Q_OS_WIN
    return std::filesystem::path(path.toStdWString());
#else
    return std::filesystem::path(QFile::encodeName(path).toStdString());
#endif
}
