// 导入账单… with banks' statements as they really come, through the windows as a person does it: each
// bank's shape posts the income and expenses a count of its rows gives; dates without a year, words of
// a direction column, records entered by hand and the bank's own ledger.
#include "bookstest.h"
#include "bills.h"
#include "support/statementfiles.h"
#include "session.h"

#include <QCheckBox>
#include <QTimer>

namespace {

class StatementImportTest : public BooksTest {
protected:
    QString write(const QString& name, const QByteArray& bytes)
    {
        const QString path = folder() + u"/"_s + name;
        writeFile(path, bytes);
        return path;
    }
    bool openImport(const QString& path)
    {
        script().queueFileChoice(path);
        QDialog* d = App::createWindow(u"frmImport"_s, App::store(), nullptr);
        if (d)
            open(d);
        return d != nullptr;
    }
    QStringList grid(const QString& name) { return gridRows(get<QTableView>(name)); }
    // The member, then every counterparty of each kind given one type: 工资 (g) or 伙食 (f).
    void pickMemberAndTypes()
    {
        pick(u"cmdfindt"_s, 0);
        auto* parties = get<QTableView>(u"dgparty"_s);
        for (const QString& kind : {u"收入"_s, u"支出"_s}) {
            QList<int> of;
            for (int row = 0; row < parties->model()->rowCount(); ++row)
                if (parties->model()->index(row, 0).data().toString() == kind)
                    of << row;
            for (int row : of)
                clickRow(parties, row, row == of.first() ? Qt::NoModifier : Qt::ControlModifier);
            if (!of.isEmpty())
                pickId(w.get(), u"cmdfindo"_s, kind == u"收入"_s ? u"g"_s : u"f"_s);
        }
    }
    // Ticks a greyed row of the bill from the keyboard.
    void tick(int row)
    {
        auto* dg = get<QTableView>(u"DG"_s);
        dg->setFocus();
        dg->setCurrentIndex(dg->model()->index(row, 6));
        QTest::keyClick(dg, Qt::Key_Space);
    }
    // Fails when a window asks anything within two seconds (the answer is to be remembered).
    static std::shared_ptr<bool> noQuestion()
    {
        auto waiting = std::make_shared<bool>(true);
        QTimer::singleShot(2000, [waiting] {
            if (QWidget* m = *waiting ? QApplication::activeModalWidget() : nullptr) {
                ADD_FAILURE() << "asked again: " << m->objectName().toStdString();
                m->close();
            }
        });
        return waiting;
    }
};

// The column dialog answered: `more` first (it may check or change the choices), then 确定.
void answerColumns(std::function<void(QDialog*)> more = {})
{
    whenModal([more](QDialog* d) {
        EXPECT_EQ(d->objectName(), u"frmColumns"_s);
        if (more)
            more(d);
        click(d, u"cmdok"_s);
        if (d->isVisible()) {
            ADD_FAILURE() << "refused: " << lastMessage().toStdString();
            d->reject();
        }
    });
}

QString chosen(QDialog* d, const char* box)
{
    return child<QComboBox>(d, QString::fromLatin1(box))->currentText();
}

Money yuan(double amount)
{
    return Money::fromDouble(amount);
}

// A month of one card: a salary (or a repayment), two equal payments of a day, the rent, a refund.
const QList<BankMovement> kMonth = movements({{QDate(2026, 1, 5), yuan(8000), u"公司"_s, u"工资"_s},
                                              {QDate(2026, 1, 8), yuan(-88.5), u"超市"_s, u"消费"_s},
                                              {QDate(2026, 1, 8), yuan(-88.5), u"超市"_s, u"消费"_s},
                                              {QDate(2026, 1, 15), yuan(-1200), u"房东"_s, u"房租"_s},
                                              {QDate(2026, 1, 20), yuan(35), u"书店"_s, u"退款"_s}},
                                             yuan(1000));

// Each bank's statement, as its bank writes it, through 导入账单… with the columns as the dialog
// offers them (a BMO card statement says nothing of a credit card: there the user says 是支出): every
// movement in yuan posted the way it went, a row in another currency greyed.
TEST_F(StatementImportTest, EachBanksStatementPostsWhatItsRowsCount)
{
    QList<BankMovement> withDollars = kMonth;
    withDollars << BankMovement{QDate(2026, 1, 21), yuan(-20), u"Amazon"_s, u"书"_s, u"USD"_s};
    const struct {
        const char* bank;
        QString file;
        QByteArray bytes;
        std::function<void(QDialog*)> columns;
        int income, expense, notPosted;
    } banks[] = {
        {"工商银行", u"icbc.csv"_s, icbcDebit(kMonth).bytes(),
         [](QDialog* d) {
             // A pair of columns before one amount, the account's own (记账) money and currency.
             EXPECT_EQ(QStringList({chosen(d, "cboamount"), chosen(d, "cbodebit"), chosen(d, "cbocredit"), chosen(d, "cbocurrency"),
                                    chosen(d, "cbobalance"), chosen(d, "cboparty"), chosen(d, "cbopositive")}),
                       QStringList({u"（无：支出、收入分两列）"_s, u"第 11 列：记账金额(支出)"_s, u"第 10 列：记账金额(收入)"_s, u"第 12 列：记账币种"_s,
                                    u"第 13 列：余额"_s, u"第 14 列：对方户名"_s, u"是收入"_s}));
         },
         2, 3, 0},
        {"招商银行信用卡", u"cmb.csv"_s, cmbCredit(kMonth).bytes(),
         [](QDialog* d) {
             EXPECT_EQ(QStringList({chosen(d, "cbodate"), child<QComboBox>(d, u"cboform"_s)->currentData().toString(),
                                    child<QLineEdit>(d, u"txtperiod"_s)->text(), chosen(d, "cboamount"), chosen(d, "cbopositive"),
                                    chosen(d, "cboaccount")}),
                       QStringList({u"第 1 列：交易日"_s, u"M/d"_s, u"2026-01"_s, u"第 4 列：人民币金额"_s, u"是支出"_s, u"第 5 列：卡号末四位"_s}));
         },
         2, 3, 0},
        {"广发银行信用卡", u"cgb.csv"_s, cgbCredit(kMonth).bytes(), {}, 2, 3, 0},
        {"中信银行信用卡", u"citic.csv"_s, citicCredit(kMonth).bytes(), {}, 2, 3, 0},
        {"BMO", u"bmo.csv"_s, bmoCredit(kMonth).bytes(),
         [](QDialog* d) {
             EXPECT_EQ(chosen(d, "cbopositive"), u"是收入"_s);
             child<QComboBox>(d, u"cbopositive"_s)->setCurrentIndex(1);
         },
         2, 3, 0},
        {"交通银行", u"bocom.csv"_s, bocomDebit(kMonth).bytes(),
         [](QDialog* d) { EXPECT_EQ(chosen(d, "cbodirection"), u"第 4 列：借贷"_s); }, 2, 3, 0},
        {"交通银行信用卡", u"bocom-credit.csv"_s, bocomCredit(withDollars).bytes(), {}, 2, 3, 1},
        {"中国银行", u"boc.csv"_s, bocDebit(withDollars).bytes(),
         [](QDialog* d) { EXPECT_EQ(chosen(d, "cbocurrency"), u"第 3 列：币别"_s); }, 2, 3, 1},
        {"HSBC", u"hsbc.csv"_s, hsbcHongKong(withDollars).bytes(), {}, 2, 3, 1},
        {"浦发银行", u"spdb.xls"_s, spdbTabText(kMonth).bytes(), {}, 2, 3, 0},
        {"建设银行", u"ccb.xls"_s, fileBytes(ccbWorkbookPath()), {}, 1, 3, 1},
        {"美团", u"meituan.csv"_s, meituanBill(kMonth).bytes(), {}, 2, 3, 0},
    };
    int posted = 0;
    for (const auto& b : banks) {
        SCOPED_TRACE(b.bank);
        posted += b.income + b.expense;
        answerColumns(b.columns);
        ASSERT_TRUE(openImport(write(b.file, b.bytes)));
        EXPECT_EQ(get<QTableView>(u"DG"_s)->model()->rowCount(), b.income + b.expense + b.notPosted);
        pickMemberAndTypes();
        press(u"cmdimport"_s);
        EXPECT_TRUE(lastMessage().startsWith(u"已导入银行流水：收入 %1 笔，支出 %2 笔。"_s.arg(b.income).arg(b.expense)))
            << lastMessage().toStdString();
        EXPECT_FALSE(w->isVisible());
    }
    EXPECT_EQ(scalar("select count(*) from 导入交易"), QString::number(posted));
}

// The old Excel file reads as its sheet shows it, its foreign row greyed and posted when ticked.
TEST_F(StatementImportTest, OldExcelShowsWhatItIsAndItsForeignRowPostsWhenTicked)
{
    answerColumns();
    ASSERT_TRUE(openImport(write(u"ccb.xls"_s, fileBytes(ccbWorkbookPath()))));
    EXPECT_EQ(texts(u"lblfile"_s), u"银行流水：ccb.xls（旧版 Excel 工作簿，5 笔交易）"_s);
    EXPECT_EQ(grid(u"DG"_s).last(), u"2026-01-21|收入|结息|0.35|||外币（美元）"_s);
    tick(4);
    EXPECT_EQ(grid(u"DG"_s).last(), u"2026-01-21|收入|结息|0.35|||外币（美元），仍导入为收入"_s);
    pickMemberAndTypes();
    press(u"cmdimport"_s);
    EXPECT_TRUE(lastMessage().startsWith(u"已导入银行流水：收入 2 笔，支出 3 笔。"_s)) << lastMessage().toStdString();
}

// A credit card statement whose dates have no year and whose title names no month: the dialog asks
// for the month (once it is given the December rows go to the year before); the next statement of
// the same card that names its month goes straight to the preview.
TEST_F(StatementImportTest, DatesWithoutAYearAskForTheMonthWhenTheTitleHasNone)
{
    const QList<BankMovement> yearEnd = movements({{QDate(2025, 12, 29), yuan(-99), u"书店"_s, u"买书"_s},
                                                   {QDate(2026, 1, 2), yuan(-18), u"咖啡"_s, u"拿铁"_s},
                                                   {QDate(2026, 1, 10), yuan(117), u"还款"_s, u"谢谢"_s}});
    StatementFile untitled = cmbCredit(yearEnd);
    untitled.above[0] = u"信用卡对账单"_s;
    answerColumns([](QDialog* d) {
        auto* period = child<QLineEdit>(d, u"txtperiod"_s);
        EXPECT_TRUE(period->isEnabled());
        EXPECT_TRUE(period->text().isEmpty());
        click(d, u"cmdok"_s);
        EXPECT_TRUE(lastMessage().contains(u"请在“账单月份”里填写"_s)) << lastMessage().toStdString();
        EXPECT_EQ(d->focusWidget(), period);
        typeInto(period, u"2026年1月"_s);
    });
    ASSERT_TRUE(openImport(write(u"cmb-1.csv"_s, untitled.bytes())));
    EXPECT_EQ(grid(u"DG"_s), QStringList({u"2025-12-29|支出|书店 买书|99.00|||请选择类型"_s, u"2026-01-02|支出|咖啡 拿铁|18.00|||请选择类型"_s,
                                          u"2026-01-10|收入|还款 谢谢|117.00|||请选择类型"_s}));
    pickMemberAndTypes();
    press(u"cmdimport"_s);
    EXPECT_EQ(rows(u"select 日期, 月份 from 支出帐 order by rowid"_s), QStringList({u"2025-12-29|12"_s, u"2026-01-02|1"_s}));

    const QList<BankMovement> february = movements({{QDate(2026, 2, 3), yuan(-45), u"花店"_s, u"花"_s}});
    auto waiting = noQuestion();
    ASSERT_TRUE(openImport(write(u"cmb-2.csv"_s, cmbCredit(february, u"2026年02月"_s).bytes())));
    *waiting = false;
    // No counterparty column: the type given to the empty counterparty last time is offered.
    EXPECT_EQ(grid(u"DG"_s), QStringList({u"2026-02-03|支出|花店 花|45.00||伙食|"_s}));
}

// 京东's bill is offered to the column dialog (not refused as a broken Alipay bill); its 收/支 word
// 不计收支 is asked about once, its rows greyed as such, and the answer kept for the next bill.
TEST_F(StatementImportTest, AWordOfTheDirectionColumnIsAskedOnce)
{
    const QList<BankMovement> list = movements({{QDate(2026, 1, 5), yuan(-59), u"京东自营"_s, u"鼠标"_s},
                                                {QDate(2026, 1, 9), yuan(-100), u"白条"_s, u"还款"_s},
                                                {QDate(2026, 1, 9), yuan(12), u"京东"_s, u"返现"_s}});
    answerColumns([](QDialog* d) {
        EXPECT_EQ(chosen(d, "cbodirection"), u"第 7 列：收/支"_s);
        whenModal([](QDialog* word) {
            EXPECT_EQ(word->objectName(), u"frmDirection"_s);
            auto* kind = child<QComboBox>(word, u"cbokind"_s);
            kind->setCurrentIndex(kind->findData(static_cast<int>(Bills::Kind::Neither)));
            click(word, u"cmdok"_s);
        });
    });
    ASSERT_TRUE(openImport(write(u"jd-1.csv"_s, jdBill(list).bytes())));
    EXPECT_EQ(grid(u"DG"_s), QStringList({u"2026-01-05|支出|京东自营 鼠标|59.00|||请选择类型"_s, u"2026-01-09|不计收支|白条 还款|100.00|||不计收支"_s,
                                          u"2026-01-09|收入|京东 返现|12.00|||请选择类型"_s}));
    pickMemberAndTypes();
    press(u"cmdimport"_s);
    EXPECT_TRUE(lastMessage().startsWith(u"已导入银行流水：收入 1 笔，支出 1 笔。"_s)) << lastMessage().toStdString();

    const QList<BankMovement> next = movements({{QDate(2026, 2, 9), yuan(-80), u"白条"_s, u"还款"_s}});
    auto waiting = noQuestion();
    ASSERT_TRUE(openImport(write(u"jd-2.csv"_s, jdBill(next).bytes())));
    *waiting = false;
    EXPECT_EQ(grid(u"DG"_s), QStringList({u"2026-02-09|不计收支|白条 还款|80.00|||不计收支"_s}));
}

// A salary typed into 收入帐录入 before the statement came: its row is greyed 可能已录入 with the
// record's date, amount and note, and posts only when ticked.
TEST_F(StatementImportTest, ARecordEnteredByHandIsGreyedUntilTicked)
{
    sql("insert into 收入帐 (成员ID, 类型ID, 金额, 日期, 备注, 月份) values('01','g',8000,'2026-01-04','一月工资',1);");
    answerColumns();
    ASSERT_TRUE(openImport(write(u"bocom.csv"_s, bocomDebit(kMonth).bytes())));
    EXPECT_EQ(grid(u"DG"_s).first(), u"2026-01-05|收入|公司 工资|8,000.00|||可能已录入（2026-01-04 8,000.00 一月工资）"_s);
    auto* dg = get<QTableView>(u"DG"_s);
    EXPECT_TRUE(dg->model()->index(0, 0).data(Qt::ForegroundRole).isValid());
    EXPECT_TRUE(texts(u"lblsum"_s).endsWith(u"不导入 1 笔（原因见“说明”列）。"_s)) << texts(u"lblsum"_s).toStdString();
    pickMemberAndTypes();
    press(u"cmdimport"_s);
    EXPECT_TRUE(lastMessage().startsWith(u"已导入银行流水：收入 1 笔，支出 3 笔。"_s)) << lastMessage().toStdString();

    // Ticked, it posts: the hand-typed record was another movement after all.
    sql("delete from 支出帐; delete from 收入帐 where rowid > 1; delete from 导入交易;");
    ASSERT_TRUE(openImport(write(u"bocom.csv"_s, bocomDebit(kMonth).bytes())));
    tick(0);
    EXPECT_EQ(grid(u"DG"_s).first(), u"2026-01-05|收入|公司 工资|8,000.00|||可能已录入（2026-01-04 8,000.00 一月工资），仍导入为收入"_s);
    pickMemberAndTypes();
    press(u"cmdimport"_s);
    EXPECT_TRUE(lastMessage().startsWith(u"已导入银行流水：收入 2 笔，支出 3 笔。"_s)) << lastMessage().toStdString();
    EXPECT_EQ(scalar("select count(*) from 收入帐 where 金额 = 8000"), u"2"_s);
}

// 同时记入银行帐: off by default; on, with the bank chosen, each movement posted also goes into 银行帐
// (存入 or 支出, 活期) in the same import, and the choice is remembered with the columns.
TEST_F(StatementImportTest, TheBankLedgerFollowsTheStatementWithItsOption)
{
    answerColumns([](QDialog* d) {
        auto* also = child<QCheckBox>(d, u"chkbank"_s);
        EXPECT_FALSE(also->isChecked());
        also->setChecked(true);
        click(d, u"cmdok"_s);
        EXPECT_EQ(lastMessage(), u"要同时记入银行帐，请选择是哪个银行。"_s);
        auto* bank = child<QComboBox>(d, u"cbobank"_s);
        EXPECT_EQ(bank->itemText(1), u"b1 工行"_s);
        bank->setCurrentIndex(1);
        // Each new input is its label's buddy (Alt and the letter reach it; a screen reader names it).
        QStringList labels;
        for (const char* name : {"cbopositive", "cbodirection", "txtperiod", "cbobalance", "cbocurrency", "cboaccount", "cbobank"})
            for (QLabel* l : d->findChildren<QLabel*>())
                if (l->buddy() == d->findChild<QWidget*>(QString::fromLatin1(name)))
                    labels << l->text();
        EXPECT_EQ(labels, QStringList({u"金额为正数时(&S):"_s, u"收支列(&K):"_s, u"账单月份(&M):"_s, u"余额(&B):"_s, u"币种(&C):"_s,
                                       u"卡号/账号(&U):"_s, u"银行(&Y):"_s}));
    });
    ASSERT_TRUE(openImport(write(u"bocom.csv"_s, bocomDebit(kMonth.mid(0, 2)).bytes())));
    EXPECT_TRUE(texts(u"lblfile"_s).endsWith(u"，各笔同时记入银行帐（工行）"_s)) << texts(u"lblfile"_s).toStdString();
    pickMemberAndTypes();
    press(u"cmdimport"_s);
    EXPECT_TRUE(lastMessage().startsWith(u"已导入银行流水：收入 1 笔，支出 1 笔。同时记入银行帐 2 笔。"_s)) << lastMessage().toStdString();
    auto waiting = noQuestion();
    ASSERT_TRUE(openImport(write(u"bocom-2.csv"_s, bocomDebit(kMonth.mid(3, 1)).bytes())));
    *waiting = false;
    pickMemberAndTypes();
    press(u"cmdimport"_s);
    EXPECT_EQ(rows(u"select 银行ID, 成员ID, 存或取, 类型, 金额, 日期 from 银行帐 order by rowid"_s),
              QStringList({u"b1|01|存入|活期|8000|2026-01-05"_s, u"b1|01|支出|活期|88.5|2026-01-08"_s, u"b1|01|支出|活期|1200|2026-01-15"_s}));
}

}  // namespace
