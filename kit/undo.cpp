#include "undo.h"

#include "app.h"
#include "datawindow.h"
#include "dberror.h"
#include "store.h"

#include <QAction>
#include <QPointer>
#include <QUndoStack>
#include <optional>

namespace Undo {

namespace {

QPointer<QUndoStack> g_stack;

// One step. The window has written it before it is pushed, so the first redo() has nothing to do;
// the program offers no redo, and a redo() after an undo the file refused only puts the step back.
// undo() takes the step back in the file.
class RecordStep : public QUndoCommand {
public:
    enum class Outcome { NotYet, Done, PassedOver, Refused };

    RecordStep(const QString& text, Store& store, const QString& ledger, std::int64_t rowid)
        : QUndoCommand(text), store_(store), ledger_(ledger), rowid_(rowid) {}
    void undo() override
    {
        try {
            outcome_ = takeBack() ? Outcome::Done : Outcome::PassedOver;
        } catch (const DbError& e) {
            outcome_ = Outcome::Refused;
            refusal_ = e;
        }
    }
    void redo() override {}
    Outcome outcome() const { return outcome_; }
    const DbError& refusal() const { return *refusal_; }
    // Why the step could not be taken back (after PassedOver).
    virtual QString whyNot() const = 0;
    // Tells the open windows what the step taken back did.
    virtual void announce() const = 0;

protected:
    // Takes the step back in the file; false when it can no longer be taken back. Raises DbError
    // when the file refuses the write (nothing is then written).
    virtual bool takeBack() = 0;

    Store& store_;
    QString ledger_;
    std::int64_t rowid_;

private:
    Outcome outcome_ = Outcome::NotYet;
    std::optional<DbError> refusal_;
};

class Correction : public RecordStep {
public:
    Correction(Store& store, const QString& ledger, std::int64_t rowid, const QVariantList& before, const QVariantList& after)
        : RecordStep(QStringLiteral("修改%1记录").arg(ledger), store, ledger, rowid), before_(before), after_(after) {}
    QString whyNot() const override
    {
        return QStringLiteral("这条记录修改之后又被改动或删除了，这次修改不能再撤销。");
    }
    void announce() const override { emit notifier().recordCorrected(ledger_, rowid_); }

protected:
    bool takeBack() override { return store_.undoCorrection(ledger_, rowid_, after_, before_); }

private:
    QVariantList before_, after_;
};

class Deletion : public RecordStep {
public:
    Deletion(Store& store, const QString& ledger, std::int64_t rowid, std::int64_t binId, const QVariant& place)
        : RecordStep(QStringLiteral("删除%1记录").arg(ledger), store, ledger, rowid), binId_(binId), place_(place) {}
    QString whyNot() const override
    {
        return QStringLiteral("这条记录已经不在回收站里（已经还原或清空），这次删除不能再撤销。");
    }
    void announce() const override { emit notifier().recordRestored(ledger_, rowid_, place_); }

protected:
    bool takeBack() override
    {
        const std::optional<std::int64_t> back = store_.undoDeletion(binId_);
        if (back)
            rowid_ = *back;
        return back.has_value();
    }

private:
    std::int64_t binId_;
    QVariant place_;
};

}  // namespace

QUndoStack* stack()
{
    return g_stack.data();
}

void setStack(QUndoStack* stack)
{
    g_stack = stack;
}

Notifier& notifier()
{
    static Notifier n;
    return n;
}

void clear()
{
    if (g_stack)
        g_stack->clear();
}

void pushCorrection(Store& store, const QString& ledger, std::int64_t rowid, const QVariantList& before, const QVariantList& after)
{
    if (g_stack)
        g_stack->push(new Correction(store, ledger, rowid, before, after));
}

void pushDeletion(Store& store, const QString& ledger, std::int64_t rowid, std::int64_t binId, const QVariant& place)
{
    if (g_stack)
        g_stack->push(new Deletion(store, ledger, rowid, binId, place));
}

bool undoLast()
{
    if (!g_stack || !g_stack->canUndo())
        return false;
    const auto* step = static_cast<const RecordStep*>(g_stack->command(g_stack->index() - 1));
    g_stack->undo();
    switch (step->outcome()) {
    case RecordStep::Outcome::Done:
        step->announce();
        return true;
    case RecordStep::Outcome::Refused:
        g_stack->redo();  // the step stays to be taken back once the file is free
        showDbError(step->refusal(), QStringLiteral("撤销没有完成，记录保持原样。"));
        return false;
    case RecordStep::Outcome::PassedOver:
    case RecordStep::Outcome::NotYet:
        break;
    }
    App::msgBox(step->whyNot(), App::MsgStyle::Information);
    return false;
}

void makeUndoAction(QAction* a)
{
    a->setText(QStringLiteral("撤销"));
    a->setShortcut(QKeySequence::Undo);
    const auto tip = [a](const QString& step) {
        a->setToolTip(step.isEmpty() ? QStringLiteral("撤销") : QStringLiteral("撤销") + step);
    };
    a->setEnabled(g_stack && g_stack->canUndo());
    tip(g_stack ? g_stack->undoText() : QString());
    if (g_stack) {
        QObject::connect(g_stack, &QUndoStack::canUndoChanged, a, &QAction::setEnabled);
        QObject::connect(g_stack, &QUndoStack::undoTextChanged, a, tip);
    }
    QObject::connect(a, &QAction::triggered, a, [] { undoLast(); });
}

}  // namespace Undo
