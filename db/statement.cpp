#include "statement.h"

#include "connection.h"
#include "dberror.h"
#include "dialect.h"

#include <sqlite3.h>

Statement::Statement(Connection& conn, const QString& sql, bool translate) : conn_(conn), sql_(sql)
{
    if (!conn.isOpen())
        throw DbError(DbError::CannotOpen, SQLITE_MISUSE, QStringLiteral("connection is closed"), sql);
    const QByteArray text = (translate ? translateSql(sql) : sql).toUtf8();
    const int rc = sqlite3_prepare_v2(conn.handle(), text.constData(), static_cast<int>(text.size()), &st_, nullptr);
    if (rc != SQLITE_OK) {
        sqlite3_finalize(st_);
        st_ = nullptr;
        conn.raise(rc, sql);
    }
    if (!st_)
        throw DbError(DbError::Other, SQLITE_MISUSE, QStringLiteral("empty statement"), sql);
}

Statement::~Statement()
{
    sqlite3_finalize(st_);
}

bool Statement::step()
{
    const int rc = sqlite3_step(st_);
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    conn_.raise(rc, sql_);
}

QStringList columnTexts(Connection& conn, const QString& sql, int column)
{
    QStringList out;
    Statement st(conn, sql, false);
    while (st.step())
        out << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st.handle(), column)));
    return out;
}
