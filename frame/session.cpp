#include "session.h"

#include "app.h"
#include "datafolder.h"
#include "filechanges.h"
#include "safekeeping.h"
#include "store.h"
#include "syncwindow.h"
#include "undo.h"

namespace App {

Connection conn;

Store& store()
{
    static Store s(conn);
    return s;
}

bool openConn()
{
    FileChanges::watch(store());  // the windows showing figures follow every commit
    if (conn.isOpen())
        return true;
    if (!Safekeeping::openAtStart())
        return false;
    SyncService::afterOpen();  // the other computers' changes, before the login lists the members
    return true;
}

void closeConn()
{
    SyncService::beforeClose();
    Safekeeping::closeAtEnd();
    Undo::clear();  // the steps name rows of the file that was open
}

void registerAllWindows()
{
    static bool done = false;
    if (done)
        return;
    done = true;
    setDatabasePath(&DataFolder::databasePath);
    setBackupBeforeChange(&Safekeeping::backupBeforeChange);
    registerReferenceWindows();
    registerBooksWindows();
    registerReportsWindows();
    registerSyncWindow();  // last registered: its run after a login comes first
}

}  // namespace App
