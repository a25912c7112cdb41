#include "shelltest.h"

#include "shell/platform.h"
#include "shell/startup.h"

#include <QFile>
#include <QLockFile>
#include <QTimer>

namespace {

const QString kNoDatabase = QStringLiteral("连接数据库错误，系统将不能正常运行");

class ProgramStart : public ShellTest {
protected:
    static QList<QWidget*> visibleWindows()
    {
        QList<QWidget*> out;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->isVisible())
                out << w;
        return out;
    }

    // Runs the program with `drive` called once its event loop runs; a loop that never ends is
    // stopped after a while and reported.
    int runDriven(std::function<void()> drive)
    {
        QTimer::singleShot(0, drive);
        QTimer guard;
        guard.setSingleShot(true);
        bool stuck = false;
        QObject::connect(&guard, &QTimer::timeout, [&stuck] {
            stuck = true;
            for (QWidget* w : QApplication::topLevelWidgets())
                w->close();
            QCoreApplication::exit(99);
        });
        guard.start(10000);
        const int rc = Startup::run();
        EXPECT_FALSE(stuck) << "the program did not end";
        return rc;
    }

    static frmlogin* loginWindow()
    {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* l = qobject_cast<frmlogin*>(w))
                return l;
        return nullptr;
    }
};

TEST_F(ProgramStart, MissingOrUnreadableDatabaseEndsWithTheMessage)
{
    QFile::remove(dbPath());
    EXPECT_NE(Startup::run(), 0);
    ASSERT_EQ(Modmain::shownMessages().size(), 1);
    EXPECT_EQ(Modmain::shownMessages().at(0).text, kNoDatabase);
    EXPECT_EQ(Modmain::shownMessages().at(0).style, 16);
    EXPECT_EQ(Modmain::shownMessages().at(0).title, QStringLiteral("kinbook"));
    EXPECT_TRUE(visibleWindows().isEmpty());
    EXPECT_EQ(loginWindow(), nullptr);
    EXPECT_FALSE(Modmain::conn.isOpen());
    // Opening never makes a file.
    EXPECT_FALSE(QFile::exists(dbPath()));

    // A file that is not a database.
    Modmain::clearShownMessages();
    {
        QFile f(dbPath());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(4096, 'x'));
    }
    EXPECT_NE(Startup::run(), 0);
    EXPECT_EQ(messageTexts(), QStringList{kNoDatabase});
    EXPECT_TRUE(visibleWindows().isEmpty());
    EXPECT_FALSE(Modmain::conn.isOpen());

    // A folder without a database: its lock is not left behind either.
    EXPECT_FALSE(QFile::exists(Startup::lockPath()));
}

TEST_F(ProgramStart, SecondCopyOnTheSameDatabaseEndsTouchingNothing)
{
    QLockFile first(Startup::lockPath());
    ASSERT_TRUE(first.tryLock(0));
    const QByteArray before = [this] {
        QFile f(dbPath());
        f.open(QIODevice::ReadOnly);
        return f.readAll();
    }();

    EXPECT_NE(Startup::run(), 0);
    ASSERT_EQ(Modmain::shownMessages().size(), 1);
    EXPECT_TRUE(Modmain::shownMessages().at(0).text.contains(QStringLiteral("已经在运行")));
    EXPECT_TRUE(visibleWindows().isEmpty());
    EXPECT_FALSE(Modmain::conn.isOpen());
    QFile f(dbPath());
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), before);

    // The guard comes before the database: even without main.mdb only the guard speaks.
    Modmain::clearShownMessages();
    QFile::remove(dbPath());
    EXPECT_NE(Startup::run(), 0);
    ASSERT_EQ(Modmain::shownMessages().size(), 1);
    EXPECT_NE(Modmain::shownMessages().at(0).text, kNoDatabase);

    // The first copy's lock is still its own.
    EXPECT_TRUE(QFile::exists(Startup::lockPath()));
    first.unlock();
}

TEST_F(ProgramStart, LoginThenExitEndsTheProgramWithTheFileClosed)
{
    sql("insert into 成员 values ('01', 'Alice', '母亲', 'pw42');");
    QPointer<frmmain> seen;
    bool lockedWhileRunning = false;
    const int rc = runDriven([&] {
        frmlogin* login = loginWindow();
        ASSERT_NE(login, nullptr);
        EXPECT_TRUE(login->isVisible());
        // While it runs, another copy cannot take the lock.
        QLockFile other(Startup::lockPath());
        lockedWhileRunning = !other.tryLock(0);
        attempt(login, QStringLiteral("Alice"), QStringLiteral("pw42"));
        seen = login->mainWindow();
        ASSERT_NE(seen, nullptr);
        trigger(seen, "mnuexit");
    });
    EXPECT_EQ(rc, 0);
    EXPECT_TRUE(lockedWhileRunning);
    EXPECT_TRUE(seen.isNull());
    EXPECT_EQ(loginWindow(), nullptr);
    EXPECT_FALSE(Modmain::conn.isOpen());
    EXPECT_TRUE(messageTexts().isEmpty());
    // The lock went with the program.
    QLockFile next(Startup::lockPath());
    EXPECT_TRUE(next.tryLock(0));
}

TEST_F(ProgramStart, CancelAtTheLoginEndsTheProgram)
{
    const int rc = runDriven([&] {
        frmlogin* login = loginWindow();
        ASSERT_NE(login, nullptr);
        click(login, "Command2");
    });
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(loginWindow(), nullptr);
    EXPECT_FALSE(Modmain::conn.isOpen());
}

}  // namespace
