#include "undo.h"

#include "app.h"
#include "datawindow.h"
#include "ledgerrows.h"

#include <QAction>
#include <QUndoStack>

namespace Undo {

namespace {

// One step: the file work is done by revert() before the stack moves; the stack's own undo and redo
// do nothing (the program offers no redo).
class RecordStep : public QUndoCommand {
public:
    RecordStep(const QString& text, const QString& ledger, std::int64_t rowid)
        : QUndoCommand(text), ledger_(ledger), rowid_(rowid) {}
    // Takes the step back in the file; false, with `why`, when it can no longer be taken back.
    // Raises DbError when the file refuses the write (nothing is then written).
    virtual bool revert(QString& why) = 0;
    // Tells the open windows what the step taken back did.
    virtual void announce() const = 0;
    void undo() override {}
    void redo() override {}

protected:
    QString ledger_;
    std::int64_t rowid_;
};

class Correction : public RecordStep {
public:
    Correction(const QString& ledger, std::int64_t rowid, const QVariantList& before, const QVariantList& after)
        : RecordStep(QStringLiteral("修改%1记录").arg(ledger), ledger, rowid), before_(before), after_(after) {}
    bool revert(QString& why) override
    {
        if (LedgerRows::correct(App::conn, ledger_, rowid_, after_, before_))
            return true;
        why = QStringLiteral("这条记录修改之后又被改动或删除了，这次修改不能再撤销。");
        return false;
    }
    void announce() const override { emit notifier().recordCorrected(ledger_, rowid_); }

private:
    QVariantList before_, after_;
};

class Deletion : public RecordStep {
public:
    Deletion(const QString& ledger, std::int64_t rowid, std::int64_t binId, const QVariant& place)
        : RecordStep(QStringLiteral("删除%1记录").arg(ledger), ledger, rowid), binId_(binId), place_(place) {}
    bool revert(QString& why) override
    {
        const auto back = LedgerRows::restoreFromBin(App::conn, binId_);
        if (!back) {
            why = QStringLiteral("这条记录已经不在回收站里（已经还原或清空），这次删除不能再撤销。");
            return false;
        }
        rowid_ = back->rowid;
        return true;
    }
    void announce() const override { emit notifier().recordRestored(ledger_, rowid_, place_); }

private:
    std::int64_t binId_;
    QVariant place_;
};

}  // namespace

QUndoStack& stack()
{
    static QUndoStack s;
    return s;
}

Notifier& notifier()
{
    static Notifier n;
    return n;
}

void clear()
{
    stack().clear();
}

void pushCorrection(const QString& ledger, std::int64_t rowid, const QVariantList& before, const QVariantList& after)
{
    stack().push(new Correction(ledger, rowid, before, after));
}

void pushDeletion(const QString& ledger, std::int64_t rowid, std::int64_t binId, const QVariant& place)
{
    stack().push(new Deletion(ledger, rowid, binId, place));
}

bool undoLast()
{
    QUndoStack& s = stack();
    if (!s.canUndo())
        return false;
    auto* step = static_cast<RecordStep*>(const_cast<QUndoCommand*>(s.command(s.index() - 1)));
    QString why;
    bool done = false;
    try {
        done = step->revert(why);
    } catch (const std::exception& e) {
        showDbError(e, QStringLiteral("撤销没有完成，记录保持原样。"));
        return false;
    }
    s.undo();
    if (done)
        step->announce();
    else
        App::msgBox(why, App::MsgStyle::Information);
    return done;
}

void makeUndoAction(QAction* a)
{
    a->setText(QStringLiteral("撤销"));
    a->setShortcut(QKeySequence::Undo);
    a->setEnabled(stack().canUndo());
    const auto tip = [a](const QString& step) {
        a->setToolTip(step.isEmpty() ? QStringLiteral("撤销") : QStringLiteral("撤销") + step);
    };
    tip(stack().undoText());
    QObject::connect(&stack(), &QUndoStack::canUndoChanged, a, &QAction::setEnabled);
    QObject::connect(&stack(), &QUndoStack::undoTextChanged, a, tip);
    QObject::connect(a, &QAction::triggered, a, [] { undoLast(); });
}

}  // namespace Undo
