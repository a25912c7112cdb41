#include "listeditor.h"

#include "dberror.h"
#include "passwords.h"
#include "app.h"
#include "gridexport.h"
#include "inputs.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

namespace {

QString u8(const char* s)
{
    return QString::fromUtf8(s);
}

}  // namespace

// The five lists. The type lists show their buttons below the frame and the grid on the right; the
// banks and the members show the buttons beside the frame and the grid across the bottom.
const ListEditorKind kListEditors[5] = {
    {"frmsrlx", "收入类型", "类型信息", ReferenceList::IncomeTypes,
     {{"ID", " I D"}, {"类型", "类型"}, {"备注", "备注"}, {nullptr, nullptr}}, 3, 2, false, -1, -1,
     {0, 1, 2, 0}, ListEditorKind::ButtonsBelow},
    {"frmzclx", "支出类型", "类型信息", ReferenceList::ExpenseTypes,
     {{"ID", " I D"}, {"类型", "类型"}, {"备注", "备注"}, {nullptr, nullptr}}, 3, 2, false, -1, -1,
     {0, 1, 2, 0}, ListEditorKind::ButtonsBelow},
    {"frmtzlx", "其它投资类型", "类型信息", ReferenceList::InvestmentTypes,
     {{"ID", " I D"}, {"类型", "类型"}, {"备注", "备注"}, {nullptr, nullptr}}, 3, 2, false, -1, -1,
     {2, 0, 1, 0}, ListEditorKind::ButtonsBelow},
    {"frmyhxx", "银行信息", "银行信息", ReferenceList::Banks,
     {{"ID", " I D"}, {"开户行", "开户行"}, {"帐号", "开户帐号"}, {nullptr, nullptr}}, 3, 3, true, -1, -1,
     {0, 1, 2, 0}, ListEditorKind::ButtonsBeside},
    {"frmuser", "家庭成员", "成员信息", ReferenceList::Members,
     {{"ID", " I D"}, {"姓名", "姓名"}, {"关系", "关系"}, {"密码", "密码"}}, 4, 4, true, 3, 3,
     {0, 1, 2, 3}, ListEditorKind::ButtonsBeside},
};

ListEditor::ListEditor(Store& store, const ListEditorKind& kind, QWidget* parent)
    : DataWindow(u8(kind.form), parent), kind_(kind), store_(store)
{
    setWindowTitle(u8(kind.caption));
    setEscapeCloses(false);
    buildControls();
    formLoad();
}

ListEditor::~ListEditor()
{
    formQueryUnload();
}

void ListEditor::buildControls()
{
    listGrid = new DataGrid(this);
    listGrid->setObjectName(QStringLiteral("FG"));
    listGrid->setAccessibleName(u8(kind_.caption));

    fieldsBox = new QGroupBox(u8(kind_.frameCaption), this);
    fieldsBox->setObjectName(QStringLiteral("Frame1"));
    auto* fields = new QGridLayout(fieldsBox);
    fields->setColumnStretch(2, 1);
    for (int i = 0; i < kind_.fieldCount; ++i) {
        auto* box = new QLineEdit(fieldsBox);
        box->setObjectName(QStringLiteral("txtFields_%1").arg(i));
        box->setMinimumWidth(twips(1800));
        if (i == kind_.passwordField) {
            box->setEchoMode(QLineEdit::Password);
            box->setStyleSheet(QStringLiteral("QLineEdit { lineedit-password-character: 42; }"));  // '*'
        }
        installFocusColor(box);
        installEnterAsTab(box);
        QLabel* caption = buddyLabel(u8(kind_.fields[i].caption), box, fieldsBox);
        caption->setObjectName(QStringLiteral("Label1_%1").arg(i));
        auto* colon = new QLabel(QStringLiteral("："), fieldsBox);
        colon->setObjectName(QStringLiteral("Label2_%1").arg(i));
        fields->addWidget(caption, i, 0);
        fields->addWidget(colon, i, 1);
        fields->addWidget(box, i, 2);
        fieldEdits << box;
        fieldCaptions << caption;
        fieldColons << colon;
    }

    auto button = [this](const char* name, const char* text, void (ListEditor::*slot)()) {
        auto* b = new QPushButton(u8(text), this);
        b->setObjectName(QLatin1String(name));
        b->setMinimumWidth(twips(1000));
        connect(b, &QPushButton::clicked, this, slot);
        return b;
    };
    addButton = button("cmdaddnew", "添加", &ListEditor::addEntry);
    saveButton = button("cmdupdate", "保存", &ListEditor::saveEntry);
    cancelButton = button("cmdcancel", "取消", &ListEditor::cancelEdit);
    deleteButton = button("cmddel", "删除", &ListEditor::deleteEntry);
    editButton = button("cmdedit", "编辑", &ListEditor::editEntry);
    quitButton = button("cmdquit", "退出", &ListEditor::quit);
    exportButton = GridExport::exportButton(listGrid, u8(kind_.caption), this);

    if (kind_.layout == ListEditorKind::ButtonsBelow)
        layOutButtonsBelow();
    else
        layOutButtonsBeside();

    // The boxes in the list's own order, then the commands beginning with 保存, then the grid.
    QList<QWidget*> order;
    for (int i = 0; i < kind_.fieldCount; ++i)
        order << fieldEdits[kind_.tabOrder[i]];
    order << saveButton << editButton << cancelButton << deleteButton << quitButton << addButton << exportButton << listGrid;
    for (qsizetype i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);
}

void ListEditor::layOutButtonsBelow()
{
    auto* buttons = new QGridLayout;
    buttons->addWidget(addButton, 0, 0);
    buttons->addWidget(editButton, 0, 1);
    buttons->addWidget(saveButton, 1, 0);
    buttons->addWidget(cancelButton, 1, 1);
    buttons->addWidget(deleteButton, 2, 0);
    buttons->addWidget(quitButton, 2, 1);
    buttons->addWidget(exportButton, 3, 0);

    auto* left = new QVBoxLayout;
    left->addWidget(fieldsBox);
    left->addSpacing(twips(120));
    left->addLayout(buttons);
    left->addStretch(1);

    auto* main = new QHBoxLayout(this);
    main->addLayout(left);
    main->addWidget(listGrid, 1);
    listGrid->setMinimumWidth(twips(4200));
    resize(twips(8400), twips(4200));
}

void ListEditor::layOutButtonsBeside()
{
    // 编辑 and 保存 share one place: the state shows one of them.
    auto* place = new QWidget(this);
    auto* swap = new QHBoxLayout(place);
    swap->setContentsMargins(0, 0, 0, 0);
    swap->addWidget(editButton);
    swap->addWidget(saveButton);
    auto* buttons = new QGridLayout;
    buttons->addWidget(addButton, 0, 0);
    buttons->addWidget(place, 1, 0);
    buttons->addWidget(cancelButton, 2, 0);
    buttons->addWidget(deleteButton, 3, 0);
    buttons->addWidget(quitButton, 4, 0);
    buttons->addWidget(exportButton, 5, 0);
    buttons->setRowStretch(6, 1);

    auto* top = new QHBoxLayout;
    top->addWidget(fieldsBox, 1);
    top->addLayout(buttons);

    auto* main = new QVBoxLayout(this);
    main->addLayout(top);
    main->addWidget(listGrid, 1);
    listGrid->setMinimumHeight(twips(2000));
    resize(twips(6600), twips(5400));
}

void ListEditor::formLoad()
{
    try {
        rs_.open(store_, EditedTable::of(kind_.list));
        loaded_ = true;
    } catch (const std::exception& e) {
        showDbError(e, QStringLiteral("不能打开%1列表。").arg(u8(kind_.caption)));
    }
    listGrid->setRecordset(&rs_);
    if (kind_.hiddenColumn >= 0 && kind_.hiddenColumn < rs_.fieldCount()) {
        // Passwords: width 0, the column can neither be dragged open nor reached with the keys, and
        // its cells give a screen reader nothing to read out.
        listGrid->setColumnHiddenWidth(kind_.hiddenColumn);
        listGrid->setColumnFormat(kind_.hiddenColumn, RecordsetModel::Format::Concealed);
        listGrid->horizontalHeader()->setSectionResizeMode(kind_.hiddenColumn, QHeaderView::Fixed);
        listGrid->setColumnHidden(kind_.hiddenColumn, true);
    }
    binder_ = new Binder(&rs_, this);
    bindTxt();
    setButtons(true);
    if (!loaded_) {
        // Without the list there is nothing to add to, edit or delete.
        for (QPushButton* b : {addButton, editButton, deleteButton})
            b->setEnabled(false);
    }
}

void ListEditor::bindTxt()
{
    // The password box shows no stored password (the file keeps only its hash): it is empty on every
    // row, and what is typed into it becomes the new password on 保存.
    for (int i = 0; i < kind_.fieldCount; ++i)
        if (i != kind_.passwordField)
            binder_->bind(fieldEdits[i], u8(kind_.fields[i].field));
    if (kind_.passwordField >= 0) {
        const auto clear = [this] {
            if (rs_.editMode() == Recordset::EditNone)
                fieldEdits[kind_.passwordField]->clear();
        };
        connect(&rs_, &Recordset::currentChanged, this, clear);
        connect(&rs_, &Recordset::reset, this, clear);
    }
}

void ListEditor::setButtons(bool browsing)
{
    browsing_ = browsing;
    addButton->setEnabled(browsing);
    cancelButton->setEnabled(!browsing);
    deleteButton->setEnabled(browsing);
    if (kind_.swapEditSave) {
        editButton->setVisible(browsing);
        saveButton->setVisible(!browsing);
    } else {
        editButton->setEnabled(browsing);
        saveButton->setEnabled(!browsing);
    }
    // Typing while browsing would change nothing that could be saved: the boxes only take text
    // while a row is being added or edited.
    for (QLineEdit* box : std::as_const(fieldEdits))
        box->setReadOnly(browsing);
}

void ListEditor::addEntry()
{
    if (!binder_->addNew())
        return;
    setButtons(false);
    fieldEdits[0]->setFocus();
}

void ListEditor::editEntry()
{
    // Start the change on the row shown now, so that the grid keeps this row current until the
    // change is saved or cancelled. On an empty list there is no row: 保存 says so.
    if (rs_.hasCurrent() && rs_.editMode() == Recordset::EditNone && rs_.fieldCount() > 0) {
        try {
            rs_.setValue(0, rs_.value(0));
        } catch (const std::exception& e) {
            showDbError(e, QStringLiteral("不能编辑这条记录。"));
            return;
        }
    }
    setButtons(false);
    // 编辑 is withdrawn under the keyboard's focus: the focus goes to the first box rather than
    // falling on to 取消, where the next Space would throw the change away.
    fieldEdits[kind_.tabOrder[0]]->setFocus();
}

void ListEditor::saveEntry()
{
    const bool adding = rs_.editMode() == Recordset::EditAdd;
    for (int i = 0; i < kind_.requiredCount; ++i) {
        // A member being edited keeps the password they have when the box is left empty.
        if (i == kind_.passwordField && !adding)
            continue;
        if (fieldEdits[i]->text().isEmpty()) {
            App::msgBox(fieldCaptions[i]->text() + QStringLiteral(" 不能为空"), App::MsgStyle::Information);
            fieldEdits[i]->setFocus();
            return;
        }
    }
    QLineEdit* password = kind_.passwordField >= 0 ? fieldEdits[kind_.passwordField] : nullptr;
    const auto setPassword = [this, password](EditableRows& rs) {
        if (password && !password->text().isEmpty())
            rs.setValue(u8(kind_.fields[kind_.passwordField].field), Passwords::hash(password->text()));
    };
    if (binder_->save(setPassword)) {
        if (password)
            password->clear();
        setButtons(true);
    }
}

void ListEditor::cancelEdit()
{
    binder_->cancel();
    if (kind_.passwordField >= 0)
        fieldEdits[kind_.passwordField]->clear();
    setButtons(true);
}

void ListEditor::deleteEntry()
{
    confirmDeleteCurrent(rs_);
    setButtons(true);
}

void ListEditor::quit()
{
    close();
}

void ListEditor::formQueryUnload()
{
    // A pending new row or change is dropped with the recordset: nothing is written on the way out.
    rs_.close();
}

void ListEditor::done(int r)
{
    formQueryUnload();
    DataWindow::done(r);
}

void ListEditor::showEvent(QShowEvent* e)
{
    if (!centred_) {
        centred_ = true;
        if (const QScreen* s = screen())
            move(s->availableGeometry().center() - rect().center());
    }
    DataWindow::showEvent(e);
}
