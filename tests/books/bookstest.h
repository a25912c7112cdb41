#pragma once

#include "support/testsupport.h"

#include <QAction>
#include <QApplication>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QTableView>
#include <QTest>
#include <QToolBar>
#include <memory>

// The fixture of the entry forms, the picker, the bank ledger and the debts window: two members,
// a few types and two banks, today 5 March 2026, the connection open as after the login.
class BooksTest : public DbTest {
protected:
    void SetUp() override
    {
        DbTest::SetUp();
        sql(QStringLiteral("insert into 成员 values('01','张三','父亲','');"
                           "insert into 成员 values('02','李四','母亲','');"
                           "insert into 收入类型 values('g','工资','');"
                           "insert into 收入类型 values('j','奖金','');"
                           "insert into 支出类型 values('f','伙食','');"
                           "insert into 投资类型 values('s','股票','');"
                           "insert into 银行 values('b1','工行','6222');"
                           "insert into 银行 values('b2','农行','9559');"));
        Modmain::setToday(QDate(2026, 3, 5));
        openConn();
    }
    void TearDown() override
    {
        w.reset();
        DbTest::TearDown();
    }

    // Opens a window as the active one, so that focus moves behave as for a person.
    template <typename W, typename... Args>
    W* open(Args&&... args)
    {
        w.reset();
        auto* win = new W(std::forward<Args>(args)...);
        w.reset(win);
        win->show();
        QApplication::setActiveWindow(win);
        (void)QTest::qWaitForWindowActive(win, 1000);
        return win;
    }

    QLineEdit* box(const QString& name) { return child<QLineEdit>(w.get(), name); }
    QString boxText(const QString& name) { return box(name)->text(); }
    QString labelText(const QString& name) { return child<QLabel>(w.get(), name)->text(); }
    bool enabled(const QString& name) { return child<QWidget>(w.get(), name)->isEnabled(); }
    QWidget* focused() { return w->focusWidget(); }
    QWidget* widget(const QString& name) { return child<QWidget>(w.get(), name); }
    void press(const QString& name) { click(w.get(), name); }

    bool actionEnabled(const QString& key)
    {
        for (QAction* a : child<QToolBar>(w.get(), QStringLiteral("Toolbar1"))->actions())
            if (a->objectName() == key)
                return a->isEnabled();
        ADD_FAILURE() << "no action " << key.toStdString();
        return false;
    }

    void selectGridRow(const QString& grid, int row)
    {
        auto* g = child<QTableView>(w.get(), grid);
        QTest::mouseClick(g->viewport(), Qt::LeftButton, {}, g->visualRect(g->model()->index(row, 0)).center());
    }

    // Presses a lookup button and answers the picker: selects `row` with the mouse (none when row < 0)
    // and presses " 确认 "; or, with cancel, presses " 取消 " (closeBox: the close box).
    void pick(const QString& button, int row, bool cancel = false, bool closeBox = false)
    {
        whenModal([=](QDialog* d) {
            EXPECT_EQ(d->objectName(), QStringLiteral("frmFind"));
            auto* g = d->findChild<QTableView*>(QStringLiteral("FG"));
            if (g && row >= 0)
                QTest::mouseClick(g->viewport(), Qt::LeftButton, {}, g->visualRect(g->model()->index(row, 0)).center());
            if (closeBox)
                d->close();
            else
                click(d, cancel ? QStringLiteral("cancel") : QStringLiteral("ok"));
            if (d->isVisible())
                d->reject();
        });
        if (!button.isEmpty())
            press(button);
    }

    std::unique_ptr<QDialog> w;
};

// Types any text, Chinese included, one key press per character (as an input method hands it over).
inline void typeText(QWidget* box, const QString& text)
{
    for (const QChar c : text) {
        if (c.unicode() < 0x80)
            QTest::keyClick(box, c.toLatin1());
        else
            QTest::sendKeyEvent(QTest::Click, box, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
}
