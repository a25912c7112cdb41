#pragma once

#include <QString>
#include <functional>

// What the helper posts.
enum class CrashWork {
    Staged,  // "<helper> post <file>": 收入临时 into 收入帐, as the entry form does
    Due,     // "<helper> post-due <file>": every due occurrence of the recurring records, as 入帐 of
             // the due window does (weekly expense templates, their occurrences the batch)
};

// Kills a posting at random moments and checks the file after each kill.
struct CrashSetup {
    QString helper;
    QString emptyDb;  // the empty main.mdb to start from
    QString folder;   // where the working copy is made
    CrashWork work = CrashWork::Staged;
    int batch = 60000;
    unsigned seed = 0;  // 0: the kill points spread evenly over the posting; otherwise drawn at random
};
// The last due date the "post-due" helper posts up to.
inline constexpr const char* kCrashDueUntil = "2026-12-31";
// Of the Due work: the occurrences of one template.
inline constexpr int kCrashOccurrencesPerTemplate = 250;

struct CrashFigures {
    int rounds = 0;
    int beforeWriting = 0;  // killed before the transaction wrote: nothing posted, no journal left
    int whileWriting = 0;   // killed with the journal on disk: rolled back when the file was opened next
    int afterCommit = 0;    // the batch posted (the helper's last operation was passed)
    long operations = 0;    // of one whole run of the helper: those that change the disk
    QString failure;        // the first check that did not hold; empty when every check held
};

// Each round stages `batch` records (or templates with that many occurrences), starts the helper
// telling it where to be killed (SIGKILL: before one of the operations that change the disk, which a
// whole run counted first; or just after the last), and checks the file: PRAGMA integrity_check is
// ok, the ledger holds the batch once or not at all and the staging table holds the rest (each posted
// occurrence recorded once, beside its own record). Then the helper runs again to its end and must
// have posted the batch exactly once, and once more, posting nothing more. With as many rounds as
// there are such points, every point is tried. Stops at the first failure.
CrashFigures runCrashRounds(const CrashSetup& setup, int rounds, const std::function<void(const QString&)>& log = {});
