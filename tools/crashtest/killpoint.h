#pragma once

// Where the posting helper is killed: before its n-th operation that changes what is on the disk (a
// write, a truncation, a flush or a deletion of one of SQLite's files). A process that is killed can
// leave its files only in the state some such point leaves them, so the points between the first
// and the last operation are every moment a kill can land.
namespace KillPoint {

// Makes SQLite count those operations, in files opened from now on, and kill the process (SIGKILL)
// just before the `killBefore`-th (never when 0).
void install(long killBefore);
// How many were made so far.
long operations();

}  // namespace KillPoint
