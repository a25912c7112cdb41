#pragma once

#include <QString>
#include <stdexcept>

// A failure reported by the database engine (or by the layer's own checks), with the engine's
// result code, its message and the statement that failed.
class DbError : public std::runtime_error {
public:
    enum Kind { Other, CannotOpen, NotADatabase, Busy, ReadOnly, Duplicate, BadValue, NoRow, NotEditable, DiskFull, IoError,
                Overflow };

    DbError(Kind kind, int code, const QString& message, const QString& sql = QString());

    Kind kind() const { return kind_; }
    int code() const { return code_; }
    const QString& message() const { return message_; }
    const QString& sql() const { return sql_; }

    // A Chinese sentence that names the cause, for the window to show.
    QString userText() const;

    // Classifies an engine result code and message.
    static Kind classify(int extendedCode, const QString& message);

private:
    Kind kind_;
    int code_;
    QString message_;
    QString sql_;
};
