#pragma once

#include "budgets.h"
#include "money.h"
#include "recurring.h"

#include <QDate>
#include <QList>
#include <QString>

class Connection;

// The month at a glance: the figures of 本月概览, each read with as few passes over the ledgers as
// their indexes allow, and added up exactly.
namespace Overview {

struct MonthTotals {
    MoneyTotal income;
    MoneyTotal expense;
    MoneyTotal balance() const { return income - expense; }
};
// Income and expenses of the month that holds `day`.
MonthTotals monthTotals(Connection& conn, const QDate& day);

// The largest expense types of a month's 预算执行 lines (at most `count`, each with something
// spent), largest first.
QList<Budgets::Line> largestOf(QList<Budgets::Line> lines, int count = 5);

// The month that holds `day` beside the month before, and its largest expense types: this month's
// expenses are read once, by type, and give both its total and the largest.
struct MonthFigures {
    MonthTotals now;
    MonthTotals last;
    QList<Budgets::Line> largest;
};
MonthFigures monthFigures(Connection& conn, const QDate& day, int count = 5);

// One of the latest records of the income, expense and investment ledgers.
struct Record {
    QString ledger;
    QString date;
    QString member;  // the name, or the ID of a member no longer there
    QString type;
    Money amount;
    QString note;
};
// The latest `count` records by date (the later entered first within a day).
QList<Record> latestRecords(Connection& conn, int count = 10);

// The position as 资产统计 shows it.
struct Position {
    MoneyTotal income, expense, deposited, withdrawn, borrowed, lent, invested;
};
Position position(Connection& conn);
// "收支余额 1,234.00，银行余额 …，借入 …，借出 …，其它投资 …"
QString positionLine(const Position& p);

// Everything 本月概览 shows on `today`: the month beside the last, its largest expense types, the
// occurrences due within the next `dueDays` days, the latest records and the position.
struct Glance {
    MonthFigures month;
    QList<Recurring::Due> due;
    QList<Record> latest;
    Position position;
};
Glance glance(Connection& conn, const QDate& today, int dueDays = 7);

}  // namespace Overview
