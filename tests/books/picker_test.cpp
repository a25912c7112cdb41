#include "bookstest.h"
#include "bankledger.h"
#include "entryform.h"
#include "picker.h"
#include "session.h"

namespace {

using PickerTest = BooksTest;

// The chosen row, or the first at once; 取消, the close box, an empty list and an unreadable table
// (the only one with a message) hand back nothing.
TEST_F(PickerTest, HandsBackTheChosenRowOrNothing)
{
    sql("delete from 收入类型; drop table 投资类型;");
    const struct {
        ReferenceList list;
        int row;
        bool cancel, closeBox;
        const char* found;  // null: nothing handed back
    } cases[] = {{ReferenceList::Members, 1, false, false, "02|李四"},       {ReferenceList::Members, -1, false, false, "01|张三"},
                 {ReferenceList::Members, 1, true, false, nullptr},         {ReferenceList::Members, 1, true, true, nullptr},
                 {ReferenceList::IncomeTypes, -1, false, false, nullptr}, {ReferenceList::InvestmentTypes, -1, false, false, nullptr}};
    for (const auto& c : cases) {
        pick({}, c.row, c.cancel, c.closeBox);
        const std::optional<PickedRow> row = Picker::choose(App::store(), c.list, nullptr);
        EXPECT_EQ(row.has_value(), c.found != nullptr) << c.list.table().toStdString() << c.row;
        if (row && c.found) {
            EXPECT_EQ(row->id + u'|' + row->name, c.found);
        }
    }
    EXPECT_EQ(messageTexts().size(), 1);
}

// A chosen ID and name that look like markup land in the labels letter for letter, not drawn as
// bold text.
TEST_F(PickerTest, NamesLandAsTheyStand)
{
    sql("insert into 银行 (ID, 开户行, 帐号) values('<i>9</i>','<b>Kim</b>','');");
    QLabel id, name;
    whenModal([](QDialog* d) {
        clickRow(child<QTableView>(d, "FG"), 2);
        click(d, "ok");
    });
    EXPECT_TRUE(Picker::pickInto(App::store(), ReferenceList::Banks, nullptr, &id, &name));
    EXPECT_EQ(id.text() + name.text(), "<i>9</i><b>Kim</b>");
    EXPECT_GE(name.sizeHint().width(), name.fontMetrics().horizontalAdvance(u"<b>Kim</b>"_s));
}

// A screen reader hears each ID and name label as its caption and what it shows, whoever set it: the
// binder (the stored row at opening, the bank ledger naming its bank and member, the empty new row)
// and the picker.
TEST_F(PickerTest, PickedIdsAndNamesAreHeardWithTheirValues)
{
    sql("insert into 收入临时 (成员ID, 类型ID, 金额, 日期, 备注, 月份) values('01','j',5,'2026-01-01','',1);"
        "insert into 银行帐 (银行ID, 成员ID, 存或取, 类型, 金额, 日期) values('b2','01','存入','活期',5,'2026-01-01');");
    const struct {
        std::function<QDialog*()> make;
        QStringList labels, atOpen, afterPicks;
    } cases[] = {
        {[] { return new EntryForm(App::store(), kEntryForms[0]); }, {"lblcyID", "lblcy", "lbllxID", "lbllx"},
         {"成员ID 01", "成员", "类型ID j", "类型"}, {"成员ID 02", "成员 李四", "类型ID g", "类型 工资"}},
        {[] { return new BankLedger(App::store()); }, {"lblcyid", "lblcy", "lblyhid", "lblyh"},
         {"成员ID 01", "成员 张三", "银行ID b2", "银行 农行"}, {"成员ID 02", "成员 李四", "银行ID b1", "银行 工行"}},
    };
    for (const auto& c : cases) {
        open(c.make());
        EXPECT_EQ(heard(w.get(), c.labels), c.atOpen);
        press("addnew");
        EXPECT_EQ(heard(w.get(), {c.labels[0]}), QStringList{u"成员ID"_s});
        pick("cmdfindt", 1);
        pick("cmdfindo", 0);
        EXPECT_EQ(heard(w.get(), c.labels), c.afterPicks);
    }
}

}  // namespace
