#include "shell/app.h"
#include "shell/datafolder.h"
#include "shell/language.h"
#include "shell/pictures.h"
#include "shell/startup.h"

#include <QApplication>
#include <QCommandLineParser>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    // With no organisation name the user's data folder is ~/.local/share/kinbook.
    QApplication::setApplicationName(App::appTitle);
    QApplication::setApplicationVersion(QStringLiteral("%1.%2.%3")
                                            .arg(KINBOOK_VERSION_MAJOR)
                                            .arg(KINBOOK_VERSION_MINOR)
                                            .arg(KINBOOK_VERSION_REVISION));
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
    options.addOption(data);
    options.addOption(checkStart);
    options.process(app);
    DataFolder::use(DataFolder::chooseForThisRun(options.value(data)));

    QApplication::setWindowIcon(Pictures::windowIcon());
    App::registerAllWindows();
    return Startup::run(options.isSet(checkStart) ? Startup::Mode::CheckStart : Startup::Mode::Interactive);
}
