#include "duewindow.h"

#include "budgets.h"
#include "dberror.h"
#include "app.h"
#include "budgetwarning.h"
#include "filechanges.h"
#include "inputs.h"
#include "store.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTableView>
#include <QVBoxLayout>

namespace {

enum Column { Tick, Due, Date, Ledger, Member, Type, Amount, Note, Reason };

QStandardItem* fixed(const QString& text)
{
    auto* item = new QStandardItem(text);
    item->setEditable(false);
    return item;
}

}  // namespace

DueWindow::DueWindow(Store& store, QWidget* parent) : DataWindow(QStringLiteral("frmDue"), parent), store_(store)
{
    setWindowTitle(QStringLiteral("到期的定期收支"));
    setFont(songFont(9));
    setEscapeCloses(false);
    resize(twips(12000), twips(5400));

    auto* caption = new QLabel(QStringLiteral("以下定期收支已到期。勾选要入帐的项目，日期和金额可以修改："), this);
    caption->setObjectName(QStringLiteral("Label1"));
    model_ = new QStandardItemModel(this);
    grid = new QTableView(this);
    grid->setObjectName(QStringLiteral("DG"));
    grid->setModel(model_);
    grid->setAccessibleName(QStringLiteral("到期的定期收支"));
    grid->horizontalHeader()->setStretchLastSection(true);
    grid->horizontalHeader()->setResizeContentsPrecision(100);  // a long list is fitted to its first rows
    grid->setEditTriggers(QAbstractItemView::AllEditTriggers);
    caption->setBuddy(grid);
    // What the list rests on: the occurrences this file records as posted or skipped.
    note = new QLabel(QStringLiteral("已入帐或已跳过的不再列出。清单以本数据文件中的记录为准：恢复较早的备份后，"
                                     "备份之后入帐的项目会再次列出。"),
                      this);
    note->setObjectName(QStringLiteral("lblNote"));
    note->setWordWrap(true);

    auto* postButton = new QPushButton(QStringLiteral("入帐"), this);
    postButton->setObjectName(QStringLiteral("cmdPost"));
    auto* skipButton = new QPushButton(QStringLiteral("跳过"), this);
    skipButton->setObjectName(QStringLiteral("cmdSkip"));
    skipButton->setToolTip(QStringLiteral("勾选的项目这一次不入帐，以后也不再列出"));
    auto* closeButton = new QPushButton(QStringLiteral("返回"), this);
    closeButton->setObjectName(QStringLiteral("cmdexit"));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    for (QPushButton* b : {postButton, skipButton, closeButton}) {
        b->setAutoDefault(false);
        buttons->addWidget(b);
    }
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(caption);
    layout->addWidget(grid, 1);
    layout->addWidget(note);
    layout->addLayout(buttons);

    connect(model_, &QStandardItemModel::itemChanged, this, [this](QStandardItem* item) { remember(item); });
    connect(postButton, &QPushButton::clicked, this, [this] { postTicked(); });
    connect(skipButton, &QPushButton::clicked, this, [this] { skipTicked(); });
    connect(closeButton, &QPushButton::clicked, this, &QDialog::accept);
    load();
    // A record entered by hand, a template mended or an occurrence posted elsewhere while the list
    // is open: it is read again.
    FileChanges::follow(this, [this] { load(); }, FileChanges::noFigures());
}

DueWindow* DueWindow::showIfDue(Store& store, QWidget* parent)
{
    auto* w = new DueWindow(store, parent);
    if (w->dueCount() == 0) {
        delete w;
        return nullptr;
    }
    w->setAttribute(Qt::WA_DeleteOnClose);
    w->show();
    return w;
}

QString DueWindow::keyOf(const Recurring::Due& d)
{
    return QString::number(d.what.id) + QLatin1Char('|') + d.due.toString(Qt::ISODate);
}

void DueWindow::remember(QStandardItem* item)
{
    if (filling_ || item->row() >= due_.size())
        return;
    const QVariant choice = item->column() == Tick ? QVariant(int(item->checkState())) : QVariant(item->text());
    chosen_[keyOf(due_[item->row()])].insert(item->column(), choice);
}

void DueWindow::load()
{
    filling_ = true;
    model_->clear();
    model_->setHorizontalHeaderLabels({QStringLiteral("入帐"), QStringLiteral("到期日"), QStringLiteral("日期"), QStringLiteral("帐"),
                                       QStringLiteral("成员"), QStringLiteral("类型"), QStringLiteral("金额"),
                                       QStringLiteral("备注"), QStringLiteral("说明")});
    try {
        due_ = store_.dueUntil(App::today());
        for (const Recurring::Due& d : due_) {
            const QHash<int, QVariant> chosen = chosen_.value(keyOf(d));
            const bool postable = d.problem.isEmpty();
            // What seems entered by hand already is not posted unless the person ticks it.
            const Qt::CheckState tick = !postable ? Qt::Unchecked
                : chosen.contains(Tick)          ? Qt::CheckState(chosen.value(Tick).toInt())
                : d.seemsEntered.isValid()       ? Qt::Unchecked
                                                 : Qt::Checked;
            auto* tickItem = fixed(QString());
            tickItem->setCheckable(postable);
            tickItem->setCheckState(tick);
            tickItem->setAccessibleText(QStringLiteral("入帐"));
            auto* date = new QStandardItem(chosen.value(Date, d.due.toString(Qt::ISODate)).toString());
            auto* amount = new QStandardItem(chosen.value(Amount, d.what.amount.toPlain()).toString());
            amount->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            for (QStandardItem* item : {date, amount})
                item->setEditable(postable);
            model_->appendRow({tickItem, fixed(d.due.toString(Qt::ISODate)), date, fixed(d.what.ledger), fixed(d.names.member),
                               fixed(d.names.type), amount, fixed(d.what.note), fixed(Recurring::noteOf(d))});
        }
    } catch (const std::exception& e) {
        due_.clear();
        showDbError(e, QStringLiteral("无法读取到期的定期收支。"));
    }
    filling_ = false;
    grid->resizeColumnsToContents();
}

QList<int> DueWindow::tickedRows() const
{
    QList<int> rows;
    for (int r = 0; r < model_->rowCount(); ++r)
        if (model_->item(r, Tick)->checkState() == Qt::Checked && due_.value(r).problem.isEmpty())
            rows << r;
    return rows;
}

void DueWindow::postTicked()
{
    const QList<int> rows = tickedRows();
    if (rows.isEmpty()) {
        App::msgBox(QStringLiteral("请先勾选要入帐的项目。"), App::MsgStyle::Information);
        return;
    }
    QList<Recurring::Posting> postings;
    QList<Budgets::Touch> touched;
    for (int r : rows) {
        const Recurring::Due& d = due_[r];
        const QDate date = QDate::fromString(model_->item(r, Date)->text().trimmed(), Qt::ISODate);
        const QString amountText = model_->item(r, Amount)->text().trimmed();
        QString problem = amountProblem(amountText, QStringLiteral("金额"), QStringLiteral("1234.56"));
        if (!date.isValid())
            problem = QStringLiteral("日期“%1”不是有效的日期，请按 2026-03-31 的样子填写。").arg(model_->item(r, Date)->text());
        if (!problem.isEmpty()) {
            App::msgBox(QStringLiteral("第 %1 行：").arg(r + 1) + problem, App::MsgStyle::Information);
            grid->setCurrentIndex(model_->index(r, date.isValid() ? Amount : Date));
            grid->setFocus();
            return;
        }
        postings << Recurring::Posting{d.what.id, d.due, date, *Money::parse(amountText)};
        if (d.what.ledger == Recurring::kExpense)
            touched << Budgets::Touch{d.what.memberId, d.what.typeId, date.toString(QStringLiteral("yyyy-MM"))};
    }
    try {
        store_.postRecurring(postings);
    } catch (const DbError& e) {
        const QString why = e.kind() == DbError::Duplicate
                                ? QStringLiteral("其中有项目已经入帐或跳过（可能在另一处），这次一笔也没有入帐。清单已重新读取。")
                                : e.userText() + QStringLiteral(" 这次一笔也没有入帐。");
        App::msgBox(why, App::MsgStyle::Information);
        load();
        return;
    } catch (const std::exception& e) {
        showDbError(e, QStringLiteral("入帐没有成功，这次一笔也没有入帐。"));
        return;
    }
    // One message: the budgets the posting took over, or else how many were posted.
    QString message;
    try {
        message = Budgets::overrunMessage(store_.overruns(touched));
    } catch (const std::exception& e) {
        message = budgetCheckFailed(QStringLiteral("已入帐 %1 笔").arg(postings.size()), e);
    }
    App::msgBox(message.isEmpty() ? QStringLiteral("已入帐 %1 笔。").arg(postings.size()) : message, App::MsgStyle::Information);
    load();
    if (due_.isEmpty())
        accept();
}

void DueWindow::skipTicked()
{
    QList<QPair<qint64, QDate>> skipped;
    for (int r = 0; r < model_->rowCount(); ++r)
        if (model_->item(r, Tick)->checkState() == Qt::Checked)
            skipped << qMakePair(due_[r].what.id, due_[r].due);
    if (skipped.isEmpty()) {
        App::msgBox(QStringLiteral("请先勾选要跳过的项目。"), App::MsgStyle::Information);
        return;
    }
    try {
        store_.skipRecurring(skipped);
    } catch (const std::exception& e) {
        showDbError(e, QStringLiteral("没有跳过，清单已重新读取。"));
    }
    load();
    if (due_.isEmpty())
        accept();
}
