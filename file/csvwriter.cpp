#include "csvwriter.h"

#include "diskwrites.h"
#include "recordset.h"

#include <QFileInfo>
#include <charconv>
#include <cmath>
#include <string>

namespace {

constexpr std::size_t kChunk = 1 << 20;  // written to the file a megabyte at a time

void number(std::string& out, std::int64_t v)
{
    char buf[24];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    out.append(buf, static_cast<std::size_t>(r.ptr - buf));
}

// Ten-thousandths of a yuan as yuan with two decimals, rounded half away from zero (as the grids
// show them).
void twoDecimals(std::string& out, std::int64_t units)
{
    const bool negative = units < 0;
    const std::uint64_t magnitude = negative ? 0 - static_cast<std::uint64_t>(units) : static_cast<std::uint64_t>(units);
    const std::uint64_t cents = magnitude / 100 + (magnitude % 100 >= 50 ? 1 : 0);
    if (negative && cents != 0)
        out += '-';
    char buf[24];
    const auto r = std::to_chars(buf, buf + sizeof buf, cents / 100);
    out.append(buf, static_cast<std::size_t>(r.ptr - buf));
    const char fraction[3] = {'.', static_cast<char>('0' + cents % 100 / 10), static_cast<char>('0' + cents % 10)};
    out.append(fraction, 3);
}

void real(std::string& out, double v)
{
    char buf[32];
    const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, 15);
    out.append(buf, static_cast<std::size_t>(r.ptr - buf));
}

void text(std::string& out, const char* p, std::size_t n, char separator)
{
    bool quote = false;
    for (std::size_t i = 0; i < n && !quote; ++i)
        quote = p[i] == separator || p[i] == '"' || p[i] == '\n' || p[i] == '\r';
    const bool formula = n > 0 && (p[0] == '=' || p[0] == '+' || p[0] == '-' || p[0] == '@' || p[0] == '\t' || p[0] == '\r');
    if (quote)
        out += '"';
    if (formula)
        out += '\'';
    if (!quote) {
        out.append(p, n);
        return;
    }
    for (std::size_t i = 0; i < n; ++i) {
        if (p[i] == '"')
            out += '"';
        out += p[i];
    }
    out += '"';
}

void cell(std::string& out, const Snapshot::Raw& c, bool amount, char separator)
{
    switch (c.type) {
    case Snapshot::CellType::Null:
        return;
    case Snapshot::CellType::Int:
        number(out, c.number);
        if (amount)
            out.append(".00", 3);  // whole yuan
        return;
    case Snapshot::CellType::Money:
        twoDecimals(out, c.number);
        return;
    case Snapshot::CellType::Real:
        // An amount as the grids round it: to four decimals, then to cents.
        if (amount && std::fabs(c.real) < 9.0e14)
            twoDecimals(out, std::llround(c.real * 10000.0));
        else
            real(out, c.real);
        return;
    case Snapshot::CellType::Text:
        text(out, c.text.data(), static_cast<std::size_t>(c.text.size()), separator);
        return;
    }
}

void headerLine(std::string& out, const std::vector<CsvWriter::Column>& columns, char separator)
{
    for (std::size_t i = 0; i < columns.size(); ++i) {
        if (i)
            out += separator;
        const QByteArray h = columns[i].header.toUtf8();
        text(out, h.constData(), static_cast<std::size_t>(h.size()), separator);
    }
    out += "\r\n";
}

void rowLine(std::string& out, const Snapshot& snap, const std::vector<CsvWriter::Column>& columns, int row, char separator)
{
    for (std::size_t i = 0; i < columns.size(); ++i) {
        if (i)
            out += separator;
        cell(out, snap.raw(row, columns[i].field), columns[i].amount, separator);
    }
    out += "\r\n";
}

bool usable(const Recordset& rs, int row)
{
    return row >= 0 && row < rs.rowCount();
}

}  // namespace

namespace CsvWriter {

QByteArray lines(const Recordset& rs, const std::vector<Column>& columns, const std::vector<int>& rows, char separator,
                 bool headers)
{
    std::string out;
    if (headers)
        headerLine(out, columns, separator);
    for (const int r : rows)
        if (usable(rs, r))
            rowLine(out, rs.snapshot(), columns, r, separator);
    return QByteArray(out.data(), static_cast<qsizetype>(out.size()));
}

QFileDevice::FileError writeFile(const QString& path, const Recordset& rs, const std::vector<Column>& columns,
                                 const std::vector<int>& rows)
{
    // Written beside the chosen file and put in its place once every byte is written and on the
    // disk: a write that fails leaves an earlier file as it was, and a file said to be written stays.
    DiskWrites::Writer file(QFile::encodeName(QFileInfo(path).absoluteFilePath()).toStdString());
    if (file.open())
        return QFileDevice::OpenError;
    std::string out = "\xEF\xBB\xBF";
    out.reserve(kChunk + 4096);
    headerLine(out, columns, ',');
    std::error_code ec;
    const auto flush = [&] {
        ec = file.write(out.data(), out.size());
        out.clear();
        return !ec;
    };
    bool ok = true;
    for (const int r : rows) {
        if (!usable(rs, r))
            continue;
        rowLine(out, rs.snapshot(), columns, r, ',');
        if (out.size() >= kChunk && !(ok = flush()))
            break;
    }
    if (ok && !out.empty())
        ok = flush();
    if (!ok)
        return ec == std::errc::no_space_on_device ? QFileDevice::ResourceError : QFileDevice::WriteError;
    if ((ec = file.commit()))
        return ec == std::errc::no_space_on_device ? QFileDevice::ResourceError : QFileDevice::RenameError;
    return QFileDevice::NoError;
}

}  // namespace CsvWriter

QString CsvWriter::textCell(const QString& value, char separator)
{
    const QByteArray utf8 = value.toUtf8();
    std::string out;
    text(out, utf8.constData(), static_cast<std::size_t>(utf8.size()), separator);
    return QString::fromStdString(out);
}

QString CsvWriter::amountCell(std::int64_t units)
{
    std::string out;
    twoDecimals(out, units);
    return QString::fromStdString(out);
}
