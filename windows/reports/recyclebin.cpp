#include "recyclebin.h"

#include "store.h"
#include "app.h"
#include "inputs.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <utility>


RecycleBinWindow::RecycleBinWindow(Store& store, QWidget* parent)
    : DataWindow(QStringLiteral("frmRecycle"), parent), store_(store)
{
    setWindowTitle(QStringLiteral("回收站"));
    setFont(songFont(9));
    resize(twips(12600), twips(5400));

    auto* caption = new QLabel(QStringLiteral("已删除的记录（还原后回到原来的帐中）："), this);
    caption->setObjectName(QStringLiteral("Label1"));
    binGrid = new DataGrid(this);
    binGrid->setObjectName(QStringLiteral("DG"));
    binGrid->setAccessibleName(QStringLiteral("已删除的记录"));
    caption->setBuddy(binGrid);
    restoreButton = new QPushButton(QStringLiteral("还原"), this);
    restoreButton->setObjectName(QStringLiteral("cmdrestore"));
    restoreButton->setToolTip(QStringLiteral("把选中的记录放回原来的帐中"));
    emptyButton = new QPushButton(QStringLiteral("清空"), this);
    emptyButton->setObjectName(QStringLiteral("cmdempty"));
    emptyButton->setToolTip(QStringLiteral("永久删除回收站中的全部记录"));
    closeButton = new QPushButton(QStringLiteral("返回"), this);
    closeButton->setObjectName(QStringLiteral("cmdexit"));
    for (QPushButton* b : {restoreButton, emptyButton, closeButton})
        b->setAutoDefault(false);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(restoreButton);
    buttons->addWidget(emptyButton);
    buttons->addWidget(closeButton);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(caption);
    layout->addWidget(binGrid, 1);
    layout->addLayout(buttons);

    connect(restoreButton, &QPushButton::clicked, this, [this] { restoreSelected(); });
    connect(emptyButton, &QPushButton::clicked, this, [this] { emptyAll(); });
    connect(closeButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(&rs_, &Recordset::currentChanged, this, [this] { updateButtons(); });

    load();
}

RecycleBinWindow::~RecycleBinWindow()
{
    binGrid->setRecordset(nullptr);
    rs_.close();
}

void RecycleBinWindow::load()
{
    try {
        store_.openBin(rs_);
    } catch (const std::exception& e) {
        showDbError(e, QStringLiteral("无法读取回收站。"));
    }
    binGrid->setRecordset(&rs_);
    for (const auto& [column, tw] : {std::pair{1, 900}, {2, 800}, {3, 900}, {4, 1000}, {6, 1100}, {8, 800}, {9, 1000}})
        binGrid->setColumnTwips(column, tw);
    binGrid->setColumnAlignment(5, Qt::AlignRight | Qt::AlignVCenter);
    binGrid->setColumnFormat(5, RecordsetModel::Format::Grouped);
    updateButtons();
}

void RecycleBinWindow::updateButtons()
{
    restoreButton->setEnabled(rs_.isOpen() && rs_.hasCurrent());
    emptyButton->setEnabled(rs_.isOpen() && rs_.rowCount() > 0);
}

void RecycleBinWindow::restoreSelected()
{
    if (!rs_.isOpen() || !rs_.hasCurrent())
        return;
    const int row = rs_.position();
    try {
        store_.restoreFromBin(rs_.keyAt(row));
    } catch (const std::exception& e) {
        showDbError(e, QStringLiteral("这条记录没有还原。"));
        return;
    }
    rs_.removeRow(row);
    updateButtons();
}

void RecycleBinWindow::emptyAll()
{
    if (!rs_.isOpen() || rs_.rowCount() == 0)
        return;
    if (App::msgBox(QStringLiteral("清空后回收站中的 %1 条记录将永久删除，不能再还原或撤销。真的要清空回收站吗").arg(rs_.rowCount()), App::MsgStyle::Question) != App::MsgAnswer::Ok)
        return;
    try {
        store_.emptyBin();
    } catch (const std::exception& e) {
        showDbError(e, QStringLiteral("回收站没有清空。"));
        return;
    }
    load();
}
