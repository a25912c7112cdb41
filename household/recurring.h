#pragma once

#include "ledger.h"
#include "money.h"

#include <QDate>
#include <QList>
#include <QString>

class Connection;

// Recurring records: templates of income, expense, investment and bank records that come again on
// a schedule, and their occurrences. An occurrence is posted or skipped at most once, ever: its
// template and due date are recorded in the same transaction as the record it posts, and the file
// holds that pair only once.
namespace Recurring {

enum class Period { Monthly, Weekly, Yearly };

// When a template comes due. Monthly: on `day` of each month (a day the month lacks is its last
// day, so 31 is the month's end and 29 is 28 February outside leap years). Weekly: every
// `interval` weeks from the start. Yearly: on the start's day and month (29 February is the 28th
// in other years). From `start`, up to `end` when it is valid, at most `count` times when above 0.
struct Schedule {
    Period period = Period::Monthly;
    int interval = 1;
    int day = 1;
    QDate start;
    QDate end;
    int count = 0;
};

// The occurrences' due dates up to and including `until`, in order.
QList<QDate> datesUntil(const Schedule& schedule, const QDate& until);

// The tables of the ledgers a template posts to (the debts take none).
inline const QString kIncome = Ledger(Ledger::Income).table();
inline const QString kExpense = Ledger(Ledger::Expense).table();
inline const QString kInvestment = Ledger(Ledger::Investment).table();
inline const QString kBank = Ledger(Ledger::Bank).table();

struct Template {
    qint64 id = 0;        // 0: not yet stored
    QString ledger;       // one of the four above
    QString memberId;
    QString typeId;       // the type's ID; for the bank ledger its 类型 text
    QString bankId;       // the bank ledger only
    QString inOut;        // the bank ledger only: 存入 or 支出
    Money amount;
    QString note;
    Schedule schedule;
    // The stored 周期 when it is none of 每月, 每周 and 每年 (written by another tool): the schedule
    // is then not known, and the template is listed once, on its start date, with that problem.
    QString unknownPeriod;
};

QString periodName(Period p);   // 每月, 每周, 每年
// The schedule in words: "每月 31 日", "每 2 周", "每年 2 月 29 日", with its end.
QString describe(const Schedule& schedule);

QList<Template> templates(Connection& conn);
// Stores a new template (its id is set) or the changes of a stored one.
void save(Connection& conn, Template& t);
// Removes a template together with what is recorded of its occurrences.
void remove(Connection& conn, qint64 id);

// Why a template cannot be posted as it stands (its ledger or period is not one a template can
// have, or its member, type or bank is no longer in the file); empty when it can.
QString problemOf(Connection& conn, const Template& t);

// The names of a template's member and of its type (for the bank ledger: the bank's 开户行 and
// the 类型 text); an ID that is no longer in its table stands for itself.
struct Names {
    QString member;
    QString type;
};
Names namesOf(Connection& conn, const Template& t);

// An occurrence due and neither posted nor skipped.
struct Due {
    Template what;
    QDate due;
    QString problem;  // not empty: it is listed with this reason and not posted
    Names names;      // of its member and type, as namesOf gives them
    QDate seemsEntered;  // valid: the date of a record that seems to be this one entered by hand
};
// Every such occurrence up to and including `until`, by date, then by template.
QList<Due> dueUntil(Connection& conn, const QDate& until);

// How many days a record entered by hand may lie from an occurrence's due date and still seem to
// be that occurrence.
inline constexpr int kEnteredWithinDays = 3;
// Marks each occurrence (without a problem) that seems to have been entered by hand already: a
// record of its ledger with the same member and type (for the bank ledger the same bank, 存或取 and
// 类型), the same amount to the ten-thousandth, dated at most kEnteredWithinDays from the due date,
// and not posted from a template. A record stands for one occurrence only: the nearest in date (the
// earlier occurrence on a tie). `seemsEntered` is set to its date.
void markEnteredByHand(Connection& conn, QList<Due>& due);
// What the lists say of an occurrence (说明): its problem, or "可能已手工录入（2026-03-02）".
QString noteOf(const Due& d);

// An occurrence to post: the record's date and amount as the user left them.
struct Posting {
    qint64 templateId = 0;
    QDate due;
    QDate date;
    Money amount;
};
// Posts every occurrence with its record in one transaction. Raises DbError, and posts none of
// them, when one was already posted or skipped (kind Duplicate), its template is gone or has a
// problem (kind NoRow / BadValue), or the engine refuses.
void post(Connection& conn, const QList<Posting>& postings);
// Records the occurrences as skipped, in one transaction (Duplicate as above).
void skip(Connection& conn, const QList<QPair<qint64, QDate>>& occurrences);

}  // namespace Recurring
