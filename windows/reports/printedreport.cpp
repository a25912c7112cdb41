#include "printedreport.h"

#include "diskwrites.h"

#include "money.h"

#include "charts.h"
#include "app.h"
#include "inputs.h"

#include <QAbstractItemModel>
#include <QBoxLayout>
#include <QBuffer>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QProgressDialog>
#include <QPushButton>
#include <QStandardPaths>
#include <algorithm>
#include <cmath>
#include <memory>

namespace {

// The paper: A4 upright, 15 mm all round.
QPageLayout paperLayout()
{
    return QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(15, 15, 15, 15),
                       QPageLayout::Millimeter);
}

// Rows between two looks at the progress dialog.
constexpr int kProgressEvery = 200;

// Where everything of a report goes, worked out before the first stroke so that every page can
// say how many there are.
class Layout {
public:
    Layout(const ReportContent& c, QPaintDevice* device)
        : c_(c),
          title_(kaiFont(16), device),
          body_(songFont(10), device),
          small_(songFont(9), device),
          width_(device->width()),
          height_(device->height())
    {
        titleFont_ = kaiFont(16);
        bodyFont_ = songFont(10);
        smallFont_ = songFont(9);
        rowHeight_ = std::ceil(body_.height() * 1.45);
        lineHeight_ = std::ceil(small_.height() * 1.5);
        pad_ = std::ceil(body_.averageCharWidth());
        footer_ = lineHeight_ * 1.5;
        rows_ = c.table ? c.table->rowCount() : 0;
        if (c.table)
            for (int col = 0; col < c.table->columnCount(); ++col)
                if (!c.hiddenColumns.contains(col))
                    columns_ << col;
        measureColumns();
        paginate();
    }

    int pages() const { return pages_; }

    // Paints everything; false when the user cancelled.
    bool paint(QPainter& p, QPagedPaintDevice* device, QProgressDialog* progress)
    {
        int row = 0;
        for (int page = 1; page <= pages_; ++page) {
            if (page > 1)
                device->newPage();
            qreal y = 0;
            if (page == 1)
                y = paintTitleBlock(p);
            if (page <= tablePages_) {
                y = paintHeader(p, y);
                const int last = std::min(rows_, row + (page == 1 ? firstRows_ : otherRows_));
                if (rows_ == 0) {
                    p.setFont(bodyFont_);
                    p.drawText(QRectF(pad_, y, width_, rowHeight_), Qt::AlignVCenter | Qt::AlignLeft,
                               QStringLiteral("（没有记录）"));
                    y += rowHeight_;
                }
                for (; row < last; ++row) {
                    paintRow(p, row, y);
                    y += rowHeight_;
                    if (progress && row % kProgressEvery == 0) {
                        progress->setValue(row);
                        if (progress->wasCanceled())
                            return false;
                    }
                }
            }
            if (page == totalsPage_)
                paintTotals(p, page == tablePages_ ? y : 0);
            if (page == chartPage_)
                paintChart(&p, QRectF(0, chartTop_, width_, chartHeight_), c_.chart);
            paintFooter(p, page);
        }
        return true;
    }

private:
    void measureColumns()
    {
        // Each column as wide as its header and its widest cell; if the page is narrower than
        // that, every column gives up room in proportion and long cells are cut with "…".
        widths_.clear();
        qreal sum = 0;
        for (int col : columns_) {
            qreal w = body_.horizontalAdvance(header(col));
            for (int r = 0; r < rows_; ++r)
                w = std::max(w, body_.horizontalAdvance(cell(r, col)));
            w += 2 * pad_;
            widths_ << w;
            sum += w;
        }
        if (sum > width_)
            for (qreal& w : widths_)
                w = w * width_ / sum;
        else
            for (qreal& w : widths_)
                w += (width_ - sum) / widths_.size();  // the room left is shared out
    }

    void paginate()
    {
        const qreal titleBlock = title_.height() * 1.6 + lineHeight_ * (c_.about.size() + 1) + lineHeight_ * 0.5;
        const qreal usable = height_ - footer_;
        firstRows_ = std::max(1, static_cast<int>((usable - titleBlock - rowHeight_) / rowHeight_));
        otherRows_ = std::max(1, static_cast<int>((usable - rowHeight_) / rowHeight_));
        tablePages_ = 1;
        int shown = std::max(1, std::min(rows_, firstRows_));  // an empty table still has its "没有记录" line
        qreal y = titleBlock + rowHeight_ + shown * rowHeight_;
        for (int left = rows_ - firstRows_; left > 0; left -= otherRows_) {
            ++tablePages_;
            y = rowHeight_ + std::min(left, otherRows_) * rowHeight_;
        }
        // The totals follow the last row, on a page of their own only when they do not fit.
        const qreal totals = c_.totals.isEmpty() ? 0 : lineHeight_ * (c_.totals.size() + 0.5);
        totalsPage_ = tablePages_;
        if (y + totals > usable) {
            ++totalsPage_;
            y = 0;
        }
        y += totals;
        pages_ = totalsPage_;
        chartPage_ = 0;
        if (c_.chart) {
            chartHeight_ = std::min(width_ * 0.62, usable);
            chartPage_ = pages_;
            chartTop_ = y + lineHeight_ * 0.5;
            if (chartTop_ + chartHeight_ > usable) {
                chartPage_ = ++pages_;
                chartTop_ = 0;
            }
        }
    }

    QString header(int col) const { return c_.table->headerData(col, Qt::Horizontal).toString(); }
    QString cell(int row, int col) const
    {
        const QString shown = c_.table->index(row, col).data().toString();
        if (c_.amountColumns.contains(col))
            if (const auto amount = MoneyTotal::parse(QString(shown).remove(u',')))
                return amount->toGrouped();
        return shown;
    }
    Qt::Alignment alignment(int row, int col) const
    {
        const QVariant a = c_.table->index(row, col).data(Qt::TextAlignmentRole);
        const auto h = a.isValid() ? Qt::Alignment(a.toInt()) & Qt::AlignHorizontal_Mask : Qt::Alignment(Qt::AlignLeft);
        return h | Qt::AlignVCenter;
    }

    qreal paintTitleBlock(QPainter& p)
    {
        qreal y = 0;
        p.setFont(titleFont_);
        p.drawText(QRectF(0, y, width_, title_.height() * 1.4), Qt::AlignCenter, c_.title);
        y += title_.height() * 1.6;
        p.setFont(smallFont_);
        for (const QString& line : c_.about + QStringList{PrintedReport::printedBy(QDateTime::currentDateTime())}) {
            p.drawText(QRectF(0, y, width_, lineHeight_), Qt::AlignVCenter | Qt::AlignLeft, line);
            y += lineHeight_;
        }
        return y + lineHeight_ * 0.5;
    }

    qreal paintHeader(QPainter& p, qreal y)
    {
        p.fillRect(QRectF(0, y, width_, rowHeight_), QColor(0xE8, 0xE8, 0xE8));
        p.setFont(bodyFont_);
        qreal x = 0;
        for (qsizetype i = 0; i < columns_.size(); ++i) {
            const QRectF box(x + pad_, y, widths_[i] - 2 * pad_, rowHeight_);
            p.drawText(box, Qt::AlignVCenter | alignment(0, columns_[i]),
                       body_.elidedText(header(columns_[i]), Qt::ElideRight, box.width()));
            x += widths_[i];
        }
        p.drawLine(QPointF(0, y + rowHeight_), QPointF(width_, y + rowHeight_));
        return y + rowHeight_;
    }

    void paintRow(QPainter& p, int row, qreal y)
    {
        qreal x = 0;
        for (qsizetype i = 0; i < columns_.size(); ++i) {
            const QRectF box(x + pad_, y, widths_[i] - 2 * pad_, rowHeight_);
            const QString text = cell(row, columns_[i]);
            p.drawText(box, alignment(row, columns_[i]),
                       body_.horizontalAdvance(text) > box.width() ? body_.elidedText(text, Qt::ElideRight, box.width()) : text);
            x += widths_[i];
        }
        p.save();
        p.setPen(QPen(QColor(0xC8, 0xC8, 0xC8), 0));
        p.drawLine(QPointF(0, y + rowHeight_), QPointF(width_, y + rowHeight_));
        p.restore();
    }

    void paintTotals(QPainter& p, qreal y)
    {
        p.setFont(bodyFont_);
        y += lineHeight_ * 0.5;
        for (const QString& line : c_.totals) {
            p.drawText(QRectF(0, y, width_, lineHeight_), Qt::AlignVCenter | Qt::AlignRight, line);
            y += lineHeight_;
        }
    }

    void paintFooter(QPainter& p, int page)
    {
        p.setFont(smallFont_);
        p.drawText(QRectF(0, height_ - footer_, width_, footer_), Qt::AlignBottom | Qt::AlignHCenter,
                   QStringLiteral("%1　第 %2 页，共 %3 页").arg(c_.title).arg(page).arg(pages_));
    }

    const ReportContent& c_;
    QFontMetricsF title_, body_, small_;
    QFont titleFont_, bodyFont_, smallFont_;
    qreal width_, height_;
    qreal rowHeight_ = 0, lineHeight_ = 0, pad_ = 0, footer_ = 0;
    int rows_ = 0;
    QList<int> columns_;
    QList<qreal> widths_;
    int firstRows_ = 0, otherRows_ = 0, tablePages_ = 1, totalsPage_ = 1, chartPage_ = 0, pages_ = 1;
    qreal chartTop_ = 0, chartHeight_ = 0;
};

QString proposedPdf(const QString& title)
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        folder = QDir::homePath();
    return folder + QLatin1Char('/') + title + QLatin1Char('-') + App::today().toString(QStringLiteral("yyyyMMdd"))
        + QStringLiteral(".pdf");
}

// The cause of a failed write, in words the user can act on.
QString cause(QFileDevice::FileError e)
{
    switch (e) {
    case QFileDevice::OpenError:
    case QFileDevice::PermissionsError:
        return QStringLiteral("文件不能在那里建立：文件夹不存在、不能写入，或同名的是一个文件夹。");
    case QFileDevice::RenameError:
        return QStringLiteral("已有的同名文件不能被替换（它可能正被另一个程序打开）。");
    default:
        return QStringLiteral("写入时出错：磁盘可能已满，或文件超过了允许的大小。");
    }
}

}  // namespace

namespace PrintedReport {

QString printedBy(const QDateTime& when)
{
    QString user = App::curUser;
    user.remove(QStringLiteral("当前用户："));
    return QStringLiteral("打印人：") + user + QStringLiteral("　打印时间：")
        + when.toString(QStringLiteral("yyyy-MM-dd HH:mm"));
}

int paint(const ReportContent& content, QPagedPaintDevice* device, QWidget* progressParent)
{
    QPainter p;
    if (!p.begin(device))
        return -1;
    Layout layout(content, device);
    std::unique_ptr<QProgressDialog> progress;
    const int rows = content.table ? content.table->rowCount() : 0;
    if (rows > kProgressEvery) {
        progress = std::make_unique<QProgressDialog>(QStringLiteral("正在排版 %1 行……").arg(rows), QStringLiteral("取消"),
                                                     0, rows, progressParent);
        progress->setWindowTitle(content.title);
        progress->setWindowModality(Qt::WindowModal);
        progress->setMinimumDuration(400);
    }
    const bool done = layout.paint(p, device, progress.get());
    p.end();
    return done ? layout.pages() : 0;
}

void printWithPreview(const ReportContent& content, QWidget* parent)
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageLayout(paperLayout());
    printer.setDocName(content.title);
    QPrintPreviewDialog preview(&printer, parent);
    preview.setObjectName(QStringLiteral("printPreview"));
    preview.setWindowTitle(QStringLiteral("打印预览 - ") + content.title);
    QObject::connect(&preview, &QPrintPreviewDialog::paintRequested, &preview,
                     [&content, &preview](QPrinter* p) { paint(content, p, &preview); });
    preview.exec();
}

Outcome writePdf(const ReportContent& content, const QString& path, QWidget* progressParent, QString* problem)
{
    // Written beside the target under a name of its own and put in its place only complete and on the
    // disk (DiskWrites): whatever goes wrong before, the target keeps what it held (or stays absent).
    // It is opened first, so that a place that cannot be written is told before the pages are laid
    // out.
    DiskWrites::Writer file(QFile::encodeName(QFileInfo(path).absoluteFilePath()).toStdString());
    if (file.open()) {
        if (problem)
            *problem = cause(QFileDevice::OpenError);
        return Outcome::Failed;
    }
    // The PDF is made in memory and written in one piece whose every byte is counted.
    QBuffer pdf;
    pdf.open(QIODevice::WriteOnly);
    int pages = 0;
    {
        QPdfWriter writer(&pdf);
        writer.setPageLayout(paperLayout());
        writer.setResolution(300);
        writer.setTitle(content.title);
        writer.setCreator(QStringLiteral("和顺家账"));
        pages = paint(content, &writer, progressParent);
    }
    // Cancelled, or nothing could be painted: the temporary file goes with `file`.
    if (pages == 0)
        return Outcome::Cancelled;
    if (pages < 0) {
        if (problem)
            *problem = cause(QFileDevice::WriteError);
        return Outcome::Failed;
    }
    if (file.write(pdf.data().constData(), static_cast<std::size_t>(pdf.data().size()))) {
        if (problem)
            *problem = cause(QFileDevice::WriteError);
        return Outcome::Failed;
    }
    if (file.commit()) {
        if (problem)
            *problem = cause(QFileDevice::RenameError);
        return Outcome::Failed;
    }
    return Outcome::Written;
}

void Buttons::setEnabled(bool on) const
{
    print->setEnabled(on);
    pdf->setEnabled(on);
}

Buttons addButtons(QWidget* window, QBoxLayout* row, std::function<ReportContent()> content)
{
    const auto button = [&](const char* name, const char* text) {
        auto* b = new QPushButton(QString::fromUtf8(text), window);
        b->setObjectName(QString::fromUtf8(name));
        b->setAutoDefault(false);
        row->addWidget(b);
        return b;
    };
    const Buttons made{button("cmdPrint", "打印…"), button("cmdPdf", "导出PDF…")};
    QObject::connect(made.print, &QPushButton::clicked, window,
                     [window, content] { printWithPreview(content(), window); });
    QObject::connect(made.pdf, &QPushButton::clicked, window, [window, content] { exportPdf(content(), window); });
    return made;
}

bool exportPdf(const ReportContent& content, QWidget* parent)
{
    QString path = App::chooseFile(App::FileDialog::Save, QStringLiteral("导出PDF"), proposedPdf(content.title), parent);
    if (path.isEmpty())
        return false;
    if (QFileInfo(path).suffix().isEmpty())
        path += QStringLiteral(".pdf");
    QString problem;
    switch (writePdf(content, path, parent, &problem)) {
    case Outcome::Written:
        return true;
    case Outcome::Cancelled:
        return false;
    case Outcome::Failed:
        App::msgBox(QStringLiteral("无法导出PDF文件 ") + QDir::toNativeSeparators(path) + QStringLiteral("：") + problem, App::MsgStyle::Information);
        return false;
    }
    return false;
}

}  // namespace PrintedReport
