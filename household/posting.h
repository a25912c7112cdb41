#pragma once

#include <QString>

class Connection;

// Posts the staged records of an entry form: "insert into <ledger> select * from <staging>", then
// "delete from <staging>", as one transaction. Whatever stops it (a refusal, a full disk, the
// process killed at any moment), the records are afterwards either all in the ledger and no longer
// staged, or all still staged and none of them in the ledger. Failures raise DbError.
void postStaged(Connection& conn, const QString& staging, const QString& ledger);
