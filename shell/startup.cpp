#include "startup.h"

#include "app.h"
#include "loginwindow.h"
#include "platform.h"

#include <QApplication>
#include <QPointer>

namespace Startup {

QString lockPath()
{
    return App::databasePath() + QStringLiteral(".lock");
}

int run()
{
    // Two copies on one database would share its staging tables, and one copy's closing would
    // empty what the other has staged. The lock is taken before anything touches the database. It
    // is held on the open file, so the system lets it go when this copy ends, however it ends: only
    // a copy that really runs keeps another from starting.
    Platform::FileLock lock;
    if (lock.tryLock(lockPath()) == Platform::FileLock::HeldElsewhere) {
        App::msgBox(QStringLiteral("和顺家账已经在运行，不能再打开一次。\n请使用已经打开的窗口。"), 64);
        return 2;
    }
    // A folder that cannot hold the lock file cannot take the database's journal either: the
    // start refuses it (Safekeeping::openAtStart) with a message that names the folder.

    QPointer<LoginWindow> login = new LoginWindow;
    if (!login->isLoaded()) {
        delete login;
        App::closeConn();
        return 1;
    }
    login->show();
    const int rc = QApplication::exec();
    // Windows closed at the end are deleted later: finish that, then make sure the file is closed.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    delete login;
    App::closeConn();
    return rc;
}

}  // namespace Startup
