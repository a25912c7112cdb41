#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

class QAbstractItemModel;
class QBoxLayout;
class QChart;
class QDateTime;
class QPagedPaintDevice;
class QPushButton;
class QWidget;

// What a report puts on paper: its title, what it covers (the criteria or the year), who printed it
// and when, the table with every row of the result, the totals and, where the window has one, its
// chart.
struct ReportContent {
    QString title;
    QStringList about;                            // one line each, under the title
    const QAbstractItemModel* table = nullptr;    // every row, each cell as the window shows it
    QList<int> hiddenColumns;                     // columns the window does not show
    QList<int> amountColumns;                     // printed as #,##0.00 whatever form the window shows
    QStringList totals;                           // lines under the table
    std::function<void(QChart*)> chart;           // fills the chart under the totals; empty: none
};

// The layout of a report on pages: the title block on the first page, the table paged with its
// header repeated on every page, the totals and the chart after the last row, and "第 n 页，共 m 页"
// at the foot of each page. Long results show a progress dialog that can cancel.
namespace PrintedReport {

// "打印人：张三　打印时间：2026-07-25 14:03"; the user is the one logged in.
QString printedBy(const QDateTime& when);

// Paints every page onto the device; the number of pages, 0 when cancelled, -1 when the device
// cannot be painted on.
int paint(const ReportContent& content, QPagedPaintDevice* device, QWidget* progressParent);

// 打印…: a print preview of the pages, from which they are printed.
void printWithPreview(const ReportContent& content, QWidget* parent);

// 导出PDF…: asks where (proposing the title and today's date) and writes the PDF there. A file that
// cannot be written is told with its cause and leaves nothing under that name. True when written.
bool exportPdf(const ReportContent& content, QWidget* parent);

// The buttons 打印… (cmdPrint) and 导出PDF… (cmdPdf) of a window, added to `row`; each asks
// `content` for the report when it is pressed.
struct Buttons {
    QPushButton* print;
    QPushButton* pdf;
    void setEnabled(bool on) const;
};
Buttons addButtons(QWidget* window, QBoxLayout* row, std::function<ReportContent()> content);

enum class Outcome { Written, Cancelled, Failed };
// Writes the PDF under a temporary name beside `path` and renames it to `path` when it is complete;
// an existing file there is replaced only then. `problem` receives the cause of a failure.
Outcome writePdf(const ReportContent& content, const QString& path, QWidget* progressParent, QString* problem);

}  // namespace PrintedReport
