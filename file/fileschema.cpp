#include "fileschema.h"

#include "connection.h"
#include "statement.h"
#include "upgrade.h"

#include <algorithm>
#include <map>
#include <mutex>
#include <sqlite3.h>

namespace FileSchema {

namespace {

bool isWordChar(QChar c)
{
    return c.isLetterOrNumber() || c == u'_' || c == u'$' || c.unicode() > 0x7f;
}

QString asciiLower(const QString& text)
{
    QString out = text;
    for (QChar& c : out)
        if (c.unicode() < 0x80)
            c = c.toLower();
    return out;
}

// A quoted name as a bare one when it reads the same without quotes, otherwise in double quotes.
QString nameToken(const QString& name)
{
    const bool bare = !name.isEmpty() && !name.front().isDigit() && std::all_of(name.begin(), name.end(), isWordChar);
    if (bare)
        return asciiLower(name);
    QString quoted = name;
    quoted.replace(u'"', QStringLiteral("\"\""));
    return u'"' + asciiLower(quoted) + u'"';
}

// The end of a quoted run that starts at `from` (on its opening quote); `close` doubled inside it
// stands for itself, except within brackets.
qsizetype quotedEnd(const QString& sql, qsizetype from, QChar close, QString& inner)
{
    qsizetype i = from + 1;
    while (i < sql.size()) {
        if (sql[i] == close) {
            if (close != u']' && i + 1 < sql.size() && sql[i + 1] == close) {
                inner += close;
                i += 2;
                continue;
            }
            return i + 1;
        }
        inner += sql[i++];
    }
    return i;
}

QString kindOf(const QString& type)
{
    if (type == QLatin1String("table"))
        return QStringLiteral("表");
    if (type == QLatin1String("index"))
        return QStringLiteral("索引");
    if (type == QLatin1String("view"))
        return QStringLiteral("视图");
    if (type == QLatin1String("trigger"))
        return QStringLiteral("触发器");
    return type;
}

QString keyOf(const Object& o)
{
    return o.type + u'\n' + asciiLower(o.name);
}

const Object* find(const QList<Object>& list, const QString& key)
{
    for (const Object& o : list)
        if (keyOf(o) == key)
            return &o;
    return nullptr;
}

Expected build(int version)
{
    Expected e;
    Connection made;
    made.openInMemory();
    if (sqlite3_exec(made.handle(), Upgrade::versionZeroSchema(), nullptr, nullptr, nullptr) != SQLITE_OK)
        made.raise(SQLITE_ERROR, QStringLiteral("version 0 schema"));
    std::vector<Upgrade::Step> upTo;
    for (const Upgrade::Step& s : Upgrade::steps())
        if (s.version <= version)
            upTo.push_back(s);
    Upgrade::run(made, upTo);
    e.required = objectsOf(made);
    if (version > 0) {
        Connection aside;
        aside.openInMemory();
        aside.execute(Upgrade::setAsideTableSql());
        e.optional = objectsOf(aside);
    }
    return e;
}

}  // namespace

QString normalisedSql(const QString& sql)
{
    QStringList tokens;
    qsizetype i = 0;
    const qsizetype n = sql.size();
    while (i < n) {
        const QChar c = sql[i];
        if (c.isSpace()) {
            ++i;
        } else if (c == u'-' && i + 1 < n && sql[i + 1] == u'-') {
            while (i < n && sql[i] != u'\n')
                ++i;
        } else if (c == u'/' && i + 1 < n && sql[i + 1] == u'*') {
            const qsizetype end = sql.indexOf(QStringLiteral("*/"), i + 2);
            i = end < 0 ? n : end + 2;
        } else if (c == u'\'') {
            QString inner;
            const qsizetype end = quotedEnd(sql, i, c, inner);
            tokens << sql.mid(i, end - i);
            i = end;
        } else if (c == u'"' || c == u'`' || c == u'[') {
            QString inner;
            i = quotedEnd(sql, i, c == u'[' ? QChar(u']') : c, inner);
            tokens << nameToken(inner);
        } else if (isWordChar(c)) {
            const qsizetype start = i;
            while (i < n && isWordChar(sql[i]))
                ++i;
            tokens << asciiLower(sql.mid(start, i - start));
        } else {
            tokens << QString(c);
            ++i;
        }
    }
    return tokens.join(u' ');
}

QList<Object> objectsOf(Connection& conn)
{
    QList<Object> out;
    Statement st(conn,
                 QStringLiteral("SELECT type, name, tbl_name, sql FROM sqlite_master WHERE NOT (type = 'index' AND sql IS NULL "
                                "AND name LIKE 'sqlite\\_autoindex\\_%' ESCAPE '\\') AND NOT (type = 'table' AND name IN "
                                "('sqlite_sequence', 'sqlite_stat1', 'sqlite_stat4')) ORDER BY type, name"));
    while (st.step()) {
        out << Object{st.text(0), st.text(1), st.text(2), normalisedSql(st.text(3))};
    }
    return out;
}

const Expected& expected(int version)
{
    static std::mutex guard;
    static std::map<int, Expected> built;
    const std::lock_guard<std::mutex> lock(guard);
    auto it = built.find(version);
    if (it == built.end())
        it = built.emplace(version, build(version)).first;
    return it->second;
}

QStringList differences(Connection& conn, int version)
{
    const Expected& e = expected(version);
    const QList<Object> present = objectsOf(conn);
    QStringList out;
    for (const Object& o : present) {
        const QString key = keyOf(o);
        const Object* want = find(e.required, key);
        if (!want)
            want = find(e.optional, key);
        if (!want)
            out << QStringLiteral("多出的%1 %2").arg(kindOf(o.type), o.name);
        else if (asciiLower(want->table) != asciiLower(o.table) || want->sql != o.sql)
            out << QStringLiteral("%1 %2 的定义与版本 %3 不同").arg(kindOf(o.type), o.name).arg(version);
    }
    for (const Object& o : e.required)
        if (!find(present, keyOf(o)))
            out << QStringLiteral("缺少%1 %2").arg(kindOf(o.type), o.name);
    return out;
}

}  // namespace FileSchema
