// Measures the windows' work on large household ledgers, beside two references stepped with the
// SQLite C API in the same process (every column of every row read):
//   written: the statement exactly as the window builds it (its bound values written in as literals)
//   floor:   the fastest SQL for the same rows (LEFT JOINs from the ledger through its indexes)
//
//   kinbook_bench [--sizes 10000,100000,1000000] [--data DIR] [--repeat N] [--check FILE]
//                [--only REGEX]          (only the figures whose work matches)
//   kinbook_bench --once WHAT FILE      (one load in a fresh process, for profilers: once.h)
//
// The databases are made by kinbook_gendb (seed 1) and kept in DIR between runs. Every figure is
// measured N times (default 7); a run measures the project and the floor one after the other, the
// floor first in every other run. The table gives the minimum, median and maximum of each, the
// median of the runs' ratios and their spread ((max - min) / median), and warns of a spread over
// 20 %. The first lines name the machine, its caches and kernel. --check compares the run with a
// table saved earlier (README, docs/benchmark.md) and prints every figure that moved over 15 %.
//
// The figures are measured by area (sizerun.h): the ledger queries (ledgerbench.cpp) and their grid
// (gridbench.cpp), the reports (reportsbench.cpp), posting (postingbench.cpp), 导入账单
// (importbench.cpp), the login and the file's safekeeping (startbench.cpp), the budgets and the
// overview (plansbench.cpp), keeping the books in step (syncbench.cpp).
#include "driving.h"
#include "measure.h"
#include "once.h"
#include "plansbench.h"
#include "report.h"
#include "sizerun.h"
#include "syncbench.h"

#include "connection.h"
#include "pinyinorder.h"
#include "app.h"
#include "platform.h"
#include "scriptedanswers.h"
#include "undo.h"
#include "session.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QUndoStack>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <optional>
#include <sqlite3.h>

using namespace Bench;

namespace {

struct Options {
    QList<int> sizes = {10000, 100000, 1000000};
    QString data = QDir::currentPath() + QStringLiteral("/bench-data");
    int repeat = 7;
    QString check;  // a saved table to compare this run with
    QString onceWhat, onceFile;
};

// The options as the command line gives them; nothing (and a message) when a value is not a number.
std::optional<Options> parseOptions(const QApplication& app)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Measures the windows' work on large household ledgers beside raw SQLite."));
    parser.addHelpOption();
    const QCommandLineOption sizes(QStringLiteral("sizes"), QStringLiteral("Ledger sizes, comma-separated (10000,100000,1000000)."),
                                   QStringLiteral("list"));
    const QCommandLineOption data(QStringLiteral("data"), QStringLiteral("Folder of the generated ledgers (./bench-data)."),
                                  QStringLiteral("dir"));
    const QCommandLineOption repeat(QStringLiteral("repeat"), QStringLiteral("Runs of each figure (7)."), QStringLiteral("n"));
    const QCommandLineOption check(QStringLiteral("check"), QStringLiteral("Compare with a table saved earlier."), QStringLiteral("file"));
    const QCommandLineOption only(QStringLiteral("only"), QStringLiteral("Measure only the figures whose work matches."),
                                  QStringLiteral("regex"));
    const QCommandLineOption once(QStringLiteral("once"), QStringLiteral("One load of WHAT on FILE in this process, for profilers: income, bank, "
                                                                                "income-floor, bank-floor, assets, year or import."),
                                  QStringLiteral("what"));
    parser.addOptions({sizes, data, repeat, check, only, once});
    parser.addPositionalArgument(QStringLiteral("file"), QStringLiteral("The file of --once."), QStringLiteral("[file]"));
    parser.process(app);

    Options o;
    if (parser.isSet(once)) {
        if (parser.positionalArguments().size() != 1) {
            std::fprintf(stderr, "bench: --once WHAT takes one FILE\n");
            return std::nullopt;
        }
        o.onceWhat = parser.value(once);
        o.onceFile = parser.positionalArguments().first();
        return o;
    }
    if (!parser.positionalArguments().isEmpty()) {
        std::fprintf(stderr, "bench: a FILE is for --once only\n");
        return std::nullopt;
    }
    bool ok = true;
    if (parser.isSet(sizes)) {
        o.sizes.clear();
        for (const QString& s : parser.value(sizes).split(u','))
            o.sizes << (ok ? s.toInt(&ok) : 0);
    }
    if (ok && parser.isSet(repeat))
        o.repeat = std::max(1, parser.value(repeat).toInt(&ok));
    if (!ok) {
        std::fprintf(stderr, "bench: --sizes and --repeat take whole numbers\n");
        return std::nullopt;
    }
    if (parser.isSet(data))
        o.data = parser.value(data);
    if (parser.isSet(only))
        measureOnly(parser.value(only));
    o.check = parser.value(check);
    return o;
}

// The ledger of `size` records of this year in the data folder, generated on the first run.
bool generated(const QString& source, int size)
{
    if (QFile::exists(source))
        return true;
    std::fprintf(stderr, "bench: generating %d records...\n", size);
    return QProcess::execute(QStringLiteral(KINBOOK_GENDB), {QStringLiteral("--seed"), QStringLiteral("1"), QStringLiteral(KINBOOK_SCHEMA),
                                                             source, QString::number(size)})
           == 0;
}

// The figures of one ledger size, on a copy of its ledger in the run's scratch folder.
bool benchSize(SizeRun& run)
{
    const QString source = QStringLiteral("%1/ledger-%2-%3.mdb").arg(run.data).arg(run.size).arg(run.year);
    if (!generated(source, run.size))
        return false;
    run.folder = run.data + QStringLiteral("/run");
    QDir(run.folder).removeRecursively();
    QDir().mkpath(run.folder);
    run.dbFile = run.folder + QStringLiteral("/main.mdb");
    QFile::copy(source, run.dbFile);
    Platform::setProgramFolder(run.folder);
    App::closeConn();
    if (!App::openConn())
        return false;
    sqlite3_open_v2(run.dbFile.toUtf8().constData(), &run.raw, SQLITE_OPEN_READWRITE, nullptr);
    sqlite3_busy_timeout(run.raw, 5000);
    PinyinOrder::registerOn(run.raw);  // the windows' statements order names in Chinese order
    // The floors of the exact totals read the file as the program does, with its page checks.
    sqlite3_open_v2(run.dbFile.toUtf8().constData(), &run.checked, SQLITE_OPEN_READONLY, nullptr);
    if (applySafeSettings(run.checked) != SQLITE_OK)
        std::fprintf(stderr, "bench: cannot apply the safe settings: %s\n", sqlite3_errmsg(run.checked));

    benchIncomeMemory(run);
    std::fprintf(stderr, "bench: %d records\n", run.size);
    benchIncomeLoad(run);
    benchGridScroll(run);
    benchIncomeQueries(run);
    benchIncomeCorrections(run);
    benchGridSortAndExport(run);
    benchBankLoad(run);
    benchReports(run);
    benchPosting(run);
    benchImports(run);
    benchLogin(run);
    benchPlans(run.raw, [&](const QString& work, const std::function<double()>& project, const std::function<double()>& floor) {
        Row r{work, run.size};
        measure(r, run.repeat, project, floor);
        run.add(r);
    });
    benchSync(run.raw, run.folder, run.year,
              [&](const QString& work, const std::function<double()>& project, const std::function<double()>& floor,
                  const std::function<double()>& written, const QString& note) {
                  Row r{work, run.size};
                  measure(r, run.repeat, project, floor, written);
                  r.note = note;
                  run.add(r);
              });
    sqlite3_close(run.checked);
    sqlite3_close(run.raw);
    run.checked = run.raw = nullptr;
    benchSafekeeping(run);
    App::closeConn();
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setApplicationName(App::appTitle);
    App::registerAllWindows();
    App::setAnswerer(&script());
    QUndoStack undoSteps;  // the corrections and deletions of the query windows driven
    Undo::setStack(&undoSteps);
    const std::optional<Options> options = parseOptions(app);
    if (!options)
        return 1;
    if (!options->onceWhat.isEmpty())
        return options->onceWhat == QLatin1String("import") ? importOnce(options->onceFile) : runOnce(options->onceWhat, options->onceFile);

    QDir().mkpath(options->data);
    std::vector<Row> table;
    std::vector<Memory> memory;
    const int year = App::today().year();
    for (const int size : options->sizes) {
        SizeRun run{size, year, options->repeat, options->data, {}, {}, nullptr, nullptr, &table, &memory};
        if (!benchSize(run))
            return 1;
    }
    printReport(table, memory);
    if (!options->check.isEmpty() && checkAgainst(options->check, table, 0.15) < 0)
        return 1;
    return 0;
}
