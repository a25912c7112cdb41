// crashtest post <file> [N]: posts the staged income records of the file, as the entry form does.
// crashtest post-due <file> [N]: posts every due occurrence of the file's recurring records.
//   Either kills itself just before its N-th operation that changes the disk (never when N is 0 or
//   not given) and prints, when it gets to its end, how many such operations it made.
// crashtest <rounds> [--due] [--batch N] [--seed S] [--db empty.mdb]: kills such postings at random
// points and checks the file after each kill; prints the figures, exits non-zero on a failure.
#include "connection.h"
#include "crashrounds.h"
#include "killpoint.h"
#include "posting.h"
#include "recurring.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <cstdio>
#include <random>

namespace {

// Posts every occurrence due, each on its due date with its template's amount, as 入帐 of the due
// window does with every row ticked.
void postDue(Connection& conn)
{
    QList<Recurring::Posting> postings;
    for (const Recurring::Due& d : Recurring::dueUntil(conn, QDate::fromString(QString::fromLatin1(kCrashDueUntil), Qt::ISODate)))
        postings << Recurring::Posting{d.what.id, d.due, d.due, d.what.amount};
    Recurring::post(conn, postings);
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if ((args.size() == 2 || args.size() == 3) && (args[0] == QLatin1String("post") || args[0] == QLatin1String("post-due"))) {
        try {
            KillPoint::install(args.value(2).toLong());
            Connection conn;
            conn.open(args[1]);
            // A small page cache: a batch of a few thousand records spills pages into the file before
            // the commit, as a large posting does with the engine's own cache.
            conn.execute(QStringLiteral("PRAGMA cache_size = 20"));
            if (args[0] == QLatin1String("post"))
                postStaged(conn, QStringLiteral("收入临时"), QStringLiteral("收入帐"));
            else
                postDue(conn);
            conn.close();
            std::printf("%ld\n", KillPoint::operations());
            return 0;
        } catch (const std::exception& e) {
            std::fprintf(stderr, "%s\n", e.what());
            return 1;
        }
    }

    bool ok = false;
    const int rounds = args.value(0).toInt(&ok);
    if (!ok || rounds < 1) {
        std::fprintf(stderr, "usage: crashtest <rounds> [--due] [--batch N] [--seed S] [--db empty.mdb]\n"
                             "       crashtest post <file> [N]\n"
                             "       crashtest post-due <file> [N]\n");
        return 2;
    }
    QTemporaryDir dir;
    CrashSetup setup;
    setup.helper = QCoreApplication::applicationFilePath();
    setup.emptyDb = QStringLiteral(KINBOOK_EMPTY_DB);
    setup.folder = dir.path();
    setup.seed = std::random_device()();
    for (qsizetype i = 1; i < args.size(); ++i) {
        const bool valued = i + 1 < args.size();
        if (args[i] == QLatin1String("--due"))
            setup.work = CrashWork::Due;
        else if (valued && args[i] == QLatin1String("--batch"))
            setup.batch = args[++i].toInt();
        else if (valued && args[i] == QLatin1String("--seed"))
            setup.seed = args[++i].toUInt();
        else if (valued && args[i] == QLatin1String("--db"))
            setup.emptyDb = args[++i];
    }
    std::printf("%d rounds, batch of %d %s, seed %u\n", rounds, setup.batch,
                setup.work == CrashWork::Due ? "due occurrences" : "staged records", setup.seed);
    const CrashFigures f = runCrashRounds(setup, rounds, [](const QString& line) {
        std::printf("%s\n", line.toLocal8Bit().constData());
        std::fflush(stdout);
    });
    std::printf("one whole run: %ld operations that change the disk\n"
                "killed before writing: %d, while writing (journal rolled back): %d, after the commit: %d\n",
                f.operations, f.beforeWriting, f.whileWriting, f.afterCommit);
    if (!f.failure.isEmpty()) {
        std::printf("FAILED: %s\n", f.failure.toLocal8Bit().constData());
        return 1;
    }
    std::printf("all %d rounds held: integrity ok, the batch once or not at all, posted once on restart\n", f.rounds);
    return 0;
}
