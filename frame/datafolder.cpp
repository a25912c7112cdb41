#include "datafolder.h"

#include "backup.h"
#include "diskwrites.h"
#include "emptyfile.h"
#include "platform.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <optional>

namespace {

std::optional<DataFolder::Choice> g_choice;

QString cleaned(const QString& folder)
{
    return QDir::cleanPath(QDir(folder).absolutePath());
}

bool holdsBooks(const QString& folder)
{
    return QFileInfo::exists(folder + QStringLiteral("/main.mdb")) || !Backup::listDated(folder + QStringLiteral("/backups")).isEmpty();
}

QString native(const QString& path)
{
    return QDir::toNativeSeparators(path);
}

}  // namespace

namespace DataFolder {

Choice choose(const QString& dataOption, const QString& environment, const QString& programFolder,
              const QString& personalFolder)
{
    for (const QString& named : {dataOption, environment})
        if (!named.trimmed().isEmpty())
            return Choice{cleaned(named), Kind::Named};
    if (holdsBooks(programFolder))
        return Choice{cleaned(programFolder), Kind::Portable};
    return Choice{cleaned(personalFolder), Kind::Personal};
}

Choice checked(const Choice& choice, bool dataGiven, const QString& dataOption, const std::optional<QString>& home,
               const QString& dataHome)
{
    Choice refused{QString(), Kind::Refused, QString()};
    if (dataGiven && dataOption.trimmed().isEmpty()) {
        refused.refusal = QStringLiteral("--data 后面没有写文件夹。请写明账本所在的文件夹，例如 --data ~/账本，"
                                         "或者不用 --data。");
        return refused;
    }
    if (choice.kind != Kind::Personal || QDir::isAbsolutePath(dataHome))
        return choice;
    const QString advice = QStringLiteral("请把环境变量 HOME 设为当前用户的主文件夹，或用 --data 指定账本所在的文件夹"
                                          "（例如 --data ~/账本）。");
    if (!home || home->isEmpty())
        refused.refusal = QStringLiteral("没有设置环境变量 HOME（当前用户的主文件夹），不知道账本应放在哪里，所以什么也没有写。\n")
                          + advice;
    else if (!QFileInfo(*home).isDir())
        refused.refusal = QStringLiteral("环境变量 HOME 指向的文件夹 %1 不存在，账本不能放在那里，所以什么也没有写。\n")
                              .arg(native(*home))
                          + advice;
    return refused.refusal.isEmpty() ? choice : refused;
}

Choice chooseForThisRun(const QString& dataOption, bool dataGiven)
{
    const Choice choice = choose(dataOption, qEnvironmentVariable(kEnvironmentVariable), Platform::programFolder(),
                                 QStandardPaths::writableLocation(QStandardPaths::AppDataLocation));
    std::optional<QString> home;
    if (qEnvironmentVariableIsSet("HOME"))
        home = qEnvironmentVariable("HOME");
#ifdef Q_OS_WIN
    // Windows keeps the user's data folder in the profile, not under HOME.
    if (choice.kind == Kind::Personal)
        home = QDir::homePath();
#endif
    return checked(choice, dataGiven, dataOption, home, qEnvironmentVariable("XDG_DATA_HOME"));
}

void use(const Choice& choice)
{
    g_choice = choice;
}

void reset()
{
    g_choice.reset();
}

Choice current()
{
    return g_choice ? *g_choice : Choice{Platform::programFolder(), Kind::Portable};
}

QString folder()
{
    return current().folder;
}

QString databasePath()
{
    return folder() + QStringLiteral("/main.mdb");
}

bool makeFolder(QString& failure)
{
    const Choice c = current();
    if (c.kind == Kind::Refused) {
        failure = c.refusal;
        return false;
    }
    if (c.kind == Kind::Portable || !DiskWrites::makeFolders(QFile::encodeName(c.folder).toStdString()))
        return true;
    failure = QStringLiteral("不能建立数据文件夹 %1。\n请检查这个位置能否写入，或用 --data 指定另一个文件夹。").arg(native(c.folder));
    return false;
}

FirstStart makeEmptyIfNew(QString& failure)
{
    const Choice c = current();
    if (c.kind == Kind::Portable || c.kind == Kind::Refused || holdsBooks(c.folder))
        return FirstStart::NotNeeded;
    const QString schema = schemaText();
    std::string error = "the schema carried by the program is missing";
    if (!schema.isEmpty() && EmptyFile::make(schema.toStdString(), QFile::encodeName(databasePath()).toStdString(), error))
        return FirstStart::Made;
    failure = QStringLiteral("不能在数据文件夹 %1 里建立新的账本（%2）。\n请检查这个位置能否写入和磁盘空间，或用 --data 指定另一个文件夹。")
                  .arg(native(c.folder), QString::fromLocal8Bit(error));
    return FirstStart::Failed;
}

}  // namespace DataFolder

// Outside any namespace, as Qt's resource macro requires.
static void loadResources()
{
    Q_INIT_RESOURCE(resources);
}

namespace DataFolder {

QString schemaText()
{
    loadResources();
    QFile file(QStringLiteral(":/schema.sql"));
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(file.readAll());
}

}  // namespace DataFolder
