#pragma once

#include <QString>
#include <QStringList>

class Connection;

// The family's computers keep their own main.mdb and keep them in step through a folder that their
// sync service (Syncthing, Nextcloud, a NAS share) or a USB stick carries: each computer writes its
// changes there as changeset files (db/syncfile.h) and applies the others'. No server is needed.
//
// Setting up: a computer is given the folder and a name of its own (kept in 设置 as 同步文件夹 and
// 本机名称). A computer whose books were never synced sends them whole as its first changeset; one
// that joins with an empty book (or another computer's backup) takes what the folder holds.
//
// A run (at start, after a login, every few minutes, on 立即同步, `kinbook --sync`): the other
// computers' changesets not yet applied are applied, each computer's in order and each only after
// what its computer had applied before it, all in one transaction together with the note of what
// was applied (so each applies exactly once, whatever stops the program); a file not fully arrived
// waits; a damaged or crafted one is refused, named, and nothing of it applied. Then this computer's
// recorded changes are written to the folder. What was sent and applied, and every conflict, is
// kept in 同步日志.
namespace Sync {

inline const QString kFolderSetting = QStringLiteral("同步文件夹");
inline const QString kNameSetting = QStringLiteral("本机名称");
inline const QString kIdentitySetting = QStringLiteral("本机标识");

struct Settings {
    QString folder;
    QString machine;
    bool thisComputer = false;  // the name was given on this computer (not in a copy from another)
    bool configured() const { return !folder.isEmpty() && !machine.isEmpty() && thisComputer; }
};
Settings settings(Connection& conn);

// Sets this computer up, or changes its folder or name. Empty when done; otherwise why not, in
// Chinese (a name that cannot name files, one that another computer uses in that folder, a folder
// that is missing or cannot be written).
QString configure(Connection& conn, const QString& folder, const QString& machine);

struct Report {
    QString failure;       // nothing could be synced: why
    QStringList sent;      // "书房-00000003.kbsync（12 处变更）"
    QStringList applied;   // the same for the files applied
    QStringList waiting;   // files that wait, and why
    QStringList refused;   // "文件名：why"
    QStringList conflicts;
    bool ok() const { return failure.isEmpty() && refused.isEmpty(); }
    // The report as lines for a person.
    QStringList lines() const;
};

enum class Mode { Full, SendOnly };
Report run(Connection& conn, Mode mode = Mode::Full);

// Whether this computer has recorded changes not yet in the folder.
int pendingCount(Connection& conn);

// After main.mdb was put back from a backup: the keys of new rows come from a new range (the old
// one's later keys are in the folder already), and what the folder holds that the backup lacks is
// applied at the next run, this computer's own changes included.
void afterRestore(Connection& conn);

// The log of sent, applied and refused files and of conflicts: its statement for a grid, newest first.
QString logQuery();

}  // namespace Sync
