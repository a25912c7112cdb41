#include "shell/app.h"
#include "shell/datafolder.h"
#include "shell/language.h"
#include "shell/pictures.h"
#include "shell/startup.h"

#include <QApplication>
#include <QCommandLineParser>
#include <algorithm>
#include <cstring>

namespace {

struct Options {
    QCommandLineOption help{QStringLiteral("help")};
    QCommandLineOption version{QStringLiteral("version")};
    QCommandLineOption data{QStringLiteral("data"),
                            QStringLiteral("账本所在的文件夹（main.mdb 和 backups/），也可用环境变量 %1 指定。")
                                .arg(QLatin1String(DataFolder::kEnvironmentVariable)),
                            QStringLiteral("DIR")};
    QCommandLineOption checkStart{QStringLiteral("check-start"),
                                  QStringLiteral("检查启动：消息写到标准输出并按“确定”回答，登录窗口显示后立即关闭。")};
    QCommandLineOption restore{QStringLiteral("restore"),
                               QStringLiteral("用备份文件 FILE 恢复数据（同“恢复数据…”：先检查，再备份现在的文件），不打开窗口；"
                                              "成功时退出状态为 0。"),
                               QStringLiteral("FILE")};

    explicit Options(QCommandLineParser& parser)
    {
        parser.setApplicationDescription(QStringLiteral("和顺家账：家庭记账"));
        help = parser.addHelpOption();
        version = parser.addVersionOption();
        parser.addOption(data);
        parser.addOption(checkStart);
        parser.addOption(restore);
    }
};

// The options that Qt's windowing takes for itself ("-platform xcb", "-style fusion"): they are no
// mistake, and the windows' application removes them before the program's own are read.
bool isQtOption(const QString& name)
{
    static const QStringList kQt = {
        QStringLiteral("platform"), QStringLiteral("platformpluginpath"), QStringLiteral("platformtheme"),
        QStringLiteral("plugin"), QStringLiteral("qmljsdebugger"), QStringLiteral("qwindowgeometry"),
        QStringLiteral("qwindowicon"), QStringLiteral("qwindowtitle"), QStringLiteral("reverse"), QStringLiteral("session"),
        QStringLiteral("display"), QStringLiteral("geometry"), QStringLiteral("name"), QStringLiteral("title"),
        QStringLiteral("visual"), QStringLiteral("style"), QStringLiteral("stylesheet"), QStringLiteral("widgetcount"),
        QStringLiteral("nograb"), QStringLiteral("dograb"), QStringLiteral("sync")};
    return kQt.contains(name);
}

// Whether the command line asks for what is printed without any window (the help, the version, or
// the message of an option not known): that needs no display, and none may be there (over ssh).
bool answeredWithoutWindows(int argc, char** argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);  // "-platform" as Qt reads it
    const Options options(parser);
    if (!parser.parse(arguments)) {
        const QStringList unknown = parser.unknownOptionNames();
        return unknown.isEmpty() || !std::all_of(unknown.begin(), unknown.end(), isQtOption);
    }
    return parser.isSet(options.help) || parser.isSet(QStringLiteral("help-all")) || parser.isSet(options.version);
}

// Restoring from the command line shows no window: it runs without a display.
bool restoring(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--restore") == 0 || std::strncmp(argv[i], "--restore=", 10) == 0)
            return true;
    return false;
}

}  // namespace

int main(int argc, char** argv)
{
    // With no organisation name the user's data folder is ~/.local/share/kinbook.
    QCoreApplication::setApplicationName(App::appTitle);
    QCoreApplication::setApplicationVersion(QStringLiteral("%1.%2.%3")
                                                .arg(KINBOOK_VERSION_MAJOR)
                                                .arg(KINBOOK_VERSION_MINOR)
                                                .arg(KINBOOK_VERSION_REVISION));
    if (answeredWithoutWindows(argc, argv)) {
        const QCoreApplication app(argc, argv);
        Language::useChinese();
        QCommandLineParser parser;
        const Options options(parser);
        parser.process(app);  // prints the help, the version or what is wrong, and ends the program
        return 0;
    }
    if (restoring(argc, argv)) {
        const QCoreApplication app(argc, argv);
        Language::useChinese();
        QCommandLineParser parser;
        const Options options(parser);
        parser.process(app);
        DataFolder::use(DataFolder::chooseForThisRun(parser.value(options.data), parser.isSet(options.data)));
        return Startup::restore(parser.value(options.restore));
    }

    QApplication app(argc, argv);
    QGuiApplication::setDesktopFileName(QStringLiteral("org.kinbook.kinbook"));
    Language::useChinese();  // without Qt's translations Qt's own texts stay English; nothing else changes

    QCommandLineParser parser;
    const Options options(parser);
    parser.process(app);
    DataFolder::use(DataFolder::chooseForThisRun(parser.value(options.data), parser.isSet(options.data)));

    QApplication::setWindowIcon(Pictures::windowIcon());
    App::registerAllWindows();
    return Startup::run(parser.isSet(options.checkStart) ? Startup::Mode::CheckStart : Startup::Mode::Interactive);
}
