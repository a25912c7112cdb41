#include "startup.h"

#include "app.h"
#include "datafolder.h"
#include "loginwindow.h"
#include "platform.h"
#include "safekeeping.h"
#include "scriptedanswers.h"
#include "session.h"

#include <QApplication>
#include <QDir>
#include <QPointer>
#include <QTimer>
#include <cstdio>

namespace Startup {

namespace {

// What a check of the start writes out: the folder, what the login window says, every message.
void printCheck(const ScriptedAnswers& script, bool loginShown, const QString& loginHint)
{
    QString out = QStringLiteral("数据文件夹：%1\n").arg(QDir::toNativeSeparators(DataFolder::folder()));
    for (const ScriptedAnswers::Message& m : script.messages())
        out += QStringLiteral("消息：%1\n").arg(m.text);
    out += loginShown ? QStringLiteral("登录窗口已显示\n") : QStringLiteral("登录窗口没有显示\n");
    if (!loginHint.isEmpty())
        out += QStringLiteral("登录窗口提示：%1\n").arg(loginHint);
    std::fputs(out.toUtf8().constData(), stdout);
    std::fflush(stdout);
}

// Shows the login window and runs the event loop; under a check the window closes once shown.
int runLogin(Mode mode, bool& shown, QString& hint)
{
    QPointer<LoginWindow> login = new LoginWindow;
    if (!login->isLoaded()) {
        delete login;
        App::closeConn();
        return 1;
    }
    login->show();
    shown = true;
    hint = login->startHint();
    if (mode == Mode::CheckStart)
        QTimer::singleShot(0, login, &QWidget::close);
    const int rc = QApplication::exec();
    // Windows closed at the end are deleted later: finish that, then make sure the file is closed.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    delete login;
    App::closeConn();
    return rc;
}

int runLocked(Mode mode, bool& shown, QString& hint)
{
    QString failure;
    if (!DataFolder::makeFolder(failure)) {
        App::msgBox(failure, App::MsgStyle::Stop);
        return 1;
    }
    // Two copies on one database would share its staging tables, and one copy's closing would
    // empty what the other has staged. The lock is taken before anything touches the database. It
    // is held on the open file, so the system lets it go when this copy ends, however it ends: only
    // a copy that really runs keeps another from starting.
    Platform::FileLock lock;
    if (lock.tryLock(lockPath()) == Platform::FileLock::HeldElsewhere) {
        App::msgBox(QStringLiteral("和顺家账已经在运行，不能再打开一次。\n请使用已经打开的窗口。"), App::MsgStyle::Information);
        return 2;
    }
    // A folder that cannot hold the lock file cannot take the database's journal either: the
    // start refuses it (Safekeeping::openAtStart) with a message that names the folder.
    if (DataFolder::makeEmptyIfNew(failure) == DataFolder::FirstStart::Failed) {
        App::msgBox(failure, App::MsgStyle::Stop);
        return 1;
    }
    return runLogin(mode, shown, hint);
}

}  // namespace

int restore(const QString& file)
{
    const auto say = [](const QString& line, bool ok) {
        std::fputs((line + QLatin1Char('\n')).toUtf8().constData(), ok ? stdout : stderr);
        std::fflush(ok ? stdout : stderr);
    };
    QString failure;
    if (!DataFolder::makeFolder(failure)) {
        say(failure, false);
        return 1;
    }
    Platform::FileLock lock;
    if (lock.tryLock(lockPath()) == Platform::FileLock::HeldElsewhere) {
        say(QStringLiteral("和顺家账正在使用 %1，没有恢复。请先退出程序再恢复。").arg(QDir::toNativeSeparators(DataFolder::databasePath())), false);
        return 2;
    }
    QString said;
    const bool restored = Safekeeping::restoreFromFile(file, said);
    say(said, restored);
    return restored ? 0 : 1;
}

QString lockPath()
{
    return DataFolder::databasePath() + QStringLiteral(".lock");
}

int run(Mode mode)
{
    bool shown = false;
    QString hint;
    if (mode != Mode::CheckStart)
        return runLocked(mode, shown, hint);
    // A check answers every message itself, unless a script is answering already.
    ScriptedAnswers own;
    auto* script = dynamic_cast<ScriptedAnswers*>(App::answerer());
    if (!script) {
        script = &own;
        App::setAnswerer(script);
    }
    const int rc = runLocked(mode, shown, hint);
    printCheck(*script, shown, hint);
    if (script == &own)
        App::setAnswerer(nullptr);
    return rc;
}

}  // namespace Startup
