#pragma once

#include <QString>
#include <optional>

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
    Refused,   // none can be used: `refusal` says why
};

struct Choice {
    QString folder;  // absolute, without a trailing separator
    Kind kind = Kind::Portable;
    QString refusal = {};  // for Refused: why, for the user
};

// The choice from what was given: the --data value and the environment variable's (each empty when
// not given), the program's folder and the user's data folder.
Choice choose(const QString& dataOption, const QString& environment, const QString& programFolder,
              const QString& personalFolder);
// A choice checked before anything is written: `--data` given with an empty value is refused, and
// so is the user's data folder when the home folder it lies in is unknown: HOME unset (nullopt),
// empty, or naming no folder (the data folder would be made at the root or the home folder made up),
// unless XDG_DATA_HOME names a full path (`dataHome`), which then holds it.
Choice checked(const Choice& choice, bool dataGiven, const QString& dataOption, const std::optional<QString>& home,
               const QString& dataHome);
// The checked choice from this run's command line (`dataGiven`: --data was there, even empty),
// environment, program folder and QStandardPaths.
Choice chooseForThisRun(const QString& dataOption, bool dataGiven);

// Makes `choice` the folder in use; reset() goes back to the program's own folder.
void use(const Choice& choice);
void reset();
Choice current();
QString folder();
QString databasePath();

// Readies the folder before the lock is taken: a named or personal folder is made when missing
// (each new folder flushed into its parent). False with the reason, for the user, when it cannot be
// made or the choice was refused (nothing is written then).
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
