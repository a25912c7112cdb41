// Keeping several computers' books in step through a shared folder: the keys of new rows, the
// recording of every write, the changeset files and a carrier that is late, out of order, twice or
// cut short, the conflicts, damaged and crafted files, a restored backup, and three computers doing
// random work that end with the same books.
#include "settings.h"
#include "billposting.h"
#include "bills.h"
#include "budgets.h"
#include "connection.h"
#include "editablerows.h"
#include "store.h"
#include "dberror.h"
#include "ledgerrows.h"
#include "posting.h"
#include "recordset.h"
#include "recurring.h"
#include "statement.h"
#include "sync.h"
#include "syncapply.h"
#include "syncfile.h"
#include "syncrecorder.h"
#include "synctables.h"
#include "support/testsupport.h"

#include <QDirIterator>
#include <QElapsedTimer>
#include <memory>
#include <random>
#include <sqlite3.h>

namespace {

const QStringList kRecordFields = {"成员ID", "类型ID", "金额", "日期", "备注", "月份"};

// One of the family's computers: a data folder of its own with main.mdb, and the folder that its
// sync service keeps (the same folder for all of them unless a test carries the files itself).
class Computer {
public:
    Computer(const QString& name, const QString& home, const QString& folder) : name(name), home(home), folder(folder) {}
    QString name, home, folder;
    Connection conn;

    QString db() const { return home + "/main.mdb"; }
    void open() { conn.open(db()); }
    void setUp() { ASSERT_EQ(Sync::configure(conn, folder, name), QString()); }
    Sync::Report sync() { return Sync::run(conn); }

    // A record staged and posted as the entry form does (收入帐, 支出帐), or added as the investment
    // and bank windows add theirs; its key.
    std::int64_t post(const QString& ledger, const QString& member, const QString& type, double amount,
                      const QString& date = "2026-03-05", const QString& note = "")
    {
        const bool staged = ledger == "收入帐" || ledger == "支出帐";
        const QString table = staged ? QString(ledger).replace("帐", "临时") : ledger;
        Store store(conn);
        EditableRows rs;
        if (ledger == "银行帐") {
            rs.open(store, EditedTable::of(Ledger::Bank));
            rs.addNew();
            rs.setValue("银行ID", type);
            rs.setValue("成员ID", member);
            rs.setValue("存或取", QString("存入"));
            rs.setValue("类型", QString("活期"));
        } else {
            const Ledger l = *Ledger::ofTable(ledger);
            rs.open(store, staged ? EditedTable::stagingOf(l) : EditedTable::of(l));
            rs.addNew();
            rs.setValue("成员ID", member);
            rs.setValue("类型ID", type);
            rs.setValue("备注", note);
            rs.setValue("月份", QDate::fromString(date, Qt::ISODate).month());
        }
        rs.setValue("金额", amount);
        rs.setValue("日期", date);
        rs.update();
        const std::int64_t key = scalar("select max(rowid) from " + table).toLongLong();
        rs.close();
        if (staged)
            postStaged(conn, table, ledger);
        return key;
    }
    void addToList(const QString& table, const QString& id, const QString& name)
    {
        Store store(conn);
        EditableRows rs;
        rs.open(store, EditedTable::of(*ReferenceList::ofTable(table)));
        rs.addNew();
        rs.setValue(0, id);
        rs.setValue(1, name);
        rs.update();
    }
    void correct(const QString& ledger, std::int64_t key, const QString& field, const QVariant& value)
    {
        const QVariantList before = *LedgerRows::read(conn, ledger, key);
        QVariantList after = before;
        after[LedgerRows::fields(ledger).indexOf(field)] = value;
        ASSERT_TRUE(LedgerRows::correct(conn, ledger, key, before, after).has_value());
    }
    QString scalar(const QString& sql)
    {
        Statement st(conn, sql);
        return st.step() ? st.text(0) : QString();
    }
    QStringList rows(const QString& sql)
    {
        QStringList out;
        Statement st(conn, sql);
        while (st.step()) {
            QStringList cells;
            for (int c = 0; c < st.columnCount(); ++c)
                cells << (st.isNull(c) ? QString("NULL") : st.text(c));
            out << cells.join('|');
        }
        return out;
    }
    // Every row of every table kept in step, in key order: what must be the same everywhere.
    QStringList books()
    {
        QStringList out;
        for (const SyncTables::Table& t : SyncTables::tables()) {
            const QString name = QString::fromUtf8(t.name);
            for (const QString& r : rows("select * from \"" + name + "\""))
                out << name + ": " + r;
        }
        out.sort();
        return out;
    }
    QString ledgerFigures()
    {
        return rows("select (select count(*) || ' ' || total(金额) from 收入帐), (select count(*) || ' ' || total(金额) from 支出帐),"
                    " (select count(*) || ' ' || total(金额) from 银行帐), (select count(*) from 回收站)")
            .join(';');
    }
};

class SyncTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(root_.isValid());
        shared = root_.path() + "/同步";
        QDir().mkpath(shared);
        // Each simulated computer is known by its data folder.
        SyncTables::setMachineIdentityForTests([](const QString& path) { return QFileInfo(path).absolutePath(); });
        restartScript();
    }
    void TearDown() override
    {
        computers_.clear();
        SyncTables::setMachineIdentityForTests(nullptr);
    }
    // A computer whose book starts as `from` (the empty book unless given).
    Computer& computer(const QString& name, const QString& from = KINBOOK_EMPTY_DB, const QString& folder = QString(),
                       const QString& homeTag = QString())
    {
        const QString home = root_.path() + "/" + name + homeTag;
        QDir().mkpath(home);
        EXPECT_TRUE(QFile::copy(from, home + "/main.mdb"));
        QFile::setPermissions(home + "/main.mdb", QFile::ReadOwner | QFile::WriteOwner);
        computers_.push_back(std::make_unique<Computer>(name, home, folder.isEmpty() ? shared : folder));
        Computer& c = *computers_.back();
        c.open();
        return c;
    }
    // A book with its lists filled in, from which the family's computers start.
    QString familyBook()
    {
        const QString file = root_.path() + "/family.mdb";
        if (!QFile::exists(file)) {
            QFile::copy(KINBOOK_EMPTY_DB, file);
            QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner);
            makeDatabase(file, "insert into 成员 (ID, 姓名, 关系, 密码) values ('1', '张三', '父亲', ''), ('2', '李四', '母亲', '');"
                               "insert into 收入类型 (ID, 类型, 备注) values ('i1', '工资', ''); insert into 支出类型 (ID, 类型, 备注) values ('e1', '伙食', ''), ('e2', '房租', '');"
                               "insert into 银行 (ID, 开户行, 帐号) values ('b1', '工行', '6222');"
                               "insert into 收入帐 (成员ID, 类型ID, 金额, 日期, 备注, 月份) values ('1', 'i1', 8000, '2026-01-10', '一月', 1);");
        }
        return file;
    }
    QTemporaryDir root_;
    QString shared;
    std::vector<std::unique_ptr<Computer>> computers_;
};

QStringList filesIn(const QString& folder)
{
    return QDir(folder).entryList({"*.kbsync"}, QDir::Files, QDir::Name);
}

// A changeset of rows written into a scratch database of the given schema: what a crafted file holds.
QByteArray craftedChangeset(const QString& schema, const QString& writes)
{
    sqlite3* db = nullptr;
    sqlite3_open(":memory:", &db);
    sqlite3_exec(db, schema.toUtf8().constData(), nullptr, nullptr, nullptr);
    sqlite3_session* s = nullptr;
    sqlite3session_create(db, "main", &s);
    sqlite3session_attach(s, nullptr);
    char* error = nullptr;
    if (sqlite3_exec(db, writes.toUtf8().constData(), nullptr, nullptr, &error) != SQLITE_OK)
        ADD_FAILURE() << error;
    sqlite3_free(error);
    int n = 0;
    void* p = nullptr;
    sqlite3session_changeset(s, &n, &p);
    const QByteArray out(static_cast<const char*>(p), n);
    sqlite3_free(p);
    sqlite3session_delete(s);
    sqlite3_close(db);
    return out;
}

const char* kLedgerSchema =
    "create table 收入帐 (成员ID TEXT, 类型ID TEXT, 金额 CURRENCY, 日期 DATE, 备注 TEXT, 月份 INTEGER, 编号 INTEGER PRIMARY KEY);";

void writeChangeset(const QString& folder, const QString& machine, std::int64_t sequence, const QByteArray& changeset,
                    const QMap<QString, std::int64_t>& applied = {})
{
    SyncFile::Header h;
    h.machine = machine;
    h.identity = "crafted";
    h.node = 77;
    h.sequence = sequence;
    h.stamp = SyncTables::stampOf(QDateTime::currentMSecsSinceEpoch(), machine);
    h.applied = applied;
    writeFile(folder + "/" + SyncFile::fileName(machine, sequence), SyncFile::compose(h, changeset));
}

// New rows take keys of this computer's own range, whichever way they are written; a copy of the
// book on another computer takes another range; a key is never given twice, not even once its row
// is gone; and a row written without a key by another tool is given one when it is posted.
TEST_F(SyncTest, NewRowsTakeKeysOfTheirComputersOwnRange)
{
    Computer& a = computer("书房", familyBook());
    Computer& b = computer("客厅", familyBook());
    const std::int64_t a1 = a.post("收入帐", "1", "i1", 10), a2 = a.post("银行帐", "1", "b1", 20), b1 = b.post("收入帐", "2", "i1", 30);
    const std::int64_t aRange = a1 >> 32, bRange = b1 >> 32;
    EXPECT_GT(aRange, 0);
    EXPECT_NE(aRange, bRange);
    EXPECT_EQ(a2 >> 32, aRange);
    // The book's own rows keep the keys they had.
    EXPECT_EQ(a.rows("select 编号, 备注 from 收入帐 order by 编号").first(), "1|一月");
    EXPECT_EQ(a.rows("select 编号 from 成员 order by 编号"), QStringList({"1", "2"}));

    // Deleted, then a new record: a key of its own, not the deleted one's.
    const std::int64_t bin = LedgerRows::moveToBin(a.conn, "收入帐", a1, QDateTime::currentDateTime());
    EXPECT_EQ(bin >> 32, aRange);
    const std::int64_t a3 = a.post("收入帐", "1", "i1", 11);
    EXPECT_GT(a3, a1);
    // Put back from the bin, under its own key.
    EXPECT_EQ(LedgerRows::restoreFromBin(a.conn, bin)->rowid, a1);
    // Every other path that adds rows: lists, templates, occurrences, budgets stay keyed by their values.
    a.addToList("支出类型", "e9", "药品");
    Recurring::Template t;
    t.ledger = Recurring::kExpense;
    t.memberId = "1";
    t.typeId = "e2";
    t.amount = *Money::parse("2500");
    t.schedule.day = 1;
    t.schedule.start = QDate(2026, 1, 1);
    Recurring::save(a.conn, t);
    EXPECT_EQ(t.id >> 32, aRange);
    Recurring::post(a.conn, {{t.id, QDate(2026, 1, 1), QDate(2026, 1, 1), t.amount}});
    EXPECT_EQ(a.scalar("select count(*) from 支出帐 where 编号 >> 32 = " + QString::number(aRange)), "1");
    EXPECT_EQ(a.scalar("select 编号 >> 32 from 支出类型 where ID = 'e9'").toLongLong(), aRange);

    // Staged by another tool with the engine's keys (which the ledger holds already): posted all the same.
    makeDatabase(a.db(), "insert into 收入临时 (成员ID, 类型ID, 金额, 日期, 备注, 月份) values ('1', 'i1', 1, '2026-03-01', '别的工具', 3);");
    EXPECT_EQ(a.scalar("select 编号 from 收入临时"), "1");
    postStaged(a.conn, "收入临时", "收入帐");
    EXPECT_EQ(a.scalar("select 编号 >> 32 from 收入帐 where 备注 = '别的工具'").toLongLong(), aRange);
    EXPECT_EQ(a.scalar("select count(*) from 收入帐"), "4");
}

// With the sync set up, every path that writes a table kept in step leaves its changeset in the
// outbox, in the same transaction; a rolled back transaction leaves nothing, and a write outside a
// transaction is refused rather than left unrecorded.
TEST_F(SyncTest, EveryWriteIsRecordedWithItsCommit)
{
    Computer& a = computer("书房", familyBook());
    a.setUp();
    const auto outboxTables = [&a] {
        QStringList tables;
        Statement st(a.conn, "select 内容 from 同步发件 order by 序号 desc limit 1");
        if (!st.step())
            return tables;
        const QByteArray cs = st.blob(0);
        sqlite3_changeset_iter* it = nullptr;
        sqlite3changeset_start(&it, int(cs.size()), const_cast<char*>(cs.constData()));
        while (sqlite3changeset_next(it) == SQLITE_ROW) {
            const char* name = nullptr;
            int n = 0, op = 0, indirect = 0;
            sqlite3changeset_op(it, &name, &n, &op, &indirect);
            tables << QString::fromUtf8(name) + (op == SQLITE_INSERT ? "+" : op == SQLITE_DELETE ? "-" : "~");
        }
        sqlite3changeset_finalize(it);
        tables.removeDuplicates();
        return tables;
    };
    // The first changeset is the book as it was when the computer joined.
    EXPECT_EQ(a.scalar("select count(*) || ' ' || min(序号) || ' ' || min(时刻) from 同步发件"), "1 1 0");
    EXPECT_EQ(outboxTables(), QStringList({"成员+", "收入类型+", "支出类型+", "银行+", "收入帐+"}));

    struct Case {
        const char* what;
        std::function<void()> write;
        QStringList tables;
    };
    std::int64_t record = 0, binned = 0;
    Recurring::Template t;
    const Case cases[] = {
        {"a list's row", [&] { a.addToList("成员", "3", "王五"); }, {"成员+"}},
        {"posting", [&] { record = a.post("支出帐", "1", "e1", 12.5); }, {"支出帐+"}},
        {"a correction", [&] { a.correct("支出帐", record, "金额", 13.5); }, {"支出帐~"}},
        {"a deletion", [&] { binned = LedgerRows::moveToBin(a.conn, "支出帐", record, QDateTime::currentDateTime()); },
         {"支出帐-", "回收站+"}},
        {"a restore from the bin", [&] { LedgerRows::restoreFromBin(a.conn, binned); }, {"支出帐+", "回收站-"}},
        {"budgets", [&] { Budgets::store(a.conn, "", Budgets::kDefault, {{"e1", *Money::parse("500")}}); }, {"预算+"}},
        {"a template", [&] {
             t.ledger = Recurring::kIncome;
             t.memberId = "1";
             t.typeId = "i1";
             t.amount = *Money::parse("8000");
             t.schedule.day = 10;
             t.schedule.start = QDate(2026, 1, 10);
             Recurring::save(a.conn, t);
         }, {"定期收支+"}},
        {"an occurrence", [&] { Recurring::post(a.conn, {{t.id, QDate(2026, 1, 10), QDate(2026, 1, 10), t.amount}}); },
         {"收入帐+", "定期记录+"}},
        {"a skipped one", [&] { Recurring::skip(a.conn, {{t.id, QDate(2026, 2, 10)}}); }, {"定期记录+"}},
        {"a deletion from another ledger", [&] { LedgerRows::moveToBin(a.conn, "收入帐", 1, QDateTime::currentDateTime()); },
         {"收入帐-", "回收站+"}},
        {"the bin emptied", [&] { LedgerRows::emptyBin(a.conn); }, {"回收站-"}},
        {"a bank's statement, also into the bank's ledger", [&] {
             Bills::Columns c;
             c.date = 0;
             c.dateForm = "yyyy-MM-dd";
             c.amount = 1;
             c.counterparty = 2;
             const Bills::Bill bill = Bills::readStatement("日期,金额,对方\n2026-02-03,-45.5,超市\n", c);
             BillPosting::Choices choices;
             choices.member = "1";
             choices.bank = "b1";
             choices.types.insert(BillPosting::Choices::key(Bills::Kind::Expense, "超市"), "e1");
             BillPosting::post(a.conn, bill, choices);
         }, {"支出帐+", "银行帐+", "导入交易+", "导入对方类型+"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const QString before = a.scalar("select count(*) from 同步发件");
        c.write();
        EXPECT_EQ(a.scalar("select count(*) from 同步发件").toInt(), before.toInt() + 1);
        EXPECT_EQ(outboxTables(), c.tables);
    }

    // Every row added here has a key of this computer's range, also those that the statement's posting
    // wrote into the ledgers.
    for (const char* ledger : {"收入帐", "支出帐", "银行帐"})
        EXPECT_EQ(a.scalar(QString("select count(*) from %1 where 编号 >= %2 and (编号 >> 32) != %3").arg(ledger).arg(1LL << 32).arg(record >> 32)), "0")
            << ledger;
    EXPECT_EQ(a.scalar(QString("select count(*) from 银行帐 where (编号 >> 32) = %1").arg(record >> 32)), "1");

    // Rolled back: nothing recorded, and the next transaction records only its own change.
    const QString count = a.scalar("select count(*) from 同步发件");
    {
        Transaction tx(a.conn);
        a.conn.execute("update 成员 set 关系 = '爷爷' where ID = '3'");
    }
    EXPECT_EQ(a.scalar("select count(*) from 同步发件"), count);
    a.addToList("银行", "b2", "农行");
    EXPECT_EQ(outboxTables(), QStringList({"银行+"}));
    // Outside a transaction: refused, nothing written.
    EXPECT_THROW(a.conn.execute("update 成员 set 关系 = '爷爷' where ID = '3'"), DbError);
    EXPECT_EQ(a.scalar("select 关系 from 成员 where ID = '3'"), "");
    // The sync's own settings and tables are this computer's: written freely, never sent.
    Settings::setValue(a.conn, Settings::kOverviewAfterLogin, "0");
    EXPECT_EQ(a.scalar("select count(*) from 同步发件").toInt(), count.toInt() + 1);
}

// Two computers that start from the same book and share one folder: what each posts appears on the
// other after a run on each, counts and sums equal, nothing twice, also when the runs repeat; the
// files are named by computer and number and never written again.
TEST_F(SyncTest, TwoComputersKeepTheSameBooks)
{
    Computer& a = computer("书房", familyBook());
    Computer& b = computer("客厅", familyBook());
    a.setUp();
    b.setUp();
    for (int i = 0; i < 5; ++i) {
        a.post("收入帐", "1", "i1", 100 + i);
        b.post("支出帐", "2", "e1", 20.25 + i);
    }
    b.post("银行帐", "2", "b1", 300);
    const Sync::Report ra = a.sync();
    EXPECT_TRUE(ra.ok()) << ra.lines().join('\n').toStdString();
    EXPECT_EQ(ra.sent.size(), 6);  // the book when it joined, and five postings
    const Sync::Report rb = b.sync();
    EXPECT_TRUE(rb.ok()) << rb.lines().join('\n').toStdString();
    EXPECT_EQ(rb.applied.size(), 6);
    EXPECT_EQ(rb.sent.size(), 7);
    EXPECT_EQ(a.sync().applied.size(), 7);
    EXPECT_EQ(a.ledgerFigures(), "6 8510.0|5 111.25|1 300.0|0");
    EXPECT_EQ(a.books(), b.books());
    // Runs again, and the same files applied on a computer that has them already: nothing changes.
    const QStringList files = filesIn(shared);
    const Sync::Report again = b.sync();
    EXPECT_TRUE(again.sent.isEmpty() && again.applied.isEmpty());
    EXPECT_EQ(files, filesIn(shared));
    EXPECT_EQ(files.first(), "书房-00000001.kbsync");
    EXPECT_EQ(a.books(), b.books());
    EXPECT_EQ(a.rows("select 类别, count(*) from 同步日志 group by 类别 order by 类别"), QStringList({"发送|6", "应用|7", "设置|1"}));
}

// The carrier (a sync service, a USB stick) brings files late, out of order, twice, or half of one
// before the rest: a file waits until it is whole and until what it was made after has been
// applied; each applies once; in the end the books are the same.
TEST_F(SyncTest, TheCarrierMayBeLateOutOfOrderTwiceOrCutShort)
{
    Computer& a = computer("书房", familyBook(), root_.path() + "/a-sync");
    Computer& b = computer("客厅", familyBook(), root_.path() + "/b-sync");
    QDir().mkpath(a.folder);
    QDir().mkpath(b.folder);
    a.setUp();
    b.setUp();
    const std::int64_t first = a.post("收入帐", "1", "i1", 100, "2026-02-01", "奖金");
    ASSERT_TRUE(a.sync().ok());
    a.correct("收入帐", first, "金额", 150.0);
    ASSERT_TRUE(a.sync().ok());
    a.post("支出帐", "1", "e1", 42);
    ASSERT_TRUE(a.sync().ok());
    const QStringList sent = filesIn(a.folder);
    ASSERT_EQ(sent.size(), 4);
    const auto carry = [&](const QString& name, qsizetype bytes = -1) {
        QByteArray all = fileBytes(a.folder + "/" + name);
        QFile::remove(b.folder + "/" + name);
        writeFile(b.folder + "/" + name, bytes < 0 ? all : all.left(bytes));
    };

    // The last first, and the third cut short: nothing can be applied yet.
    carry(sent[3]);
    carry(sent[2], 100);
    Sync::Report r = b.sync();
    EXPECT_TRUE(r.applied.isEmpty());
    EXPECT_TRUE(r.refused.isEmpty());
    // The first and the second (twice); the third still cut short: two applied, two wait.
    carry(sent[0]);
    carry(sent[1]);
    r = b.sync();
    EXPECT_EQ(r.applied.size(), 2);
    EXPECT_EQ(r.waiting.size(), 1) << r.lines().join('\n').toStdString();
    carry(sent[1]);
    r = b.sync();
    EXPECT_TRUE(r.applied.isEmpty());
    EXPECT_EQ(b.scalar("select 金额 from 收入帐 where 备注 = '奖金'"), "100");
    // Whole at last: the rest applies, in order.
    carry(sent[2]);
    r = b.sync();
    EXPECT_EQ(r.applied.size(), 2);
    EXPECT_TRUE(r.refused.isEmpty());
    EXPECT_EQ(b.scalar("select 金额 from 收入帐 where 备注 = '奖金'"), "150");
    // b's changes go back the same way, and a file made after another computer's waits for it: a
    // third computer that gets b's file before a's.
    b.post("支出帐", "2", "e2", 2500);
    ASSERT_TRUE(b.sync().ok());
    for (const QString& f : filesIn(b.folder))
        if (f.startsWith("客厅"))
            writeFile(a.folder + "/" + f, fileBytes(b.folder + "/" + f));
    ASSERT_TRUE(a.sync().ok());
    EXPECT_EQ(a.books(), b.books());

    Computer& c = computer("阳台", familyBook(), root_.path() + "/c-sync");
    QDir().mkpath(c.folder);
    c.setUp();
    for (const QString& f : filesIn(b.folder))
        if (f.startsWith("客厅"))
            writeFile(c.folder + "/" + f, fileBytes(b.folder + "/" + f));
    r = c.sync();
    EXPECT_EQ(r.applied.size(), 1) << r.lines().join('\n').toStdString();  // b's book when it joined
    EXPECT_FALSE(r.waiting.filter("书房-00000001").isEmpty()) << r.lines().join('\n').toStdString();
    for (const QString& f : filesIn(a.folder))
        if (f.startsWith("书房"))
            writeFile(c.folder + "/" + f, fileBytes(a.folder + "/" + f));
    r = c.sync();
    EXPECT_TRUE(r.waiting.isEmpty() && r.refused.isEmpty()) << r.lines().join('\n').toStdString();
    EXPECT_EQ(c.books(), a.books());
    EXPECT_EQ(c.ledgerFigures(), "2 8150.0|2 2542.0|0 0.0|0");
}

// Conflicts lose nothing and end the same on both computers, whichever changeset each sees first.
TEST_F(SyncTest, ConflictsLoseNothingAndEndTheSameOnBoth)
{
    struct Case {
        const char* what;
        // What each computer does, after both have the same record `r` (and the lists), before they sync.
        std::function<void(Computer& a, Computer& b, std::int64_t r)> work;
        const char* expected;  // a query on the books afterwards
        const char* result;
        const char* listed;    // in both computers' lists of conflicts (empty: none)
    };
    const Case cases[] = {
        {"the same record corrected on both: the later wins, the other into the bin",
         [](Computer& a, Computer& b, std::int64_t r) {
             a.correct("收入帐", r, "金额", 120.0);
             QTest::qWait(5);
             b.correct("收入帐", r, "金额", 130.0);
         },
         "select (select 金额 from 收入帐 where 备注 = '共同'), (select group_concat(金额 || ' ' || 说明) from 回收站)",
         "130|120 另一台电脑同时修改", "同时修改了 金额"},
        {"different fields corrected on both: both corrections stand",
         [](Computer& a, Computer& b, std::int64_t r) {
             a.correct("收入帐", r, "金额", 120.0);
             b.correct("收入帐", r, "成员ID", QString("2"));
         },
         "select 金额, 成员ID, (select count(*) from 回收站) from 收入帐 where 备注 = '共同'", "120|2|0", ""},
        {"corrected on one, deleted on the other: the correction wins",
         [](Computer& a, Computer& b, std::int64_t r) {
             a.correct("收入帐", r, "金额", 120.0);
             LedgerRows::moveToBin(b.conn, "收入帐", r, QDateTime::currentDateTime());
         },
         "select 金额, (select count(*) from 回收站) from 收入帐 where 备注 = '共同'", "120|0", "修改优先"},
        {"deleted on both: each deletion in the bin",
         [](Computer& a, Computer& b, std::int64_t r) {
             LedgerRows::moveToBin(a.conn, "收入帐", r, QDateTime::currentDateTime());
             LedgerRows::moveToBin(b.conn, "收入帐", r, QDateTime::currentDateTime());
         },
         "select (select count(*) from 收入帐 where 备注 = '共同'), count(*), count(distinct 行号) from 回收站", "0|2|1", ""},
        {"put back from the bin on one, corrected on the other: both versions kept",
         [](Computer& a, Computer& b, std::int64_t r) {
             const std::int64_t bin = LedgerRows::moveToBin(a.conn, "收入帐", r, QDateTime::currentDateTime());
             ASSERT_TRUE(a.sync().ok());
             ASSERT_TRUE(b.sync().ok());
             LedgerRows::restoreFromBin(a.conn, bin);
             b.sync();  // nothing new for b yet: its copy stays deleted until the restore comes
         },
         "select group_concat(金额, ','), (select count(*) from 回收站) from 收入帐 where 备注 = '共同'", "100|0", ""},
        {"the same ID added to a list with different names: both kept, the later renumbered",
         [](Computer& a, Computer& b, std::int64_t) {
             a.addToList("支出类型", "e7", "水电");
             QTest::qWait(5);
             b.addToList("支出类型", "e7", "燃气");
         },
         "select group_concat(ID || ' ' || 类型, ', ') from (select * from 支出类型 where 类型 in ('水电', '燃气') order by ID)",
         "e7 水电, e7-客厅 燃气", "都保留"},
        {"a recurring occurrence posted on both: one record",
         [](Computer& a, Computer& b, std::int64_t) {
             const qint64 id = Recurring::templates(a.conn).first().id;
             const Money m = *Money::parse("2500");
             Recurring::post(a.conn, {{id, QDate(2026, 2, 1), QDate(2026, 2, 1), m}});
             QTest::qWait(5);
             Recurring::post(b.conn, {{id, QDate(2026, 2, 1), QDate(2026, 2, 2), m}});
         },
         "select (select count(*) || ' ' || max(日期) from 支出帐 where 金额 = 2500), (select count(*) from 定期记录),"
         " (select group_concat(说明) from 回收站)",
         "1 2026-02-01|1|另一台电脑也已入帐", "先入帐"},
        {"a budget set on both: the later wins",
         [](Computer& a, Computer& b, std::int64_t) {
             Budgets::store(a.conn, "", "2026-03", {{"e1", *Money::parse("800")}});
             QTest::qWait(5);
             Budgets::store(b.conn, "", "2026-03", {{"e1", *Money::parse("900")}});
         },
         "select group_concat(金额) from 预算 where 年月 = '2026-03'", "900", "同时修改了 金额"},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        for (const bool aFirst : {true, false}) {
            const QString suffix = QString::number(++n);
            Computer& a = computer("书房", familyBook(), root_.path() + "/f" + suffix, suffix);
            QDir().mkpath(a.folder);
            a.setUp();
            const std::int64_t r = a.post("收入帐", "1", "i1", 100, "2026-02-15", "共同");
            Recurring::Template t;
            t.ledger = Recurring::kExpense;
            t.memberId = "1";
            t.typeId = "e2";
            t.amount = *Money::parse("2500");
            t.schedule.day = 1;
            t.schedule.start = QDate(2026, 1, 1);
            Recurring::save(a.conn, t);
            ASSERT_TRUE(a.sync().ok());
            Computer& b = computer("客厅", familyBook(), a.folder, suffix);
            b.setUp();
            ASSERT_TRUE(b.sync().ok());
            ASSERT_TRUE(a.sync().ok());
            ASSERT_EQ(a.books(), b.books());

            c.work(a, b, r);
            Computer& first = aFirst ? a : b;
            Computer& second = aFirst ? b : a;
            const Sync::Report r1 = first.sync(), r2 = second.sync(), r3 = first.sync();
            for (const Sync::Report* r : {&r1, &r2, &r3})
                EXPECT_TRUE(r->ok()) << r->lines().join('\n').toStdString();
            EXPECT_EQ(a.rows(c.expected).join(';'), QString(c.result));
            EXPECT_EQ(a.books(), b.books());
            const QString listedA = a.rows("select group_concat(说明) from 同步日志 where 类别 = '冲突'").join(""),
                          listedB = b.rows("select group_concat(说明) from 同步日志 where 类别 = '冲突'").join("");
            if (QString(c.listed).isEmpty()) {
                EXPECT_EQ(listedA + listedB, "NULLNULL");
            } else {
                EXPECT_TRUE(listedA.contains(c.listed) || listedB.contains(c.listed)) << listedA.toStdString() << " / " << listedB.toStdString();
            }
        }
    }
}

// A changeset file is written once and never again: what a send cut short left of this computer's
// own files goes (and only that), the changeset is sent whole at the next run, and a file already
// under its name is never written over.
TEST_F(SyncTest, ASendCutShortIsSentWholeLaterAndNoFileIsWrittenOver)
{
    Computer& a = computer("书房", familyBook());
    a.setUp();
    a.post("收入帐", "1", "i1", 100);
    ASSERT_EQ(Sync::pendingCount(a.conn), 2);  // the book when it joined, and the posting
    const struct {
        const char* name;
        bool left;
    } found[] = {
        {".书房-00000001.kbsync.Ab12Cd.part", false},  // this computer's, cut short
        {".书房-00000002.kbsync.x9Y8z7.part", false},
        {".客厅-00000001.kbsync.Ab12Cd.part", true},   // another computer's, in the middle of its own send
        {".书房-00000001.kbsync.part", true},          // not a name the program makes
        {".书房-notes.Ab12Cd.part", true},
    };
    for (const auto& f : found)
        writeFile(shared + "/" + f.name, "kinbook-sync 1\n{\"machine\"");
    // Another tool put a file under the name of this computer's second changeset.
    const QString second = shared + "/" + SyncFile::fileName("书房", 2);
    writeFile(second, "不是同步文件");

    Sync::Report r = a.sync();
    EXPECT_FALSE(r.failure.isEmpty());
    EXPECT_EQ(r.sent.size(), 1);
    EXPECT_EQ(fileBytes(second), "不是同步文件");
    EXPECT_EQ(Sync::pendingCount(a.conn), 1);
    for (const auto& f : found)
        EXPECT_EQ(QFileInfo::exists(shared + "/" + f.name), f.left) << f.name;

    QFile::remove(second);
    r = a.sync();
    EXPECT_TRUE(r.ok()) << r.lines().join('\n').toStdString();
    EXPECT_EQ(r.sent.size(), 1);
    EXPECT_EQ(Sync::pendingCount(a.conn), 0);
    EXPECT_EQ(filesIn(shared), QStringList({"书房-00000001.kbsync", "书房-00000002.kbsync"}));
    EXPECT_EQ(SyncFile::read(second).state, SyncFile::State::Complete);
    EXPECT_EQ(QDir(shared).entryList({"*.part"}, QDir::Files | QDir::Hidden).size(), 3);

    // A computer that joins takes both, each once.
    Computer& b = computer("客厅", familyBook());
    b.setUp();
    EXPECT_EQ(b.sync().applied.size(), 2);
    EXPECT_EQ(b.ledgerFigures(), a.ledgerFigures());
}

// A changeset file is from elsewhere: one that is damaged or crafted is refused with a message that
// names it, nothing of it is applied, and the others (of other computers) still are.
TEST_F(SyncTest, DamagedOrCraftedFilesAreRefusedAndTheOthersApplied)
{
    const QString ok = "insert into 收入帐 values ('1', 'i1', 5, '2026-03-01', '好的', 3, 4294967297);";
    struct Case {
        const char* what;
        QByteArray bytes;  // the whole file; empty: a changeset from `schema` and `writes`
        QString schema, writes;
        const char* why;
    };
    const QString ledger = QString::fromUtf8(kLedgerSchema);
    const Case cases[] = {
        {"a table not kept in step", {}, "create table 设置 (名称 TEXT PRIMARY KEY, 值 TEXT);", "insert into 设置 values ('本机名称', '我');",
         "不同步的表“设置”"},
        {"a ledger with other fields", {}, "create table 收入帐 (成员ID TEXT, 金额 CURRENCY, 编号 INTEGER PRIMARY KEY);",
         "insert into 收入帐 values ('1', 5, 4294967298);", "字段与这台电脑的不同"},
        {"text in an amount", {}, ledger, "insert into 收入帐 values ('1', 'i1', '五元', '2026-03-01', '', 3, 4294967299);" + ok, "不是金额"},
        {"an amount beyond what a record holds", {}, ledger, "insert into 收入帐 values ('1', 'i1', 1e300, '2026-03-01', '', 3, 4294967300);",
         "超出记录能存的金额"},
        {"a date that is no date", {}, ledger, "insert into 收入帐 values ('1', 'i1', 5, '2026-02-30', '', 2, 4294967301);", "不是日期"},
        {"a month that is not the date's", {}, ledger, "insert into 收入帐 values ('1', 'i1', 5, '2026-02-03', '', 7, 4294967302);",
         "月份与日期不符"},
        {"a control character", {}, ledger, "insert into 收入帐 values ('1', 'i1', 5, '2026-02-03', 'a' || char(7), 2, 4294967303);",
         "控制字符"},
        {"a note longer than a window takes", {}, ledger,
         "insert into 收入帐 values ('1', 'i1', 5, '2026-02-03', '一二三四五六七八九十一二三四五六七八九十一', 2, 4294967304);", "超过 20 个字"},
        {"bytes in a field", {}, ledger, "insert into 收入帐 values ('1', x'00ff', 5, '2026-02-03', '', 2, 4294967305);", "二进制"},
        {"a key that is no key", {}, "create table 收入帐 (成员ID TEXT, 类型ID TEXT, 金额 CURRENCY, 日期 DATE, 备注 TEXT, 月份 INTEGER, 编号 TEXT PRIMARY KEY);",
         "insert into 收入帐 values ('1', 'i1', 5, '2026-02-03', '', 2, 'x');", "不是记录的编号"},
        {"a bin entry of no ledger", {}, "create table 回收站 (编号 INTEGER PRIMARY KEY, 帐本 TEXT, 行号 INTEGER, 删除时间 TEXT, 银行ID TEXT, 成员ID TEXT,"
                                       " 类型ID TEXT, 存或取 TEXT, 类型 TEXT, 金额 CURRENCY, 日期 DATE, 备注 TEXT, 月份 INTEGER, 说明 TEXT);",
         "insert into 回收站 (编号, 帐本, 行号) values (4294967306, '设置', 1);", "帐本不是"},
        {"a budget the file's own checks refuse", {}, "create table 预算 (成员ID TEXT, 类型ID TEXT, 年月 TEXT, 金额 CURRENCY, PRIMARY KEY (成员ID, 类型ID, 年月));",
         "insert into 预算 values ('', 'e1', '', -5);", "不接受"},
        {"noise", QByteArray("这不是同步文件"), {}, {}, "不是和顺家账的同步文件"},
        {"a header that does not fit the name", QByteArray(), {}, {}, "文件名不符"},
        {"bytes that do not give the checksum", QByteArray(), {}, {}, "校验和不符"},
        {"more bytes than the header says", QByteArray(), {}, {}, "比文件头说的长"},
    };
    Computer& a = computer("书房", familyBook());
    Computer& b = computer("客厅", familyBook());
    a.setUp();
    b.setUp();
    ASSERT_TRUE(a.sync().ok());
    int seq = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        restartScript();
        const QString crafter = "外人";
        ++seq;
        const QString name = SyncFile::fileName(crafter, seq);
        if (!c.bytes.isEmpty()) {
            writeFile(shared + "/" + name, c.bytes);
        } else if (!c.schema.isEmpty()) {
            writeChangeset(shared, crafter, seq, craftedChangeset(c.schema, c.writes));
        } else {
            writeChangeset(shared, crafter, seq, craftedChangeset(ledger, ok));
            QByteArray bytes = fileBytes(shared + "/" + name);
            if (QString(c.why).contains("文件名"))
                bytes.replace("\"sequence\":" + QByteArray::number(seq), "\"sequence\":" + QByteArray::number(seq + 100));
            else if (QString(c.why).contains("校验和"))
                bytes[bytes.size() - 3] = char(bytes[bytes.size() - 3] ^ 1);
            else
                bytes += "x";
            writeFile(shared + "/" + name, bytes);
        }
        // A good file of another computer comes at the same time.
        a.post("收入帐", "1", "i1", seq, "2026-03-01", "同时");
        const Sync::Report sent = a.sync();
        ASSERT_TRUE(sent.failure.isEmpty() && sent.sent.size() == 1) << sent.lines().join('\n').toStdString();
        const QString figures = b.ledgerFigures();
        const Sync::Report r = b.sync();
        ASSERT_EQ(r.refused.size(), 1) << r.lines().join('\n').toStdString();
        EXPECT_TRUE(r.refused[0].startsWith(name)) << r.refused[0].toStdString();
        EXPECT_TRUE(r.refused[0].contains(QString::fromUtf8(c.why))) << r.refused[0].toStdString();
        EXPECT_EQ(b.scalar("select count(*) from 收入帐 where 备注 = '好的' or 金额 >= 1e300 or 编号 between 4294967297 and 4294967310"), "0");
        EXPECT_EQ(b.scalar("select count(*) from 收入帐 where 备注 = '同时'").toInt(), seq);
        EXPECT_NE(b.ledgerFigures(), figures);
        EXPECT_EQ(b.scalar("select 说明 from 同步日志 where 类别 = '拒绝' and 文件 = '" + name + "'").isEmpty(), false);
        // Told once; not tried again.
        EXPECT_TRUE(b.sync().refused.isEmpty());
    }
    EXPECT_EQ(a.rows("select 金额 from 收入帐 where 备注 = '同时'"), b.rows("select 金额 from 收入帐 where 备注 = '同时'"));
}

// A computer that restores a backup: the records the others have are neither doubled nor dropped;
// what the folder holds that the backup lacks, its own changes included, is applied again, and its
// new records take keys the old ones never had.
TEST_F(SyncTest, RestoringABackupNeitherDoublesNorDropsRecords)
{
    Computer& a = computer("书房", familyBook());
    Computer& b = computer("客厅", familyBook());
    a.setUp();
    b.setUp();
    a.post("收入帐", "1", "i1", 1);
    ASSERT_TRUE(a.sync().ok());
    ASSERT_TRUE(b.sync().ok());
    a.conn.close();
    const QString backup = root_.path() + "/backup.mdb";
    ASSERT_TRUE(QFile::copy(a.db(), backup));
    a.open();
    const std::int64_t afterBackup = a.post("收入帐", "1", "i1", 2);
    b.post("支出帐", "2", "e1", 3);
    ASSERT_TRUE(a.sync().ok());
    ASSERT_TRUE(b.sync().ok());
    a.post("收入帐", "1", "i1", 4);  // recorded, not yet sent when the backup goes back

    // The restore sends what is pending first, then the backup takes main.mdb's place.
    ASSERT_TRUE(Sync::run(a.conn, Sync::Mode::SendOnly).ok());
    a.conn.close();
    QFile::remove(a.db());
    ASSERT_TRUE(QFile::copy(backup, a.db()));
    a.open();
    Sync::afterRestore(a.conn);
    EXPECT_EQ(a.ledgerFigures(), "2 8001.0|0 0.0|0 0.0|0");
    const Sync::Report r = a.sync();
    EXPECT_TRUE(r.ok()) << r.lines().join('\n').toStdString();
    EXPECT_EQ(a.ledgerFigures(), "4 8007.0|1 3.0|0 0.0|0");
    const std::int64_t fresh = a.post("收入帐", "1", "i1", 5);
    EXPECT_NE(fresh >> 32, afterBackup >> 32);
    ASSERT_TRUE(a.sync().ok());
    ASSERT_TRUE(b.sync().ok());
    EXPECT_EQ(b.ledgerFigures(), "5 8012.0|1 3.0|0 0.0|0");
    EXPECT_EQ(a.books(), b.books());
    EXPECT_EQ(filesIn(shared).filter("书房").size(), 5);
}

// Three computers of one family each do random work (posting, correcting, deleting and putting back,
// adding to the lists, budgets) and sync now and then, in random order; once all have synced twice
// their books are the same, row for row, and every record is there once.
TEST_F(SyncTest, ThreeComputersDoingRandomWorkEndWithTheSameBooks)
{
    QElapsedTimer clock;
    clock.start();
    for (unsigned seed = 1; seed <= 4; ++seed) {
        SCOPED_TRACE(seed);
        std::mt19937 rng(seed);
        const auto below = [&rng](int n) { return int(rng() % unsigned(n)); };
        const QString folder = root_.path() + QString("/随机%1").arg(seed);
        QDir().mkpath(folder);
        std::vector<Computer*> family;
        for (const char* name : {"书房", "客厅", "阳台"}) {
            family.push_back(&computer(QString::fromUtf8(name), familyBook(), folder, QString::number(seed)));
            family.back()->setUp();
        }
        int posted = 0;
        for (int step = 0; step < 120; ++step) {
            Computer& c = *family[size_t(below(3))];
            const int what = below(11);
            const QStringList live = c.rows("select '收入帐|' || 编号 from 收入帐 union all select '支出帐|' || 编号 from 支出帐");
            if (what < 4 || live.isEmpty()) {
                c.post(below(2) ? "收入帐" : "支出帐", below(2) ? "1" : "2", below(2) ? "i1" : "e1", 1 + below(500), "2026-03-0" + QString::number(1 + below(9)));
                ++posted;
            } else if (what < 6) {
                const QStringList pick = live[below(int(live.size()))].split('|');
                const QString ledger = pick[0];
                const std::int64_t key = pick[1].toLongLong();
                if (below(2))
                    c.correct(ledger, key, "金额", double(1 + below(900)));
                else
                    c.correct(ledger, key, "备注", QString("改%1").arg(step));
            } else if (what < 7) {
                const QStringList pick = live[below(int(live.size()))].split('|');
                const QString ledger = pick[0];
                const std::int64_t key = pick[1].toLongLong();
                LedgerRows::moveToBin(c.conn, ledger, key, QDateTime::currentDateTime());
            } else if (what < 8) {
                const QString bin = c.scalar(QString("select 编号 from 回收站 order by 编号 limit 1 offset %1").arg(below(3)));
                if (!bin.isEmpty()) {
                    if (!c.scalar("select 说明 from 回收站 where 编号 = " + bin).isEmpty())
                        ++posted;  // another version of a record: a record of its own once put back
                    LedgerRows::restoreFromBin(c.conn, bin.toLongLong());
                }
            } else if (what < 9) {
                Budgets::store(c.conn, "", "2026-03", {{"e1", Money::fromUnits(10000 * (1 + below(100)))}});
            } else if (what < 10) {
                const QString id = QString("x%1").arg(below(4));
                if (c.scalar("select count(*) from 支出类型 where ID = '" + id + "'") == "0")
                    c.addToList("支出类型", id, QString("类型%1").arg(step));
            } else {
                const Sync::Report r = c.sync();
                ASSERT_TRUE(r.ok()) << r.lines().join('\n').toStdString();
            }
        }
        // Until a whole round sends nothing (what one computer adds settling a conflict reaches the others).
        for (bool quiet = false; !quiet;) {
            quiet = true;
            for (Computer* c : family) {
                const Sync::Report r = c->sync();
                ASSERT_TRUE(r.ok()) << r.lines().join('\n').toStdString();
                quiet = quiet && r.sent.isEmpty();
            }
        }
        for (Computer* c : family) {
            EXPECT_EQ(c->books(), family[0]->books()) << c->name.toStdString();
            EXPECT_EQ(c->ledgerFigures(), family[0]->ledgerFigures());
        }
        // Nothing lost: every record posted is in a ledger or in the bin.
        EXPECT_GE(family[0]->scalar("select count(*) from (select '收入帐', 编号 from 收入帐 union select '支出帐', 编号 from 支出帐"
                                    " union select 帐本, 行号 from 回收站 where 说明 is null)").toInt(),
                  posted + 1);
    }
    EXPECT_LT(clock.elapsed(), 60000);
}

}  // namespace
