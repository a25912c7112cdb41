// Fuzz target for the translation of the windows' SQL dialect.
//  - A value between quotes never changes a statement's tokens: the statements of the windows,
//    with any value quoted by sqlQuote, translate to the same text as with a fixed value, the
//    quoted value standing where that one stood; and SQLite gives the same rows for the quoted
//    value as for the value bound to a "?" mark.
//  - A FROM clause of nested RIGHT, LEFT and inner joins, read by the translator as LEFT JOINs,
//    gives the same rows as SQLite gives for the clause as written, on small random tables.
// The first byte chooses: even, a statement of the windows and a value; odd, a join.
#include "dialect.h"
#include "sqltext.h"
#include "check.h"

#include <QFile>
#include <QStringList>
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <sqlite3.h>

namespace {

sqlite3* g_db = nullptr;

const char* const kStatements[][2] = {
    {"select 姓名 from 成员 where 姓名=", "and 密码='pw'"},
    {"SELECT 成员.姓名, 收入类型.类型, 收入帐.金额, 收入帐.日期, 收入帐.备注 FROM 成员 RIGHT JOIN (收入类型 RIGHT JOIN "
     "收入帐 ON 收入类型.ID = 收入帐.类型ID) ON 成员.ID = 收入帐.成员ID where 成员.ID=",
     " and 收入帐.日期 between #1-1-26# and #12-31-26# order by 成员.姓名"},
    {"SELECT 成员.姓名, 银行.开户行, 银行帐.金额, 银行帐.日期, 银行帐.存或取,银行帐.类型 FROM 成员 RIGHT JOIN (银行 RIGHT JOIN "
     "银行帐 ON 银行.ID = 银行帐.银行ID) ON 成员.ID = 银行帐.成员ID where 银行.ID='b1' and 存或取=",
     " and 银行帐.日期 between #1-1-2026# and #12-31-2026# order by 银行.开户行"},
    {"select 备注 from 收入帐 where 备注=", " or 备注 = '#1-2-03#'"},
    {"select 查询.月份.月份 as 月份,收入总额 from 查询 where 查询.月份.月份 <> ", ""},
};

QStringList rowsOf(const QString& sql, const QString* bound, bool* ok)
{
    QStringList out;
    sqlite3_stmt* st = nullptr;
    const QByteArray text = sql.toUtf8();
    *ok = sqlite3_prepare_v2(g_db, text.constData(), static_cast<int>(text.size()), &st, nullptr) == SQLITE_OK;
    if (!*ok)
        return out;
    if (bound) {
        const QByteArray v = bound->toUtf8();
        sqlite3_bind_text(st, 1, v.constData(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
    }
    int rc;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
        QStringList row;
        for (int i = 0; i < sqlite3_column_count(st); ++i)
            row << (sqlite3_column_type(st, i) == SQLITE_NULL
                        ? QStringLiteral("<null>")
                        : QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, i))));
        out << row.join(u'|');
    }
    *ok = rc == SQLITE_DONE;
    sqlite3_finalize(st);
    std::sort(out.begin(), out.end());
    return out;
}

void exec(const QString& sql)
{
    char* err = nullptr;
    const int rc = sqlite3_exec(g_db, sql.toUtf8().constData(), nullptr, nullptr, &err);
    CHECK(rc == SQLITE_OK, "%s\n%s\n", err ? err : "", qPrintable(sql));
}

void quotedValue(int which, const QString& value)
{
    const QString head = QString::fromUtf8(kStatements[which][0]);
    const QString tail = QString::fromUtf8(kStatements[which][1]);
    const QString mark = QStringLiteral("'kinbook-mark'");
    const QString marked = translateSql(head + mark + tail);
    CHECK(marked.count(mark) == 1, "%s\n", qPrintable(marked));
    const QString quoted = translateSql(head + sqlQuote(value) + tail);
    QString expected = marked;
    expected.replace(mark, sqlQuote(value));
    CHECK(quoted == expected, "%s\n%s\n", qPrintable(quoted), qPrintable(expected));

    // The engine ends a statement at a NUL, so a value holding one breaks the quoted statement (it
    // fails, nothing more); the windows bind such values and refuse them at input.
    if (value.contains(QChar(0)))
        return;
    const QByteArray v = value.toUtf8();
    sqlite3_stmt* st = nullptr;
    for (const char* sql : {"insert into 成员 values ('01', ?1, '', 'pw')", "insert into 成员 values (?1, 'x', '', '')",
                            "insert into 收入帐 values (?1, '5', 1, '2026-03-01', ?1, 3)",
                            "insert into 银行帐 values ('b1', '01', ?1, '活期', 1, '2026-03-01')"}) {
        sqlite3_prepare_v2(g_db, sql, -1, &st, nullptr);
        sqlite3_bind_text(st, 1, v.constData(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
        sqlite3_step(st);
        sqlite3_finalize(st);
    }
    bool okQuoted = false, okBound = false;
    const QStringList byQuote = rowsOf(quoted, nullptr, &okQuoted);
    QString withMark = marked;
    withMark.replace(mark, QStringLiteral("?"));
    const QStringList byBinding = rowsOf(withMark, &value, &okBound);
    CHECK(okQuoted && okBound && byQuote == byBinding, "%s\n%s\n", qPrintable(quoted),
          qPrintable(byQuote.join(u'\n') + QStringLiteral("\n--\n") + byBinding.join(u'\n')));
    exec(QStringLiteral("delete from 成员; delete from 收入帐; delete from 银行帐;"));
}

// ---- joins --------------------------------------------------------------------------------

class Bytes {
public:
    Bytes(const std::uint8_t* d, std::size_t n) : d_(d), n_(n) {}
    int next(int range) { return range <= 0 ? 0 : (i_ < n_ ? d_[i_++] : 0) % range; }

private:
    const std::uint8_t* d_;
    std::size_t n_;
    std::size_t i_ = 0;
};

struct Joined {
    QString text;
    QStringList tables;
    bool join = false;
};

Joined fromClause(Bytes& b, QStringList& unused, int depth)
{
    if (depth == 0 || unused.size() == 1 || b.next(3) == 0) {
        const QString t = unused.takeAt(b.next(static_cast<int>(unused.size())));
        return {t, {t}, false};
    }
    Joined left = fromClause(b, unused, depth - 1);
    if (unused.isEmpty())
        return left;
    Joined right = fromClause(b, unused, depth - 1);
    static const char* const ops[] = {"RIGHT JOIN", "LEFT JOIN", "INNER JOIN", "JOIN", "RIGHT OUTER JOIN", "right join"};
    const QString op = QString::fromLatin1(ops[b.next(6)]);
    const QString l = left.tables[b.next(static_cast<int>(left.tables.size()))];
    const QString r = right.tables[b.next(static_cast<int>(right.tables.size()))];
    QString on = l + QStringLiteral(".id = ") + r + QStringLiteral(".k");
    if (b.next(3) == 0)
        on = QStringLiteral("(") + on + QStringLiteral(" or ") + r + QStringLiteral(".v = 'x')");
    else if (b.next(3) == 0)
        on += QStringLiteral(" and ") + l + QStringLiteral(".v is not null");
    const QString leftText = left.join && b.next(2) ? QStringLiteral("(") + left.text + QStringLiteral(")") : left.text;
    const QString rightText = right.join ? QStringLiteral("(") + right.text + QStringLiteral(")") : right.text;
    return {leftText + QLatin1Char(' ') + op + QLatin1Char(' ') + rightText + QStringLiteral(" ON ") + on,
            left.tables + right.tables, true};
}

void joins(Bytes& b)
{
    // Four small tables; ids and keys 0 to 2 or null, so that rows match, miss and repeat.
    QString fill = QStringLiteral("delete from t1; delete from t2; delete from t3; delete from t4;");
    for (int t = 1; t <= 4; ++t) {
        const int rows = b.next(5);
        for (int r = 0; r < rows; ++r) {
            const auto cell = [&b] {
                const int v = b.next(4);
                return v == 3 ? QStringLiteral("null") : QString::number(v);
            };
            fill += QStringLiteral("insert into t%1 values (%2, %3, '%4');").arg(t).arg(cell(), cell()).arg(r);
        }
    }
    exec(fill);
    QStringList unused = {"t1", "t2", "t3", "t4"};
    const Joined from = fromClause(b, unused, 3);
    if (!from.join)
        return;
    QStringList columns;
    for (const QString& t : from.tables)
        columns << t + QStringLiteral(".id") << t + QStringLiteral(".v");
    QString sql = QStringLiteral("SELECT ") + columns.join(QStringLiteral(", ")) + QStringLiteral(" FROM ") + from.text;
    switch (b.next(4)) {
    case 1:
        sql += QStringLiteral(" where ") + from.tables.first() + QStringLiteral(".id is not null");
        break;
    case 2:
        sql += QStringLiteral(" order by ") + from.tables.last() + QStringLiteral(".v");
        break;
    default:
        break;
    }
    bool okWritten = false, okRead = false;
    const QStringList written = rowsOf(sql, nullptr, &okWritten);
    if (!okWritten)
        return;  // a clause SQLite itself does not take
    const QString translated = translateSql(sql);
    const QStringList read = rowsOf(translated, nullptr, &okRead);
    CHECK(okRead && read == written, "%s\n%s\n%s\n", qPrintable(sql), qPrintable(translated),
          qPrintable(written.join(u'\n') + QStringLiteral("\n--\n") + read.join(u'\n')));
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    sqlite3_open(":memory:", &g_db);
    // The translation orders by columns in the collation that the program's connections carry. Rows
    // are compared here as sorted sets, so any order under that name will do.
    sqlite3_create_collation(g_db, kPinyinCollation, SQLITE_UTF8, nullptr,
                             [](void*, int na, const void* a, int nb, const void* b) {
                                 const int c = std::memcmp(a, b, static_cast<std::size_t>(std::min(na, nb)));
                                 return c != 0 ? c : na - nb;
                             });
    QFile schema(QStringLiteral(KINBOOK_SCHEMA));
    CHECK(schema.open(QIODevice::ReadOnly), "no schema at %s\n", KINBOOK_SCHEMA);
    exec(QString::fromUtf8(schema.readAll()));
    exec(QStringLiteral("insert into 收入类型 values ('5', '工资', ''); insert into 银行 values ('b1', '工行', '');"
                        "create table t1 (id, k, v); create table t2 (id, k, v); create table t3 (id, k, v);"
                        "create table t4 (id, k, v);"));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    if (data[0] % 2 == 0) {
        const int which = (data[0] / 2) % static_cast<int>(std::size(kStatements));
        quotedValue(which, QString::fromUtf8(reinterpret_cast<const char*>(data + 1), static_cast<qsizetype>(size - 1)));
    } else {
        Bytes b(data + 1, size - 1);
        joins(b);
    }
    return 0;
}
