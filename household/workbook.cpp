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
#include <libxml/parser.h>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <optional>
#include <vector>

namespace Workbook {

namespace {

// The most a part of the workbook may take unpacked, and the most text the sheet may give: a bill of
// 10,000 rows is a few MB.
constexpr qint64 kMaxPartBytes = 64LL * 1024 * 1024;
constexpr qsizetype kMaxSheetBytes = 64LL * 1024 * 1024;
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

// The column (from 0) a cell's reference gives ("B17": 1); -1 for none.
int columnOf(QByteArrayView ref)
{
    int c = 0, i = 0;
    while (i < ref.size() && ((ref[i] >= 'A' && ref[i] <= 'Z') || (ref[i] >= 'a' && ref[i] <= 'z')) && c <= kMaxColumns)
        c = c * 26 + ((ref[i++] & ~0x20) - 'A' + 1);
    return i > 0 && c <= kMaxColumns ? c - 1 : -1;
}

// A number as the sheet stores it (12.5, not 12.500000000000002), or as the date and time it shows:
// `stored` itself, or the text in `made`.
QByteArrayView numberText(QByteArrayView stored, bool date, QByteArray& made)
{
    // Digits alone, with no more than 15 of them and no zero to drop: the number as it is written.
    if (!date) {
        const qsizetype from = stored.startsWith('-') ? 1 : 0, point = stored.indexOf('.');
        const qsizetype whole = point < 0 ? stored.size() - from : point - from;
        const bool digits = std::all_of(stored.begin() + from, stored.end(), [](char c) { return (c >= '0' && c <= '9') || c == '.'; });
        const bool noPointAgain = point < 0 || stored.indexOf('.', point + 1) < 0;
        if (digits && noPointAgain && whole > 0 && stored.size() - from - (point < 0 ? 0 : 1) <= 15
            && (stored[from] != '0' || (whole == 1 && point < 0 && from == 0)) && (point < 0 || (point + 1 < stored.size() && stored.back() != '0')))
            return stored;
    }
    bool ok = false;
    const double v = QByteArray::fromRawData(stored.data(), stored.size()).toDouble(&ok);
    if (!ok || !std::isfinite(v))
        return stored;
    if (date && v >= 0 && v < 2958466) {  // up to 9999-12-31
        const QDateTime base(QDate(1899, 12, 30), QTime(0, 0));
        const QDateTime at = base.addMSecs(static_cast<qint64>(std::llround(v * 86400.0)) * 1000);
        made = at.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")).toUtf8();
    } else {
        made = QByteArray::number(v, 'g', 15);
    }
    return made;
}

// What the SAX readers below share: the parser, the first error and a failure of their own.
class SaxReader {
public:
    virtual ~SaxReader() = default;

protected:
    // Reads `bytes` (the part `name` of the workbook) with the element and text callbacks of the reader.
    void parse(const QByteArray& bytes, const QString& name)
    {
        xmlSAXHandler sax{};
        sax.initialized = XML_SAX2_MAGIC;
        sax.startElementNs = [](void* self, const xmlChar* local, const xmlChar*, const xmlChar*, int, const xmlChar**, int attributeCount,
                                int, const xmlChar** attributes) {
            static_cast<SaxReader*>(self)->start(reinterpret_cast<const char*>(local), attributeCount, attributes);
        };
        sax.endElementNs = [](void* self, const xmlChar* local, const xmlChar*, const xmlChar*) {
            static_cast<SaxReader*>(self)->end(reinterpret_cast<const char*>(local));
        };
        sax.characters = [](void* self, const xmlChar* text, int length) {
            static_cast<SaxReader*>(self)->text(QByteArrayView(reinterpret_cast<const char*>(text), length));
        };
        sax.ignorableWhitespace = sax.characters;
        sax.serror = [](void* self, xmlErrorPtr error) {
            auto* reader = static_cast<SaxReader*>(self);
            if (error && error->level >= XML_ERR_ERROR && reader->error_.isEmpty()) {
                reader->errorLine_ = error->line;
                reader->error_ = QString::fromUtf8(error->message ? error->message : "").trimmed();
            }
        };
        xmlInitParser();
        ctxt_ = xmlCreatePushParserCtxt(&sax, this, nullptr, 0, nullptr);
        if (!ctxt_)
            throw Failure{QStringLiteral("内存不够，读不了工作簿里的“%1”。").arg(name)};
        xmlCtxtUseOptions(ctxt_, XML_PARSE_NONET | XML_PARSE_NOCDATA);
        xmlParseChunk(ctxt_, bytes.constData(), static_cast<int>(bytes.size()), 1);
        const bool wellFormed = ctxt_->wellFormed != 0;
        xmlFreeParserCtxt(ctxt_);
        ctxt_ = nullptr;
        if (failure_)
            throw *failure_;
        if (!wellFormed || !error_.isEmpty())
            throw Failure{QStringLiteral("工作簿里的“%1”不是完好的 XML（第 %2 行：%3）。").arg(name).arg(errorLine_).arg(error_)};
    }
    // Stops the reading: the part is refused as `failure` says.
    void fail(const QString& text)
    {
        if (!failure_)
            failure_ = Failure{text};
        xmlStopParser(ctxt_);
    }
    // The value of attribute `name` of an element (empty when it has none).
    static QByteArrayView attribute(int count, const xmlChar** attributes, const char* name)
    {
        for (int i = 0; i < count; ++i, attributes += 5)
            if (std::strcmp(reinterpret_cast<const char*>(attributes[0]), name) == 0)
                return QByteArrayView(reinterpret_cast<const char*>(attributes[3]), reinterpret_cast<const char*>(attributes[4]));
        return {};
    }
    virtual void start(const char* name, int attributeCount, const xmlChar** attributes) = 0;
    virtual void end(const char* name) = 0;
    virtual void text(QByteArrayView text) = 0;

private:
    xmlParserCtxtPtr ctxt_ = nullptr;
    std::optional<Failure> failure_;
    QString error_;
    int errorLine_ = 0;
};

// The text of a string item (<si> or <is>) gathered as its elements come: its <t> parts, runs
// included, phonetic guides (<rPh>) left out.
struct StringItem {
    int phonetic = 0, inText = 0;
    void start(const char* name)
    {
        if (inText > 0)
            ++inText;  // all that a <t> holds is its text
        else if (std::strcmp(name, "rPh") == 0)
            ++phonetic;
        else if (std::strcmp(name, "t") == 0 && phonetic == 0)
            inText = 1;
    }
    void end(const char* name)
    {
        if (inText > 0)
            --inText;
        else if (std::strcmp(name, "rPh") == 0 && phonetic > 0)
            --phonetic;
    }
    bool taking() const { return inText > 0; }
};

// The shared strings of a workbook, one after the other in one buffer.
class SharedStrings : public SaxReader {
public:
    explicit SharedStrings(const QByteArray& bytes)
    {
        parse(bytes, QStringLiteral("sharedStrings.xml"));
    }
    QByteArrayView at(qsizetype i) const
    {
        return i >= 0 && i + 1 < static_cast<qsizetype>(ends_.size()) ? QByteArrayView(text_).sliced(ends_[i], ends_[i + 1] - ends_[i])
                                                                        : QByteArrayView();
    }

private:
    void start(const char* name, int, const xmlChar**) override
    {
        if (inItem_) {
            item_.start(name);
        } else if (std::strcmp(name, "si") == 0) {
            inItem_ = true;
            item_ = StringItem();
            if (ends_.size() > static_cast<std::size_t>(kMaxRows) * 4)
                fail(QStringLiteral("工作簿的文字表太大，不是一份账单。"));
        }
    }
    void end(const char* name) override
    {
        if (!inItem_)
            return;
        if (item_.taking() || std::strcmp(name, "si") != 0) {
            item_.end(name);
            return;
        }
        inItem_ = false;
        ends_.push_back(static_cast<std::uint32_t>(text_.size()));
    }
    void text(QByteArrayView text) override
    {
        if (inItem_ && item_.taking())
            text_ += text;
    }

    QByteArray text_;
    std::vector<std::uint32_t> ends_ = {0};  // where each string starts, and the last ends
    bool inItem_ = false;
    StringItem item_;
};

// The first worksheet's rows as CSV text in UTF-8, each cell written as soon as it is read.
class SheetReader : public SaxReader {
public:
    SheetReader(const SharedStrings* strings, const QList<bool>& dates) : strings_(strings), dates_(dates) {}

    QByteArray read(const QByteArray& bytes)
    {
        out_.reserve(bytes.size() / 4);  // the CSV is a few times shorter than the XML
        parse(bytes, QStringLiteral("sheet"));
        return out_;
    }

private:
    void start(const char* name, int attributeCount, const xmlChar** attributes) override
    {
        if (inCell_) {
            if (item_) {
                item_->start(name);
            } else if (std::strcmp(name, "v") == 0) {
                value_.resize(0);
                ++inValue_;
            } else if (inValue_ > 0) {
                ++inValue_;
            } else if (std::strcmp(name, "is") == 0) {
                item_ = StringItem();
                inline_.resize(0);
            }
            return;
        }
        if (!inRow_) {
            if (std::strcmp(name, "row") == 0) {
                const int r = attribute(attributeCount, attributes, "r").toInt();
                row_ = r > row_ && r <= kMaxRows ? r : row_ + 1;
                if (row_ > kMaxRows)
                    return fail(QStringLiteral("工作表超过了 Excel 的行数。"));
                inRow_ = true;
                column_ = -1;
                written_ = 0;
                while (line_ < row_ - 1) {
                    out_ += '\n';
                    ++line_;
                }
            }
            return;
        }
        if (std::strcmp(name, "c") != 0)
            return;
        const int c = columnOf(attribute(attributeCount, attributes, "r"));
        column_ = c > column_ ? c : column_ + 1;
        if (column_ >= kMaxColumns)
            return fail(QStringLiteral("工作表第 %1 行超过了 Excel 的列数。").arg(row_));
        const QByteArrayView type = attribute(attributeCount, attributes, "t");
        type_ = type == "s"           ? Type::Shared
                : type == "inlineStr" ? Type::Inline
                : type == "str" || type == "e" || type == "b" || type == "d" ? Type::Text
                                                                              : Type::Number;
        style_ = attribute(attributeCount, attributes, "s").toInt();
        value_.resize(0);
        inline_.resize(0);
        item_.reset();
        inCell_ = true;
    }

    void end(const char* name) override
    {
        if (!inCell_) {
            if (inRow_ && std::strcmp(name, "row") == 0) {
                inRow_ = false;
                if (out_.size() > kMaxSheetBytes)
                    fail(QStringLiteral("工作表太大，不是一份账单。"));
            }
            return;
        }
        if (item_) {
            if (item_->taking() || std::strcmp(name, "is") != 0)
                item_->end(name);
            else
                item_.reset();
            return;
        }
        if (inValue_ > 0) {
            --inValue_;
            return;
        }
        if (std::strcmp(name, "c") != 0)
            return;
        inCell_ = false;
        // Commas up to the cell's column, then the cell.
        for (int i = written_ == 0 ? 0 : written_ - 1; i < column_; ++i)
            out_ += ',';
        written_ = column_ + 1;
        appendCsvCell(out_, cellText());
    }

    void text(QByteArrayView text) override
    {
        if (item_) {
            if (item_->taking())
                inline_ += text;
        } else if (inValue_ > 0) {
            value_ += text;
        }
    }

    // The text of the cell just read.
    QByteArrayView cellText()
    {
        switch (type_) {
        case Type::Shared: {
            bool ok = false;
            const int i = QByteArrayView(value_).trimmed().toInt(&ok);
            return ok && strings_ ? strings_->at(i) : QByteArrayView();
        }
        case Type::Inline:
            return inline_;
        case Type::Text:
            return value_;
        case Type::Number:
            break;
        }
        return value_.isEmpty() ? QByteArrayView(value_) : numberText(value_, style_ >= 0 && style_ < dates_.size() && dates_.at(style_), made_);
    }

    const SharedStrings* strings_;
    const QList<bool>& dates_;
    QByteArray out_;
    int line_ = 0;  // the lines written so far, less one
    int row_ = 0, column_ = -1, written_ = 0;
    bool inRow_ = false, inCell_ = false;
    int inValue_ = 0;
    // What the cell's t="" says it holds.
    enum class Type { Number, Shared, Inline, Text };
    Type type_ = Type::Number;
    QByteArray value_, inline_, made_;
    int style_ = 0;
    std::optional<StringItem> item_;
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

// Appends a cell to CSV text: line breaks made blanks, quoted where it holds a comma or a quote.
void appendCsvCell(QByteArray& out, QByteArrayView text)
{
    const bool quote = text.contains(',') || text.contains('"');
    if (!quote && !text.contains('\n') && !text.contains('\r')) {
        out += text;
        return;
    }
    if (quote)
        out += '"';
    for (const char c : text) {
        if (c == '\n' || c == '\r')
            out += ' ';
        else if (c == '"')
            out += "\"\"";
        else
            out += c;
    }
    if (quote)
        out += '"';
}

bool looksLikeZip(const QByteArray& bytes)
{
    return bytes.startsWith("PK\x03\x04");
}

std::optional<QByteArray> firstSheetAsCsv(const QByteArray& bytes, QString* error)
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
        // Shared strings and styles are parts a workbook may leave out (one written with inline
        // strings has neither): then no cell refers to them.
        const auto stringsPart = part(zip, QStringLiteral("xl/sharedStrings.xml"));
        const std::optional<SharedStrings> strings = stringsPart ? std::optional<SharedStrings>(std::in_place, *stringsPart) : std::nullopt;
        const auto stylesPart = part(zip, QStringLiteral("xl/styles.xml"));
        const QList<bool> dates = stylesPart ? dateStyles(*stylesPart) : QList<bool>();
        SheetReader reader(strings ? &*strings : nullptr, dates);
        return reader.read(*sheet);
    } catch (const Failure& f) {
        if (error)
            *error = f.text;
    }
    return std::nullopt;
}

}  // namespace Workbook
