#pragma once

#include "budgets.h"
#include "ledger.h"
#include "money.h"
#include "monthoverview.h"
#include "referencelist.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <utility>

class Connection;

// What the windows ask for records and figures, and hand records to. It is over the household's open
// file; every write is one transaction, which the engine or a check may refuse without changing the
// file. The windows are given the store; none of them holds SQL or reaches for a connection.
//
// The store's calls are grouped by what asks for them; each group's calls are defined in the file
// named at the group.
class Store {
public:
    explicit Store(Connection& conn) : conn_(conn) {}
    Store(const Store&) = delete;
    Store& operator=(const Store&) = delete;

    // The file the store is over (a path, for what must not be overwritten by an export).
    QString filePath() const;

    // ---- the reference lists (store.cpp) ----

    // A row of a reference list by its ID and name.
    struct Named {
        QString id;
        QString name;
        friend bool operator==(const Named&, const Named&) = default;
    };
    enum class ListOrder { ById, AsEntered };
    // The rows that have an ID, read once.
    QList<Named> names(ReferenceList list, ListOrder order = ListOrder::ById);
    // The name of a code in its list; empty when the code is empty or no longer there.
    QString nameOf(ReferenceList list, const QString& id);

    // ---- the books' rows a window edits, the ledger listings and corrections (storerows.cpp) ----

    // ---- the plans, the imports, the login and the sync (storebooks.cpp) ----

    // ---- the reports (storereports.cpp) ----

    // 预算执行: the months of `year` its budget counts, and the budgets beside the spending of months
    // `fromMonth` to `toMonth` for the household (member "") or one member.
    Budgets::CountedMonths budgetMonths(int year, Budgets::YearPart part, const QDate& today);
    Budgets::Execution budgetExecution(const QString& memberId, int year, int fromMonth, int toMonth);

    // A record whose amount is no valid amount (not a finite number, beyond an amount's range, a
    // text another tool wrote), described for the message: the totals that cannot be made raise it.
    struct BadAmount {
        QString text;
    };
    // Describes such a record from its field names and texts: `where` ("第 3 行的记录"), every
    // field, then what is wrong (with field `field`) and what to do.
    static QString badAmountText(const QStringList& names, const QStringList& texts, int field, const QString& where);

    // 资产统计: the exact totals over the whole ledgers; a total is empty when no record was summed.
    struct AssetTotals {
        std::optional<MoneyTotal> income, expense;
        std::optional<MoneyTotal> deposited, withdrawn;  // the bank ledger's 存入 and 支出
        std::optional<MoneyTotal> borrowed, lent;        // the debts' 余额, 欠人 and 人欠
        std::optional<MoneyTotal> invested;
    };
    // `starting` is told of each ledger before it is summed. Raises BadAmount for the first record
    // of a ledger whose amount is none.
    AssetTotals assetTotals(const std::function<void(Ledger)>& starting = {});

    // 年终处理: a month's totals of the income, expense and investment ledgers.
    struct MonthTotals {
        int month = 0;  // 1 to 12
        MoneyTotal income, expense, invested;
        MoneyTotal balance() const { return income - expense - invested; }
    };
    // The twelve months of `year`, each added up exactly from the year's records (a record of a
    // month outside 1 to 12 counts in none). Raises BadAmount naming a record whose amount is none.
    QList<MonthTotals> yearMonths(int year);
    // The years of the earliest and the latest record of those ledgers; none without records.
    std::optional<std::pair<int, int>> recordYears();

    // 本月概览: the month at a glance on `today`, the due records that seem entered by hand marked.
    Overview::Glance monthGlance(const QDate& today);
    // Whether the overview is shown after a login (the setting kept in the file; on unless
    // switched off), and switching it.
    bool overviewAfterLogin();
    void setOverviewAfterLogin(bool on);

    // For the household's own code below the windows: the file the store is over.
    Connection& connection() { return conn_; }

private:
    Connection& conn_;
};
