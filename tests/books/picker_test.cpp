#include "bookstest.h"

#include "books/frmfind.h"

#include <QHeaderView>
#include <QLabel>

namespace {

class PickerTest : public BooksTest {
protected:
    static void request(const QString& table, const QString& name)
    {
        Modmain::findTable = table;
        Modmain::findIdField = QStringLiteral("ID");
        Modmain::findNameField = name;
    }
    static QString found() { return Modmain::findId + u'|' + Modmain::findName; }
};

TEST_F(PickerTest, HandsBackTheChosenRowOrNothing)
{
    request(QStringLiteral("成员"), QStringLiteral("姓名"));
    pick({}, 1);
    EXPECT_TRUE(frmFind::pick());
    EXPECT_EQ(found(), QStringLiteral("02|李四"));
    pick({}, -1);  // 确认 at once: the first row
    EXPECT_TRUE(frmFind::pick());
    EXPECT_EQ(found(), QStringLiteral("01|张三"));

    // 取消, the close box, an empty list and a table that cannot be read hand back nothing.
    pick({}, 1, true);
    EXPECT_FALSE(frmFind::pick());
    pick({}, 1, true, true);
    EXPECT_FALSE(frmFind::pick());
    sql(QStringLiteral("delete from 收入类型;"));
    request(QStringLiteral("收入类型"), QStringLiteral("类型"));
    pick({}, -1);
    EXPECT_FALSE(frmFind::pick());
    EXPECT_TRUE(messageTexts().isEmpty());
    request(QStringLiteral("没有这张表"), QStringLiteral("姓名"));
    pick({}, -1);
    EXPECT_FALSE(frmFind::pick());
    EXPECT_EQ(messageTexts().size(), 1);
    EXPECT_EQ(found(), QStringLiteral("01|张三"));
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
        EXPECT_EQ(child<QWidget>(d, QStringLiteral("ok"))->accessibleName(), QStringLiteral("确认"));
        d->reject();
    });
    EXPECT_FALSE(frmFind::pick());
}

TEST_F(PickerTest, ChosenNamesLandInTheLabelsAsTheyStand)
{
    // A name that looks like markup is shown letter for letter, not drawn as bold text.
    sql(QStringLiteral("insert into 成员 values('<i>9</i>','<b>Kim</b>','','1');"));
    QLabel id, name;
    pick({}, 2);
    EXPECT_TRUE(frmFind::pickInto(nullptr, QStringLiteral("成员"), QStringLiteral("姓名"), &id, &name));
    EXPECT_EQ(name.text(), QStringLiteral("<b>Kim</b>"));
    EXPECT_GE(name.sizeHint().width(), name.fontMetrics().horizontalAdvance(QStringLiteral("<b>Kim</b>")));
    EXPECT_GE(id.sizeHint().width(), id.fontMetrics().horizontalAdvance(QStringLiteral("<i>9</i>")));
}

}  // namespace
