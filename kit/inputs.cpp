#include "inputs.h"

#include "app.h"
#include "money.h"

#include <QAbstractSpinBox>
#include <QCalendarWidget>
#include <QClipboard>
#include <QComboBox>
#include <QDateEdit>
#include <QEvent>
#include <QGridLayout>
#include <QGuiApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QScreen>
#include <QTextBoundaryFinder>
#include <QTextCursor>
#include <QTextDocument>
#include <QTimer>
#include <QValidator>

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

// A full-width digit, point or minus, or the ideographic full stop (what a Chinese input method
// commits for the full-stop key), in its plain form; any other character as it is.
QChar plainForm(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= 0xFF10 && u <= 0xFF19)
        return QChar(static_cast<char16_t>(u'0' + (u - 0xFF10)));
    if (u == 0xFF0E || u == 0x3002)
        return QChar(u'.');
    if (u == 0xFF0D)
        return QChar(u'-');
    return c;
}

// A control character, or half of a character (an unpaired surrogate), somewhere in the text.
// Multi-line boxes keep their line and paragraph breaks.
bool hasControlCharacter(const QString& t, bool multiLine)
{
    for (qsizetype i = 0; i < t.size(); ++i) {
        const QChar c = t[i];
        if (c.isHighSurrogate() && i + 1 < t.size() && t[i + 1].isLowSurrogate()) {
            ++i;
            continue;
        }
        if (c.isSurrogate())
            return true;
        const bool lineBreak = c == u'\n' || c == QChar::ParagraphSeparator || c == QChar::LineSeparator;
        if (lineBreak ? !multiLine : c.category() == QChar::Other_Control)
            return true;
    }
    return false;
}

const QString kControlRefused =
    QStringLiteral("粘贴的内容中有控制字符（例如换行、制表符）或不完整的字，没有粘贴：请只粘贴普通文字");

// Says once, after the event that caused it, that an insertion was refused. A text that stays in
// the box was put there by the program (a stored value shown), not typed: nothing is said then.
class Refusal : public QObject {
public:
    Refusal(QWidget* box, QString text) : QObject(box), box_(box), text_(std::move(text)) {}
    void note(const QString& refusedText)
    {
        refused_ = refusedText;
        if (queued_)
            return;
        queued_ = true;
        QTimer::singleShot(0, this, [this] {
            queued_ = false;
            if (currentText() != refused_)
                App::msgBox(text_, App::MsgStyle::Information);
        });
    }

private:
    QString currentText() const
    {
        if (auto* e = qobject_cast<QLineEdit*>(box_))
            return e->text();
        if (auto* p = qobject_cast<QPlainTextEdit*>(box_))
            return p->toPlainText();
        return QString();
    }
    QWidget* box_;
    QString text_;
    QString refused_;
    bool queued_ = false;
};

// What a one-line box takes. The box asks it about every change, however the change comes (keys,
// paste, drop, input method, undo), and puts its text back when the answer is no.
class InputRule : public QValidator {
public:
    // allowed: the characters of an amount box (matched after their plain form); empty for a text
    // box, which takes everything but control characters.
    InputRule(QLineEdit* box, QString allowed, const QString& refusal)
        : QValidator(box), allowed_(std::move(allowed)), refusal_(new Refusal(box, refusal)) {}

    void setLimit(int count) { limit_ = count; }

    State validate(QString& input, int&) const override
    {
        bool refused = false;
        if (allowed_.isEmpty()) {
            refused = hasControlCharacter(input, false);
        } else {
            for (QChar& c : input) {
                c = plainForm(c);  // one character for one: the cursor stays where it is
                refused = refused || !allowed_.contains(c);
            }
        }
        if (refused) {
            refusal_->note(input);
            return Invalid;
        }
        if (limit_ > 0 && visibleLength(input) > limit_)
            return Invalid;
        return Acceptable;
    }

private:
    QString allowed_;
    Refusal* refusal_;
    int limit_ = 0;
};

// The amount boxes' keys: what the rule would refuse is swallowed before the box sees it, and said
// at once. Refused quietly, the keys typed after it would make another amount of what is left
// ("1e-3" would become 13); the message takes the keys that follow until it is answered, and the
// box shows what it holds.
class AmountKeys : public QObject {
public:
    AmountKeys(QObject* parent, QString allowed, bool enterMovesOn, QString refusal)
        : QObject(parent), allowed_(std::move(allowed)), enter_(enterMovesOn), refusal_(std::move(refusal)) {}
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
        for (const QChar c : t) {
            if (!allowed_.contains(plainForm(c))) {
                App::msgBox(refusal_.arg(t), App::MsgStyle::Information);
                return true;
            }
        }
        return false;
    }

private:
    QString allowed_;
    bool enter_;
    QString refusal_;
};

// A multi-line box has no rule of its own to ask: a change that brought in a control character is
// taken back, whole, right after it was made. Texts the program puts in are left alone.
void guardPlainText(QPlainTextEdit* edit)
{
    auto* refusal = new Refusal(edit, kControlRefused);
    QObject::connect(edit->document(), &QTextDocument::contentsChange, edit, [edit, refusal](int pos, int, int added) {
        if (added <= 0 || !edit->document()->isUndoAvailable())
            return;  // a text set by the program starts a new history
        QTextCursor c(edit->document());
        c.setPosition(pos);
        c.setPosition(qMin(pos + added, edit->document()->characterCount() - 1), QTextCursor::KeepAnchor);
        const QString inserted = c.selectedText();
        if (!hasControlCharacter(inserted, true))
            return;
        const QString refused = edit->toPlainText();
        // The document may not be changed while it reports a change.
        QTimer::singleShot(0, edit, [edit, refusal, refused] {
            if (edit->toPlainText() != refused)
                return;
            edit->undo();
            refusal->note(refused);
        });
    });
}

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

void installAmountBox(QLineEdit* box, bool negative, bool enterMovesOn)
{
    const QString allowed = negative ? QStringLiteral("-0123456789.") : QStringLiteral("0123456789.");
    box->installEventFilter(new AmountKeys(box, allowed, enterMovesOn,
                                           negative ? QStringLiteral("“%1”不是金额的一部分，没有输入：金额只能由数字、小数点和负号组成，"
                                                                     "例如 500 或 -30.5")
                                                    : QStringLiteral("“%1”不是金额的一部分，没有输入：金额只能由数字和小数点组成，"
                                                                     "例如 1234.56")));
    box->setValidator(new InputRule(box, allowed,
                                    negative ? QStringLiteral("粘贴的内容不是一个金额，没有粘贴：金额只能由数字、小数点和负号组成，"
                                                              "例如 500 或 -30.5")
                                             : QStringLiteral("粘贴的内容不是一个金额，没有粘贴：金额只能由数字和小数点组成，"
                                                              "例如 1234.56")));
}

QString amountProblem(const QString& text, const QString& what, const QString& example)
{
    QString s = text;
    s.remove(u' ');
    bool tooLarge = false;
    if (const auto m = Money::parse(s)) {
        tooLarge = *m > kMaxRecordAmount || *m < Money() - kMaxRecordAmount;
    } else {
        // Digits with at most one point that still read as no amount are too many digits.
        static const QRegularExpression number(QStringLiteral("^[+-]?(\\d+\\.?\\d*|\\.\\d+)$"));
        if (!number.match(s).hasMatch())
            return what + QStringLiteral("必须是一个数字，例如 ") + example + QStringLiteral("，请改正后再保存");
        tooLarge = true;
    }
    if (tooLarge)
        return what + QStringLiteral("不能超过 ") + kMaxRecordAmount.toGrouped() + QStringLiteral("，请改正后再保存");
    // Money is kept to the cent: a further decimal would be stored while every window shows it
    // rounded away. Zeros at the end change nothing.
    if (const qsizetype point = s.indexOf(u'.'); point >= 0) {
        QString decimals = s.mid(point + 1);
        while (decimals.endsWith(u'0'))
            decimals.chop(1);
        if (decimals.size() > 2)
            return what + QStringLiteral("最多只能有两位小数（到分为止），例如 ") + example + QStringLiteral("，请改正后再保存");
    }
    return QString();
}

bool checkRecord(std::initializer_list<RequiredValue> required, QLineEdit* amount)
{
    for (const RequiredValue& r : required) {
        if (r.value.isEmpty()) {
            App::msgBox(r.message, App::MsgStyle::Information);
            r.fix->setFocus();
            return false;
        }
    }
    if (const QString problem = amountProblem(amount->text(), QStringLiteral("金额"), QStringLiteral("1234.56"));
        !problem.isEmpty()) {
        App::msgBox(problem, App::MsgStyle::Information);
        amount->setFocus();
        return false;
    }
    return true;
}

void guardTextInput(QWidget* window)
{
    for (QLineEdit* e : window->findChildren<QLineEdit*>()) {
        // Boxes with a rule of their own, and the date pickers' inner boxes, keep theirs.
        if (e->validator() || qobject_cast<QAbstractSpinBox*>(e->parentWidget()))
            continue;
        e->setValidator(new InputRule(e, QString(), kControlRefused));
    }
    for (QPlainTextEdit* p : window->findChildren<QPlainTextEdit*>()) {
        if (p->property("kinbookGuarded").toBool())
            continue;
        p->setProperty("kinbookGuarded", true);
        guardPlainText(p);
    }
}

bool checkNoControlCharacters(QWidget* window)
{
    // The boxes' guards see what is typed, pasted, dropped or committed; a text set some other way
    // (an accessibility tool, dictation) is seen only here.
    QWidget* bad = nullptr;
    for (QLineEdit* e : window->findChildren<QLineEdit*>())
        if (!bad && !qobject_cast<QAbstractSpinBox*>(e->parentWidget()) && hasControlCharacter(e->text(), false))
            bad = e;
    for (QPlainTextEdit* p : window->findChildren<QPlainTextEdit*>())
        if (!bad && hasControlCharacter(p->toPlainText(), true))
            bad = p;
    if (!bad)
        return true;
    QWidget* named = qobject_cast<QComboBox*>(bad->parentWidget()) ? bad->parentWidget() : bad;
    App::msgBox(QStringLiteral("“") + named->accessibleName() +
                    QStringLiteral("”中有控制字符（例如换行、制表符）或不完整的字，没有保存：请删去它们后再保存"),
                App::MsgStyle::Information);
    bad->setFocus();
    return false;
}

void setCharacterLimit(QLineEdit* box, int count)
{
    auto* rule = dynamic_cast<InputRule*>(const_cast<QValidator*>(box->validator()));
    if (!rule) {
        rule = new InputRule(box, QString(), kControlRefused);
        box->setValidator(rule);
    }
    rule->setLimit(count);
    box->setMaxLength(32767);  // the rule counts; the box's own count is of UTF-16 units
}

int visibleLength(const QString& text)
{
    QTextBoundaryFinder f(QTextBoundaryFinder::Grapheme, text);
    int n = 0;
    while (f.toNextBoundary() != -1)
        ++n;
    return n;
}

namespace {

// A date written whole in one of the forms people type: 2025-12-28, 2025/12/28, 2025.12.28,
// 20251228 or 2025年12月28日, full-width digits and marks read as plain ones, spaces ignored.
// `complete`: whether nothing more can follow (two-digit month and day, or the closing 日).
struct WholeDate {
    bool looksLikeDate = false;
    bool complete = false;
    QDate date;
};

WholeDate readWholeDate(const QString& typed)
{
    QString t;
    for (const QChar c : typed) {
        const QChar p = c.unicode() == 0xFF0F ? QChar(u'/') : plainForm(c);
        if (!p.isSpace())
            t += p;
    }
    static const QRegularExpression forms(QStringLiteral(
        "^(\\d{4})(?:([-/.])(\\d{1,2})\\2(\\d{1,2})|(\\d{2})(\\d{2})|年(\\d{1,2})月(\\d{1,2})(日?))$"));
    const QRegularExpressionMatch m = forms.match(t);
    WholeDate out;
    if (!m.hasMatch())
        return out;
    out.looksLikeDate = true;
    const int year = m.captured(1).toInt();
    if (m.hasCaptured(3)) {
        out.date = QDate(year, m.captured(3).toInt(), m.captured(4).toInt());
        out.complete = m.capturedLength(3) == 2 && m.capturedLength(4) == 2;
    } else if (m.hasCaptured(5)) {
        out.date = QDate(year, m.captured(5).toInt(), m.captured(6).toInt());
        out.complete = true;
    } else {
        out.date = QDate(year, m.captured(7).toInt(), m.captured(8).toInt());
        out.complete = !m.captured(9).isEmpty();
    }
    return out;
}

// The date box of every window. Typing into one section edits that section, as Qt's box does; but
// a date typed or pasted while the whole text is selected is taken whole, in any of the forms
// above. A text that is no real date is refused with a message and the box keeps its date.
class DatePicker : public QDateEdit {
public:
    DatePicker(const QDate& date, QWidget* parent) : QDateEdit(date, parent) {}

protected:
    QValidator::State validate(QString& input, int& pos) const override
    {
        return typing_ ? QValidator::Intermediate : QDateEdit::validate(input, pos);
    }

    // The calendar is made when it may first be shown (a click on the arrow or a key), not with the
    // box: most windows have date boxes, and making a calendar took about 3 ms, a third of what opening
    // the budget report cost beside its figures.
    void mousePressEvent(QMouseEvent* e) override
    {
        fitCalendar();
        QDateEdit::mousePressEvent(e);
    }

    void keyPressEvent(QKeyEvent* e) override
    {
        fitCalendar();
        if (e->matches(QKeySequence::Paste) && (typing_ || wholeSelected())) {
            typed_ = QGuiApplication::clipboard()->text().trimmed();
            typing_ = true;
            finishTyping();
            return;
        }
        if (typing_ && e->key() == Qt::Key_Escape) {
            stopTyping();
            return;
        }
        if (typing_ && (isEnter(e) || e->key() == Qt::Key_Tab || e->key() == Qt::Key_Backtab)) {
            finishTyping();
            if (!isEnter(e))
                QDateEdit::keyPressEvent(e);
            return;
        }
        if (typing_ && e->key() == Qt::Key_Backspace) {
            typed_.chop(1);
            lineEdit()->setText(typed_);
            return;
        }
        const QString text = e->text();
        const bool typesCharacter = !text.isEmpty() && text.at(0).isPrint() &&
                                    !(e->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier));
        if (typesCharacter && (typing_ || wholeSelected())) {
            type(text);
            return;
        }
        QDateEdit::keyPressEvent(e);
    }

    // A spin box hands what an input method commits straight to its line edit, past inputMethodEvent():
    // a date committed whole is taken here first.
    bool event(QEvent* e) override
    {
        if (e->type() == QEvent::InputMethod) {
            auto* im = static_cast<QInputMethodEvent*>(e);
            if (!im->commitString().isEmpty() && (typing_ || wholeSelected())) {
                type(im->commitString());
                im->accept();
                return true;
            }
        }
        return QDateEdit::event(e);
    }

    void focusOutEvent(QFocusEvent* e) override
    {
        if (typing_)
            finishTyping();
        QDateEdit::focusOutEvent(e);
    }

private:
    // The popup is no smaller than the calendar asks, so that its last row of days is never cut.
    void fitCalendar()
    {
        if (calendarFitted_ || !calendarPopup())
            return;
        calendarFitted_ = true;
        if (QCalendarWidget* calendar = calendarWidget())
            calendar->setMinimumSize(calendar->sizeHint());
    }

    bool wholeSelected() const
    {
        const QLineEdit* edit = lineEdit();
        return !edit->text().isEmpty() && edit->selectedText() == edit->text();
    }

    void type(const QString& text)
    {
        if (!typing_)
            typed_.clear();
        typing_ = true;
        typed_ += text;
        lineEdit()->setText(typed_);
        if (readWholeDate(typed_).complete)
            finishTyping();
    }

    void stopTyping()
    {
        typing_ = false;
        typed_.clear();
        setDate(date());  // shows the kept date again
        lineEdit()->selectAll();
    }

    void finishTyping()
    {
        const QString typed = typed_;
        const WholeDate read = readWholeDate(typed);
        const bool taken = read.date.isValid() && read.date >= minimumDate() && read.date <= maximumDate();
        stopTyping();
        if (taken) {
            setDate(read.date);
            lineEdit()->selectAll();
        } else if (!typed.isEmpty()) {
            App::msgBox(QStringLiteral("“") + typed + QStringLiteral("”不是一个有效的日期，日期没有改变：请输入如 ") +
                            date().toString(QStringLiteral("yyyy-MM-dd")) + QStringLiteral(" 或 ") +
                            date().toString(QStringLiteral("yyyy年M月d日")) + QStringLiteral(" 的日期"),
                        App::MsgStyle::Information);
        }
    }

    bool typing_ = false;
    QString typed_;
    bool calendarFitted_ = false;
};

}  // namespace

QDateEdit* datePicker(const QString& name, const QDate& date, QWidget* parent)
{
    auto* d = new DatePicker(date, parent);
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

