// Renders every window of kinbook to PNG files, headless, over sample data:
//   kinbook_screenshots <folder> [empty.mdb]
// The windows are shown off screen, never modally, and grabbed one by one. Message boxes are
// recorded instead of shown, so nothing waits for a click.
#include "dberror.h"
#include "books/picker.h"
#include "shell/about.h"
#include "shell/app.h"
#include "shell/datagrid.h"
#include "shell/help.h"
#include "shell/language.h"
#include "shell/loginwindow.h"
#include "shell/mainwindow.h"
#include "shell/pictures.h"
#include "shell/platform.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPushButton>
#include <QTemporaryDir>
#include <cstdio>
#include <memory>

namespace {

QString g_out;
int g_written = 0;
int g_failed = 0;

// A household's first months: members, the reference lists and a year of records.
void fillSampleData()
{
    QString sql = QStringLiteral(
        "insert into 成员 values ('01', '张建国', '父亲', '123456');"
        "insert into 成员 values ('02', '李秀英', '母亲', '654321');"
        "insert into 成员 values ('03', '张小明', '儿子', '1111');"
        "insert into 收入类型 values ('01', '工资', '每月');"
        "insert into 收入类型 values ('02', '奖金', '年终');"
        "insert into 收入类型 values ('03', '利息', '');"
        "insert into 支出类型 values ('01', '伙食', '');"
        "insert into 支出类型 values ('02', '水电煤气', '');"
        "insert into 支出类型 values ('03', '教育', '学费、书本');"
        "insert into 支出类型 values ('04', '医疗', '');"
        "insert into 投资类型 values ('01', '股票', '');"
        "insert into 投资类型 values ('02', '基金', '');"
        "insert into 银行 values ('01', '工商银行', '6222 0202 0001 1234');"
        "insert into 银行 values ('02', '建设银行', '6217 0000 1000 5678');");
    const int year = App::today().year();
    auto day = [year](int month, int d) { return QStringLiteral("'%1-%2-%3'").arg(year).arg(month, 2, 10, QChar(u'0')).arg(d, 2, 10, QChar(u'0')); };
    for (int m = 1; m <= App::today().month(); ++m) {
        sql += QStringLiteral("insert into 收入帐 values ('01', '01', 6800, %1, '%2月工资', %3);").arg(day(m, 5)).arg(m).arg(m);
        sql += QStringLiteral("insert into 收入帐 values ('02', '01', 5200.5, %1, '', %2);").arg(day(m, 8)).arg(m);
        sql += QStringLiteral("insert into 支出帐 values ('02', '01', 1850.75, %1, '超市', %2);").arg(day(m, 12)).arg(m);
        sql += QStringLiteral("insert into 支出帐 values ('01', '02', 326.4, %1, '', %2);").arg(day(m, 20)).arg(m);
        if (m % 3 == 0)
            sql += QStringLiteral("insert into 投资帐 values ('01', '02', 2000, %1, '定投', %2);").arg(day(m, 25)).arg(m);
        sql += QStringLiteral("insert into 银行帐 values ('01', '01', '存入', '活期', 3000, %1);").arg(day(m, 6));
    }
    sql += QStringLiteral("insert into 支出帐 values ('03', '03', 4500, %1, '学费', 2);").arg(day(2, 28));
    sql += QStringLiteral("insert into 银行帐 values ('02', '02', '存入', '定期', 20000, %1);").arg(day(1, 10));
    sql += QStringLiteral("insert into 银行帐 values ('01', '01', '支出', '活期', 1500, %1);").arg(day(1, 30));
    sql += QStringLiteral("insert into 负债 values (%1, '王叔叔', '欠人', 10000, '已还2000', 8000);").arg(day(1, 15));
    sql += QStringLiteral("insert into 负债 values (%1, '刘阿姨', '人欠', 3000, '', 3000);").arg(day(1, 18));
    App::conn.execute(sql);
}

void save(const QPixmap& picture, const QString& name)
{
    const QString path = g_out + u'/' + name + QStringLiteral(".png");
    if (!picture.save(path)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        ++g_failed;
        return;
    }
    ++g_written;
    std::printf("%s\n", qPrintable(path));
}

void shoot(QWidget* w, const QString& name)
{
    w->show();
    for (int i = 0; i < 3; ++i)
        QCoreApplication::processEvents();
    save(w->grab(), name);
}

// The main window with one of its menus dropped down, as one picture.
void shootMenu(MainWindow* main, const QString& menuName, const QString& name)
{
    auto* menu = main->findChild<QMenu*>(menuName);
    if (!menu)
        return;
    QAction* top = menu->menuAction();
    const QRect item = main->menuBar()->actionGeometry(top);
    const QPoint at = main->menuBar()->mapTo(main, item.bottomLeft());
    menu->popup(main->mapToGlobal(at));
    QCoreApplication::processEvents();
    QPixmap picture = main->grab();
    QPainter g(&picture);
    g.drawPixmap(at, menu->grab());
    g.end();
    menu->hide();
    save(picture, name);
}

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setApplicationName(App::appTitle);
    QApplication::setWindowIcon(Pictures::windowIcon());
    Language::useChinese();
    if (argc < 2) {
        std::fprintf(stderr, "usage: kinbook_screenshots <folder> [empty.mdb]\n");
        return 2;
    }
    g_out = QString::fromLocal8Bit(argv[1]);
    const QString empty = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QStringLiteral(KINBOOK_EMPTY_DB);
    if (!QDir().mkpath(g_out)) {
        std::fprintf(stderr, "cannot make %s\n", qPrintable(g_out));
        return 1;
    }
    QTemporaryDir folder;
    if (!folder.isValid() || !QFile::copy(empty, folder.path() + QStringLiteral("/main.mdb"))) {
        std::fprintf(stderr, "cannot copy %s\n", qPrintable(empty));
        return 1;
    }
    QFile::setPermissions(folder.path() + QStringLiteral("/main.mdb"), QFile::ReadOwner | QFile::WriteOwner);
    Platform::setProgramFolder(folder.path());
    App::scriptMessages(true);
    App::registerAllWindows();
    if (!App::openConn())
        return 1;
    try {
        fillSampleData();
    } catch (const DbError& e) {
        std::fprintf(stderr, "sample data: %s\n", qPrintable(e.userText()));
        return 1;
    }
    App::curUser = QStringLiteral("当前用户：张建国");

    // The main window first: it owns the status panel that the data windows report to.
    auto* main = new MainWindow;
    shoot(main, QStringLiteral("frmmain"));
    shootMenu(main, QStringLiteral("mnusystem"), QStringLiteral("frmmain_menu"));

    for (const QString& name : MainWindow::dataWindowNames()) {
        if (!App::hasWindow(name))
            continue;
        QDialog* w = App::createWindow(name, main);
        if (!w)
            continue;
        shoot(w, name);
        w->close();
        delete w;
    }
    {
        // The income query searching the whole ledger: a note and an amount range, the latest first.
        std::unique_ptr<QDialog> w(App::createWindow(QStringLiteral("frmquery_sr"), main));
        auto* note = w ? w->findChild<QLineEdit*>(QStringLiteral("txtNote")) : nullptr;
        auto* from = w ? w->findChild<QLineEdit*>(QStringLiteral("txtFrom")) : nullptr;
        auto* run = w ? w->findChild<QPushButton*>(QStringLiteral("CmdqueryNow")) : nullptr;
        auto* grid = w ? w->findChild<DataGrid*>(QStringLiteral("DG")) : nullptr;
        if (note && from && run && grid) {
            note->setText(QStringLiteral("工资"));
            from->setText(QStringLiteral("5000"));
            run->click();
            grid->sortByHeader(3);
            grid->sortByHeader(3);
            shoot(w.get(), QStringLiteral("frmquery_sr_search"));
        } else {
            std::fprintf(stderr, "frmquery_sr: no search boxes\n");
            ++g_failed;
        }
    }
    {
        App::findTable = QStringLiteral("成员");
        App::findIdField = QStringLiteral("ID");
        App::findNameField = QStringLiteral("姓名");
        Picker find(main);
        shoot(&find, QStringLiteral("frmFind"));
    }
    {
        AboutBox about(main);
        shoot(&about, QStringLiteral("frmAbout"));
    }
    {
        HelpWindow help(main);
        shoot(&help, QStringLiteral("frmHelp"));
    }
    delete main;

    // The login last: unloading it closes the connection.
    auto* login = new LoginWindow;
    if (auto* names = login->findChild<QComboBox*>(QStringLiteral("cbouser")))
        names->setCurrentIndex(0);
    shoot(login, QStringLiteral("frmlogin"));
    delete login;

    for (const auto& m : App::shownMessages())
        std::fprintf(stderr, "message: %s\n", qPrintable(m.text));
    std::printf("%d pictures\n", g_written);
    // A picture that could not be written fails the run, so that no script takes it for done.
    return g_failed ? 1 : 0;
}
