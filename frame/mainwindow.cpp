#include "mainwindow.h"

#include "about.h"
#include "app.h"
#include "datawindow.h"
#include "help.h"
#include "inputs.h"
#include "loginwindow.h"
#include "pictures.h"
#include "platform.h"
#include "recordset.h"
#include "safekeeping.h"
#include "undo.h"
#include "valuelabel.h"
#include "session.h"

#include <QAction>
#include <QCloseEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QStatusBar>
#include <QUndoStack>

namespace {

// The menu bar, one row per entry. A row without a parent menu name starts a menu; a caption of
// "-" is a separator; `form` names the window that the item opens.
struct MenuRow {
    const char* name;
    const char* caption;
    const char* form;
    bool isMenu;
};

constexpr MenuRow kMenuRows[] = {
    {"mnuita", "期初设置[&F]", nullptr, true},
    {"mnucy", "成员信息", "frmuser", false},
    {"aaa", "-", nullptr, false},
    {"mnu1sr", "收入类型", "frmsrlx", false},
    {"mnu1zc", "支出类型", "frmzclx", false},
    {"bbb", "-", nullptr, false},
    {"mnu1yh", "银行信息", "frmyhxx", false},
    {"mnu1tz", "其它投资类型", "frmtzlx", false},
    {"ccc", "-", nullptr, false},
    {"mnubudget", "预算", "frmBudget", false},
    {"mnurecurring", "定期收支", "frmRecurring", false},
    {"mnu2", "收入/支出[&U]", nullptr, true},
    {"mnu2sr", "收入帐录入", "frmsrzhang", false},
    {"mnu2zc", "支出帐录入", "frmzczhang", false},
    {"mnu2aaa", "-", nullptr, false},
    {"mnu2fz", "债权/债务", "frmFz", false},
    {"mnu2yh", "银行帐", "frmyhzhang", false},
    {"mnu2tz", "其它投资", "frmtzhang", false},
    {"mnu2bbb", "-", nullptr, false},
    {"mnuimport", "导入账单…", "frmImport", false},
    {"mnu3", "查询统计[&Q]", nullptr, true},
    {"mnu3sr", "收入状况", "frmquery_sr", false},
    {"mnu3zc", "支出状况", "frmquery_zc", false},
    {"mnu3yh", "银行存取记录", "frmquery_yh", false},
    {"mnu3bbb", "-", nullptr, false},
    {"mnu3zic", "资产统计", "frmcurt", false},
    {"mnu3ye", "年终处理", "frmYear", false},
    {"mnu3ccc", "-", nullptr, false},
    {"mnu3budget", "预算执行", "frmBudgetReport", false},
    {"mnu3overview", "本月概览", "frmOverview", false},
    {"mnuedit", "编辑[&E]", nullptr, true},
    {"mnuundo", "撤销", nullptr, false},
    {"mnu5aaa", "-", nullptr, false},
    {"mnurecycle", "回收站", "frmRecycle", false},
    {"mnusystem", "系统[&S]", nullptr, true},
    {"mnuabout", "关于", nullptr, false},
    {"mnuhelp", "帮助", nullptr, false},
    {"mnu4aaa", "-", nullptr, false},
    {"mnucalc", "计算器", nullptr, false},
    {"mnu4bbb", "-", nullptr, false},
    {"mnubackup", "备份数据…", nullptr, false},
    {"mnurestore", "恢复数据…", nullptr, false},
    {"mnusync", "同步…", "frmSync", false},
    {"mnu4ccc", "-", nullptr, false},
    {"mnurelogin", "重新登录", nullptr, false},
    {"mnuexit", "退出", nullptr, false},
};

// Calculators that Linux and BSD desktops ship, in order of preference.
const char* const kCalculators[] = {"gnome-calculator", "kcalc",    "galculator", "qalculate-gtk",
                                    "qalculate-qt",     "mate-calc", "xcalc"};

}  // namespace

QStringList MainWindow::dataWindowNames()
{
    QStringList names;
    for (const MenuRow& r : kMenuRows)
        if (r.form)
            names << QString::fromUtf8(r.form);
    return names;
}

MainWindow::MainWindow(LoginWindow* login, QWidget* parent) : QMainWindow(parent), login_(login)
{
    setObjectName(QStringLiteral("frmmain"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("和顺家账 "));
    setWindowIcon(Pictures::windowIcon());

    body_ = new QWidget(this);
    body_->setObjectName(QStringLiteral("body"));
    setCentralWidget(body_);
    background_ = new QLabel(body_);
    background_->setObjectName(QStringLiteral("imgbag"));
    background_->setPixmap(Pictures::homePicture());
    background_->setScaledContents(true);
    background_->setAccessibleName(QStringLiteral("温馨的家"));
    titleLabel_ = new QLabel(QStringLiteral("温馨的家"), body_);
    titleLabel_->setObjectName(QStringLiteral("Label1"));
    titleLabel_->setFont(kaiFont(12));
    titleLabel_->setAttribute(Qt::WA_TranslucentBackground);
    titleLabel_->move(twips(240), twips(180));
    titleLabel_->adjustSize();

    statusBar_ = new QStatusBar(this);
    statusBar_->setObjectName(QStringLiteral("Stabar"));
    statusBar_->setSizeGripEnabled(true);
    // Both panels say what they show ("当前用户：张三", "加载完毕..."): that is what a screen reader
    // hears. A member's name is shown as stored, even one that looks like markup.
    panel1_ = new ValueLabel(QStringLiteral("Stabar_1"), QString(), statusBar_);
    panel2_ = new ValueLabel(QStringLiteral("Stabar_2"), QString(), statusBar_);
    for (QLabel* p : {panel1_, panel2_}) {
        p->setText(QStringLiteral("正在加载..."));
        p->setFrameShape(QFrame::Panel);
        p->setFrameShadow(QFrame::Sunken);
        statusBar_->addWidget(p, 1);
    }
    // A lasting note, such as a backup that could not be made; hidden while there is none.
    note_ = new QLabel(statusBar_);
    note_->setObjectName(QStringLiteral("Stabar_note"));
    note_->setTextFormat(Qt::PlainText);
    note_->setFrameShape(QFrame::Panel);
    note_->setFrameShadow(QFrame::Sunken);
    statusBar_->addPermanentWidget(note_);
    setStatusBar(statusBar_);

    buildMenus();
    resize(twips(8085), twips(6705) + menuBar()->sizeHint().height());
    startSession();
}

void MainWindow::buildMenus()
{
    QMenu* menu = nullptr;
    for (const MenuRow& r : kMenuRows) {
        const QString name = QString::fromUtf8(r.name);
        const QString caption = QString::fromUtf8(r.caption);
        if (r.isMenu) {
            menu = menuBar()->addMenu(caption);
            menu->setObjectName(name);
            menu->menuAction()->setObjectName(name);
            continue;
        }
        QAction* a = caption == QStringLiteral("-") ? menu->addSeparator() : menu->addAction(caption);
        a->setObjectName(name);
        const QIcon icon = Pictures::menuIcon(caption);
        if (!icon.isNull())
            a->setIcon(icon);
        if (r.form) {
            const QString form = QString::fromUtf8(r.form);
            connect(a, &QAction::triggered, this, [this, form] { App::openDataWindow(form, App::store(), this); });
        }
    }
    auto item = [this](const char* name) { return findChild<QAction*>(QString::fromUtf8(name)); };
    item("mnuhelp")->setShortcut(QKeySequence(Qt::Key_F1));
    item("mnucalc")->setShortcut(QKeySequence(Qt::Key_F8));
    connect(item("mnuabout"), &QAction::triggered, this, &MainWindow::showAbout);
    connect(item("mnuhelp"), &QAction::triggered, this, &MainWindow::showHelp);
    connect(item("mnucalc"), &QAction::triggered, this, &MainWindow::startCalculator);
    connect(item("mnubackup"), &QAction::triggered, this, &MainWindow::backUp);
    connect(item("mnurestore"), &QAction::triggered, this, &MainWindow::restoreBackup);
    connect(item("mnurelogin"), &QAction::triggered, this, &MainWindow::logInAgain);
    connect(item("mnuexit"), &QAction::triggered, this, &MainWindow::exitProgram);
    setUpEditMenu();
}

MainWindow::~MainWindow()
{
    if (Undo::stack() == undoStack_)
        Undo::setStack(previousUndoStack_);
}

void MainWindow::setUpEditMenu()
{
    // A new main window is a new session, with its own stack: nothing done before it can be taken back.
    Undo::clear();
    undoStack_ = new QUndoStack(this);
    previousUndoStack_ = Undo::stack();
    Undo::setStack(undoStack_);
    Undo::makeUndoAction(findChild<QAction*>(QStringLiteral("mnuundo")));
}

void MainWindow::startSession()
{
    panel1_->setText(App::curUser);
    App::setStatusPanel(panel2_);
    App::setNotePanel(note_);
    App::setBusy(false);
}

void MainWindow::placeBackground()
{
    background_->setGeometry(0, 0, body_->width(), body_->height());
}

void MainWindow::resizeEvent(QResizeEvent* e)
{
    QMainWindow::resizeEvent(e);
    placeBackground();
}

void MainWindow::showEvent(QShowEvent* e)
{
    QMainWindow::showEvent(e);
    placeBackground();
    if (centred_)
        return;
    centred_ = true;
    if (const QScreen* s = screen())
        move(s->availableGeometry().center() - rect().center());
}

void MainWindow::showAbout()
{
    AboutBox about(this);
    about.exec();
}

void MainWindow::showHelp()
{
    HelpWindow help(this);
    help.exec();
}

void MainWindow::startCalculator()
{
    bool started = false;
#ifdef Q_OS_WIN
    started = Platform::startProgram(QStringLiteral("calc.exe"));
#else
    for (const char* name : kCalculators) {
        const QString path = Platform::findOnPath(QString::fromUtf8(name));
        if (!path.isEmpty() && Platform::startProgram(path)) {
            started = true;
            break;
        }
    }
#endif
    if (!started)
        App::msgBox(QStringLiteral("未能发现系统计算器！"), App::MsgStyle::Information);
}

void MainWindow::backUp()
{
    Safekeeping::backupToChosenFile(this);
}

void MainWindow::restoreBackup()
{
    if (!Safekeeping::restoreChosenBackup(this))
        return;
    // The file has changed under every name and record: back to the login with the restored members.
    relogin_ = true;
    if (login_)
        login_->showAfterRestore();
    close();
}

void MainWindow::logInAgain()
{
    relogin_ = true;
    // The login shows before this window goes, so that the program always has a window.
    if (login_)
        login_->showAgain();
    close();
}

void MainWindow::exitProgram()
{
    close();
}

void MainWindow::closeEvent(QCloseEvent* e)
{
    // Exit and the close box: unloading the login closes the database; then this window goes.
    if (!relogin_ && login_)
        login_->close();
    e->accept();
}
