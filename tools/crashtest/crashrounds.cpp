#include "crashrounds.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <algorithm>
#include <memory>
#include <random>
#include <sqlite3.h>

namespace {

struct Closer {
    void operator()(sqlite3* db) const { sqlite3_close(db); }
};
using Db = std::unique_ptr<sqlite3, Closer>;

Db openDb(const QString& file)
{
    sqlite3* db = nullptr;
    sqlite3_open_v2(QFile::encodeName(file).constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
    sqlite3_busy_timeout(db, 5000);
    return Db(db);
}

// The first column of the first row as text; an error as "error: ...".
QString scalar(sqlite3* db, const QString& sql)
{
    sqlite3_stmt* st = nullptr;
    const QByteArray q = sql.toUtf8();
    if (sqlite3_prepare_v2(db, q.constData(), static_cast<int>(q.size()), &st, nullptr) != SQLITE_OK)
        return QStringLiteral("error: ") + QString::fromUtf8(sqlite3_errmsg(db));
    QString out;
    const int rc = sqlite3_step(st);
    if (rc == SQLITE_ROW)
        out = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
    else if (rc != SQLITE_DONE)
        out = QStringLiteral("error: ") + QString::fromUtf8(sqlite3_errmsg(db));
    sqlite3_finalize(st);
    return out;
}

QString exec(sqlite3* db, const QString& sql)
{
    char* err = nullptr;
    if (sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, &err) == SQLITE_OK)
        return QString();
    const QString msg = QString::fromUtf8(err ? err : "failed");
    sqlite3_free(err);
    return msg;
}

// The records one whole posting puts in the ledger.
int batchOf(const CrashSetup& setup)
{
    if (setup.work == CrashWork::Staged)
        return setup.batch;
    return std::max(1, setup.batch / kCrashOccurrencesPerTemplate) * kCrashOccurrencesPerTemplate;
}

// Empties the ledger and stages a fresh batch; the staged total, for the checks.
QString stage(const QString& file, const CrashSetup& setup, QString& total)
{
    Db db = openDb(file);
    if (setup.work == CrashWork::Due) {
        // Weekly templates whose occurrences, all due, are the batch; amounts in cents that add up exactly.
        const int templates = batchOf(setup) / kCrashOccurrencesPerTemplate;
        QString err = exec(db.get(),
                           QStringLiteral("begin; delete from 支出帐; delete from 定期记录; delete from 定期收支;"
                                          "insert or ignore into 成员 (ID, 姓名) values ('1', '张三');"
                                          "insert or ignore into 支出类型 (ID, 类型) values ('01', '房租');"
                                          "insert into 定期收支 (帐, 成员ID, 类型ID, 金额, 备注, 周期, 间隔, 开始日期, 次数)"
                                          " with recursive n(i) as (select 1 union all select i + 1 from n where i < %1)"
                                          " select '支出帐', '1', '01', i + 0.01, '定期' || i, '每周', 1, '2016-01-04', %2 from n; commit;")
                               .arg(templates)
                               .arg(kCrashOccurrencesPerTemplate));
        total = scalar(db.get(), QStringLiteral("select round(sum(金额 * 次数), 2) from 定期收支"));
        return err;
    }
    QString err = exec(db.get(),
                       QStringLiteral("begin; delete from 收入帐; delete from 收入临时;"
                                      "insert into 收入临时 (成员ID, 类型ID, 金额, 日期, 备注, 月份) with recursive n(i) as (select 1 union all select i + 1 from n"
                                      " where i < %1) select printf('%02d', i % 24), 'g', (i % 100000) / 100.0 + 0.01,"
                                      " '2026-03-05', '批量' || i, 3 from n; commit;")
                           .arg(setup.batch));
    total = scalar(db.get(), QStringLiteral("select round(sum(金额), 2) from 收入临时"));
    return err;
}

// How many records the posting put in the ledger and how many it still has to post.
struct Counts {
    int ledger = 0;
    int waiting = 0;
    QString problem;  // something no posting may leave
};

Counts countsOf(sqlite3* db, const CrashSetup& setup)
{
    Counts c;
    if (setup.work == CrashWork::Staged) {
        c.ledger = scalar(db, QStringLiteral("select count(*) from 收入帐")).toInt();
        c.waiting = scalar(db, QStringLiteral("select count(*) from 收入临时")).toInt();
        return c;
    }
    // Each occurrence recorded once (the file refuses a second), each beside the record it posted.
    c.ledger = scalar(db, QStringLiteral("select count(*) from 支出帐")).toInt();
    const int recorded = scalar(db, QStringLiteral("select count(*) from 定期记录")).toInt();
    const int linked = scalar(db, QStringLiteral("select count(distinct 支出帐.rowid) from 定期记录 join 支出帐 on 支出帐.rowid = 定期记录.行号"
                                                 " join 定期收支 on 定期收支.编号 = 模板 where 支出帐.日期 = 到期日 and 支出帐.金额 = 定期收支.金额"))
                           .toInt();
    if (recorded != c.ledger || linked != c.ledger)
        c.problem = QStringLiteral("%1 records, %2 occurrences recorded, %3 of them beside their own record")
                        .arg(c.ledger)
                        .arg(recorded)
                        .arg(linked);
    c.waiting = batchOf(setup) - recorded;
    return c;
}

// The file after a kill or a run: what the ledger holds ("none", "all"), or what is wrong.
QString check(const QString& file, const CrashSetup& setup, const QString& total, bool& posted)
{
    Db db = openDb(file);
    const QString integrity = scalar(db.get(), QStringLiteral("pragma integrity_check"));
    if (integrity != QLatin1String("ok"))
        return QStringLiteral("integrity_check: ") + integrity;
    const Counts c = countsOf(db.get(), setup);
    if (!c.problem.isEmpty())
        return c.problem;
    const int batch = batchOf(setup);
    if (c.ledger == 0 && c.waiting == batch) {
        posted = false;
        return QString();
    }
    if (c.ledger == batch && c.waiting == 0) {
        const QString ledger = setup.work == CrashWork::Due ? QStringLiteral("支出帐") : QStringLiteral("收入帐");
        const QString sum = scalar(db.get(), QStringLiteral("select round(sum(金额), 2) from %1").arg(ledger));
        if (sum != total)
            return QStringLiteral("the ledger's total is %1, the batch's %2").arg(sum, total);
        posted = true;
        return QString();
    }
    return QStringLiteral("the ledger holds %1 records and %2 wait to be posted, of a batch of %3").arg(c.ledger).arg(c.waiting).arg(batch);
}

QStringList helperArguments(const CrashSetup& setup, const QString& file, long killBefore = 0)
{
    return {setup.work == CrashWork::Due ? QStringLiteral("post-due") : QStringLiteral("post"), file,
            QString::number(killBefore)};
}

// Runs the helper to its end; an error text when it failed. `operations`: how many it made that
// change the disk.
QString runToEnd(const CrashSetup& setup, const QString& file, long* operations = nullptr)
{
    QProcess p;
    p.start(setup.helper, helperArguments(setup, file));
    if (!p.waitForFinished(120000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        return QStringLiteral("the helper failed: ") + QString::fromLocal8Bit(p.readAllStandardError());
    if (operations)
        *operations = p.readAllStandardOutput().trimmed().toLong();
    return QString();
}

// The operations before which the helper is killed, 1 to `operations` + 1 (the last: a whole run):
// all of them when the rounds are that many, otherwise spread evenly from the first to the last,
// or drawn at random with a seed.
QList<long> killPoints(long operations, int rounds, unsigned seed)
{
    QList<long> points;
    const long all = operations + 1;
    if (rounds >= all) {
        for (long k = 1; k <= all; ++k)
            points << k;
    } else if (seed == 0) {
        for (int r = 0; r < rounds; ++r)
            points << 1 + (rounds > 1 ? (all - 1) * r / (rounds - 1) : 0);
    } else {
        std::mt19937 random(seed);
        std::uniform_int_distribution<long> point(1, all);
        for (int r = 0; r < rounds; ++r)
            points << point(random);
    }
    return points;
}

}  // namespace

CrashFigures runCrashRounds(const CrashSetup& setup, int rounds, const std::function<void(const QString&)>& log)
{
    CrashFigures f;
    const QString file = setup.folder + QStringLiteral("/main.mdb");
    const QString journal = file + QStringLiteral("-journal");
    QFile::remove(file);
    if (!QFile::copy(setup.emptyDb, file)) {
        f.failure = QStringLiteral("cannot copy ") + setup.emptyDb;
        return f;
    }
    QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner);
    QString total;
    bool posted = false;

    // Whole runs first: the operations of one, counted on a file as the rounds find it (the first run
    // makes the file grow, the later ones reuse its pages).
    for (int run = 0; run < 2; ++run) {
        if (QString e = stage(file, setup, total); !e.isEmpty()) {
            f.failure = QStringLiteral("staging: ") + e;
            return f;
        }
        if (QString e = runToEnd(setup, file, &f.operations); !e.isEmpty()) {
            f.failure = e;
            return f;
        }
        if (QString e = check(file, setup, total, posted); !e.isEmpty() || !posted) {
            f.failure = QStringLiteral("a whole run: ") + (e.isEmpty() ? QStringLiteral("nothing posted") : e);
            return f;
        }
    }

    const QList<long> points = killPoints(f.operations, rounds, setup.seed);
    for (int round = 1; round <= points.size(); ++round) {
        if (QString e = stage(file, setup, total); !e.isEmpty()) {
            f.failure = QStringLiteral("staging: ") + e;
            return f;
        }
        QProcess p;
        p.start(setup.helper, helperArguments(setup, file, points[round - 1]));
        if (!p.waitForFinished(120000)) {
            f.failure = QStringLiteral("the helper does not start or end: ") + setup.helper;
            return f;
        }
        const bool journalLeft = QFileInfo(journal).size() > 0;

        QString e = check(file, setup, total, posted);
        if (e.isEmpty()) {
            ++(posted ? f.afterCommit : journalLeft ? f.whileWriting : f.beforeWriting);
            // Started again, the helper posts what is staged: the batch exactly once in all; a third
            // start (a login again) finds nothing left to post.
            for (int run = 0; run < 2 && e.isEmpty(); ++run) {
                e = runToEnd(setup, file);
                if (e.isEmpty())
                    e = check(file, setup, total, posted);
                if (e.isEmpty() && !posted)
                    e = QStringLiteral("the restart posted nothing");
            }
        }
        f.rounds = round;
        if (log)
            log(QStringLiteral("round %1: killed before operation %2 of %3, %4")
                    .arg(round)
                    .arg(points[round - 1])
                    .arg(f.operations)
                    .arg(!e.isEmpty() ? e : journalLeft ? QStringLiteral("journal rolled back, posted on restart")
                                                      : QStringLiteral("checked, posted once on restart")));
        if (!e.isEmpty()) {
            f.failure = QStringLiteral("round %1: ").arg(round) + e;
            return f;
        }
    }
    return f;
}
