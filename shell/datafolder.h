#pragma once

#include <QString>

// The folder that holds main.mdb, its lock and backups/. Chosen once at start, in this order:
//   1. the folder named by `--data DIR`, else by the environment variable KINBOOK_DATA;
//   2. the program's own folder when main.mdb or backups/ is there (a build folder, a USB stick);
//   3. the user's data folder, ~/.local/share/kinbook on Linux (QStandardPaths::AppDataLocation).
// Until a choice is made (in the tests) the program's own folder is used, as in portable use.
namespace DataFolder {

inline constexpr char kEnvironmentVariable[] = "KINBOOK_DATA";

enum class Kind {
    Named,     // by --data or the environment variable
    Portable,  // beside the executable
    Personal,  // the user's data folder
};

struct Choice {
    QString folder;  // absolute, without a trailing separator
    Kind kind = Kind::Portable;
};

// The choice from what was given: the --data value and the environment variable's (each empty when
// not given), the program's folder and the user's data folder.
Choice choose(const QString& dataOption, const QString& environment, const QString& programFolder,
              const QString& personalFolder);
// The same from this run's environment, program folder and QStandardPaths.
Choice chooseForThisRun(const QString& dataOption);

// Makes `choice` the folder in use; reset() goes back to the program's own folder.
void use(const Choice& choice);
void reset();
Choice current();
QString folder();
QString databasePath();

// Readies the folder before the lock is taken: a named or personal folder is made when missing.
// False with the reason, for the user, when it cannot be made.
bool makeFolder(QString& failure);

enum class FirstStart { NotNeeded, Made, Failed };
// With the lock held: a named or personal folder that holds neither main.mdb nor any backup gets an
// empty household file, made from the schema the program carries. Beside the executable, or when
// backups are there, nothing is made: the file check that follows refuses the missing file or
// offers the newest sound backup. `failure` says why on Failed.
FirstStart makeEmptyIfNew(QString& failure);

// The statements of db/schema.sql, carried inside the program.
QString schemaText();

}  // namespace DataFolder
