#include "toolbars.h"


#include <QAction>
#include <QApplication>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>
#include <QVariant>

namespace Toolbars {

QToolBar* keyedToolbar(QWidget* parent, std::initializer_list<ToolButtonSpec> buttons)
{
    auto* bar = new QToolBar(parent);
    bar->setObjectName(QStringLiteral("Toolbar1"));
    bar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    bar->setMovable(false);
    for (const ToolButtonSpec& b : buttons) {
        QAction* a = bar->addAction(b.icon, b.caption);
        a->setObjectName(QLatin1String(b.key));
        if (QWidget* w = bar->widgetForAction(a)) {
            w->setObjectName(QLatin1String(b.key));
            w->setFocusPolicy(Qt::TabFocus);
            w->setAccessibleName(b.caption);
        }
    }
    return bar;
}

QToolBar* editingToolbar(QWidget* parent, const QString& exitCaption, const EditingActions& actions)
{
    QToolBar* bar = keyedToolbar(parent, {
                                             ToolButtonSpec{"addnew", QStringLiteral("添加数据"), addIcon()},
                                             ToolButtonSpec{"update", QStringLiteral("保存数据"), saveIcon()},
                                             ToolButtonSpec{"cancel", QStringLiteral("取消更改"), cancelIcon()},
                                             ToolButtonSpec{"del", QStringLiteral("删除数据"), deleteIcon()},
                                             ToolButtonSpec{"exit", exitCaption, exitIcon()},
                                         });
    const std::function<void()>* handlers[] = {&actions.addNew, &actions.update, &actions.cancel, &actions.del,
                                               &actions.exit};
    const QList<QAction*> list = bar->actions();
    for (int i = 0; i < 5; ++i)
        QObject::connect(list[i], &QAction::triggered, parent, *handlers[i]);
    return bar;
}

void setEditingState(QToolBar* bar, bool browsing, bool exitFollows)
{
    for (QAction* a : bar->actions()) {
        const QString key = a->objectName();
        if (key == QLatin1String("addnew") || key == QLatin1String("del"))
            a->setEnabled(browsing);
        else if (key == QLatin1String("update") || key == QLatin1String("cancel"))
            a->setEnabled(!browsing);
        else if (key == QLatin1String("exit") && exitFollows)
            a->setEnabled(browsing);
    }
}

QToolButton* lookupButton(const QString& name, const QString& tooltip, QWidget* parent)
{
    auto* b = new QToolButton(parent);
    b->setObjectName(name);
    // The icon is made once and kept by the application (every window with a look-up button has it).
    const char* const kept = "kinbookLookupIcon";
    QVariant icon = qApp->property(kept);
    if (!icon.isValid()) {
        icon = QVariant::fromValue(QIcon::fromTheme(QStringLiteral("edit-find"),
                                                    QApplication::style()->standardIcon(QStyle::SP_FileDialogContentsView)));
        qApp->setProperty(kept, icon);
    }
    b->setIcon(icon.value<QIcon>());
    b->setIconSize(QSize(16, 15));
    b->setToolTip(tooltip);
    b->setAccessibleName(b->toolTip());
    b->setFocusPolicy(Qt::StrongFocus);
    b->setAutoRaise(false);
    return b;
}

static QIcon themed(const char* name, QStyle::StandardPixmap fallback)
{
    return QIcon::fromTheme(QLatin1String(name), QApplication::style()->standardIcon(fallback));
}

QIcon addIcon() { return themed("list-add", QStyle::SP_FileIcon); }
QIcon saveIcon() { return themed("document-save", QStyle::SP_DialogSaveButton); }
QIcon cancelIcon() { return themed("edit-undo", QStyle::SP_DialogCancelButton); }
QIcon deleteIcon() { return themed("edit-delete", QStyle::SP_TrashIcon); }
QIcon exitIcon() { return themed("go-previous", QStyle::SP_DialogCloseButton); }

}  // namespace Toolbars
