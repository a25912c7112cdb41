#include "app.h"
#include "datafolder.h"
#include "language.h"
#include "pictures.h"
#include "safekeeping.h"
#include "startup.h"
#include "synccommand.h"
#include "syncwindow.h"
#include "session.h"

#include <QApplication>
#include <QCommandLineParser>
#include <algorithm>
#include <cstdio>
#include <memory>

namespace {

// The options that Qt's windowing takes for itself ("-platform xcb", "-style fusion"): they are no
// mistake, and the windows' application removes them before the program's own are read. (Qt's "-sync"
// of X11 is not among them: --sync is the program's own.)
bool isQtOption(const QString& name)
{
    static const QStringList kQt = {
        QStringLiteral("platform"), QStringLiteral("platformpluginpath"), QStringLiteral("platformtheme"),
        QStringLiteral("plugin"), QStringLiteral("qmljsdebugger"), QStringLiteral("qwindowgeometry"),
        QStringLiteral("qwindowicon"), QStringLiteral("qwindowtitle"), QStringLiteral("reverse"), QStringLiteral("session"),
        QStringLiteral("display"), QStringLiteral("geometry"), QStringLiteral("name"), QStringLiteral("title"),
        QStringLiteral("visual"), QStringLiteral("style"), QStringLiteral("stylesheet"), QStringLiteral("widgetcount"),
        QStringLiteral("nograb"), QStringLiteral("dograb")};
    return kQt.contains(name);
}

// The program's options. Read once before the application object is made (whether the run needs a
// display) and once by it (Qt's help, version and errors).
struct CommandLine {
    QCommandLineParser parser;
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    const QCommandLineOption data{QStringLiteral("data"),
                                  QStringLiteral("账本所在的文件夹（main.mdb 和 backups/），也可用环境变量 %1 指定。")
                                      .arg(QLatin1String(DataFolder::kEnvironmentVariable)),
                                  QStringLiteral("DIR")};
    const QCommandLineOption checkStart{QStringLiteral("check-start"),
                                        QStringLiteral("检查启动：消息写到标准输出并按“确定”回答，登录窗口显示后立即关闭。")};
    const QCommandLineOption restore{QStringLiteral("restore"),
                                     QStringLiteral("用备份文件 FILE 恢复数据（同“恢复数据…”：先检查，再备份现在的文件），不打开窗口；"
                                                    "成功时退出状态为 0。"),
                                     QStringLiteral("FILE")};
    const QCommandLineOption sync{QStringLiteral("sync"),
                                  QStringLiteral("同步：应用其它电脑的变更，发送这台电脑的变更，列出所做的，然后退出（不打开窗口）。")};

    CommandLine()
    {
        parser.setApplicationDescription(QStringLiteral("和顺家账：家庭记账"));
        for (const QCommandLineOption* o : {&data, &checkStart, &restore, &sync})
            parser.addOption(*o);
    }
    // The sync, a restore, the help and the version show no window: they run without a display (a
    // scheduled job on a computer nobody is logged in to, a session over ssh). So does a command
    // line with an option that neither the program nor Qt's windowing knows, to say why. Qt's own
    // options ("-platform offscreen") go on to the windows.
    static bool windowless(int argc, char** argv)
    {
        CommandLine early;
        early.parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);  // "-platform" as Qt reads it
        QStringList arguments;
        for (int i = 0; i < argc; ++i)
            arguments << QString::fromLocal8Bit(argv[i]);
        if (!early.parser.parse(arguments)) {
            const QStringList unknown = early.parser.unknownOptionNames();
            return unknown.isEmpty() || !std::all_of(unknown.begin(), unknown.end(), isQtOption);
        }
        for (const QCommandLineOption* o : {&early.help, &early.version, &early.restore, &early.sync})
            if (early.parser.isSet(*o))
                return true;
        return early.parser.isSet(QStringLiteral("help-all"));
    }
};

}  // namespace

int main(int argc, char** argv)
{
    const bool windowless = CommandLine::windowless(argc, argv);
    const std::unique_ptr<QCoreApplication> app(windowless ? new QCoreApplication(argc, argv) : new QApplication(argc, argv));
    // With no organisation name the user's data folder is ~/.local/share/kinbook.
    QCoreApplication::setApplicationName(App::appTitle);
    QCoreApplication::setApplicationVersion(QStringLiteral("%1.%2.%3")
                                                .arg(KINBOOK_VERSION_MAJOR)
                                                .arg(KINBOOK_VERSION_MINOR)
                                                .arg(KINBOOK_VERSION_REVISION));
    if (!windowless)
        QGuiApplication::setDesktopFileName(QStringLiteral("org.kinbook.kinbook"));
    App::setDatabasePath(&DataFolder::databasePath);  // what an export must never overwrite
    App::setBackupBeforeChange(&Safekeeping::backupBeforeChange);
    Language::useChinese();  // without Qt's translations Qt's own texts stay English; nothing else changes

    CommandLine options;
    options.parser.process(*app);  // --help and --version print and end here, as does an unknown option
    const QCommandLineParser& given = options.parser;
    if (given.isSet(options.checkStart) + given.isSet(options.restore) + given.isSet(options.sync) > 1) {
        std::fputs("--check-start、--restore 和 --sync 一次只能用一个。\n", stderr);
        return 1;
    }
    const DataFolder::Choice folder = DataFolder::chooseForThisRun(given.value(options.data), given.isSet(options.data));
    if (given.isSet(options.sync))
        return SyncCommand::run(folder);
    DataFolder::use(folder);
    if (given.isSet(options.restore))
        return Startup::restore(given.value(options.restore));

    QApplication::setWindowIcon(Pictures::windowIcon());
    App::registerAllWindows();
    SyncService::setAutomatic(true);
    return Startup::run(given.isSet(options.checkStart) ? Startup::Mode::CheckStart : Startup::Mode::Interactive);
}
