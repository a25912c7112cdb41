#pragma once

#include "bills.h"

#include <QByteArray>
#include <QList>
#include <QString>

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

// GB18030: account lines, the 16 columns padded with blanks and a tab, a line of dashes and totals.
QByteArray alipayClassicBill(const QList<BillLine>& rows);
// GB18030: two dozen lines of notes, then the 12 columns.
QByteArray alipayBill(const QList<BillLine>& rows);
// UTF-8 with or without a byte-order mark: 16 lines of notes, then the 11 columns; "¥" amounts.
QByteArray weChatBill(const QList<BillLine>& rows, bool byteOrderMark);

QByteArray billOf(Bills::Layout layout, const QList<BillLine>& rows);
// The line of the first row in each layout's files (the header is the line before).
int firstRowLine(Bills::Layout layout);
