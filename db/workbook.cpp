#include "workbook.h"

#include <QBuffer>
#include <QDateTime>
#include <QHash>
#include <QMap>
#include <QRegularExpression>
#include <QSet>
#include <QStringList>
#include <QXmlStreamReader>
#include <quazip.h>
#include <quazipfile.h>
#include <cmath>

namespace Workbook {

namespace {

// The most a part of the workbook may take unpacked, and the most text the sheet may give: a bill of
// 10,000 rows is a few MB.
constexpr qint64 kMaxPartBytes = 64LL * 1024 * 1024;
constexpr qsizetype kMaxSheetChars = 64LL * 1024 * 1024;
// The columns and rows an Excel sheet can have.
constexpr int kMaxColumns = 16384;
constexpr int kMaxRows = 1048576;

struct Failure {
    QString text;
};

// One part of the workbook, unpacked; nothing when the workbook has no such part.
std::optional<QByteArray> part(QuaZip& zip, const QString& name)
{
    if (!zip.setCurrentFile(name, QuaZip::csInsensitive))
        return std::nullopt;
    QuaZipFile file(&zip);
    if (!file.open(QIODevice::ReadOnly))
        throw Failure{QStringLiteral("工作簿里的“%1”打不开，文件可能已损坏。").arg(name)};
    QByteArray out;
    char chunk[65536];
    for (;;) {
        const qint64 n = file.read(chunk, sizeof chunk);
        if (n < 0)
            throw Failure{QStringLiteral("工作簿里的“%1”读不出来，文件可能已损坏。").arg(name)};
        if (n == 0)
            break;
        if (out.size() + n > kMaxPartBytes)
            throw Failure{QStringLiteral("工作簿里的“%1”展开后超过 %2 MB，不是一份账单。").arg(name).arg(kMaxPartBytes / (1024 * 1024))};
        out.append(chunk, n);
    }
    file.close();
    if (file.getZipError() != UNZ_OK)
        throw Failure{QStringLiteral("工作簿里的“%1”校验不对，文件可能已损坏。").arg(name)};
    return out;
}

void failOnXmlError(const QXmlStreamReader& xml, const QString& name)
{
    if (xml.hasError())
        throw Failure{QStringLiteral("工作簿里的“%1”不是完好的 XML（第 %2 行：%3）。").arg(name).arg(xml.lineNumber()).arg(xml.errorString())};
}

// The text of a string item (<si> or <is>): its <t> parts, runs included, phonetic guides left out.
QString stringItem(QXmlStreamReader& xml)
{
    const QString end = xml.name().toString();
    QString text;
    int phonetic = 0;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement() && xml.name() == u"rPh")
            ++phonetic;
        else if (xml.isEndElement() && xml.name() == u"rPh")
            --phonetic;
        else if (xml.isStartElement() && xml.name() == u"t" && phonetic == 0)
            text += xml.readElementText(QXmlStreamReader::IncludeChildElements);
        else if (xml.isEndElement() && xml.name() == end)
            break;
    }
    return text;
}

QStringList sharedStrings(const QByteArray& bytes)
{
    QStringList out;
    QXmlStreamReader xml(bytes);
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement() && xml.name() == u"si")
            out << stringItem(xml);
        if (out.size() > kMaxRows * 4)
            throw Failure{QStringLiteral("工作簿的文字表太大，不是一份账单。")};
    }
    failOnXmlError(xml, QStringLiteral("sharedStrings.xml"));
    return out;
}

// Whether a number format shows a date or time: the built-in date formats, or a format of the
// workbook's own with day, month, year or hour in it (outside quotes and brackets).
bool isDateFormat(int id, const QString& code)
{
    if ((id >= 14 && id <= 22) || (id >= 45 && id <= 47) || (id >= 27 && id <= 36) || (id >= 50 && id <= 58))
        return true;
    static const QRegularExpression quoted(QStringLiteral("\"[^\"]*\"|\\[[^\\]]*\\]|\\\\."));
    QString plain = code;
    plain.remove(quoted);
    return plain.contains(QRegularExpression(QStringLiteral("[yYdDhH]|m{1,5}(?![a-zA-Z])")));
}

// For each cell style (the s="" of a cell), whether it shows a date.
QList<bool> dateStyles(const QByteArray& bytes)
{
    QHash<int, QString> codes;
    QList<bool> out;
    QXmlStreamReader xml(bytes);
    bool inCellXfs = false;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement() && xml.name() == u"numFmt")
            codes.insert(xml.attributes().value(QStringLiteral("numFmtId")).toInt(), xml.attributes().value(QStringLiteral("formatCode")).toString());
        else if (xml.isStartElement() && xml.name() == u"cellXfs")
            inCellXfs = true;
        else if (xml.isEndElement() && xml.name() == u"cellXfs")
            inCellXfs = false;
        else if (inCellXfs && xml.isStartElement() && xml.name() == u"xf" && out.size() < 65536) {
            const int id = xml.attributes().value(QStringLiteral("numFmtId")).toInt();
            out << isDateFormat(id, codes.value(id));
        }
    }
    failOnXmlError(xml, QStringLiteral("styles.xml"));
    return out;
}

// "B17": column 1 (from 0) and row 17; -1 for what the reference does not give.
void cellPlace(QStringView ref, int& column, int& row)
{
    int c = 0, i = 0;
    while (i < ref.size() && ref[i].isLetter() && ref[i].unicode() < 128 && c <= kMaxColumns)
        c = c * 26 + (ref[i++].toUpper().unicode() - 'A' + 1);
    column = i > 0 && c <= kMaxColumns ? c - 1 : -1;
    bool ok = false;
    const int r = ref.mid(i).toInt(&ok);
    row = ok && r >= 1 && r <= kMaxRows ? r : -1;
}

// A number as the sheet stores it, or as the date and time it shows.
QString numberText(const QString& stored, bool date)
{
    bool ok = false;
    const double v = stored.toDouble(&ok);
    if (!ok || !std::isfinite(v))
        return stored;
    if (date && v >= 0 && v < 2958466) {  // up to 9999-12-31
        const QDateTime base(QDate(1899, 12, 30), QTime(0, 0));
        const QDateTime at = base.addMSecs(static_cast<qint64>(std::llround(v * 86400.0)) * 1000);
        return at.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    }
    return QString::number(v, 'g', 15);
}

QString csvCell(QString text)
{
    for (QChar& c : text)
        if (c == u'\n' || c == u'\r')
            c = u' ';
    if (!text.contains(u',') && !text.contains(u'"'))
        return text;
    return u'"' + text.replace(QStringLiteral("\""), QStringLiteral("\"\"")) + u'"';
}

class SheetReader {
public:
    SheetReader(const QStringList& strings, const QList<bool>& dates) : strings_(strings), dates_(dates) {}

    QString read(const QByteArray& bytes)
    {
        QXmlStreamReader xml(bytes);
        int row = 0;
        while (!xml.atEnd()) {
            xml.readNext();
            if (xml.isStartElement() && xml.name() == u"row") {
                const int r = xml.attributes().value(QStringLiteral("r")).toInt();
                row = r > row && r <= kMaxRows ? r : row + 1;
                if (row > kMaxRows)
                    throw Failure{QStringLiteral("工作表超过了 Excel 的行数。")};
                readRow(xml, row);
            }
        }
        failOnXmlError(xml, QStringLiteral("sheet"));
        return out_;
    }

private:
    void readRow(QXmlStreamReader& xml, int row)
    {
        QStringList cells;
        int column = -1;
        while (!xml.atEnd()) {
            xml.readNext();
            if (xml.isEndElement() && xml.name() == u"row")
                break;
            if (!xml.isStartElement() || xml.name() != u"c")
                continue;
            int c = -1, r = -1;
            cellPlace(xml.attributes().value(QStringLiteral("r")), c, r);
            column = c > column ? c : column + 1;
            if (column >= kMaxColumns)
                throw Failure{QStringLiteral("工作表第 %1 行超过了 Excel 的列数。").arg(row)};
            const QString text = cell(xml);
            while (cells.size() <= column)
                cells << QString();
            cells[column] = csvCell(text);
        }
        while (line_ < row - 1) {
            out_ += u'\n';
            ++line_;
        }
        out_ += cells.join(u',');
        if (out_.size() > kMaxSheetChars)
            throw Failure{QStringLiteral("工作表太大，不是一份账单。")};
    }

    // The text of the cell the reader is on, leaving it at the cell's end.
    QString cell(QXmlStreamReader& xml)
    {
        const QString type = xml.attributes().value(QStringLiteral("t")).toString();
        const int style = xml.attributes().value(QStringLiteral("s")).toInt();
        QString value, inline_;
        while (!xml.atEnd()) {
            xml.readNext();
            if (xml.isEndElement() && xml.name() == u"c")
                break;
            if (xml.isStartElement() && xml.name() == u"v")
                value = xml.readElementText(QXmlStreamReader::IncludeChildElements);
            else if (xml.isStartElement() && xml.name() == u"is")
                inline_ = stringItem(xml);
        }
        if (type == u"s") {
            bool ok = false;
            const int i = value.toInt(&ok);
            return ok && i >= 0 && i < strings_.size() ? strings_.at(i) : QString();
        }
        if (type == u"inlineStr")
            return inline_;
        if (type == u"str" || type == u"e" || type == u"b" || type == u"d")
            return value;
        return value.isEmpty() ? value : numberText(value, style >= 0 && style < dates_.size() && dates_.at(style));
    }

    const QStringList& strings_;
    const QList<bool>& dates_;
    QString out_;
    int line_ = 0;  // the lines written so far, less one
};

// The path of the first worksheet: named by the workbook, found through its relationships.
QString firstSheetPath(QuaZip& zip)
{
    QString id;
    if (const auto book = part(zip, QStringLiteral("xl/workbook.xml"))) {
        QXmlStreamReader xml(*book);
        while (!xml.atEnd() && id.isEmpty())
            if (xml.readNextStartElement() && xml.name() == u"sheet")
                for (const QXmlStreamAttribute& a : xml.attributes())
                    if (a.name() == u"id")
                        id = a.value().toString();
    }
    if (const auto rels = id.isEmpty() ? std::nullopt : part(zip, QStringLiteral("xl/_rels/workbook.xml.rels"))) {
        QXmlStreamReader xml(*rels);
        while (!xml.atEnd()) {
            if (xml.readNextStartElement() && xml.name() == u"Relationship" && xml.attributes().value(QStringLiteral("Id")) == id) {
                const QString target = xml.attributes().value(QStringLiteral("Target")).toString();
                return target.startsWith(u'/') ? target.mid(1) : QStringLiteral("xl/") + target;
            }
        }
    }
    return QStringLiteral("xl/worksheets/sheet1.xml");
}

}  // namespace

bool looksLikeZip(const QByteArray& bytes)
{
    return bytes.startsWith("PK\x03\x04");
}

std::optional<QString> firstSheetAsCsv(const QByteArray& bytes, QString* error)
{
    QByteArray copy = bytes;
    QBuffer buffer(&copy);
    QuaZip zip(&buffer);
    try {
        if (!zip.open(QuaZip::mdUnzip))
            throw Failure{QStringLiteral("这个 ZIP 文件不完整或已损坏，不是能读的 Excel 工作簿。")};
        const auto sheet = part(zip, firstSheetPath(zip));
        if (!sheet)
            throw Failure{QStringLiteral("这是一个 ZIP 压缩文件，但不是 Excel 工作簿（.xlsx）：里面没有工作表。")};
        // A workbook that writes its texts into the cells has no shared strings, and one without styles
        // no dates to tell apart: either part may be missing (an empty text is no XML).
        const auto stringsPart = part(zip, QStringLiteral("xl/sharedStrings.xml"));
        const QStringList strings = stringsPart ? sharedStrings(*stringsPart) : QStringList();
        const auto stylesPart = part(zip, QStringLiteral("xl/styles.xml"));
        const QList<bool> dates = stylesPart ? dateStyles(*stylesPart) : QList<bool>();
        SheetReader reader(strings, dates);
        return reader.read(*sheet);
    } catch (const Failure& f) {
        if (error)
            *error = f.text;
    }
    return std::nullopt;
}

}  // namespace Workbook
