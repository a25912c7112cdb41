#include "bookstest.h"

#include "books/frmfind.h"

#include <string_view>

namespace {

using PickerTest = BooksTest;

void request(const QString& table, const QString& name)
{
    Modmain::findTable = table;
    Modmain::findIdField = u"ID"_s;
    Modmain::findNameField = name;
}

// The chosen row, or the first at once; 取消, the close box, an empty list and an unreadable table
// (the only one with a message) hand back nothing and leave the last pick as it was.
TEST_F(PickerTest, HandsBackTheChosenRowOrNothing)
{
    sql("delete from 收入类型;");
    const struct {
        const char* table;
        int row;
        bool cancel, closeBox, chosen;
    } cases[] = {{"成员", 1, false, false, true},  {"成员", -1, false, false, true}, {"成员", 1, true, false, false},
                 {"成员", 1, true, true, false},   {"收入类型", -1, false, false, false},
                 {"没有这张表", -1, false, false, false}};
    for (const auto& c : cases) {
        request(QString::fromUtf8(c.table), c.table == std::string_view("收入类型") ? u"类型"_s : u"姓名"_s);
        pick({}, c.row, c.cancel, c.closeBox);
        EXPECT_EQ(frmFind::pick(), c.chosen) << c.table << c.row;
        EXPECT_EQ(Modmain::findId + u'|' + Modmain::findName, c.row == 1 && c.chosen ? "02|李四" : "01|张三");
    }
    EXPECT_EQ(messageTexts().size(), 1);
}

TEST_F(PickerTest, BanksListIdAndBranchReadOnly)
{
    request(u"银行"_s, u"开户行"_s);
    whenModal([](QDialog* d) {
        auto* fg = child<QTableView>(d, "FG");
        EXPECT_EQ(fg->model()->columnCount(), 2);
        EXPECT_EQ(fg->model()->headerData(0, Qt::Horizontal).toString() + u'|' +
                      fg->model()->headerData(1, Qt::Horizontal).toString(), "ID|开户行");
        EXPECT_EQ(fg->editTriggers(), QAbstractItemView::NoEditTriggers);
        d->reject();
    });
    EXPECT_FALSE(frmFind::pick());
}

// A name that looks like markup is shown letter for letter, not drawn as bold text.
TEST_F(PickerTest, ChosenNamesLandInTheLabelsAsTheyStand)
{
    sql("insert into 成员 values('<i>9</i>','<b>Kim</b>','','1');");
    QLabel id, name;
    pick({}, 2);
    EXPECT_TRUE(frmFind::pickInto(nullptr, u"成员"_s, u"姓名"_s, &id, &name));
    EXPECT_EQ(id.text() + name.text(), "<i>9</i><b>Kim</b>");
    EXPECT_GE(name.sizeHint().width(), name.fontMetrics().horizontalAdvance(u"<b>Kim</b>"_s));
}

}  // namespace
