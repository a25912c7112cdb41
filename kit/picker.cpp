#include "picker.h"

#include "dberror.h"
#include "recordset.h"
#include "app.h"
#include "datawindow.h"
#include "inputs.h"
#include "store.h"

#include <QAction>
#include <QLabel>
#include <QHeaderView>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

Picker::Picker(Store& store, ReferenceList list, QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("frmFind"));
    setWindowTitle(QStringLiteral("查找相关信息"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setWindowFlag(Qt::WindowMaximizeButtonHint, true);
    resize(twips(4200), twips(3600));

    toolbar = new QToolBar(this);
    toolbar->setObjectName(QStringLiteral("Toolbar1"));
    toolbar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    toolbar->addSeparator();
    QAction* ok = toolbar->addAction(style()->standardIcon(QStyle::SP_DialogOkButton), QStringLiteral(" 确认 "));
    ok->setObjectName(QStringLiteral("ok"));
    toolbar->addSeparator();
    QAction* cancel =
        toolbar->addAction(style()->standardIcon(QStyle::SP_DialogCancelButton), QStringLiteral(" 取消 "));
    cancel->setObjectName(QStringLiteral("cancel"));
    for (QAction* a : {ok, cancel}) {
        if (QWidget* b = toolbar->widgetForAction(a)) {
            b->setObjectName(a->objectName());
            // Reachable with Tab, and named for a screen reader by its caption.
            b->setFocusPolicy(Qt::TabFocus);
            b->setAccessibleName(a->text().trimmed());
        }
        connect(a, &QAction::triggered, this, [this, a] { toolbarClick(a->objectName()); });
    }

    rowsGrid = new DataGrid(this);
    rowsGrid->setObjectName(QStringLiteral("FG"));
    rowsGrid->setAccessibleName(QStringLiteral("查找结果"));

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(toolbar);
    layout->addWidget(rowsGrid);

    try {
        store.openPickerRows(rs_, list);
    } catch (const std::exception& e) {
        showDbError(e, QStringLiteral("无法读取列表。"));
    }
    rowsGrid->setRecordset(&rs_);
    rowsGrid->setColumnTwips(0, 700);
    rowsGrid->horizontalHeader()->setStretchLastSection(true);
    rowsGrid->setFocus();
}

Picker::~Picker() = default;

void Picker::toolbarClick(const QString& key)
{
    if (key == QLatin1String("ok")) {
        if (rs_.isOpen() && rs_.hasCurrent())
            picked_ = PickedRow{rs_.text(0), rs_.text(1)};
        rowsGrid->setRecordset(nullptr);
        accept();
    } else if (key == QLatin1String("cancel")) {
        reject();
    }
}

std::optional<PickedRow> Picker::choose(Store& store, ReferenceList list, QWidget* parent)
{
    Picker f(store, list, parent);
    f.exec();
    return f.picked();
}

bool Picker::pickInto(Store& store, ReferenceList list, QWidget* parent, QLabel* idLabel, QLabel* nameLabel)
{
    const std::optional<PickedRow> row = choose(store, list, parent);
    if (!row)
        return false;
    for (QLabel* l : {idLabel, nameLabel})
        l->setTextFormat(Qt::PlainText);  // codes and names as they stand, never as markup
    idLabel->setText(row->id);
    nameLabel->setText(row->name);
    return true;
}
