#include "binder.h"

#include "datawindow.h"
#include "inputs.h"
#include "editablerows.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextEdit>

Binder::Binder(EditableRows* rs, QObject* parent) : QObject(parent), rs_(rs)
{
    connect(rs, &Recordset::currentChanged, this, [this] { refresh(); });
    connect(rs, &Recordset::reset, this, [this] { refresh(); });
    connect(rs, &Recordset::rowChanged, this, [this](int row) {
        // While a change is pending, the boxes hold what the user typed: leave them alone.
        if (rs_ && rs_->editMode() == Recordset::EditNone && row == rs_->position())
            refresh();
    });
}

void Binder::bind(QWidget* w, const QString& field)
{
    // Stored texts are shown as they stand, never read as markup.
    if (auto* l = qobject_cast<QLabel*>(w))
        l->setTextFormat(Qt::PlainText);
    items_.push_back(Item{w, field});
    refresh();
}

static void setWidgetText(QWidget* w, const QString& text)
{
    if (auto* l = qobject_cast<QLabel*>(w))
        l->setText(text);
    else if (auto* e = qobject_cast<QLineEdit*>(w))
        e->setText(text);
    else if (auto* p = qobject_cast<QPlainTextEdit*>(w))
        p->setPlainText(text);
    else if (auto* t = qobject_cast<QTextEdit*>(w))
        t->setPlainText(text);
    else if (auto* c = qobject_cast<QComboBox*>(w))
        c->setEditText(text);
}

static QString widgetText(QWidget* w)
{
    if (auto* l = qobject_cast<QLabel*>(w))
        return l->text();
    if (auto* e = qobject_cast<QLineEdit*>(w))
        return e->text();
    if (auto* p = qobject_cast<QPlainTextEdit*>(w))
        return p->toPlainText();
    if (auto* t = qobject_cast<QTextEdit*>(w))
        return t->toPlainText();
    if (auto* c = qobject_cast<QComboBox*>(w))
        return c->currentText();
    return QString();
}

void Binder::refresh()
{
    if (!rs_)
        return;
    for (const Item& i : items_) {
        if (!i.w)
            continue;
        const QSignalBlocker block(i.w);
        setWidgetText(i.w, rs_->isOpen() ? rs_->text(i.field) : QString());
    }
}

void Binder::flush()
{
    if (!rs_)
        return;
    for (const Item& i : items_)
        if (i.w)
            rs_->setValue(i.field, widgetText(i.w));
}

bool Binder::save(const std::function<void(EditableRows&)>& setFields)
{
    if (!rs_)
        return false;
    if (auto* window = qobject_cast<QWidget*>(parent()); window && !checkNoControlCharacters(window))
        return false;
    try {
        flush();
        if (setFields)
            setFields(*rs_);
        rs_->update();
        return true;
    } catch (const std::exception& e) {
        // The file and the grid are as they were; the controls keep what was typed.
        showDbError(e, QStringLiteral("这条记录没有保存。"));
        return false;
    }
}

bool Binder::addNew()
{
    if (!rs_)
        return false;
    try {
        rs_->addNew();
        return true;
    } catch (const std::exception& e) {
        showDbError(e, QStringLiteral("不能添加记录。"));
        return false;
    }
}

void Binder::cancel()
{
    if (!rs_)
        return;
    rs_->cancelUpdate();
    refresh();
}
