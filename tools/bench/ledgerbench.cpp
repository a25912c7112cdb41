// The ledger query windows (收入状况, 银行存取记录) against their floor and their statement as
// written: loads, queries, a correction and a deletion, and the memory a load keeps.
#include "driving.h"
#include "sizerun.h"

#include "recordset.h"
#include "sqltext.h"
#include "app.h"
#include "scriptedanswers.h"
#include "undo.h"

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QTableView>
#include <QTimer>
#include <malloc.h>
#include <memory>
#include <sqlite3.h>

namespace Bench {

namespace {

// One member and one type with many records, and the last whole year.
const QString kMember = QStringLiteral("m7"), kType = QStringLiteral("i3");

// The total the query window shows, as the row's note (left as it is without a window).
void noteTotal(QDialog* w, QString& note)
{
    if (auto* l = w ? w->findChild<QLabel*>(QStringLiteral("lblJE")) : nullptr)
        note = l->text();
}

void memberTypeYear(const SizeRun& run)
{
    const QDate from(run.year - 1, 1, 1), to(run.year - 1, 12, 31);
    Row r{QStringLiteral("收入状况: member, type, one year"), run.size};
    const QString where = QStringLiteral(" where 成员.ID='%1' and 收入类型.ID='%2' and 收入帐.日期 between %3 and %4 order by %5")
                              .arg(kMember, kType, dateLiteral(from), dateLiteral(to), inChineseOrder(QStringLiteral("成员.姓名")));
    std::unique_ptr<QDialog> w(window(QStringLiteral("frmquery_sr")));
    waitLoaded(w.get());
    measure(
        r, run.repeat,
        [&] { return runQuery(w.get(), kMember, kType, from, to); },
        stepping(run.raw, {binaryOrder(kIncomeFloor + where)}),
        stepping(run.raw, {kIncomeHead + where}));
    noteTotal(w.get(), r.note);
    run.add(r);
}

// One type over twenty years, without a member: the engine sorts the rows by the member's name, in
// pinyin order; the floor sorts them by their bytes.
void oneTypeTwentyYears(const SizeRun& run)
{
    Row r{QStringLiteral("收入状况: one type, twenty years, names in pinyin order"), run.size};
    const QDate from20(run.year - 20, 1, 1), today = App::today();
    const QString where = QStringLiteral(" where 收入类型.ID='%1' and 收入帐.日期 between %2 and %3 order by 成员.姓名")
                              .arg(kType, dateLiteral(from20), dateLiteral(today));
    std::unique_ptr<QDialog> w(window(QStringLiteral("frmquery_sr")));
    waitLoaded(w.get());
    measure(
        r, run.repeat,
        [&] {
            const double t = runQuery(w.get(), QString(), kType, from20, today);
            const Recordset* rs = waitLoaded(w.get());
            r.note = QStringLiteral("%1 rows").arg(rs ? rs->rowCount() : 0);
            return t;
        },
        stepping(run.raw, {binaryOrder(kIncomeFloor + where)}));
    run.add(r);
}

// 备注包含 over the whole ledger (no member or type: every date), beside the same LIKE stepped with
// the C API.
void noteContains(const SizeRun& run)
{
    Row r{QStringLiteral("收入状况: 备注包含 看病, whole ledger"), run.size};
    const QString where = QStringLiteral(" where 收入帐.备注 like '%看病%' escape '\\' order by 成员.姓名");
    std::unique_ptr<QDialog> w(window(QStringLiteral("frmquery_sr")));
    waitLoaded(w.get());
    measure(
        r, run.repeat,
        [&] {
            auto* note = w ? w->findChild<QLineEdit*>(QStringLiteral("txtNote")) : nullptr;
            if (!note)
                return -1.0;
            note->setText(QStringLiteral("看病"));
            const double t0 = nowMs();
            clickButton(w.get(), QStringLiteral("CmdqueryNow"));
            waitLoaded(w.get());
            return nowMs() - t0;
        },
        stepping(run.raw, {binaryOrder(kIncomeFloor + where)}));
    noteTotal(w.get(), r.note);
    run.add(r);
}

// The correction form opened on the selected row, its amount changed and saved: the time of 保存.
double correctSelected(QDialog* w, int n)
{
    double t = -1;
    QTimer::singleShot(0, [&] {
        auto* form = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (auto* box = form ? form->findChild<QLineEdit*>(QStringLiteral("txtJe")) : nullptr) {
            box->setText(n % 2 ? QStringLiteral("56.78") : QStringLiteral("87.65"));
            const double t0 = nowMs();
            clickButton(form, QStringLiteral("cmdsave"));
            t = nowMs() - t0;
        }
        if (form && form->isVisible())
            form->reject();
    });
    clickButton(w, QStringLiteral("cmdedit"));
    return t;
}

}  // namespace

// Memory of a loaded income query: the heap it keeps per record beyond the texts it shows, and how
// far the process's peak resident size rose while it loaded, beyond those texts, per record.
// Measured on a second load: the first one brings in what is loaded once per run (code, fonts, the
// engine's page cache).
void benchIncomeMemory(const SizeRun& run)
{
    {
        std::unique_ptr<QDialog> warm(window(QStringLiteral("frmquery_sr")));
        waitLoaded(warm.get());
    }
    malloc_trim(0);
    const std::size_t before = heapInUse();
    const long rssBefore = residentKiB();
    const bool peakReset = resetPeak();
    std::unique_ptr<QDialog> w(window(QStringLiteral("frmquery_sr")));
    const Recordset* rs = waitLoaded(w.get());
    const std::size_t after = heapInUse();
    const long peakAfter = peakResidentKiB();
    const int rows = rs ? rs->rowCount() : 0;
    const double texts = rs ? static_cast<double>(rs->snapshot().textBytes()) : 0;
    if (rows > 0) {
        Memory m{run.size, rows, (static_cast<double>(after) - static_cast<double>(before) - texts) / rows, -1,
                 static_cast<double>(sizeof(Recordset) - sizeof(Snapshot) + rs->snapshot().overheadBytes()) / rows};
        if (peakReset)
            m.peak = (static_cast<double>(peakAfter - rssBefore) * 1024.0 - texts) / rows;
        run.memory->push_back(m);
    }
}

// The window shows its first rows when it has been created; the rest, and the total, arrive while
// the event loop runs.
void benchIncomeLoad(const SizeRun& run)
{
    Row first{QStringLiteral("收入状况: first screen of rows (against the floor's whole load)"), run.size};
    Row r{QStringLiteral("收入状况: load, all records and total"), run.size};
    measure(
        r, run.repeat,
        [&] {
            const double t0 = nowMs();
            std::unique_ptr<QDialog> w(window(QStringLiteral("frmquery_sr")));
            first.project.runs.push_back(nowMs() - t0);
            waitLoaded(w.get());
            const double t = nowMs() - t0;
            noteTotal(w.get(), r.note);
            return t;
        },
        stepping(run.raw, {kIncomeFloor + QStringLiteral(" order by 成员.姓名")}),
        stepping(run.raw, {kIncomeHead + QStringLiteral(" order by ") + inChineseOrder(QStringLiteral("成员.姓名"))}));
    first.floor = r.floor;
    for (std::size_t i = 0; i < first.project.runs.size() && i < r.floor.runs.size(); ++i)
        first.ratio.runs.push_back(first.project.runs[i] / r.floor.runs[i]);
    run.add(first);
    run.add(r);
}

void benchIncomeQueries(const SizeRun& run)
{
    memberTypeYear(run);
    oneTypeTwentyYears(run);
    noteContains(run);
}

// A correction and a deletion from the loaded result of every income record: the window writes the
// one record, re-reads or drops its row and adds the total up again. The floor is one UPDATE of the
// record by its rowid.
void benchIncomeCorrections(const SizeRun& run)
{
    Row edit{QStringLiteral("收入状况: correct one record of the loaded result (grid and total)"), run.size};
    Row del{QStringLiteral("收入状况: delete one record into the bin (grid and total)"), run.size};
    std::unique_ptr<QDialog> w(window(QStringLiteral("frmquery_sr")));
    Recordset* rs = waitLoaded(w.get());
    auto* grid = w ? w->findChild<QTableView*>(QStringLiteral("DG")) : nullptr;
    if (rs && grid && rs->rowCount() > 0) {
        grid->selectRow(rs->rowCount() / 2);
        const qint64 key = rs->keyAt(rs->position());
        sqlite3_stmt* update = nullptr;
        sqlite3_prepare_v2(run.raw, "UPDATE 收入帐 SET 金额 = ? WHERE rowid = ?", -1, &update, nullptr);
        int n = 0;
        const auto floor = [&] {
            const double t0 = nowMs();
            sqlite3_bind_double(update, 1, ++n % 2 ? 12.34 : 43.21);
            sqlite3_bind_int64(update, 2, key);
            sqlite3_step(update);
            sqlite3_reset(update);
            return nowMs() - t0;
        };
        measure(edit, run.repeat, [&] { return correctSelected(w.get(), n); }, floor);
        measure(
            del, run.repeat,
            [&] {
                script().queueAnswer(App::MsgAnswer::Ok);
                const double t0 = nowMs();
                clickButton(w.get(), QStringLiteral("cmddel"));
                const double t = nowMs() - t0;
                Undo::undoLast();  // the record back in its place, for the next run
                return t;
            },
            floor);
        sqlite3_finalize(update);
        if (auto* l = w->findChild<QLabel*>(QStringLiteral("lblJE")))
            edit.note = del.note = QStringLiteral("%1 rows; ").arg(rs->rowCount()) + l->text();
    }
    run.add(edit);
    run.add(del);
}

void benchBankLoad(const SizeRun& run)
{
    Row r{QStringLiteral("银行存取记录: load"), run.size};
    measure(
        r, run.repeat,
        [&] {
            const double t0 = nowMs();
            std::unique_ptr<QDialog> w(window(QStringLiteral("frmquery_yh")));
            waitLoaded(w.get());
            return nowMs() - t0;
        },
        stepping(run.raw, {kBankFloor + QStringLiteral(" order by 银行.开户行")}),
        stepping(run.raw, {kBankHead + QStringLiteral(" order by ") + inChineseOrder(QStringLiteral("银行.开户行"))}));
    run.add(r);
}

}  // namespace Bench
