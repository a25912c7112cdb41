#pragma once

#include "money.h"

#include <QByteArray>
#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>

// Bank statements written by the tests in the shapes banks export them: the lines above the table,
// the names of the columns, how a date, an amount and its direction are written, the encoding and
// the separator. Made for the tests from those shapes, not copied from anyone's file.

// A movement on an account, as the household sees it: above zero received, below zero paid out.
struct BankMovement {
    QDate date;
    Money amount;
    QString party;
    QString note;
    QString currency = {};  // empty: the yuan
    Money balance = {};     // after the movement (filled in by the shapes that write one)
};
QList<BankMovement> movements(std::initializer_list<BankMovement> list, Money opening = {});

// Any statement: lines, a table and lines after it, in an encoding.
struct StatementFile {
    enum class Encoding { Utf8WithMark, Utf8, Gb18030 };
    QStringList above;  // the lines before the table
    QStringList header; // empty: a table without a header row
    QList<QStringList> rows;
    QStringList below;  // totals after the rows
    QChar separator = u',';
    Encoding encoding = Encoding::Utf8WithMark;
    QByteArray bytes() const;
};

// The shapes. Each writes every movement of `list`; a foreign currency only where its bank writes one.
// 工商银行 (debit): the trade's and the account's (记账) money each in a pair of 收入/支出 columns, the
// currencies beside them, a balance; UTF-8 with a byte-order mark.
StatementFile icbcDebit(const QList<BankMovement>& list);
// 招商银行 credit card: "招商银行信用卡对账单（2026年01月）", dates without a year (12/29), purchases
// above zero and repayments below, the last four digits of the card in a column; GB18030.
StatementFile cmbCredit(const QList<BankMovement>& list, const QString& period = QStringLiteral("2026年01月"));
// 广发银行 credit card: 信用卡 in the title, dates 2026/01/05, purchases above zero.
StatementFile cgbCredit(const QList<BankMovement>& list);
// 中信银行 credit card: 交易描述, 卡号后四位, 交易金额 (purchases above zero), 结算币种.
StatementFile citicCredit(const QList<BankMovement>& list);
// BMO (Bank of Montreal) credit card: English, dates 20260105, purchases above zero, payments below,
// no word of a credit card above the table.
StatementFile bmoCredit(const QList<BankMovement>& list);
// 交通银行 debit: the direction in a column of its own (借贷: "借 Dr" / "贷 Cr"), amounts unsigned.
StatementFile bocomDebit(const QList<BankMovement>& list);
// 交通银行 credit card: amounts with their currency code ("CNY 123.18", "CNY13.50"), purchases above zero.
StatementFile bocomCredit(const QList<BankMovement>& list);
// 中国银行 debit: a 币种 column (人民币, 美元, 港币), signed amounts, GB18030.
StatementFile bocDebit(const QList<BankMovement>& list);
// HSBC Hong Kong: English, Debit and Credit columns, amounts with their currency code ("HKD 30.00").
StatementFile hsbcHongKong(const QList<BankMovement>& list);
// 浦发银行: a text file, tab-separated and GB18030, that the bank names .xls; 收/支 words in a column.
StatementFile spdbTabText(const QList<BankMovement>& list);
// 京东 and 美团 bills: headers that share names with Alipay's and WeChat Pay's, 收/支 with 不计收支.
StatementFile jdBill(const QList<BankMovement>& list);
StatementFile meituanBill(const QList<BankMovement>& list);

// An Excel workbook (.xlsx) of these lines, one row each, written with inline strings and numbers
// only: no shared strings, no styles (as many exporters and spreadsheet libraries write them).
QByteArray inlineWorkbook(const QList<QStringList>& lines);

// The old Excel workbook (BIFF8) kept beside the tests: a 建设银行 statement of five rows made with
// LibreOffice from ccb-statement.csv (tests/data/make-xls.sh is the recipe), and its movements.
QString ccbWorkbookPath();
QList<BankMovement> ccbWorkbookMovements();
