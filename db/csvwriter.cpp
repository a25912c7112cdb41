#include "csvwriter.h"

#include "recordset.h"

#include <QSaveFile>
#include <charconv>
#include <cmath>
#include <string>

namespace {

constexpr std::size_t kChunk = 1 << 20;  // written to the file a megabyte at a time

void digits(std::string& out, unsigned __int128 v)
{
    char buf[40];
    char* p = buf + sizeof buf;
    do {
        *--p = static_cast<char>('0' + static_cast<int>(v % 10));
        v /= 10;
    } while (v != 0);
    out.append(p, static_cast<std::size_t>(buf + sizeof buf - p));
}

// Ten-thousandths of a yuan as yuan with two decimals, rounded half away from zero (as the grids
// show them).
void twoDecimals(std::string& out, __int128 units)
{
    const bool negative = units < 0;
    const unsigned __int128 cents = ((negative ? -static_cast<unsigned __int128>(units) : static_cast<unsigned __int128>(units)) + 50) / 100;
    if (negative && cents != 0)
        out += '-';
    digits(out, cents / 100);
    out += '.';
    out += static_cast<char>('0' + static_cast<int>(cents % 100 / 10));
    out += static_cast<char>('0' + static_cast<int>(cents % 10));
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
        if (amount)
            twoDecimals(out, static_cast<__int128>(c.number) * 10000);
        else if (c.number < 0)
            out += '-', digits(out, static_cast<unsigned __int128>(-static_cast<__int128>(c.number)));
        else
            digits(out, static_cast<unsigned __int128>(c.number));
        return;
    case Snapshot::CellType::Money:
        twoDecimals(out, c.number);
        return;
    case Snapshot::CellType::Real:
        // An amount as the grids round it: to four decimals, then to cents.
        if (amount && std::fabs(c.real) < 9.0e14)
            twoDecimals(out, static_cast<__int128>(std::llround(c.real * 10000.0)));
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
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return file.error() == QFileDevice::NoError ? QFileDevice::OpenError : file.error();
    std::string out = "\xEF\xBB\xBF";
    out.reserve(kChunk + 4096);
    headerLine(out, columns, ',');
    const auto flush = [&] {
        const bool ok = file.write(out.data(), static_cast<qint64>(out.size())) == static_cast<qint64>(out.size());
        out.clear();
        return ok;
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
    // commit() refuses too when an earlier write failed, and then removes the temporary file.
    if (ok && file.commit())
        return QFileDevice::NoError;
    const QFileDevice::FileError e = file.error() == QFileDevice::NoError ? QFileDevice::WriteError : file.error();
    file.cancelWriting();
    return e;
}

}  // namespace CsvWriter
