#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// Power cuts at every moment of an operation that writes, the way SQLite's own crash tests make
// them. The operation runs once while every file operation under one folder is recorded: SQLite's
// (a file system placed in front of its own, which sees every write, flush and removal of the
// database and its journal) and the program's own (the observer of DiskWrites, which sees every
// file it makes, writes, flushes, renames and removes, and every folder it makes and flushes). From
// the record, the states a power cut could leave are rebuilt: at every point of the record, each
// write not yet flushed lost, kept, or torn into 512-byte sectors, kept ones in any order; each new,
// renamed or removed name not yet flushed with its folder kept or lost. Each state is written out
// into a folder of its own and checked.
//
// An operation joins by one Case: how its folder is made, the operation itself (telling the recorder
// when the program reported it done), and the check of one rebuilt state.
namespace PowerLoss {

struct Op {
    enum Kind {
        Create,      // a file made (or first seen)
        Write,       // `bytes` at `offset`
        Truncate,    // to `offset` bytes
        Flush,       // the file's bytes on the disk
        Content,     // the file's bytes on the disk, and these are they (a file written by another writer)
        Rename,      // `path` to `to`
        Remove,
        MakeFolder,
        FlushFolder,  // the names made, renamed and removed in the folder are on the disk
        Done,         // the program said the work is done (`bytes`: what it said)
    };
    Kind kind;
    std::string path = {}, to = {};  // relative to the recorded folder, '/' between the names
    std::int64_t offset = 0;
    std::string bytes = {};
    // FlushFolder by SQLite: after it made a journal, or after it removed one (synchronous EXTRA).
    enum By { Program, JournalMade, JournalRemoved } by = Program;
};

// Records the file operations under `folder` while it lives. One at a time.
class Recorder {
public:
    explicit Recorder(const QString& folder);
    ~Recorder();
    Recorder(const Recorder&) = delete;
    Recorder& operator=(const Recorder&) = delete;

    // The program said that the work is done: a cut after this must not take it back.
    void done(const QString& said);
    // Stops recording (the destructor does too); connections the operation opened must be closed by
    // then.
    void stop();

    // What the folder held when recording began (a folder's entry has no bytes), and what was done.
    const std::map<std::string, std::optional<std::string>>& before() const;
    const std::vector<Op>& ops() const;

    struct Impl;

private:
    std::unique_ptr<Impl> d_;
};

// The folder flushes, each one place in the program (or SQLite's setting), told by what comes just
// before them in the record.
enum class Flush {
    AfterRename,      // DiskWrites::place: a file put in place
    AfterMakeFolder,  // DiskWrites::makeFolders: a folder made
    AfterSettle,      // DiskWrites::settle: a file another writer put in place
    AfterRemove,      // Backup::putInPlace: a journal removed before a file takes its place
    JournalRemoved,   // SQLite's, after removing its journal at a commit: synchronous EXTRA
};
QString describe(Flush flush);

// One operation in the power-loss test.
struct Case {
    QString name;
    // Makes the operation's folder (`root`) as it is before the operation; nothing is recorded.
    std::function<void(const QString& root)> prepare;
    // The operation, recorded (the recorder is on from its start to its end).
    std::function<void(const QString& root, Recorder& recorder)> run;
    // Checks one rebuilt state, written out into `root`; `done`: the cut came after the program said
    // the work was done. Empty when everything holds; else what does not.
    std::function<QString(const QString& root, bool done)> check;
    // The flushes that, taken out of the program, some state of this operation must show missing.
    std::vector<Flush> mustNotice = {};
};

struct Budget {
    int states = 200;  // rebuilt states checked at most (the distinct ones); 30 under the sanitizers
    unsigned seed = 1;
};

struct Outcome {
    int operations = 0;     // file operations recorded
    int distinct = 0;       // distinct states that could be rebuilt (of the ways tried)
    int checked = 0;        // states checked
    int checkedDone = 0;    // of them after the program said done
    int folderFlushes = 0;  // the program's own folder flushes in the record
    QString failure;        // the first state that failed its check, and why; empty when all held
    // For each kind of folder flush the case must notice (Case::mustNotice) that is in the record:
    // whether, all of that kind taken out of the record (as if that line of the program were gone),
    // some state failed its check.
    std::map<Flush, bool> noticed;
};

// Makes the folder, records the operation, and checks the rebuilt states: first those of every
// point with every unflushed name and write lost, all kept, the names or the writes alone lost, and
// each folder's names alone lost; then states with random choices, as many as the budget leaves.
// Then each kind of folder flush the case must notice is taken out of the record in turn (see
// Outcome::noticed).
Outcome explore(const Case& c, const Budget& budget);

// The budget of this build: fewer states under the sanitizers (KINBOOK_POWERLOSS_STATES sets it).
Budget defaultBudget();

// Where the states are written out: memory (/dev/shm) when there is, else the temporary folder.
QString scratchFolder();

}  // namespace PowerLoss
