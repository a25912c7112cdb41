#pragma once

#include "billposting.h"
#include "budgets.h"
#include "ledger.h"
#include "ledgerlisting.h"
#include "ledgerrows.h"
#include "money.h"
#include "monthoverview.h"
#include "recurring.h"
#include "referencelist.h"
#include "sync.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>
#include <cstdint>
#include <functional>
#include <optional>
#include <utility>

class Connection;
class Recordset;
struct EditedTable;

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
    // Calls `listener` with the tables each committed transaction changed (see
    // Connection::setCommitListener); it runs inside the engine's commit and must not touch the file.
    void setCommitListener(std::function<void(const QStringList& tables)> listener);

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

    // A row of a table a window edits (EditableRows): put in, changed, taken out, by its rowid.
    std::int64_t insertRow(const EditedTable& table, const QVector<QVariant>& values);
    void updateRow(const EditedTable& table, std::int64_t rowid, const QVector<QVariant>& values);
    void deleteRow(const EditedTable& table, std::int64_t rowid);
    // Posts an entry form's staged records to their ledger, in one transaction (posting.h); for the
    // expense ledger, the budgets the records touch (for the over-budget warning).
    QList<Budgets::Touch> postStaged(Ledger ledger);
    // Empties a ledger's staging table (an entry form closed).
    void clearStaged(Ledger ledger);

    // A ledger listing's rows in `rs`, in slices, each carrying its record's key (Recordset::keyAt).
    void openListing(Recordset& rs, const LedgerListing& listing, const LedgerListing::Query& query);

    // One record of a ledger by its key, read, corrected, moved to the recycle bin and put back
    // (ledgerrows.h says how each behaves).
    std::optional<QVariantList> readRecord(Ledger ledger, std::int64_t rowid);
    std::optional<QVariantList> correctRecord(Ledger ledger, std::int64_t rowid, const QVariantList& from,
                                              const QVariantList& to);
    std::int64_t moveToBin(Ledger ledger, std::int64_t rowid, const QDateTime& when);
    std::optional<LedgerRows::Restored> restoreFromBin(std::int64_t binId);
    int emptyBin();
    // The recycle bin's records, the newest deleted first, each carrying its number in the bin as its
    // key, with the names of its member and of its type or bank as they are now.
    void openBin(Recordset& rs);

    // ---- the plans, the imports, the login and the sync (storebooks.cpp) ----

    // The ID and name of every row of a list, as the file holds them, into the picker's grid.
    void openPickerRows(Recordset& rs, ReferenceList list);

    // A member's budgets for a month ("yyyy-MM"), by expense type; setting them replaces the month's.
    QMap<QString, Money> budgets(const QString& memberId, const QString& month);
    void setBudgets(const QString& memberId, const QString& month, const QMap<QString, Money>& budgets);
    // The month before's budgets for the types this month has none for; how many were copied.
    int copyPreviousMonthBudgets(const QString& memberId, int year, int month);
    // The budgets that the expenses just posted took over.
    QList<Budgets::Overrun> overruns(const QList<Budgets::Touch>& touched);

    // The recurring templates, each with what it names and what stops it from being posted.
    QList<Recurring::Template> recurringTemplates();
    Recurring::Names recurringNames(const Recurring::Template& t);
    QString recurringProblem(const Recurring::Template& t);
    // A new template (id 0) gets its id.
    void saveRecurring(Recurring::Template& t);
    void removeRecurring(qint64 id);
    // The occurrences due up to `until`, each marked where a record entered by hand seems to be it.
    QList<Recurring::Due> dueUntil(const QDate& until);
    // All of them or none: an occurrence posted or skipped before refuses the lot (DbError::Duplicate).
    void postRecurring(const QList<Recurring::Posting>& postings);
    void skipRecurring(const QList<QPair<qint64, QDate>>& occurrences);

    // A bill read for import: its trades imported before are marked, and for a bank's statement those
    // that seem entered by hand.
    void markKnownTrades(Bills::Bill& bill);
    // The types earlier imports gave each counterparty (read as they are asked for).
    BillPosting::RememberedTypes rememberedTypes();
    BillPosting::Posted postBill(const Bills::Bill& bill, const BillPosting::Choices& choices);

    // 撤销 of a correction: `rowid` of `ledger` back from `now` to `before`; false when it no longer
    // holds `now`. Of a deletion: the record `binId` of the recycle bin back in its ledger (its rowid
    // there), none when it is no longer in the bin.
    bool undoCorrection(const QString& ledger, std::int64_t rowid, const QVariantList& now, const QVariantList& before);
    std::optional<std::int64_t> undoDeletion(std::int64_t binId);

    // The login: the members' names as the file lists them, and the name of the member `name` whose
    // password this is (empty when none is).
    QStringList memberNames();
    QString memberWithPassword(const QString& name, const QString& password);

    // The sync of this file with the other computers' (sync.h).
    Sync::Settings syncSettings();
    // Empty when the settings were kept; else why not.
    QString configureSync(const QString& folder, const QString& machine);
    Sync::Report sync(Sync::Mode mode = Sync::Mode::Full);
    int pendingSyncChanges();
    // What was sent, applied, refused and every conflict, newest first, into the window's grid.
    void openSyncLog(Recordset& rs);

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
