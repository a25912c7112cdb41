#include "inputs.h"

#include "money.h"

#include <QDateEdit>
#include <QEvent>
#include <QGridLayout>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QScreen>

int twips(int tw)
{
    qreal dpi = 96.0;
    if (const QScreen* s = QGuiApplication::primaryScreen())
        dpi = s->logicalDotsPerInch();
    return qRound(tw * dpi / 1440.0);
}

QFont songFont(int pointSize)
{
    QFont f;
    f.setFamilies({QStringLiteral("宋体"), QStringLiteral("SimSun"), QStringLiteral("AR PL UMing CN"),
                   QStringLiteral("AR PL UMing TW"), QStringLiteral("Noto Serif CJK SC")});
    f.setPointSize(pointSize);
    return f;
}

QFont kaiFont(int pointSize)
{
    QFont f;
    f.setFamilies({QStringLiteral("楷体_GB2312"), QStringLiteral("KaiTi"), QStringLiteral("AR PL UKai CN"),
                   QStringLiteral("AR PL UKai TW"), QStringLiteral("AR PL UMing CN")});
    f.setPointSize(pointSize);
    return f;
}

void setBoxColor(QWidget* box, const QColor& color)
{
    QPalette p = box->palette();
    p.setColor(QPalette::Base, color);
    box->setPalette(p);
}

namespace {

class FocusColorFilter : public QObject {
public:
    FocusColorFilter(QWidget* box, QColor normal, QColor focused) : QObject(box), normal_(normal), focused_(focused) {}
    bool eventFilter(QObject* o, QEvent* e) override
    {
        if (e->type() == QEvent::FocusIn)
            setBoxColor(static_cast<QWidget*>(o), focused_);
        else if (e->type() == QEvent::FocusOut)
            setBoxColor(static_cast<QWidget*>(o), normal_);
        return false;
    }

private:
    QColor normal_, focused_;
};

bool isEnter(const QKeyEvent* k)
{
    return k->key() == Qt::Key_Return || k->key() == Qt::Key_Enter;
}

void focusNext(QWidget* from)
{
    // Tab through the window's own chain, skipping what is disabled or hidden.
    QWidget* w = from->nextInFocusChain();
    while (w && w != from) {
        if (w->isEnabled() && w->isVisible() && (w->focusPolicy() & Qt::TabFocus) && w->window() == from->window()) {
            w->setFocus(Qt::TabFocusReason);
            return;
        }
        w = w->nextInFocusChain();
    }
}

class EnterAsTabFilter : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject* o, QEvent* e) override
    {
        if (e->type() == QEvent::KeyPress && isEnter(static_cast<QKeyEvent*>(e))) {
            focusNext(static_cast<QWidget*>(o));
            return true;
        }
        return false;
    }
};

class CharFilter : public QObject {
public:
    CharFilter(QObject* parent, QString allowed, bool enterMovesOn)
        : QObject(parent), allowed_(std::move(allowed)), enter_(enterMovesOn) {}
    bool eventFilter(QObject* o, QEvent* e) override
    {
        if (e->type() != QEvent::KeyPress)
            return false;
        auto* k = static_cast<QKeyEvent*>(e);
        if (isEnter(k)) {
            if (enter_)
                focusNext(static_cast<QWidget*>(o));
            return true;
        }
        if (k->key() == Qt::Key_Backspace)
            return false;
        const QString t = k->text();
        if (t.isEmpty())
            return false;  // arrows, Home, End, Delete: they type nothing
        // Tab, Escape and shortcuts (Ctrl+C, Ctrl+V, Ctrl+Z...) type no character of their own: they
        // must keep working, or the focus could never leave the box with Tab.
        if (k->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
            return false;
        if (!t.at(0).isPrint())
            return false;
        for (const QChar c : t)
            if (!allowed_.contains(c))
                return true;
        return false;
    }

private:
    QString allowed_;
    bool enter_;
};

}  // namespace

void installFocusColor(QWidget* box, const QColor& normal, const QColor& focused)
{
    setBoxColor(box, box->hasFocus() ? focused : normal);
    box->installEventFilter(new FocusColorFilter(box, normal, focused));
}

void installEnterAsTab(QWidget* box)
{
    box->installEventFilter(new EnterAsTabFilter(box));
}

void installCharFilter(QLineEdit* box, const QString& allowed, bool enterMovesOn)
{
    box->installEventFilter(new CharFilter(box, allowed, enterMovesOn));
    // Pasting would bypass the key filter: only text made of allowed characters is kept.
    QObject::connect(box, &QLineEdit::textEdited, box, [box, allowed](const QString& text) {
        QString kept;
        for (const QChar c : text)
            if (allowed.contains(c))
                kept += c;
        if (kept != text)
            box->setText(kept);
    });
}

QDateEdit* datePicker(const QString& name, const QDate& date, QWidget* parent)
{
    auto* d = new QDateEdit(date, parent);
    d->setObjectName(name);
    d->setCalendarPopup(true);
    d->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    return d;
}

void addFieldRow(QGridLayout* grid, int row, std::initializer_list<std::pair<QString, QWidget*>> fields)
{
    int column = 0;
    for (const auto& [caption, control] : fields) {
        grid->addWidget(buddyLabel(caption, control, grid->parentWidget()), row, column++);
        grid->addWidget(control, row, column++);
    }
}

QLabel* buddyLabel(const QString& text, QWidget* input, QWidget* parent)
{
    auto* l = new QLabel(text, parent);
    l->setBuddy(input);
    // An input is named by its label; a label beside it shows a value and is named by what it shows.
    if (input && !qobject_cast<QLabel*>(input) && input->accessibleName().isEmpty())
        input->setAccessibleName(QString(text).remove(u'&').remove(u':').remove(QChar(0xFF1A)).trimmed());
    return l;
}

bool isAmount(const QString& text)
{
    QString s = text;
    s.remove(u' ');
    return Money::parse(s).has_value();
}
