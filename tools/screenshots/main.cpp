// Renders every window of kinbook to PNG files, headless, over sample data:
//   kinbook_screenshots <folder> [empty.mdb]
// The windows are shown off screen, never modally, and grabbed one by one. Message boxes are
// recorded instead of shown, so nothing waits for a click.
#include "dberror.h"
#include "ledgerrows.h"
#include "duewindow.h"
#include "picker.h"
#include "correctionform.h"
#include "about.h"
#include "app.h"
#include "datagrid.h"
#include "help.h"
#include "language.h"
#include "loginwindow.h"
#include "scriptedanswers.h"
#include "mainwindow.h"
#include "pictures.h"
#include "platform.h"
#include "session.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <memory>

namespace {

QString g_out;
QString g_empty;  // the empty household file the pictures start from
// The messages and file dialogs of the windows shown, answered from a script.
ScriptedAnswers g_script;
int g_written = 0;
int g_failed = 0;

// A household's first months: members, the reference lists and a year of records.
void fillSampleData()
{
    QString sql = QStringLiteral(
        "insert into 成员 (ID, 姓名, 关系, 密码) values ('01', '张建国', '父亲', '123456');"
        "insert into 成员 (ID, 姓名, 关系, 密码) values ('02', '李秀英', '母亲', '654321');"
        "insert into 成员 (ID, 姓名, 关系, 密码) values ('03', '张小明', '儿子', '1111');"
        "insert into 收入类型 (ID, 类型, 备注) values ('01', '工资', '每月');"
        "insert into 收入类型 (ID, 类型, 备注) values ('02', '奖金', '年终');"
        "insert into 收入类型 (ID, 类型, 备注) values ('03', '利息', '');"
        "insert into 支出类型 (ID, 类型, 备注) values ('01', '伙食', '');"
        "insert into 支出类型 (ID, 类型, 备注) values ('02', '水电煤气', '');"
        "insert into 支出类型 (ID, 类型, 备注) values ('03', '教育', '学费、书本');"
        "insert into 支出类型 (ID, 类型, 备注) values ('04', '医疗', '');"
        "insert into 投资类型 (ID, 类型, 备注) values ('01', '股票', '');"
        "insert into 投资类型 (ID, 类型, 备注) values ('02', '基金', '');"
        "insert into 银行 (ID, 开户行, 帐号) values ('01', '工商银行', '6222 0202 0001 1234');"
        "insert into 银行 (ID, 开户行, 帐号) values ('02', '建设银行', '6217 0000 1000 5678');");
    const int year = App::today().year();
    auto day = [year](int month, int d) { return QStringLiteral("'%1-%2-%3'").arg(year).arg(month, 2, 10, QChar(u'0')).arg(d, 2, 10, QChar(u'0')); };
    for (int m = 1; m <= App::today().month(); ++m) {
        sql += QStringLiteral("insert into 收入帐 (成员ID, 类型ID, 金额, 日期, 备注, 月份) values ('01', '01', 6800, %1, '%2月工资', %3);").arg(day(m, 5)).arg(m).arg(m);
        sql += QStringLiteral("insert into 收入帐 (成员ID, 类型ID, 金额, 日期, 备注, 月份) values ('02', '01', 5200.5, %1, '', %2);").arg(day(m, 8)).arg(m);
        sql += QStringLiteral("insert into 支出帐 (成员ID, 类型ID, 金额, 日期, 备注, 月份) values ('02', '01', 1850.75, %1, '超市', %2);").arg(day(m, 12)).arg(m);
        sql += QStringLiteral("insert into 支出帐 (成员ID, 类型ID, 金额, 日期, 备注, 月份) values ('01', '02', 326.4, %1, '', %2);").arg(day(m, 20)).arg(m);
        if (m % 3 == 0)
            sql += QStringLiteral("insert into 投资帐 (成员ID, 类型ID, 金额, 日期, 备注, 月份) values ('01', '02', 2000, %1, '定投', %2);").arg(day(m, 25)).arg(m);
        sql += QStringLiteral("insert into 银行帐 (银行ID, 成员ID, 存或取, 类型, 金额, 日期) values ('01', '01', '存入', '活期', 3000, %1);").arg(day(m, 6));
    }
    sql += QStringLiteral("insert into 支出帐 (成员ID, 类型ID, 金额, 日期, 备注, 月份) values ('03', '03', 4500, %1, '学费', 2);").arg(day(2, 28));
    sql += QStringLiteral("insert into 银行帐 (银行ID, 成员ID, 存或取, 类型, 金额, 日期) values ('02', '02', '存入', '定期', 20000, %1);").arg(day(1, 10));
    sql += QStringLiteral("insert into 银行帐 (银行ID, 成员ID, 存或取, 类型, 金额, 日期) values ('01', '01', '支出', '活期', 1500, %1);").arg(day(1, 30));
    sql += QStringLiteral("insert into 负债 (借款日期, 债权人, 类型, 金额, 还款记录, 余额) values (%1, '王叔叔', '欠人', 10000, '已还2000', 8000);").arg(day(1, 15));
    sql += QStringLiteral("insert into 负债 (借款日期, 债权人, 类型, 金额, 还款记录, 余额) values (%1, '刘阿姨', '人欠', 3000, '', 3000);").arg(day(1, 18));
    // Budgets (food over, utilities near) and recurring records begun last month, some of them due.
    sql += QStringLiteral(
        "insert into 预算 values ('', '01', '', 1800), ('', '02', '', 400), ('', '03', '', 5000), ('', '04', '', 300),"
        " ('02', '01', '', 2000);"
        "insert into 定期收支 (帐, 成员ID, 类型ID, 银行ID, 存或取, 金额, 备注, 周期, 间隔, 日, 开始日期) values"
        " ('收入帐', '01', '01', null, null, 6800, '工资', '每月', 1, 5, date('now', 'localtime', 'start of month', '-1 month')),"
        " ('支出帐', '02', '02', null, null, 326.4, '水电煤气', '每月', 1, 20, date('now', 'localtime', 'start of month', '-1 month')),"
        " ('银行帐', '01', '活期', '01', '存入', 3000, '', '每月', 1, 6, date('now', 'localtime', 'start of month', '-1 month')),"
        " ('支出帐', '03', '03', null, null, 120, '钢琴课', '每周', 2, null, date('now', 'localtime', '-20 days')),"
        " ('支出帐', '09', '04', null, null, 45, '体检', '每年', 1, null, date('now', 'localtime', '-3 days'));");
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


// A small WeChat Pay bill of this month for the import's preview; two of its counterparties have the
// types an earlier import gave them.
QString writeSampleBill(const QString& folder)
{
    const QDate d = App::today();
    auto at = [&d](int day, const char* time) {
        return QStringLiteral("%1-%2-%3 %4").arg(d.year()).arg(d.month(), 2, 10, QChar(u'0')).arg(std::min(day, d.day()), 2, 10, QChar(u'0')).arg(QLatin1String(time));
    };
    QString t = QStringLiteral("微信支付账单明细\n");
    for (int i = 2; i <= 16; ++i)
        t += QStringLiteral("说明%1\n").arg(i);
    t += QStringLiteral("交易时间,交易类型,交易对方,商品,收/支,金额(元),支付方式,当前状态,交易单号,商户单号,备注\n");
    const char* rows[][6] = {
        {"1", "12:05:10", "美团外卖", "午餐 黄焖鸡米饭", "支出", "¥32.50,零钱,支付成功"},
        {"2", "08:31:44", "滴滴出行", "快车 公司至家", "支出", "¥18.60,零钱,支付成功"},
        {"3", "19:02:00", "国家电网", "电费", "支出", "¥215.30,招商银行,支付成功"},
        {"4", "10:15:20", "李秀英", "转账", "收入", "¥500.00,/,已收钱"},
        {"5", "09:00:00", "零钱提现", "/", "/", "¥1000.00,招商银行,提现已到账"},
        {"6", "20:45:13", "京东商城", "台灯", "支出", "¥89.00,零钱,已全额退款"},
        {"7", "13:20:00", "超市", "订单", "支出", "¥56.80,零钱,已关闭"},
        {"8", "12:10:00", "美团外卖", "晚餐", "支出", "¥41.00,零钱,支付成功"},
    };
    int n = 0;
    for (const auto& r : rows)
        t += QStringLiteral("%1,商户消费,%2,%3,%4,%5,42000000%6\t,\t,/\n")
                 .arg(at(QByteArray(r[0]).toInt() * 3, r[1]), QString::fromUtf8(r[2]), QString::fromUtf8(r[3]), QString::fromUtf8(r[4]),
                      QString::fromUtf8(r[5]))
                 .arg(++n);
    App::conn.execute(QStringLiteral("insert into 导入对方类型 values ('支出', '美团外卖', '01'), ('支出', '国家电网', '02')"));
    const QString path = folder + QStringLiteral("/微信支付账单.csv");
    QFile f(path);
    if (f.open(QIODevice::WriteOnly))
        f.write(QByteArray("\xEF\xBB\xBF") + t.toUtf8());
    return path;
}

// Presses the window's member lookup and " 确认 " in the picker at once.
void pickFirstMember(QWidget* w)
{
    QTimer::singleShot(0, [] {
        if (auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
            if (auto* ok = d->findChild<QAction*>(QStringLiteral("ok")))
                ok->trigger();
    });
    if (auto* b = w->findChild<QAbstractButton*>(QStringLiteral("cmdfindt")))
        b->click();
}

void press(QWidget* w, const QString& button)
{
    if (auto* b = w->findChild<QAbstractButton*>(button))
        b->click();
    QCoreApplication::processEvents();
}

// The first page of a report's PDF as a picture, rendered by poppler's pdftoppm.
void shootPdfPage(QWidget* w, const QString& name)
{
    QTemporaryDir dir;
    const QString pdf = dir.path() + QStringLiteral("/report.pdf");
    g_script.queueFileChoice(pdf);
    press(w, QStringLiteral("cmdPdf"));
    QProcess render;
    render.start(QStringLiteral("pdftoppm"), {QStringLiteral("-png"), QStringLiteral("-r"), QStringLiteral("70"),
                                              QStringLiteral("-singlefile"), pdf, dir.path() + QStringLiteral("/page")});
    if (!render.waitForFinished(60000) || render.exitCode() != 0) {
        std::fprintf(stderr, "cannot render %s with pdftoppm (poppler-utils)\n", qPrintable(pdf));
        ++g_failed;
        return;
    }
    save(QPixmap(dir.path() + QStringLiteral("/page.png")), name);
}

// What a report window shows once its figures are asked for: the year's summary and chart, the
// asset position, the ring chart of a query, and a report's page on paper.
void shootResults(QDialog* w, const QString& name)
{
    if (name == QLatin1String("frmYear") || name == QLatin1String("frmcurt")) {
        press(w, QStringLiteral("Command1"));
        shoot(w, name + QStringLiteral("_chart"));
    }
    if (name == QLatin1String("frmYear"))
        shootPdfPage(w, QStringLiteral("frmYear_pdf"));
    if (name == QLatin1String("frmquery_zc")) {
        press(w, QStringLiteral("cmdChart"));
        if (auto* ring = w->findChild<QDialog*>(QStringLiteral("frmChart")))
            shoot(ring, name + QStringLiteral("_chart"));
    }
}

}  // namespace

// A copy of the empty file in `folder`, opened as the program's, filled with the sample books; one
// record deleted, so that the recycle bin has something to show. 0, or the exit status of a failure.
int openSampleBooks(QTemporaryDir& folder)
{
    const QString empty = g_empty;
    if (!folder.isValid() || !QFile::copy(empty, folder.path() + QStringLiteral("/main.mdb"))) {
        std::fprintf(stderr, "cannot copy %s\n", qPrintable(empty));
        return 1;
    }
    QFile::setPermissions(folder.path() + QStringLiteral("/main.mdb"), QFile::ReadOwner | QFile::WriteOwner);
    Platform::setProgramFolder(folder.path());
    App::setAnswerer(&g_script);
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
    // One record deleted, so that the recycle bin has something to show.
    try {
        LedgerRows::moveToBin(App::conn, QStringLiteral("支出帐"), 1, QDateTime::currentDateTime());
    } catch (const DbError& e) {
        std::fprintf(stderr, "sample deletion: %s\n", qPrintable(e.userText()));
    }
    return 0;
}

// Every window the menus open, and the import's preview of a sample bill (`folder` holds it).
void shootDataWindows(MainWindow* main, const QString& folder)
{
    g_script.queueFileChoice(writeSampleBill(folder));
    for (const QString& name : MainWindow::dataWindowNames()) {
        if (!App::hasWindow(name))
            continue;
        QDialog* w = App::createWindow(name, App::store(), main);
        if (!w)
            continue;
        if (name == QLatin1String("frmImport"))
            pickFirstMember(w);
        shoot(w, name);
        shootResults(w, name);
        w->close();
        delete w;
    }
}

// The windows no menu opens: the due list, the correction form, the search, the picker, About, Help.
void shootOtherWindows(MainWindow* main)
{
    if (QDialog* due = DueWindow::showIfDue(App::store(), main)) {
        // What a login finds due of the recurring records.
        shoot(due, QStringLiteral("frmDue"));
        delete due;
    }
    {
        // Correcting a posted record: the form over the first income record.
        if (const auto values = LedgerRows::read(App::conn, QStringLiteral("收入帐"), 1)) {
            CorrectionForm form(App::store(), Ledger::Income, *values, {}, main);
            shoot(&form, QStringLiteral("frmCorrect"));
        }
    }
    {
        // The income query searching the whole ledger: a note and an amount range, the latest first.
        std::unique_ptr<QDialog> w(App::createWindow(QStringLiteral("frmquery_sr"), App::store(), main));
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
        Picker find(App::store(), ReferenceList::Members, main);
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
}

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
    g_empty = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QStringLiteral(KINBOOK_EMPTY_DB);
    if (!QDir().mkpath(g_out)) {
        std::fprintf(stderr, "cannot make %s\n", qPrintable(g_out));
        return 1;
    }
    QTemporaryDir folder;
    if (const int failed = openSampleBooks(folder))
        return failed;

    // The main window first: it owns the status panel that the data windows report to.
    auto* main = new MainWindow;
    shoot(main, QStringLiteral("frmmain"));
    shootMenu(main, QStringLiteral("mnusystem"), QStringLiteral("frmmain_menu"));
    shootDataWindows(main, folder.path());
    shootOtherWindows(main);
    delete main;

    // The login last: unloading it closes the connection.
    auto* login = new LoginWindow;
    if (auto* names = login->findChild<QComboBox*>(QStringLiteral("cbouser")))
        names->setCurrentIndex(0);
    shoot(login, QStringLiteral("frmlogin"));
    delete login;

    for (const auto& m : g_script.messages())
        std::fprintf(stderr, "message: %s\n", qPrintable(m.text));
    std::printf("%d pictures\n", g_written);
    // A picture that could not be written fails the run, so that no script takes it for done.
    return g_failed ? 1 : 0;
}
