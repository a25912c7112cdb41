#include "sqltext.h"

QString inChineseOrder(const QString& column)
{
    return column + QStringLiteral(" COLLATE ") + QLatin1String(kPinyinCollation);
}

QString sqlQuote(const QString& value)
{
    QString v = value;
    v.replace(QLatin1Char('\''), QLatin1String("''"));
    return QLatin1Char('\'') + v + QLatin1Char('\'');
}

QString sqlName(const QString& name)
{
    QString n = name;
    n.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + n + QLatin1Char('"');
}
