#pragma once

#include <QString>
#include <functional>

// Kills a posting of staged records at random moments and checks the file after each kill.
struct CrashSetup {
    QString helper;   // run as "<helper> post <file>": posts 收入临时 into 收入帐 as the entry form does
    QString emptyDb;  // the empty main.mdb to start from
    QString folder;   // where the working copy is made
    int batch = 60000;
    unsigned seed = 1;
};

struct CrashFigures {
    int rounds = 0;
    int beforeWriting = 0;  // killed before the transaction wrote: nothing posted, no journal left
    int whileWriting = 0;   // killed with the journal on disk: rolled back when the file was opened next
    int afterCommit = 0;    // killed once the batch was posted
    qint64 fullRunMs = 0;   // one whole run of the helper, start to end
    QString failure;        // the first check that did not hold; empty when every check held
};

// Each round stages `batch` records, starts the helper, kills it (SIGKILL) after a random delay of
// up to a little more than one whole run, and checks the file: PRAGMA integrity_check is ok, the
// ledger holds the batch once or not at all and the staging table holds the rest. Then the helper
// runs again to its end and must have posted the batch exactly once. Stops at the first failure.
CrashFigures runCrashRounds(const CrashSetup& setup, int rounds, const std::function<void(const QString&)>& log = {});
