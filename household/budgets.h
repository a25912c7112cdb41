#pragma once

#include "money.h"

#include <QDate>
#include <QList>
#include <QMap>
#include <QString>
#include <optional>

class Connection;

// Budgets: an amount per expense type per month, for the whole household (member "") or for one
// member. The default (month "") holds for every month that has no budget of its own. Amounts and
// sums are exact: each record's amount is taken to four decimals and added up as whole units.
namespace Budgets {

inline const QString kDefault;  // the month of the default budgets
// "2026-03"
QString monthKey(int year, int month);

// The budgets stored for one member (or the household) and month (or the default), by type ID.
QMap<QString, Money> stored(Connection& conn, const QString& memberId, const QString& month);
// Replaces the stored budgets of that member and month, in one transaction: each type gets its
// amount, a type without one has none.
void store(Connection& conn, const QString& memberId, const QString& month, const QMap<QString, Money>& budgets);
// The budgets that held in the month before `month` (its own, or the default) become that month's
// own. The number of types copied.
int copyPreviousMonth(Connection& conn, const QString& memberId, int year, int month);

// One expense type's figures for a month or a year.
struct Line {
    QString typeId;
    QString typeName;           // the ID itself for a type no longer in 支出类型
    std::optional<Money> budget;  // none: no budget for it
    MoneyTotal spent;
    // Of the budget, in percent (0 when there is none); spent over a zero budget counts as over.
    double percent() const;
    bool over() const;
};
struct Execution {
    QList<Line> lines;  // every expense type, then any other type spent on, by ID
    MoneyTotal budget;  // the sum of the budgets
    MoneyTotal spent;   // the sum of the spending
};
// `month` 1 to 12 for a month, 0 for the whole year (the budgets of its twelve months added up).
Execution execution(Connection& conn, const QString& memberId, int year, int month);
// Months `fromMonth` to `toMonth` of `year`: the budgets of each added up, the spending of those
// months. None (fromMonth above toMonth): no budget, nothing spent.
Execution execution(Connection& conn, const QString& memberId, int year, int fromMonth, int toMonth);

// The date of the book's first record: the earliest of the income, expense, investment and bank
// ledgers; invalid when they hold none.
QDate firstRecordDate(Connection& conn);

// The months of a year that its budget counts: from January, or from the month of the book's first
// record when the book began that year (no month of a year before it); to December for the whole
// year (全年), or to the month of `today` for the year to date (年初至今: all of a year past, none of
// a year to come). A book without records counts every month asked for.
enum class YearPart { Whole, ToDate };
struct CountedMonths {
    int year = 0;
    int from = 1;      // 1 to 12
    int to = 12;       // below `from`: no month is counted
    QDate firstRecord;  // of the book; invalid without records
    bool cutByFirstRecord = false;  // months before the first record were left out
    bool none() const { return to < from; }
    int count() const { return none() ? 0 : to - from + 1; }
};
CountedMonths countedMonths(Connection& conn, int year, YearPart part, const QDate& today);
// "计入的月份：2026年3月至12月，共 10 个月（账本的第一笔记录在 2026-03-14，之前的月份不计）"
QString countedMonthsText(const CountedMonths& months);

// The spending of a month by type ID, for the household or one member.
QMap<QString, MoneyTotal> spentByType(Connection& conn, const QString& memberId, const QString& from, const QString& to);

// What a posting may have taken over budget: a member, an expense type and a month it added to.
struct Touch {
    QString memberId;
    QString typeId;
    QString month;
};
// The members, types and months of the records staged in `staging` (a copy of the expense ledger).
QList<Touch> touchedBy(Connection& conn, const QString& staging);
// Budgets exceeded where those touches landed: the household's and the member's own.
struct Overrun {
    QString who;   // 全家 or the member's name
    QString typeName;
    QString month;
    MoneyTotal over;
};
QList<Overrun> overruns(Connection& conn, const QList<Touch>& touches);
// One message naming each overrun and by how much; empty when there is none.
QString overrunMessage(const QList<Overrun>& overruns);

}  // namespace Budgets
