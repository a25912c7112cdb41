#pragma once

#include "loginwindow.h"
#include "mainwindow.h"
#include "support/testsupport.h"

#include <QAbstractButton>
#include <QAction>
#include <QPointer>

// Drives the login and main windows the way a person does, and cleans up every window a test left.
class ShellTest : public DbTest {
protected:
    void TearDown() override
    {
        QList<QPointer<QWidget>> left;
        for (QWidget* w : shellWindows())
            left << w;
        for (const QPointer<QWidget>& w : left)
            delete w.data();
        settle();
        DbTest::TearDown();
    }

    // The login and main windows still alive.
    static QList<QWidget*> shellWindows()
    {
        QList<QWidget*> out;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (qobject_cast<LoginWindow*>(w) || qobject_cast<MainWindow*>(w))
                out << w;
        return out;
    }

    // The login window as the program opens it, active.
    LoginWindow* openLogin()
    {
        auto* w = new LoginWindow;
        w->show();
        w->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(w));
        return w;
    }

    // Types a name and a password and presses "确定".
    void attempt(LoginWindow* w, const QString& name, const QString& password)
    {
        auto* cbo = child<QComboBox>(w, "cbouser");
        cbo->setFocus();
        cbo->lineEdit()->selectAll();
        QTest::keyClick(cbo->lineEdit(), Qt::Key_Delete);
        typeInto(cbo->lineEdit(), name);
        typeInto(child<QLineEdit>(w, "txtpw"), password);
        click(w, "Command1");
    }

    // The one message shown since the last check; forgets it for the next.
    static void expectOneMessage(const QString& text, App::MsgStyle style)
    {
        const auto shown = script().messages();
        script().clearMessages();
        ASSERT_EQ(shown.size(), 1);
        EXPECT_EQ(shown.at(0).text, text);
        EXPECT_EQ(shown.at(0).style, style);
        EXPECT_EQ(shown.at(0).title, QStringLiteral("kinbook"));
    }

    static QString panel(QWidget* main, const char* name)
    {
        auto* l = main ? main->findChild<QLabel*>(QString::fromUtf8(name)) : nullptr;
        return l ? l->text() : QStringLiteral("<no panel>");
    }

    static void trigger(QWidget* main, const char* item)
    {
        auto* a = main->findChild<QAction*>(QString::fromUtf8(item));
        ASSERT_NE(a, nullptr) << item;
        a->trigger();
    }

    static void settle() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }
};
