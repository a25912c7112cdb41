// Measures the windows' work on large household ledgers, beside two references stepped with the
// SQLite C API in the same process (every column of every row read):
//   written: the statement exactly as the window builds it (its bound values written in as literals)
//   floor:   the fastest SQL for the same rows (LEFT JOINs from the ledger through its indexes)
//
//   kinbook_bench [--sizes 10000,100000,1000000] [--data DIR] [--repeat N] [--check FILE]
//                [--only REGEX]          (only the figures whose work matches)
//   kinbook_bench --once WHAT FILE      (one load in a fresh process, for profilers: once.h)
//
// The databases are made by kinbook_gendb (seed 1) and kept in DIR between runs. Every figure is
// measured N times (default 7); a run measures the project and the floor one after the other, the
// floor first in every other run. The table gives the minimum, median and maximum of each, the
// median of the runs' ratios and their spread ((max - min) / median), and warns of a spread over
// 20 %. The first lines name the machine, its caches and kernel. --check compares the run with a
// table saved earlier (README, docs/benchmark.md) and prints every figure that moved over 15 %.
#include "backup.h"
#include "connection.h"
#include "emptyfile.h"
#include "exactfloor.h"
#include "measure.h"
#include "once.h"
#include "report.h"
#include "plansbench.h"
#include "syncbench.h"
#include "connection.h"
#include "statement.h"
#include "syncrecorder.h"
#include "filecheck.h"
#include "pinyinorder.h"
#include "recordset.h"
#include "recordsetmodel.h"
#include "sqltext.h"
#include "upgrade.h"
#include "billimport.h"
#include "picker.h"
#include "charts.h"
#include "printedreport.h"
#include "yearsummary.h"
#include "app.h"
#include "loginwindow.h"
#include "datagrid.h"
#include "gridexport.h"
#include "platform.h"
#include "safekeeping.h"
#include "scriptedanswers.h"
#include "undo.h"
#include "session.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QTableView>
#include <QTemporaryDir>
#include <quazip.h>
#include <quazipfile.h>
#include <QTimer>
#include <QUndoStack>
#include <QtGlobal>
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <malloc.h>
#include <memory>
#include <optional>
#include <sqlite3.h>
#include <unistd.h>

// The messages and file dialogs of the windows driven, answered from a script.
static ScriptedAnswers g_script;
#include <vector>

using namespace Bench;

namespace {

QDialog* window(const QString& name)
{
    QDialog* w = App::createWindow(name, App::store(), nullptr);
    if (!w)
        std::fprintf(stderr, "bench: window %s is not registered\n", qPrintable(name));
    return w;
}

void clickButton(QWidget* w, const QString& name)
{
    if (auto* b = w->findChild<QAbstractButton*>(name))
        b->click();
    else if (auto* a = w->findChild<QAction*>(name))
        a->trigger();
    else
        std::fprintf(stderr, "bench: no control %s in %s\n", qPrintable(name), qPrintable(w->objectName()));
}

// A total as a label shows it ("1,234.50", "1234.5 ", " ") in the plain form ("1234.5"; "" for none).
QString plainTotal(const QString& shown)
{
    const QString text = QString(shown).remove(u',').trimmed();
    if (text.isEmpty())
        return QString();
    const auto t = MoneyTotal::parse(text);
    return t ? t->toPlain() : QStringLiteral("?") + text;
}

// The year summary's 36 totals as its grid holds them in the plain form: the twelve months of
// income, then of expenses, then of investments.
QStringList monthTotals(QWidget* w)
{
    QStringList out;
    auto* summary = qobject_cast<YearSummary*>(w);
    if (!summary)
        return out;
    try {
        const QList<MonthFigures> months = summary->months();
        for (MoneyTotal MonthFigures::*kind : {&MonthFigures::income, &MonthFigures::expense, &MonthFigures::invested})
            for (const MonthFigures& m : months)
                out << (m.*kind).toPlain();
    } catch (const std::exception&) {
    }
    return out;
}

// Whether the program showed the floor's totals: "same totals", or the first that differs.
QString sameTotals(const QStringList& shown, const ExactFloor& floor)
{
    const std::vector<std::string> computed = floor.totals();
    for (std::size_t i = 0; i < computed.size(); ++i) {
        // A month without records is shown as 0.
        QString f = QString::fromStdString(computed[i]);
        if (f.isEmpty() && shown.size() == 36)
            f = QStringLiteral("0");
        if (qsizetype(i) >= shown.size() || shown[qsizetype(i)] != f) {
            std::fprintf(stderr, "bench: the program's total %zu is %s, the floor's %s\n", i + 1, qPrintable(shown.value(qsizetype(i))),
                         qPrintable(f));
            return QStringLiteral("TOTALS DIFFER (total %1)").arg(i + 1);
        }
    }
    return QStringLiteral("same totals");
}

void setLabel(QWidget* w, const QString& name, const QString& text)
{
    if (auto* l = w->findChild<QLabel*>(name))
        l->setText(text);
}

void setDate(QWidget* w, const QString& name, const QDate& d)
{
    if (auto* e = w->findChild<QDateEdit*>(name))
        e->setDate(d);
}

QString dateLiteral(const QDate& d)
{
    return sqlQuote(d.toString(QStringLiteral("yyyy-MM-dd")));
}

// The heap in use, the blocks that malloc maps on their own included.
std::size_t heapInUse()
{
    const struct mallinfo2 m = mallinfo2();
    return m.uordblks + m.hblkhd;
}

// The query window's grid's recordset, once its rows are all in (the rest of a load arrives from
// the event loop).
Recordset* waitLoaded(QDialog* w)
{
    auto* grid = w ? w->findChild<DataGrid*>(QStringLiteral("DG")) : nullptr;
    Recordset* rs = grid ? grid->recordset() : nullptr;
    while (rs && rs->isLoading())
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    return rs;
}

// Chooses the criteria of an open query window (an empty ID chooses none), clicks 执行！ and waits
// for the last row: the time that takes, or -1 without a window.
double runQuery(QDialog* w, const QString& member, const QString& type, const QDate& from, const QDate& to)
{
    if (!w)
        return -1.0;
    setLabel(w, QStringLiteral("lblcyID"), member);
    setLabel(w, QStringLiteral("lbllxID"), type);
    setDate(w, QStringLiteral("dpfrom"), from);
    setDate(w, QStringLiteral("dpto"), to);
    const double t0 = nowMs();
    clickButton(w, QStringLiteral("CmdqueryNow"));
    waitLoaded(w);
    return nowMs() - t0;
}

long statusKiB(const QByteArray& key);

// The process's peak resident size (Linux).
long peakResidentKiB()
{
    return statusKiB(QByteArrayLiteral("VmHWM:"));
}

// Lowers the peak resident size to what the process holds now (Linux); false where not allowed.
bool resetPeak()
{
    QFile f(QStringLiteral("/proc/self/clear_refs"));
    return f.open(QIODevice::WriteOnly) && f.write("5") == 1;
}

long statusKiB(const QByteArray& key)
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith(key))
            return line.mid(key.size()).trimmed().split(' ').value(0).toLong();
    return 0;
}

long residentKiB()
{
    QFile f(QStringLiteral("/proc/self/statm"));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = f.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toLong() * (sysconf(_SC_PAGESIZE) / 1024) : 0;
}



// A WeChat Pay bill of `rows` rows of this year (a fifth of them income) from 50 counterparties, as
// the bench posts it, and the same rows as the C API inserts them.
struct BillRecord {
    bool income;
    QString counterparty, item, date;
    double amount;
};
std::vector<BillRecord> billRecords(int rows, int year)
{
    std::vector<BillRecord> out;
    for (int i = 0; i < rows; ++i)
        out.push_back({i % 5 == 0, QStringLiteral("商户%1").arg(i % 50), QStringLiteral("商品%1").arg(i),
                       QDate(year, i % 12 + 1, i % 28 + 1).toString(Qt::ISODate), (i % 9000 + 100) / 100.0});
    return out;
}
long long lastRowid(sqlite3* db, const char* table)
{
    sqlite3_stmt* st = nullptr;
    const QByteArray sql = QByteArray("select coalesce(max(rowid), 0) from ") + table;
    sqlite3_prepare_v2(db, sql.constData(), -1, &st, nullptr);
    const long long id = sqlite3_step(st) == SQLITE_ROW ? sqlite3_column_int64(st, 0) : 0;
    sqlite3_finalize(st);
    return id;
}
void writeBill(const QString& path, const std::vector<BillRecord>& records)
{
    QString t = QStringLiteral("微信支付账单明细\n");
    for (int i = 2; i <= 16; ++i)
        t += QStringLiteral("说明%1\n").arg(i);
    t += QStringLiteral("交易时间,交易类型,交易对方,商品,收/支,金额(元),支付方式,当前状态,交易单号,商户单号,备注\n");
    for (std::size_t i = 0; i < records.size(); ++i) {
        const BillRecord& b = records[i];
        t += QStringLiteral("%1 12:00:00,商户消费,%2,%3,%4,¥%5,零钱,支付成功,42000%6\t,\t,/\n")
                 .arg(b.date, b.counterparty, b.item, b.income ? QStringLiteral("收入") : QStringLiteral("支出"))
                 .arg(b.amount, 0, 'f', 2)
                 .arg(i, 10, 10, QChar(u'0'));
    }
    QFile f(path);
    if (f.open(QIODevice::WriteOnly))
        f.write(QByteArray("\xEF\xBB\xBF") + t.toUtf8());
}

// The same records as a bank's statement in a layout the program does not know: debit and credit
// columns, a balance, the totals after the rows.
void writeStatement(const QString& path, const std::vector<BillRecord>& records)
{
    QString t = QStringLiteral("交易流水\n账号: 6222 ****\n交易日期,交易时间,摘要,对方户名,支出金额,存入金额,余额\n");
    double balance = 0;
    for (const BillRecord& b : records) {
        balance += b.income ? b.amount : -b.amount;
        const QString amount = QString::number(b.amount, 'f', 2);
        t += QStringLiteral("%1,12:00:00,%2,%3,%4,%5,%6\n")
                 .arg(b.date, b.item, b.counterparty, b.income ? QString() : amount, b.income ? amount : QString())
                 .arg(balance, 0, 'f', 2);
    }
    t += QStringLiteral("合计,,,,,,\n");
    QFile f(path);
    if (f.open(QIODevice::WriteOnly))
        f.write(t.toUtf8());
}

// The same statement as an Excel workbook (.xlsx): texts as shared strings, amounts as numbers.
void writeStatementWorkbook(const QString& csvPath, const QString& path)
{
    QFile csv(csvPath);
    if (!csv.open(QIODevice::ReadOnly))
        return;
    QStringList strings;
    QHash<QString, int> stringAt;
    QString sheet = QStringLiteral("<?xml version=\"1.0\"?><worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><sheetData>");
    const QStringList lines = QString::fromUtf8(csv.readAll()).split(u'\n');
    for (int r = 0; r < lines.size(); ++r) {
        sheet += QStringLiteral("<row r=\"%1\">").arg(r + 1);
        const QStringList cells = lines[r].split(u',');
        for (int c = 0; c < cells.size() && c < 26; ++c) {
            const QString& text = cells[c];
            if (text.isEmpty())
                continue;
            const QString at = QString(QChar(u'A' + c)) + QString::number(r + 1);
            bool number = false;
            text.toDouble(&number);
            if (number) {
                sheet += QStringLiteral("<c r=\"%1\"><v>%2</v></c>").arg(at, text);
                continue;
            }
            auto known = stringAt.constFind(text);
            if (known == stringAt.constEnd()) {
                known = stringAt.insert(text, static_cast<int>(strings.size()));
                strings << text.toHtmlEscaped();
            }
            sheet += QStringLiteral("<c r=\"%1\" t=\"s\"><v>%2</v></c>").arg(at).arg(known.value());
        }
        sheet += QStringLiteral("</row>");
    }
    sheet += QStringLiteral("</sheetData></worksheet>");
    const QString shared = QStringLiteral("<?xml version=\"1.0\"?><sst xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><si><t>")
                           + strings.join(QStringLiteral("</t></si><si><t>")) + QStringLiteral("</t></si></sst>");
    QuaZip zip(path);
    if (!zip.open(QuaZip::mdCreate))
        return;
    for (const auto& [name, bytes] : {std::pair{QStringLiteral("[Content_Types].xml"), QByteArray("<Types/>")},
                                      std::pair{QStringLiteral("xl/sharedStrings.xml"), shared.toUtf8()},
                                      std::pair{QStringLiteral("xl/worksheets/sheet1.xml"), sheet.toUtf8()}}) {
        QuaZipFile file(&zip);
        file.open(QIODevice::WriteOnly, QuaZipNewInfo(name));
        file.write(bytes);
        file.close();
    }
    zip.close();
}

// The same statement as an old Excel workbook (.xls, BIFF8), written by a Debian-packaged Perl module
// (tools/bench/statement-xls.pl); false when it is not installed.
bool writeStatementOldWorkbook(const QString& csvPath, const QString& path)
{
    return QProcess::execute(QStringLiteral("perl"), {QStringLiteral(KINBOOK_BENCH_DIR "/statement-xls.pl"), csvPath, path}) == 0
           && QFile::exists(path);
}

// The keys the import keeps for statement rows, of their length and form, made before the floor's
// clock starts.
QStringList statementKeys(const std::vector<BillRecord>& records)
{
    QStringList out;
    for (std::size_t i = 0; i < records.size(); ++i)
        out << QStringLiteral("#%1%2-1").arg(QString(records[i].date).remove(u'-')).arg(i * 2654435761ULL % 1000000000000ULL, 24, 16, QChar(u'0'));
    return out;
}

// 导入账单 of `file` as a user does it: the file chosen, read and previewed, the member picked (the
// types are remembered from an earlier import), 导入 pressed; what was posted is taken away again. The
// automatic backup before posting, as the window timed it, is taken off and goes to `backup`. A
// statement's columns are named once, before the first run.
double importBill(sqlite3* raw, const QString& file, Row& backup, bool& columnsNamed)
{
    if (!columnsNamed) {
        // The columns the window guesses from the header, confirmed; then the import given up.
        QTimer::singleShot(0, [] {
            if (auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
                clickButton(d, QStringLiteral("cmdok"));
        });
        g_script.queueFileChoice(file);
        delete window(QStringLiteral("frmImport"));
        columnsNamed = true;
    }
    g_script.queueFileChoice(file);
    const double t0 = nowMs();
    std::unique_ptr<QDialog> w(window(QStringLiteral("frmImport")));
    if (!w)
        return -1.0;
    // The picker's first member, " 确认 " as soon as it shows.
    QTimer::singleShot(0, [] {
        if (auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
            if (auto* ok = d->findChild<QAction*>(QStringLiteral("ok")))
                ok->trigger();
    });
    clickButton(w.get(), QStringLiteral("cmdfindt"));
    clickButton(w.get(), QStringLiteral("cmdimport"));
    const double t = nowMs() - t0;
    const auto* window = qobject_cast<BillImportWindow*>(w.get());
    const double backupMs = window ? window->backupMilliseconds() : -1.0;
    sqlite3_exec(raw,
                 "delete from 收入帐 where rowid in (select 行号 from 导入交易 where 帐 = '收入帐');"
                 "delete from 支出帐 where rowid in (select 行号 from 导入交易 where 帐 = '支出帐');"
                 "delete from 导入交易;",
                 nullptr, nullptr, nullptr);
    if (backupMs < 0)
        return -1.0;  // nothing was posted
    backup.project.runs.push_back(backupMs);
    return t - backupMs;
}

// The floor of an import: the same records inserted with the C API in one transaction, and with
// `keys` each record's import key beside it (as a statement's rows are kept). Each record gets the
// member and the type the import gives it (the first member; the type remembered for its counterparty,
// as the bench stores them), and its values are made before the clock starts.
double insertRecords(sqlite3* raw, const std::vector<BillRecord>& records, const QStringList& keys = {})
{
    const QStringList last = QStringList{QString::number(lastRowid(raw, "收入帐")), QString::number(lastRowid(raw, "支出帐"))};
    struct Values {
        QByteArray type, date, note, key;
        int month;
    };
    std::vector<Values> values;
    values.reserve(records.size());
    for (std::size_t i = 0; i < records.size(); ++i) {
        const BillRecord& b = records[i];
        const int party = QStringView(b.counterparty).mid(2).toInt();
        const QByteArray type = b.income ? "i" + QByteArray::number(party % 30 + 1) : "e" + QByteArray::number(party % 40 + 1);
        values.push_back({type, b.date.toUtf8(), (b.counterparty + u' ' + b.item).toUtf8(),
                          i < static_cast<std::size_t>(keys.size()) ? keys[static_cast<qsizetype>(i)].toUtf8() : QByteArray(),
                          QDate::fromString(b.date, Qt::ISODate).month()});
    }
    const double t0 = nowMs();
    sqlite3_exec(raw, "begin", nullptr, nullptr, nullptr);
    sqlite3_stmt* st[2] = {nullptr, nullptr};
    sqlite3_prepare_v2(raw, "insert into 收入帐 (成员ID, 类型ID, 金额, 日期, 备注, 月份) values ('m1', ?, ?, ?, ?, ?)", -1, &st[0], nullptr);
    sqlite3_prepare_v2(raw, "insert into 支出帐 (成员ID, 类型ID, 金额, 日期, 备注, 月份) values ('m1', ?, ?, ?, ?, ?)", -1, &st[1], nullptr);
    sqlite3_stmt* key = nullptr;
    sqlite3_prepare_v2(raw, "insert into 导入交易 (来源, 交易号, 帐, 行号) values ('银行', ?, ?, ?)", -1, &key, nullptr);
    for (std::size_t i = 0; i < records.size(); ++i) {
        const BillRecord& b = records[i];
        const Values& v = values[i];
        sqlite3_stmt* s = st[b.income ? 0 : 1];
        sqlite3_bind_text(s, 1, v.type.constData(), static_cast<int>(v.type.size()), SQLITE_STATIC);
        sqlite3_bind_double(s, 2, b.amount);
        sqlite3_bind_text(s, 3, v.date.constData(), static_cast<int>(v.date.size()), SQLITE_STATIC);
        sqlite3_bind_text(s, 4, v.note.constData(), static_cast<int>(v.note.size()), SQLITE_STATIC);
        sqlite3_bind_int(s, 5, v.month);
        sqlite3_step(s);
        sqlite3_reset(s);
        if (!v.key.isEmpty()) {
            sqlite3_bind_text(key, 1, v.key.constData(), static_cast<int>(v.key.size()), SQLITE_STATIC);
            sqlite3_bind_text(key, 2, b.income ? "收入帐" : "支出帐", -1, SQLITE_STATIC);
            sqlite3_bind_int64(key, 3, sqlite3_last_insert_rowid(raw));
            sqlite3_step(key);
            sqlite3_reset(key);
        }
    }
    sqlite3_finalize(st[0]);
    sqlite3_finalize(st[1]);
    sqlite3_finalize(key);
    sqlite3_exec(raw, "commit", nullptr, nullptr, nullptr);
    const double t = nowMs() - t0;
    const QString removal =
        QStringLiteral("delete from 收入帐 where rowid > %1; delete from 支出帐 where rowid > %2; delete from 导入交易 where 来源 = '银行';")
            .arg(last[0], last[1]);
    sqlite3_exec(raw, removal.toUtf8().constData(), nullptr, nullptr, nullptr);
    return t;
}

// 导入账单 of one statement or bill in a fresh process, for /usr/bin/time and heaptrack: an empty
// household file in a folder of its own (one member, one income and one expense type), the file
// chosen, its columns confirmed as the window offers them, the member and each counterparty's type
// picked, 导入 pressed. Prints the time, the rows posted and how far the peak resident size rose.
int importOnce(const QString& file)
{
    QTemporaryDir folder;
    QFile schemaFile(QStringLiteral(KINBOOK_SCHEMA));
    std::string error;
    if (!folder.isValid() || !schemaFile.open(QIODevice::ReadOnly)
        || !EmptyFile::make(schemaFile.readAll().toStdString(), std::filesystem::path(folder.filePath(QStringLiteral("main.mdb")).toStdString()),
                            error))
        return 1;
    Platform::setProgramFolder(folder.path());
    if (!App::openConn())
        return 1;
    App::conn.execute(QStringLiteral("insert into 成员 (ID, 姓名, 关系, 密码) values ('m1', '张三', '', ''); insert into 收入类型 (ID, 类型, 备注) values ('i1', '工资', '');"
                                  "insert into 支出类型 (ID, 类型, 备注) values ('e1', '伙食', '');"));
    auto answerModal = [](const QString& control) {
        QTimer::singleShot(0, [control] {
            if (QWidget* d = QApplication::activeModalWidget())
                clickButton(d, control);
        });
    };
    malloc_trim(0);
    const long rssBefore = residentKiB();
    resetPeak();
    const double t0 = nowMs();
    answerModal(QStringLiteral("cmdok"));  // the columns of a statement, as offered
    g_script.queueFileChoice(file);
    std::unique_ptr<QDialog> w(window(QStringLiteral("frmImport")));
    const double read = nowMs() - t0;
    if (!w) {
        const QList<ScriptedAnswers::Message> shown = g_script.messages();
        std::printf("not read in %.0f ms: %s\n", read, shown.isEmpty() ? "" : qPrintable(shown.last().text));
        std::printf("peak resident size rose by %ld KiB\n", peakResidentKiB() - rssBefore);
        return 1;
    }
    answerModal(QStringLiteral("ok"));
    clickButton(w.get(), QStringLiteral("cmdfindt"));
    auto* parties = w->findChild<QTableView*>(QStringLiteral("dgparty"));
    for (const QString& kind : {QStringLiteral("收入"), QStringLiteral("支出")}) {
        parties->clearSelection();
        for (int row = 0; row < parties->model()->rowCount(); ++row)
            if (parties->model()->index(row, 0).data().toString() == kind)
                parties->selectionModel()->select(parties->model()->index(row, 0),
                                                  QItemSelectionModel::Select | QItemSelectionModel::Rows);
        if (parties->selectionModel()->hasSelection()) {
            answerModal(QStringLiteral("ok"));
            clickButton(w.get(), QStringLiteral("cmdfindo"));
        }
    }
    clickButton(w.get(), QStringLiteral("cmdimport"));
    const double all = nowMs() - t0;
    const QList<ScriptedAnswers::Message> shown = g_script.messages();
    std::printf("read and previewed in %.0f ms, posted after %.0f ms: %s\n", read, all,
                shown.isEmpty() ? "" : qPrintable(shown.last().text.section(u'\n', 0, 0)));
    std::printf("peak resident size rose by %ld KiB\n", peakResidentKiB() - rssBefore);
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setApplicationName(App::appTitle);
    App::registerAllWindows();
    App::setAnswerer(&g_script);
    QUndoStack undoSteps;  // the corrections and deletions of the query windows driven
    Undo::setStack(&undoSteps);
    if (const qsizetype once = app.arguments().indexOf(QStringLiteral("--once")); once > 0 && once + 2 < app.arguments().size()) {
        if (app.arguments()[once + 1] == QLatin1String("import"))
            return importOnce(app.arguments()[once + 2]);
        return runOnce(app.arguments()[once + 1], app.arguments()[once + 2]);
    }

    QList<int> sizes = {10000, 100000, 1000000};
    QString data = QDir::currentPath() + QStringLiteral("/bench-data");
    int repeat = 7;
    QString check;  // a saved table to compare this run with
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); i += 2) {
        if (args[i] == QLatin1String("--sizes")) {
            sizes.clear();
            for (const QString& s : args[i + 1].split(u','))
                sizes << s.toInt();
        } else if (args[i] == QLatin1String("--data")) {
            data = args[i + 1];
        } else if (args[i] == QLatin1String("--only")) {
            measureOnly(args[i + 1]);
        } else if (args[i] == QLatin1String("--check")) {
            check = args[i + 1];
        } else if (args[i] == QLatin1String("--repeat")) {
            repeat = std::max(1, args[i + 1].toInt());
        }
    }
    QDir().mkpath(data);
    const int year = App::today().year();

    std::vector<Row> table;
    std::vector<Memory> memory;
    for (const int size : sizes) {
        const QString source = QStringLiteral("%1/ledger-%2-%3.mdb").arg(data).arg(size).arg(year);
        if (!QFile::exists(source)) {
            std::fprintf(stderr, "bench: generating %d records...\n", size);
            const int rc = QProcess::execute(QStringLiteral(KINBOOK_GENDB),
                                             {QStringLiteral("--seed"), QStringLiteral("1"), QStringLiteral(KINBOOK_SCHEMA),
                                              source, QString::number(size)});
            if (rc != 0)
                return 1;
        }
        const QString folder = data + QStringLiteral("/run");
        QDir(folder).removeRecursively();
        QDir().mkpath(folder);
        const QString dbFile = folder + QStringLiteral("/main.mdb");
        QFile::copy(source, dbFile);
        Platform::setProgramFolder(folder);
        App::closeConn();
        if (!App::openConn())
            return 1;
        sqlite3* raw = nullptr;
        sqlite3_open_v2(dbFile.toUtf8().constData(), &raw, SQLITE_OPEN_READWRITE, nullptr);
        sqlite3_busy_timeout(raw, 5000);
        PinyinOrder::registerOn(raw);  // the windows' statements order names in Chinese order
        // The floors of the exact totals read the file as the program does, with its page checks.
        sqlite3* checked = nullptr;
        sqlite3_open_v2(dbFile.toUtf8().constData(), &checked, SQLITE_OPEN_READONLY, nullptr);
        if (applySafeSettings(checked) != SQLITE_OK)
            std::fprintf(stderr, "bench: cannot apply the safe settings: %s\n", sqlite3_errmsg(checked));

        {
            // Memory of a loaded income query: the heap it keeps per record beyond the texts it
            // shows, and how far the process's peak resident size rose while it loaded, beyond those
            // texts, per record. Measured on a second load: the first one brings in what is loaded
            // once per run (code, fonts, the engine's page cache).
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
            const double texts = rs ? static_cast<double>(rs->textBytes()) : 0;
            if (rows > 0) {
                Memory m{size, rows, (static_cast<double>(after) - static_cast<double>(before) - texts) / rows, -1,
                         static_cast<double>(rs->overheadBytes()) / rows};
                if (peakReset)
                    m.peak = (static_cast<double>(peakAfter - rssBefore) * 1024.0 - texts) / rows;
                memory.push_back(m);
            }
        }

        // One member and one type with many records, and the last whole year.
        const QDate from(year - 1, 1, 1), to(year - 1, 12, 31);
        const QString member = QStringLiteral("m7"), type = QStringLiteral("i3");

        std::fprintf(stderr, "bench: %d records\n", size);
        {
            // The window shows its first rows when it has been created; the rest, and the total,
            // arrive while the event loop runs.
            Row first{QStringLiteral("收入状况: first screen of rows (against the floor's whole load)"), size};
            Row r{QStringLiteral("收入状况: load, all records and total"), size};
            measure(
                r, repeat,
                [&] {
                    const double t0 = nowMs();
                    std::unique_ptr<QDialog> w(window(QStringLiteral("frmquery_sr")));
                    first.project.runs.push_back(nowMs() - t0);
                    waitLoaded(w.get());
                    const double t = nowMs() - t0;
                    if (auto* l = w ? w->findChild<QLabel*>(QStringLiteral("lblJE")) : nullptr)
                        r.note = l->text();
                    return t;
                },
                stepping(raw, {kIncomeFloor + QStringLiteral(" order by 成员.姓名")}),
                stepping(raw, {kIncomeHead + QStringLiteral(" order by ") + inChineseOrder(QStringLiteral("成员.姓名"))}));
            first.floor = r.floor;
            for (std::size_t i = 0; i < first.project.runs.size() && i < r.floor.runs.size(); ++i)
                first.ratio.runs.push_back(first.project.runs[i] / r.floor.runs[i]);
            table.push_back(first);
            table.push_back(r);
        }
        {
            // A loaded grid of every income record: jump to the end, select the last row, draw it.
            Row r{QStringLiteral("收入状况: grid to the last row, select, draw"), size};
            std::unique_ptr<QDialog> w(window(QStringLiteral("frmquery_sr")));
            waitLoaded(w.get());
            auto* grid = w ? w->findChild<QTableView*>(QStringLiteral("DG")) : nullptr;
            if (grid) {
                w->resize(800, 600);
                w->show();
                QApplication::processEvents();
                measure(
                    r, repeat,
                    [&] {
                        const double t0 = nowMs();
                        grid->scrollToBottom();
                        grid->selectRow(grid->model()->rowCount() - 1);
                        grid->scrollToTop();
                        grid->selectRow(grid->model()->rowCount() / 2);
                        grid->repaint();
                        QApplication::processEvents();
                        return nowMs() - t0;
                    },
                    {});
                r.note = QStringLiteral("%1 rows").arg(grid->model()->rowCount());
                w->hide();
            }
            table.push_back(r);
        }
        {
            Row r{QStringLiteral("收入状况: member, type, one year"), size};
            const QString where = QStringLiteral(" where 成员.ID='%1' and 收入类型.ID='%2' and 收入帐.日期 between %3 and %4 order by %5")
                                      .arg(member, type, dateLiteral(from), dateLiteral(to), inChineseOrder(QStringLiteral("成员.姓名")));
            std::unique_ptr<QDialog> w(window(QStringLiteral("frmquery_sr")));
            waitLoaded(w.get());
            measure(
                r, repeat,
                [&] { return runQuery(w.get(), member, type, from, to); },
                stepping(raw, {binaryOrder(kIncomeFloor + where)}),
                stepping(raw, {kIncomeHead + where}));
            if (auto* l = w ? w->findChild<QLabel*>(QStringLiteral("lblJE")) : nullptr)
                r.note = l->text();
            table.push_back(r);
        }
        {
            // One type over twenty years, without a member: the engine sorts the rows by the member's
            // name, in pinyin order; the floor sorts them by their bytes.
            Row r{QStringLiteral("收入状况: one type, twenty years, names in pinyin order"), size};
            const QDate from20(year - 20, 1, 1), today = App::today();
            const QString where = QStringLiteral(" where 收入类型.ID='%1' and 收入帐.日期 between %2 and %3 order by 成员.姓名")
                                      .arg(type, dateLiteral(from20), dateLiteral(today));
            std::unique_ptr<QDialog> w(window(QStringLiteral("frmquery_sr")));
            waitLoaded(w.get());
            measure(
                r, repeat,
                [&] {
                    const double t = runQuery(w.get(), QString(), type, from20, today);
                    const Recordset* rs = waitLoaded(w.get());
                    r.note = QStringLiteral("%1 rows").arg(rs ? rs->rowCount() : 0);
                    return t;
                },
                stepping(raw, {binaryOrder(kIncomeFloor + where)}));
            table.push_back(r);
        }
        {
            // 备注包含 over the whole ledger (no member or type: every date), beside the same LIKE
            // stepped with the C API.
            Row r{QStringLiteral("收入状况: 备注包含 看病, whole ledger"), size};
            const QString where = QStringLiteral(" where 收入帐.备注 like '%看病%' escape '\\' order by 成员.姓名");
            std::unique_ptr<QDialog> w(window(QStringLiteral("frmquery_sr")));
            waitLoaded(w.get());
            measure(
                r, repeat,
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
                stepping(raw, {binaryOrder(kIncomeFloor + where)}));
            if (auto* l = w ? w->findChild<QLabel*>(QStringLiteral("lblJE")) : nullptr)
                r.note = l->text();
            table.push_back(r);
        }
        {
            // A correction and a deletion from the loaded result of every income record: the window
            // writes the one record, re-reads or drops its row and adds the total up again. The floor
            // is one UPDATE of the record by its rowid.
            Row edit{QStringLiteral("收入状况: correct one record of the loaded result (grid and total)"), size};
            Row del{QStringLiteral("收入状况: delete one record into the bin (grid and total)"), size};
            std::unique_ptr<QDialog> w(window(QStringLiteral("frmquery_sr")));
            Recordset* rs = waitLoaded(w.get());
            auto* grid = w ? w->findChild<QTableView*>(QStringLiteral("DG")) : nullptr;
            if (rs && grid && rs->rowCount() > 0) {
                grid->selectRow(rs->rowCount() / 2);
                const qint64 key = rs->keyAt(rs->position());
                sqlite3_stmt* update = nullptr;
                sqlite3_prepare_v2(raw, "UPDATE 收入帐 SET 金额 = ? WHERE rowid = ?", -1, &update, nullptr);
                int n = 0;
                const auto floor = [&] {
                    const double t0 = nowMs();
                    sqlite3_bind_double(update, 1, ++n % 2 ? 12.34 : 43.21);
                    sqlite3_bind_int64(update, 2, key);
                    sqlite3_step(update);
                    sqlite3_reset(update);
                    return nowMs() - t0;
                };
                measure(
                    edit, repeat,
                    [&] {
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
                        clickButton(w.get(), QStringLiteral("cmdedit"));
                        return t;
                    },
                    floor);
                measure(
                    del, repeat,
                    [&] {
                        g_script.queueAnswer(App::MsgAnswer::Ok);
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
            table.push_back(edit);
            table.push_back(del);
        }
        {
            // A header click on the loaded whole ledger, each column's first (its ranks computed), and
            // the CSV of every row beside writing the same bytes with fwrite.
            std::unique_ptr<QDialog> w(window(QStringLiteral("frmquery_sr")));
            waitLoaded(w.get());
            auto* grid = w ? w->findChild<DataGrid*>(QStringLiteral("DG")) : nullptr;
            const int rows = grid ? grid->model()->rowCount() : 0;
            const struct { int column; const char* what; } sorts[] = {
                {0, "收入状况: header sort by 姓名 (pinyin)"}, {2, "收入状况: header sort by 金额"}, {4, "收入状况: header sort by 备注 (pinyin)"}};
            for (const auto& sort : sorts) {
                Row r{QString::fromUtf8(sort.what), size};
                measure(
                    r, repeat,
                    [&] {
                        if (!grid)
                            return -1.0;
                        grid->sortByHeader(3);  // another column first: the next click computes its ranks anew
                        const double t0 = nowMs();
                        grid->sortByHeader(sort.column);
                        return nowMs() - t0;
                    },
                    {});
                r.note = QStringLiteral("%1 rows").arg(rows);
                table.push_back(r);
            }
            Row r{QStringLiteral("收入状况: 导出… CSV of every row (floor: fwrite of its bytes)"), size};
            const QString csv = folder + QStringLiteral("/export.csv"), plain = folder + QStringLiteral("/plain.csv");
            QByteArray bytes;
            measure(
                r, repeat,
                [&] {
                    if (!grid)
                        return -1.0;
                    g_script.queueFileChoice(csv);
                    const double t0 = nowMs();
                    GridExport::exportRows(grid, QStringLiteral("收入"), w.get());
                    const double t = nowMs() - t0;
                    g_script.clearMessages();
                    return t;
                },
                [&] {
                    if (bytes.isEmpty()) {
                        QFile f(csv);
                        if (!f.open(QIODevice::ReadOnly))
                            return -1.0;
                        bytes = f.readAll();
                    }
                    const double t0 = nowMs();
                    FILE* out = std::fopen(QFile::encodeName(plain).constData(), "wb");
                    if (!out)
                        return -1.0;
                    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), out);
                    std::fclose(out);
                    return nowMs() - t0;
                });
            r.note = QStringLiteral("%1 rows, %2 MB").arg(rows).arg(static_cast<double>(QFileInfo(csv).size()) / 1e6, 0, 'f', 1);
            table.push_back(r);
            // The same file written the plain way: each cell of the loaded rows formatted by stdio
            // (snprintf) and written with fwrite, no quoting needed by these cells.
            Row loop{QStringLiteral("收入状况: 导出… CSV of every row (floor: stdio loop over the cells)"), size};
            loop.project = r.project;
            measure(loop, repeat, {}, [&] {
                const Recordset* rs = grid ? grid->recordset() : nullptr;
                FILE* out = rs ? std::fopen(QFile::encodeName(plain).constData(), "wb") : nullptr;
                if (!out)
                    return -1.0;
                const double t0 = nowMs();
                std::fwrite("\xEF\xBB\xBF", 1, 3, out);
                char buf[64];
                for (int row = 0; row < rs->rowCount(); ++row) {
                    for (int c = 0; c < rs->fieldCount(); ++c) {
                        if (c)
                            std::fputc(',', out);
                        const Snapshot::Raw cell = rs->snapshot().raw(row, c);
                        if (cell.type == Snapshot::CellType::Text)
                            std::fwrite(cell.text.data(), 1, static_cast<std::size_t>(cell.text.size()), out);
                        else if (cell.type == Snapshot::CellType::Money)
                            std::fwrite(buf, 1, static_cast<std::size_t>(std::snprintf(buf, sizeof buf, "%.2f", static_cast<double>(cell.number) / 1e4)), out);
                    }
                    std::fwrite("\r\n", 1, 2, out);
                }
                std::fclose(out);
                return nowMs() - t0;
            });
            for (std::size_t i = 0; i < loop.project.runs.size() && i < loop.floor.runs.size(); ++i)
                loop.ratio.runs.push_back(loop.project.runs[i] / loop.floor.runs[i]);
            loop.note = r.note;
            table.push_back(loop);
            QFile::remove(csv);
            QFile::remove(plain);
        }
        {
            Row r{QStringLiteral("银行存取记录: load"), size};
            measure(
                r, repeat,
                [&] {
                    const double t0 = nowMs();
                    std::unique_ptr<QDialog> w(window(QStringLiteral("frmquery_yh")));
                    waitLoaded(w.get());
                    return nowMs() - t0;
                },
                stepping(raw, {kBankFloor + QStringLiteral(" order by 银行.开户行")}),
                stepping(raw, {kBankHead + QStringLiteral(" order by ") + inChineseOrder(QStringLiteral("银行.开户行"))}));
            table.push_back(r);
        }
        {
            // The exact figures: the floor adds up the same amounts with the C API (exactfloor.h),
            // on a connection with the program's page checks, and must come to the same totals.
            Row r{QStringLiteral("资产统计: 统计"), size};
            std::unique_ptr<QDialog> w(window(QStringLiteral("frmcurt")));
            const QStringList written = {
                QStringLiteral("select sum(金额)as z from 收入帐"), QStringLiteral("select sum(金额)as z from 支出帐"),
                QStringLiteral("select sum(金额)as z from 银行帐 where 存或取='存入'"),
                QStringLiteral("select sum(金额)as z from 银行帐 where 存或取='支出'"),
                QStringLiteral("select sum(余额)as z from 负债 where 类型='欠人'"),
                QStringLiteral("select sum(余额)as z from 负债 where 类型='人欠'"), QStringLiteral("select sum(金额)as z from 投资帐")};
            const ExactFloor floor = ExactFloor::assets(checked);
            measure(
                r, repeat,
                [&] {
                    if (!w)
                        return -1.0;
                    const double t0 = nowMs();
                    clickButton(w.get(), QStringLiteral("Command1"));
                    return nowMs() - t0;
                },
                floor, stepping(raw, written));
            if (w && !r.project.empty()) {
                QStringList shown;
                for (const char* label : {"lblxf_1", "lblxf_2", "lblyh_3", "lblyh_4", "lblyh_8", "lblyh_7", "lblyh_12"})
                    if (auto* l = w->findChild<QLabel*>(QString::fromUtf8(label)))
                        shown << plainTotal(l->text());
                r.note = QStringLiteral("%1; floor: %2").arg(sameTotals(shown, floor), QString::fromStdString(floor.way()));
            }
            table.push_back(r);
        }
        {
            Row r{QStringLiteral("年终处理: 汇总"), size};
            const ExactFloor floor = ExactFloor::year(checked, year);
            QStringList shown;
            measure(
                r, repeat,
                [&] {
                    App::setToday(QDate(year, 12, 1));  // December: no question
                    std::unique_ptr<QDialog> w(window(QStringLiteral("frmYear")));
                    const double t0 = nowMs();
                    if (w)
                        clickButton(w.get(), QStringLiteral("Command1"));
                    const double t = nowMs() - t0;
                    App::setToday(QDate());
                    shown = monthTotals(w.get());
                    return w ? t : -1.0;
                },
                floor, stepping(raw, {QStringLiteral("select 查询.\"月份.月份\" as 月份,收入总额,支出总额,投资总额 from 查询")}));
            if (!r.project.empty())
                r.note = QStringLiteral("%1; floor: %2").arg(sameTotals(shown, floor), QString::fromStdString(floor.way()));
            table.push_back(r);
        }
        {
            // Another year than this one: the same sums with the year bound, through the date
            // indexes. The chart is redrawn from the event loop afterwards (measured below).
            Row r{QStringLiteral("年终处理: 汇总 of last year"), size};
            std::unique_ptr<QDialog> w(window(QStringLiteral("frmYear")));
            auto* years = w ? w->findChild<QComboBox*>(QStringLiteral("cboYear")) : nullptr;
            const ExactFloor floor = ExactFloor::year(checked, year - 1);
            QStringList shown;
            measure(
                r, repeat,
                [&] {
                    if (!years)
                        return -1.0;
                    years->setCurrentIndex(years->findData(year - 1));
                    const double t0 = nowMs();
                    clickButton(w.get(), QStringLiteral("Command1"));  // a past year: no question
                    const double t = nowMs() - t0;
                    shown = monthTotals(w.get());
                    w.reset(window(QStringLiteral("frmYear")));
                    years = w ? w->findChild<QComboBox*>(QStringLiteral("cboYear")) : nullptr;
                    return t;
                },
                floor);
            if (!r.project.empty())
                r.note = QStringLiteral("%1; floor: %2").arg(sameTotals(shown, floor), QString::fromStdString(floor.way()));
            table.push_back(r);
        }
        {
            // The year's chart: its series and axes made, and the whole chart drawn at the window's size.
            Row r{QStringLiteral("年终处理: year chart drawn"), size};
            std::unique_ptr<QDialog> w(window(QStringLiteral("frmYear")));
            auto* summary = qobject_cast<YearSummary*>(w.get());
            auto* view = w ? w->findChild<QChartView*>(QStringLiteral("chart")) : nullptr;
            if (summary && view) {
                if (auto* years = w->findChild<QComboBox*>(QStringLiteral("cboYear")))
                    years->setCurrentIndex(years->findData(year - 1));
                clickButton(w.get(), QStringLiteral("Command1"));
                w->show();
                QApplication::processEvents();
                const QList<MonthFigures> months = summary->months();
                measure(
                    r, repeat,
                    [&] {
                        const double t0 = nowMs();
                        drawYearChart(view->chart(), QStringLiteral("bench"), months);
                        const QPixmap drawn = view->grab();
                        return drawn.isNull() ? -1.0 : nowMs() - t0;
                    },
                    {});
                r.note = QStringLiteral("%1 x %2 px").arg(view->width()).arg(view->height());
            }
            table.push_back(r);
        }
        {
            // A PDF of 10,000 income records: laid out, paged, the ring chart after them, written
            // under a temporary name and renamed.
            Row r{QStringLiteral("收入状况: PDF of 10,000 rows"), size};
            Recordset rs;
            rs.open(App::conn, kIncomeFloor + QStringLiteral(" order by 成员.姓名 limit 10000"), Recordset::ReadOnly);
            RecordsetModel model(&rs);
            ReportContent content;
            content.title = QStringLiteral("收入状况匹配查询");
            content.about << QStringLiteral("条件：全部记录");
            content.table = &model;
            content.totals << QStringLiteral("共 %1 条记录").arg(rs.rowCount());
            const QList<ChartFigure> figures = totalsBy(rs, 1, 2, QStringLiteral("（无名称）"));
            content.chart = [&figures](QChart* c) { drawRingChart(c, QStringLiteral("按类型"), figures); };
            const QString pdf = folder + QStringLiteral("/bench.pdf");
            measure(
                r, repeat,
                [&] {
                    const double t0 = nowMs();
                    const auto done = PrintedReport::writePdf(content, pdf, nullptr, nullptr);
                    return done == PrintedReport::Outcome::Written ? nowMs() - t0 : -1.0;
                },
                {});
            r.note = QStringLiteral("%1 rows, %2 KB").arg(rs.rowCount()).arg(QFileInfo(pdf).size() / 1024);
            QFile::remove(pdf);
            table.push_back(r);
        }
        {
            Row r{QStringLiteral("收入帐录入: post 10,000 staged"), size};
            // Staged as the entry form stages them: each with its key from this computer's range.
            const QString stage = QStringLiteral(
                "with recursive n(i) as (select 1 union all select i+1 from n where i < 10000) "
                "insert into 收入临时 (成员ID, 类型ID, 金额, 日期, 备注, 月份, 编号) select 'm1','i1',12.5,'%1-03-05','bench',3, ? + i from n").arg(year);
            auto staged = [&] {
                Transaction tx(App::conn);
                const std::int64_t first = App::conn.sync() ? *App::conn.sync()->nextKey(QStringLiteral("收入临时")) : (std::int64_t(1) << 44);
                for (int i = 1; i < 10000 && App::conn.sync(); ++i)
                    App::conn.sync()->nextKey(QStringLiteral("收入临时"));
                Statement st(App::conn, stage);
                st.bindInt64(1, first - 1);
                st.step();
                tx.commit();
            };
            measure(
                r, repeat,
                [&] {
                    staged();
                    std::unique_ptr<QDialog> w(window(QStringLiteral("frmsrzhang")));
                    if (!w)
                        return -1.0;
                    const double t0 = nowMs();
                    clickButton(w.get(), QStringLiteral("exit"));
                    return nowMs() - t0;
                },
                [&] {
                    staged();
                    const double t0 = nowMs();
                    sqlite3_exec(raw, "begin; insert into 收入帐 select * from 收入临时; delete from 收入临时; commit;", nullptr,
                                 nullptr, nullptr);
                    return nowMs() - t0;
                },
                [&] {
                    staged();
                    const double t0 = nowMs();
                    sqlite3_exec(raw, "insert into 收入帐 select * from 收入临时", nullptr, nullptr, nullptr);
                    sqlite3_exec(raw, "delete from 收入临时", nullptr, nullptr, nullptr);
                    return nowMs() - t0;
                });
            table.push_back(r);
            sqlite3_exec(raw, "delete from 收入帐 where 备注='bench'", nullptr, nullptr, nullptr);
        }
        {
            // 导入账单 of a bill and of a bank's statement (its columns named once before), the backup
            // before posting reported apart (importBill); the floor: the same rows inserted with the C API.
            const std::vector<BillRecord> records = billRecords(10000, year);
            const QString bill = data + QStringLiteral("/bill-10000.csv"), statement = data + QStringLiteral("/statement-10000.csv");
            const QString workbook = data + QStringLiteral("/statement-10000.xlsx"), oldWorkbook = data + QStringLiteral("/statement-10000.xls");
            writeBill(bill, records);
            writeStatement(statement, records);
            writeStatementWorkbook(statement, workbook);
            QFile::remove(oldWorkbook);
            if (!writeStatementOldWorkbook(statement, oldWorkbook))
                std::fprintf(stderr, "bench: no .xls statement (perl's Spreadsheet::WriteExcel, Debian libspreadsheet-writeexcel-perl, is missing)\n");
            const QStringList keys = statementKeys(records);
            QString remember;
            for (int c = 0; c < 50; ++c)
                remember += QStringLiteral("insert or replace into 导入对方类型 values ('收入', '商户%1', 'i%2'), ('支出', '商户%1', 'e%3');")
                                .arg(c)
                                .arg(c % 30 + 1)
                                .arg(c % 40 + 1);
            sqlite3_exec(raw, remember.toUtf8().constData(), nullptr, nullptr, nullptr);
            // The program writes with SQLite's page checks on (each page's cells checked as it is
            // loaded), so the floors of the statements insert on a connection with the same settings;
            // what the checks cost is measured apart (the floor with them against the same without).
            sqlite3* checked = nullptr;
            sqlite3_open_v2(dbFile.toUtf8().constData(), &checked, SQLITE_OPEN_READWRITE, nullptr);
            sqlite3_busy_timeout(checked, 5000);
            if (applySafeSettings(checked) != SQLITE_OK)
                std::fprintf(stderr, "bench: cannot apply the safe settings: %s\n", sqlite3_errmsg(checked));
            // A statement's floor keeps each row's import key too.
            const struct {
                QString file, work, backupWork;
                bool columnsNamed;
                QStringList floorKeys;
            } imports[] = {
                {bill, QStringLiteral("导入账单: read, preview and post a 10,000-row bill (its backup apart)"),
                 QStringLiteral("导入账单: the automatic backup before posting"), true, {}},
                {statement, QStringLiteral("导入账单: read, preview and post a 10,000-row bank statement (its backup apart)"),
                 QStringLiteral("导入账单: the automatic backup before posting a statement"), false, keys},
                {workbook, QStringLiteral("导入账单: read, preview and post a 10,000-row bank statement as .xlsx (its backup apart)"),
                 QStringLiteral("导入账单: the automatic backup before posting a .xlsx statement"), true, keys},
                {oldWorkbook, QStringLiteral("导入账单: read, preview and post a 10,000-row bank statement as .xls (its backup apart)"),
                 QStringLiteral("导入账单: the automatic backup before posting a .xls statement"), true, keys},
            };
            for (auto imported : imports) {
                if (!QFile::exists(imported.file))
                    continue;
                Row r{imported.work, size};
                Row backup{imported.backupWork, size};
                sqlite3* floor = imported.floorKeys.isEmpty() ? raw : checked;
                measure(
                    r, repeat, [&] { return importBill(raw, imported.file, backup, imported.columnsNamed); },
                    [&] { return insertRecords(floor, records, imported.floorKeys); });
                const QList<ScriptedAnswers::Message> shown = g_script.messages();
                if (!shown.isEmpty())
                    r.note = shown.last().text.section(u'\n', 0, 0);
                table.push_back(r);
                table.push_back(backup);
            }
            {
                Row r{QStringLiteral("page checks: 导入账单 statement floor (10,000 rows and keys), with / without"), size};
                measure(
                    r, repeat, [&] { return insertRecords(checked, records, keys); }, [&] { return insertRecords(raw, records, keys); });
                table.push_back(r);
            }
            sqlite3_close(checked);
        }
        {
            Row r{QStringLiteral("登录: a new login opens main.mdb and lists the members"), size};
            // The login window's load opens the database and reads the member list. The file is
            // as the last session left it: the check and backup of a start (rows 启动) are not
            // made again.
            measure(
                r, repeat,
                [&] {
                    App::closeConn();
                    const double t0 = nowMs();
                    auto w = std::make_unique<LoginWindow>();
                    const double t = nowMs() - t0;
                    w.reset();  // closes the connection, as unloading the login does
                    return t;
                },
                [&] {
                    const double t0 = nowMs();
                    sqlite3* db = nullptr;
                    sqlite3_open_v2(dbFile.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
                    step(db, {QStringLiteral("select 姓名 from 成员")});
                    sqlite3_close(db);
                    return nowMs() - t0;
                });
            App::openConn();
            table.push_back(r);
        }
        benchPlans(raw, [&](const QString& work, const std::function<double()>& project, const std::function<double()>& floor) {
            Row r{work, size};
            measure(r, repeat, project, floor);
            table.push_back(r);
        });
        benchSync(raw, folder, year,
                  [&](const QString& work, const std::function<double()>& project, const std::function<double()>& floor,
                      const std::function<double()>& written, const QString& note) {
                      Row r{work, size};
                      measure(r, repeat, project, floor, written);
                      r.note = note;
                      table.push_back(r);
                  });
        sqlite3_close(checked);
        sqlite3_close(raw);
        {
            // The automatic backup at start, beside a plain copy of the file (what cp does) as the floor.
            Row r{QStringLiteral("启动: automatic backup into backups/"), size};
            const QString backups = folder + QStringLiteral("/backups");
            const QString plain = folder + QStringLiteral("/plain-copy.mdb");
            measure(
                r, repeat,
                [&] {
                    QDir(backups).removeRecursively();
                    const double t0 = nowMs();
                    Backup::makeDated(dbFile, backups, QDateTime::currentDateTime());
                    return nowMs() - t0;
                },
                [&] {
                    QFile::remove(plain);
                    const double t0 = nowMs();
                    std::filesystem::copy_file(dbFile.toStdString(), plain.toStdString());
                    return nowMs() - t0;
                });
            QFile::remove(plain);
            r.note = QStringLiteral("%1 MB").arg(static_cast<double>(QFileInfo(dbFile).size()) / 1e6, 0, 'f', 1);
            table.push_back(r);
        }
        {
            // The check at start: header, quick integrity check, tables and fields, version; the floor
            // is the engine's quick check of the file's structure alone.
            Row r{QStringLiteral("启动: check of main.mdb"), size};
            measure(
                r, repeat,
                [&] {
                    const double t0 = nowMs();
                    FileCheck::inspect(dbFile, Upgrade::newestVersion(), true);
                    return nowMs() - t0;
                },
                [&] {
                    sqlite3* db = nullptr;
                    sqlite3_open_v2(dbFile.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr);
                    const double t0 = nowMs();
                    step(db, {QStringLiteral("pragma ignore_check_constraints = on"), QStringLiteral("pragma quick_check")});
                    const double t = nowMs() - t0;
                    sqlite3_close(db);
                    return t;
                });
            table.push_back(r);
        }
        {
            // 恢复数据 as the menu does it: check the chosen backup, count, back up the current file,
            // copy beside main.mdb, rename, reopen. The floor: the two plain copies that it implies.
            Row r{QStringLiteral("恢复数据: restore a backup"), size};
            const QString chosen = data + QStringLiteral("/restore-%1.mdb").arg(size);
            QFile::remove(chosen);
            Backup::copy(dbFile, chosen, false);
            const QString plain = folder + QStringLiteral("/plain-copy.mdb");
            measure(
                r, repeat,
                [&] {
                    QDir(folder + QStringLiteral("/backups")).removeRecursively();
                    g_script.queueFileChoice(chosen);
                    g_script.queueAnswer(App::MsgAnswer::Ok);
                    const double t0 = nowMs();
                    const bool done = Safekeeping::restoreChosenBackup(nullptr);
                    const double t = nowMs() - t0;
                    return done ? t : -1.0;
                },
                [&] {
                    QFile::remove(plain);
                    const double t0 = nowMs();
                    std::filesystem::copy_file(dbFile.toStdString(), plain.toStdString());
                    std::filesystem::copy_file(chosen.toStdString(), plain.toStdString(),
                                               std::filesystem::copy_options::overwrite_existing);
                    return nowMs() - t0;
                });
            QFile::remove(plain);
            QFile::remove(chosen);
            table.push_back(r);
        }
        App::closeConn();
    }

    printReport(table, memory);
    if (!check.isEmpty() && checkAgainst(check, table, 0.15) < 0)
        return 1;
    return 0;
}
