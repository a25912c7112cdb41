#pragma once

#include "ledger.h"
#include "referencelist.h"

#include <QList>
#include <QString>

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

    // ---- the reference lists (store.cpp) ----

    // A row of a reference list by its ID and name.
    struct Named {
        QString id;
        QString name;
        friend bool operator==(const Named&, const Named&) = default;
    };
    enum class ListOrder { ById, AsEntered };
    // The rows that have an ID, read once.
    QList<Named> names(ReferenceList list, ListOrder order = ListOrder::ById);
    // The name of a code in its list; empty when the code is empty or no longer there.
    QString nameOf(ReferenceList list, const QString& id);

    // ---- the books' rows a window edits, the ledger listings and corrections (storerows.cpp) ----

    // ---- the plans, the imports, the login and the sync (storebooks.cpp) ----

    // ---- the reports (storereports.cpp) ----

    // For the household's own code below the windows: the file the store is over.
    Connection& connection() { return conn_; }

private:
    Connection& conn_;
};
