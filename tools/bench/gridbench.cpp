// The grid of a loaded income query (every record): scrolling to the last row, a header sort of
// each kind of column, and 导出… of every row as CSV beside writing the same bytes plainly.
#include "driving.h"
#include "sizerun.h"

#include "recordset.h"
#include "datagrid.h"
#include "gridexport.h"
#include "scriptedanswers.h"

#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QFileInfo>
#include <QTableView>
#include <cstdio>
#include <memory>

namespace Bench {

namespace {

// The loaded rows' cells formatted by stdio (snprintf) and written with fwrite to `path`, no
// quoting needed by these cells: the time, or -1 without rows or file.
double writeCellsPlainly(const Recordset* rs, const QString& path)
{
    FILE* out = rs ? std::fopen(QFile::encodeName(path).constData(), "wb") : nullptr;
    if (!out)
        return -1.0;
    const double t0 = nowMs();
    std::fwrite("\xEF\xBB\xBF", 1, 3, out);
    char buf[64];
    for (int row = 0; row < rs->rowCount(); ++row) {
        for (int c = 0; c < rs->fieldCount(); ++c) {
            if (c)
                std::fputc(',', out);
            const Snapshot::Raw cell = rs->snapshot().raw(row, c);
            if (cell.type == Snapshot::CellType::Text)
                std::fwrite(cell.text.data(), 1, static_cast<std::size_t>(cell.text.size()), out);
            else if (cell.type == Snapshot::CellType::Money)
                std::fwrite(buf, 1, static_cast<std::size_t>(std::snprintf(buf, sizeof buf, "%.2f", static_cast<double>(cell.number) / 1e4)), out);
        }
        std::fwrite("\r\n", 1, 2, out);
    }
    std::fclose(out);
    return nowMs() - t0;
}

// `bytes` (read from `from` on the first run) written to `to` with fwrite: the time, or -1.
double writeBytesPlainly(QByteArray& bytes, const QString& from, const QString& to)
{
    if (bytes.isEmpty()) {
        QFile f(from);
        if (!f.open(QIODevice::ReadOnly))
            return -1.0;
        bytes = f.readAll();
    }
    const double t0 = nowMs();
    FILE* out = std::fopen(QFile::encodeName(to).constData(), "wb");
    if (!out)
        return -1.0;
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), out);
    std::fclose(out);
    return nowMs() - t0;
}

// A header click on each kind of column, the first on it (its ranks computed).
void headerSorts(const SizeRun& run, DataGrid* grid, int rows)
{
    const struct { int column; const char* what; } sorts[] = {
        {0, "收入状况: header sort by 姓名 (pinyin)"}, {2, "收入状况: header sort by 金额"}, {4, "收入状况: header sort by 备注 (pinyin)"}};
    for (const auto& sort : sorts) {
        Row r{QString::fromUtf8(sort.what), run.size};
        measure(
            r, run.repeat,
            [&] {
                if (!grid)
                    return -1.0;
                grid->sortByHeader(3);  // another column first: the next click computes its ranks anew
                const double t0 = nowMs();
                grid->sortByHeader(sort.column);
                return nowMs() - t0;
            },
            {});
        r.note = QStringLiteral("%1 rows").arg(rows);
        run.add(r);
    }
}

// 导出… of every row as CSV, beside fwrite of its bytes, and beside the same file written by a
// stdio loop over the cells.
void csvExport(const SizeRun& run, QDialog* w, DataGrid* grid, int rows)
{
    Row r{QStringLiteral("收入状况: 导出… CSV of every row (floor: fwrite of its bytes)"), run.size};
    const QString csv = run.folder + QStringLiteral("/export.csv"), plain = run.folder + QStringLiteral("/plain.csv");
    QByteArray bytes;
    measure(
        r, run.repeat,
        [&] {
            if (!grid)
                return -1.0;
            script().queueFileChoice(csv);
            const double t0 = nowMs();
            GridExport::exportRows(grid, QStringLiteral("收入"), w);
            const double t = nowMs() - t0;
            script().clearMessages();
            return t;
        },
        [&] { return writeBytesPlainly(bytes, csv, plain); });
    r.note = QStringLiteral("%1 rows, %2 MB").arg(rows).arg(static_cast<double>(QFileInfo(csv).size()) / 1e6, 0, 'f', 1);
    run.add(r);
    Row loop{QStringLiteral("收入状况: 导出… CSV of every row (floor: stdio loop over the cells)"), run.size};
    loop.project = r.project;
    measure(loop, run.repeat, {}, [&] { return writeCellsPlainly(grid ? grid->recordset() : nullptr, plain); });
    for (std::size_t i = 0; i < loop.project.runs.size() && i < loop.floor.runs.size(); ++i)
        loop.ratio.runs.push_back(loop.project.runs[i] / loop.floor.runs[i]);
    loop.note = r.note;
    run.add(loop);
    QFile::remove(csv);
    QFile::remove(plain);
}

}  // namespace

// A loaded grid of every income record: jump to the end, select the last row, draw it.
void benchGridScroll(const SizeRun& run)
{
    Row r{QStringLiteral("收入状况: grid to the last row, select, draw"), run.size};
    std::unique_ptr<QDialog> w(window(QStringLiteral("frmquery_sr")));
    waitLoaded(w.get());
    auto* grid = w ? w->findChild<QTableView*>(QStringLiteral("DG")) : nullptr;
    if (grid) {
        w->resize(800, 600);
        w->show();
        QApplication::processEvents();
        measure(
            r, run.repeat,
            [&] {
                const double t0 = nowMs();
                grid->scrollToBottom();
                grid->selectRow(grid->model()->rowCount() - 1);
                grid->scrollToTop();
                grid->selectRow(grid->model()->rowCount() / 2);
                grid->repaint();
                QApplication::processEvents();
                return nowMs() - t0;
            },
            {});
        r.note = QStringLiteral("%1 rows").arg(grid->model()->rowCount());
        w->hide();
    }
    run.add(r);
}

// A header click on the loaded whole ledger, each column's first (its ranks computed), and the CSV
// of every row beside writing the same bytes with fwrite.
void benchGridSortAndExport(const SizeRun& run)
{
    std::unique_ptr<QDialog> w(window(QStringLiteral("frmquery_sr")));
    waitLoaded(w.get());
    auto* grid = w ? w->findChild<DataGrid*>(QStringLiteral("DG")) : nullptr;
    const int rows = grid ? grid->model()->rowCount() : 0;
    headerSorts(run, grid, rows);
    csvExport(run, w.get(), grid, rows);
}

}  // namespace Bench
