#include "crashrounds.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <chrono>
#include <memory>
#include <random>
#include <sqlite3.h>
#include <thread>

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

// Empties the ledger and stages a fresh batch; the staged total, for the checks.
QString stage(const QString& file, int batch, QString& total)
{
    Db db = openDb(file);
    QString err = exec(db.get(),
                       QStringLiteral("begin; delete from 收入帐; delete from 收入临时;"
                                      "insert into 收入临时 with recursive n(i) as (select 1 union all select i + 1 from n"
                                      " where i < %1) select printf('%02d', i % 24), 'g', (i % 100000) / 100.0 + 0.01,"
                                      " '2026-03-05', '批量' || i, 3 from n; commit;")
                           .arg(batch));
    total = scalar(db.get(), QStringLiteral("select round(sum(金额), 2) from 收入临时"));
    return err;
}

// The file after a kill or a run: what the ledger holds ("none", "all"), or what is wrong.
QString check(const QString& file, int batch, const QString& total, bool& posted)
{
    Db db = openDb(file);
    const QString integrity = scalar(db.get(), QStringLiteral("pragma integrity_check"));
    if (integrity != QLatin1String("ok"))
        return QStringLiteral("integrity_check: ") + integrity;
    const int ledger = scalar(db.get(), QStringLiteral("select count(*) from 收入帐")).toInt();
    const int staged = scalar(db.get(), QStringLiteral("select count(*) from 收入临时")).toInt();
    if (ledger == 0 && staged == batch) {
        posted = false;
        return QString();
    }
    if (ledger == batch && staged == 0) {
        const QString sum = scalar(db.get(), QStringLiteral("select round(sum(金额), 2) from 收入帐"));
        if (sum != total)
            return QStringLiteral("the ledger's total is %1, the batch's %2").arg(sum, total);
        posted = true;
        return QString();
    }
    return QStringLiteral("the ledger holds %1 records and the staging table %2 of a batch of %3")
        .arg(ledger)
        .arg(staged)
        .arg(batch);
}

// Runs the helper to its end; an error text when it failed.
QString runToEnd(const QString& helper, const QString& file, qint64* ms = nullptr)
{
    QProcess p;
    QElapsedTimer t;
    t.start();
    p.start(helper, {QStringLiteral("post"), file});
    if (!p.waitForFinished(120000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        return QStringLiteral("the helper failed: ") + QString::fromLocal8Bit(p.readAllStandardError());
    if (ms)
        *ms = t.elapsed();
    return QString();
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

    // One whole run first: how long a posting takes from the start of the process to its end.
    if (QString e = stage(file, setup.batch, total); !e.isEmpty()) {
        f.failure = QStringLiteral("staging: ") + e;
        return f;
    }
    if (QString e = runToEnd(setup.helper, file, &f.fullRunMs); !e.isEmpty()) {
        f.failure = e;
        return f;
    }
    if (QString e = check(file, setup.batch, total, posted); !e.isEmpty() || !posted) {
        f.failure = QStringLiteral("a whole run: ") + (e.isEmpty() ? QStringLiteral("nothing posted") : e);
        return f;
    }

    std::mt19937 random(setup.seed);
    // A little beyond one whole run, so that some kills come after the commit.
    std::uniform_int_distribution<qint64> delay(0, f.fullRunMs * 1100);
    for (int round = 1; round <= rounds; ++round) {
        if (QString e = stage(file, setup.batch, total); !e.isEmpty()) {
            f.failure = QStringLiteral("staging: ") + e;
            return f;
        }
        QProcess p;
        p.start(setup.helper, {QStringLiteral("post"), file});
        if (!p.waitForStarted()) {
            f.failure = QStringLiteral("the helper does not start: ") + setup.helper;
            return f;
        }
        const qint64 us = delay(random);
        std::this_thread::sleep_for(std::chrono::microseconds(us));
        p.kill();  // SIGKILL
        p.waitForFinished();
        const bool journalLeft = QFileInfo(journal).size() > 0;

        QString e = check(file, setup.batch, total, posted);
        if (e.isEmpty()) {
            ++(posted ? f.afterCommit : journalLeft ? f.whileWriting : f.beforeWriting);
            // Started again, the helper posts what is staged: the batch exactly once in all.
            e = runToEnd(setup.helper, file);
            if (e.isEmpty())
                e = check(file, setup.batch, total, posted);
            if (e.isEmpty() && !posted)
                e = QStringLiteral("the restart posted nothing");
        }
        f.rounds = round;
        if (log)
            log(QStringLiteral("round %1: killed after %2 ms, %3")
                    .arg(round)
                    .arg(us / 1000.0, 0, 'f', 1)
                    .arg(!e.isEmpty() ? e : journalLeft ? QStringLiteral("journal rolled back, posted on restart")
                                                      : QStringLiteral("checked, posted once on restart")));
        if (!e.isEmpty()) {
            f.failure = QStringLiteral("round %1: ").arg(round) + e;
            return f;
        }
    }
    return f;
}
