#pragma once

// While an instance lives, every write SQLite makes to a file fails as it does on a full disk
// (SQLITE_FULL); reads go on working. Files written without SQLite are not affected.
class FullDisk {
public:
    FullDisk();
    ~FullDisk();
    FullDisk(const FullDisk&) = delete;
    FullDisk& operator=(const FullDisk&) = delete;
};
