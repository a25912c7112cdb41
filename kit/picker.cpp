#include "picker.h"

#include "dberror.h"
#include "recordset.h"
#include "app.h"
#include "datawindow.h"
#include "inputs.h"
#include "session.h"

#include <QAction>
#include <QLabel>
#include <QHeaderView>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

Picker::Picker(const QString& table, const QString& idField, const QString& nameField, QWidget* parent)
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
        rs_.open(App::conn,
                 QStringLiteral("select ") + idField + QStringLiteral(",") + nameField + QStringLiteral(" from ") + table,
                 Recordset::ReadOnly);
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

std::optional<PickedRow> Picker::choose(QWidget* parent, const QString& table, const QString& idField,
                                        const QString& nameField)
{
    Picker f(table, idField, nameField, parent);
    f.exec();
    return f.picked();
}

bool Picker::pickInto(QWidget* parent, const QString& table, const QString& nameField, QLabel* idLabel,
                       QLabel* nameLabel)
{
    const std::optional<PickedRow> row = choose(parent, table, QStringLiteral("ID"), nameField);
    if (!row)
        return false;
    for (QLabel* l : {idLabel, nameLabel})
        l->setTextFormat(Qt::PlainText);  // codes and names as they stand, never as markup
    idLabel->setText(row->id);
    nameLabel->setText(row->name);
    return true;
}

QString Picker::nameOf(const QString& table, const QString& nameField, const QString& code)
{
    if (code.isEmpty())
        return QString();
    try {
        Recordset rs;
        rs.open(App::conn, QStringLiteral("select %1 from %2 where ID = ?").arg(nameField, table), {code}, Recordset::ReadOnly);
        return rs.text(0);
    } catch (const DbError&) {
        return QString();
    }
}
