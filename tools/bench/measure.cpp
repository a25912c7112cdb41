#include "measure.h"

#include "pinyinorder.h"
#include "sqltext.h"
#include "ledgerlisting.h"

#include <QElapsedTimer>
#include <QRegularExpression>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <sqlite3.h>

namespace Bench {

const QString kIncomeHead = LedgerListing(Ledger::Income).head().text();
const QString kIncomeFloor =
    QStringLiteral("SELECT 成员.姓名, 收入类型.类型, 收入帐.金额, 收入帐.日期, 收入帐.备注 FROM 收入帐 LEFT JOIN 收入类型 ON "
                   "收入类型.ID = 收入帐.类型ID LEFT JOIN 成员 ON 成员.ID = 收入帐.成员ID");
const QString kBankHead = LedgerListing(Ledger::Bank).head().text();
const QString kBankFloor =
    QStringLiteral("SELECT 成员.姓名, 银行.开户行, 银行帐.金额, 银行帐.日期, 银行帐.存或取,银行帐.类型 FROM 银行帐 LEFT JOIN 银行 ON "
                   "银行.ID = 银行帐.银行ID LEFT JOIN 成员 ON 成员.ID = 银行帐.成员ID");

double nowMs()
{
    static QElapsedTimer t = [] {
        QElapsedTimer e;
        e.start();
        return e;
    }();
    return static_cast<double>(t.nsecsElapsed()) / 1e6;
}

// Steps statements on the raw C API, reading every column of every row. Returns rows read.
long long step(sqlite3* db, const QStringList& statements)
{
    long long rows = 0;
    for (const QString& s : statements) {
        const QByteArray sql = s.toUtf8();
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(db, sql.constData(), -1, &st, nullptr) != SQLITE_OK) {
            std::fprintf(stderr, "bench: %s\n  in %s\n", sqlite3_errmsg(db), sql.constData());
            std::exit(1);
        }
        const int n = sqlite3_column_count(st);
        volatile double sink = 0;
        while (sqlite3_step(st) == SQLITE_ROW) {
            ++rows;
            for (int c = 0; c < n; ++c) {
                switch (sqlite3_column_type(st, c)) {
                case SQLITE_INTEGER:
                case SQLITE_FLOAT:
                    sink = sink + sqlite3_column_double(st, c);
                    break;
                case SQLITE_TEXT:
                    sink = sink + sqlite3_column_bytes(st, c) + (sqlite3_column_text(st, c) ? 0 : 1);
                    break;
                default:
                    break;
                }
            }
        }
        sqlite3_finalize(st);
    }
    return rows;
}

// A reference measured: the time to step the statements.
std::function<double()> stepping(sqlite3* db, const QStringList& statements)
{
    return [db, statements] {
        const double t0 = nowMs();
        step(db, statements);
        return nowMs() - t0;
    };
}

// A statement with its texts ordered by their bytes, as a plain SQLite tool does: the floor of the
// windows' statements, which order names by their pinyin.
QString binaryOrder(const QString& sql)
{
    return QString(sql).remove(QStringLiteral(" COLLATE ") + QLatin1String(kPinyinCollation));
}

double Spread::at(double q) const
{
    std::vector<double> t = runs;
    std::sort(t.begin(), t.end());
    return t[static_cast<std::size_t>(q * static_cast<double>(t.size() - 1) + 0.5)];
}

double Spread::median() const
{
    std::vector<double> t = runs;
    std::sort(t.begin(), t.end());
    const std::size_t n = t.size();
    return n % 2 ? t[n / 2] : (t[n / 2 - 1] + t[n / 2]) / 2;
}

// Runs the project's work and the floor `repeat` times, in alternating order, then the statement as
// written once per run. A step that returns a negative time has nothing to measure.
namespace {
QRegularExpression g_only;  // the figures measured; empty: all
}  // namespace

void measureOnly(const QString& pattern)
{
    g_only = QRegularExpression(pattern);
}

void measure(Row& r, int repeat, const std::function<double()>& project, const std::function<double()>& floor,
             const std::function<double()>& written)
{
    if (!g_only.pattern().isEmpty() && !g_only.match(r.work).hasMatch())
        return;
    for (int i = 0; i < repeat; ++i) {
        double p = -1, f = -1;
        if (i % 2 == 0) {
            p = project ? project() : -1;
            f = floor ? floor() : -1;
        } else {
            f = floor ? floor() : -1;
            p = project ? project() : -1;
        }
        if (p >= 0)
            r.project.runs.push_back(p);
        if (f >= 0)
            r.floor.runs.push_back(f);
        if (p >= 0 && f > 0)
            r.ratio.runs.push_back(p / f);
        if (written)
            r.written.runs.push_back(written());
    }
}

}  // namespace Bench
