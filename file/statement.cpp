#include "statement.h"

#include "connection.h"
#include "dberror.h"
#include "money.h"

#include <QStringEncoder>
#include <QVarLengthArray>
#include <sqlite3.h>

Statement::Statement(Connection& conn, const QString& sql) : conn_(conn), sql_(sql)
{
    if (!conn.isOpen())
        throw DbError(DbError::CannotOpen, SQLITE_MISUSE, QStringLiteral("connection is closed"), sql);
    const QByteArray text = sql.toUtf8();
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
    Statement st(conn, sql);
    while (st.step())
        out << st.text(column);
    return out;
}

void Statement::reset()
{
    sqlite3_reset(st_);
}

void Statement::bind(int index, const QVariant& v)
{
    int rc = SQLITE_OK;
    if (!v.isValid() || v.isNull()) {
        rc = sqlite3_bind_null(st_, index);
    } else if (v.metaType() == QMetaType::fromType<Money>()) {
        const Money m = v.value<Money>();
        if (m.units() % 10000 == 0)
            rc = sqlite3_bind_int64(st_, index, m.units() / 10000);
        else
            rc = sqlite3_bind_double(st_, index, m.toDouble());
    } else if (v.metaType().id() == QMetaType::LongLong || v.metaType().id() == QMetaType::Int
               || v.metaType().id() == QMetaType::UInt || v.metaType().id() == QMetaType::ULongLong) {
        rc = sqlite3_bind_int64(st_, index, v.toLongLong());
    } else if (v.metaType().id() == QMetaType::Double) {
        rc = sqlite3_bind_double(st_, index, v.toDouble());
    } else {
        const QByteArray utf8 = v.toString().toUtf8();
        rc = sqlite3_bind_text(st_, index, utf8.constData(), static_cast<int>(utf8.size()), SQLITE_TRANSIENT);
    }
    if (rc != SQLITE_OK)
        conn_.raise(rc, sql_);
}

void Statement::bindAll(const QVariantList& values)
{
    for (qsizetype i = 0; i < values.size(); ++i)
        bind(static_cast<int>(i) + 1, values[i]);
}

void Statement::bindInt64(int index, std::int64_t value)
{
    const int rc = sqlite3_bind_int64(st_, index, value);
    if (rc != SQLITE_OK)
        conn_.raise(rc, sql_);
}

void Statement::bindText(int index, QStringView text)
{
    // Most texts are short: converted on the stack.
    QStringEncoder encoder(QStringEncoder::Utf8, QStringConverter::Flag::Stateless);
    QVarLengthArray<char, 256> utf8(encoder.requiredSpace(text.size()));
    const qsizetype n = encoder.appendToBuffer(utf8.data(), text) - utf8.data();
    const int rc = sqlite3_bind_text(st_, index, utf8.constData(), static_cast<int>(n), SQLITE_TRANSIENT);
    if (rc != SQLITE_OK)
        conn_.raise(rc, sql_);
}

void Statement::bindUtf8(int index, QByteArrayView utf8, bool copy)
{
    const int rc = sqlite3_bind_text(st_, index, utf8.data() ? utf8.data() : "", static_cast<int>(utf8.size()),
                                     copy ? SQLITE_TRANSIENT : SQLITE_STATIC);
    if (rc != SQLITE_OK)
        conn_.raise(rc, sql_);
}

void Statement::bindMoney(int index, const Money& m)
{
    const int rc = m.units() % 10000 == 0 ? sqlite3_bind_int64(st_, index, m.units() / 10000) : sqlite3_bind_double(st_, index, m.toDouble());
    if (rc != SQLITE_OK)
        conn_.raise(rc, sql_);
}

void Statement::bindBlob(int index, const QByteArray& bytes)
{
    const int rc = sqlite3_bind_blob(st_, index, bytes.constData(), static_cast<int>(bytes.size()), SQLITE_TRANSIENT);
    if (rc != SQLITE_OK)
        conn_.raise(rc, sql_);
}

void Statement::bindValue(int index, const sqlite3_value* value)
{
    const int rc = sqlite3_bind_value(st_, index, value);
    if (rc != SQLITE_OK)
        conn_.raise(rc, sql_);
}

int Statement::columnCount() const
{
    return sqlite3_column_count(st_);
}

QString Statement::columnName(int col) const
{
    return QString::fromUtf8(sqlite3_column_name(st_, col));
}

QByteArray Statement::declaredType(int col) const
{
    return QByteArray(sqlite3_column_decltype(st_, col));
}

bool Statement::isTableColumn(int col) const
{
    return sqlite3_column_origin_name(st_, col) != nullptr;
}

bool Statement::isNull(int col) const
{
    return sqlite3_column_type(st_, col) == SQLITE_NULL;
}

int Statement::columnType(int col) const
{
    return sqlite3_column_type(st_, col);
}

std::int64_t Statement::int64(int col) const
{
    return sqlite3_column_int64(st_, col);
}

double Statement::real(int col) const
{
    return sqlite3_column_double(st_, col);
}

QString Statement::text(int col) const
{
    const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(st_, col));
    return QString::fromUtf8(p, sqlite3_column_bytes(st_, col));
}

QByteArray Statement::blob(int col) const
{
    const auto* p = static_cast<const char*>(sqlite3_column_blob(st_, col));
    return QByteArray(p, sqlite3_column_bytes(st_, col));
}

QVariant Statement::value(int col) const
{
    switch (sqlite3_column_type(st_, col)) {
    case SQLITE_INTEGER:
        return QVariant(static_cast<qlonglong>(int64(col)));
    case SQLITE_FLOAT:
        return QVariant(real(col));
    case SQLITE_TEXT:
        return QVariant(text(col));
    case SQLITE_BLOB:
        return QVariant(blob(col));
    default:
        return QVariant();
    }
}

const sqlite3_value* Statement::cell(int col) const
{
    return sqlite3_column_value(st_, col);
}
