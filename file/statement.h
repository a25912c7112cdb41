#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>

#include <cstdint>

class Connection;
class Money;
struct sqlite3_stmt;
struct sqlite3_value;

// One prepared statement, finalized when it goes out of scope.
class Statement {
public:
    Statement(Connection& conn, const QString& sql);
    ~Statement();
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    // Binds a value to the "?" mark `index` (from 1): null, Money, whole and real numbers as numbers,
    // anything else as its text. The text is passed whole, whatever characters it holds.
    void bind(int index, const QVariant& value);
    // Binds the values to the marks in order.
    void bindAll(const QVariantList& values);
    // Binds a whole number, a byte string (as a blob) or a value taken from another statement
    // (sqlite3_value, e.g. one column of another statement's row).
    void bindInt64(int index, std::int64_t value);
    // A text or an amount, as bind() binds them (without going through a QVariant, for a statement
    // stepped for every row of a long list).
    void bindText(int index, QStringView text);
    void bindMoney(int index, const Money& amount);
    // A text already in UTF-8: copied by the engine, or (`copy` false) read where it is, which the
    // caller keeps unchanged until the statement is finalized or the mark bound again.
    void bindUtf8(int index, QByteArrayView utf8, bool copy = true);
    void bindBlob(int index, const QByteArray& bytes);
    void bindValue(int index, const sqlite3_value* value);

    // True while a row is available; false when done. Errors raise DbError.
    bool step();
    // Back to before the first row; the bound values stay.
    void reset();
    // The current row's cells (column from 0). A null reads as 0, an empty text or blob.
    int columnCount() const;
    // A result column's name, the type its table declares for it (empty for an expression) and
    // whether it is a column of a table (not an expression).
    QString columnName(int col) const;
    QByteArray declaredType(int col) const;
    bool isTableColumn(int col) const;
    bool isNull(int col) const;
    int columnType(int col) const;  // SQLITE_INTEGER, SQLITE_FLOAT, SQLITE_TEXT, SQLITE_BLOB or SQLITE_NULL
    std::int64_t int64(int col) const;
    double real(int col) const;
    QString text(int col) const;
    QByteArray blob(int col) const;
    // Whole numbers as qlonglong, reals as double, texts as QString, blobs as QByteArray, null as
    // a null QVariant.
    QVariant value(int col) const;
    // The cell as the engine holds it, for binding into another statement; valid until the next step.
    const sqlite3_value* cell(int col) const;

    sqlite3_stmt* handle() const { return st_; }
    const QString& sql() const { return sql_; }

private:
    Connection& conn_;
    sqlite3_stmt* st_ = nullptr;
    QString sql_;
};

// One column of every row of a statement, as texts.
QStringList columnTexts(Connection& conn, const QString& sql, int column = 0);
