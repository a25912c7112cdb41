#include "syncbench.h"

#include "budgets.h"
#include "connection.h"
#include "emptyfile.h"
#include "ledgerrows.h"
#include "posting.h"
#include "statement.h"
#include "sqltext.h"
#include "sync.h"
#include "syncfile.h"
#include "syncrecorder.h"
#include "synctables.h"
#include "app.h"
#include "datafolder.h"
#include "session.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <cstdio>
#include <sqlite3.h>

namespace {

constexpr int kPosted = 10000;
constexpr std::int64_t kOtherNode = 12345;  // the computer whose changeset is applied

double msSince(const QElapsedTimer& t)
{
    return static_cast<double>(t.nsecsElapsed()) / 1e6;
}

void exec(sqlite3* db, const QString& sql)
{
    char* error = nullptr;
    if (sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, &error) != SQLITE_OK)
        std::fprintf(stderr, "bench: %s: %s\n", qPrintable(sql.left(80)), error);
    sqlite3_free(error);
}

// This computer set up to sync through `folder` as one that has synced before (its books are not
// sent whole), recording or not.
void useSync(sqlite3* raw, const QString& folder, bool recording)
{
    exec(raw, QStringLiteral("insert or replace into 设置 values ('同步文件夹', %1), ('本机名称', %2), ('本机标识', %3);"
                             "insert or ignore into 同步进度 (机器, 序号) values ('书房', 0)")
                  .arg(sqlQuote(folder), sqlQuote(recording ? QStringLiteral("书房") : QString()),
                       sqlQuote(SyncTables::machineIdentity(App::conn.path()))));
    App::conn.sync()->refresh();
}

// Posting 10,000 staged records, their keys given as the entry form gives them.
void postRecorded(sqlite3* raw, const QString& folder, const QString& date, const SyncMeasure& measure)
{
    SyncRecorder* sync = App::conn.sync();
    const auto stage = [&] {
        Transaction tx(App::conn);
        Statement st(App::conn, QStringLiteral("insert into 收入临时 (成员ID, 类型ID, 金额, 日期, 备注, 月份, 编号) values ('m1', 'i1', 12.5, ?, 'bench', 3, ?)"));
        for (int i = 0; i < kPosted; ++i) {
            st.reset();
            st.bind(1, date);
            st.bindInt64(2, *sync->nextKey(QStringLiteral("收入临时")));
            st.step();
        }
        tx.commit();
    };
    const auto cleanUp = [&] { exec(raw, QStringLiteral("delete from 收入帐 where 备注 = 'bench'; delete from 收入临时; delete from 同步发件; delete from 同步版本")); };
    const auto post = [&](bool recording) {
        useSync(raw, folder, recording);
        stage();
        QElapsedTimer t;
        t.start();
        postStaged(App::conn, QStringLiteral("收入临时"), QStringLiteral("收入帐"));
        const double ms = msSince(t);
        cleanUp();
        return ms;
    };
    measure(QStringLiteral("同步: post 10,000 staged, recorded (floor: the same posting unrecorded; written: the C API)"),
            [&] { return post(true); }, [&] { return post(false); },
            [&] {
                exec(raw, QStringLiteral("with recursive n(i) as (select 1 union all select i + 1 from n where i < %1)"
                                         " insert into 收入临时 select 'm1', 'i1', 12.5, '%2', 'bench', 3, %3 + i from n")
                              .arg(kPosted)
                              .arg(date)
                              .arg(qint64(1) << 44));
                QElapsedTimer t;
                t.start();
                exec(raw, QStringLiteral("begin; insert into 收入帐 select * from 收入临时; delete from 收入临时; commit"));
                const double ms = msSince(t);
                cleanUp();
                return ms;
            },
            QStringLiteral("%1 records").arg(kPosted));
}

// Another computer's changeset of 10,000 new income records of `year` from the key `low` on, made
// on `scratch`, an empty copy of the income ledger of `raw`'s file.
QByteArray newRecordsChangeset(sqlite3* raw, sqlite3* scratch, int year, std::int64_t low)
{
    {
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(raw, "select sql from sqlite_master where name = '收入帐'", -1, &st, nullptr);
        sqlite3_step(st);
        exec(scratch, QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0))));
        sqlite3_finalize(st);
    }
    sqlite3_session* session = nullptr;
    sqlite3session_create(scratch, "main", &session);
    sqlite3session_attach(session, nullptr);
    exec(scratch, QStringLiteral("with recursive n(i) as (select 1 union all select i + 1 from n where i < %1)"
                                 " insert into 收入帐 select 'm' || (i % 24 + 1), 'i' || (i % 30 + 1), (i % 5000) / 4.0 + 1,"
                                 " '%2-03-' || substr('0' || (i % 28 + 1), -2), '别处' || i, 3, %3 + i from n")
                      .arg(kPosted)
                      .arg(year)
                      .arg(low));
    int size = 0;
    void* bytes = nullptr;
    sqlite3session_changeset(session, &size, &bytes);
    const QByteArray changeset(static_cast<const char*>(bytes), size);
    sqlite3_free(bytes);
    sqlite3session_delete(session);
    return changeset;
}

// Every row that `rows` steps, its `columns` columns bound to `put` and stepped.
void copyRows(sqlite3_stmt* rows, sqlite3_stmt* put, int columns)
{
    while (sqlite3_step(rows) == SQLITE_ROW) {
        for (int c = 0; c < columns; ++c)
            sqlite3_bind_value(put, c + 1, sqlite3_column_value(rows, c));
        sqlite3_step(put);
        sqlite3_reset(put);
    }
}

// Another computer's changeset of 10,000 new records, applied by a run.
void applyNewRecords(sqlite3* raw, const QString& folder, int year, const SyncMeasure& measure)
{
    const QString shared = folder + QStringLiteral("/sync-apply");
    QDir(shared).removeRecursively();
    QDir().mkpath(shared);
    sqlite3* scratch = nullptr;
    sqlite3_open(":memory:", &scratch);
    const std::int64_t low = kOtherNode << 32;
    const QByteArray changeset = newRecordsChangeset(raw, scratch, year, low);
    SyncFile::Header h;
    h.machine = QStringLiteral("客厅");
    h.identity = QStringLiteral("bench");
    h.node = kOtherNode;
    h.sequence = 1;
    h.stamp = SyncTables::stampOf(QDateTime::currentMSecsSinceEpoch(), h.machine);
    SyncFile::writeNew(shared, SyncFile::fileName(h.machine, 1), SyncFile::compose(h, changeset));
    const QString drop = QStringLiteral("delete from 收入帐 where 编号 between %1 and %2;"
                                        " delete from 同步进度 where 机器 = '客厅'; delete from 同步日志; delete from 同步版本")
                             .arg(low)
                             .arg(low + kPosted);
    useSync(raw, shared, true);
    measure(QStringLiteral("同步: apply another computer's 10,000 new records (floor: the same rows inserted with the C API)"),
            [&] {
                exec(raw, drop);
                QElapsedTimer t;
                t.start();
                const Sync::Report r = Sync::run(App::conn);
                const double ms = msSince(t);
                return r.applied.size() == 1 ? ms : -1.0;
            },
            [&] {
                exec(raw, drop);
                sqlite3_stmt* rows = nullptr;
                sqlite3_prepare_v2(scratch, "select * from 收入帐", -1, &rows, nullptr);
                sqlite3_stmt* put = nullptr;
                sqlite3_prepare_v2(raw, "insert into 收入帐 values (?, ?, ?, ?, ?, ?, ?)", -1, &put, nullptr);
                QElapsedTimer t;
                t.start();
                exec(raw, QStringLiteral("begin"));
                copyRows(rows, put, 7);
                exec(raw, QStringLiteral("commit"));
                const double ms = msSince(t);
                sqlite3_finalize(put);
                sqlite3_finalize(rows);
                return ms;
            },
            {}, QStringLiteral("%1 KB changeset").arg(changeset.size() / 1024));
    exec(raw, drop);
    sqlite3_close(scratch);
}

// A month of a family's changes made through the program on another computer's file, `otherFile`,
// synced through `shared`: 90 postings of 5 records, 20 corrections, 10 deletions into the bin, 120
// changesets in all. Returns the lowest key of that computer's range.
std::int64_t familyMonthElsewhere(const QString& otherFile, const QString& shared, int year)
{
    std::string error;
    EmptyFile::make(DataFolder::schemaText().toStdString(), QFile::encodeName(otherFile).toStdString(), error);
    Connection other;
    other.open(otherFile);
    Sync::configure(other, shared, QStringLiteral("阳台"));
    for (int p = 0; p < 90; ++p) {
        other.execute(QStringLiteral("with recursive n(i) as (select 1 union all select i + 1 from n where i < 5)"
                                     " insert into 支出临时 (成员ID, 类型ID, 金额, 日期, 备注, 月份)"
                                     " select 'm' || (i + %1 % 3), 'e' || (i + %1 % 7), (i * %1) % 300 + 0.5, '%2-03-' || substr('0' || (%1 % 28 + 1), -2), '家用', 3 from n")
                          .arg(p)
                          .arg(year));
        postStaged(other, QStringLiteral("支出临时"), QStringLiteral("支出帐"));
    }
    QList<std::int64_t> keys;
    {
        Statement st(other, QStringLiteral("select 编号 from 支出帐 order by 编号"));
        while (st.step())
            keys << st.int64(0);
    }
    const std::int64_t otherLow = keys.first() & ~((std::int64_t(1) << 32) - 1);
    for (int k = 0; k < 20; ++k) {
        const QVariantList before = *LedgerRows::read(other, QStringLiteral("支出帐"), keys[k * 7]);
        QVariantList after = before;
        after[2] = 88.5 + k;
        LedgerRows::correct(other, QStringLiteral("支出帐"), keys[k * 7], before, after);
    }
    for (int k = 0; k < 10; ++k)
        LedgerRows::moveToBin(other, QStringLiteral("支出帐"), keys[k * 11 + 3], QDateTime::currentDateTime());
    Sync::run(other);
    return otherLow;
}

// The floor of a month of changes: the other file's expenses and bin copied into `raw`'s with the
// C API in one transaction, and 20 of the records written again.
double familyMonthPlainly(sqlite3* raw, sqlite3* other, std::int64_t otherLow)
{
    sqlite3_stmt* rows = nullptr;
    sqlite3_prepare_v2(other, "select * from 支出帐", -1, &rows, nullptr);
    sqlite3_stmt* put = nullptr;
    sqlite3_prepare_v2(raw, "insert into 支出帐 values (?, ?, ?, ?, ?, ?, ?)", -1, &put, nullptr);
    sqlite3_stmt* bin = nullptr;
    sqlite3_prepare_v2(other, "select * from 回收站", -1, &bin, nullptr);
    sqlite3_stmt* binPut = nullptr;
    sqlite3_prepare_v2(raw, "insert into 回收站 values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)", -1, &binPut, nullptr);
    QElapsedTimer t;
    t.start();
    exec(raw, QStringLiteral("begin"));
    copyRows(rows, put, 7);
    copyRows(bin, binPut, 14);
    exec(raw, QStringLiteral("update 支出帐 set 金额 = 金额 + 0 where 编号 in (select 编号 from 支出帐 where 编号 >= %1 limit 20)")
                  .arg(otherLow));
    exec(raw, QStringLiteral("commit"));
    const double ms = msSince(t);
    for (sqlite3_stmt* s : {rows, put, bin, binPut})
        sqlite3_finalize(s);
    return ms;
}

// A month of a family's changes, made on another computer through the program, applied by a run
// at start.
void applyFamilyMonth(sqlite3* raw, const QString& folder, int year, const SyncMeasure& measure)
{
    const QString shared = folder + QStringLiteral("/sync-month");
    QDir(shared).removeRecursively();
    QDir().mkpath(shared);
    const QString otherFile = folder + QStringLiteral("/other.mdb");
    QFile::remove(otherFile);
    const std::int64_t otherLow = familyMonthElsewhere(otherFile, shared, year);
    const QString drop = QStringLiteral("delete from 支出帐 where 编号 between %1 and %2; delete from 回收站 where 编号 between %1 and %2;"
                                        " delete from 同步进度 where 机器 = '阳台'; delete from 同步日志; delete from 同步版本")
                             .arg(otherLow)
                             .arg(otherLow + (std::int64_t(1) << 32) - 1);
    useSync(raw, shared, true);
    sqlite3* other = nullptr;
    sqlite3_open_v2(QFile::encodeName(otherFile).constData(), &other, SQLITE_OPEN_READONLY, nullptr);
    measure(QStringLiteral("同步: a month of a family's changes at start, 120 changesets (floor: the same writes with the C API)"),
            [&] {
                exec(raw, drop);
                QElapsedTimer t;
                t.start();
                const Sync::Report r = Sync::run(App::conn);
                const double ms = msSince(t);
                return r.applied.size() == 120 ? ms : -1.0;
            },
            [&] {
                exec(raw, drop);
                return familyMonthPlainly(raw, other, otherLow);
            },
            {}, QStringLiteral("%1 files").arg(QDir(shared).entryList({QStringLiteral("*.kbsync")}).size()));
    exec(raw, drop);
    sqlite3_close(other);
    QFile::remove(otherFile);
}

}  // namespace

void benchSync(sqlite3* raw, const QString& folder, int year, const SyncMeasure& measure)
{
    if (!App::conn.sync()) {
        std::fprintf(stderr, "bench: the file keeps no sync\n");
        return;
    }
    postRecorded(raw, folder, QStringLiteral("%1-03-05").arg(year), measure);
    applyNewRecords(raw, folder, year, measure);
    applyFamilyMonth(raw, folder, year, measure);
    exec(raw, QStringLiteral("delete from 设置 where 名称 in ('同步文件夹', '本机名称', '本机标识', '同步节点'); delete from 同步进度; delete from 同步发件;"
                             " delete from 同步键; delete from 同步日志; delete from 同步版本"));
    App::conn.sync()->refresh();
}
