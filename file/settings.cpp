#include "settings.h"

#include "connection.h"
#include "statement.h"

namespace Settings {

QString value(Connection& conn, const QString& name, const QString& otherwise)
{
    Statement st(conn, QStringLiteral("SELECT 值 FROM 设置 WHERE 名称 = ?"));
    st.bind(1, name);
    return st.step() ? st.text(0) : otherwise;
}

void setValue(Connection& conn, const QString& name, const QString& value)
{
    Statement st(conn, QStringLiteral("INSERT OR REPLACE INTO 设置 (名称, 值) VALUES (?, ?)"));
    st.bindAll({name, value});
    st.step();
}

}  // namespace Settings
