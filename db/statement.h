#pragma once

#include <QString>
#include <QVariant>

class Connection;
struct sqlite3_stmt;

// One prepared statement, finalized when it goes out of scope. The text is translated from the
// windows' dialect before it is prepared.
class Statement {
public:
    Statement(Connection& conn, const QString& sql, bool translate = true);
    ~Statement();
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    // True while a row is available; false when done. Errors raise DbError.
    bool step();
    // Back to before the first row; the bound values stay.
    void reset();
    // Binds a value to parameter `index` (from 1) with its own type: null, integer, real, money
    // (an integer when it has no decimals) or text.
    void bind(int index, const QVariant& v);
    sqlite3_stmt* handle() const { return st_; }
    const QString& sql() const { return sql_; }

private:
    Connection& conn_;
    sqlite3_stmt* st_ = nullptr;
    QString sql_;
};
