#include "upgrade.h"

#include "connection.h"
#include "dberror.h"
#include "passwords.h"
#include "schematext.h"
#include "sqltext.h"
#include "statement.h"

#include <sqlite3.h>
#include <initializer_list>
#include <string>
#include <string_view>

namespace Upgrade {

namespace {

void exec(Connection& conn, const QString& sql)
{
    const QByteArray text = sql.toUtf8();
    const int rc = sqlite3_exec(conn.handle(), text.constData(), nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK)
        conn.raise(rc, sql);
}

// The check a field of this kind carries from version 1 on; empty for a field without one.
// Kinds are told by the declared type, as the schema declares them.
QString checkOf(const QString& field, const QString& type)
{
    const QString f = sqlName(field);
    if (type.compare(QLatin1String("DATE"), Qt::CaseInsensitive) == 0)
        return QStringLiteral("%1 IS NULL OR (typeof(%1) = 'text' AND date(%1, '+0 days') IS %1)").arg(f);
    if (type.compare(QLatin1String("CURRENCY"), Qt::CaseInsensitive) == 0)
        return QStringLiteral("%1 IS NULL OR typeof(%1) IN ('integer', 'real')").arg(f);
    if (type.compare(QLatin1String("INTEGER"), Qt::CaseInsensitive) == 0 && field == QStringLiteral("月份"))
        return QStringLiteral("%1 IS NULL OR (typeof(%1) = 'integer' AND %1 BETWEEN 1 AND 12)").arg(f);
    return QString();
}

// Version 1: the date checks of the ledgers let any text that is no date through (date() gives
// NULL, and a comparison with NULL passes a CHECK). Each table with checked fields is rebuilt from
// its own fields with the corrected checks; every row keeps its rowid, and its indexes and triggers
// are made again. A value the new checks refuse is cleared in its row and kept aside.
void rebuildWithCorrectedChecks(Connection& conn, Report& report)
{
    const QStringList tables = columnTexts(conn, QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table' "
                                                           "AND name NOT LIKE 'sqlite\\_%' ESCAPE '\\' ORDER BY rowid"));
    bool asideMade = false;
    for (const QString& table : tables) {
        const QString info = QStringLiteral("PRAGMA table_info(%1)").arg(sqlName(table));
        const QStringList fields = columnTexts(conn, info, 1), types = columnTexts(conn, info, 2);
        QStringList defs, names, values;
        bool checked = false;
        for (qsizetype i = 0; i < fields.size(); ++i) {
            const QString& field = fields[i];
            const QString& type = types[i];
            const QString check = checkOf(field, type);
            QString def = sqlName(field) + QLatin1Char(' ') + type;
            if (type.compare(QLatin1String("TEXT"), Qt::CaseInsensitive) == 0)
                def += QStringLiteral(" COLLATE NOCASE");
            names << sqlName(field);
            if (check.isEmpty()) {
                values << sqlName(field);
            } else {
                checked = true;
                def += QStringLiteral(" CHECK (%1)").arg(check);
                values << QStringLiteral("CASE WHEN %1 THEN %2 END").arg(check, sqlName(field));
                const QString refused = QStringLiteral(" FROM %1 WHERE NOT (%2)").arg(sqlName(table), check);
                const int n = columnTexts(conn, QStringLiteral("SELECT count(*)") + refused).value(0).toInt();
                if (n > 0) {
                    if (!asideMade)
                        exec(conn, setAsideTableSql());
                    asideMade = true;
                    exec(conn, QStringLiteral("INSERT INTO %1 SELECT %2, rowid, %3, %4")
                                   .arg(sqlName(kSetAsideTable), sqlQuote(table), sqlQuote(field), sqlName(field))
                             + refused);
                    report.setAside << SetAside{table, field, n};
                }
            }
            defs << def;
        }
        if (!checked)
            continue;
        const QStringList remake = columnTexts(conn, QStringLiteral("SELECT sql FROM sqlite_master WHERE tbl_name = %1 AND "
                                                               "type IN ('index', 'trigger') AND sql IS NOT NULL ORDER BY rowid")
                                                    .arg(sqlQuote(table)));
        const QString fresh = sqlName(table + QStringLiteral(" 升级"));
        exec(conn, QStringLiteral("CREATE TABLE %1 (%2)").arg(fresh, defs.join(QStringLiteral(", "))));
        exec(conn, QStringLiteral("INSERT INTO %1 (rowid, %2) SELECT rowid, %3 FROM %4")
                       .arg(fresh, names.join(QStringLiteral(", ")), values.join(QStringLiteral(", ")), sqlName(table)));
        exec(conn, QStringLiteral("DROP TABLE %1").arg(sqlName(table)));
        exec(conn, QStringLiteral("ALTER TABLE %1 RENAME TO %2").arg(fresh, sqlName(table)));
        for (const QString& sql : remake)
            exec(conn, sql);
    }
}

// Renaming a table that a view reads (查询 reads the ledgers) is refused by SQLite's schema check
// while the old table is gone; the legacy rename leaves views as they are, which is what a rebuild
// under the same name wants.
class LegacyRename {
public:
    explicit LegacyRename(Connection& conn) : conn_(conn) { exec(conn_, QStringLiteral("PRAGMA legacy_alter_table = ON")); }
    ~LegacyRename() { sqlite3_exec(conn_.handle(), "PRAGMA legacy_alter_table = OFF", nullptr, nullptr, nullptr); }
    LegacyRename(const LegacyRename&) = delete;
    LegacyRename& operator=(const LegacyRename&) = delete;

private:
    Connection& conn_;
};

// The CREATE TABLE statements of `tables`, as the schema file writes them (the one definition of
// each table for the files made and the files upgraded).
std::string tablesFromSchema(std::initializer_list<std::string_view> tables)
{
    const std::string_view schema = kSchemaSql;
    std::string out;
    for (const std::string_view table : tables) {
        const std::string start = "CREATE TABLE " + std::string(table) + " (";
        const std::size_t from = schema.find(start);
        const std::size_t to = from == std::string_view::npos ? from : schema.find("\n);", from);
        if (to == std::string_view::npos)
            throw DbError(DbError::Other, SQLITE_ERROR,
                          QStringLiteral("the schema defines no table %1").arg(QString::fromUtf8(table)));
        out.append(schema.substr(from, to + 3 - from)).append("\n");
    }
    return out;
}

// Version 5: the members' passwords were kept as typed, so every copy of the file carried them. Each
// is replaced by its salted hash (Passwords::hash, of the text without letter case, as the login
// compared it); a member without a password (NULL) keeps none.
void hashPasswords(Connection& conn, Report&)
{
    QList<QPair<qint64, QString>> members;
    {
        Statement read(conn, QStringLiteral("SELECT rowid, 密码 FROM 成员 WHERE 密码 IS NOT NULL"));
        while (read.step())
            members << qMakePair(static_cast<qint64>(read.int64(0)), read.value(1).toString());
    }
    Statement write(conn, QStringLiteral("UPDATE 成员 SET 密码 = ? WHERE rowid = ?"));
    for (const auto& [rowid, password] : std::as_const(members)) {
        if (Passwords::isHash(password))
            continue;
        write.reset();
        write.bind(1, Passwords::hash(password));
        write.bindInt64(2, rowid);
        write.step();
    }
}

// Version 6: every row that other computers keep too gets a key of its own (the last field, 编号,
// an INTEGER PRIMARY KEY), which SQLite's session extension needs to name a row in a changeset.
// Each table is made again from the schema file's definition and its rows copied with their rowid
// as key, so that every record keeps its number (the recycle bin, the imported trades and the
// recurring occurrences name records by it); its indexes are made again as they were. Then the
// tables of the sync itself.
void addRowKeys(Connection& conn, Report&)
{
    static const char* const kKeyed[] = {"成员",     "收入类型", "支出类型", "投资类型", "银行",   "收入帐", "收入临时",
                                         "支出帐",   "支出临时", "投资帐",   "银行帐",   "负债",   "回收站"};
    for (const char* name : kKeyed) {
        const QString table = QString::fromUtf8(name);
        const QString info = QStringLiteral("PRAGMA table_info(%1)").arg(sqlName(table));
        const QStringList old = columnTexts(conn, info, 1);
        const QStringList indexes = columnTexts(conn, QStringLiteral("SELECT sql FROM sqlite_master WHERE tbl_name = %1 AND "
                                                                "type IN ('index', 'trigger') AND sql IS NOT NULL ORDER BY rowid")
                                                     .arg(sqlQuote(table)));
        const QString fresh = table + QStringLiteral(" 升级");
        QString definition = QString::fromStdString(tablesFromSchema({name}));
        definition.replace(QStringLiteral("CREATE TABLE %1 (").arg(table), QStringLiteral("CREATE TABLE %1 (").arg(sqlName(fresh)));
        exec(conn, definition);
        const QStringList now = columnTexts(conn, QStringLiteral("PRAGMA table_info(%1)").arg(sqlName(fresh)), 1);
        QStringList common;
        for (const QString& field : old)
            if (now.contains(field))
                common << sqlName(field);
        const bool hadKey = old.contains(QStringLiteral("编号"));
        exec(conn, QStringLiteral("INSERT INTO %1 (%2%3) SELECT %4%3 FROM %5")
                       .arg(sqlName(fresh), hadKey ? QString() : QStringLiteral("编号, "), common.join(QStringLiteral(", ")),
                            hadKey ? QString() : QStringLiteral("rowid, "), sqlName(table)));
        exec(conn, QStringLiteral("DROP TABLE %1").arg(sqlName(table)));
        exec(conn, QStringLiteral("ALTER TABLE %1 RENAME TO %2").arg(sqlName(fresh), sqlName(table)));
        for (const QString& sql : indexes)
            exec(conn, sql);
    }
    exec(conn, QString::fromStdString(tablesFromSchema({"同步键", "同步发件", "同步进度", "同步版本", "同步日志"})));
}

}  // namespace

QString setAsideTableSql()
{
    return QStringLiteral("CREATE TABLE IF NOT EXISTS %1 (表名 TEXT, 行号 INTEGER, 字段 TEXT, 原值)").arg(sqlName(kSetAsideTable));
}

const char* versionZeroSchema()
{
    return R"(
CREATE TABLE 成员 ( ID TEXT COLLATE NOCASE UNIQUE, 姓名 TEXT COLLATE NOCASE, 关系 TEXT COLLATE NOCASE, 密码 TEXT COLLATE NOCASE );
CREATE TABLE 收入类型 ( ID TEXT COLLATE NOCASE UNIQUE, 类型 TEXT COLLATE NOCASE, 备注 TEXT COLLATE NOCASE );
CREATE TABLE 支出类型 ( ID TEXT COLLATE NOCASE UNIQUE, 类型 TEXT COLLATE NOCASE, 备注 TEXT COLLATE NOCASE );
CREATE TABLE 投资类型 ( ID TEXT COLLATE NOCASE UNIQUE, 类型 TEXT COLLATE NOCASE, 备注 TEXT COLLATE NOCASE );
CREATE TABLE 银行 ( ID TEXT COLLATE NOCASE UNIQUE, 开户行 TEXT COLLATE NOCASE, 帐号 TEXT COLLATE NOCASE );
CREATE TABLE 收入帐 ( 成员ID TEXT COLLATE NOCASE, 类型ID TEXT COLLATE NOCASE, 金额 CURRENCY CHECK (金额 IS NULL OR typeof(金额) IN ('integer', 'real')), 日期 DATE CHECK (日期 IS NULL OR (typeof(日期) = 'text' AND date(日期, '+0 days') = 日期)), 备注 TEXT COLLATE NOCASE, 月份 INTEGER CHECK (月份 IS NULL OR (typeof(月份) = 'integer' AND 月份 BETWEEN 1 AND 12)) );
CREATE TABLE 收入临时 ( 成员ID TEXT COLLATE NOCASE, 类型ID TEXT COLLATE NOCASE, 金额 CURRENCY CHECK (金额 IS NULL OR typeof(金额) IN ('integer', 'real')), 日期 DATE CHECK (日期 IS NULL OR (typeof(日期) = 'text' AND date(日期, '+0 days') = 日期)), 备注 TEXT COLLATE NOCASE, 月份 INTEGER CHECK (月份 IS NULL OR (typeof(月份) = 'integer' AND 月份 BETWEEN 1 AND 12)) );
CREATE TABLE 支出帐 ( 成员ID TEXT COLLATE NOCASE, 类型ID TEXT COLLATE NOCASE, 金额 CURRENCY CHECK (金额 IS NULL OR typeof(金额) IN ('integer', 'real')), 日期 DATE CHECK (日期 IS NULL OR (typeof(日期) = 'text' AND date(日期, '+0 days') = 日期)), 备注 TEXT COLLATE NOCASE, 月份 INTEGER CHECK (月份 IS NULL OR (typeof(月份) = 'integer' AND 月份 BETWEEN 1 AND 12)) );
CREATE TABLE 支出临时 ( 成员ID TEXT COLLATE NOCASE, 类型ID TEXT COLLATE NOCASE, 金额 CURRENCY CHECK (金额 IS NULL OR typeof(金额) IN ('integer', 'real')), 日期 DATE CHECK (日期 IS NULL OR (typeof(日期) = 'text' AND date(日期, '+0 days') = 日期)), 备注 TEXT COLLATE NOCASE, 月份 INTEGER CHECK (月份 IS NULL OR (typeof(月份) = 'integer' AND 月份 BETWEEN 1 AND 12)) );
CREATE TABLE 投资帐 ( 成员ID TEXT COLLATE NOCASE, 类型ID TEXT COLLATE NOCASE, 金额 CURRENCY CHECK (金额 IS NULL OR typeof(金额) IN ('integer', 'real')), 日期 DATE CHECK (日期 IS NULL OR (typeof(日期) = 'text' AND date(日期, '+0 days') = 日期)), 备注 TEXT COLLATE NOCASE, 月份 INTEGER CHECK (月份 IS NULL OR (typeof(月份) = 'integer' AND 月份 BETWEEN 1 AND 12)) );
CREATE TABLE 银行帐 ( 银行ID TEXT COLLATE NOCASE, 成员ID TEXT COLLATE NOCASE, 存或取 TEXT COLLATE NOCASE, 类型 TEXT COLLATE NOCASE, 金额 CURRENCY CHECK (金额 IS NULL OR typeof(金额) IN ('integer', 'real')), 日期 DATE CHECK (日期 IS NULL OR (typeof(日期) = 'text' AND date(日期, '+0 days') = 日期)) );
CREATE TABLE 负债 ( 借款日期 DATE CHECK (借款日期 IS NULL OR (typeof(借款日期) = 'text' AND date(借款日期, '+0 days') = 借款日期)), 债权人 TEXT COLLATE NOCASE, 类型 TEXT COLLATE NOCASE, 金额 CURRENCY CHECK (金额 IS NULL OR typeof(金额) IN ('integer', 'real')), 还款记录 TEXT COLLATE NOCASE, 余额 CURRENCY CHECK (余额 IS NULL OR typeof(余额) IN ('integer', 'real')) );
CREATE INDEX 收入帐_成员ID ON 收入帐 (成员ID);
CREATE INDEX 收入帐_类型ID ON 收入帐 (类型ID);
CREATE INDEX 收入帐_日期 ON 收入帐 (日期, 月份, 金额);
CREATE INDEX 支出帐_成员ID ON 支出帐 (成员ID);
CREATE INDEX 支出帐_类型ID ON 支出帐 (类型ID);
CREATE INDEX 支出帐_日期 ON 支出帐 (日期, 月份, 金额);
CREATE INDEX 投资帐_成员ID ON 投资帐 (成员ID);
CREATE INDEX 投资帐_类型ID ON 投资帐 (类型ID);
CREATE INDEX 投资帐_日期 ON 投资帐 (日期, 月份, 金额);
CREATE INDEX 银行帐_银行ID ON 银行帐 (银行ID);
CREATE INDEX 银行帐_成员ID ON 银行帐 (成员ID);
CREATE INDEX 银行帐_日期 ON 银行帐 (日期);
CREATE INDEX 银行帐_存或取 ON 银行帐 (存或取, 金额);
CREATE INDEX 负债_类型 ON 负债 (类型, 余额);
CREATE VIEW 查询 AS WITH RECURSIVE 月(月份) AS (SELECT 1 UNION ALL SELECT 月份 + 1 FROM 月 WHERE 月份 < 12), 年(起, 止) AS (SELECT strftime('%Y', 'now', 'localtime') || '-01-01', strftime('%Y', 'now', 'localtime') || '-12-31'), 收(月份, z) AS (SELECT 月份, sum(金额) FROM 收入帐, 年 WHERE 日期 BETWEEN 年.起 AND 年.止 GROUP BY 月份), 支(月份, z) AS (SELECT 月份, sum(金额) FROM 支出帐, 年 WHERE 日期 BETWEEN 年.起 AND 年.止 GROUP BY 月份), 投(月份, z) AS (SELECT 月份, sum(金额) FROM 投资帐, 年 WHERE 日期 BETWEEN 年.起 AND 年.止 GROUP BY 月份) SELECT 月.月份 AS "月份.月份", coalesce(收.z, 0) AS 收入总额, coalesce(支.z, 0) AS 支出总额, coalesce(投.z, 0) AS 投资总额 FROM 月 LEFT JOIN 收 ON 收.月份 = 月.月份 LEFT JOIN 支 ON 支.月份 = 月.月份 LEFT JOIN 投 ON 投.月份 = 月.月份 ORDER BY 月.月份;
)";
}

int Report::setAsideCount() const
{
    int n = 0;
    for (const SetAside& s : setAside)
        n += s.count;
    return n;
}

const std::vector<Step>& steps()
{
    // Importing bills: the trade numbers already posted and the types given to counterparties.
    static const std::string billImport = tablesFromSchema({"导入交易", "导入对方类型"});
    // The recycle bin of records deleted from the ledgers, as version 3 made it: a later version
    // changed it in the schema file (version 6 gave it 说明 and remade it from there), so the schema
    // file's definition is not what a file of versions 3 to 5 holds.
    static const std::string recycleBin = R"(CREATE TABLE 回收站 (
    编号     INTEGER PRIMARY KEY,
    帐本     TEXT COLLATE NOCASE,
    行号     INTEGER,
    删除时间 TEXT,
    银行ID   TEXT COLLATE NOCASE,
    成员ID   TEXT COLLATE NOCASE,
    类型ID   TEXT COLLATE NOCASE,
    存或取   TEXT COLLATE NOCASE,
    类型     TEXT COLLATE NOCASE,
    金额     CURRENCY CHECK (金额 IS NULL OR typeof(金额) IN ('integer', 'real')),
    日期     DATE CHECK (日期 IS NULL OR (typeof(日期) = 'text' AND date(日期, '+0 days') IS 日期)),
    备注     TEXT COLLATE NOCASE,
    月份     INTEGER CHECK (月份 IS NULL OR (typeof(月份) = 'integer' AND 月份 BETWEEN 1 AND 12))
);
)";
    // Budgets, recurring records and settings.
    static const std::string plans = tablesFromSchema({"预算", "定期收支", "定期记录", "设置"});
    static const std::vector<Step> list = {
        {1, nullptr, rebuildWithCorrectedChecks},
        {2, billImport.c_str()},
        {3, recycleBin.c_str()},
        {4, plans.c_str()},
        {5, nullptr, hashPasswords},
        {6, nullptr, addRowKeys},
    };
    return list;
}

int newestVersion(const std::vector<Step>& list)
{
    return list.empty() ? 0 : list.back().version;
}

int fileVersion(Connection& conn)
{
    return columnTexts(conn, QStringLiteral("PRAGMA user_version")).value(0).toInt();
}

Report run(Connection& conn, const std::vector<Step>& list)
{
    Report report;
    report.from = fileVersion(conn);
    report.to = newestVersion(list);
    if (report.from > report.to)
        throw DbError(DbError::Other, SQLITE_ERROR,
                      QStringLiteral("file version %1 is newer than %2").arg(report.from).arg(report.to));
    if (report.from == report.to)
        return report;
    Transaction transaction(conn);
    LegacyRename legacy(conn);
    for (const Step& step : list) {
        if (step.version <= report.from)
            continue;
        if (step.sql)
            exec(conn, QString::fromUtf8(step.sql));
        if (step.run)
            step.run(conn, report);
    }
    exec(conn, QStringLiteral("PRAGMA user_version = %1").arg(report.to));
    transaction.commit();
    return report;
}

}  // namespace Upgrade
