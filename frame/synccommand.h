#pragma once

#include "datafolder.h"

// `kinbook --sync [--data DIR]`: one run of the sync without windows (for scripts and scheduled
// jobs): the data folder is chosen as at start, main.mdb opened as at start (checked, backed up,
// upgraded), the other computers' changesets applied and this computer's written to the folder. It
// prints what it sent, applied, refused and what waits, one line each, and ends with
//   0  synced (or nothing to do)
//   1  could not sync: not set up, the folder or main.mdb unusable (the reason is printed)
//   2  another copy of the program has main.mdb open
//   3  synced, but a changeset file was refused (named in the output)
namespace SyncCommand {

// The run, in the data folder chosen from the command line (a refused choice is printed).
int run(const DataFolder::Choice& choice);

}  // namespace SyncCommand
