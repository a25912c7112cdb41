#pragma once

#include <QString>

// Start-up of the program: the data folder readied, one copy per database, then the login window.
namespace Startup {

// The lock file that marks main.mdb as in use by a running copy of the program.
QString lockPath();

// How the run goes: with a person, or as a check of the start that no one watches (kinbook
// --check-start): every message is written to standard output instead of shown and taken as
// answered with its first button (确定), the login window closes as soon as it is shown, and the
// data folder and what the login window says are written out too.
enum class Mode { Interactive, CheckStart };

// Runs the program: readies the data folder (a first start there makes an empty household file),
// refuses to start beside another running copy on the same main.mdb (with a message, touching
// nothing), opens the login window and runs the event loop until every window is closed. Returns
// the program's exit status: 0 after a normal end, non-zero when the program could not start.
int run(Mode mode = Mode::Interactive);

// kinbook --restore FILE: FILE takes main.mdb's place as 恢复数据… does it (Safekeeping::restoreFromFile),
// without a window, while no copy of the program runs on the file (the lock held meanwhile). One line
// says what was done (standard output) or why not (standard error). Returns the exit status: 0 only
// when main.mdb was replaced, 2 when the program is running on it, 1 otherwise.
int restore(const QString& file);

}  // namespace Startup
