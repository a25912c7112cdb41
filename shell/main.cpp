#include "shell/app.h"
#include "shell/datafolder.h"
#include "shell/language.h"
#include "shell/pictures.h"
#include "shell/startup.h"
#include "shell/synccommand.h"
#include "shell/syncwindow.h"

#include <QApplication>
#include <QCommandLineParser>
#include <cstring>
#include <memory>

namespace {

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
    // A run of the sync needs no window system (a scheduled job on a computer nobody is logged in to).
    if (SyncCommand::requested(argc, argv))
        return SyncCommand::run(argc, argv);
    const bool restoreOnly = restoring(argc, argv);
    const std::unique_ptr<QCoreApplication> app(restoreOnly ? new QCoreApplication(argc, argv) : new QApplication(argc, argv));
    // With no organisation name the user's data folder is ~/.local/share/kinbook.
    QCoreApplication::setApplicationName(App::appTitle);
    QCoreApplication::setApplicationVersion(QStringLiteral("%1.%2.%3")
                                                .arg(KINBOOK_VERSION_MAJOR)
                                                .arg(KINBOOK_VERSION_MINOR)
                                                .arg(KINBOOK_VERSION_REVISION));
    if (!restoreOnly)
        QGuiApplication::setDesktopFileName(QStringLiteral("org.kinbook.kinbook"));
    Language::useChinese();  // without Qt's translations Qt's own texts stay English; nothing else changes

    QCommandLineParser options;
    options.setApplicationDescription(QStringLiteral("和顺家账：家庭记账"));
    options.addHelpOption();
    options.addVersionOption();
    const QCommandLineOption data(QStringLiteral("data"),
                                  QStringLiteral("账本所在的文件夹（main.mdb 和 backups/），也可用环境变量 %1 指定。")
                                      .arg(QLatin1String(DataFolder::kEnvironmentVariable)),
                                  QStringLiteral("DIR"));
    const QCommandLineOption checkStart(QStringLiteral("check-start"),
                                        QStringLiteral("检查启动：消息写到标准输出并按“确定”回答，登录窗口显示后立即关闭。"));
    const QCommandLineOption restore(QStringLiteral("restore"),
                                     QStringLiteral("用备份文件 FILE 恢复数据（同“恢复数据…”：先检查，再备份现在的文件），不打开窗口；"
                                                    "成功时退出状态为 0。"),
                                     QStringLiteral("FILE"));
    const QCommandLineOption sync(QStringLiteral("sync"),
                                  QStringLiteral("同步：应用其它电脑的变更，发送这台电脑的变更，列出所做的，然后退出（不打开窗口）。"));
    options.addOption(data);
    options.addOption(checkStart);
    options.addOption(restore);
    options.addOption(sync);
    options.process(*app);
    DataFolder::use(DataFolder::chooseForThisRun(options.value(data), options.isSet(data)));
    if (restoreOnly)
        return Startup::restore(options.value(restore));

    QApplication::setWindowIcon(Pictures::windowIcon());
    App::registerAllWindows();
    SyncService::setAutomatic(true);
    return Startup::run(options.isSet(checkStart) ? Startup::Mode::CheckStart : Startup::Mode::Interactive);
}
