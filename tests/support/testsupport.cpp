#include "testsupport.h"

#include "passwords.h"
#include "pinyinorder.h"

#include "platform.h"
#include "undo.h"
#include "session.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QChartView>
#include <QClipboard>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QRegularExpression>
#include <QTimer>
#include <QUndoStack>
#include <sqlite3.h>

namespace {
std::unique_ptr<ScriptedAnswers> g_script;
}  // namespace

void restartScript()
{
    auto fresh = std::make_unique<ScriptedAnswers>();
    App::setAnswerer(fresh.get());
    g_script = std::move(fresh);
}

ScriptedAnswers& script()
{
    if (!g_script)
        restartScript();
    return *g_script;
}

void DbTest::SetUp()
{
    dir_ = std::make_unique<QTemporaryDir>();
    ASSERT_TRUE(dir_->isValid());
    ASSERT_TRUE(QFile::copy(QStringLiteral(KINBOOK_EMPTY_DB), dbPath()));
    QFile::setPermissions(dbPath(), QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser);
    Platform::setProgramFolder(dir_->path());
    restartScript();
    App::setToday(QDate());
    App::curUser.clear();
    undoStack_ = std::make_unique<QUndoStack>();
    Undo::setStack(undoStack_.get());
}

void DbTest::TearDown()
{
    App::closeConn();
    while (App::isBusy())
        App::setBusy(false);
    Platform::setProgramFolder(QString());
    Platform::setStarter(nullptr);
    Undo::setStack(nullptr);
    undoStack_.reset();
    dir_.reset();
}

void DbTest::openConn()
{
    ASSERT_TRUE(App::openConn());
}

QString DbTest::dbPath() const
{
    return dir_->path() + QStringLiteral("/main.mdb");
}

QString DbTest::folder() const
{
    return dir_->path();
}

void DbTest::sql(const QString& statements)
{
    makeDatabase(dbPath(), statements);
}

QStringList DbTest::rows(const QString& query)
{
    return rowsOf(dbPath(), query);
}

QString DbTest::scalar(const QString& query)
{
    const QStringList r = rows(query);
    return r.isEmpty() ? QString() : r.first();
}

void makeDatabase(const QString& file, const QString& statements)
{
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(file.toUtf8().constData(), &db), SQLITE_OK);
    sqlite3_busy_timeout(db, 2000);
    char* err = nullptr;
    const int rc = sqlite3_exec(db, statements.toUtf8().constData(), nullptr, nullptr, &err);
    const QString msg = err ? QString::fromUtf8(err) : QString();
    sqlite3_free(err);
    sqlite3_close(db);
    ASSERT_EQ(rc, SQLITE_OK) << msg.toStdString();
}

void hashPasswords(const QString& file)
{
    QString update;
    for (const QString& row : rowsOf(file, QStringLiteral("select rowid, 密码 from 成员 where 密码 is not null"))) {
        const QString password = row.section(u'|', 1);
        if (!Passwords::isHash(password))
            update += QStringLiteral("update 成员 set 密码 = '%1' where rowid = %2;").arg(Passwords::hash(password), row.section(u'|', 0, 0));
    }
    makeDatabase(file, update);
}

QStringList rowsOf(const QString& file, const QString& query)
{
    QStringList out;
    sqlite3* db = nullptr;
    EXPECT_EQ(sqlite3_open_v2(file.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
    sqlite3_busy_timeout(db, 2000);
    PinyinOrder::registerOn(db);  // statements order names as the program's connections do
    sqlite3_stmt* st = nullptr;
    const QByteArray q = query.toUtf8();
    if (sqlite3_prepare_v2(db, q.constData(), -1, &st, nullptr) != SQLITE_OK) {
        ADD_FAILURE() << sqlite3_errmsg(db) << " in " << q.constData();
        sqlite3_close(db);
        return out;
    }
    while (sqlite3_step(st) == SQLITE_ROW) {
        QStringList fields;
        for (int i = 0; i < sqlite3_column_count(st); ++i) {
            if (sqlite3_column_type(st, i) == SQLITE_NULL)
                fields << QStringLiteral("NULL");
            else
                fields << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, i)));
        }
        out << fields.join(u'|');
    }
    sqlite3_finalize(st);
    sqlite3_close(db);
    return out;
}

QByteArray fileBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << path.toStdString();
    f.write(bytes);
}

QString versionZeroSchema()
{
    // The schema file of the last build before file versions, not the program's own copy of it.
    QFile schema(QStringLiteral(KINBOOK_TEST_DIR "/data/versions/v0.sql"));
    return schema.open(QIODevice::ReadOnly) ? QString::fromUtf8(schema.readAll()) : QString();
}

bool hasEnglish(const QString& text)
{
    static const QRegularExpression path(QStringLiteral("[^\\s（）]*[/\\\\][^\\s（）]*"));
    static const QRegularExpression word(QStringLiteral("[A-Za-z]{3,}"));
    return QString(text).remove(path).remove(QStringLiteral("main.mdb")).contains(word);
}

QStringList messageTexts()
{
    QStringList out;
    for (const auto& m : script().messages())
        out << m.text;
    return out;
}

QString lastMessage()
{
    return messageTexts().value(messageTexts().size() - 1);
}

QStringList sorted(QStringList l)
{
    l.sort();
    return l;
}

void whenModal(std::function<void(QDialog*)> action, int timeoutMs)
{
    QWidget* before = QApplication::activeModalWidget();
    auto* timer = new QTimer;
    auto started = std::make_shared<QElapsedTimer>();
    started->start();
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, [timer, before, started, action, timeoutMs] {
        QWidget* m = QApplication::activeModalWidget();
        auto* dlg = qobject_cast<QDialog*>(m);
        if (dlg && m != before && dlg->isVisible()) {
            timer->stop();
            timer->deleteLater();
            action(dlg);
            return;
        }
        if (started->elapsed() > timeoutMs) {
            timer->stop();
            timer->deleteLater();
            ADD_FAILURE() << "no modal dialog appeared";
            if (m)
                m->close();
        }
    });
    timer->start();
}

void click(QObject* parent, const QString& name)
{
    auto* b = parent->findChild<QAbstractButton*>(name);
    ASSERT_NE(b, nullptr) << "no button named " << name.toStdString();
    ASSERT_TRUE(b->isEnabled()) << name.toStdString() << " is disabled";
    ASSERT_TRUE(b->isVisible() || !b->window()->isVisible()) << name.toStdString() << " is hidden";
    QTest::mouseClick(b, Qt::LeftButton);
}

void typeInto(QWidget* w, const QString& text)
{
    w->setFocus();
    for (const QChar c : text) {
        if (c.unicode() < 0x80)
            QTest::keyClick(w, c.toLatin1());
        else  // Chinese arrives as an input method hands it over: a text without a key code
            QTest::sendKeyEvent(QTest::Click, w, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
}

void paste(QWidget* box, const QString& text)
{
    QGuiApplication::clipboard()->setText(text);
    box->setFocus();
    if (auto* line = qobject_cast<QLineEdit*>(box))
        line->end(false);
    QTest::keyClick(box, Qt::Key_V, Qt::ControlModifier);
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
}

void clickRow(QTableView* grid, int row, Qt::KeyboardModifiers keys)
{
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, keys, grid->visualRect(grid->model()->index(row, 0)).center());
}

void pickId(QObject* window, const QString& button, const QString& id)
{
    whenModal([id](QDialog* d) {
        auto* fg = child<QTableView>(d, "FG");
        const QStringList shown = gridRows(fg);
        const auto row = std::find_if(shown.begin(), shown.end(), [&id](const QString& r) { return r.section(u'|', 0, 0) == id; });
        EXPECT_NE(row, shown.end()) << "no row " << id.toStdString() << " in the picker";
        fg->selectRow(static_cast<int>(row - shown.begin()));
        click(d, "ok");
    });
    click(window, button);
}

QStringList gridRows(const QTableView* grid)
{
    QStringList out;
    const QAbstractItemModel* m = grid->model();
    for (int r = 0; r < m->rowCount(); ++r) {
        QStringList cells;
        for (int c = 0; c < m->columnCount(); ++c)
            cells << m->index(r, c).data().toString();
        out << cells.join(u'|');
    }
    return out;
}

Money shownAmount(QString text)
{
    if (text.trimmed().isEmpty())
        return Money();
    return Money::parse(text.remove(u',')).value_or(Money::fromUnits(-1));
}

QChart* chartOf(QWidget* window)
{
    auto* v = child<QChartView>(window, "chart");
    QCoreApplication::processEvents();  // charts redraw once control is back in the event loop
    return v ? v->chart() : nullptr;
}

QStringList heard(QObject* window, const QStringList& names)
{
    QStringList out;
    for (const QString& name : names) {
        QObject* c = window->findChild<QObject*>(name);
        QAccessibleInterface* a = c ? QAccessible::queryAccessibleInterface(c) : nullptr;
        out << (a ? a->text(QAccessible::Name) : QStringLiteral("<none>"));
    }
    return out;
}

QStringList narrowColumns(QTableView* grid)
{
    QStringList out;
    QHeaderView* header = grid->horizontalHeader();
    header->setResizeContentsPrecision(-1);
    grid->verticalHeader()->setResizeContentsPrecision(-1);
    for (int c = 0; c < grid->model()->columnCount(); ++c) {
        if (grid->isColumnHidden(c))
            continue;
        const QAbstractItemView* view = grid;  // QTableView keeps its measure protected
        const int need = std::max(view->sizeHintForColumn(c), header->sectionSizeHint(c));
        if (grid->columnWidth(c) < need)
            out << QStringLiteral("%1: %2 < %3")
                       .arg(grid->model()->headerData(c, Qt::Horizontal).toString())
                       .arg(grid->columnWidth(c))
                       .arg(need);
    }
    return out;
}

QStringList columnsOutOfView(QTableView* grid)
{
    QStringList out;
    QHeaderView* header = grid->horizontalHeader();
    const int room = grid->viewport()->width();
    for (int c = 0; c < grid->model()->columnCount(); ++c) {
        if (grid->isColumnHidden(c))
            continue;
        const int right = header->sectionPosition(c) + header->sectionSize(c);
        if (right > room)
            out << QStringLiteral("%1: ends at %2 > %3").arg(grid->model()->headerData(c, Qt::Horizontal).toString()).arg(right).arg(room);
    }
    return out;
}

void editCell(QTableView* grid, int row, int column, const QString& text)
{
    QApplication::setActiveWindow(grid->window());
    (void)QTest::qWaitForWindowActive(grid->window(), 1000);
    grid->setFocus();
    grid->setCurrentIndex(grid->model()->index(row, column));
    QTest::keyClick(grid, Qt::Key_F2);
    QWidget* editor = QApplication::focusWidget();
    ASSERT_TRUE(editor && editor != grid) << "no editor for row " << row << ", column " << column;
    QTest::keyClick(editor, Qt::Key_A, Qt::ControlModifier);
    typeInto(editor, text);
    QTest::keyClick(editor, Qt::Key_Return);
}
