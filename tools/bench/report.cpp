#include "report.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QRegularExpression>
#include <QSysInfo>
#include <QThread>
#include <cmath>
#include <cstdio>
#include <sqlite3.h>

namespace Bench {

namespace {

QString firstLine(const QString& file, const QString& key)
{
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        return QString();
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith(key.toUtf8())) {
            const QString v = QString::fromUtf8(line.mid(key.size()));
            return v.section(u'=', -1).section(u':', -1).trimmed().remove(u'"');
        }
    return QString();
}

QString readTrimmed(const QString& file)
{
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()).trimmed() : QString();
}

// "32K" from sysfs as "32 KiB", "32768K" as "32 MiB".
QString cacheSize(const QString& sysfs)
{
    if (sysfs.endsWith(u'K')) {
        const int kib = sysfs.chopped(1).toInt();
        return kib >= 1024 && kib % 1024 == 0 ? QStringLiteral("%1 MiB").arg(kib / 1024) : QStringLiteral("%1 KiB").arg(kib);
    }
    return sysfs;
}

QString ms(const Spread& s)
{
    if (s.empty())
        return QStringLiteral("n/a");
    return QStringLiteral("%1 / %2 / %3").arg(s.min(), 0, 'f', 1).arg(s.median(), 0, 'f', 1).arg(s.max(), 0, 'f', 1);
}

// A figure of a saved table: its ratio, or its project median where it has no floor.
struct Saved {
    double ratio = -1;
    double project = -1;
};

double medianOf(const QString& minMedianMax)
{
    const QStringList parts = minMedianMax.split(u'/');
    bool ok = false;
    const double v = parts.size() == 3 ? parts[1].trimmed().toDouble(&ok) : -1;
    return ok ? v : -1;
}

}  // namespace

QString machine()
{
    return QStringLiteral("%1, %2 cores, %3, SQLite %4, Qt %5")
        .arg(firstLine(QStringLiteral("/proc/cpuinfo"), QStringLiteral("model name")))
        .arg(QThread::idealThreadCount())
        .arg(firstLine(QStringLiteral("/etc/os-release"), QStringLiteral("PRETTY_NAME")))
        .arg(QString::fromUtf8(sqlite3_libversion()), QString::fromUtf8(qVersion()));
}

QString cachesAndKernel()
{
    QStringList caches;
    const QDir dir(QStringLiteral("/sys/devices/system/cpu/cpu0/cache"));
    for (const QString& index : dir.entryList({QStringLiteral("index*")}, QDir::Dirs, QDir::Name)) {
        const QString at = dir.filePath(index) + u'/';
        const QString type = readTrimmed(at + QStringLiteral("type"));
        const QString kind = type == QLatin1String("Data") ? QStringLiteral("d") : type == QLatin1String("Instruction") ? QStringLiteral("i") : QString();
        caches << QStringLiteral("L%1%2 %3").arg(readTrimmed(at + QStringLiteral("level")), kind, cacheSize(readTrimmed(at + QStringLiteral("size"))));
    }
    return QStringLiteral("%1; kernel %2 %3")
        .arg(caches.isEmpty() ? QStringLiteral("caches unknown") : caches.join(QStringLiteral(", ")), QSysInfo::kernelType(),
             QSysInfo::kernelVersion());
}

void printReport(const std::vector<Row>& table, const std::vector<Memory>& memory)
{
    std::printf("Machine: %s\nCaches: %s\n\n", qPrintable(machine()), qPrintable(cachesAndKernel()));
    std::printf("| work | records | project ms: min / median / max | as written ms | floor ms: min / median / max "
                "| project / floor | ratio spread | result |\n");
    std::printf("|---|---:|---:|---:|---:|---:|---:|---|\n");
    QStringList warnings;
    for (const Row& r : table) {
        if (r.project.empty() && r.floor.empty())
            continue;  // not measured (--only)
        QString ratio = QStringLiteral("n/a"), spread = QStringLiteral("n/a");
        if (!r.ratio.empty()) {
            const double m = r.ratio.median();
            const double sp = (r.ratio.max() - r.ratio.min()) / m;
            ratio = QString::number(m, 'f', 2);
            spread = QStringLiteral("%1 %").arg(sp * 100, 0, 'f', 0);
            if (sp > 0.20)
                warnings << QStringLiteral("%1 at %2 records: the ratio spreads %3 % over %4 runs (%5 to %6)")
                                .arg(r.work)
                                .arg(r.size)
                                .arg(sp * 100, 0, 'f', 0)
                                .arg(r.ratio.runs.size())
                                .arg(r.ratio.min(), 0, 'f', 2)
                                .arg(r.ratio.max(), 0, 'f', 2);
        }
        std::printf("| %s | %d | %s | %s | %s | %s | %s | %s |\n", qPrintable(r.work), r.size, qPrintable(ms(r.project)),
                    r.written.empty() ? "n/a" : qPrintable(QString::number(r.written.median(), 'f', 1)),
                    qPrintable(ms(r.floor)), qPrintable(ratio), qPrintable(spread), qPrintable(r.note));
    }
    std::printf("\n| records | rows loaded | heap kept per record beyond its texts, bytes | of which the result's cells "
                "| peak resident growth while loading beyond its texts, bytes per record |\n|---:|---:|---:|---:|---:|\n");
    for (const Memory& m : memory)
        std::printf("| %d | %d | %.1f | %.1f | %s |\n", m.size, m.rows, m.kept, m.cells,
                    m.peak < 0 ? "n/a" : qPrintable(QString::number(m.peak, 'f', 1)));
    for (const QString& w : warnings)
        std::fprintf(stderr, "bench: warning: %s\n", qPrintable(w));
    if (!warnings.isEmpty())
        std::printf("\nWarning: %lld figure(s) spread over 20 %% from run to run; the machine was not quiet.\n",
                    static_cast<long long>(warnings.size()));
}

int checkAgainst(const QString& file, const std::vector<Row>& table, double tolerance)
{
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly)) {
        std::printf("\nCheck: cannot read %s\n", qPrintable(file));
        return -1;
    }
    QHash<QString, Saved> saved;
    QString savedMachine, savedCaches;
    for (const QString& line : QString::fromUtf8(f.readAll()).split(u'\n')) {
        const QString t = line.trimmed().remove(QRegularExpression(QStringLiteral("^>\\s*")));
        if (t.startsWith(QLatin1String("Machine:")))
            savedMachine = t.mid(8).trimmed();
        if (t.startsWith(QLatin1String("Caches:")))
            savedCaches = t.mid(7).trimmed();
        const QStringList cells = t.split(u'|');
        if (cells.size() != 10 || !t.startsWith(u'|')) {
            if (!saved.isEmpty())
                break;  // the first table of figures is the one compared with
            continue;
        }
        bool sized = false;
        const int size = cells[2].trimmed().toInt(&sized);
        if (!sized)
            continue;
        Saved s;
        bool ok = false;
        const double ratio = cells[6].trimmed().toDouble(&ok);
        s.ratio = ok ? ratio : -1;
        s.project = medianOf(cells[3]);
        saved.insert(cells[1].trimmed() + u'@' + QString::number(size), s);
    }
    if (saved.isEmpty()) {
        std::printf("\nCheck: %s holds no table of figures\n", qPrintable(file));
        return -1;
    }
    std::printf("\nCompared with %s (%lld figures saved)\nSaved machine: %s\nSaved caches: %s\nThis machine: %s\nThis machine's caches: %s\n\n",
                qPrintable(file), static_cast<long long>(saved.size()), qPrintable(savedMachine.isEmpty() ? QStringLiteral("not said") : savedMachine),
                qPrintable(savedCaches.isEmpty() ? QStringLiteral("not said") : savedCaches), qPrintable(machine()),
                qPrintable(cachesAndKernel()));
    int moved = 0, compared = 0;
    QStringList lines;
    for (const Row& r : table) {
        const auto it = saved.constFind(r.work + u'@' + QString::number(r.size));
        if (it == saved.constEnd())
            continue;
        const bool byRatio = it->ratio > 0 && !r.ratio.empty();
        const double was = byRatio ? it->ratio : it->project;
        const double now = byRatio ? r.ratio.median() : (r.project.empty() ? -1 : r.project.median());
        // Two decimals say too little of a ratio under 0.10 (the first screen's) to compare it.
        if (was < 0.10 || now < 0)
            continue;
        ++compared;
        const double change = now / was - 1;
        if (std::fabs(change) > tolerance) {
            ++moved;
            lines << QStringLiteral("| %1 | %2 | %3 | %4 | %5 | %6%7 % |")
                         .arg(r.work)
                         .arg(r.size)
                         .arg(byRatio ? QStringLiteral("project / floor") : QStringLiteral("project ms (no floor)"))
                         .arg(was, 0, 'f', 2)
                         .arg(now, 0, 'f', 2)
                         .arg(change > 0 ? QStringLiteral("+") : QString())
                         .arg(change * 100, 0, 'f', 0);
        }
    }
    std::printf("%d of %d figures moved by more than %.0f %%%s\n", moved, compared, tolerance * 100, moved ? ":" : ".");
    if (moved) {
        std::printf("\n| work | records | figure | saved | this run | moved |\n|---|---:|---|---:|---:|---:|\n");
        for (const QString& l : lines)
            std::printf("%s\n", qPrintable(l));
    }
    return moved;
}

}  // namespace Bench
