// 收入/支出 → 导入账单…: bills of the three layouts posted through the window as a person does it,
// once only, with the types remembered; broken files and failed postings change nothing.
#include "billposting.h"
#include "bookstest.h"
#include "dberror.h"
#include "support/billfiles.h"

#include "mainwindow.h"
#include "undo.h"
#include "session.h"

#include <QAction>
#include <QComboBox>
#include <QMessageBox>
#include <QTimer>
#include <QUndoStack>

namespace {

class BillImportTest : public BooksTest {
protected:
    QString writeBill(const QString& name, const QByteArray& bytes)
    {
        const QString path = folder() + u"/"_s + name;
        writeFile(path, bytes);
        return path;
    }
    // What the menu item does: the file dialog answered with `path`. False when no window opened.
    bool openImport(const QString& path)
    {
        script().queueFileChoice(path);
        QDialog* d = App::createWindow(u"frmImport"_s, App::store(), nullptr);
        if (d)
            open(d);
        return d != nullptr;
    }
    QStringList grid(const QString& name) { return gridRows(get<QTableView>(name)); }
    // Selects counterparties with the mouse: the first click alone, the others added with Ctrl.
    void selectParties(const QList<int>& parties)
    {
        for (int row : parties)
            clickRow(get<QTableView>(u"dgparty"_s), row, row == parties.first() ? Qt::NoModifier : Qt::ControlModifier);
    }
    // Ticks (or unticks) a greyed row of the bill from the keyboard: its 说明 cell made current, then Space.
    void tick(int row)
    {
        auto* dg = get<QTableView>(u"DG"_s);
        dg->setFocus();
        dg->setCurrentIndex(dg->model()->index(row, 6));
        QTest::keyClick(dg, Qt::Key_Space);
    }
    int backups() { return static_cast<int>(QDir(folder() + u"/backups"_s).entryList({u"main-*.mdb"_s}).size()); }
};

QList<BillLine> household(const QString& prefix)
{
    return {{prefix + u"1"_s, u"2026-02-28 12:30:00"_s, u"支出"_s, u"美团外卖"_s, u"午餐"_s, u"12.50"_s, u"交易成功"_s},
            {prefix + u"2"_s, u"2026-01-31 09:00:00"_s, u"收入"_s, u"公司"_s, u"一月工资"_s, u"3000.00"_s, u"交易成功"_s},
            {prefix + u"3"_s, u"2026-02-01 10:00:00"_s, u"不计收支"_s, u"余额宝"_s, u"转入"_s, u"500.00"_s, u"交易成功"_s},
            {prefix + u"4"_s, u"2026-02-02 10:00:00"_s, u"支出"_s, u"超市"_s, u"订单"_s, u"88.00"_s, u"交易关闭"_s}};
}

// The first bill needs a member and a type for each counterparty; the next bills, of the other two
// layouts and with the same counterparties, get the remembered types. Each bill imported a second time
// adds nothing. Transfers and closed trades are greyed with their reason and never posted.
TEST_F(BillImportTest, EachLayoutPostsOnceWithTheRememberedTypes)
{
    const struct {
        Bills::Layout layout;
        const char* prefix;
        const char* done;
    } bills[] = {{Bills::Layout::WeChat, "W", "已导入微信支付账单"},
                 {Bills::Layout::Alipay, "A", "已导入支付宝账单："},
                 {Bills::Layout::AlipayClassic, "C", "已导入支付宝账单（旧版）"}};
    QStringList files;
    const int atStart = backups();
    for (const auto& b : bills) {
        SCOPED_TRACE(b.prefix);
        const QList<BillLine> lines = household(QString::fromLatin1(b.prefix));
        const bool older = b.layout == Bills::Layout::AlipayClassic;
        const QString file = writeBill(QString::fromLatin1(b.prefix) + u".csv"_s,
                                       older ? alipayClassicBill(lines, {u"已收入:1笔,3000.00元"_s, u"待收入:0笔,0.00元"_s,
                                                                         u"已支出:1笔,12.50元"_s, u"待支出:1笔,88.00元"_s})
                                             : billOf(b.layout, lines));
        files << file;
        ASSERT_TRUE(openImport(file));
        // Only the older Alipay bill states its totals here, after its rows.
        EXPECT_EQ(get(u"lblstated"_s)->isVisibleTo(w.get()), older);
        if (older) {
            EXPECT_EQ(texts(u"lblstated"_s), u"账单末尾的合计：收入 1 笔 3,000.00 元，支出 1 笔 12.50 元；"
                                             u"账单各行扣除退款后：收入 1 笔 3,000.00 元，支出 1 笔 12.50 元。两者相符。"_s);
        }
        const QStringList rows = grid(u"DG"_s);
        ASSERT_EQ(rows.size(), 4);
        EXPECT_TRUE(rows[2].endsWith(u"|不计收支"_s) && rows[3].endsWith(u"|交易关闭"_s)) << rows.join(u'\n').toStdString();
        auto* dg = get<QTableView>(u"DG"_s);
        EXPECT_FALSE(dg->model()->index(0, 0).data(Qt::ForegroundRole).isValid());
        EXPECT_TRUE(dg->model()->index(3, 0).data(Qt::ForegroundRole).isValid());
        if (files.size() == 1) {
            press(u"cmdimport"_s);
            EXPECT_EQ(lastMessage(), u"成员不能为空"_s);
            pick(u"cmdfindt"_s, 1);
            press(u"cmdimport"_s);
            EXPECT_TRUE(lastMessage().contains(u"“美团外卖”的支出还没有类型"_s)) << lastMessage().toStdString();
            EXPECT_EQ(grid(u"dgparty"_s), QStringList({u"支出|美团外卖|1|12.50||"_s, u"收入|公司|1|3,000.00||"_s}));
            selectParties({0, 1});
            press(u"cmdfindo"_s);
            EXPECT_TRUE(lastMessage().contains(u"既有收入也有支出"_s));
            selectParties({0});
            pick(u"cmdfindo"_s, 0);
            selectParties({1});
            pick(u"cmdfindo"_s, 1);
            EXPECT_EQ(grid(u"DG"_s).first(), u"2026-02-28|支出|美团外卖 午餐|12.50|李四|伙食|"_s);
            QTest::keyClick(get(u"dgparty"_s), Qt::Key_Return);  // Enter in a list posts nothing
            EXPECT_TRUE(w->isVisible());
        } else {
            // The second bill gives 公司 another type: the third is offered the newer one.
            const QString income = files.size() == 2 ? u"j|奖金"_s : u"g|工资"_s;
            EXPECT_EQ(grid(u"dgparty"_s), QStringList({u"支出|美团外卖|1|12.50|f|伙食"_s, u"收入|公司|1|3,000.00|"_s + income}));
            pick(u"cmdfindt"_s, 1);
            if (files.size() == 2) {
                selectParties({1});
                pickId(w.get(), u"cmdfindo"_s, u"g"_s);
            }
        }
        press(u"cmdimport"_s);
        EXPECT_FALSE(w->isVisible());
        EXPECT_TRUE(lastMessage().startsWith(QString::fromUtf8(b.done))) << lastMessage().toStdString();
        EXPECT_EQ(backups(), atStart + static_cast<int>(files.size()));
    }
    for (const QString& file : files) {
        ASSERT_TRUE(openImport(file));
        EXPECT_EQ(grid(u"DG"_s).first(), u"2026-02-28|支出|美团外卖 午餐|12.50|||已导入过"_s);
        EXPECT_TRUE(grid(u"dgparty"_s).isEmpty());
        pick(u"cmdfindt"_s, 0);
        press(u"cmdimport"_s);
        EXPECT_TRUE(lastMessage().contains(u"没有要导入的收支"_s));
        w->close();
    }
    EXPECT_EQ(rows(u"select 成员ID,类型ID,金额,日期,备注,月份 from 支出帐"_s), QStringList(3, u"02|f|12.5|2026-02-28|美团外卖 午餐|2"_s));
    EXPECT_EQ(rows(u"select 类型ID from 收入帐 order by rowid"_s), QStringList({u"j"_s, u"g"_s, u"g"_s}));
    EXPECT_EQ(rows(u"select 成员ID,金额,日期,备注,月份 from 收入帐"_s), QStringList(3, u"02|3000|2026-01-31|公司 一月工资|1"_s));
    EXPECT_EQ(rows(u"select 来源,交易号,帐 from 导入交易 order by rowid"_s),
              QStringList({u"微信支付|W1|支出帐"_s, u"微信支付|W2|收入帐"_s, u"支付宝|A1|支出帐"_s, u"支付宝|A2|收入帐"_s,
                           u"支付宝|C1|支出帐"_s, u"支付宝|C2|收入帐"_s}));
}

// The import posts expenses as 入帐 does: when they take a budget over (the household's or the
// member's own), one message after the import's own names each and by how much; nothing is refused.
TEST_F(BillImportTest, ImportTakingBudgetsOverNamesThemAfterItsOwnMessage)
{
    sql("insert into 预算 values ('', 'f', '', 12), ('02', 'f', '2026-02', 12.49), ('02', 'f', '2026-03', 1)");
    ASSERT_TRUE(openImport(writeBill(u"W.csv"_s, billOf(Bills::Layout::WeChat, household(u"W"_s)))));
    pick(u"cmdfindt"_s, 1);
    selectParties({0});
    pick(u"cmdfindo"_s, 0);
    selectParties({1});
    pick(u"cmdfindo"_s, 1);
    const qsizetype before = messageTexts().size();
    press(u"cmdimport"_s);
    const QStringList shown = messageTexts().mid(before);
    ASSERT_EQ(shown.size(), 2) << shown.join(u'\n').toStdString();
    EXPECT_TRUE(shown[0].startsWith(u"已导入微信支付账单"_s));
    EXPECT_EQ(shown[1], u"以下支出超出了预算：\n2026-02 全家 伙食：超出 0.50 元\n2026-02 李四 伙食：超出 0.01 元"_s);
    EXPECT_EQ(count(u"支出帐"_s), u"1"_s);
}

// Alipay's refunds, rows of their own: taken off their payment in the same bill, and from the record of
// a payment that an earlier bill imported (a correction that 撤销 takes back); a refund whose payment is
// in neither, a transfer and goods not yet received are posted only when ticked. The header's totals
// are shown beside the rows' own.
TEST_F(BillImportTest, AlipayRefundsAreTakenOffTheirPaymentsHereOrBefore)
{
    MainWindow main;  // its 编辑 menu takes back what the import corrected
    const QString march = writeBill(u"march.csv"_s, alipayBill({
        {u"E1"_s, u"2026-03-01 10:00:00"_s, u"支出"_s, u"商城"_s, u"冬季加厚羽绒服外套一件"_s, u"100.00"_s, u"交易成功"_s},
        {u"E2"_s, u"2026-03-02 10:00:00"_s, u"支出"_s, u"超市"_s, u"订单"_s, u"50.00"_s, u"交易成功"_s},
        {u"E3"_s, u"2026-03-02 11:00:00"_s, u"支出"_s, u"超市"_s, u"水果"_s, u"30.00"_s, u"交易成功"_s},
        {u"E2_r1"_s, u"2026-03-03 10:00:00"_s, u"不计收支"_s, u"超市"_s, u"退款"_s, u"20.00"_s, u"退款成功"_s},
        {u"E3_r1"_s, u"2026-03-03 11:00:00"_s, u"不计收支"_s, u"超市"_s, u"退款"_s, u"30.00"_s, u"退款成功"_s},
    }, {u"收入：0笔 0.00元"_s, u"支出：2笔 130.00元"_s}));
    ASSERT_TRUE(openImport(march));
    EXPECT_EQ(grid(u"DG"_s), QStringList({u"2026-03-01|支出|商城 冬季加厚羽绒服外套一件|100.00|||请选择类型"_s,
                                          u"2026-03-02|支出|超市 订单|30.00|||已扣除退款 20.00"_s,
                                          u"2026-03-02|支出|超市 水果|30.00|||已全额退款"_s,
                                          u"2026-03-03|不计收支|超市 退款|20.00|||已从第 27 行扣除"_s,
                                          u"2026-03-03|不计收支|超市 退款|30.00|||已从第 28 行扣除"_s}));
    EXPECT_EQ(texts(u"lblstated"_s), u"账单表头的合计：收入 0 笔 0.00 元，支出 2 笔 130.00 元；"
                                     u"账单各行扣除退款后：收入 0 笔 0.00 元，支出 2 笔 130.00 元。两者相符。"_s);
    pick(u"cmdfindt"_s, 0);
    get<QTableView>(u"dgparty"_s)->selectAll();
    pick(u"cmdfindo"_s, 0);
    press(u"cmdimport"_s);
    EXPECT_EQ(rows(u"select 金额, 备注 from 支出帐 order by rowid"_s), QStringList({u"100|商城 冬季加厚羽绒服外套一件"_s, u"30|超市 订单"_s}));

    const QString april = writeBill(u"april.csv"_s, alipayBill({
        {u"E1_r1"_s, u"2026-04-01 10:00:00"_s, u"不计收支"_s, u"商城"_s, u"退款"_s, u"41.21"_s, u"退款成功"_s},
        {u"X9_r1"_s, u"2026-04-01 11:00:00"_s, u"不计收支"_s, u"花店"_s, u"退款"_s, u"5.00"_s, u"退款成功"_s},
        {u"T1"_s, u"2026-04-02 10:00:00"_s, u"不计收支"_s, u"余额宝"_s, u"转入"_s, u"500.00"_s, u"交易成功"_s},
        {u"W1"_s, u"2026-04-03 10:00:00"_s, u"支出"_s, u"网店"_s, u"鞋"_s, u"60.00"_s, u"等待确认收货"_s},
        {u"E1_r2"_s, u"2026-04-04 10:00:00"_s, u"不计收支"_s, u"商城"_s, u"退款"_s, u"10.00"_s, u"退款成功"_s},
        {u"E2_r2"_s, u"2026-04-05 10:00:00"_s, u"不计收支"_s, u"超市"_s, u"退款"_s, u"5.00"_s, u"退款成功"_s},
        // A refund of March's bill again, taken off there already.
        {u"E2_r1"_s, u"2026-03-03 10:00:00"_s, u"不计收支"_s, u"超市"_s, u"退款"_s, u"20.00"_s, u"退款成功"_s},
    }, {u"收入：0笔 0.00元"_s, u"支出：1笔 60.00元"_s}));
    // A second preview of the same bill, opened before this one is posted and posted after it.
    ASSERT_TRUE(openImport(april));
    std::unique_ptr<QDialog> second(w.release());
    ASSERT_TRUE(openImport(april));
    EXPECT_TRUE(texts(u"lblstated"_s).endsWith(u"支出 0 笔 0.00 元。两者不同，请核对账单。"_s)) << texts(u"lblstated"_s).toStdString();
    EXPECT_EQ(grid(u"DG"_s), QStringList({u"2026-04-01|不计收支|商城 退款|41.21|||退款：从以前导入的记录中扣除"_s,
                                          u"2026-04-01|不计收支|花店 退款|5.00|||原交易不在账本中"_s,
                                          u"2026-04-02|不计收支|余额宝 转入|500.00|||不计收支"_s,
                                          u"2026-04-03|支出|网店 鞋|60.00|||等待确认收货"_s,
                                          u"2026-04-04|不计收支|商城 退款|10.00|||退款：从以前导入的记录中扣除"_s,
                                          u"2026-04-05|不计收支|超市 退款|5.00|||退款：从以前导入的记录中扣除"_s,
                                          u"2026-03-03|不计收支|超市 退款|20.00|||已导入过"_s}));
    auto* dg = get<QTableView>(u"DG"_s);
    EXPECT_FALSE(dg->model()->index(0, 0).data(Qt::ForegroundRole).isValid());
    EXPECT_FALSE(dg->model()->index(0, 6).data(Qt::CheckStateRole).isValid());
    EXPECT_EQ(dg->model()->index(1, 6).data(Qt::CheckStateRole), QVariant(Qt::Unchecked));
    for (int row : {1, 2, 3, 2})  // the transfer ticked, then unticked again
        tick(row);
    EXPECT_EQ(grid(u"dgparty"_s), QStringList({u"收入|花店|1|5.00||"_s, u"支出|网店|1|60.00||"_s}));
    EXPECT_EQ(grid(u"DG"_s)[1], u"2026-04-01|收入|花店 退款|5.00|||原交易不在账本中，仍导入为收入"_s);
    EXPECT_TRUE(texts(u"lblsum"_s).contains(u"从以前导入的记录中扣除退款 3 笔，共 56.21 元。不导入 2 笔"_s)) << texts(u"lblsum"_s).toStdString();
    pick(u"cmdfindt"_s, 0);
    selectParties({0});
    pickId(w.get(), u"cmdfindo"_s, u"j"_s);
    selectParties({1});
    pickId(w.get(), u"cmdfindo"_s, u"f"_s);
    press(u"cmdimport"_s);
    EXPECT_TRUE(lastMessage().contains(u"收入 1 笔，支出 1 笔。以前导入的 2 笔记录扣除了退款（可以撤销）。"_s)) << lastMessage().toStdString();
    // The note keeps its 20 characters: the refund said at its end, the item cut before it.
    const QStringList expenses{u"48.79|商城 冬季加厚羽绒服外 退款 51.21"_s, u"25|超市 订单 退款 5.00"_s, u"60|网店 鞋"_s};
    EXPECT_EQ(rows(u"select 金额, 备注 from 支出帐 order by rowid"_s), expenses);
    EXPECT_EQ(rows(u"select 类型ID, 金额, 备注 from 收入帐"_s), QStringList({u"j|5|花店 退款"_s}));
    w = std::move(second);
    pick(u"cmdfindt"_s, 0);
    press(u"cmdimport"_s);
    EXPECT_TRUE(lastMessage().contains(u"收入 0 笔，支出 0 笔。\n"_s)) << lastMessage().toStdString();
    EXPECT_EQ(rows(u"select 金额, 备注 from 支出帐 order by rowid"_s), expenses);

    // The same bill again takes nothing off twice; 撤销 gives the record back its amount and note.
    ASSERT_TRUE(openImport(april));
    EXPECT_EQ(grid(u"DG"_s)[0], u"2026-04-01|不计收支|商城 退款|41.21|||已导入过"_s);
    w->close();
    for (int step = 0; step < 2; ++step)
        main.findChild<QAction*>(u"mnuundo"_s)->trigger();
    EXPECT_EQ(rows(u"select 金额, 备注 from 支出帐 order by rowid limit 2"_s),
              QStringList({u"100|商城 冬季加厚羽绒服外套一件"_s, u"30|超市 订单"_s}));

    // A refund whose payment's record was deleted since is not taken off anything.
    sql(u"delete from 支出帐 where rowid = (select rowid from 支出帐 order by rowid limit 1 offset 1)"_s);
    ASSERT_TRUE(openImport(writeBill(u"may.csv"_s, alipayBill({
        {u"E2_r3"_s, u"2026-05-01 10:00:00"_s, u"不计收支"_s, u"超市"_s, u"退款"_s, u"1.00"_s, u"退款成功"_s}}))));
    EXPECT_EQ(grid(u"DG"_s), QStringList({u"2026-05-01|不计收支|超市 退款|1.00|||原交易的记录已不在账本中"_s}));

    // A refund listed above its payment (the newest rows come first) is kept against the payment's
    // record as well: a later bill holding it again takes nothing off.
    ASSERT_TRUE(openImport(writeBill(u"june.csv"_s, alipayBill({
        {u"E5_r1"_s, u"2026-06-02 10:00:00"_s, u"不计收支"_s, u"书店"_s, u"退款"_s, u"40.00"_s, u"退款成功"_s},
        {u"E5"_s, u"2026-06-01 10:00:00"_s, u"支出"_s, u"书店"_s, u"书"_s, u"100.00"_s, u"交易成功"_s}}))));
    pick(u"cmdfindt"_s, 0);
    get<QTableView>(u"dgparty"_s)->selectAll();
    pick(u"cmdfindo"_s, 0);
    press(u"cmdimport"_s);
    EXPECT_EQ(rows(u"select 金额 from 支出帐 where 备注 = '书店 书'"_s), QStringList({u"60"_s}));
    ASSERT_TRUE(openImport(writeBill(u"july.csv"_s, alipayBill({
        {u"E5_r1"_s, u"2026-06-02 10:00:00"_s, u"不计收支"_s, u"书店"_s, u"退款"_s, u"40.00"_s, u"退款成功"_s}}))));
    EXPECT_EQ(grid(u"DG"_s), QStringList({u"2026-06-02|不计收支|书店 退款|40.00|||已导入过"_s}));
}

// Two statements of one card that overlap (debit and credit columns, UTF-8), then another bank's card
// with the same movements (signed amounts, GB18030, dates as 20260110). The user names the columns of
// each layout once (chosen already where the header says what they hold, the date form guessed); the
// card's second statement goes straight to the preview and posts only what the first did not, the
// two equal payments of a day told apart by their balance; the other card's movements are its own.
TEST_F(BillImportTest, BankStatementsOfAnyLayoutPostEachMovementOnce)
{
    const QList<Movement> movements = {
        {QDate(2026, 1, 5), u"8000.00"_s, u"公司"_s, u"工资"_s},          {QDate(2026, 1, 10), u"-88.00"_s, u"超市"_s, u"消费"_s},
        {QDate(2026, 1, 10), u"-88.00"_s, u"超市"_s, u"消费"_s},          {QDate(2026, 1, 12), u"-1200.50"_s, u"老王, 小店"_s, u"转账"_s},
        {QDate(2026, 1, 20), u"-35.00"_s, u"书店"_s, u"买书"_s},          {QDate(2026, 1, 25), u"500.00"_s, u"老李"_s, u"还款"_s},
    };
    const QString first = writeBill(u"cmb.csv"_s, debitCreditStatement(movements.mid(0, 4)));
    const QString overlapping = writeBill(u"cmb-2.csv"_s, debitCreditStatement(movements.mid(2), Money::fromUnits(80'000'000 - 880'000)));
    const QString second = writeBill(u"icbc.csv"_s, signedStatement(movements.mid(1)));

    auto answer = [](const QStringList& chosen, const QString& form, std::function<void(QDialog*)> more = {}) {
        whenModal([=](QDialog* d) {
            EXPECT_EQ(d->objectName(), u"frmColumns"_s);
            QStringList got;
            for (const char* name : {"cbodate", "cboamount", "cbodebit", "cbocredit", "cboparty", "cbonote"})
                got << child<QComboBox>(d, QString::fromLatin1(name))->currentText();
            EXPECT_EQ(got, chosen);
            EXPECT_EQ(child<QComboBox>(d, u"cboform"_s)->currentData().toString(), form);
            if (more)
                more(d);
            click(d, u"cmdok"_s);
            if (d->isVisible()) {
                ADD_FAILURE() << "refused: " << lastMessage().toStdString();
                d->reject();
            }
        });
    };
    answer({u"第 1 列：交易日期"_s, u"（无：支出、收入分两列）"_s, u"第 5 列：支出金额"_s, u"第 6 列：存入金额"_s,
            u"第 4 列：对方户名"_s, u"第 3 列：摘要"_s},
           u"yyyy-MM-dd"_s, [](QDialog* d) {
               EXPECT_EQ(gridRows(child<QTableView>(d, u"DGrows"_s)).size(), 4);
               auto* date = child<QComboBox>(d, u"cbodate"_s);
               date->setCurrentIndex(0);
               click(d, u"cmdok"_s);
               EXPECT_EQ(lastMessage(), u"请选择日期所在的列。"_s);
               date->setCurrentIndex(1);
           });
    ASSERT_TRUE(openImport(first));
    EXPECT_EQ(grid(u"DG"_s), QStringList({u"2026-01-05|收入|公司 工资|8,000.00|||请选择类型"_s,
                                          u"2026-01-10|支出|超市 消费|88.00|||请选择类型"_s,
                                          u"2026-01-10|支出|超市 消费|88.00|||请选择类型"_s,
                                          u"2026-01-12|支出|老王, 小店 转账|1,200.50|||请选择类型"_s}));
    pick(u"cmdfindt"_s, 0);
    selectParties({0});
    pickId(w.get(), u"cmdfindo"_s, u"g"_s);
    selectParties({1, 2});
    pickId(w.get(), u"cmdfindo"_s, u"f"_s);
    press(u"cmdimport"_s);
    EXPECT_TRUE(lastMessage().startsWith(u"已导入银行流水：收入 1 笔，支出 3 笔。"_s)) << lastMessage().toStdString();

    // The same card again, from the second payment of 10 January on: no question, the rows posted
    // before greyed.
    auto noQuestion = [] {
        auto waiting = std::make_shared<bool>(true);
        QTimer::singleShot(2000, [waiting] {
            if (QWidget* m = *waiting ? QApplication::activeModalWidget() : nullptr) {
                ADD_FAILURE() << "the columns were asked for again";
                m->close();
            }
        });
        return waiting;
    };
    auto waiting = noQuestion();
    ASSERT_TRUE(openImport(overlapping));
    *waiting = false;
    EXPECT_EQ(grid(u"DG"_s), QStringList({u"2026-01-10|支出|超市 消费|88.00|||已导入过"_s, u"2026-01-12|支出|老王, 小店 转账|1,200.50|||已导入过"_s,
                                          u"2026-01-20|支出|书店 买书|35.00|||请选择类型"_s, u"2026-01-25|收入|老李 还款|500.00|||请选择类型"_s}));
    w->close();

    answer({u"第 1 列：记账日期"_s, u"第 2 列：交易金额"_s, u"（无）"_s, u"（无）"_s, u"第 3 列：对方名称"_s, u"第 4 列：用途"_s},
           u"yyyyMMdd"_s, [](QDialog* d) {
               auto* form = child<QComboBox>(d, u"cboform"_s);
               const int guessed = form->currentIndex();
               form->setCurrentIndex(0);
               click(d, u"cmdok"_s);
               EXPECT_TRUE(lastMessage().contains(u"不全是“yyyy-MM-dd”形式的日期"_s)) << lastMessage().toStdString();
               form->setCurrentIndex(guessed);
           });
    ASSERT_TRUE(openImport(second));
    EXPECT_EQ(grid(u"DG"_s), QStringList({u"2026-01-10|支出|超市 消费|88.00||伙食|"_s, u"2026-01-10|支出|超市 消费|88.00||伙食|"_s,
                                          u"2026-01-12|支出|老王, 小店 转账|1,200.50||伙食|"_s, u"2026-01-20|支出|书店 买书|35.00|||请选择类型"_s,
                                          u"2026-01-25|收入|老李 还款|500.00|||请选择类型"_s}));
    pick(u"cmdfindt"_s, 0);
    selectParties({2});
    pickId(w.get(), u"cmdfindo"_s, u"f"_s);
    selectParties({3});
    pickId(w.get(), u"cmdfindo"_s, u"j"_s);
    press(u"cmdimport"_s);
    EXPECT_EQ(rows(u"select 金额, 日期, 备注 from 支出帐 order by rowid"_s),
              QStringList({u"88|2026-01-10|超市 消费"_s, u"88|2026-01-10|超市 消费"_s, u"1200.5|2026-01-12|老王, 小店 转账"_s,
                           u"88|2026-01-10|超市 消费"_s, u"88|2026-01-10|超市 消费"_s, u"1200.5|2026-01-12|老王, 小店 转账"_s,
                           u"35|2026-01-20|书店 买书"_s}));
    EXPECT_EQ(rows(u"select 类型ID, 金额, 日期 from 收入帐 order by rowid"_s), QStringList({u"g|8000|2026-01-05"_s, u"j|500|2026-01-25"_s}));

    // The header is known now: no question, and nothing left to post.
    waiting = noQuestion();
    ASSERT_TRUE(openImport(second));
    *waiting = false;
    EXPECT_TRUE(grid(u"dgparty"_s).isEmpty());
}

// A broken bill is refused with its line before any window opens: the books, the bill and the
// backups folder stay as they were. Giving up in the file dialog says nothing.
TEST_F(BillImportTest, BrokenBillIsRefusedWithItsLineAndNothingChanges)
{
    QList<BillLine> lines = household(u"W"_s);
    lines[1].time = u"2026-02-30 09:00:00"_s;
    const QByteArray bytes = weChatBill(lines, false);
    const QString file = writeBill(u"broken.csv"_s, bytes);
    const QByteArray books = fileBytes(dbPath());
    const int atStart = backups();
    EXPECT_FALSE(openImport(file));
    ASSERT_EQ(messageTexts().size(), 1);
    EXPECT_TRUE(lastMessage().contains(u"第 %1 行"_s.arg(firstRowLine(Bills::Layout::WeChat) + 1))) << lastMessage().toStdString();
    EXPECT_TRUE(lastMessage().contains(QDir::toNativeSeparators(file)));
    EXPECT_EQ(fileBytes(dbPath()), books);
    EXPECT_EQ(fileBytes(file), bytes);
    EXPECT_EQ(backups(), atStart);
    EXPECT_FALSE(openImport(QString()));
    EXPECT_EQ(messageTexts().size(), 1);
}

// Posting is one transaction after one backup: a backup that cannot be made, or a record the file
// refuses, leaves the ledgers, the trade numbers and the types as they were, with the window open.
// Quotes, commas, line breaks, emoji, SQL and markup in a bill reach the file as text.
TEST_F(BillImportTest, PostingIsAllOrNothingAndTextsStayText)
{
    const QString party = u"老王, \"小店\"'); DROP TABLE 支出帐;--"_s;
    const QString file = writeBill(u"text.csv"_s,
        weChatBill({{u"X1"_s, u"2026-03-01 08:00:00"_s, u"支出"_s, party, u"第一行\n第二行😀👨‍👩‍👧<b>粗</b>"_s, u"9.90"_s, u"支付成功"_s},
                    {u"X2"_s, u"2026-03-02 08:00:00"_s, u"支出"_s, u"<i>书店</i>"_s, u"/"_s, u"99"_s, u"支付成功"_s}},
                   true));
    ASSERT_TRUE(openImport(file));
    pick(u"cmdfindt"_s, 0);
    get<QTableView>(u"dgparty"_s)->selectAll();
    pick(u"cmdfindo"_s, 0);
    auto untouched = [this] {
        EXPECT_TRUE(w->isVisible());
        EXPECT_EQ(count(u"支出帐"_s) + count(u"导入交易"_s) + count(u"导入对方类型"_s), u"000"_s);
    };

    QDir(folder() + u"/backups"_s).removeRecursively();
    writeFile(folder() + u"/backups"_s, "a file where the folder should be");
    press(u"cmdimport"_s);
    EXPECT_TRUE(lastMessage().contains(u"备份没有成功"_s)) << lastMessage().toStdString();
    untouched();
    QFile::remove(folder() + u"/backups"_s);

    sql(u"create trigger stop before insert on 支出帐 when new.金额 = 99 begin select raise(abort, 'no'); end;"_s);
    press(u"cmdimport"_s);
    EXPECT_TRUE(lastMessage().startsWith(u"导入没有成功，帐上什么也没有改动。"_s)) << lastMessage().toStdString();
    untouched();
    sql(u"drop trigger stop;"_s);

    // Posted without the types chosen (not through this window, which asks for each): refused whole.
    BillPosting::Choices memberOnly;
    memberOnly.member = u"01"_s;
    EXPECT_THROW(BillPosting::post(App::conn, Bills::read(fileBytes(file)), memberOnly), DbError);
    untouched();

    // A trade posted by someone else since the preview was made is not posted again.
    sql(u"insert into 导入交易 values ('微信支付', 'X2', '支出帐', null);"_s);
    press(u"cmdimport"_s);
    EXPECT_FALSE(w->isVisible());
    EXPECT_TRUE(lastMessage().contains(u"收入 0 笔，支出 1 笔"_s)) << lastMessage().toStdString();
    EXPECT_EQ(rows(u"select 备注, 金额 from 支出帐"_s), QStringList({u"老王, \"小店\"'); DROP TAB|9.9"_s}));
    EXPECT_EQ(rows(u"select 交易对方 from 导入对方类型"_s), QStringList({party}));
    EXPECT_EQ(rows(u"select 交易号, 行号 is not null from 导入交易 order by 交易号"_s), QStringList({u"X1|1"_s, u"X2|0"_s}));
}

// A message that names a counterparty shows it as written, never as markup.
TEST_F(BillImportTest, MessagesAreShownAsPlainText)
{
    App::setAnswerer(nullptr);
    Qt::TextFormat format = Qt::RichText;
    whenModal([&](QDialog* d) {
        if (auto* box = qobject_cast<QMessageBox*>(d))
            format = box->textFormat();
        d->accept();
    });
    App::msgBox(u"<b>交易对方</b>"_s, App::MsgStyle::Information);
    App::setAnswerer(&script());
    EXPECT_EQ(format, Qt::PlainText);
}

}  // namespace
