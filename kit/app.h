#pragma once

#include <QDate>
#include <QList>
#include <QString>
#include <functional>

class QDialog;
class QWidget;
class QStatusBar;
class Store;

// Program-wide state and services.
namespace App {

inline const QString appTitle = QStringLiteral("kinbook");

// "当前用户：" followed by the logged-in member's name (or "Manager").
extern QString curUser;

// The full path of main.mdb in the data folder in use; the frame says where that is.
QString databasePath();
void setDatabasePath(std::function<QString()> path);

// One automatic backup before a change of many records at once (an import), as the frame makes it:
// its path, or empty when it could not be made and `failure` then says why. Without a frame to make
// it (none installed), nothing is made and `failure` says so.
QString backupBeforeChange(QString* failure = nullptr);
void setBackupBeforeChange(std::function<QString(QString* failure)> backup);

// The main window's loading indicator: status panel 2 and the wait cursor. Balanced however often
// it is called: one restore undoes any number of busy calls.
void setBusy(bool flag);
bool isBusy();
// The main window hands over its status bar; panel 2 is its second label.
void setStatusPanel(QWidget* panel2);
// A lasting note in the main window's status bar (a backup that could not be made); empty: none.
// It is kept for a main window that opens later.
void setStatusNote(const QString& note);
void setNotePanel(QWidget* panel);

// The kinds of message box: OK alone without an icon, OK with the stop sign, OK and Cancel with a
// question mark, OK with the information sign.
enum class MsgStyle { Plain, Stop, Question, Information };
// The button that closed a message box (Escape and the close box: Cancel where there is one).
enum class MsgAnswer { Ok, Cancel };

// The one message box. Title defaults to the application title.
MsgAnswer msgBox(const QString& text, MsgStyle style = MsgStyle::Plain, const QString& title = QString());

// The one file dialog: open (an existing file), save (a new or replaced one) or a folder. Returns the
// chosen path, empty when the user gives up.
// `filter`: the kinds of file offered (Qt's form); empty: the program's data files.
enum class FileDialog { Open, Save, Folder };
QString chooseFile(FileDialog kind, const QString& caption, const QString& proposed, QWidget* parent = nullptr,
                   const QString& filter = QString());
// A dialog opens in the folder where the last one for the same kind of file (CSV, PDF, the household's
// data and its backups) chose, during this run; the first where the caller proposes.
// The program's data files, in a dialog that always opens on `folder` (the automatic backups to
// restore from, wherever the last copy went), its choice not remembered for the others.
QString chooseFileIn(FileDialog kind, const QString& caption, const QString& folder, QWidget* parent = nullptr);

// Who answers the message boxes and file dialogs: by default a person, through real boxes and
// dialogs; the start check and the tests install answers from a script (shell/scriptedanswers.h).
class Answerer {
public:
    virtual ~Answerer() = default;
    // `title` is never empty.
    virtual MsgAnswer message(const QString& text, MsgStyle style, const QString& title) = 0;
    // `start`: where the dialog opens; `filter`: the kinds of file offered. Empty: no file chosen.
    virtual QString chooseFile(FileDialog kind, const QString& caption, const QString& start, const QString& filter,
                               QWidget* parent) = 0;
};
// Installs `answerer` (not owned; null: a person again). The folders the dialogs remembered are
// forgotten.
void setAnswerer(Answerer* answerer);
Answerer* answerer();

// Today's date; tests can set the clock.
QDate today();
void setToday(const QDate& date);  // invalid: the real clock

// The data windows that the menus open, by name ("frmsrlx", "frmquery_sr", ...).
// Each is given the store of the open file.
using WindowFactory = std::function<QDialog*(Store& store, QWidget* parent)>;
void registerWindow(const QString& name, WindowFactory factory);
bool hasWindow(const QString& name);
QDialog* createWindow(const QString& name, Store& store, QWidget* parent);
// setBusy(true), then the window modally; the window ends the busy state when it is activated.
void openDataWindow(const QString& name, Store& store, QWidget* parent);

// What shows over the main window after a login (the recurring records due, the month's
// overview): each folder registers its own; they run in the reverse order of registration, so
// that the first registered is shown last, on top.
using AfterLogin = std::function<void(Store& store, QWidget* mainWindow)>;
void registerAfterLogin(AfterLogin action);
void runAfterLogin(Store& store, QWidget* mainWindow);

}  // namespace App
