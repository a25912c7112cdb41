#include "bookkit.h"

#include "money.h"

#include <QAction>
#include <QApplication>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>

namespace Bookkit {

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

QAction* toolAction(QToolBar* bar, const QString& key)
{
    for (QAction* a : bar->actions())
        if (a->objectName() == key)
            return a;
    return nullptr;
}

QToolButton* lookupButton(const QString& name, const QString& tooltip, QWidget* parent)
{
    auto* b = new QToolButton(parent);
    b->setObjectName(name);
    b->setIcon(QIcon::fromTheme(QStringLiteral("edit-find"),
                                QApplication::style()->standardIcon(QStyle::SP_FileDialogContentsView)));
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

bool isAmount(const QString& text)
{
    QString s = text;
    s.remove(u' ');
    return Money::parse(s).has_value();
}

}  // namespace Bookkit
