#include "syncwindow.h"

#include "app.h"
#include "datagrid.h"
#include "inputs.h"
#include "syncrecorder.h"
#include "valuelabel.h"
#include "session.h"
#include "store.h"

#include <QDateTime>
#include <QDir>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace SyncService {

namespace {

constexpr int kEveryFewMinutesMs = 5 * 60 * 1000;
constexpr int kAfterAChangeMs = 3000;

bool g_automatic = false;
QString g_lastRun;
QPointer<QTimer> g_periodic, g_soon;
bool g_running = false;

QString summary(const Sync::Report& r)
{
    const QString when = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    if (!r.failure.isEmpty())
        return QStringLiteral("%1 没有同步：%2").arg(when, r.failure);
    QString line = QStringLiteral("%1 同步：发送 %2 个文件，应用 %3 个").arg(when).arg(r.sent.size()).arg(r.applied.size());
    if (!r.conflicts.isEmpty())
        line += QStringLiteral("，冲突 %1 处").arg(r.conflicts.size());
    if (!r.refused.isEmpty())
        line += QStringLiteral("，拒绝 %1 个").arg(r.refused.size());
    if (!r.waiting.isEmpty())
        line += QStringLiteral("，等待 %1 个").arg(r.waiting.size());
    return line;
}

void quietRun()
{
    if (!App::conn.isOpen() || !App::store().syncSettings().configured())
        return;
    runNow();
}

}  // namespace

void setAutomatic(bool on)
{
    g_automatic = on;
    SyncRecorder::setOnRecorded(on ? std::function<void()>([] {
        if (g_soon && !g_running)
            g_soon->start();
    })
                                   : std::function<void()>());
}

bool automatic()
{
    return g_automatic;
}

Sync::Report runNow()
{
    if (g_running)
        return {};
    g_running = true;
    const Sync::Report r = App::store().sync();
    g_running = false;
    g_lastRun = summary(r);
    for (const QString& refused : r.refused)
        App::msgBox(QStringLiteral("同步文件 %1\n已损坏或不是和顺家账的同步文件，其中的变更一处也没有应用；其它同步文件照常应用。")
                        .arg(refused),
                    App::MsgStyle::Information);
    return r;
}

QString lastRun()
{
    return g_lastRun;
}

void afterOpen()
{
    if (g_automatic)
        quietRun();
}

void afterLogin(QWidget* mainWindow)
{
    if (!g_automatic || !mainWindow)
        return;
    quietRun();
    // The timers live as long as the main window.
    auto* periodic = new QTimer(mainWindow);
    periodic->setInterval(kEveryFewMinutesMs);
    QObject::connect(periodic, &QTimer::timeout, periodic, [] { quietRun(); });
    periodic->start();
    auto* soon = new QTimer(mainWindow);
    soon->setSingleShot(true);
    soon->setInterval(kAfterAChangeMs);
    QObject::connect(soon, &QTimer::timeout, soon, [] { quietRun(); });
    g_periodic = periodic;
    g_soon = soon;
}

void beforeClose()
{
    if (!g_automatic || !App::conn.isOpen() || App::store().pendingSyncChanges() == 0 || !App::store().syncSettings().configured())
        return;
    const Sync::Report r = App::store().sync(Sync::Mode::SendOnly);
    g_lastRun = summary(r);
}

}  // namespace SyncService

SyncWindow::SyncWindow(Store& store, QWidget* parent) : DataWindow(QStringLiteral("frmSync"), parent), store_(store)
{
    setWindowTitle(QStringLiteral("同步"));
    setFont(songFont(9));
    resize(twips(10800), twips(6600));

    auto* intro = new QLabel(QStringLiteral("几台电脑各自记帐，通过一个共同的文件夹（Syncthing、网盘或 U 盘）保持一致。"), this);
    intro->setObjectName(QStringLiteral("Label1"));
    intro->setWordWrap(true);

    folderEdit = new QLineEdit(this);
    folderEdit->setObjectName(QStringLiteral("txtfolder"));
    folderButton = new QPushButton(QStringLiteral("选择…"), this);
    folderButton->setObjectName(QStringLiteral("cmdfolder"));
    folderButton->setToolTip(QStringLiteral("选择同步文件夹"));
    nameEdit = new QLineEdit(this);
    nameEdit->setObjectName(QStringLiteral("txtname"));
    nameEdit->setToolTip(QStringLiteral("这台电脑在同步文件夹里的名称，例如“书房”"));
    auto* folderLabel = new QLabel(QStringLiteral("同步文件夹(&F)："), this);
    folderLabel->setObjectName(QStringLiteral("lblfolder"));
    folderLabel->setBuddy(folderEdit);
    auto* nameLabel = new QLabel(QStringLiteral("本机名称(&N)："), this);
    nameLabel->setObjectName(QStringLiteral("lblname"));
    nameLabel->setBuddy(nameEdit);

    stateLabel = new ValueLabel(QStringLiteral("lblstate"), QStringLiteral("同步状态"), this);
    stateLabel->setWordWrap(true);
    stateLabel->setTextFormat(Qt::PlainText);

    saveButton = new QPushButton(QStringLiteral("保存设置(&S)"), this);
    saveButton->setObjectName(QStringLiteral("cmdsave"));
    syncButton = new QPushButton(QStringLiteral("立即同步(&Y)"), this);
    syncButton->setObjectName(QStringLiteral("cmdsync"));
    closeButton = new QPushButton(QStringLiteral("返回"), this);
    closeButton->setObjectName(QStringLiteral("cmdexit"));
    for (QPushButton* b : {folderButton, saveButton, syncButton, closeButton})
        b->setAutoDefault(false);

    auto* logLabel = new QLabel(QStringLiteral("同步记录（发送、应用、拒绝的文件和冲突）(&L)："), this);
    logLabel->setObjectName(QStringLiteral("lbllog"));
    logGrid = new DataGrid(this);
    logGrid->setObjectName(QStringLiteral("DG"));
    logGrid->setAccessibleName(QStringLiteral("同步记录"));
    logLabel->setBuddy(logGrid);

    auto* fields = new QGridLayout;
    fields->addWidget(folderLabel, 0, 0);
    fields->addWidget(folderEdit, 0, 1);
    fields->addWidget(folderButton, 0, 2);
    fields->addWidget(nameLabel, 1, 0);
    fields->addWidget(nameEdit, 1, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(stateLabel, 1);
    buttons->addWidget(saveButton);
    buttons->addWidget(syncButton);
    buttons->addWidget(closeButton);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(intro);
    layout->addLayout(fields);
    layout->addLayout(buttons);
    layout->addWidget(logLabel);
    layout->addWidget(logGrid, 1);

    connect(folderButton, &QPushButton::clicked, this, [this] { chooseFolder(); });
    connect(saveButton, &QPushButton::clicked, this, [this] { saveSettings(); });
    connect(syncButton, &QPushButton::clicked, this, [this] { syncNow(); });
    connect(closeButton, &QPushButton::clicked, this, &QDialog::accept);

    try {
        const Sync::Settings s = store_.syncSettings();
        folderEdit->setText(QDir::toNativeSeparators(s.folder));
        // A name given on another computer (this file is a copy) is not this computer's.
        nameEdit->setText(s.thisComputer ? s.machine : QString());
    } catch (const std::exception& e) {
        showDbError(e, QStringLiteral("无法读取同步设置。"));
    }
    loadLog();
    showState();
}

SyncWindow::~SyncWindow()
{
    logGrid->setRecordset(nullptr);
    rs_.close();
}

void SyncWindow::chooseFolder()
{
    const QString chosen = App::chooseFile(App::FileDialog::Folder, QStringLiteral("选择同步文件夹"),
                                           folderEdit->text().isEmpty() ? QDir::homePath() : QDir::fromNativeSeparators(folderEdit->text()), this);
    if (!chosen.isEmpty())
        folderEdit->setText(QDir::toNativeSeparators(chosen));
}

void SyncWindow::saveSettings()
{
    const QString folder = QDir::fromNativeSeparators(folderEdit->text().trimmed());
    const QString name = nameEdit->text().trimmed();
    if (folder.isEmpty()) {
        App::msgBox(QStringLiteral("请选择同步文件夹"), App::MsgStyle::Information);
        folderEdit->setFocus();
        return;
    }
    if (name.isEmpty()) {
        App::msgBox(QStringLiteral("请输入本机名称"), App::MsgStyle::Information);
        nameEdit->setFocus();
        return;
    }
    QString why;
    try {
        why = store_.configureSync(folder, name);
    } catch (const std::exception& e) {
        showDbError(e, QStringLiteral("同步设置没有保存。"));
        return;
    }
    if (!why.isEmpty()) {
        App::msgBox(why, App::MsgStyle::Information);
        return;
    }
    App::msgBox(QStringLiteral("同步设置已保存。这台电脑的变更会写到同步文件夹，其它电脑的变更会在启动、登录后、每隔几分钟和按“立即同步”时应用。"),
                App::MsgStyle::Information);
    syncNow();
}

void SyncWindow::syncNow()
{
    App::setBusy(true);
    SyncService::runNow();
    App::setBusy(false);
    loadLog();
    showState();
}

void SyncWindow::loadLog()
{
    try {
        store_.openSyncLog(rs_);
    } catch (const std::exception& e) {
        showDbError(e, QStringLiteral("无法读取同步记录。"));
    }
    logGrid->setRecordset(&rs_);
    for (const auto& [column, tw] : {std::pair{0, 1900}, {1, 600}, {2, 2400}, {3, 5000}})
        logGrid->setColumnTwips(column, tw);
}

void SyncWindow::showState()
{
    QString text;
    try {
        if (!store_.syncSettings().configured())
            text = QStringLiteral("还没有设置同步");
        else
            text = QStringLiteral("待发送 %1 个变更").arg(store_.pendingSyncChanges());
    } catch (const std::exception& e) {
        showDbError(e, QStringLiteral("无法读取同步设置。"));
    }
    if (!SyncService::lastRun().isEmpty())
        text += QStringLiteral("；") + SyncService::lastRun();
    stateLabel->setText(text);
}

void registerSyncWindow()
{
    App::registerWindow(QStringLiteral("frmSync"), [](Store& store, QWidget* p) -> QDialog* { return new SyncWindow(store, p); });
    App::registerAfterLogin([](Store&, QWidget* main) { SyncService::afterLogin(main); });
}
