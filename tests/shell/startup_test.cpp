#include "shelltest.h"
#include "inputs.h"
#include "language.h"
#include "platform.h"
#include "startup.h"
#include "session.h"

#include <QCalendarWidget>
#include <QMenu>
#include <QProcess>
#include <QStandardPaths>
#include <QTimer>
#include <QToolButton>
#include <csignal>
#include <memory>

namespace {

const QString kNoDatabase = QStringLiteral("连接数据库错误，系统将不能正常运行");
const QString kRunning = QStringLiteral("和顺家账已经在运行，不能再打开一次。\n请使用已经打开的窗口。");

class ProgramStart : public ShellTest {
protected:
    // Runs the program with `drive` (if any) called on its login window once its event loop runs;
    // a loop that never ends is stopped after a while and reported.
    int runDriven(std::function<void(LoginWindow*)> drive = {})
    {
        if (drive)
            QTimer::singleShot(0, [drive] {
                auto* login = shellWindows().isEmpty() ? nullptr : qobject_cast<LoginWindow*>(shellWindows().at(0));
                ASSERT_NE(login, nullptr);
                EXPECT_TRUE(login->isVisible());
                drive(login);
            });
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
};

// A missing main.mdb ends the program with the message, which goes on to say what is wrong; no file is
// made and no lock left behind.
TEST_F(ProgramStart, MissingDatabaseEndsWithTheMessage)
{
    QFile::remove(dbPath());
    EXPECT_NE(runDriven(), 0);
    ASSERT_EQ(script().messages().size(), 1);
    EXPECT_TRUE(script().messages().first().text.startsWith(kNoDatabase + "\n"));
    EXPECT_TRUE(shellWindows().isEmpty());
    EXPECT_FALSE(App::conn.isOpen());
    EXPECT_FALSE(QFile::exists(dbPath()));
    EXPECT_FALSE(QFile::exists(Startup::lockPath()));
}

// Once the start-up has set the language, a text box's menu and a date picker's calendar are Chinese.
TEST(Language, QtsOwnTextsAreChinese)
{
    ASSERT_TRUE(Language::useChinese());
    QLineEdit box(QStringLiteral("x"));
    const std::unique_ptr<QMenu> menu(box.createStandardContextMenu());
    QStringList items;
    for (QAction* a : menu->actions())
        items << a->text().section(u'\t', 0, 0);  // without the shortcut
    EXPECT_EQ(items.join(u','), QStringLiteral("撤消(&U),重做(&R),,剪切(&T),复制(&C),粘贴(&P),删除,,全选"));
    const std::unique_ptr<QDateEdit> picker(datePicker(QStringLiteral("dp"), QDate(2026, 3, 5), nullptr));
    auto* month = picker->calendarWidget()->findChild<QToolButton*>(QStringLiteral("qt_calendar_monthbutton"));
    ASSERT_NE(month, nullptr);
    EXPECT_EQ(month->text(), QStringLiteral("三月"));
}

// A lock file that no running copy holds never blocks a start, whatever it holds: empty (power lost
// right after a start), garbage, written on another computer, or naming a process that runs but is
// no copy of the program. While the program runs no other copy takes the lock; cancelled at the
// login, it ends with the file closed and the lock gone. A copy that really runs blocks until killed.
TEST_F(ProgramStart, OnlyARunningCopyBlocksAStart)
{
    const QByteArray leftBehind[] = {
        QByteArray(),
        QByteArray::fromHex("00ff2067617262616765200a0a0a"),  // a NUL, 0xff, " garbage ", three line ends
        "4242\nkinbook\nanother-computer\n",
        QByteArray::number(QCoreApplication::applicationPid()) + "\nkinbook\n" + QSysInfo::machineHostName().toUtf8() + "\n",
        "1\nkinbook\n" + QSysInfo::machineHostName().toUtf8() + "\n",
    };
    const auto cancel = [](LoginWindow* login) {
        Platform::FileLock other;
        EXPECT_EQ(other.tryLock(Startup::lockPath()), Platform::FileLock::HeldElsewhere);
        click(login, "Command2");
    };
    for (const QByteArray& content : leftBehind) {
        script().clearMessages();
        writeFile(Startup::lockPath(), content);
        EXPECT_EQ(runDriven(cancel), 0) << content.toHex().toStdString();
        EXPECT_TRUE(messageTexts().isEmpty()) << messageTexts().join(u'\n').toStdString();
        EXPECT_TRUE(shellWindows().isEmpty());
        EXPECT_FALSE(App::conn.isOpen());
        EXPECT_FALSE(QFile::exists(Startup::lockPath()));
    }

    // Another process holding the lock: refused touching nothing, even without main.mdb (the guard comes
    // before the database); started once that process is killed.
    const QString flock = QStandardPaths::findExecutable(QStringLiteral("flock"));
    if (flock.isEmpty())
        GTEST_SKIP() << "no flock(1) to hold a lock from another process";
    QProcess holder;
    // -o: flock itself holds the lock, not the command it waits for.
    holder.start(flock, {QStringLiteral("-n"), QStringLiteral("-o"), Startup::lockPath(), QStringLiteral("sleep"),
                         QStringLiteral("20")});
    ASSERT_TRUE(holder.waitForStarted());
    for (int i = 0; i < 200 && !QFile::exists(Startup::lockPath()); ++i)
        QTest::qWait(10);
    QTest::qWait(100);
    const QByteArray before = fileBytes(dbPath());
    for (const bool missing : {false, true}) {
        if (missing)
            QFile::remove(dbPath());
        EXPECT_NE(runDriven(), 0);
        expectOneMessage(kRunning, App::MsgStyle::Information);
        EXPECT_TRUE(shellWindows().isEmpty());
        EXPECT_FALSE(App::conn.isOpen());
        EXPECT_EQ(fileBytes(dbPath()), missing ? QByteArray() : before);
        EXPECT_EQ(QFile::exists(dbPath()), !missing);
        EXPECT_TRUE(QFile::exists(Startup::lockPath()));
    }
    writeFile(dbPath(), before);
    ::kill(static_cast<pid_t>(holder.processId()), SIGKILL);
    holder.waitForFinished();
    EXPECT_EQ(runDriven(cancel), 0);
    EXPECT_TRUE(messageTexts().isEmpty());
}

}  // namespace
