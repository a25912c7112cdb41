// Power cuts at every moment of each operation that writes (tests/support/powerloss.h): whatever
// state a cut leaves, the program starts (main.mdb passes its check, or a sound backup is offered
// and taken), nothing it said was done is lost, and nothing is half done. Each of the program's
// folder flushes, and the synchronous setting, is shown to matter: taken out of the record, some
// state fails.
//
// A new operation that writes joins with one entry in kCases.
#include "settings.h"
#include "support/billfiles.h"
#include "support/powerloss.h"
#include "support/testsupport.h"

#include "backup.h"
#include "connection.h"
#include "csvwriter.h"
#include "filecheck.h"
#include "posting.h"
#include "recordset.h"
#include "recurring.h"
#include "statement.h"
#include "sync.h"
#include "syncfile.h"
#include "syncrecorder.h"
#include "upgrade.h"

#include "printedreport.h"
#include "datafolder.h"
#include "safekeeping.h"
#include "startup.h"
#include "session.h"

#include <QSettings>
#include <set>
#include <QStandardItemModel>
#include <sqlite3.h>

using namespace Qt::StringLiterals;

namespace {

const QDate kToday(2026, 3, 15);
using F = PowerLoss::Flush;

// ---------------------------------------------------------------------------------------------
// Looking at a rebuilt state. Nothing here may fail a test by itself: a check says what is wrong in
// its result, and a flush taken out of the record is meant to make checks fail.

// The rows of a query on a file opened for writing, as the program opens main.mdb: a journal left
// hot by the cut is rolled back first. An error comes back as the only row, "error: …".
QStringList rowsNow(const QString& file, const QString& query)
{
    QStringList out;
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(QFile::encodeName(file).constData(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
        out << u"error: "_s + QString::fromUtf8(sqlite3_errmsg(db));
        sqlite3_close(db);
        return out;
    }
    sqlite3_stmt* st = nullptr;
    int rc = sqlite3_prepare_v2(db, query.toUtf8().constData(), -1, &st, nullptr);
    while (rc == SQLITE_OK && (rc = sqlite3_step(st)) == SQLITE_ROW) {
        QStringList cells;
        for (int i = 0; i < sqlite3_column_count(st); ++i)
            cells << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, i)));
        out << cells.join(u'|');
        rc = SQLITE_OK;
    }
    if (rc != SQLITE_DONE)
        out = {u"error: "_s + QString::fromUtf8(sqlite3_errmsg(db))};
    sqlite3_finalize(st);
    sqlite3_close(db);
    return out;
}

QString oneNow(const QString& file, const QString& query)
{
    return rowsNow(file, query).value(0);
}

bool sound(const QString& file)
{
    return FileCheck::inspect(file, Upgrade::newestVersion(), false).sound();
}

// The dated backups in a folder's backups/, oldest first.
QStringList datedBackups(const QString& folder)
{
    QStringList out;
    for (const Backup::Dated& d : Backup::listDated(folder + u"/backups"_s))
        out.prepend(d.path);
    return out;
}

// What a killed piece of work may leave under the folder for the start to remove.
QStringList leftovers(const QString& folder)
{
    QStringList out;
    for (const QString& sub : {QString(), u"/backups"_s})
        for (const QString& name : QDir(folder + sub).entryList(QDir::Files | QDir::Hidden | QDir::System))
            if (name.endsWith(u".part"_s) || name.contains(u".tmp"_s))
                out << sub + u"/"_s + name;
    return out;
}

// The first cell of a query on App::conn.
QString countNow(const QString& query)
{
    Statement st(App::conn, query);
    return st.step() ? st.value(0).toString() : QString();
}

// The program started on the folder as after the cut: what kinbook does before its login window
// (Startup): the folder readied, an empty book made if the folder holds none, main.mdb checked,
// backed up, brought up to date and opened. Every message is answered 确定, so an offered backup is
// taken. Empty when it started, App::conn then open on a file that passes the integrity check.
QString startOn(const QString& folder, DataFolder::Kind kind = DataFolder::Kind::Named)
{
    ScriptedAnswers answers;
    App::Answerer* before = App::answerer();
    App::setAnswerer(&answers);
    DataFolder::use({folder, kind});
    QString failure;
    const bool started = DataFolder::makeFolder(failure) && DataFolder::makeEmptyIfNew(failure) != DataFolder::FirstStart::Failed
                         && App::openConn();
    App::setAnswerer(before);
    QStringList said;
    for (const ScriptedAnswers::Message& m : answers.messages())
        said << m.text;
    if (!started)
        return u"the program did not start: "_s + failure + said.join(u" / "_s);
    const QString integrity = countNow(u"pragma integrity_check"_s);
    if (integrity != u"ok"_s) {
        App::conn.close();
        return u"main.mdb fails the integrity check after the start: "_s + integrity;
    }
    return QString();
}

// After the start: the program's own leftovers are gone, and App::conn is closed.
QString endStart(const QString& folder)
{
    App::conn.close();
    const QStringList left = leftovers(folder);
    return left.isEmpty() ? QString() : u"the start left "_s + left.join(u", "_s);
}

// Says the work is done when the program's message says so.
class Watching : public ScriptedAnswers {
public:
    Watching(PowerLoss::Recorder& recorder, QString said) : recorder_(recorder), said_(std::move(said)) {}
    App::MsgAnswer message(const QString& text, App::MsgStyle style, const QString& title) override
    {
        if (text.startsWith(said_))
            recorder_.done(text);
        return ScriptedAnswers::message(text, style, title);
    }

private:
    PowerLoss::Recorder& recorder_;
    QString said_;
};

// Runs `work` with `answers` answering (and restores the test's own answers).
void answeredBy(ScriptedAnswers& answers, const std::function<void()>& work)
{
    App::Answerer* before = App::answerer();
    App::setAnswerer(&answers);
    work();
    App::setAnswerer(before);
}

QString bookOf(const QString& root)
{
    return root + u"/main.mdb"_s;
}

// A file beside the recorded folders, for the whole run.
QString besideTheBooks(const QString& name)
{
    static const QTemporaryDir dir(PowerLoss::scratchFolder() + u"/bills-XXXXXX"_s);
    return dir.path() + u"/"_s + name;
}

void makeBook(const QString& root, const QString& statements)
{
    QFile::copy(QStringLiteral(KINBOOK_EMPTY_DB), bookOf(root));
    QFile::setPermissions(bookOf(root), QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
    makeDatabase(bookOf(root), u"insert into 成员 (ID, 姓名, 关系) values('01','张三','父亲');"
                             u"insert into 收入类型 (ID, 类型, 备注) values('g','工资','');"
                             u"insert into 支出类型 (ID, 类型, 备注) values('f','伙食','');"_s
                                 + statements);
}

// Opens App::conn on the folder as a start does (its backup made), unrecorded.
void openBook(const QString& root)
{
    DataFolder::use({root, DataFolder::Kind::Named});
    ScriptedAnswers answers;
    answeredBy(answers, [] { App::openConn(); });
}

// ---------------------------------------------------------------------------------------------
// The operations.

constexpr int kStaged = 300;

PowerLoss::Case posting()
{
    return {u"posting a batch (入帐)"_s,
            [](const QString& root) {
                makeBook(root, QStringLiteral("with recursive n(i) as (select 1 union all select i + 1 from n where i < %1) "
                                              "insert into 收入临时 (成员ID, 类型ID, 金额, 日期, 备注, 月份) select '01', 'g', i, '2026-03-01', '第' || i || '笔工资', 3 from n;"
                                              "insert into 收入帐 (成员ID, 类型ID, 金额, 日期, 备注, 月份) values('01','g',1,'2026-02-01','',2);")
                                   .arg(kStaged));
            },
            [](const QString& root, PowerLoss::Recorder& recorder) {
                Connection conn;
                conn.open(bookOf(root));
                postStaged(conn, u"收入临时"_s, u"收入帐"_s);
                recorder.done(u"入帐"_s);
            },
            [](const QString& root, bool done) -> QString {
                if (QString failed = startOn(root); !failed.isEmpty())
                    return failed;
                const QString got = countNow(u"select (select count(*) from 收入帐) || '/' || (select count(*) from 收入临时)"_s);
                const QString posted = QString::number(kStaged + 1) + u"/0"_s, staged = u"1/"_s + QString::number(kStaged);
                App::conn.close();
                if (got != posted && (done || got != staged))
                    return u"收入帐/收入临时 hold "_s + got + (done ? u" after 入帐 said done"_s : u", half posted"_s);
                return endStart(root);
            },
            {F::JournalRemoved}};
}

constexpr int kDueMonths = 26;  // 2024-02-01 to 2026-03-01

PowerLoss::Case postingDue()
{
    return {u"posting due recurring records"_s,
            [](const QString& root) {
                makeBook(root, QString());
                Connection conn;
                conn.open(bookOf(root));
                Recurring::Template t;
                t.ledger = Recurring::kExpense;
                t.memberId = u"01"_s;
                t.typeId = u"f"_s;
                t.amount = Money::fromUnits(1'500'000);
                t.note = u"房租"_s;
                t.schedule.start = QDate(2024, 2, 1);
                Recurring::save(conn, t);
            },
            [](const QString& root, PowerLoss::Recorder& recorder) {
                Connection conn;
                conn.open(bookOf(root));
                QList<Recurring::Posting> postings;
                for (const Recurring::Due& d : Recurring::dueUntil(conn, kToday))
                    postings << Recurring::Posting{d.what.id, d.due, d.due, d.what.amount};
                Recurring::post(conn, postings);
                recorder.done(u"入帐"_s);
            },
            [](const QString& root, bool done) -> QString {
                if (QString failed = startOn(root); !failed.isEmpty())
                    return failed;
                const QString got = countNow(u"select (select count(*) from 支出帐) || '/' || (select count(*) from 定期记录)"_s);
                App::conn.close();
                const QString posted = QStringLiteral("%1/%1").arg(kDueMonths);
                if (got != posted && (done || got != u"0/0"_s))
                    return u"支出帐/定期记录 hold "_s + got + (done ? u" after 入帐 said done"_s : u", half posted"_s);
                return endStart(root);
            },
            {F::JournalRemoved}};
}

// The ten backups kept, made earlier this month; the start makes an eleventh and removes the oldest.
PowerLoss::Case startBackup()
{
    return {u"the start's backup"_s,
            [](const QString& root) {
                makeBook(root, u"insert into 收入帐 (成员ID, 类型ID, 金额, 日期, 备注, 月份) values('01','g',8000,'2026-03-01','工资',3);"_s);
                QDir().mkpath(root + u"/backups"_s);
                for (int day = 1; day <= 10; ++day)
                    QFile::copy(bookOf(root), root + QStringLiteral("/backups/main-202603%1-120000.mdb").arg(day, 2, 10, QLatin1Char('0')));
            },
            [](const QString& root, PowerLoss::Recorder& recorder) {
                DataFolder::use({root, DataFolder::Kind::Named});
                ScriptedAnswers answers;
                answeredBy(answers, [&] {
                    if (App::openConn())
                        recorder.done(u"登录窗口"_s);
                });
                App::conn.close();
            },
            [](const QString& root, bool done) -> QString {
                const QStringList backups = datedBackups(root);
                for (const QString& b : backups)
                    if (!sound(b))
                        return u"a backup that is not sound: "_s + b;
                if (backups.size() < 10)
                    return QStringLiteral("%1 backups left of the ten kept").arg(backups.size());
                if (done && !backups.last().contains(u"/main-20260315-"_s))
                    return u"the start's backup is gone after the start said done"_s;
                if (QString failed = startOn(root); !failed.isEmpty())
                    return failed;
                return endStart(root);
            },
            {F::AfterRename}};
}

PowerLoss::Case upgrade()
{
    return {u"the upgrade of a version-0 file"_s,
            [](const QString& root) {
                makeDatabase(bookOf(root), versionZeroSchema()
                                             + u"insert into 成员 values('01','张三','父亲',null);"
                                               "with recursive n(i) as (select 1 union all select i + 1 from n where i < 200) "
                                               "insert into 支出帐 select '01', 'f', i, '2026-01-02', '第' || i || '笔', 1 from n;"
                                               "insert into 收入帐 values('01','g',5,'01/02/2026','',1);"_s);
            },
            [](const QString& root, PowerLoss::Recorder& recorder) {
                DataFolder::use({root, DataFolder::Kind::Named});
                ScriptedAnswers answers;
                answeredBy(answers, [&] {
                    if (App::openConn())
                        recorder.done(u"登录窗口"_s);
                });
                App::conn.close();
            },
            [](const QString& root, bool done) -> QString {
                const QString version = oneNow(bookOf(root), u"pragma user_version"_s);
                const QString rows = oneNow(bookOf(root), u"select (select count(*) from 支出帐) || '/' || (select count(*) from 收入帐)"_s);
                if (rows != u"200/1"_s)
                    return u"支出帐/收入帐 hold "_s + rows + u" at version "_s + version;
                if (version == u"0"_s) {
                    if (done)
                        return u"the file is of version 0 after the upgrade said done"_s;
                } else if (version == QString::number(Upgrade::newestVersion())) {
                    bool backedUp = false;
                    for (const QString& b : datedBackups(root))
                        backedUp = backedUp || (sound(b) && oneNow(b, u"pragma user_version"_s) == u"0"_s
                                                && oneNow(b, u"select count(*) from 支出帐"_s) == u"200"_s);
                    if (!backedUp)
                        return u"the file was upgraded but its backup as it was is not there"_s;
                } else {
                    return u"the file is of version "_s + version + u", half upgraded"_s;
                }
                if (QString failed = startOn(root); !failed.isEmpty())
                    return failed;
                return endStart(root);
            },
            {F::AfterRename, F::JournalRemoved}};
}

// main.mdb holds 4 income records (its start's backup 3), the backup chosen 1; App::conn is open on
// it, as after a login.
void prepareRestore(const QString& root)
{
    makeBook(root, u"insert into 收入帐 (成员ID, 类型ID, 金额, 日期, 备注, 月份) values('01','g',1,'2026-03-01','',3),('01','g',2,'2026-03-02','',3),"
                   "('01','g',3,'2026-03-03','',3);"_s);
    QDir().mkpath(root + u"/backups"_s);
    const QString chosen = root + u"/backups/main-20260101-120000.mdb"_s;
    QFile::copy(QStringLiteral(KINBOOK_EMPTY_DB), chosen);
    makeDatabase(chosen, u"insert into 收入帐 (成员ID, 类型ID, 金额, 日期, 备注, 月份) values('01','g',9,'2025-12-31','备份',12);"_s);
    openBook(root);
    App::conn.execute(u"insert into 收入帐 (成员ID, 类型ID, 金额, 日期, 备注, 月份) values('01','g',4,'2026-03-04','',3)"_s);
}

QString checkRestore(const QString& root, bool done)
{
    const QString rows = oneNow(bookOf(root), u"select count(*) from 收入帐"_s);
    if (rows == u"1"_s) {
        bool kept = false;
        for (const QString& b : datedBackups(root))
            kept = kept || (sound(b) && oneNow(b, u"select count(*) from 收入帐"_s) == u"4"_s);
        if (!kept)
            return u"main.mdb was replaced, and the backup of the file it replaced is not there"_s;
    } else if (rows != u"4"_s) {
        return u"main.mdb holds "_s + rows + u" income records"_s;
    } else if (done) {
        return u"main.mdb is the old file after the restore said done"_s;
    }
    if (QString failed = startOn(root); !failed.isEmpty())
        return failed;
    return endStart(root);
}

PowerLoss::Case restore()
{
    return {u"a restore (恢复数据…)"_s, prepareRestore,
            [](const QString& root, PowerLoss::Recorder& recorder) {
                Watching answers(recorder, u"已用备份"_s);
                answers.queueFileChoice(root + u"/backups/main-20260101-120000.mdb"_s);
                answers.queueAnswer(App::MsgAnswer::Ok);
                answeredBy(answers, [] { Safekeeping::restoreChosenBackup(nullptr); });
                App::conn.close();
            },
            checkRestore, {F::AfterRename}};
}

PowerLoss::Case restoreFromCommandLine()
{
    return {u"kinbook --restore"_s, prepareRestore,
            [](const QString& root, PowerLoss::Recorder& recorder) {
                App::conn.close();  // the program is not running
                if (Startup::restore(root + u"/backups/main-20260101-120000.mdb"_s) == 0)
                    recorder.done(u"恢复"_s);
            },
            checkRestore, {F::AfterRename}};
}

QString personal(const QString& home)
{
    return home + u"/.local/share/kinbook"_s;
}

PowerLoss::Case firstStart()
{
    return {u"the first start in an empty home"_s, [](const QString&) {},
            [](const QString& root, PowerLoss::Recorder& recorder) {
                DataFolder::use({personal(root), DataFolder::Kind::Personal});
                QString failure;
                ScriptedAnswers answers;
                answeredBy(answers, [&] {
                    if (DataFolder::makeFolder(failure) && DataFolder::makeEmptyIfNew(failure) == DataFolder::FirstStart::Made
                        && App::openConn())
                        recorder.done(u"登录窗口"_s);
                });
                App::conn.close();
            },
            [](const QString& root, bool done) -> QString {
                const QString data = personal(root);
                if (QFileInfo::exists(bookOf(data)) && !sound(bookOf(data)))
                    return u"main.mdb is there and not sound"_s;
                if (done && !QFileInfo::exists(bookOf(data)))
                    return u"main.mdb is gone after the first start said done"_s;
                if (done && datedBackups(data).isEmpty())
                    return u"the start's backup is gone after the first start said done"_s;
                if (QString failed = startOn(data, DataFolder::Kind::Personal); !failed.isEmpty())
                    return failed;
                return endStart(data);
            },
            {F::AfterRename, F::AfterMakeFolder}};
}

// 导入账单… as a person does it, the member picked; the types were remembered by an earlier bill.
void importThroughTheWindow(ScriptedAnswers& answers, const QString& file, bool statement)
{
    // The connection as the login left it, opened again while the record runs, so that its writes
    // are seen.
    const QString path = App::conn.path();
    App::conn.close();
    App::conn.open(path);
    answers.queueFileChoice(file);
    if (statement)
        whenModal([](QDialog* d) { click(d, u"cmdok"_s); });
    std::unique_ptr<QDialog> w(App::createWindow(u"frmImport"_s, App::store(), nullptr));
    if (!w)
        return;
    w->show();
    pickId(w.get(), u"cmdfindt"_s, u"01"_s);
    click(w.get(), u"cmdimport"_s);
}

// A bill's rows in the ledgers: all of them, or none.
QString checkImport(const QString& root, bool done, const QString& ledgerRows, const QString& importedRows)
{
    const QString rows = oneNow(bookOf(root), u"select (select count(*) from 支出帐) || '/' || (select count(*) from 收入帐) || '/' || "
                                             "(select count(*) from 导入交易)"_s);
    if (rows == ledgerRows + u"/"_s + importedRows) {
        bool before = false;  // the backup before the import: the record added after the start, no bill
        for (const QString& b : datedBackups(root))
            before = before || (sound(b) && oneNow(b, u"select count(*) from 支出帐"_s) == u"1"_s);
        if (!before)
            return u"the bill was posted, and the backup before it is not there"_s;
    } else if (rows != u"1/0/0"_s) {
        return u"支出帐/收入帐/导入交易 hold "_s + rows + u", half imported"_s;
    } else if (done) {
        return u"the bill is not in the ledgers after the import said done"_s;
    }
    if (QString failed = startOn(root); !failed.isEmpty())
        return failed;
    return endStart(root);
}

// A book after its start, a record added since; the bill beside the folder (not recorded).
void prepareImport(const QString& root, const QString& file, const QByteArray& bytes, const QString& parties)
{
    makeBook(root, u"insert into 导入对方类型 values "_s + parties + u";"_s);
    writeFile(file, bytes);
    openBook(root);
    App::conn.execute(u"insert into 支出帐 (成员ID, 类型ID, 金额, 日期, 备注, 月份) values('01','f',3,'2026-03-10','早饭',3)"_s);
}

PowerLoss::Case billImport()
{
    static const QString bill = besideTheBooks(u"bill.csv"_s);
    return {u"a bill import"_s,
            [](const QString& root) {
                QList<BillLine> lines;
                for (int i = 1; i <= 30; ++i)
                    lines << BillLine{QStringLiteral("T%1").arg(i), QStringLiteral("2026-03-%1 12:00:00").arg(1 + i % 9, 2, 10, QLatin1Char('0')),
                                      i % 10 ? u"支出"_s : u"收入"_s, i % 10 ? u"食堂"_s : u"公司"_s, u"第"_s + QString::number(i) + u"笔"_s,
                                      QStringLiteral("%1.50").arg(i), u"支付成功"_s};
                prepareImport(root, bill, weChatBill(lines, true), u"('支出','食堂','f'),('收入','公司','g')"_s);
            },
            [](const QString&, PowerLoss::Recorder& recorder) {
                Watching answers(recorder, u"已导入微信支付账单"_s);
                answeredBy(answers, [&answers] { importThroughTheWindow(answers, bill, false); });
                App::conn.close();
            },
            [](const QString& root, bool done) { return checkImport(root, done, u"28/3"_s, u"30"_s); },
            {F::AfterRename, F::JournalRemoved}};
}

PowerLoss::Case statementImport()
{
    static const QString statement = besideTheBooks(u"statement.csv"_s);
    return {u"a bank-statement import"_s,
            [](const QString& root) {
                QList<Movement> movements;
                for (int i = 1; i <= 20; ++i)
                    movements << Movement{QDate(2026, 3, 1 + i % 9), i % 5 ? QStringLiteral("-%1.00").arg(i) : u"8000.00"_s,
                                          i % 5 ? u"超市"_s : u"公司"_s, u"第"_s + QString::number(i) + u"笔"_s};
                prepareImport(root, statement, debitCreditStatement(movements), u"('支出','超市','f'),('收入','公司','g')"_s);
            },
            [](const QString&, PowerLoss::Recorder& recorder) {
                Watching answers(recorder, u"已导入银行流水"_s);
                answeredBy(answers, [&answers] { importThroughTheWindow(answers, statement, true); });
                App::conn.close();
            },
            [](const QString& root, bool done) -> QString {
                // The columns named are remembered for the next statement of this bank.
                const QString remembered = root + u"/statements.ini"_s;
                if (done && QSettings(remembered, QSettings::IniFormat).allKeys().isEmpty())
                    return u"statements.ini is gone after the import said done"_s;
                return checkImport(root, done, u"17/4"_s, u"20"_s);
            },
            {F::AfterRename, F::JournalRemoved}};
}

// A statement of a bank not met before: the columns named are remembered (statements.ini) once the
// preview shows, whether or not it is imported then.
PowerLoss::Case statementColumns()
{
    static const QString statement = besideTheBooks(u"columns.csv"_s);
    return {u"a bank statement's columns named"_s,
            [](const QString& root) {
                prepareImport(root, statement, debitCreditStatement({{QDate(2026, 3, 2), u"-12.00"_s, u"超市"_s, u"菜"_s}}),
                              u"('支出','超市','f')"_s);
            },
            [](const QString&, PowerLoss::Recorder& recorder) {
                ScriptedAnswers answers;
                answers.queueFileChoice(statement);
                answeredBy(answers, [&] {
                    whenModal([](QDialog* d) { click(d, u"cmdok"_s); });
                    std::unique_ptr<QDialog> w(App::createWindow(u"frmImport"_s, App::store(), nullptr));
                    if (w)
                        recorder.done(u"预览"_s);
                });
                App::conn.close();
            },
            [](const QString& root, bool done) -> QString {
                if (done && QSettings(root + u"/statements.ini"_s, QSettings::IniFormat).allKeys().isEmpty())
                    return u"the columns named are forgotten after the preview showed"_s;
                if (QString failed = startOn(root); !failed.isEmpty())
                    return failed;
                return endStart(root);
            },
            {F::AfterSettle}};
}

// The exports: the file a person chose holds the old file or the whole new one, and after the
// program said it was written, the new one.
QString checkExport(const QString& root, bool done, const QByteArray& old, const QByteArray& written, const QString& name)
{
    const QByteArray now = fileBytes(root + u"/"_s + name);
    if (now == written || (!done && now == old))
        return QString();
    return name + (done ? u" is not what was written after the program said it was"_s : u" is neither the old file nor the new one"_s)
           + QStringLiteral(" (%1 bytes)").arg(now.size());
}

struct Exported {
    QByteArray old = "旧的文件\r\n";
    QByteArray written;
};

PowerLoss::Case csvExport()
{
    static Exported e;
    return {u"a CSV export (导出…)"_s, [](const QString& root) { writeFile(root + u"/收入状况.csv"_s, e.old); },
            [](const QString& root, PowerLoss::Recorder& recorder) {
                Connection conn;
                conn.open(QStringLiteral(KINBOOK_EMPTY_DB), true);
                Recordset rs;
                rs.open(conn,
                        u"with recursive n(i) as (select 1 union all select i + 1 from n where i < 2000) "
                        "select i as 金额, '第' || i || '笔' as 备注 from n"_s);
                rs.finishLoading();
                std::vector<int> rows(2000);
                for (int i = 0; i < 2000; ++i)
                    rows[static_cast<std::size_t>(i)] = i;
                if (CsvWriter::writeFile(root + u"/收入状况.csv"_s, rs, {{0, u"金额"_s, true}, {1, u"备注"_s, false}}, rows)
                    == QFileDevice::NoError)
                    recorder.done(u"已导出"_s);
                e.written = fileBytes(root + u"/收入状况.csv"_s);
            },
            [](const QString& root, bool done) { return checkExport(root, done, e.old, e.written, u"收入状况.csv"_s); },
            {F::AfterRename}};
}

PowerLoss::Case pdfExport()
{
    static Exported e;
    return {u"a PDF export (导出PDF…)"_s, [](const QString& root) { writeFile(root + u"/年终处理.pdf"_s, e.old); },
            [](const QString& root, PowerLoss::Recorder& recorder) {
                QStandardItemModel table(40, 2);
                for (int r = 0; r < 40; ++r) {
                    table.setItem(r, 0, new QStandardItem(QStringLiteral("%1月").arg(r)));
                    table.setItem(r, 1, new QStandardItem(QString::number(r * 100)));
                }
                ReportContent content;
                content.title = u"年终处理"_s;
                content.table = &table;
                QString problem;
                if (PrintedReport::writePdf(content, root + u"/年终处理.pdf"_s, nullptr, &problem) == PrintedReport::Outcome::Written)
                    recorder.done(u"已导出"_s);
                e.written = fileBytes(root + u"/年终处理.pdf"_s);
            },
            [](const QString& root, bool done) { return checkExport(root, done, e.old, e.written, u"年终处理.pdf"_s); },
            {F::AfterRename}};
}

// ---------------------------------------------------------------------------------------------
// The sync. Its folder lies in the book's folder, so that a power cut takes both; the program keeps
// the folder's whole path, so a rebuilt state points its book at its own copy of the folder, as a
// person who moved the folder does in 同步….

const QString kThisComputer = u"书房"_s;
const QString kOtherComputer = u"客厅"_s;

QString syncFolderOf(const QString& root)
{
    return root + u"/同步"_s;
}

// The changeset files in the sync folder, and what else the program left there (hidden).
QStringList changesetFiles(const QString& root)
{
    return QDir(syncFolderOf(root)).entryList({u"*"_s + SyncFile::kSuffix}, QDir::Files, QDir::Name);
}
QStringList hiddenFiles(const QString& root)
{
    return QDir(syncFolderOf(root)).entryList({u".*"_s}, QDir::Files | QDir::Hidden | QDir::System);
}

// The next run of the sync on App::conn after the start, the folder pointed at its rebuilt copy;
// empty when it synced and nothing is left to send.
QString syncAgain(const QString& root)
{
    if (const QString why = Sync::configure(App::conn, syncFolderOf(root), kThisComputer); !why.isEmpty())
        return u"the sync could not be pointed at its folder: "_s + why;
    const Sync::Report r = Sync::run(App::conn);
    if (!r.ok())
        return u"the next sync failed: "_s + r.lines().join(u" / "_s);
    if (const int pending = Sync::pendingCount(App::conn); pending > 0)
        return QStringLiteral("%1 changesets still to send after the next sync").arg(pending);
    return QString();
}

constexpr int kSent = 40;

// This computer posts a batch and sends it: the posting's changeset is in the book with the posting
// (or neither is), and the next run puts it in the folder once, whole, as the program wrote it.
PowerLoss::Case sending()
{
    static QByteArray written;  // the posting's changeset file, as the recorded run wrote it
    return {u"sending a posting to the other computers"_s,
            [](const QString& root) {
                makeBook(root, QStringLiteral("with recursive n(i) as (select 1 union all select i + 1 from n where i < %1) "
                                              "insert into 收入临时 (成员ID, 类型ID, 金额, 日期, 备注, 月份) "
                                              "select '01', 'g', i, '2026-03-01', '第' || i || '笔工资', 3 from n;"
                                              "insert into 收入帐 (成员ID, 类型ID, 金额, 日期, 备注, 月份) values('01','g',1,'2026-02-01','',2);")
                                   .arg(kSent));
                QDir().mkpath(syncFolderOf(root));
                Connection conn;
                conn.open(bookOf(root));
                Sync::configure(conn, syncFolderOf(root), kThisComputer);
                Sync::run(conn);  // the books as they joined: the first changeset
            },
            [](const QString& root, PowerLoss::Recorder& recorder) {
                Connection conn;
                conn.open(bookOf(root));
                postStaged(conn, u"收入临时"_s, u"收入帐"_s);
                const Sync::Report r = Sync::run(conn);
                if (r.ok() && r.sent.size() == 1)
                    recorder.done(u"已发送"_s);
                conn.close();
                written = fileBytes(syncFolderOf(root) + u"/"_s + SyncFile::fileName(kThisComputer, 2));
            },
            [](const QString& root, bool done) -> QString {
                const QString second = syncFolderOf(root) + u"/"_s + SyncFile::fileName(kThisComputer, 2);
                if (done && fileBytes(second) != written)
                    return u"the posting's changeset file is not there whole after the send said done"_s;
                if (QString failed = startOn(root); !failed.isEmpty())
                    return failed;
                const QString got = countNow(u"select (select count(*) from 收入帐) || '/' || (select count(*) from 收入临时)"_s);
                const QString posted = QString::number(kSent + 1) + u"/0"_s, staged = u"1/"_s + QString::number(kSent);
                if (got != posted && (done || got != staged)) {
                    App::conn.close();
                    return u"收入帐/收入临时 hold "_s + got + (done ? u" after the send said done"_s : u", half posted"_s);
                }
                const QString synced = syncAgain(root);
                App::conn.close();
                if (!synced.isEmpty())
                    return synced;
                QStringList expected = {SyncFile::fileName(kThisComputer, 1)};
                if (got == posted)
                    expected << SyncFile::fileName(kThisComputer, 2);
                if (changesetFiles(root) != expected)
                    return u"the sync folder holds "_s + changesetFiles(root).join(u", "_s) + u" for the books "_s + got;
                if (got == posted && fileBytes(second) != written)
                    return u"the posting's changeset file is not the one the program made"_s;
                if (!hiddenFiles(root).isEmpty())
                    return u"the sync left "_s + hiddenFiles(root).join(u", "_s);
                return endStart(root);
            },
            {F::AfterRename, F::JournalRemoved}};
}

constexpr int kApplied = 30;

// Another computer joined with an empty book, took this one's, posted a batch and sent it; this
// computer applies what it sent: all of it with the note of what was applied, or nothing, and the
// next run applies what is left, each changeset once.
PowerLoss::Case applying()
{
    static QString after;  // the books and the notes once it is applied
    return {u"applying another computer's changesets"_s,
            [](const QString& root) {
                makeBook(root, u"insert into 收入帐 (成员ID, 类型ID, 金额, 日期, 备注, 月份) values('01','g',1,'2026-02-01','',2);"_s);
                QDir().mkpath(syncFolderOf(root));
                {
                    Connection conn;
                    conn.open(bookOf(root));
                    Sync::configure(conn, syncFolderOf(root), kThisComputer);
                    Sync::run(conn);
                }
                // The other computer's book lies beside the recorded folder.
                const QString other = root + u"/../"_s + kOtherComputer;
                QDir().mkpath(other);
                QFile::copy(QStringLiteral(KINBOOK_EMPTY_DB), bookOf(other));
                QFile::setPermissions(bookOf(other), QFile::ReadOwner | QFile::WriteOwner);
                Connection conn;
                conn.open(bookOf(other));
                Sync::configure(conn, syncFolderOf(root), kOtherComputer);
                Sync::run(conn);
                // Two batches, staged as the entry form stages them (keys of its own range): two changesets.
                for (int batch = 0; batch < 2; ++batch) {
                    {
                        Transaction tx(conn);
                        Statement st(conn, u"insert into 收入临时 (成员ID, 类型ID, 金额, 日期, 备注, 月份, 编号) "
                                           "values ('01', 'g', ?, '2026-03-05', '客厅记的', 3, ?)"_s);
                        for (int i = 1; i <= kApplied / 2; ++i) {
                            st.reset();
                            st.bindInt64(1, batch * 100 + i);
                            st.bindInt64(2, *conn.sync()->nextKey(u"收入临时"_s));
                            st.step();
                        }
                        tx.commit();
                    }
                    postStaged(conn, u"收入临时"_s, u"收入帐"_s);
                }
                Sync::run(conn);
            },
            [](const QString& root, PowerLoss::Recorder& recorder) {
                Connection conn;
                conn.open(bookOf(root));
                const Sync::Report r = Sync::run(conn);
                if (r.ok() && r.applied.size() == 2 && r.waiting.isEmpty())
                    recorder.done(u"已应用"_s);
                conn.close();
                after = rowsNow(bookOf(root), u"select (select count(*) || ' ' || total(金额) from 收入帐), (select count(*) from 收入临时),"
                                             " (select group_concat(文件, ',') from (select 文件 from 同步日志 where 类别 = '应用' order by 文件)),"
                                             " (select group_concat(机器 || ':' || 序号, ',') from (select * from 同步进度 order by 机器))"_s)
                            .join(u"\n"_s);
            },
            [](const QString& root, bool done) -> QString {
                if (QString failed = startOn(root); !failed.isEmpty())
                    return failed;
                const auto books = [] {
                    Statement st(App::conn, u"select (select count(*) || ' ' || total(金额) from 收入帐), (select count(*) from 收入临时),"
                                            " (select group_concat(文件, ',') from (select 文件 from 同步日志 where 类别 = '应用' order by 文件)),"
                                            " (select group_concat(机器 || ':' || 序号, ',') from (select * from 同步进度 order by 机器))"_s);
                    QStringList cells;
                    if (st.step())
                        for (int i = 0; i < 4; ++i)
                            cells << st.value(i).toString();
                    return cells.join(u'|');
                };
                const QString now = books();
                const bool applied = now == after;
                const bool untouched = now.startsWith(u"1 1.0|0||"_s);
                if (!applied && (done || !untouched)) {
                    App::conn.close();
                    return u"the books and notes hold "_s + now + (done ? u" after the apply said done"_s : u", half applied"_s);
                }
                const QString synced = syncAgain(root);
                const QString again = books();
                App::conn.close();
                if (!synced.isEmpty())
                    return synced;
                if (again != after)
                    return u"after the next sync the books and notes hold "_s + again + u", not "_s + after;
                return endStart(root);
            },
            {F::JournalRemoved}};
}

const std::vector<std::function<PowerLoss::Case()>> kCases = {
    posting,   postingDue,      startBackup, upgrade,   restore,  restoreFromCommandLine, firstStart, billImport,
    statementImport, statementColumns, csvExport, pdfExport, sending, applying,
};

class PowerLossTest : public ::testing::TestWithParam<std::size_t> {
protected:
    void SetUp() override
    {
        restartScript();
        App::setToday(kToday);
    }
    void TearDown() override
    {
        App::conn.close();
        App::setToday(QDate());
        DataFolder::reset();
    }
};

TEST_P(PowerLossTest, EveryCutLeavesWhatWasSaidDoneAndNothingHalfDone)
{
    const PowerLoss::Case c = kCases[GetParam()]();
    const PowerLoss::Budget budget = PowerLoss::defaultBudget();
    SCOPED_TRACE(c.name.toStdString() + ", seed " + std::to_string(budget.seed));
    const PowerLoss::Outcome o = PowerLoss::explore(c, budget);
    std::printf("%s: %d file operations (%d folder flushes of the program's), %d distinct states, %d checked (%d after done)\n",
                c.name.toUtf8().constData(), o.operations, o.folderFlushes, o.distinct, o.checked, o.checkedDone);
    for (const auto& [flush, noticed] : o.noticed)
        std::printf("  without %s: %s\n", describe(flush).toUtf8().constData(), noticed ? "a state fails" : "no state fails");
    EXPECT_EQ(o.failure, QString());
    EXPECT_GT(o.checkedDone, 0) << "the program never said the work was done";
    EXPECT_GT(o.checked, o.checkedDone) << "no cut before the work was done";
    for (const PowerLoss::Flush flush : c.mustNotice)
        EXPECT_TRUE(o.noticed.count(flush) && o.noticed.at(flush)) << "taken out, " << describe(flush).toStdString() << " lets no state fail";
}

// Every folder flush of the program, and the synchronous setting, is one that some operation's test
// notices taken out. (The flush after removing a stale journal before a restored file takes its
// place is not among them: no operation here leaves such a journal.)
TEST(PowerLossCoverage, EveryFlushIsNoticedMissingBySomeOperation)
{
    std::set<PowerLoss::Flush> noticed;
    for (const auto& make : kCases)
        for (const PowerLoss::Flush f : make().mustNotice)
            noticed.insert(f);
    EXPECT_EQ(noticed, (std::set<PowerLoss::Flush>{F::AfterRename, F::AfterMakeFolder, F::AfterSettle, F::JournalRemoved}));
}

std::string caseName(const ::testing::TestParamInfo<std::size_t>& info)
{
    static const char* const names[] = {"Posting",   "PostingDue",      "StartBackup", "Upgrade",   "Restore", "RestoreFromCommandLine",
                                        "FirstStart", "BillImport",     "StatementImport", "StatementColumns", "CsvExport",
                                        "PdfExport", "Sending", "Applying"};
    return names[info.param];
}

INSTANTIATE_TEST_SUITE_P(Operations, PowerLossTest, ::testing::Range<std::size_t>(0, kCases.size()), caseName);

}  // namespace
