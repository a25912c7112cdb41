#include "frmyear.h"

#include "shell/modmain.h"
#include "waitcursor.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

frmYear::frmYear(QWidget* parent) : DataWindow(QStringLiteral("frmYear"), parent)
{
    setWindowTitle(QStringLiteral("年终处理"));
    setFont(songFont(9));
    resize(twips(7200), twips(5400));

    dg = new DataGrid(this);
    dg->setObjectName(QStringLiteral("dg"));
    dg->setAccessibleName(QStringLiteral("年终汇总"));
    dg->setRecordset(&rs_);  // empty until the summary is shown
    Command1 = new QPushButton(QStringLiteral("汇总"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setDefault(true);
    Command2 = new QPushButton(QStringLiteral("返回"), this);
    Command2->setObjectName(QStringLiteral("Command2"));

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(Command1);
    buttons->addWidget(Command2);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(dg, 1);
    layout->addLayout(buttons);

    connect(Command1, &QPushButton::clicked, this, [this] { Command1_Click(); });
    connect(Command2, &QPushButton::clicked, this, [this] { close(); });
}

frmYear::~frmYear()
{
    dg->setRecordset(nullptr);
    rs_.close();
}

void frmYear::Command1_Click()
{
    if (Modmain::today().month() == 12
        || Modmain::msgBox(QStringLiteral("尚未到年底，确实要进行年终处理吗"), 33, Modmain::appTitle) != 2)
        doNow();
}

void frmYear::doNow()
{
    try {
        const WaitCursor wait;
        rs_.open(Modmain::conn, QStringLiteral("select 查询.月份.月份 as 月份,收入总额,支出总额,投资总额 from 查询"),
                 Recordset::ReadOnly);
        dg->setColumnTwips(0, 700);
        for (int c = 1; c <= 3; ++c) {
            dg->setColumnTwips(c, 1800);
            dg->setColumnFormat(c, RecordsetModel::Format::Grouped);
            dg->setColumnAlignment(c, Qt::AlignRight | Qt::AlignVCenter);
        }
        Command1->setEnabled(false);
    } catch (const std::exception& e) {
        // The button stays, so the summary can be asked for again once the database is mended.
        rs_.close();
        showDbError(e, QStringLiteral("无法汇总：数据库中的汇总查询不能读取。"));
    }
}
