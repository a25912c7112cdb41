#include "synctables.h"

#include "connection.h"
#include "dberror.h"
#include "ledger.h"
#include "sqltext.h"
#include "statement.h"

#include <QCryptographicHash>
#include <QDataStream>
#include <QHash>
#include <QIODevice>
#include <QSysInfo>
#include <cmath>
#include <cstring>
#include <sqlite3.h>

namespace SyncTables {

namespace {

std::function<QString(const QString&)>& identityForTests()
{
    static std::function<QString(const QString&)> f;
    return f;
}

}  // namespace

const QList<Table>& tables()
{
    static const QList<Table> list = {
        {"成员", Kind::Reference, true, true},
        {"收入类型", Kind::Reference, true, true},
        {"支出类型", Kind::Reference, true, true},
        {"投资类型", Kind::Reference, true, true},
        {"银行", Kind::Reference, true, true},
        {"收入帐", Kind::Ledger, true, false},
        {"支出帐", Kind::Ledger, true, false},
        {"投资帐", Kind::Ledger, true, false},
        {"银行帐", Kind::Ledger, true, false},
        {"负债", Kind::Debts, true, false},
        {"回收站", Kind::Bin, true, false},
        {"预算", Kind::Plan, false, true},
        {"定期收支", Kind::Plan, true, true},
        {"定期记录", Kind::Occurrence, false, true},
        {"导入交易", Kind::Trade, false, false},
        {"导入对方类型", Kind::Remembered, false, true},
    };
    return list;
}

const Table* find(const QString& name)
{
    static const QHash<QString, const Table*> byName = [] {
        QHash<QString, const Table*> out;
        for (const Table& t : tables())
            out.insert(QString::fromUtf8(t.name), &t);
        return out;
    }();
    return byName.value(name, nullptr);
}

bool isKeyed(const QString& table)
{
    if (Ledger::ofStagingTable(table))
        return true;
    const Table* t = find(table);
    return t && t->keyed;
}

QString keyFamily(const QString& table)
{
    const std::optional<Ledger> staged = Ledger::ofStagingTable(table);
    return staged ? staged->table() : table;
}

bool fileHasSync(Connection& conn)
{
    Statement st(conn, QStringLiteral("SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = ?"));
    st.bind(1, kKeysTable);
    return st.step();
}

Value Value::of(sqlite3_value* v)
{
    Value out;
    if (!v)
        return out;
    out.type = sqlite3_value_type(v);
    switch (out.type) {
    case SQLITE_INTEGER:
        out.i = sqlite3_value_int64(v);
        break;
    case SQLITE_FLOAT:
        out.r = sqlite3_value_double(v);
        break;
    case SQLITE_TEXT:
        out.bytes = QByteArray(reinterpret_cast<const char*>(sqlite3_value_text(v)), sqlite3_value_bytes(v));
        break;
    case SQLITE_BLOB:
        out.bytes = QByteArray(static_cast<const char*>(sqlite3_value_blob(v)), sqlite3_value_bytes(v));
        break;
    default:
        out.type = SQLITE_NULL;
    }
    return out;
}

Value Value::column(sqlite3_stmt* st, int col)
{
    return of(sqlite3_column_value(st, col));
}

Value Value::integer(std::int64_t v)
{
    Value out;
    out.type = SQLITE_INTEGER;
    out.i = v;
    return out;
}

Value Value::text(const QString& s)
{
    Value out;
    out.type = SQLITE_TEXT;
    out.bytes = s.toUtf8();
    return out;
}

bool Value::isNull() const
{
    return type == SQLITE_NULL;
}

bool Value::operator==(const Value& o) const
{
    if (type != o.type)
        return false;
    switch (type) {
    case SQLITE_INTEGER:
        return i == o.i;
    case SQLITE_FLOAT:
        return std::memcmp(&r, &o.r, sizeof r) == 0 || r == o.r;
    case SQLITE_TEXT:
    case SQLITE_BLOB:
        return bytes == o.bytes;
    default:
        return true;
    }
}

int Value::compare(const Value& o) const
{
    if (type != o.type)
        return type < o.type ? -1 : 1;
    switch (type) {
    case SQLITE_INTEGER:
        return i < o.i ? -1 : (i > o.i ? 1 : 0);
    case SQLITE_FLOAT:
        return r < o.r ? -1 : (r > o.r ? 1 : 0);
    case SQLITE_TEXT:
    case SQLITE_BLOB:
        return bytes < o.bytes ? -1 : (o.bytes < bytes ? 1 : 0);
    default:
        return 0;
    }
}

void Value::bind(sqlite3_stmt* st, int index) const
{
    switch (type) {
    case SQLITE_INTEGER:
        sqlite3_bind_int64(st, index, i);
        break;
    case SQLITE_FLOAT:
        sqlite3_bind_double(st, index, r);
        break;
    case SQLITE_TEXT:
        sqlite3_bind_text(st, index, bytes.constData(), static_cast<int>(bytes.size()), SQLITE_TRANSIENT);
        break;
    case SQLITE_BLOB:
        sqlite3_bind_blob(st, index, bytes.constData(), static_cast<int>(bytes.size()), SQLITE_TRANSIENT);
        break;
    default:
        sqlite3_bind_null(st, index);
    }
}

QString Value::shown() const
{
    switch (type) {
    case SQLITE_INTEGER:
        return QString::number(i);
    case SQLITE_FLOAT:
        return QString::number(r, 'g', 17);
    case SQLITE_TEXT:
        return QString::fromUtf8(bytes);
    case SQLITE_BLOB:
        return QStringLiteral("（%1 字节）").arg(bytes.size());
    default:
        return QStringLiteral("空");
    }
}

QByteArray encode(const Row& values)
{
    QByteArray out;
    QDataStream s(&out, QIODevice::WriteOnly);
    s.setVersion(QDataStream::Qt_6_0);
    s << static_cast<quint32>(values.size());
    for (const Value& v : values) {
        s << static_cast<quint8>(v.type);
        switch (v.type) {
        case SQLITE_INTEGER:
            s << static_cast<qint64>(v.i);
            break;
        case SQLITE_FLOAT:
            s << v.r;
            break;
        case SQLITE_TEXT:
        case SQLITE_BLOB:
            s << v.bytes;
            break;
        default:
            break;
        }
    }
    return out;
}

Row decode(const QByteArray& bytes)
{
    Row out;
    QDataStream s(bytes);
    s.setVersion(QDataStream::Qt_6_0);
    quint32 n = 0;
    s >> n;
    for (quint32 k = 0; k < n && s.status() == QDataStream::Ok; ++k) {
        quint8 type = 0;
        s >> type;
        Value v;
        v.type = type;
        switch (type) {
        case SQLITE_INTEGER: {
            qint64 i = 0;
            s >> i;
            v.i = i;
            break;
        }
        case SQLITE_FLOAT:
            s >> v.r;
            break;
        case SQLITE_TEXT:
        case SQLITE_BLOB:
            s >> v.bytes;
            break;
        default:
            v.type = SQLITE_NULL;
        }
        out << v;
    }
    return out;
}

int compareRows(const Row& a, const Row& b)
{
    for (qsizetype k = 0; k < a.size() && k < b.size(); ++k)
        if (const int c = a[k].compare(b[k]))
            return c;
    return a.size() < b.size() ? -1 : (a.size() > b.size() ? 1 : 0);
}

QList<int> Shape::keyFields() const
{
    QList<int> out;
    for (int k = 0; k < primaryKey.size(); ++k)
        if (primaryKey[k])
            out << k;
    return out;
}

Shape shapeOf(Connection& conn, const QString& table)
{
    Shape s;
    s.table = table;
    Statement st(conn, QStringLiteral("PRAGMA table_info(%1)").arg(sqlName(table)));
    while (st.step()) {
        s.fields << st.text(1);
        s.types << st.text(2);
        s.primaryKey << (st.int64(5) > 0);
    }
    return s;
}

std::int64_t stampOf(std::int64_t milliseconds, const QString& machine)
{
    const QByteArray h = QCryptographicHash::hash(machine.toCaseFolded().toUtf8(), QCryptographicHash::Sha256);
    const int tag = ((static_cast<unsigned char>(h[0]) << 8) | static_cast<unsigned char>(h[1])) & 0xfff;
    return (milliseconds << 12) | tag;
}

std::int64_t millisecondsOf(std::int64_t stamp)
{
    return stamp >> 12;
}

QString machineIdentity(const QString& databasePath)
{
    QByteArray id;
    if (identityForTests())
        id = identityForTests()(databasePath).toUtf8();
    else {
        id = QSysInfo::machineUniqueId();
        if (id.isEmpty())
            id = QSysInfo::machineHostName().toUtf8();
    }
    return QString::fromLatin1(QCryptographicHash::hash("kinbook:" + id, QCryptographicHash::Sha256).toHex().left(16));
}

void setMachineIdentityForTests(std::function<QString(const QString&)> identity)
{
    identityForTests() = std::move(identity);
}

}  // namespace SyncTables
