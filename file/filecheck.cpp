#include "filecheck.h"

#include "connection.h"
#include "dberror.h"
#include "fileschema.h"
#include "sqltext.h"
#include "statement.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <sqlite3.h>

namespace FileCheck {

namespace {

// The tables the windows read and write, with the fields they name.
struct Shape {
    const char* table;
    const char* fields;
};
constexpr Shape kShapes[] = {
    {"成员", "ID 姓名 关系 密码"},
    {"收入类型", "ID 类型 备注"},
    {"支出类型", "ID 类型 备注"},
    {"投资类型", "ID 类型 备注"},
    {"银行", "ID 开户行 帐号"},
    {"收入帐", "成员ID 类型ID 金额 日期 备注 月份"},
    {"收入临时", "成员ID 类型ID 金额 日期 备注 月份"},
    {"支出帐", "成员ID 类型ID 金额 日期 备注 月份"},
    {"支出临时", "成员ID 类型ID 金额 日期 备注 月份"},
    {"投资帐", "成员ID 类型ID 金额 日期 备注 月份"},
    {"银行帐", "银行ID 成员ID 存或取 类型 金额 日期"},
    {"负债", "借款日期 债权人 类型 金额 还款记录 余额"},
};
constexpr const char* kLedgers[] = {"收入帐", "支出帐", "投资帐", "银行帐", "负债"};
const QString kQuery = QStringLiteral("查询");

// What the file lacks of the program's tables, fields and query.
QStringList missingParts(Connection& conn)
{
    QStringList missing;
    const QStringList present = columnTexts(conn, QStringLiteral("SELECT name FROM sqlite_master WHERE type IN ('table', 'view')"));
    auto has = [&present](const QString& name) { return present.contains(name, Qt::CaseInsensitive); };
    for (const Shape& s : kShapes) {
        const QString table = QString::fromUtf8(s.table);
        if (!has(table)) {
            missing << table;
            continue;
        }
        const QStringList fields = columnTexts(conn, QStringLiteral("PRAGMA table_info(%1)").arg(sqlName(table)), 1);
        for (const QString& f : QString::fromUtf8(s.fields).split(u' '))
            if (!fields.contains(f, Qt::CaseInsensitive))
                missing << table + QLatin1Char('.') + f;
    }
    if (!has(kQuery))
        missing << kQuery;
    return missing;
}

bool hasSqliteHeader(const QString& path, bool& readable)
{
    QFile f(path);
    readable = f.open(QIODevice::ReadOnly);
    return readable && f.read(16) == QByteArray("SQLite format 3", 16);
}

// The file's own mark, as a file manager shows it: no write permission for anyone. (The permission
// for the current user is not asked: an administrator may write anyway, yet the mark says the file
// is to be kept as it is.)
bool markedReadOnly(const QFileInfo& info)
{
    return !(info.permissions() & (QFile::WriteOwner | QFile::WriteGroup | QFile::WriteOther));
}

// The first five of a list, joined for a sentence.
QString firstFew(const QStringList& list)
{
    return list.mid(0, 5).join(QStringLiteral("、")) + (list.size() > 5 ? QStringLiteral("等") : QString());
}

}  // namespace

QStringList fieldsOf(const QString& table)
{
    for (const Shape& s : kShapes)
        if (QString::fromUtf8(s.table) == table)
            return QString::fromUtf8(s.fields).split(u' ');
    return {};
}

bool Report::replaceable() const
{
    switch (state) {
    case State::Missing:
    case State::Empty:
    case State::NotADatabase:
    case State::Damaged:
    case State::Foreign:
    case State::Altered:
        return true;
    default:
        return false;
    }
}

State stateOf(const DbError& error)
{
    switch (error.code() & 0xff) {
    case SQLITE_NOTADB:
        return State::NotADatabase;
    case SQLITE_CORRUPT:
    case SQLITE_IOERR:
        return State::Damaged;
    case SQLITE_FULL:
        return State::DiskFull;
    default:
        break;
    }
    switch (error.kind()) {
    case DbError::CannotOpen:
        return State::Unreadable;
    case DbError::Busy:
        return State::Locked;
    case DbError::ReadOnly:
        return State::ReadOnly;
    default:
        return State::Failed;
    }
}

Report inspect(const QString& path, int newestVersion, bool own)
{
    Report r;
    r.newest = newestVersion;
    const QFileInfo info(path);
    if (!info.exists()) {
        r.state = State::Missing;
        return r;
    }
    if (!info.isFile()) {
        r.state = State::NotAFile;
        return r;
    }
    if (info.size() == 0) {
        r.state = State::Empty;
        return r;
    }
    bool readable = false;
    if (!hasSqliteHeader(path, readable)) {
        r.state = readable ? State::NotADatabase : State::Unreadable;
        return r;
    }
    try {
        Connection conn;
        conn.open(path, !own);
        // The check is of the file's structure: pages, records, free list. Verifying every row
        // against the CHECK constraints as well would triple its time on a large ledger; a value
        // an older file let through is the upgrade's business, not damage.
        columnTexts(conn, QStringLiteral("PRAGMA ignore_check_constraints = ON"));
        const QStringList check = columnTexts(conn, QStringLiteral("PRAGMA quick_check"));
        if (check != QStringList{QStringLiteral("ok")}) {
            r.state = State::Damaged;
            return r;
        }
        r.missing = missingParts(conn);
        if (!r.missing.isEmpty()) {
            r.state = State::Foreign;
            return r;
        }
        r.version = columnTexts(conn, QStringLiteral("PRAGMA user_version")).value(0).toInt();
        if (r.version > newestVersion) {
            r.state = State::Newer;
            return r;
        }
        r.altered = FileSchema::differences(conn, r.version);
        if (!r.altered.isEmpty()) {
            r.state = State::Altered;
            return r;
        }
        if (own && (markedReadOnly(info) || sqlite3_db_readonly(conn.handle(), "main") == 1))
            r.state = State::ReadOnly;
    } catch (const DbError& e) {
        r.state = stateOf(e);
        r.code = e.code();
    }
    return r;
}

QString describe(const Report& report, const QString& path, bool own)
{
    const QString file = QDir::toNativeSeparators(path);
    const QString putBack = own ? QStringLiteral("请放回完好的 main.mdb，或用备份恢复。") : QStringLiteral("请另选一个备份文件。");
    switch (report.state) {
    case State::Sound:
        return QStringLiteral("数据库文件 %1 完好。").arg(file);
    case State::Missing:
        return QStringLiteral("找不到数据库文件 %1。").arg(file) + putBack;
    case State::NotAFile:
        return QStringLiteral("%1 是一个文件夹，不是数据库文件。").arg(file) + putBack;
    case State::Unreadable:
        return QStringLiteral("无法读取数据库文件 %1：没有读写它的权限。请检查这个文件和它所在文件夹的权限。").arg(file);
    case State::Empty:
        return QStringLiteral("数据库文件 %1 是空的（0 字节），里面没有任何表和帐目。").arg(file) + putBack;
    case State::NotADatabase:
        return QStringLiteral("%1 不是数据库文件（可能被别的程序覆盖，或已严重损坏）。").arg(file) + putBack;
    case State::Damaged:
        return QStringLiteral("数据库文件 %1 已损坏，没有通过完整性检查。").arg(file) + putBack;
    case State::Foreign:
        return QStringLiteral("%1 不是和顺家账的数据库：缺少 %2。").arg(file, firstFew(report.missing)) + putBack;
    case State::Altered:
        return QStringLiteral("数据库文件 %1 被别的程序改动过，和本程序建立的不一样：%2。为安全起见，程序不使用这个文件。")
                   .arg(file, firstFew(report.altered))
               + putBack;
    case State::Newer:
        return QStringLiteral("数据库文件 %1 的版本是 %2，比本程序能打开的版本 %3 新，是新版的和顺家账写的。"
                              "请用新版的和顺家账打开它；这个文件没有被改动。")
            .arg(file)
            .arg(report.version)
            .arg(report.newest);
    case State::ReadOnly:
        return QStringLiteral("数据库文件 %1 是只读的，记下的帐无法保存。请去掉文件的只读属性，或把程序和数据放到可以写入的文件夹。")
            .arg(file);
    case State::Locked:
        return QStringLiteral("数据库文件 %1 正被其它程序使用（已锁定）。请关闭正在使用它的程序后再试。").arg(file);
    case State::DiskFull:
        return QStringLiteral("磁盘已满，数据库文件 %1 无法写入。请腾出磁盘空间后再试。").arg(file);
    case State::Failed:
        break;
    }
    return QStringLiteral("打开数据库文件 %1 时出错（错误代码 %2）。请检查这个文件后再试。").arg(file).arg(report.code);
}

QList<Count> ledgerCounts(const QString& path)
{
    QList<Count> out;
    Connection conn;
    try {
        conn.open(path, true);
    } catch (const DbError&) {
    }
    for (const char* t : kLedgers) {
        Count c{QString::fromUtf8(t)};
        if (conn.isOpen()) {
            try {
                c.rows = columnTexts(conn, QStringLiteral("SELECT count(*) FROM %1").arg(sqlName(c.table))).value(0).toLongLong();
            } catch (const DbError&) {
            }
        }
        out << c;
    }
    return out;
}

}  // namespace FileCheck
