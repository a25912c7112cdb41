// Where the import of one statement takes its time, phase by phase, beside its floor:
//   kinbook_import_phases LEDGER FILE [RUNS]
// LEDGER is a household file that tools/gendb wrote (copied, not changed); FILE a statement whose
// columns the column dialog offers as it guesses them. Each run reads the file as the import does
// (the file, the table found by Bills::read, the rows read with the columns), makes the preview window,
// posts the rows (member m1, types i1 and e1) and checks the budgets, then takes the records away
// again; then the floor: the same rows and their numbers inserted with the C API in one transaction,
// their values made before the clock starts, on a connection without SQLite's page checks and on the
// program's own (with them). Prints the median processor time of the thread and wall time of each
// phase over the runs. The windows' clicks (the member picked, the messages) are not in it; the
// benchmark's 导入账单 rows measure the import as a user makes it.
#include "billposting.h"
#include "bills.h"
#include "billimport.h"
#include "statementcolumns.h"
#include "app.h"
#include "budgetwarning.h"
#include "platform.h"
#include "scriptedanswers.h"
#include "session.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QSet>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <map>
#include <memory>
#include <sqlite3.h>
#include <string>
#include <vector>

namespace {

ScriptedAnswers g_script;

double msOf(clockid_t clock)
{
    timespec t;
    clock_gettime(clock, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

// The processor time of the thread and the wall time of each phase, run after run.
class Phases {
public:
    void start()
    {
        cpu0_ = msOf(CLOCK_THREAD_CPUTIME_ID);
        wall0_ = msOf(CLOCK_MONOTONIC);
    }
    // The phase `name` ends now; one in brackets is not the import's (left out of its sum).
    void mark(const std::string& name)
    {
        const double cpu = msOf(CLOCK_THREAD_CPUTIME_ID), wall = msOf(CLOCK_MONOTONIC);
        if (!cpu_.count(name))
            order_.push_back(name);
        cpu_[name].push_back(cpu - cpu0_);
        wall_[name].push_back(wall - wall0_);
        cpu0_ = cpu;
        wall0_ = wall;
    }
    void print() const
    {
        std::printf("%-46s %10s %10s\n", "phase (medians)", "cpu ms", "wall ms");
        double cpu = 0, wall = 0;
        for (const std::string& name : order_) {
            std::printf("%-46s %10.1f %10.1f\n", name.c_str(), median(cpu_.at(name)), median(wall_.at(name)));
            if (name[0] != '(') {
                cpu += median(cpu_.at(name));
                wall += median(wall_.at(name));
            }
        }
        std::printf("%-46s %10.1f %10.1f\n", "the import's phases together", cpu, wall);
    }

private:
    static double median(std::vector<double> v)
    {
        std::sort(v.begin(), v.end());
        return v.empty() ? 0 : v[v.size() / 2];
    }
    std::vector<std::string> order_;
    std::map<std::string, std::vector<double>> cpu_, wall_;
    double cpu0_ = 0, wall0_ = 0;
};

// The floor: the rows of `bill` and their numbers inserted with the C API in one transaction.
void insertFloor(sqlite3* db, const Bills::Bill& bill, const BillPosting::Choices& choices, Phases& phases, const std::string& name)
{
    struct Values {
        QByteArray type, date, note, key;
        int month;
        double amount;
        bool income;
    };
    std::vector<Values> values;
    const Bills::Rows& rows = bill.rows;
    for (qsizetype i = 0; i < rows.size(); ++i)
        if (rows.posts(i))
            values.push_back({choices.typeOf(rows.at(i)).toUtf8(), rows.date(i).toString(Qt::ISODate).toUtf8(),
                              Bills::note(rows.counterparty(i), rows.item(i)).toUtf8(), rows.trade(i).toUtf8(), rows.date(i).month(),
                              rows.amount(i).toDouble(), rows.postedKind(i) == Bills::Kind::Income});
    phases.mark("(the floor's values made)");
    sqlite3_exec(db, "begin", nullptr, nullptr, nullptr);
    sqlite3_stmt* st[2] = {nullptr, nullptr};
    sqlite3_prepare_v2(db, "insert into 收入帐 (成员ID, 类型ID, 金额, 日期, 备注, 月份) values ('m1', ?, ?, ?, ?, ?)", -1, &st[0], nullptr);
    sqlite3_prepare_v2(db, "insert into 支出帐 (成员ID, 类型ID, 金额, 日期, 备注, 月份) values ('m1', ?, ?, ?, ?, ?)", -1, &st[1], nullptr);
    sqlite3_stmt* key = nullptr;
    sqlite3_prepare_v2(db, "insert into 导入交易 (来源, 交易号, 帐, 行号) values ('银行', ?, ?, ?)", -1, &key, nullptr);
    for (const Values& v : values) {
        sqlite3_stmt* s = st[v.income ? 0 : 1];
        sqlite3_bind_text(s, 1, v.type.constData(), static_cast<int>(v.type.size()), SQLITE_STATIC);
        sqlite3_bind_double(s, 2, v.amount);
        sqlite3_bind_text(s, 3, v.date.constData(), static_cast<int>(v.date.size()), SQLITE_STATIC);
        sqlite3_bind_text(s, 4, v.note.constData(), static_cast<int>(v.note.size()), SQLITE_STATIC);
        sqlite3_bind_int(s, 5, v.month);
        sqlite3_step(s);
        sqlite3_reset(s);
        sqlite3_bind_text(key, 1, v.key.constData(), static_cast<int>(v.key.size()), SQLITE_STATIC);
        sqlite3_bind_text(key, 2, v.income ? "收入帐" : "支出帐", -1, SQLITE_STATIC);
        sqlite3_bind_int64(key, 3, sqlite3_last_insert_rowid(db));
        sqlite3_step(key);
        sqlite3_reset(key);
    }
    sqlite3_finalize(st[0]);
    sqlite3_finalize(st[1]);
    sqlite3_finalize(key);
    sqlite3_exec(db, "commit", nullptr, nullptr, nullptr);
    phases.mark(name);
    sqlite3_exec(db,
                 "delete from 收入帐 where rowid in (select 行号 from 导入交易 where 帐 = '收入帐');"
                 "delete from 支出帐 where rowid in (select 行号 from 导入交易 where 帐 = '支出帐');"
                 "delete from 导入交易;",
                 nullptr, nullptr, nullptr);
    phases.mark("(the floor's records taken away)");
}

// The budgets of the expenses posted, each type and month once, as the window checks them.
QList<Budgets::Touch> touchedBudgets(const Bills::Bill& posted, const BillPosting::Choices& choices)
{
    QList<Budgets::Touch> touched;
    QHash<quint32, QString> typeOf;
    QSet<QPair<QString, int>> seen;
    for (qsizetype i = 0; i < posted.rows.size(); ++i) {
        if (!posted.rows.posts(i) || posted.rows.postedKind(i) != Bills::Kind::Expense)
            continue;
        auto known = typeOf.constFind(posted.rows.counterpartyKey(i));
        if (known == typeOf.constEnd())
            known = typeOf.insert(posted.rows.counterpartyKey(i),
                                  choices.types.value(BillPosting::Choices::key(Bills::Kind::Expense, posted.rows.counterparty(i))));
        const QString& type = known.value();
        const QDate date = posted.rows.date(i);
        if (!seen.contains({type, date.year() * 100 + date.month()})) {
            seen.insert({type, date.year() * 100 + date.month()});
            touched << Budgets::Touch{choices.member, type, date.toString(QStringLiteral("yyyy-MM"))};
        }
    }
    return touched;
}

}  // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    App::setAnswerer(&g_script);
    if (argc < 3) {
        std::fprintf(stderr, "usage: kinbook_import_phases LEDGER FILE [RUNS]\n");
        return 2;
    }
    const QString file = QString::fromLocal8Bit(argv[2]);
    const int runs = argc > 3 ? std::max(1, std::atoi(argv[3])) : 9;
    const QString folder = QDir::tempPath() + QStringLiteral("/kinbook-import-phases");
    QDir(folder).removeRecursively();
    QDir().mkpath(folder);
    const QString copy = folder + QStringLiteral("/main.mdb");
    if (!QFile::copy(QString::fromLocal8Bit(argv[1]), copy))
        return 1;
    Platform::setProgramFolder(folder);
    if (!App::openConn())
        return 1;
    App::conn.execute(QStringLiteral("delete from 导入交易"));
    sqlite3* bare = nullptr;
    sqlite3_open_v2(copy.toUtf8().constData(), &bare, SQLITE_OPEN_READWRITE, nullptr);
    Phases phases;
    for (int run = 0; run < runs; ++run) {
        phases.start();
        const QByteArray bytes = Bills::fileBytes(file);
        phases.mark("the file's bytes");
        Bills::Table table;
        try {
            Bills::read(bytes);
            std::fprintf(stderr, "not a statement\n");
            return 1;
        } catch (const Bills::UnknownLayout& unknown) {
            table = unknown.table();
        }
        phases.mark("its table found (Bills::read)");
        const Bills::Columns columns = StatementColumnsDialog(App::store(), table, std::nullopt).columns();
        phases.mark("(the columns offered)");
        Bills::Bill bill = Bills::readStatement(bytes, columns, table.sheet);
        phases.mark("its rows read (Bills::readStatement)");
        Bills::Bill posted = bill;
        BillPosting::markImported(App::conn, posted);
        BillPosting::markEnteredByHand(App::conn, posted);
        phases.mark("(the marks, made again in the window)");
        auto window = std::make_unique<BillImportWindow>(App::store(), std::move(bill), file);
        phases.mark("the preview window");
        BillPosting::Choices choices;
        choices.member = QStringLiteral("m1");
        for (qsizetype i = 0; i < posted.rows.size(); ++i)
            if (posted.rows.posts(i))
                choices.types.insert(BillPosting::Choices::key(posted.rows.postedKind(i), posted.rows.counterparty(i)),
                                     posted.rows.postedKind(i) == Bills::Kind::Income ? QStringLiteral("i1") : QStringLiteral("e1"));
        phases.mark("(the types chosen)");
        BillPosting::post(App::conn, posted, choices);
        phases.mark("posted (BillPosting::post)");
        warnOverBudget(App::store(), touchedBudgets(posted, choices));
        phases.mark("the budgets checked");
        window.reset();
        sqlite3_exec(App::conn.handle(),
                     "delete from 收入帐 where rowid in (select 行号 from 导入交易 where 帐 = '收入帐');"
                     "delete from 支出帐 where rowid in (select 行号 from 导入交易 where 帐 = '支出帐');"
                     "delete from 导入交易;",
                     nullptr, nullptr, nullptr);
        phases.mark("(the records taken away)");
        insertFloor(bare, posted, choices, phases, "(floor: without page checks)");
        insertFloor(App::conn.handle(), posted, choices, phases, "(floor: the program's connection)");
    }
    sqlite3_close(bare);
    phases.print();
    return 0;
}
