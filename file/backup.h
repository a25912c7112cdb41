#pragma once

#include <QDateTime>
#include <QList>
#include <QString>

// Copies of main.mdb. A copy is made with SQLite's online backup API inside one read transaction,
// so it is the file as one committed moment left it, even while another connection writes. It is
// written under a temporary name beside its target and put in place when complete, flushed to the
// disk with its folder (DiskWrites::place): a crash, a power cut or a full disk never leaves a half
// copy under a backup's name, and a copy said to be made stays made. Failures raise DbError.
namespace Backup {

// The folder of the automatic backups beside a database file.
QString folderFor(const QString& databasePath);

// Writes a copy of `source` under a temporary name beside `target`; returns that name.
QString writeCopy(const QString& source, const QString& target);
// Puts a finished copy in place, replacing what is there and taking its permissions (a journal of
// the replaced file goes first, for good); the copy is removed when that fails.
void putInPlace(const QString& temporary, const QString& target);
// Both: an existing target is replaced only with `overwrite`.
void copy(const QString& source, const QString& target, bool overwrite);

// A dated copy in `folder` (made if needed): main-YYYYMMDD-HHMMSS.mdb, with -2, -3 ... for more
// than one in a second. Returns its path.
QString makeDated(const QString& source, const QString& folder, const QDateTime& when);

// Moves a file that cannot be used (with its journal, if any, moved first) into `folder` as
// damaged-YYYYMMDD-HHMMSS.mdb, out of the way of a restore but kept. Returns its new path.
QString moveAside(const QString& path, const QString& folder, const QDateTime& when);

struct Dated {
    QString path;
    QDateTime time;
    int sequence = 1;
};
// Reads the time and sequence from a dated backup's file name; false for any other name.
bool parseName(const QString& fileName, Dated& dated);
// The dated backups in `folder`, newest first.
QList<Dated> listDated(const QString& folder);

// The keep rule: the 10 newest, and the newest of each of the twelve months that end with today's
// month, are kept; the others (of `newestFirst`) are returned.
QList<Dated> beyondKeeping(const QList<Dated>& newestFirst, const QDate& today);
// Removes the dated backups beyond keeping and the temporary copies an interrupted backup left.
// Returns how many files were removed.
int prune(const QString& folder, const QDate& today);
// Removes the temporary copies that interrupted backups left in `folder` (only names a dated backup
// in the making has). Returns how many files were removed.
int removeUnfinishedDated(const QString& folder);

// Removes the temporary copies an interrupted copy to `target` (a restore) left beside it. Returns
// how many files were removed.
int removeUnfinished(const QString& target);

}  // namespace Backup
