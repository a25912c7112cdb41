#include "app.h"


#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHash>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>

namespace App {

QString curUser;

namespace {
bool g_busy = false;
QPointer<QWidget> g_panel;
QDate g_today;
QPointer<QWidget> g_notePanel;
QString g_note;
QHash<QString, QString> g_lastFolders;  // by the kind of file: the folder a dialog last chose in
std::function<QString()> g_databasePath;
std::function<QString(QString*)> g_backupBeforeChange;
QHash<QString, WindowFactory>& registry()
{
    static QHash<QString, WindowFactory> r;
    return r;
}
}  // namespace

QString databasePath()
{
    return g_databasePath ? g_databasePath() : QString();
}

void setDatabasePath(std::function<QString()> path)
{
    g_databasePath = std::move(path);
}

QString backupBeforeChange(QString* failure)
{
    if (g_backupBeforeChange)
        return g_backupBeforeChange(failure);
    if (failure)
        *failure = QStringLiteral("没有可以备份的数据文件。");
    return QString();
}

void setBackupBeforeChange(std::function<QString(QString* failure)> backup)
{
    g_backupBeforeChange = std::move(backup);
}

void setStatusPanel(QWidget* panel2)
{
    g_panel = panel2;
}

void setStatusNote(const QString& note)
{
    g_note = note;
    if (auto* label = qobject_cast<QLabel*>(g_notePanel.data())) {
        label->setText(note);
        label->setAccessibleName(note);
        label->setVisible(!note.isEmpty());
    }
}

void setNotePanel(QWidget* panel)
{
    g_notePanel = panel;
    setStatusNote(g_note);
}

void setBusy(bool flag)
{
    if (auto* label = qobject_cast<QLabel*>(g_panel.data()))
        label->setText(flag ? QStringLiteral("正在加载...") : QStringLiteral("加载完毕..."));
    if (flag == g_busy)
        return;
    g_busy = flag;
    if (flag)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

bool isBusy()
{
    return g_busy;
}

namespace {

// A person answers: real boxes and dialogs.
class PersonAnswers : public Answerer {
public:
    MsgAnswer message(const QString& text, MsgStyle style, const QString& title) override;
    QString chooseFile(FileDialog kind, const QString& caption, const QString& start, const QString& filter,
                       QWidget* parent) override;
};

// A box or dialog shown while the busy cursor is up must still look usable.
class ArrowWhileBusy {
public:
    ArrowWhileBusy() : busy_(g_busy)
    {
        if (busy_)
            QApplication::setOverrideCursor(Qt::ArrowCursor);
    }
    ~ArrowWhileBusy()
    {
        if (busy_)
            QApplication::restoreOverrideCursor();
    }
    ArrowWhileBusy(const ArrowWhileBusy&) = delete;
    ArrowWhileBusy& operator=(const ArrowWhileBusy&) = delete;

private:
    bool busy_;
};

MsgAnswer PersonAnswers::message(const QString& text, MsgStyle style, const QString& title)
{
    QMessageBox box(QApplication::activeWindow());
    box.setWindowTitle(title);
    // Messages name records, files and counterparties as they stand, never read as markup.
    box.setTextFormat(Qt::PlainText);
    box.setText(text);
    switch (style) {
    case MsgStyle::Stop:
        box.setIcon(QMessageBox::Critical);
        break;
    case MsgStyle::Question:
        box.setIcon(QMessageBox::Question);
        break;
    case MsgStyle::Information:
        box.setIcon(QMessageBox::Information);
        break;
    case MsgStyle::Plain:
        box.setIcon(QMessageBox::NoIcon);
        break;
    }
    QPushButton* ok = box.addButton(QStringLiteral("确定"), QMessageBox::AcceptRole);
    QPushButton* cancel = nullptr;
    if (style == MsgStyle::Question)
        cancel = box.addButton(QStringLiteral("取消"), QMessageBox::RejectRole);
    box.setDefaultButton(ok);
    box.setEscapeButton(cancel ? static_cast<QAbstractButton*>(cancel) : ok);
    {
        const ArrowWhileBusy arrow;
        box.exec();
    }
    return box.clickedButton() == cancel && cancel ? MsgAnswer::Cancel : MsgAnswer::Ok;
}

QString PersonAnswers::chooseFile(FileDialog kind, const QString& caption, const QString& start, const QString& filter,
                                  QWidget* parent)
{
    const ArrowWhileBusy arrow;
    if (kind == FileDialog::Folder)
        return QFileDialog::getExistingDirectory(parent, caption, start);
    return kind == FileDialog::Open ? QFileDialog::getOpenFileName(parent, caption, start, filter)
                                    : QFileDialog::getSaveFileName(parent, caption, start, filter);
}

PersonAnswers g_person;
Answerer* g_answerer = &g_person;

}  // namespace

MsgAnswer msgBox(const QString& text, MsgStyle style, const QString& title)
{
    return g_answerer->message(text, style, title.isEmpty() ? appTitle : title);
}

void setAnswerer(Answerer* answerer)
{
    g_answerer = answerer ? answerer : &g_person;
    g_lastFolders.clear();
}

Answerer* answerer()
{
    return g_answerer == &g_person ? nullptr : g_answerer;
}

QString chooseFile(FileDialog kind, const QString& caption, const QString& proposed, QWidget* parent, const QString& kinds)
{
    // The kind of file: the suffix of the file proposed; for a folder proposed, the kinds offered
    // (none: the household's data, as its backups).
    const QFileInfo proposedInfo(proposed);
    const QString suffix = proposedInfo.suffix().toLower();
    const QString fileKind = !suffix.isEmpty() ? suffix : kinds.isEmpty() ? QStringLiteral("mdb") : kinds;
    // The files offered: the kinds the caller names, else of the kind proposed.
    const QString filter = !kinds.isEmpty()  ? kinds
        : suffix == QLatin1String("pdf") ? QStringLiteral("PDF 文件 (*.pdf);;所有文件 (*)")
        : suffix == QLatin1String("csv") ? QStringLiteral("CSV 文件 (*.csv);;所有文件 (*)")
                                         : QStringLiteral("和顺家账数据 (*.mdb);;所有文件 (*)");
    // A dialog opens where the last one of its kind was left, the file's name kept.
    QString start = proposed;
    if (const QString last = g_lastFolders.value(fileKind); !last.isEmpty() && QFileInfo(last).isDir())
        start = suffix.isEmpty() ? last : QDir(last).filePath(proposedInfo.fileName());
    const QString chosen = g_answerer->chooseFile(kind, caption, start, filter, parent);
    if (!chosen.isEmpty())
        g_lastFolders.insert(fileKind, QFileInfo(chosen).absolutePath());
    return chosen;
}

QString chooseFileIn(FileDialog kind, const QString& caption, const QString& folder, QWidget* parent)
{
    return g_answerer->chooseFile(kind, caption, folder, QStringLiteral("和顺家账数据 (*.mdb);;所有文件 (*)"), parent);
}

QDate today()
{
    return g_today.isValid() ? g_today : QDate::currentDate();
}

void setToday(const QDate& date)
{
    g_today = date;
}

void registerWindow(const QString& name, WindowFactory factory)
{
    registry().insert(name, std::move(factory));
}

bool hasWindow(const QString& name)
{
    return registry().contains(name);
}

QDialog* createWindow(const QString& name, Store& store, QWidget* parent)
{
    auto it = registry().constFind(name);
    if (it == registry().constEnd())
        return nullptr;
    return it.value()(store, parent);
}

void openDataWindow(const QString& name, Store& store, QWidget* parent)
{
    if (!hasWindow(name))
        return;
    setBusy(true);
    QDialog* w = createWindow(name, store, parent);
    if (!w) {
        setBusy(false);
        return;
    }
    w->setAttribute(Qt::WA_DeleteOnClose, false);
    w->exec();
    delete w;
    // A window that failed to show never got to end the busy state.
    setBusy(false);
}

namespace {
QList<AfterLogin>& afterLogin()
{
    static QList<AfterLogin> actions;
    return actions;
}
}  // namespace

void registerAfterLogin(AfterLogin action)
{
    afterLogin() << std::move(action);
}

void runAfterLogin(Store& store, QWidget* mainWindow)
{
    for (qsizetype i = afterLogin().size() - 1; i >= 0; --i)
        afterLogin()[i](store, mainWindow);
}

}  // namespace App
