#include "datafolder.h"

#include "backup.h"
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

Choice chooseForThisRun(const QString& dataOption)
{
    return choose(dataOption, qEnvironmentVariable(kEnvironmentVariable), Platform::programFolder(),
                  QStandardPaths::writableLocation(QStandardPaths::AppDataLocation));
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
    if (c.kind == Kind::Portable || QDir().mkpath(c.folder))
        return true;
    failure = QStringLiteral("不能建立数据文件夹 %1。\n请检查这个位置能否写入，或用 --data 指定另一个文件夹。").arg(native(c.folder));
    return false;
}

FirstStart makeEmptyIfNew(QString& failure)
{
    const Choice c = current();
    if (c.kind == Kind::Portable || holdsBooks(c.folder))
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
