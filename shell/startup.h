#pragma once

#include <QString>

// Start-up of the program: one copy per database, then the login window.
namespace Startup {

// The lock file that marks main.mdb as in use by a running copy of the program.
QString lockPath();

// Runs the program: refuses to start beside another running copy on the same main.mdb (with a
// message, touching nothing), opens the login window and runs the event loop until every window
// is closed. Returns the program's exit status: 0 after a normal end, non-zero when the program
// could not start.
int run();

}  // namespace Startup
