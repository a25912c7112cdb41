#include "syncfile.h"

#include "diskwrites.h"
#include "filepath.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <system_error>

namespace SyncFile {

namespace {

const QByteArray kMagic = QByteArrayLiteral("kinbook-sync 1\n");

const QRegularExpression& namePattern()
{
    static const QRegularExpression re(QStringLiteral("^(.+)-(\\d{8,})\\.kbsync$"));
    return re;
}

}  // namespace

QString fileName(const QString& machine, std::int64_t sequence)
{
    return QStringLiteral("%1-%2%3").arg(machine).arg(sequence, 8, 10, QLatin1Char('0')).arg(kSuffix);
}

bool parseName(const QString& name, QString& machine, std::int64_t& sequence)
{
    const auto m = namePattern().match(name);
    if (!m.hasMatch())
        return false;
    bool ok = false;
    sequence = m.captured(2).toLongLong(&ok);
    machine = m.captured(1);
    return ok && sequence > 0 && isValidMachineName(machine);
}

bool isValidMachineName(const QString& name)
{
    if (name.isEmpty() || name.size() > 20 || name.startsWith(u'.') || name.endsWith(u' ') || name.endsWith(u'.'))
        return false;
    for (const QChar c : name)
        if (c.unicode() < 0x20 || c.unicode() == 0x7f || QStringLiteral("/\\:*?\"<>|").contains(c) || c.category() == QChar::Other_Format)
            return false;
    return true;
}

QByteArray compose(const Header& h, const QByteArray& changeset)
{
    QJsonObject applied;
    for (auto it = h.applied.begin(); it != h.applied.end(); ++it)
        applied.insert(it.key(), qint64(it.value()));
    QJsonObject o;
    o.insert(QStringLiteral("machine"), h.machine);
    o.insert(QStringLiteral("identity"), h.identity);
    o.insert(QStringLiteral("node"), qint64(h.node));
    o.insert(QStringLiteral("sequence"), qint64(h.sequence));
    o.insert(QStringLiteral("stamp"), QString::number(h.stamp));  // beyond a double's exact whole numbers
    o.insert(QStringLiteral("applied"), applied);
    o.insert(QStringLiteral("size"), qint64(changeset.size()));
    o.insert(QStringLiteral("sha256"), QString::fromLatin1(QCryptographicHash::hash(changeset, QCryptographicHash::Sha256).toHex()));
    return kMagic + QJsonDocument(o).toJson(QJsonDocument::Compact) + '\n' + changeset;
}

Parsed parse(const QByteArray& bytes, const QString& name)
{
    Parsed p;
    if (bytes.size() < kMagic.size()) {
        p.state = kMagic.startsWith(bytes) ? State::Incomplete : State::Damaged;
        p.why = QStringLiteral("不是和顺家账的同步文件");
        return p;
    }
    if (!bytes.startsWith(kMagic)) {
        p.why = QStringLiteral("不是和顺家账的同步文件");
        return p;
    }
    const qsizetype end = bytes.indexOf('\n', kMagic.size());
    if (end < 0) {
        // The header has not fully arrived, unless it is already far longer than any header.
        p.state = bytes.size() < 64 * 1024 ? State::Incomplete : State::Damaged;
        p.why = QStringLiteral("文件头不完整");
        return p;
    }
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(bytes.mid(kMagic.size(), end - kMagic.size()), &error);
    const QJsonObject o = doc.object();
    if (error.error != QJsonParseError::NoError || !doc.isObject()) {
        p.why = QStringLiteral("文件头无法读取");
        return p;
    }
    Header& h = p.header;
    h.machine = o.value(QStringLiteral("machine")).toString();
    h.identity = o.value(QStringLiteral("identity")).toString();
    h.node = o.value(QStringLiteral("node")).toInteger(-1);
    h.sequence = o.value(QStringLiteral("sequence")).toInteger(-1);
    bool stampOk = false;
    h.stamp = o.value(QStringLiteral("stamp")).toString().toLongLong(&stampOk);
    const qint64 size = o.value(QStringLiteral("size")).toInteger(-1);
    const QByteArray sha = o.value(QStringLiteral("sha256")).toString().toLatin1();
    bool appliedOk = o.value(QStringLiteral("applied")).isObject();
    const QJsonObject applied = o.value(QStringLiteral("applied")).toObject();
    for (auto it = applied.begin(); it != applied.end(); ++it) {
        const qint64 n = it.value().toInteger(-1);
        if (n < 0 || !isValidMachineName(it.key()))
            appliedOk = false;
        h.applied.insert(it.key(), n);
    }
    QString machine;
    std::int64_t sequence = 0;
    if (!parseName(name, machine, sequence) || machine.compare(h.machine, Qt::CaseInsensitive) != 0 || sequence != h.sequence) {
        p.why = QStringLiteral("文件头写的电脑或序号与文件名不符");
        return p;
    }
    if (h.identity.isEmpty() || h.node <= 0 || !stampOk || h.stamp < 0 || size < 0 || size > kMostBytes || sha.size() != 64
        || !appliedOk) {
        p.why = QStringLiteral("文件头不完整或有误");
        return p;
    }
    const qint64 body = bytes.size() - end - 1;
    if (body < size) {
        p.state = State::Incomplete;
        p.why = QStringLiteral("文件还没有完整收到");
        return p;
    }
    if (body > size) {
        p.why = QStringLiteral("文件比文件头说的长");
        return p;
    }
    p.changeset = bytes.mid(end + 1);
    if (QCryptographicHash::hash(p.changeset, QCryptographicHash::Sha256).toHex() != sha) {
        p.changeset.clear();
        p.why = QStringLiteral("校验和不符，文件已损坏");
        return p;
    }
    p.state = State::Complete;
    p.why.clear();
    return p;
}

Parsed read(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        Parsed p;
        p.state = State::Incomplete;  // held by the sync service, perhaps: tried again next time
        p.why = QStringLiteral("文件无法读取");
        return p;
    }
    if (f.size() > kMostBytes + 64 * 1024) {
        Parsed p;
        p.why = QStringLiteral("文件太大，不是和顺家账的同步文件");
        return p;
    }
    return parse(f.readAll(), QFileInfo(path).fileName());
}

Listing list(const QString& folder)
{
    Listing out;
    const QFileInfoList entries = QDir(folder).entryInfoList({QStringLiteral("*") + kSuffix}, QDir::Files | QDir::NoDotAndDotDot);
    for (const QFileInfo& e : entries) {
        QString machine;
        std::int64_t sequence = 0;
        if (!parseName(e.fileName(), machine, sequence))
            continue;
        const QString key = machine.toCaseFolded();
        out.names.insert(key, machine);
        out.files[key].insert(sequence, e.absoluteFilePath());
    }
    return out;
}

Written writeNew(const QString& folder, const QString& name, const QByteArray& bytes, QString* failure)
{
    const QString target = QDir(folder).filePath(name);
    if (QFileInfo::exists(target))
        return Written::Exists;
    const auto fail = [&](const QString& why) {
        if (failure)
            *failure = why;
        return Written::Failed;
    };
    // Written beside its name, flushed, renamed (never over a file of that name) and the folder
    // flushed; a writer not committed removes what it wrote.
    DiskWrites::Writer writer(fsPath(target));
    if (writer.open())
        return fail(QStringLiteral("同步文件夹 %1 无法写入").arg(QDir::toNativeSeparators(folder)));
    if (writer.write(bytes.constData(), static_cast<std::size_t>(bytes.size())))
        return fail(QStringLiteral("写入同步文件夹时出错（磁盘已满？）"));
    const std::error_code ec = writer.commitNew();
    if (ec == std::errc::file_exists)
        return Written::Exists;
    if (ec)
        return fail(QStringLiteral("同步文件 %1 没能写到磁盘上").arg(name));
    return Written::Done;
}

int removeUnfinished(const QString& folder, const QString& machine)
{
    int removed = 0;
    const QString own = machine.toCaseFolded();
    for (const QString& entry : QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System)) {
        const QString targetName = entry.section(QLatin1Char('.'), 1, -3);
        QString named;
        std::int64_t sequence = 0;
        if (parseName(targetName, named, sequence) && named.toCaseFolded() == own
            && DiskWrites::isTemporaryFor(QFile::encodeName(entry).toStdString(), QFile::encodeName(targetName).toStdString()))
            removed += DiskWrites::remove(fsPath(QDir(folder).filePath(entry))) ? 1 : 0;
    }
    return removed;
}

}  // namespace SyncFile
