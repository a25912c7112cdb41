#include "statementfiles.h"

#include <QDate>
#include <QFile>
#include <QHash>
#include <QProcess>
#include <quazip.h>
#include <quazipfile.h>
#include <utility>

namespace Bench {

namespace {

// The cells of a CSV text as a worksheet's XML; its texts go to `strings`, once each.
QString sheetXml(const QStringList& lines, QStringList& strings)
{
    QHash<QString, int> stringAt;
    QString sheet = QStringLiteral("<?xml version=\"1.0\"?><worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><sheetData>");
    for (int r = 0; r < lines.size(); ++r) {
        sheet += QStringLiteral("<row r=\"%1\">").arg(r + 1);
        const QStringList cells = lines[r].split(u',');
        for (int c = 0; c < cells.size() && c < 26; ++c) {
            const QString& text = cells[c];
            if (text.isEmpty())
                continue;
            const QString at = QString(QChar(u'A' + c)) + QString::number(r + 1);
            bool number = false;
            text.toDouble(&number);
            if (number) {
                sheet += QStringLiteral("<c r=\"%1\"><v>%2</v></c>").arg(at, text);
                continue;
            }
            auto known = stringAt.constFind(text);
            if (known == stringAt.constEnd()) {
                known = stringAt.insert(text, static_cast<int>(strings.size()));
                strings << text.toHtmlEscaped();
            }
            sheet += QStringLiteral("<c r=\"%1\" t=\"s\"><v>%2</v></c>").arg(at).arg(known.value());
        }
        sheet += QStringLiteral("</row>");
    }
    sheet += QStringLiteral("</sheetData></worksheet>");
    return sheet;
}

}  // namespace

std::vector<BillRecord> billRecords(int rows, int year)
{
    std::vector<BillRecord> out;
    for (int i = 0; i < rows; ++i)
        out.push_back({i % 5 == 0, QStringLiteral("商户%1").arg(i % 50), QStringLiteral("商品%1").arg(i),
                       QDate(year, i % 12 + 1, i % 28 + 1).toString(Qt::ISODate), (i % 9000 + 100) / 100.0});
    return out;
}

void writeBill(const QString& path, const std::vector<BillRecord>& records)
{
    QString t = QStringLiteral("微信支付账单明细\n");
    for (int i = 2; i <= 16; ++i)
        t += QStringLiteral("说明%1\n").arg(i);
    t += QStringLiteral("交易时间,交易类型,交易对方,商品,收/支,金额(元),支付方式,当前状态,交易单号,商户单号,备注\n");
    for (std::size_t i = 0; i < records.size(); ++i) {
        const BillRecord& b = records[i];
        t += QStringLiteral("%1 12:00:00,商户消费,%2,%3,%4,¥%5,零钱,支付成功,42000%6\t,\t,/\n")
                 .arg(b.date, b.counterparty, b.item, b.income ? QStringLiteral("收入") : QStringLiteral("支出"))
                 .arg(b.amount, 0, 'f', 2)
                 .arg(i, 10, 10, QChar(u'0'));
    }
    QFile f(path);
    if (f.open(QIODevice::WriteOnly))
        f.write(QByteArray("\xEF\xBB\xBF") + t.toUtf8());
}

void writeStatement(const QString& path, const std::vector<BillRecord>& records)
{
    QString t = QStringLiteral("交易流水\n账号: 6222 ****\n交易日期,交易时间,摘要,对方户名,支出金额,存入金额,余额\n");
    double balance = 0;
    for (const BillRecord& b : records) {
        balance += b.income ? b.amount : -b.amount;
        const QString amount = QString::number(b.amount, 'f', 2);
        t += QStringLiteral("%1,12:00:00,%2,%3,%4,%5,%6\n")
                 .arg(b.date, b.item, b.counterparty, b.income ? QString() : amount, b.income ? amount : QString())
                 .arg(balance, 0, 'f', 2);
    }
    t += QStringLiteral("合计,,,,,,\n");
    QFile f(path);
    if (f.open(QIODevice::WriteOnly))
        f.write(t.toUtf8());
}

void writeStatementWorkbook(const QString& csvPath, const QString& path)
{
    QFile csv(csvPath);
    if (!csv.open(QIODevice::ReadOnly))
        return;
    QStringList strings;
    const QString sheet = sheetXml(QString::fromUtf8(csv.readAll()).split(u'\n'), strings);
    const QString shared = QStringLiteral("<?xml version=\"1.0\"?><sst xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><si><t>")
                           + strings.join(QStringLiteral("</t></si><si><t>")) + QStringLiteral("</t></si></sst>");
    QuaZip zip(path);
    if (!zip.open(QuaZip::mdCreate))
        return;
    for (const auto& [name, bytes] : {std::pair{QStringLiteral("[Content_Types].xml"), QByteArray("<Types/>")},
                                      std::pair{QStringLiteral("xl/sharedStrings.xml"), shared.toUtf8()},
                                      std::pair{QStringLiteral("xl/worksheets/sheet1.xml"), sheet.toUtf8()}}) {
        QuaZipFile file(&zip);
        file.open(QIODevice::WriteOnly, QuaZipNewInfo(name));
        file.write(bytes);
        file.close();
    }
    zip.close();
}

bool writeStatementOldWorkbook(const QString& csvPath, const QString& path)
{
    return QProcess::execute(QStringLiteral("perl"), {QStringLiteral(KINBOOK_BENCH_DIR "/statement-xls.pl"), csvPath, path}) == 0
           && QFile::exists(path);
}

QStringList statementKeys(const std::vector<BillRecord>& records)
{
    QStringList out;
    for (std::size_t i = 0; i < records.size(); ++i)
        out << QStringLiteral("#%1%2-1").arg(QString(records[i].date).remove(u'-')).arg(i * 2654435761ULL % 1000000000000ULL, 24, 16, QChar(u'0'));
    return out;
}

}  // namespace Bench
