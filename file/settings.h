#pragma once

#include <QString>

class Connection;

// The household's settings, kept in the file.
namespace Settings {
inline const QString kOverviewAfterLogin = QStringLiteral("登录后显示本月概览");
QString value(Connection& conn, const QString& name, const QString& otherwise = QString());
void setValue(Connection& conn, const QString& name, const QString& value);
}  // namespace Settings
