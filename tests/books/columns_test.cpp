// The grids of 银行帐 and 债权债务管理 show every column at the size the window opens with, for the
// records of a real household: no column has to be scrolled to, and a repayment log that grows
// with every repayment is cut short in the grid, its whole text a tooltip away.
#include "bookstest.h"
#include "bankledger.h"
#include "debts.h"
#include "session.h"

namespace {

class ColumnsTest : public BooksTest {};

TEST_F(ColumnsTest, TheBankLedgerShowsEveryColumn)
{
    sql("insert into 银行帐 (银行ID, 成员ID, 存或取, 类型, 金额, 日期) values ('b1', '01', '存入', '活期', 1234567.89, '2026-01-05'),"
        " ('b2', '02', '支出', '定期', 88000, '2026-12-31');");
    open(new BankLedger(App::store()));
    auto* grid = get<QTableView>("DG");
    EXPECT_EQ(columnsOutOfView(grid), QStringList());
    EXPECT_EQ(narrowColumns(grid), QStringList());
}

TEST_F(ColumnsTest, TheDebtsShowTheBalanceHoweverLongTheRepaymentLog)
{
    QString log;
    for (int month = 1; month <= 12; ++month)
        log += QStringLiteral("2026-%1-5还 2000 元|").arg(month);
    sql(QStringLiteral("insert into 负债 (借款日期, 债权人, 类型, 金额, 还款记录, 余额) values ('2025-12-02', '王叔叔', '欠人', 1000000, '%1', 976000),"
                       " ('2026-01-18', '刘阿姨', '人欠', 3000, '', 3000);")
            .arg(log));
    open(new DebtsWindow(App::store()));
    auto* grid = get<QTableView>("DG");
    EXPECT_EQ(columnsOutOfView(grid), QStringList());
    // Every column but the log is as wide as what it shows; the log is cut short, whole in its tooltip.
    const QStringList narrow = narrowColumns(grid);
    ASSERT_EQ(narrow.size(), 1) << narrow.join(u'\n').toStdString();
    EXPECT_TRUE(narrow.first().startsWith("还款记录:"));
    EXPECT_EQ(grid->model()->index(0, 4).data(Qt::ToolTipRole).toString(), log);

    // Given more room, the log takes it, and the balance stays in view; with room enough, it is whole.
    const int before = grid->columnWidth(4);
    w->resize(w->width() * 2, w->height());
    QApplication::processEvents();
    EXPECT_GT(grid->columnWidth(4), before + w->width() / 4);
    EXPECT_EQ(columnsOutOfView(grid), QStringList());
    w->resize(w->width() * 2, w->height());
    QApplication::processEvents();
    EXPECT_EQ(columnsOutOfView(grid), QStringList());
    EXPECT_EQ(narrowColumns(grid), QStringList());
}

}  // namespace
