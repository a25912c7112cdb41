#pragma once

#include <QIcon>
#include <QString>
#include <functional>
#include <initializer_list>

class QAction;
class QToolBar;
class QToolButton;
class QWidget;

// Pieces shared by the entry forms, the bank ledger and the debts window.
namespace Toolbars {

struct ToolButtonSpec {
    const char* key;  // "addnew", "update", ...: objectName of the action and of its button
    QString caption;
    QIcon icon;
};

// A toolbar whose actions and buttons carry their keys as object names. The buttons take the focus
// with Tab, so the toolbar is usable from the keyboard.
QToolBar* keyedToolbar(QWidget* parent, std::initializer_list<ToolButtonSpec> buttons);

// The five buttons of an editing window ("添加数据", "保存数据", "取消更改", "删除数据" and the exit
// button), each calling its action.
struct EditingActions {
    std::function<void()> addNew, update, cancel, del, exit;
};
QToolBar* editingToolbar(QWidget* parent, const QString& exitCaption, const EditingActions& actions);
// Browse (browsing true): add and delete enabled, save and cancel disabled; editing the other way round.
// The exit button follows browsing only when exitFollows.
void setEditingState(QToolBar* bar, bool browsing, bool exitFollows);

// The small lookup button beside an identifier label: an icon, its tooltip as accessible name.
QToolButton* lookupButton(const QString& name, const QString& tooltip, QWidget* parent);

// The five icons of the editing toolbars.
QIcon addIcon();
QIcon saveIcon();
QIcon cancelIcon();
QIcon deleteIcon();
QIcon exitIcon();

}  // namespace Toolbars
