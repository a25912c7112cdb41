#pragma once

#include <QObject>
#include <QString>
#include <QVariant>
#include <QVariantList>
#include <cstdint>

class QAction;
class QUndoStack;
class Store;

// Taking back the corrections and deletions of this session, one step at a time: the main window's
// stack, shown as its 编辑 → 撤销 (Ctrl+Z) and reachable with Ctrl+Z in the query windows. Each step knows its ledger row (by rowid) and its values. A step is taken back in
// the file first; only when the file has taken it does the stack move, so that an undo the file
// refuses leaves the stack and the file as they were, with a message. A new session (a login, a
// restored backup, the connection closed) starts with an empty stack.
namespace Undo {

// The stack the steps go on: the main window's (tests without one install their own). Null: none,
// and steps pushed are not kept.
QUndoStack* stack();
void setStack(QUndoStack* stack);
void clear();

// A correction has been written to the store's file: the record `rowid` of `ledger` held `before` and
// now holds `after` (as the file holds them). The step is taken back in the same store.
void pushCorrection(Store& store, const QString& ledger, std::int64_t rowid, const QVariantList& before, const QVariantList& after);
// A record has been moved to the recycle bin as its record `binId`. `place` is handed back when the
// deletion is taken back, so that the window it came from can put the row back where it was.
void pushDeletion(Store& store, const QString& ledger, std::int64_t rowid, std::int64_t binId, const QVariant& place);

// Takes back the last step. A step that can no longer be taken back (its record changed since, or was
// restored or removed from the recycle bin) is said so and passed over. False, with a message, when
// the file refuses the write: the step stays on the stack.
bool undoLast();

// Makes `a` the 撤销 command (Ctrl+Z): enabled while there is a step to take back, its tooltip
// naming that step.
void makeUndoAction(QAction* a);

// Tells the open windows what a step taken back did to a record.
class Notifier : public QObject {
    Q_OBJECT
signals:
    // The record holds its values from before the correction again.
    void recordCorrected(const QString& ledger, std::int64_t rowid);
    // The deleted record is back in its ledger (perhaps under a new rowid).
    void recordRestored(const QString& ledger, std::int64_t rowid, const QVariant& place);
};
Notifier& notifier();

}  // namespace Undo
