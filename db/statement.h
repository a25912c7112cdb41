#pragma once

#include <QString>
#include <QStringList>
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

    // Binds a value to the "?" mark `index` (from 1): null, Money, whole and real numbers as numbers,
    // anything else as its text. The text is passed whole, whatever characters it holds.
    void bind(int index, const QVariant& value);
    // Binds the values to the marks in order.
    void bindAll(const QVariantList& values);

    // True while a row is available; false when done. Errors raise DbError.
    bool step();
    // Back to before the first row; the bound values stay.
    void reset();
    sqlite3_stmt* handle() const { return st_; }
    const QString& sql() const { return sql_; }

private:
    Connection& conn_;
    sqlite3_stmt* st_ = nullptr;
    QString sql_;
};

// One column of every row of a statement run as it stands (no dialect translation), as texts.
QStringList columnTexts(Connection& conn, const QString& sql, int column = 0);
