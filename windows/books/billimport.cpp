#include "billimport.h"

#include "dberror.h"
#include "diskwrites.h"
#include "picker.h"
#include "settings.h"
#include "statementcolumns.h"
#include "toolbars.h"
#include "waitcursor.h"
#include "app.h"
#include "budgetwarning.h"
#include "inputs.h"
#include "undo.h"
#include "valuelabel.h"
#include "store.h"

#include <QAbstractTableModel>
#include <QApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPalette>
#include <QSet>
#include <QPushButton>
#include <QSettings>
#include <QStandardPaths>
#include <QTableView>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <functional>

using Bills::Kind;

// What the window shows: the bill, the choices made so far and the counterparties to give a type.
struct BillImportWindow::Preview {
    struct Party {
        Kind kind = Kind::Neither;
        QString counterparty;
        QString key;
        int count = 0;
        MoneyTotal total;
    };

    Bills::Bill bill;
    QString path;
    BillPosting::Choices choices;
    QString memberName;
    QHash<QString, QString> typeNames;  // by Choices::key
    QList<Party> parties;               // of the rows to be posted, in the order they first come

    QString typeName(qsizetype row) const
    {
        return typeNames.value(BillPosting::Choices::key(bill.rows.postedKind(row), bill.rows.counterparty(row)));
    }
    // The counterparties of the rows to be posted, with the types remembered for them.
    void collectParties(Store& store);
};

void BillImportWindow::Preview::collectParties(Store& store)
{
    parties.clear();
    QHash<QString, int> at[2];         // of income and of expense, by the counterparty
    QHash<quint32, int> atKept[2];     // the same, by where the rows keep the counterparty
    BillPosting::RememberedTypes remembered = store.rememberedTypes();
    const Bills::Rows& rows = bill.rows;
    for (qsizetype i = 0; i < rows.size(); ++i) {
        if (!rows.posts(i))
            continue;
        const Kind kind = rows.postedKind(i);
        const int k = kind == Kind::Income ? 0 : 1;
        auto kept = atKept[k].constFind(rows.counterpartyKey(i));
        if (kept == atKept[k].constEnd()) {
            const QString counterparty = rows.counterparty(i);
            auto it = at[k].constFind(counterparty);
            if (it == at[k].constEnd()) {
                const QString key = BillPosting::Choices::key(kind, counterparty);
                it = at[k].insert(counterparty, static_cast<int>(parties.size()));
                parties << Party{kind, counterparty, key, 0, MoneyTotal()};
                if (!choices.types.contains(key))
                    if (const auto type = remembered.of(kind, counterparty)) {
                        choices.types.insert(key, type->id);
                        typeNames.insert(key, type->name);
                    }
            }
            kept = atKept[k].insert(rows.counterpartyKey(i), it.value());
        }
        Party& party = parties[kept.value()];
        ++party.count;
        party.total += rows.amount(i);
    }
}

namespace {

QString shownCounterparty(const QString& text)
{
    return text.isEmpty() ? QStringLiteral("（无）") : text;
}

// A read-only table over the preview, one header per column.
class PreviewModel : public QAbstractTableModel {
public:
    PreviewModel(const BillImportWindow::Preview& p, QStringList headers, QObject* parent)
        : QAbstractTableModel(parent), p_(p), headers_(std::move(headers)) {}
    int columnCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : static_cast<int>(headers_.size()); }
    QVariant headerData(int section, Qt::Orientation o, int role) const override
    {
        if (role != Qt::DisplayRole)
            return {};
        return o == Qt::Horizontal ? QVariant(headers_.value(section)) : QVariant(section + 1);
    }
    // The rows shown were made anew.
    void rebuilt()
    {
        beginResetModel();
        endResetModel();
    }
    // Everything shown may have changed (a member or a type was picked).
    void changed()
    {
        if (rowCount() > 0)
            emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
    }

protected:
    const BillImportWindow::Preview& p_;
    QStringList headers_;
};

// Every row of the bill as it would be posted; the rows that are not, greyed with the reason, and
// those greyed for a reason a family may not share with a tick beside it to post them anyway.
class RowsModel : public PreviewModel {
public:
    enum Column { Date, KindText, Note, Amount, Member, Type, Reason };
    RowsModel(const BillImportWindow::Preview& p, std::function<void(int, bool)> tick, QObject* parent)
        : PreviewModel(p,
                       {QStringLiteral("日期"), QStringLiteral("收/支"), QStringLiteral("备注"), QStringLiteral("金额"),
                        QStringLiteral("成员"), QStringLiteral("类型"), QStringLiteral("说明")},
                       parent),
          tick_(std::move(tick)) {}
    Qt::ItemFlags flags(const QModelIndex& index) const override
    {
        Qt::ItemFlags f = PreviewModel::flags(index);
        if (index.isValid() && index.column() == Reason && p_.bill.rows.tickAs(index.row()) != Kind::Neither)
            f |= Qt::ItemIsUserCheckable;
        return f;
    }
    bool setData(const QModelIndex& index, const QVariant& value, int role) override
    {
        if (role != Qt::CheckStateRole || !(flags(index) & Qt::ItemIsUserCheckable))
            return false;
        tick_(index.row(), value.toInt() == Qt::Checked);
        return true;
    }
    int rowCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : static_cast<int>(p_.bill.rows.size()); }
    QVariant data(const QModelIndex& index, int role) const override
    {
        if (!index.isValid())
            return {};
        const Bills::Rows& rows = p_.bill.rows;
        const int r = index.row();
        const bool posts = rows.posts(r);
        const bool posted = posts || rows.lowersEarlier(r);
        const bool checkable = rows.tickAs(r) != Kind::Neither;
        switch (role) {
        case Qt::DisplayRole:
            break;
        case Qt::CheckStateRole:
            if (index.column() == Reason && checkable)
                return rows.ticked(r) ? Qt::Checked : Qt::Unchecked;
            return {};
        case Qt::ForegroundRole:
            return posted ? QVariant() : QVariant(QApplication::palette().color(QPalette::Disabled, QPalette::Text));
        case Qt::TextAlignmentRole:
            return index.column() == Amount ? QVariant(Qt::AlignRight | Qt::AlignVCenter) : QVariant();
        case Qt::ToolTipRole:
            return index.column() == Note ? QVariant(QStringLiteral("交易对方：%1\n商品：%2").arg(rows.counterparty(r), rows.item(r))) : QVariant();
        default:
            return {};
        }
        switch (index.column()) {
        case Date:
            return rows.date(r).toString(Qt::ISODate);
        case KindText:
            return rows.ticked(r) ? Bills::kindName(rows.tickAs(r)) : rows.kindText(r);
        case Note:
            return Bills::note(rows.counterparty(r), rows.item(r));
        case Amount:
            return rows.amount(r).toGrouped();
        case Member:
            return posts ? p_.memberName : QString();
        case Type:
            return posts ? p_.typeName(r) : QString();
        case Reason:
            if (rows.lowersEarlier(r))
                return QStringLiteral("退款：从以前导入的记录中扣除");
            if (rows.ticked(r))
                return QStringLiteral("%1，仍导入为%2").arg(rows.skip(r), Bills::kindName(rows.tickAs(r)));
            if (!posted)
                return rows.skip(r);
            if (rows.refunded(r) > Money())
                return QStringLiteral("已扣除退款 %1").arg(rows.refunded(r).toGrouped());
            return p_.typeName(r).isEmpty() ? QStringLiteral("请选择类型") : QString();
        default:
            return {};
        }
    }

private:
    std::function<void(int, bool)> tick_;
};

// The counterparties of the rows to be posted, with the type each gets.
class PartiesModel : public PreviewModel {
public:
    enum Column { KindText, Counterparty, Count, Total, TypeId, Type };
    PartiesModel(const BillImportWindow::Preview& p, QObject* parent)
        : PreviewModel(p,
                       {QStringLiteral("收/支"), QStringLiteral("交易对方"), QStringLiteral("笔数"), QStringLiteral("金额"),
                        QStringLiteral("类型ID"), QStringLiteral("类型")},
                       parent) {}
    int rowCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : static_cast<int>(p_.parties.size()); }
    QVariant data(const QModelIndex& index, int role) const override
    {
        if (!index.isValid())
            return {};
        const BillImportWindow::Preview::Party& party = p_.parties.at(index.row());
        if (role == Qt::TextAlignmentRole)
            return index.column() == Count || index.column() == Total ? QVariant(Qt::AlignRight | Qt::AlignVCenter) : QVariant();
        if (role != Qt::DisplayRole)
            return {};
        switch (index.column()) {
        case KindText:
            return Bills::kindName(party.kind);
        case Counterparty:
            return shownCounterparty(party.counterparty);
        case Count:
            return party.count;
        case Total:
            return party.total.toGrouped();
        case TypeId:
            return p_.choices.types.value(party.key);
        case Type:
            return p_.typeNames.value(party.key);
        default:
            return {};
        }
    }
};

QTableView* previewGrid(const QString& name, const QString& accessibleName, QAbstractItemModel* model, QWidget* parent)
{
    auto* g = new QTableView(parent);
    g->setObjectName(name);
    g->setAccessibleName(accessibleName);
    g->setSelectionBehavior(QAbstractItemView::SelectRows);
    g->setEditTriggers(QAbstractItemView::NoEditTriggers);
    g->setTabKeyNavigation(false);
    g->setWordWrap(false);
    g->setFont(songFont(9));
    // Fixed row heights, set before the rows come: ten thousand rows cost no measuring.
    g->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    g->verticalHeader()->setDefaultSectionSize(g->fontMetrics().height() + 6);
    g->setModel(model);
    g->horizontalHeader()->setStretchLastSection(true);
    // Columns fitted to their contents measure the first hundred rows (and those in view), not a
    // thousand: a note is at most 20 characters, and measuring texts is most of a preview's time.
    g->horizontalHeader()->setResizeContentsPrecision(100);
    return g;
}

}  // namespace

namespace {

// The columns named for statements of each header, kept beside the household's file (a setting of
// the user's, not a part of the books: a restored backup keeps them, and losing them only means being
// asked again).
class RememberedColumns {
public:
    RememberedColumns(Store& store, const QStringList& header)
        : store_(QDir(QFileInfo(store.filePath()).absolutePath()).filePath(QStringLiteral("statements.ini")), QSettings::IniFormat),
          key_(QStringLiteral("columns/")
               + QString::fromLatin1(QCryptographicHash::hash(Bills::headerKey(header).toUtf8(), QCryptographicHash::Sha1).toHex())),
          columnCount_(static_cast<int>(header.size())) {}
    std::optional<Bills::Columns> get()
    {
        const auto c = Bills::Columns::fromText(store_.value(key_).toString());
        if (!c || c->widest() >= columnCount_)
            return std::nullopt;
        return c;
    }
    void set(const Bills::Columns& c)
    {
        // Qt's settings write the file whole under another name and rename it; its folder is flushed
        // too, so that the answer is still there after a power cut.
        if (store_.value(key_).toString() == c.toText())
            return;  // as remembered: nothing to write
        store_.setValue(key_, c.toText());
        store_.sync();
        if (store_.status() == QSettings::NoError)
            DiskWrites::settle(QFile::encodeName(store_.fileName()).toStdString());
    }
    void forget() { store_.remove(key_); }

private:
    QSettings store_;
    QString key_;
    int columnCount_;
};

}  // namespace

BillImportWindow* BillImportWindow::statementWindow(Store& store, const QByteArray& bytes, const Bills::Table& table,
                                                    const QString& path, QWidget* parent)
{
    RememberedColumns remembered(store, table.header);
    std::optional<Bills::Columns> columns = remembered.get();
    const bool known = columns.has_value();
    // Dates without a year need the statement's month: from the lines above the table, or asked.
    if (!known || (!Bills::formHasYear(columns->dateForm) && !table.periodEnd.isValid()))
        columns = StatementColumnsDialog::ask(store, table, columns, parent);
    if (!columns)
        return nullptr;
    try {
        Bills::Bill bill = Bills::readStatement(bytes, *columns, table.sheet);
        // Words of the 收支 column that say neither way as far as the program knows: asked once each.
        if (!bill.unknownWords.isEmpty()) {
            const QString column = table.header.value(columns->direction);
            for (const QString& word : bill.unknownWords) {
                qsizetype rows = 0;
                for (qsizetype i = 0; i < bill.rows.size(); ++i)
                    rows += bill.rows.skipped(i) && bill.rows.kindText(i) == word && bill.rows.skip(i).startsWith(QStringLiteral("收支不明"));
                const std::optional<Kind> kind = DirectionWordDialog::ask(word, column, static_cast<int>(rows), parent);
                if (!kind)
                    return nullptr;
                columns->words.insert(word, *kind);
            }
            bill = Bills::readStatement(bytes, *columns, table.sheet);
        }
        remembered.set(*columns);
        auto* window = new BillImportWindow(store, std::move(bill), path, parent);
        if (columns->alsoBank)
            window->alsoIntoBank(columns->bank);
        return window;
    } catch (const Bills::BillError&) {
        if (known)
            remembered.forget();  // asked again next time
        throw;
    }
}

void BillImportWindow::alsoIntoBank(const QString& bank)
{
    QString name = bank;
    try {
        if (const QString stored = store_.nameOf(ReferenceList::Banks, bank); !stored.isEmpty())
            name = stored;
    } catch (const std::exception& e) {
        showDbError(e, QStringLiteral("无法读取银行信息。"));
    }
    preview_->choices.bank = bank;
    fileLabel->setText(fileLabel->text() + QStringLiteral("，各笔同时记入银行帐（%1）").arg(name));
}

BillImportWindow* BillImportWindow::chooseAndRead(Store& store, QWidget* parent)
{
    const QString downloads = QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);
    const QString path = App::chooseFile(App::FileDialog::Open, QStringLiteral("导入账单"),
                                         downloads.isEmpty() ? QDir::homePath() : downloads, parent,
                                         QStringLiteral("支付宝、微信支付账单，银行流水 (*.csv *.CSV *.txt *.xlsx *.XLSX *.xls *.XLS);;所有文件 (*)"));
    if (path.isEmpty())
        return nullptr;
    try {
        const QByteArray bytes = Bills::fileBytes(path);
        try {
            return new BillImportWindow(store, Bills::read(bytes), path, parent);
        } catch (const Bills::UnknownLayout& unknown) {
            return statementWindow(store, bytes, unknown.table(), path, parent);
        }
    } catch (const Bills::BillError& e) {
        App::msgBox(QStringLiteral("不能导入这个文件，帐上什么也没有改动。\n%1\n%2").arg(QDir::toNativeSeparators(path), e.text()), App::MsgStyle::Information);
    }
    return nullptr;
}

BillImportWindow::BillImportWindow(Store& store, Bills::Bill bill, const QString& path, QWidget* parent)
    : DataWindow(QStringLiteral("frmImport"), parent), store_(store), preview_(std::make_unique<Preview>())
{
    Preview& p = *preview_;
    p.bill = std::move(bill);
    p.path = path;
    setWindowTitle(QStringLiteral("导入账单"));
    resize(twips(10800), twips(7800));

    // What the ledgers hold already: the trades imported before and the types given before.
    try {
        store_.markKnownTrades(p.bill);
        p.collectParties(store_);
    } catch (const std::exception& e) {
        showDbError(e, QStringLiteral("无法读取以前导入的记录。"));
    }

    fileLabel = new ValueLabel(QStringLiteral("lblfile"), QString(), this);
    const bool workbook = p.bill.encoding == Bills::kWorkbook || p.bill.encoding == Bills::kOldWorkbook;
    const QString form = workbook ? p.bill.encoding : p.bill.encoding + QStringLiteral(" 编码");
    fileLabel->setText(QStringLiteral("%1：%2（%3，%4 笔交易）")
                         .arg(Bills::layoutName(p.bill.layout), QFileInfo(path).fileName(), form)
                         .arg(p.bill.rows.size()));

    auto* member = new QWidget(this);
    memberIdLabel = valueBox(QStringLiteral("lblcyID"), QStringLiteral("成员ID"), 1200, member);
    memberLabel = valueBox(QStringLiteral("lblcy"), QStringLiteral("成员"), 1200, member);
    pickMemberButton = Toolbars::lookupButton(QStringLiteral("cmdfindt"), QStringLiteral("查找成员"), member);
    auto* memberRow = new QGridLayout(member);
    memberRow->setContentsMargins(0, 0, 0, 0);
    addFieldRow(memberRow, 0, {{QStringLiteral("成员ID:"), memberIdLabel}, {QStringLiteral("成员:"), memberLabel}});
    memberRow->addWidget(pickMemberButton, 0, 4);
    memberRow->setColumnStretch(5, 1);

    auto* parties = new PartiesModel(p, this);
    dgparty = previewGrid(QStringLiteral("dgparty"), QStringLiteral("交易对方和类型"), parties, this);
    pickTypeButton = Toolbars::lookupButton(QStringLiteral("cmdfindo"), QStringLiteral("为选中的交易对方选择类型"), this);
    auto* rows = new RowsModel(p, [this](int row, bool ticked) { tickRow(row, ticked); }, this);
    rowsGrid = previewGrid(QStringLiteral("DG"), QStringLiteral("账单中的交易"), rows, this);
    rowsGrid->setSelectionMode(QAbstractItemView::SingleSelection);
    totalsLabel = new ValueLabel(QStringLiteral("lblsum"), QString(), this);
    statedTotalsLabel = new ValueLabel(QStringLiteral("lblstated"), QString(), this);
    statedTotalsLabel->setVisible(p.bill.stated.has_value());
    importButton = new QPushButton(QStringLiteral("导入"), this);
    importButton->setObjectName(QStringLiteral("cmdimport"));
    closeButton = new QPushButton(QStringLiteral("返回"), this);
    closeButton->setObjectName(QStringLiteral("cmdexit"));
    // Enter in a list never posts the bill: only a click on 导入 (or Space on it) does.
    for (QPushButton* b : {importButton, closeButton})
        b->setAutoDefault(false);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(fileLabel);
    layout->addWidget(member);
    layout->addWidget(buddyLabel(QStringLiteral("交易对方和类型（选中一行或几行，再点右边的按钮选择类型）:"), dgparty, this));
    auto* partyRow = new QHBoxLayout;
    partyRow->addWidget(dgparty, 1);
    partyRow->addWidget(pickTypeButton, 0, Qt::AlignTop);
    layout->addLayout(partyRow, 1);
    layout->addWidget(buddyLabel(QStringLiteral("账单中的交易（灰色的不导入）:"), rowsGrid, this));
    layout->addWidget(rowsGrid, 2);
    layout->addWidget(totalsLabel);
    layout->addWidget(statedTotalsLabel);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(importButton);
    buttons->addWidget(closeButton);
    layout->addLayout(buttons);

    connect(pickMemberButton, &QToolButton::clicked, this, [this] { pickMember(); });
    connect(pickTypeButton, &QToolButton::clicked, this, [this] { pickPartyType(); });
    connect(dgparty, &QTableView::doubleClicked, this, [this] { pickPartyType(); });
    connect(importButton, &QPushButton::clicked, this, [this] { importBill(); });
    connect(closeButton, &QPushButton::clicked, this, [this] { reject(); });
    if (!p.parties.isEmpty())
        dgparty->selectRow(0);
    refresh();
}

BillImportWindow::~BillImportWindow() = default;

void BillImportWindow::refresh()
{
    const Preview& p = *preview_;
    int counts[2] = {0, 0};
    MoneyTotal totals[2];
    for (const Preview::Party& party : p.parties) {
        const int i = party.kind == Kind::Income ? 0 : 1;
        counts[i] += party.count;
        totals[i] += party.total;
    }
    int lowering = 0;
    MoneyTotal refunds;
    for (qsizetype i = 0; i < p.bill.rows.size(); ++i)
        if (p.bill.rows.lowersEarlier(i)) {
            ++lowering;
            refunds += p.bill.rows.amount(i);
        }
    QString text = QStringLiteral("将导入：收入 %1 笔，共 %2 元；支出 %3 笔，共 %4 元。")
                       .arg(counts[0])
                       .arg(totals[0].toGrouped())
                       .arg(counts[1])
                       .arg(totals[1].toGrouped());
    if (lowering > 0)
        text += QStringLiteral("从以前导入的记录中扣除退款 %1 笔，共 %2 元。").arg(lowering).arg(refunds.toGrouped());
    totalsLabel->setText(text + QStringLiteral("不导入 %1 笔（原因见“说明”列）。").arg(p.bill.rows.size() - counts[0] - counts[1] - lowering));
    if (const auto& stated = p.bill.stated) {
        const Bills::Totals& own = p.bill.counted;
        auto both = [](int incomeCount, Money income, int expenseCount, Money expense) {
            return QStringLiteral("收入 %1 笔 %2 元，支出 %3 笔 %4 元")
                .arg(incomeCount)
                .arg(income.toGrouped())
                .arg(expenseCount)
                .arg(expense.toGrouped());
        };
        const bool same = stated->income == own.income && stated->expense == own.expense;
        statedTotalsLabel->setText(QStringLiteral("账单%1的合计：%2；账单各行扣除退款后：%3。%4")
                               .arg(p.bill.statedAfterRows ? QStringLiteral("末尾") : QStringLiteral("表头"),
                                    both(stated->incomeCount, stated->income, stated->expenseCount, stated->expense),
                                    both(own.incomeCount, own.income, own.expenseCount, own.expense),
                                    same ? QStringLiteral("两者相符。") : QStringLiteral("两者不同，请核对账单。")));
    }
    // The columns fit what they show; of the rows, only member, type and remark change after a pick.
    for (QTableView* g : {dgparty, rowsGrid})
        static_cast<PreviewModel*>(g->model())->changed();
    dgparty->resizeColumnsToContents();
    if (!fitted_) {
        rowsGrid->resizeColumnsToContents();
        fitted_ = true;
    } else {
        for (int column : {RowsModel::Member, RowsModel::Type, RowsModel::Reason})
            rowsGrid->resizeColumnToContents(column);
    }
}

void BillImportWindow::tickRow(int row, bool ticked)
{
    preview_->bill.rows.setTicked(row, ticked);
    try {
        preview_->collectParties(store_);
    } catch (const std::exception& e) {
        showDbError(e, QStringLiteral("无法读取以前导入的记录。"));
    }
    // The upper list changes its rows: it is reset rather than told of changed cells.
    static_cast<PreviewModel*>(dgparty->model())->rebuilt();
    refresh();
}

void BillImportWindow::pickMember()
{
    if (!Picker::pickInto(store_, ReferenceList::Members, this, memberIdLabel, memberLabel))
        return;
    preview_->choices.member = memberIdLabel->text();
    preview_->memberName = memberLabel->text();
    refresh();
}

void BillImportWindow::pickPartyType()
{
    Preview& p = *preview_;
    QList<int> chosen;
    for (const QModelIndex& i : dgparty->selectionModel()->selectedRows())
        chosen << i.row();
    if (chosen.isEmpty()) {
        App::msgBox(QStringLiteral("请先在交易对方的列表中选中要选择类型的一行（可以选几行）。"), App::MsgStyle::Information);
        dgparty->setFocus();
        return;
    }
    const Kind kind = p.parties.at(chosen.first()).kind;
    for (int row : chosen) {
        if (p.parties.at(row).kind != kind) {
            App::msgBox(QStringLiteral("选中的交易对方里既有收入也有支出：收入类型和支出类型要分开选择。"), App::MsgStyle::Information);
            dgparty->setFocus();
            return;
        }
    }
    const std::optional<PickedRow> type =
        Picker::choose(store_, kind == Kind::Income ? ReferenceList::IncomeTypes : ReferenceList::ExpenseTypes, this);
    if (!type)
        return;
    for (int row : chosen) {
        const QString& key = p.parties.at(row).key;
        p.choices.types.insert(key, type->id);
        p.typeNames.insert(key, type->name);
    }
    refresh();
    dgparty->setFocus();
}

void BillImportWindow::importBill()
{
    Preview& p = *preview_;
    if (p.choices.member.isEmpty()) {
        App::msgBox(QStringLiteral("成员不能为空"), App::MsgStyle::Information);
        pickMemberButton->setFocus();
        return;
    }
    bool lowering = false;
    for (qsizetype i = 0; i < p.bill.rows.size() && !lowering; ++i)
        lowering = p.bill.rows.lowersEarlier(i);
    if (p.parties.isEmpty() && !lowering) {
        App::msgBox(QStringLiteral("这份账单里没有要导入的收支：%1 笔交易都不导入（原因见“说明”列）。").arg(p.bill.rows.size()), App::MsgStyle::Information);
        return;
    }
    for (qsizetype i = 0; i < p.parties.size(); ++i) {
        const Preview::Party& party = p.parties.at(i);
        if (p.choices.types.value(party.key).isEmpty()) {
            App::msgBox(QStringLiteral("交易对方“%1”的%2还没有类型：请在列表中选中它，再点右边的按钮选择%2类型。")
                            .arg(shownCounterparty(party.counterparty), Bills::kindName(party.kind)),
                        App::MsgStyle::Information);
            dgparty->selectRow(static_cast<int>(i));
            dgparty->scrollTo(dgparty->model()->index(static_cast<int>(i), 0));
            dgparty->setFocus();
            return;
        }
    }
    QString backup, failure;
    BillPosting::Posted posted;
    try {
        WaitCursor wait;
        backup = App::backupBeforeChange(&failure);
        if (!backup.isEmpty())
            posted = store_.postBill(p.bill, p.choices);
    } catch (const std::exception& e) {
        showDbError(e, QStringLiteral("导入没有成功，帐上什么也没有改动。"));
        return;
    }
    if (backup.isEmpty()) {
        App::msgBox(QStringLiteral("没有导入：导入前要先自动备份数据，但备份没有成功（%1）。帐上什么也没有改动。"
                                   "请检查备份文件夹和磁盘空间后再试。")
                        .arg(failure),
                    App::MsgStyle::Information);
        return;
    }
    // Each record lowered by a refund is a correction that 撤销 takes back.
    for (const BillPosting::Lowered& l : posted.lowered)
        Undo::pushCorrection(store_, l.ledger, l.record, l.before, l.after);
    const QString lowered = posted.lowered.isEmpty()
                                ? QString()
                                : QStringLiteral("以前导入的 %1 笔记录扣除了退款（可以撤销）。").arg(posted.lowered.size());
    const QString bank = posted.bank == 0 ? QString() : QStringLiteral("同时记入银行帐 %1 笔。").arg(posted.bank);
    App::msgBox(QStringLiteral("已导入%1：收入 %2 笔，支出 %3 笔。%4%5\n导入前的数据已备份为 %6。")
                    .arg(Bills::layoutName(p.bill.layout))
                    .arg(posted.income)
                    .arg(posted.expense)
                    .arg(lowered, bank, QDir::toNativeSeparators(backup)),
                App::MsgStyle::Information);
    // The expenses posted, for the budgets they may have taken over: each type and month once.
    QList<Budgets::Touch> touched;
    QHash<quint32, QString> typeOf;  // by where the rows keep the counterparty
    QSet<QPair<QString, int>> seen;  // type and month (year * 100 + month)
    const Bills::Rows& rows = p.bill.rows;
    for (qsizetype i = 0; i < rows.size(); ++i) {
        if (!rows.posts(i) || rows.postedKind(i) != Bills::Kind::Expense)
            continue;
        auto type = typeOf.constFind(rows.counterpartyKey(i));
        if (type == typeOf.constEnd())
            type = typeOf.insert(rows.counterpartyKey(i), p.choices.types.value(BillPosting::Choices::key(Kind::Expense, rows.counterparty(i))));
        const QDate date = rows.date(i);
        if (!seen.contains({type.value(), date.year() * 100 + date.month()})) {
            seen.insert({type.value(), date.year() * 100 + date.month()});
            touched << Budgets::Touch{p.choices.member, type.value(), date.toString(QStringLiteral("yyyy-MM"))};
        }
    }
    warnOverBudget(store_, touched);
    accept();
}
