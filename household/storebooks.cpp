#include "store.h"

#include "connection.h"
#include "ledgerrows.h"
#include "passwords.h"
#include "recordset.h"
#include "sqltext.h"
#include "statement.h"

// ---- the picker ----

void Store::openPickerRows(Recordset& rs, ReferenceList list)
{
    rs.open(conn_, QStringLiteral("select ID,%1 from %2").arg(sqlName(list.nameField()), sqlName(list.table())));
}

// ---- the budgets ----

QMap<QString, Money> Store::budgets(const QString& memberId, const QString& month)
{
    return Budgets::stored(conn_, memberId, month);
}

void Store::setBudgets(const QString& memberId, const QString& month, const QMap<QString, Money>& budgets)
{
    Budgets::store(conn_, memberId, month, budgets);
}

int Store::copyPreviousMonthBudgets(const QString& memberId, int year, int month)
{
    return Budgets::copyPreviousMonth(conn_, memberId, year, month);
}

QList<Budgets::Overrun> Store::overruns(const QList<Budgets::Touch>& touched)
{
    return Budgets::overruns(conn_, touched);
}

// ---- the recurring records ----

QList<Recurring::Template> Store::recurringTemplates()
{
    return Recurring::templates(conn_);
}

Recurring::Names Store::recurringNames(const Recurring::Template& t)
{
    return Recurring::namesOf(conn_, t);
}

QString Store::recurringProblem(const Recurring::Template& t)
{
    return Recurring::problemOf(conn_, t);
}

void Store::saveRecurring(Recurring::Template& t)
{
    Recurring::save(conn_, t);
}

void Store::removeRecurring(qint64 id)
{
    Recurring::remove(conn_, id);
}

QList<Recurring::Due> Store::dueUntil(const QDate& until)
{
    QList<Recurring::Due> due = Recurring::dueUntil(conn_, until);
    Recurring::markEnteredByHand(conn_, due);
    return due;
}

void Store::postRecurring(const QList<Recurring::Posting>& postings)
{
    Recurring::post(conn_, postings);
}

void Store::skipRecurring(const QList<QPair<qint64, QDate>>& occurrences)
{
    Recurring::skip(conn_, occurrences);
}

// ---- the imports ----

void Store::markKnownTrades(Bills::Bill& bill)
{
    BillPosting::markImported(conn_, bill);
    if (bill.layout == Bills::Layout::Statement)
        BillPosting::markEnteredByHand(conn_, bill);
}

BillPosting::RememberedTypes Store::rememberedTypes()
{
    return BillPosting::RememberedTypes(conn_);
}

BillPosting::Posted Store::postBill(const Bills::Bill& bill, const BillPosting::Choices& choices)
{
    return BillPosting::post(conn_, bill, choices);
}

// ---- 撤销 ----

bool Store::undoCorrection(const QString& ledger, std::int64_t rowid, const QVariantList& now, const QVariantList& before)
{
    return LedgerRows::correct(conn_, ledger, rowid, now, before).has_value();
}

std::optional<std::int64_t> Store::undoDeletion(std::int64_t binId)
{
    const std::optional<LedgerRows::Restored> back = LedgerRows::restoreFromBin(conn_, binId);
    if (!back)
        return std::nullopt;
    return back->rowid;
}

// ---- the login ----

QStringList Store::memberNames()
{
    Statement st(conn_, QStringLiteral("SELECT 姓名 FROM 成员"));
    QStringList names;
    while (st.step())
        names << st.text(0);
    return names;
}

QString Store::memberWithPassword(const QString& name, const QString& password)
{
    // No member has an empty name; the name is a bound value, so no typed text can change what the
    // statement matches. The file keeps each password as a salted hash of it without letter case:
    // the typed one is checked against the hashes of the members of that name (letter case aside).
    if (name.isEmpty())
        return QString();
    Statement st(conn_, QStringLiteral("SELECT 姓名, 密码 FROM 成员 WHERE 姓名 = ?"));
    st.bind(1, name);
    while (st.step())
        if (Passwords::matches(st.text(1), password))
            return st.text(0);
    return QString();
}

// ---- the sync ----

Sync::Settings Store::syncSettings()
{
    return Sync::settings(conn_);
}

QString Store::configureSync(const QString& folder, const QString& machine)
{
    return Sync::configure(conn_, folder, machine);
}

Sync::Report Store::sync(Sync::Mode mode)
{
    return Sync::run(conn_, mode);
}

int Store::pendingSyncChanges()
{
    return Sync::pendingCount(conn_);
}

void Store::openSyncLog(Recordset& rs)
{
    rs.open(conn_, Sync::logQuery(), {});
}
