#include "ui.h"

#include "dberror.h"
#include "modmain.h"
#include "recordset.h"

#include <QApplication>
#include <QComboBox>
#include <QDateEdit>
#include <QGridLayout>
#include <QEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScreen>
#include <QStyle>
#include <QTextEdit>

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
    if (input && input->accessibleName().isEmpty())
        input->setAccessibleName(QString(text).remove(u'&').remove(u':').remove(QChar(0xFF1A)).trimmed());
    return l;
}

// ---- DataGrid -------------------------------------------------------------------------------

DataGrid::DataGrid(QWidget* parent) : QTableView(parent)
{
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setTabKeyNavigation(false);
    setWordWrap(false);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    verticalHeader()->setMinimumSectionSize(4);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    horizontalHeader()->setMinimumSectionSize(0);
    horizontalHeader()->setHighlightSections(false);
    setFont(songFont(9));
}

void DataGrid::setRecordset(Recordset* rs)
{
    if (model_ && rs == rs_ && rs) {
        // The same recordset, reopened: the model has followed it already.
        followRecordset(rs->position());
        return;
    }
    if (rs_)
        disconnect(rs_, nullptr, this, nullptr);
    rs_ = rs;
    // While the model removes a row, the selection model moves its current row by itself: that is no
    // choice of the user's, and the recordset's current row stays. This must be connected before the
    // model is, so that it is known before the model starts removing.
    if (rs)
        connect(rs, &Recordset::rowAboutToBeRemoved, this, [this] { removing_ = true; });
    auto* old = model_;
    QItemSelectionModel* oldSelection = selectionModel();
    model_ = new RecordsetModel(rs, this);
    setModel(model_);
    delete oldSelection;
    delete old;
    if (!rs)
        return;
    connect(rs, &Recordset::rowRemoved, this, [this] { removing_ = false; });
    connect(rs, &Recordset::currentChanged, this, [this](int row) { followRecordset(row); });
    connect(rs, &Recordset::reset, this, [this] {
        if (rs_)
            followRecordset(rs_->position());
    });
    connect(selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current, const QModelIndex&) {
                if (syncing_ || removing_ || !rs_ || !current.isValid())
                    return;
                const int row = current.row();
                if (rs_->editMode() != Recordset::EditNone) {
                    // The row being edited stays current until it is saved or cancelled.
                    if (row != rs_->position())
                        QMetaObject::invokeMethod(this, [this] { if (rs_) followRecordset(rs_->position()); },
                                                  Qt::QueuedConnection);
                    return;
                }
                rs_->moveTo(row);
            });
    followRecordset(rs->position());
}

void DataGrid::followRecordset(int row)
{
    if (!model_ || !selectionModel())
        return;
    syncing_ = true;
    if (row >= 0 && row < model_->rowCount()) {
        const QModelIndex idx = model_->index(row, qMax(0, currentIndex().column()));
        selectionModel()->setCurrentIndex(idx, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        scrollTo(idx);
    } else {
        selectionModel()->clearSelection();
    }
    syncing_ = false;
}

void DataGrid::setColumnTwips(int column, int tw)
{
    horizontalHeader()->resizeSection(column, twips(tw));
    widenToFit(column);
}

void DataGrid::widenToFit(int column)
{
    // The widths were chosen for the short dates and narrow digits of another font: a column is
    // never so narrow that its header or a date or an amount of its first rows is cut off.
    if (!model_ || column >= model_->columnCount() || horizontalHeader()->sectionSize(column) == 0)
        return;
    const QFontMetrics body(font());
    const QFontMetrics head(horizontalHeader()->font());
    const int pad = 2 * style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 8;
    int need = head.horizontalAdvance(model_->headerData(column, Qt::Horizontal).toString()) + pad;
    const int rows = qMin(model_->rowCount(), 64);
    for (int r = 0; r < rows; ++r)
        need = qMax(need, body.horizontalAdvance(model_->index(r, column).data().toString()) + pad);
    if (horizontalHeader()->sectionSize(column) < need)
        horizontalHeader()->resizeSection(column, need);
}

void DataGrid::setColumnAlignment(int column, Qt::Alignment a)
{
    if (model_)
        model_->setAlignment(column, a);
}

void DataGrid::setColumnFormat(int column, RecordsetModel::Format f)
{
    if (model_)
        model_->setFormat(column, f);
    widenToFit(column);
}

void DataGrid::setColumnHiddenWidth(int column)
{
    horizontalHeader()->resizeSection(column, 0);
}

// ---- Binder ---------------------------------------------------------------------------------

Binder::Binder(Recordset* rs, QObject* parent) : QObject(parent), rs_(rs)
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

bool Binder::save(const std::function<void(Recordset&)>& setFields)
{
    if (!rs_)
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

// ---- DataWindow ----------------------------------------------------------------------------

DataWindow::DataWindow(const QString& name, QWidget* parent) : QDialog(parent)
{
    setObjectName(name);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
}

bool DataWindow::event(QEvent* e)
{
    if (e->type() == QEvent::WindowActivate)
        formActivate();
    return QDialog::event(e);
}

void DataWindow::showEvent(QShowEvent* e)
{
    QDialog::showEvent(e);
    formActivate();
}

void DataWindow::keyPressEvent(QKeyEvent* e)
{
    if (e->key() == Qt::Key_Escape && !escapeCloses_) {
        e->accept();
        return;
    }
    QDialog::keyPressEvent(e);
}

void DataWindow::formActivate()
{
    Modmain::setBusy(false);
}

void showDbError(const std::exception& e, const QString& what)
{
    QString text;
    if (const auto* db = dynamic_cast<const DbError*>(&e))
        text = db->userText();
    else
        text = QStringLiteral("操作失败：") + QString::fromLocal8Bit(e.what());
    if (!what.isEmpty())
        text = what + QStringLiteral("\n") + text;
    Modmain::msgBox(text, 64);
}

bool confirmDeleteCurrent(Recordset& rs)
{
    if (Modmain::msgBox(QStringLiteral("真的要删除此成员记录吗"), 33) != 1)
        return false;
    try {
        rs.deleteCurrent();
        rs.moveNext();
        if (rs.eof())
            rs.moveLast();
        return true;
    } catch (const DbError& e) {
        if (e.kind() != DbError::NoRow)
            showDbError(e, QStringLiteral("这条记录没有删除。"));
    } catch (const std::exception& e) {
        showDbError(e, QStringLiteral("这条记录没有删除。"));
    }
    return false;
}
