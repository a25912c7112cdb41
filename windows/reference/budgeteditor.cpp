#include "budgeteditor.h"

#include "budgets.h"
#include "statement.h"
#include "budgetreport.h"
#include "app.h"
#include "inputs.h"
#include "session.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTableView>
#include <QVBoxLayout>

namespace {

enum Column { TypeId, TypeName, Amount };

}  // namespace

BudgetEditor::BudgetEditor(QWidget* parent) : DataWindow(QStringLiteral("frmBudget"), parent)
{
    setWindowTitle(QStringLiteral("预算"));
    setFont(songFont(9));
    setEscapeCloses(false);
    resize(twips(7800), twips(6000));

    scopeBox = new QComboBox(this);
    scopeBox->setObjectName(QStringLiteral("cboScope"));
    fillScopes(App::store(), scopeBox);
    defaultBox = new QCheckBox(QStringLiteral("默认（每月）"), this);
    defaultBox->setObjectName(QStringLiteral("chkDefault"));
    defaultBox->setChecked(true);
    monthBox = datePicker(QStringLiteral("dtMonth"), App::today(), this);
    monthBox->setDisplayFormat(QStringLiteral("yyyy-MM"));
    monthBox->setEnabled(false);
    auto* criteria = new QGridLayout;
    addFieldRow(criteria, 0, {{QStringLiteral("范围"), scopeBox}, {QStringLiteral("月份"), monthBox}});
    criteria->addWidget(defaultBox, 0, 4);

    model_ = new QStandardItemModel(this);
    grid = new QTableView(this);
    grid->setObjectName(QStringLiteral("DG"));
    grid->setModel(model_);
    grid->setAccessibleName(QStringLiteral("各类支出的预算"));
    grid->horizontalHeader()->setStretchLastSection(true);
    grid->setEditTriggers(QAbstractItemView::AllEditTriggers);
    auto* hint = new QLabel(QStringLiteral("在“预算”一栏填写金额；留空表示这一类没有预算。"), this);
    hint->setObjectName(QStringLiteral("lblHint"));

    auto* saveButton = new QPushButton(QStringLiteral("保存"), this);
    saveButton->setObjectName(QStringLiteral("cmdSave"));
    auto* copyButton = new QPushButton(QStringLiteral("复制上月"), this);
    copyButton->setObjectName(QStringLiteral("cmdCopy"));
    copyButton->setToolTip(QStringLiteral("把上个月的预算复制为本月的预算"));
    auto* closeButton = new QPushButton(QStringLiteral("返回"), this);
    closeButton->setObjectName(QStringLiteral("cmdexit"));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    for (QPushButton* b : {saveButton, copyButton, closeButton}) {
        b->setAutoDefault(false);
        buttons->addWidget(b);
    }
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(criteria);
    layout->addWidget(hint);
    layout->addWidget(grid, 1);
    layout->addLayout(buttons);

    connect(saveButton, &QPushButton::clicked, this, [this] { save(); });
    connect(copyButton, &QPushButton::clicked, this, [this] { copyPrevious(); });
    connect(closeButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(scopeBox, &QComboBox::currentIndexChanged, this, [this] { load(); });
    connect(monthBox, &QDateEdit::dateChanged, this, [this] { load(); });
    connect(defaultBox, &QCheckBox::toggled, this, [this, copyButton](bool on) {
        monthBox->setEnabled(!on);
        copyButton->setEnabled(!on);
        load();
    });
    copyButton->setEnabled(false);
    load();
}

QString BudgetEditor::memberId() const
{
    return scopeBox->currentData().toString();
}

QString BudgetEditor::month() const
{
    return defaultBox->isChecked() ? Budgets::kDefault : Budgets::monthKey(monthBox->date().year(), monthBox->date().month());
}

void BudgetEditor::load()
{
    model_->clear();
    model_->setHorizontalHeaderLabels({QStringLiteral("类型ID"), QStringLiteral("类型"), QStringLiteral("预算")});
    try {
        const QMap<QString, Money> budgets = Budgets::stored(App::conn, memberId(), month());
        const QString types = QStringLiteral("SELECT ID, 类型 FROM 支出类型 WHERE ID IS NOT NULL ORDER BY ID");
        const QStringList ids = columnTexts(App::conn, types, 0), names = columnTexts(App::conn, types, 1);
        for (qsizetype i = 0; i < ids.size(); ++i) {
            auto* id = new QStandardItem(ids[i]);
            auto* name = new QStandardItem(names.value(i));
            for (QStandardItem* item : {id, name})
                item->setEditable(false);
            QString amount;
            for (auto it = budgets.begin(); it != budgets.end(); ++it)
                if (it.key().compare(ids[i], Qt::CaseInsensitive) == 0)
                    amount = it.value().toPlain();
            auto* value = new QStandardItem(amount);
            value->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            model_->appendRow({id, name, value});
        }
    } catch (const std::exception& e) {
        showDbError(e, QStringLiteral("无法读取预算。"));
    }
    grid->resizeColumnsToContents();
}

bool BudgetEditor::save()
{
    QMap<QString, Money> budgets;
    for (int r = 0; r < model_->rowCount(); ++r) {
        const QString text = model_->item(r, Amount)->text().trimmed();
        if (text.isEmpty())
            continue;
        const QString problem = amountProblem(text, QStringLiteral("预算"), QStringLiteral("1500"));
        const auto amount = Money::parse(text);
        if (!problem.isEmpty() || !amount || amount->units() < 0) {
            App::msgBox(QStringLiteral("“%1”的预算：").arg(model_->item(r, TypeName)->text())
                            + (problem.isEmpty() ? QStringLiteral("预算不能是负数。") : problem),
                        App::MsgStyle::Information);
            grid->setCurrentIndex(model_->index(r, Amount));
            grid->setFocus();
            return false;
        }
        budgets.insert(model_->item(r, TypeId)->text(), *amount);
    }
    try {
        Budgets::store(App::conn, memberId(), month(), budgets);
    } catch (const std::exception& e) {
        showDbError(e, QStringLiteral("预算没有保存。"));
        return false;
    }
    App::msgBox(QStringLiteral("预算已保存。"), App::MsgStyle::Information);
    return true;
}

void BudgetEditor::copyPrevious()
{
    const QDate m = monthBox->date();
    try {
        const int n = Budgets::copyPreviousMonth(App::conn, memberId(), m.year(), m.month());
        App::msgBox(QStringLiteral("已把上月的 %1 项预算复制到 %2。").arg(n).arg(month()), App::MsgStyle::Information);
    } catch (const std::exception& e) {
        showDbError(e, QStringLiteral("预算没有复制。"));
    }
    load();
}
