#include "gridexport.h"

#include "app.h"
#include "datagrid.h"
#include "diskwrites.h"
#include "money.h"
#include "recordset.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHeaderView>
#include <QPushButton>
#include <QStandardPaths>
#include <algorithm>
#include <cmath>

namespace {

// Why a file could not be written, for the user.
QString writeCause(QFileDevice::FileError e, const QString& path)
{
    switch (e) {
    case QFileDevice::ResourceError:
        return QStringLiteral("磁盘已满");
    case QFileDevice::OpenError:
    case QFileDevice::PermissionsError:
        return QStringLiteral("文件夹 %1 无法写入").arg(QDir::toNativeSeparators(QFileInfo(path).absolutePath()));
    default:
        return QStringLiteral("写入时出错（错误代码 %1）").arg(static_cast<int>(e));
    }
}

bool isDatabaseFile(const QString& path)
{
    const QFileInfo chosen(path), own(App::databasePath());
    return chosen.absoluteFilePath() == own.absoluteFilePath()
        || (chosen.exists() && chosen.canonicalFilePath() == own.canonicalFilePath());
}

// ---- an item model's rows, written as CsvWriter writes a recordset's (see csvwriter.h) ----------

QString amountText(const QVariant& v)
{
    if (v.typeId() == qMetaTypeId<Money>())
        return CsvWriter::amountCell(v.value<Money>().units());
    switch (v.typeId()) {
    case QMetaType::Int: case QMetaType::UInt: case QMetaType::LongLong: case QMetaType::ULongLong:
        return v.toString() + QStringLiteral(".00");
    case QMetaType::Double: case QMetaType::Float:
        if (std::fabs(v.toDouble()) < 9.0e14)
            return CsvWriter::amountCell(std::llround(v.toDouble() * 10000.0));
        return QString::number(v.toDouble(), 'g', 15);
    default:
        return v.toString();
    }
}

QString modelCell(const QModelIndex& cell, bool amount, char separator)
{
    QVariant value = cell.data(DataGrid::ValueRole);
    if (!value.isValid())
        value = cell.data(Qt::DisplayRole);
    if (value.isNull())
        return QString();
    if (amount)
        return amountText(value);
    if (value.typeId() == qMetaTypeId<Money>())
        return value.value<Money>().toPlain();
    return CsvWriter::textCell(value.typeId() == QMetaType::QDate ? value.toDate().toString(Qt::ISODate) : value.toString(), separator);
}

// The grid rows `rows` of the model the grid shows, after a line of headers when asked.
QByteArray modelLines(const DataGrid* grid, const std::vector<CsvWriter::Column>& columns, const std::vector<int>& rows,
                      char separator, bool headers)
{
    const QAbstractItemModel* shown = grid->model();
    QString out;
    const auto line = [&](auto cell) {
        for (std::size_t i = 0; i < columns.size(); ++i) {
            if (i)
                out += QLatin1Char(separator);
            out += cell(columns[i]);
        }
        out += QStringLiteral("\r\n");
    };
    if (headers)
        line([&](const CsvWriter::Column& c) { return CsvWriter::textCell(c.header, separator); });
    for (const int r : rows)
        line([&](const CsvWriter::Column& c) { return modelCell(shown->index(r, c.field), c.amount, separator); });
    return out.toUtf8();
}

// Written beside the chosen file and put in its place once on the disk, as CsvWriter writes.
QFileDevice::FileError writeModelFile(const QString& path, const DataGrid* grid, const std::vector<CsvWriter::Column>& columns)
{
    std::vector<int> rows(static_cast<std::size_t>(grid->model()->rowCount()));
    for (std::size_t r = 0; r < rows.size(); ++r)
        rows[r] = static_cast<int>(r);
    const QByteArray bytes = QByteArray("\xEF\xBB\xBF") + modelLines(grid, columns, rows, ',', true);
    DiskWrites::Writer file(QFile::encodeName(QFileInfo(path).absoluteFilePath()).toStdString());
    if (file.open())
        return QFileDevice::OpenError;
    if (const std::error_code ec = file.write(bytes.constData(), static_cast<std::size_t>(bytes.size())))
        return ec == std::errc::no_space_on_device ? QFileDevice::ResourceError : QFileDevice::WriteError;
    if (const std::error_code ec = file.commit())
        return ec == std::errc::no_space_on_device ? QFileDevice::ResourceError : QFileDevice::RenameError;
    return QFileDevice::NoError;
}

}  // namespace

namespace GridExport {

QPushButton* exportButton(DataGrid* grid, const QString& title, QWidget* parent)
{
    auto* b = new QPushButton(QStringLiteral("导出…"), parent);
    b->setObjectName(QStringLiteral("cmdexport"));
    b->setToolTip(QStringLiteral("把表格中的全部记录导出为 CSV 文件，可用 Excel 或 WPS 打开"));
    b->setAutoDefault(false);
    QObject::connect(b, &QPushButton::clicked, grid, [grid, title, parent] { exportRows(grid, title, parent); });
    return b;
}

std::vector<CsvWriter::Column> shownColumns(const DataGrid* grid)
{
    std::vector<CsvWriter::Column> columns;
    const Recordset* rs = grid->recordset();
    if (!rs && !grid->itemModel())
        return columns;
    const QAbstractItemModel* shown = grid->model();
    const QHeaderView* header = grid->horizontalHeader();
    for (int v = 0; v < header->count(); ++v) {
        const int c = header->logicalIndex(v);
        if (c < 0 || c >= shown->columnCount() || grid->isColumnHidden(c)
            || grid->columnFormat(c) == RecordsetModel::Format::Concealed)
            continue;
        columns.push_back({c, shown->headerData(c, Qt::Horizontal).toString(),
                           (rs && rs->isMoneyField(c)) || grid->columnFormat(c) == RecordsetModel::Format::Grouped});
    }
    return columns;
}

bool exportRows(DataGrid* grid, const QString& title, QWidget* parent)
{
    Recordset* rs = grid->recordset();
    QAbstractItemModel* items = grid->itemModel();
    if (!items && (!rs || !rs->isOpen() || !grid->recordsetModel())) {
        App::msgBox(QStringLiteral("表格中没有可以导出的记录。"), App::MsgStyle::Information);
        return false;
    }
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    const QString proposed = QDir(documents.isEmpty() ? QDir::homePath() : documents)
                                 .filePath(QStringLiteral("%1-%2.csv").arg(title, App::today().toString(QStringLiteral("yyyyMMdd"))));
    const QString path = App::chooseFile(App::FileDialog::Save, QStringLiteral("导出"), proposed, parent);
    if (path.isEmpty())
        return false;
    if (isDatabaseFile(path)) {
        App::msgBox(QStringLiteral("不能导出到数据库文件 main.mdb 本身，请另选一个文件名。"), App::MsgStyle::Information);
        return false;
    }
    QApplication::setOverrideCursor(Qt::WaitCursor);
    // Every row of the result, not only those that have arrived.
    QFileDevice::FileError e = QFileDevice::AbortError;
    int rows = 0;
    if (items) {
        DataGrid::fetchAll(items);
        rows = grid->model()->rowCount();
        e = writeModelFile(path, grid, shownColumns(grid));
    } else if (rs->finishLoading() && rs->isOpen()) {
        const std::vector<int> order = grid->recordsetModel()->recordRows();
        rows = static_cast<int>(order.size());
        e = CsvWriter::writeFile(path, *rs, shownColumns(grid), order);
    }
    QApplication::restoreOverrideCursor();
    if (e == QFileDevice::AbortError)
        return false;  // the window has told why the rest could not be read
    if (e != QFileDevice::NoError) {
        App::msgBox(QStringLiteral("导出没有完成：%1。没有留下写了一半的文件。\n请换一个位置，或腾出磁盘空间后再试。")
                        .arg(writeCause(e, path)),
                    App::MsgStyle::Information);
        return false;
    }
    App::msgBox(QStringLiteral("已把 %1 条记录导出到 %2。").arg(rows).arg(QDir::toNativeSeparators(path)), App::MsgStyle::Information);
    return true;
}

void copySelection(DataGrid* grid)
{
    const RecordsetModel* model = grid->recordsetModel();
    const Recordset* rs = grid->recordset();
    const bool items = grid->itemModel() != nullptr;
    if ((!items && (!model || !rs)) || !grid->selectionModel())
        return;
    // The rows of the selection in their order on the screen, each once.
    std::vector<int> shown;
    for (const QItemSelectionRange& range : grid->selectionModel()->selection())
        for (int r = range.top(); r <= range.bottom(); ++r)
            shown.push_back(r);
    std::sort(shown.begin(), shown.end());
    shown.erase(std::unique(shown.begin(), shown.end()), shown.end());
    if (shown.empty())
        return;
    if (items) {
        QGuiApplication::clipboard()->setText(QString::fromUtf8(modelLines(grid, shownColumns(grid), shown, '\t', false)));
        return;
    }
    std::vector<int> records;
    for (const int r : shown)
        records.push_back(model->recordRow(r));
    const QByteArray text = CsvWriter::lines(*rs, shownColumns(grid), records, '\t', false);
    QGuiApplication::clipboard()->setText(QString::fromUtf8(text));
}

}  // namespace GridExport
