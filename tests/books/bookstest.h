#pragma once

#include "support/testsupport.h"

#include <QTableView>
#include <memory>

using namespace Qt::StringLiterals;

// The fixture of the books windows: two members, a few types and two banks, today 5 March 2026,
// the connection open as after the login.
class BooksTest : public DbTest {
protected:
    void SetUp() override
    {
        DbTest::SetUp();
        sql("insert into 成员 (ID, 姓名, 关系, 密码) values('01','张三','父亲',''),('02','李四','母亲','');"
            "insert into 收入类型 (ID, 类型, 备注) values('g','工资',''),('j','奖金','');insert into 支出类型 (ID, 类型, 备注) values('f','伙食','');"
            "insert into 投资类型 (ID, 类型, 备注) values('s','股票','');insert into 银行 (ID, 开户行, 帐号) values('b1','工行','6222'),('b2','农行','9559');");
        App::setToday(QDate(2026, 3, 5));
        openConn();
    }
    void TearDown() override
    {
        w.reset();
        DbTest::TearDown();
    }

    // Shows a window as the active one, so that focus moves behave as for a person.
    void open(QDialog* win)
    {
        w.reset(win);
        win->show();
        QApplication::setActiveWindow(win);
        (void)QTest::qWaitForWindowActive(win, 1000);
    }

    template <typename T = QWidget>
    T* get(const QString& name) { return child<T>(w.get(), name); }
    QLineEdit* box(const QString& name) { return get<QLineEdit>(name); }
    bool enabled(const QString& name) { return get(name)->isEnabled(); }
    QString focusName() { return w->focusWidget() ? w->focusWidget()->objectName() : QString(); }
    void press(const QString& name) { click(w.get(), name); }
    QString count(const QString& table) { return scalar("select count(*) from " + table); }

    // What the named labels, boxes and combos show, joined with '|' ("lblcyID lblcy" gives "02|李四").
    QString texts(const QString& names)
    {
        QStringList out;
        for (const QString& name : names.split(u' '))
            for (const char* property : {"currentText", "text", "plainText"})
                if (const QVariant v = get(name) ? get(name)->property(property) : QVariant(); v.isValid()) {
                    out << v.toString();
                    break;
                }
        return out.join(u'|');
    }

    // Presses a lookup button (none when empty) and answers the picker: selects `row` with the mouse
    // (none when row < 0), then presses " 确认 "; or, with cancel, " 取消 " (closeBox: the close box).
    void pick(const QString& button, int row, bool cancel = false, bool closeBox = false)
    {
        whenModal([=](QDialog* d) {
            EXPECT_EQ(d->objectName(), "frmFind");
            if (row >= 0)
                clickRow(child<QTableView>(d, "FG"), row);
            if (closeBox)
                d->close();
            else
                click(d, cancel ? "cancel" : "ok");
            if (d->isVisible())
                d->reject();
        });
        if (!button.isEmpty())
            press(button);
    }

    // 添加 then 保存 with the type or bank, the member and the amount missing in turn: the messages,
    // and the focus on what is missing; each picker is then answered with its first row.
    void expectSaveOrder(const QStringList& messages, const QString& amountBox)
    {
        press("addnew");
        for (const QString& missing : {u"cmdfindo"_s, u"cmdfindt"_s, amountBox}) {
            press("update");
            EXPECT_EQ(focusName(), missing);
            if (missing != amountBox)
                pick(missing, 0);
        }
        EXPECT_EQ(messageTexts(), messages);
    }

    // Each text, put into the box and saved (the focus on the save button), is refused with a message
    // containing `word`: the focus back in the box, the text kept (the caller's next save shows the window still editing).
    void expectRefused(const QString& boxName, const QStringList& bad, const QString& save, const QString& word)
    {
        for (const QString& text : bad) {
            box(boxName)->setText(text);
            get(save)->setFocus();
            const qsizetype shown = messageTexts().size();
            press(save);
            EXPECT_EQ(messageTexts().size(), shown + 1);
            EXPECT_TRUE(messageTexts().last().contains(word)) << text.toStdString();
            EXPECT_EQ(focusName(), boxName);
            EXPECT_EQ(box(boxName)->text(), text);
        }
    }

    std::unique_ptr<QDialog> w;
};
