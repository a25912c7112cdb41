#pragma once

#include <QString>

class QWidget;

// Keeping the household's file safe: what happens to main.mdb when the program opens and closes it,
// and the menu's backup and restore.
//
// Automatic backups go into backups/ beside main.mdb: one at each start before anything is written,
// and one at the end of a session that wrote anything. A backup that cannot be made is told once in
// a run (a message and a note in the main window's status bar) and the program goes on.
namespace Safekeeping {

// What App::openConn does: refuses a folder that cannot be written, removes what a killed restore
// left beside main.mdb, checks main.mdb (a damaged, empty, missing, foreign or altered file is
// refused, with the offer of the newest sound backup), backs it up, brings an older file up to the
// program's version, and opens App::conn. Every refusal is a message whose first line is
// "连接数据库错误，系统将不能正常运行"; false then, with App::conn closed.
bool openAtStart();

// What App::closeConn does: closes App::conn and backs the file up when the session wrote anything.
void closeAtEnd();

// One automatic backup before a change of many records at once (an import): a dated copy in
// backups/ like the one at start. Returns its path; empty when it could not be made, and `failure`
// then says why (the caller tells the user and does not make the change).
QString backupBeforeChange(QString* failure = nullptr);

// 系统 → 备份数据…: a copy where the user chooses.
void backupToChosenFile(QWidget* parent);

// 系统 → 恢复数据…: a sound backup chosen by the user replaces main.mdb after a question that
// compares their records, the current file being backed up first. True when main.mdb was replaced
// and App::conn reopened on it: the caller then goes back to the login.
bool restoreChosenBackup(QWidget* parent);

// kinbook --restore FILE: what 恢复数据… does, without a window or a question, App::conn closed: the
// file copied beside main.mdb and checked, the current file backed up (an unusable one moved into the
// backups), the copy put in place. True when main.mdb was replaced; `said` is the one line for the
// user either way.
bool restoreFromFile(const QString& chosen, QString& said);

}  // namespace Safekeeping
