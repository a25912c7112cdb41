#pragma once

#include "bills.h"

#include <QByteArray>
#include <QDate>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

// Bills written by the tests in the three layouts, each in its own encoding, with the notes before
// the header (and the totals after the rows) that the payment services write.
struct BillLine {
    QString trade;
    QString time;          // "2026-02-28 12:30:00"
    QString kind;          // 收/支: "支出", "收入", "不计收支", "/"
    QString counterparty;
    QString item;
    QString amount;        // plain ("12.50"); WeChat gets "¥12.50"
    QString status;
    QString refund = {};   // the older Alipay's 成功退款（元）
};

// One cell of a CSV row: quoted (inner quotes doubled) when it holds a comma, quote or line break.
QString csvCell(const QString& text);

// GB18030: account lines, the 16 columns padded with blanks and a tab, a line of dashes, the count of
// rows, `totals` (as "已支出:1笔,12.50元") and the time of the export.
QByteArray alipayClassicBill(const QList<BillLine>& rows, const QStringList& totals = {});
// GB18030: two dozen lines of notes, then the 12 columns. `totals` takes the place of the first notes
// (as "收入：1笔 3000.00元").
QByteArray alipayBill(const QList<BillLine>& rows, const QStringList& totals = {});
// UTF-8 with or without a byte-order mark: 16 lines of notes, then the 11 columns; "¥" amounts.
QByteArray weChatBill(const QList<BillLine>& rows, bool byteOrderMark);

// WeChat Pay's Excel workbook: notes from row 1, the 11 columns in row `headerRow` (17 or 18), the rows
// after it. Texts alternate between shared and inline strings, times between text and date-formatted
// numbers, amounts between "¥12.50" text and plain numbers; `totals` become notes as in alipayBill.
QByteArray weChatWorkbook(const QList<BillLine>& rows, int headerRow, const QStringList& totals = {});
// A ZIP file of these parts, each named and with its bytes.
QByteArray zipOf(const QList<QPair<QString, QByteArray>>& parts);

// A movement on a bank card, as its statement lists it.
struct Movement {
    QDate date;
    QString amount;  // signed: "-88.00" paid out, "8000.00" received
    QString counterparty;
    QString note;
};
// UTF-8 with a byte-order mark: two lines about the account, then 交易日期, 交易时间, 摘要, 对方户名,
// 支出金额, 存入金额, 余额 (dates as 2026-01-05, amounts grouped, the balance from `opening` on), and a
// line of totals.
QByteArray debitCreditStatement(const QList<Movement>& rows, Money opening = {});
// GB18030: 记账日期, 交易金额, 对方名称, 用途, 余额 from the first line (dates as 20260105).
QByteArray signedStatement(const QList<Movement>& rows);

QByteArray billOf(Bills::Layout layout, const QList<BillLine>& rows);
// The line of the first row in each layout's files (the header is the line before).
int firstRowLine(Bills::Layout layout);
