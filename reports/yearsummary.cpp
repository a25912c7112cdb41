#include "yearsummary.h"

#include "badamounts.h"
#include "dberror.h"
#include "waitcursor.h"
#include "shell/app.h"
#include "shell/gridexport.h"
#include "shell/inputs.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

YearSummary::YearSummary(QWidget* parent) : DataWindow(QStringLiteral("frmYear"), parent)
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
    buttons->addWidget(GridExport::exportButton(dg, windowTitle(), this));
    buttons->addStretch(1);
    buttons->addWidget(Command1);
    buttons->addWidget(Command2);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(dg, 1);
    layout->addLayout(buttons);

    connect(Command1, &QPushButton::clicked, this, [this] { Command1_Click(); });
    connect(Command2, &QPushButton::clicked, this, [this] { close(); });
}

YearSummary::~YearSummary()
{
    dg->setRecordset(nullptr);
    rs_.close();
}

void YearSummary::Command1_Click()
{
    if (App::today().month() == 12
        || App::msgBox(QStringLiteral("尚未到年底，确实要进行年终处理吗"), 33, App::appTitle) != 2)
        doNow();
}

void YearSummary::doNow()
{
    try {
        const WaitCursor wait;
        rs_.open(App::conn, QStringLiteral("select 查询.月份.月份 as 月份,收入总额,支出总额,投资总额 from 查询"),
                 Recordset::ReadOnly);
        dg->setColumnTwips(0, 700);
        for (int c = 1; c <= 3; ++c) {
            dg->setColumnTwips(c, 1800);
            dg->setColumnFormat(c, RecordsetModel::Format::Grouped);
            dg->setColumnAlignment(c, Qt::AlignRight | Qt::AlignVCenter);
        }
        Command1->setEnabled(false);
        nameBadAmount(false);
    } catch (const std::exception& e) {
        // The button stays, so the summary can be asked for again once the database is mended.
        rs_.close();
        const auto* db = dynamic_cast<const DbError*>(&e);
        if (!db || db->kind() != DbError::Overflow || !nameBadAmount(true))
            showDbError(e, QStringLiteral("无法汇总：数据库中的汇总查询不能读取。"));
    }
}

bool YearSummary::nameBadAmount(bool overflowed)
{
    // A month's total that is no number of money, or lies beyond a single amount's range, can come
    // from a record that another tool wrote into its ledger: that record is named. The ledgers are
    // read again only then.
    static const char* const ledgers[3] = {"收入帐", "支出帐", "投资帐"};
    for (int c = 1; c <= 3; ++c) {
        bool suspicious = overflowed;
        for (int r = 0; r < rs_.rowCount() && !suspicious; ++r) {
            try {
                const auto t = rs_.totalAt(r, c);
                suspicious = t && !t->toMoney();
            } catch (const DbError&) {
                suspicious = true;
            }
        }
        if (!suspicious)
            continue;
        try {
            const QString bad = findBadAmount(QString::fromUtf8(ledgers[c - 1]), QStringLiteral("金额"));
            if (!bad.isEmpty()) {
                App::msgBox(QStringLiteral("汇总中有无效的金额：") + bad, 64);
                return true;
            }
        } catch (const std::exception&) {
            // The summary itself was read; the search is a courtesy.
        }
    }
    return false;
}
