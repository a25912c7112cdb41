// 导入账单 of a 10,000-row bill and of the same rows as a bank's statement (CSV, .xlsx, .xls), as a
// user imports them, beside the same records inserted with the C API; and one import in a fresh
// process for profilers (--once import FILE).
#include "driving.h"
#include "once.h"
#include "sizerun.h"
#include "statementfiles.h"

#include "connection.h"
#include "emptyfile.h"
#include "billimport.h"
#include "app.h"
#include "platform.h"
#include "scriptedanswers.h"
#include "session.h"
#include "safekeeping.h"

#include <QApplication>
#include <QDate>
#include <QDialog>
#include <QFile>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <filesystem>
#include <malloc.h>
#include <memory>
#include <sqlite3.h>

namespace Bench {

namespace {

long long lastRowid(sqlite3* db, const char* table)
{
    sqlite3_stmt* st = nullptr;
    const QByteArray sql = QByteArray("select coalesce(max(rowid), 0) from ") + table;
    sqlite3_prepare_v2(db, sql.constData(), -1, &st, nullptr);
    const long long id = sqlite3_step(st) == SQLITE_ROW ? sqlite3_column_int64(st, 0) : 0;
    sqlite3_finalize(st);
    return id;
}

// Clicks `control` of the modal dialog that shows next, once it shows.
void answerModal(const QString& control)
{
    QTimer::singleShot(0, [control] {
        if (QWidget* d = QApplication::activeModalWidget())
            clickButton(d, control);
    });
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
        script().queueFileChoice(file);
        delete window(QStringLiteral("frmImport"));
        columnsNamed = true;
    }
    script().queueFileChoice(file);
    // The automatic backup before the posting, timed apart from the import: the frame's backup, wrapped.
    double backupMs = -1.0;
    App::setBackupBeforeChange([&backupMs](QString* failure) {
        const double b0 = nowMs();
        const QString made = Safekeeping::backupBeforeChange(failure);
        backupMs = nowMs() - b0;
        return made;
    });
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
    App::setBackupBeforeChange(&Safekeeping::backupBeforeChange);
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

// The values of the records as the floor binds them: each with the member and the type the import
// gives it (the first member; the type remembered for its counterparty, as the bench stores them),
// and with `keys` each record's import key.
struct FloorValues {
    QByteArray type, date, note, key;
    int month;
};
std::vector<FloorValues> floorValues(const std::vector<BillRecord>& records, const QStringList& keys)
{
    std::vector<FloorValues> values;
    values.reserve(records.size());
    for (std::size_t i = 0; i < records.size(); ++i) {
        const BillRecord& b = records[i];
        const int party = QStringView(b.counterparty).mid(2).toInt();
        const QByteArray type = b.income ? "i" + QByteArray::number(party % 30 + 1) : "e" + QByteArray::number(party % 40 + 1);
        values.push_back({type, b.date.toUtf8(), (b.counterparty + u' ' + b.item).toUtf8(),
                          i < static_cast<std::size_t>(keys.size()) ? keys[static_cast<qsizetype>(i)].toUtf8() : QByteArray(),
                          QDate::fromString(b.date, Qt::ISODate).month()});
    }
    return values;
}

// The floor of an import: the same records inserted with the C API in one transaction, and with
// `keys` each record's import key beside it (as a statement's rows are kept). The values are made
// before the clock starts; the records are taken away after it stops.
double insertRecords(sqlite3* raw, const std::vector<BillRecord>& records, const QStringList& keys = {})
{
    const QStringList last = QStringList{QString::number(lastRowid(raw, "收入帐")), QString::number(lastRowid(raw, "支出帐"))};
    const std::vector<FloorValues> values = floorValues(records, keys);
    const double t0 = nowMs();
    sqlite3_exec(raw, "begin", nullptr, nullptr, nullptr);
    sqlite3_stmt* st[2] = {nullptr, nullptr};
    sqlite3_prepare_v2(raw, "insert into 收入帐 (成员ID, 类型ID, 金额, 日期, 备注, 月份) values ('m1', ?, ?, ?, ?, ?)", -1, &st[0], nullptr);
    sqlite3_prepare_v2(raw, "insert into 支出帐 (成员ID, 类型ID, 金额, 日期, 备注, 月份) values ('m1', ?, ?, ?, ?, ?)", -1, &st[1], nullptr);
    sqlite3_stmt* key = nullptr;
    sqlite3_prepare_v2(raw, "insert into 导入交易 (来源, 交易号, 帐, 行号) values ('银行', ?, ?, ?)", -1, &key, nullptr);
    for (std::size_t i = 0; i < records.size(); ++i) {
        const BillRecord& b = records[i];
        const FloorValues& v = values[i];
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

// One file imported, as the rows `work` and `backupWork`; a floor with `floorKeys` inserts them on
// the connection with the page checks, one without on the plain one.
struct ImportCase {
    QString file, work, backupWork;
    bool columnsNamed;
    QStringList floorKeys;
};

// The bill and the statement in each of its forms, written into the data folder, and the type
// remembered for each counterparty.
std::vector<ImportCase> importCases(const SizeRun& run, const std::vector<BillRecord>& records, const QStringList& keys)
{
    const QString bill = run.data + QStringLiteral("/bill-10000.csv"), statement = run.data + QStringLiteral("/statement-10000.csv");
    const QString workbook = run.data + QStringLiteral("/statement-10000.xlsx"), oldWorkbook = run.data + QStringLiteral("/statement-10000.xls");
    writeBill(bill, records);
    writeStatement(statement, records);
    writeStatementWorkbook(statement, workbook);
    QFile::remove(oldWorkbook);
    if (!writeStatementOldWorkbook(statement, oldWorkbook))
        std::fprintf(stderr, "bench: no .xls statement (perl's Spreadsheet::WriteExcel, Debian libspreadsheet-writeexcel-perl, is missing)\n");
    QString remember;
    for (int c = 0; c < 50; ++c)
        remember += QStringLiteral("insert or replace into 导入对方类型 values ('收入', '商户%1', 'i%2'), ('支出', '商户%1', 'e%3');")
                        .arg(c)
                        .arg(c % 30 + 1)
                        .arg(c % 40 + 1);
    sqlite3_exec(run.raw, remember.toUtf8().constData(), nullptr, nullptr, nullptr);
    // A statement's floor keeps each row's import key too.
    return {
        {bill, QStringLiteral("导入账单: read, preview and post a 10,000-row bill (its backup apart)"),
         QStringLiteral("导入账单: the automatic backup before posting"), true, {}},
        {statement, QStringLiteral("导入账单: read, preview and post a 10,000-row bank statement (its backup apart)"),
         QStringLiteral("导入账单: the automatic backup before posting a statement"), false, keys},
        {workbook, QStringLiteral("导入账单: read, preview and post a 10,000-row bank statement as .xlsx (its backup apart)"),
         QStringLiteral("导入账单: the automatic backup before posting a .xlsx statement"), true, keys},
        {oldWorkbook, QStringLiteral("导入账单: read, preview and post a 10,000-row bank statement as .xls (its backup apart)"),
         QStringLiteral("导入账单: the automatic backup before posting a .xls statement"), true, keys},
    };
}

}  // namespace

// 导入账单 of a bill and of a bank's statement (its columns named once before), the backup before
// posting reported apart (importBill); the floor: the same rows inserted with the C API.
void benchImports(const SizeRun& run)
{
    const std::vector<BillRecord> records = billRecords(10000, run.year);
    const QStringList keys = statementKeys(records);
    const std::vector<ImportCase> imports = importCases(run, records, keys);
    // The program writes with SQLite's page checks on (each page's cells checked as it is loaded),
    // so the floors of the statements insert on a connection with the same settings; what the
    // checks cost is measured apart (the floor with them against the same without).
    sqlite3* checked = nullptr;
    sqlite3_open_v2(run.dbFile.toUtf8().constData(), &checked, SQLITE_OPEN_READWRITE, nullptr);
    sqlite3_busy_timeout(checked, 5000);
    if (applySafeSettings(checked) != SQLITE_OK)
        std::fprintf(stderr, "bench: cannot apply the safe settings: %s\n", sqlite3_errmsg(checked));
    for (auto imported : imports) {
        if (!QFile::exists(imported.file))
            continue;
        Row r{imported.work, run.size};
        Row backup{imported.backupWork, run.size};
        sqlite3* floor = imported.floorKeys.isEmpty() ? run.raw : checked;
        measure(
            r, run.repeat, [&] { return importBill(run.raw, imported.file, backup, imported.columnsNamed); },
            [&] { return insertRecords(floor, records, imported.floorKeys); });
        const QList<ScriptedAnswers::Message> shown = script().messages();
        if (!shown.isEmpty())
            r.note = shown.last().text.section(u'\n', 0, 0);
        run.add(r);
        run.add(backup);
    }
    Row r{QStringLiteral("page checks: 导入账单 statement floor (10,000 rows and keys), with / without"), run.size};
    measure(
        r, run.repeat, [&] { return insertRecords(checked, records, keys); }, [&] { return insertRecords(run.raw, records, keys); });
    run.add(r);
    sqlite3_close(checked);
}

}  // namespace Bench

using namespace Bench;

namespace {

// Each counterparty of `kind` selected in the preview and given the first type offered.
void chooseTypes(QDialog* w, const QString& kind)
{
    auto* parties = w->findChild<QTableView*>(QStringLiteral("dgparty"));
    parties->clearSelection();
    for (int row = 0; row < parties->model()->rowCount(); ++row)
        if (parties->model()->index(row, 0).data().toString() == kind)
            parties->selectionModel()->select(parties->model()->index(row, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    if (parties->selectionModel()->hasSelection()) {
        answerModal(QStringLiteral("ok"));
        clickButton(w, QStringLiteral("cmdfindo"));
    }
}

}  // namespace

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
    malloc_trim(0);
    const long rssBefore = residentKiB();
    resetPeak();
    const double t0 = nowMs();
    answerModal(QStringLiteral("cmdok"));  // the columns of a statement, as offered
    script().queueFileChoice(file);
    std::unique_ptr<QDialog> w(window(QStringLiteral("frmImport")));
    const double read = nowMs() - t0;
    if (!w) {
        const QList<ScriptedAnswers::Message> shown = script().messages();
        std::printf("not read in %.0f ms: %s\n", read, shown.isEmpty() ? "" : qPrintable(shown.last().text));
        std::printf("peak resident size rose by %ld KiB\n", peakResidentKiB() - rssBefore);
        return 1;
    }
    answerModal(QStringLiteral("ok"));
    clickButton(w.get(), QStringLiteral("cmdfindt"));
    for (const QString& kind : {QStringLiteral("收入"), QStringLiteral("支出")})
        chooseTypes(w.get(), kind);
    clickButton(w.get(), QStringLiteral("cmdimport"));
    const double all = nowMs() - t0;
    const QList<ScriptedAnswers::Message> shown = script().messages();
    std::printf("read and previewed in %.0f ms, posted after %.0f ms: %s\n", read, all,
                shown.isEmpty() ? "" : qPrintable(shown.last().text.section(u'\n', 0, 0)));
    std::printf("peak resident size rose by %ld KiB\n", peakResidentKiB() - rssBefore);
    return 0;
}
