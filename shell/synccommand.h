#pragma once

// `kinbook --sync [--data DIR]`: one run of the sync without windows (for scripts and scheduled
// jobs): the data folder is chosen as at start, main.mdb opened as at start (checked, backed up,
// upgraded), the other computers' changesets applied and this computer's written to the folder. It
// prints what it sent, applied, refused and what waits, one line each, and ends with
//   0  synced (or nothing to do)
//   1  could not sync: not set up, the folder or main.mdb unusable (the reason is printed)
//   2  another copy of the program has main.mdb open
//   3  synced, but a changeset file was refused (named in the output)
namespace SyncCommand {

// Whether the command line asks for it; checked before the program makes its windows.
bool requested(int argc, char** argv);
int run(int argc, char** argv);

}  // namespace SyncCommand
