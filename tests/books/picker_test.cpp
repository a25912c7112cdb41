#include "bookstest.h"

#include "books/frmfind.h"

#include <QHeaderView>

namespace {

class PickerTest : public DbTest {
protected:
    void SetUp() override
    {
        DbTest::SetUp();
        sql(QStringLiteral("insert into 成员 values('01','张三','父亲','');"
                           "insert into 成员 values('02','李四','母亲','');"
                           "insert into 银行 values('b1','工行','6222');"));
        openConn();
    }
    void request(const QString& table, const QString& name)
    {
        Modmain::findTable = table;
        Modmain::findIdField = QStringLiteral("ID");
        Modmain::findNameField = name;
    }
};

TEST_F(PickerTest, HandsBackTheChosenOrFirstRow)
{
    request(QStringLiteral("成员"), QStringLiteral("姓名"));
    answerPicker(1);
    EXPECT_TRUE(frmFind::pick());
    EXPECT_EQ(Modmain::findId, QStringLiteral("02"));
    EXPECT_EQ(Modmain::findName, QStringLiteral("李四"));

    answerPicker(-1);  // 确认 at once
    EXPECT_TRUE(frmFind::pick());
    EXPECT_EQ(Modmain::findId, QStringLiteral("01"));
    EXPECT_EQ(Modmain::findName, QStringLiteral("张三"));
}

TEST_F(PickerTest, CancelCloseAndEmptyListReturnNothing)
{
    Modmain::findId = QStringLiteral("earlier");
    Modmain::findName = QStringLiteral("之前");
    request(QStringLiteral("成员"), QStringLiteral("姓名"));
    cancelPicker();
    EXPECT_FALSE(frmFind::pick());
    cancelPicker(true);
    EXPECT_FALSE(frmFind::pick());
    request(QStringLiteral("收入类型"), QStringLiteral("类型"));  // no rows
    answerPicker(-1);
    EXPECT_FALSE(frmFind::pick());
    EXPECT_EQ(Modmain::findId, QStringLiteral("earlier"));
    EXPECT_EQ(Modmain::findName, QStringLiteral("之前"));
    EXPECT_TRUE(messageTexts().isEmpty());
}

TEST_F(PickerTest, ListsTheRequestedColumnsReadOnly)
{
    request(QStringLiteral("银行"), QStringLiteral("开户行"));
    whenModal([](QDialog* d) {
        EXPECT_EQ(d->windowTitle(), QStringLiteral("查找相关信息"));
        auto* fg = child<QTableView>(d, QStringLiteral("FG"));
        ASSERT_NE(fg, nullptr);
        EXPECT_EQ(fg->model()->columnCount(), 2);
        EXPECT_EQ(fg->model()->headerData(0, Qt::Horizontal).toString(), QStringLiteral("ID"));
        EXPECT_EQ(fg->model()->headerData(1, Qt::Horizontal).toString(), QStringLiteral("开户行"));
        EXPECT_EQ(fg->horizontalHeader()->sectionSize(0), twips(700));
        EXPECT_EQ(fg->editTriggers(), QAbstractItemView::NoEditTriggers);
        auto* ok = d->findChild<QWidget*>(QStringLiteral("ok"));
        ASSERT_NE(ok, nullptr);
        EXPECT_EQ(ok->accessibleName(), QStringLiteral("确认"));
        d->reject();
    });
    EXPECT_FALSE(frmFind::pick());
}

TEST_F(PickerTest, UnreadableRequestIsReportedNotPicked)
{
    request(QStringLiteral("没有这张表"), QStringLiteral("姓名"));
    answerPicker(-1);
    EXPECT_FALSE(frmFind::pick());
    EXPECT_EQ(messageTexts().size(), 1);
}

}  // namespace
