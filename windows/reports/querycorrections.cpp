// The query windows' corrections and deletions of the records they list, and taking them back.
#include "correctionform.h"
#include "ledgerquery.h"
#include "ledgerrows.h"
#include "store.h"
#include "app.h"
#include "undo.h"
#include "store.h"

#include <QAction>
#include <QBoxLayout>
#include <QDateTime>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QUndoStack>

namespace {

// Numbers the results of every query window, so that a deletion's place names one result only.
int g_results = 0;

// The grid's keys for its current record: Enter corrects it, Delete deletes it.
class RecordKeys : public QObject {
public:
    RecordKeys(QObject* parent, std::function<bool()> can, std::function<void()> correct, std::function<void()> del)
        : QObject(parent), can_(std::move(can)), correct_(std::move(correct)), del_(std::move(del)) {}
    bool eventFilter(QObject*, QEvent* e) override
    {
        if (e->type() != QEvent::KeyPress || !can_())
            return false;  // Enter on an empty list still runs the query (the default button)
        const int key = static_cast<QKeyEvent*>(e)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter)
            correct_();
        else if (key == Qt::Key_Delete)
            del_();
        else
            return false;
        return true;
    }

private:
    std::function<bool()> can_;
    std::function<void()> correct_, del_;
};

QPushButton* button(const QString& name, const QString& caption, const QString& tip, QWidget* parent)
{
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(name);
    b->setToolTip(tip);
    b->setAutoDefault(false);
    return b;
}

}  // namespace

void LedgerQuery::setUpCorrections(QBoxLayout* layout)
{
    ledger_ = kind_.ledger.table();

    editButton = button(QStringLiteral("cmdedit"), QStringLiteral("修改"), QStringLiteral("修改选中的记录（双击或回车）"), this);
    deleteButton = button(QStringLiteral("cmddel"), QStringLiteral("删除"), QStringLiteral("删除选中的记录，放入回收站（Delete 键）"), this);
    undoButton = button(QStringLiteral("cmdundo"), QStringLiteral("撤销"), QStringLiteral("撤销"), this);
    auto* row = new QHBoxLayout;
    row->addStretch(1);
    for (QPushButton* b : {editButton, deleteButton, undoButton})
        row->addWidget(b);
    layout->insertLayout(layout->indexOf(resultGrid), row);

    undoAction_ = new QAction(QStringLiteral("撤销"), this);
    undoAction_->setShortcut(QKeySequence::Undo);
    addAction(undoAction_);

    connect(editButton, &QPushButton::clicked, this, [this] { correctCurrent(); });
    connect(deleteButton, &QPushButton::clicked, this, [this] { deleteCurrentRecord(); });
    connect(undoButton, &QPushButton::clicked, this, [this] { undoLast(); });
    connect(undoAction_, &QAction::triggered, this, [this] { undoLast(); });
    connect(resultGrid, &QAbstractItemView::doubleClicked, this, [this] { correctCurrent(); });
    resultGrid->installEventFilter(new RecordKeys(
        this, [this] { return canCorrect(); }, [this] { correctCurrent(); }, [this] { deleteCurrentRecord(); }));

    connect(&rs_, &Recordset::reset, this, [this] {
        resultSerial_ = ++g_results;
        updateCorrectionButtons();
    });
    connect(&rs_, &Recordset::loaded, this, [this] { updateCorrectionButtons(); });
    connect(&rs_, &Recordset::currentChanged, this, [this] { updateCorrectionButtons(); });
    if (QUndoStack* steps = Undo::stack())
        connect(steps, &QUndoStack::indexChanged, this, [this] { updateCorrectionButtons(); });
    connect(&Undo::notifier(), &Undo::Notifier::recordCorrected, this, &LedgerQuery::recordCorrected);
    connect(&Undo::notifier(), &Undo::Notifier::recordRestored, this, &LedgerQuery::recordRestored);
    updateCorrectionButtons();
}

bool LedgerQuery::canCorrect() const
{
    // While rows still arrive the result is not whole: its total is not shown, and a write to the
    // ledger could reach the rows still to be read.
    return rs_.isOpen() && !rs_.isLoading() && rs_.hasCurrent() && rs_.keyAt(rs_.position()) >= 0;
}

void LedgerQuery::updateCorrectionButtons()
{
    const bool can = canCorrect();
    editButton->setEnabled(can);
    deleteButton->setEnabled(can);
    const QUndoStack* steps = Undo::stack();
    const bool undo = steps && steps->canUndo() && !rs_.isLoading();
    const QString stepText = steps ? steps->undoText() : QString();
    undoButton->setEnabled(undo);
    undoAction_->setEnabled(undo);
    const QString tip = QStringLiteral("撤销") + stepText + QStringLiteral("（Ctrl+Z）");
    undoButton->setToolTip(tip);
    undoButton->setAccessibleName(QStringLiteral("撤销") + stepText);
}

void LedgerQuery::totalAgain()
{
    if (kind_.total)
        totalLabel->setText(totalText());
}

void LedgerQuery::correctCurrent()
{
    if (!canCorrect())
        return;
    const int row = rs_.position();
    const std::int64_t key = rs_.keyAt(row);
    std::optional<QVariantList> before;
    try {
        before = store_.readRecord(kind_.ledger, key);
    } catch (const std::exception& e) {
        showDbError(e, QStringLiteral("这条记录读不出来。"));
        return;
    }
    if (!before) {
        App::msgBox(QStringLiteral("这条记录已经不在帐中。"), App::MsgStyle::Information);
        rs_.removeRow(row);
        totalAgain();
        return;
    }
    CorrectionForm form(
        store_, kind_.ledger, *before,
        [&](const QVariantList& to) {
            std::optional<QVariantList> after;
            try {
                after = store_.correctRecord(kind_.ledger, key, *before, to);
            } catch (const std::exception& e) {
                showDbError(e, QStringLiteral("这条记录没有修改。"));
                return false;
            }
            if (!after) {
                App::msgBox(QStringLiteral("这条记录在打开修改窗口之后被改动或删除了，没有修改。"), App::MsgStyle::Information);
                return false;
            }
            if (!LedgerRows::sameValues(*before, *after))
                Undo::pushCorrection(store_, ledger_, key, *before, *after);
            try {
                rs_.refreshRow(row);
            } catch (const std::exception& e) {
                showDbError(e, QStringLiteral("记录已经修改，但列表没能更新，请重新查询。"));
            }
            totalAgain();
            return true;
        },
        this);
    form.exec();
}

void LedgerQuery::deleteCurrentRecord()
{
    if (!canCorrect() || App::msgBox(QStringLiteral("真的要删除此记录吗"), App::MsgStyle::Question) != App::MsgAnswer::Ok)
        return;
    const int row = rs_.position();
    const std::int64_t key = rs_.keyAt(row);
    std::int64_t binId = 0;
    try {
        binId = store_.moveToBin(kind_.ledger, key, QDateTime::currentDateTime());
    } catch (const DbError& e) {
        if (e.kind() != DbError::NoRow) {
            showDbError(e, QStringLiteral("这条记录没有删除。"));
            return;
        }
        App::msgBox(QStringLiteral("这条记录已经不在帐中。"), App::MsgStyle::Information);
        binId = -1;
    } catch (const std::exception& e) {
        showDbError(e, QStringLiteral("这条记录没有删除。"));
        return;
    }
    if (binId >= 0)
        Undo::pushDeletion(store_, ledger_, key, binId, QVariantList{resultSerial_, row});
    rs_.removeRow(row);
    totalAgain();
}

void LedgerQuery::undoLast()
{
    if (!rs_.isLoading())
        Undo::undoLast();
}

void LedgerQuery::recordCorrected(const QString& ledger, std::int64_t rowid)
{
    const int row = ledger == ledger_ ? rs_.rowOfKey(rowid) : -1;
    if (row < 0)
        return;
    try {
        rs_.refreshRow(row);
    } catch (const std::exception& e) {
        showDbError(e, QStringLiteral("列表没能更新，请重新查询。"));
    }
    rs_.moveTo(row);
    totalAgain();
}

void LedgerQuery::recordRestored(const QString& ledger, std::int64_t rowid, const QVariant& place)
{
    if (ledger != ledger_ || !rs_.isOpen())
        return;
    const QVariantList p = place.toList();
    const int row = p.value(1).toInt();
    try {
        if (p.value(0).toInt() == resultSerial_ && rs_.insertKeyedRow(row, rowid)) {
            // Back where it was deleted from, in the result it was deleted from.
            rs_.moveTo(row);
            totalAgain();
            return;
        }
    } catch (const std::exception&) {
    }
    // Another result (a query run since): whether the record belongs to it, and where, only the
    // statement can tell.
    showResult(openResult(LedgerListing::Query(query_)));
}
