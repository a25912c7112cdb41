#pragma once

#include "bills.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QVariantList>
#include <memory>
#include <optional>

class Connection;
class Statement;

// Bills in the ledgers: the trade numbers already imported and the type each counterparty was given,
// both kept by the import in tables of their own (the ledgers keep their six fields), and the posting
// of a bill's rows into 收入帐 and 支出帐.
namespace BillPosting {

inline const QString kImportedTable = QStringLiteral("导入交易");
inline const QString kTypesTable = QStringLiteral("导入对方类型");

// Marks the rows of `bill` that would be posted (or could be ticked) but whose trade number was
// imported before. A refund whose payment an earlier bill imported is to lower the record that payment
// became (Bills::lowersEarlier); one whose payment's record is gone can be ticked as income.
inline const QString kImportedBefore = QStringLiteral("已导入过");
inline const QString kRecordGone = QStringLiteral("原交易的记录已不在账本中");
void markImported(Connection& conn, Bills::Bill& bill);

// Greys the rows of a bank statement that a record already in the ledgers may be (a salary typed into
// 收入帐录入 before the statement came): a record of the same direction and amount, dated within
// three days of the row, that no import posted. Each record stands for one row at most, the nearest
// in date; the row can be ticked to post it all the same. Its 说明 names the record:
// "可能已录入（2026-01-05 8,000.00 公司 工资）".
inline const QString kEnteredByHand = QStringLiteral("可能已录入");
void markEnteredByHand(Connection& conn, Bills::Bill& bill);

struct Type {
    QString id;
    QString name;
};
// The types earlier imports gave counterparties, while those types are still in their tables.
class RememberedTypes {
public:
    explicit RememberedTypes(Connection& conn);
    ~RememberedTypes();
    // The type an earlier import gave this counterparty.
    std::optional<Type> of(Bills::Kind kind, const QString& counterparty);

private:
    Connection& conn_;
    std::unique_ptr<Statement> lookups_[2];  // of income and of expense, made when first needed
};

// The member of the whole bill and the type chosen for each counterparty; for a bank's statement,
// the bank (银行.ID) whose ledger each movement also goes into, or none.
struct Choices {
    QString member;
    QString bank;
    QHash<QString, QString> types;  // by key(kind, counterparty): type ID
    static QString key(Bills::Kind kind, const QString& counterparty);
    QString typeOf(const Bills::Row& row) const { return types.value(key(Bills::postedKind(row), row.counterparty)); }
};

// A record lowered by the refunds of a later bill: the values before and after, in field order.
struct Lowered {
    QString ledger;
    qint64 record = 0;
    QVariantList before, after;
};

struct Posted {
    int income = 0;
    int expense = 0;
    int bank = 0;  // movements also written into 银行帐
    QList<Lowered> lowered;
};

// Posts the rows of `bill` that are to be posted (Bills::posts), all in one transaction: each into 收入帐 or 支出帐
// with the member, its counterparty's type, its amount, date and month, and its counterparty and item
// as the note (20 characters as the user sees them). Each trade number is kept, so that it is never
// posted twice (a row whose number is kept already is passed over), and each counterparty's type is
// remembered for the next bill. Refunds of payments imported earlier lower those records, their note
// ending "退款 41.21"; the refunds' trade numbers are kept too. With a bank chosen, each record posted
// also writes its movement into 银行帐 (存入 for income, 支出 for an expense, 类型 活期, the same member,
// amount and date) in the same transaction. Raises DbError, with nothing posted, when the file refuses
// a write, when the member, the bank or a row's type is missing, or a row's amount is no amount a
// record takes.
Posted post(Connection& conn, const Bills::Bill& bill, const Choices& choices);

}  // namespace BillPosting
