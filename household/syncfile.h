#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>
#include <cstdint>

// The changeset files in the folder that the family's sync service (or a USB stick) carries from
// computer to computer. Each holds one changeset of one computer and is named by the computer and
// its number: 书房-00000012.kbsync. A file is written once, complete, and never written again:
//
//   kinbook-sync 1\n
//   {"machine":"书房","identity":…,"node":…,"sequence":12,"stamp":…,"applied":{"客厅":5},
//    "size":N,"sha256":"…"}\n
//   N bytes: the changeset, as SQLite's session extension makes it
//
// "applied" lists what the computer had applied of the others' changesets when it made this one:
// another computer applies it only after those. A file shorter than its header says has not fully
// arrived yet; one that is longer, or whose bytes do not give its checksum, is damaged.
namespace SyncFile {

inline const QString kSuffix = QStringLiteral(".kbsync");
// No changeset file is larger (a whole book of a million records is some 100 MB).
inline constexpr qint64 kMostBytes = qint64(1) << 30;

struct Header {
    QString machine;
    QString identity;  // of the computer that wrote it (SyncTables::machineIdentity)
    std::int64_t node = 0;
    std::int64_t sequence = 0;
    std::int64_t stamp = 0;  // 0: the computer's books as they were when it joined (rows of no known time)
    QMap<QString, std::int64_t> applied;
};

// "书房-00000012.kbsync"; parseName reads one back (false for any other name).
QString fileName(const QString& machine, std::int64_t sequence);
bool parseName(const QString& name, QString& machine, std::int64_t& sequence);

// Whether a computer's name can name its files: 1 to 20 characters, none that a file name on
// Linux, Windows or a phone refuses or hides (/ \ : * ? " < > | and control characters), not
// starting with a dot or ending with a space or dot.
bool isValidMachineName(const QString& name);

QByteArray compose(const Header& header, const QByteArray& changeset);

enum class State { Complete, Incomplete, Damaged };
struct Parsed {
    State state = State::Damaged;
    QString why;  // for Damaged, in Chinese
    Header header;
    QByteArray changeset;
};
// Reads a file's bytes; `name` is the file's name, which its header must agree with.
Parsed parse(const QByteArray& bytes, const QString& name);
// Reads the file (at most kMostBytes).
Parsed read(const QString& path);

// The changeset files of the folder: for each computer (its name case-folded) its files by number.
struct Listing {
    QMap<QString, QString> names;  // case-folded -> as written
    QMap<QString, QMap<std::int64_t, QString>> files;
};
Listing list(const QString& folder);

// Puts `bytes` into the folder under `name` the way the program puts every file in place
// (db/diskwrites.h): written to a hidden temporary file there, flushed to the disk, renamed, and
// the folder flushed. A file already there under that name is never replaced (Exists). Failed:
// `failure` says why, in Chinese, and nothing is left behind.
enum class Written { Done, Exists, Failed };
Written writeNew(const QString& folder, const QString& name, const QByteArray& bytes, QString* failure = nullptr);

// Removes the hidden temporary files that writing `machine`'s changesets left in the folder when
// the program was killed or the power went, and only those (another computer's are its own
// business); how many.
int removeUnfinished(const QString& folder, const QString& machine);

}  // namespace SyncFile
