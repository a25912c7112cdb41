#pragma once

#include "money.h"
#include "qtprint.h"
#include "app.h"
#include "scriptedanswers.h"
#include "session.h"

#include <QApplication>
#include <QComboBox>
#include <QDateEdit>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QList>
#include <QPushButton>
#include <QString>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QUndoStack>
#include <QVariant>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

class QChart;


// Every test works on its own fresh copy of the empty database, in a temporary program folder,
// with message boxes and file dialogs answered and recorded by script().
class DbTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Opens App::conn on the copy (as the login window does).
    void openConn();
    // Runs statements directly on the copy, through a separate plain SQLite connection.
    void sql(const QString& statements);
    // The rows of a query on the copy, each row's fields joined with '|' (null as "NULL").
    QStringList rows(const QString& query);
    // A single value.
    QString scalar(const QString& query);
    QString dbPath() const;
    QString folder() const;

private:
    std::unique_ptr<QTemporaryDir> dir_;
    // The corrections and deletions of a test without a main window.
    std::unique_ptr<QUndoStack> undoStack_;
};

// The rows of a query on any SQLite file, each row's fields joined with '|' (null as "NULL").
QStringList rowsOf(const QString& file, const QString& query);
// Makes an SQLite file (or adds to one) by running statements on it.
void makeDatabase(const QString& file, const QString& statements);
// A file's bytes (empty when it cannot be read), and a file written with these bytes.
QByteArray fileBytes(const QString& path);
void writeFile(const QString& path, const QByteArray& bytes);
// The schema of main.mdb as the builds before file versions made it (version 0): their schema file,
// kept as test data.
QString versionZeroSchema();
// Keeps the members' passwords written into a file as typed (by a test's SQL) as the program keeps
// them: each replaced by its hash (Passwords::hash).
void hashPasswords(const QString& file);

// Whether a text meant for the user has words of English in it (file paths and the name main.mdb
// aside): an engine's message that slipped through.
bool hasEnglish(const QString& text);

// The script that answers the message boxes and file dialogs, installed for every test; a fresh
// one (nothing queued or recorded, no folders remembered) on restart.
ScriptedAnswers& script();
void restartScript();

// Texts of the message boxes shown so far, and the last of them (empty when none).
QStringList messageTexts();
QString lastMessage();
// The list in sorted order.
QStringList sorted(QStringList l);

// Runs `action` once the next modal dialog is up (polling the event loop), e.g. to answer the
// lookup picker opened by a click. The dialog is handed over; the action must close it.
void whenModal(std::function<void(QDialog*)> action, int timeoutMs = 5000);

// The child of `parent` with this object name, of type T; fails the test when missing.
template <typename T>
T* child(QObject* parent, const QString& name)
{
    T* c = parent->findChild<T*>(name);
    EXPECT_NE(c, nullptr) << "no child named " << name.toStdString();
    return c;
}

// Clicks a button or toolbar button by object name.
void click(QObject* parent, const QString& name);
// Gives `w` the focus and types text into it, one key press per character, Chinese included.
void typeInto(QWidget* w, const QString& text);
// Pastes with Ctrl+V at the end of a text box, then lets a refusal speak.
void paste(QWidget* box, const QString& text);
// Clicks a row of a grid (with Shift or Ctrl held to extend the selection).
void clickRow(QTableView* grid, int row, Qt::KeyboardModifiers keys = {});
// Presses `button` and answers the lookup picker with the row whose ID is `id`.
void pickId(QObject* window, const QString& button, const QString& id);

// Types a new text into a cell of an editable grid, as F2, typing and Enter do (its window made
// active first).
void editCell(QTableView* grid, int row, int column, const QString& text);

// What a grid shows, one row per line, the cells joined with '|'.
QStringList gridRows(const QTableView* grid);

// An amount as the grids and labels show it ("1,234.50") read back exactly; blank is 0.
Money shownAmount(QString text);
// The chart of a window's chart view (named "chart"), once it has redrawn.
QChart* chartOf(QWidget* window);

// What a screen reader hears of each named child of `window`: its accessible name as the
// accessibility interface gives it ("<none>" for a missing child).
QStringList heard(QObject* window, const QStringList& names);

// The shown columns of a grid that are narrower than their header or their widest cell, each cell of
// every row measured by Qt itself: "header: width < needed" for each.
QStringList narrowColumns(QTableView* grid);

// The shown columns of a grid that end beyond its visible width at its present size, so that the
// person has to scroll to see them: "header: ends at x > width" for each.
QStringList columnsOutOfView(QTableView* grid);
