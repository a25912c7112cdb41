#pragma once

#include "ledger.h"

class Connection;

// What the windows ask for records and figures, and hand records to. It is over the household's open
// file; every write is one transaction, which the engine or a check may refuse without changing the
// file. The windows are given the store; none of them holds SQL or reaches for a connection.
//
// The store's calls are grouped by what asks for them; each group's calls are defined in the file
// named at the group.
class Store {
public:
    explicit Store(Connection& conn) : conn_(conn) {}
    Store(const Store&) = delete;
    Store& operator=(const Store&) = delete;

    // The file the store is over (a path, for what must not be overwritten by an export).
    QString filePath() const;

    // ---- the reference lists, the books, the plans (store.cpp) ----

    // ---- the reports (storereports.cpp) ----

    // ---- the start, the login and the sync (storeframe.cpp) ----

    // For the household's own code below the windows: the file the store is over.
    Connection& connection() { return conn_; }

private:
    Connection& conn_;
};
