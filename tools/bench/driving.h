#pragma once

// Driving the program's windows as a user does (found by name, clicked, typed into), and what the
// process holds in memory while it does.
#include <QDate>
#include <QString>
#include <cstddef>

class QDialog;
class QWidget;
class Recordset;
class ScriptedAnswers;

namespace Bench {

// The messages and file dialogs of the windows driven, answered from a script.
ScriptedAnswers& script();

// The window registered under `name`, created as the menu creates it; null (and a message) if none.
QDialog* window(const QString& name);
// Clicks the button or triggers the action named `name` in `w`.
void clickButton(QWidget* w, const QString& name);
void setLabel(QWidget* w, const QString& name, const QString& text);
void setDate(QWidget* w, const QString& name, const QDate& d);
// A date as a quoted SQL literal ('2025-01-31').
QString dateLiteral(const QDate& d);

// The query window's grid's recordset, once its rows are all in (the rest of a load arrives from
// the event loop).
Recordset* waitLoaded(QDialog* w);
// Chooses the criteria of an open query window (an empty ID chooses none), clicks 执行！ and waits
// for the last row: the time that takes, or -1 without a window.
double runQuery(QDialog* w, const QString& member, const QString& type, const QDate& from, const QDate& to);

// The heap in use, the blocks that malloc maps on their own included.
std::size_t heapInUse();
// The process's peak resident size (Linux).
long peakResidentKiB();
// Lowers the peak resident size to what the process holds now (Linux); false where not allowed.
bool resetPeak();
// The process's resident size now (Linux).
long residentKiB();

}  // namespace Bench
