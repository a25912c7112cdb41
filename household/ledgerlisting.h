#pragma once

#include "ledger.h"
#include "money.h"
#include "referencelist.h"
#include "resultreader.h"

#include <QDate>
#include <QVariantList>
#include <optional>

// A listing of one ledger (income, expenses or the bank ledger) joined to the names of its member and
// its type or bank, every ledger record kept even when its codes name nothing: what the ledger queries
// show. The rows are in Chinese order of the member's name (the bank's name for the bank ledger).
class LedgerListing {
public:
    explicit LedgerListing(Ledger ledger) : ledger_(ledger) {}

    Ledger ledger() const { return ledger_; }
    // The list the second criterion picks from: the ledger's types, or the banks.
    ReferenceList otherList() const;

    // What narrows the listing. With neither a member nor an `other` code chosen the dates do not
    // apply; every code and text travels as a bound value.
    struct Filter {
        QString member;
        QString other;      // a type's or bank's ID
        QString direction;  // the bank ledger's 存或取; empty: either
        QDate from, to;
        QString note;       // anywhere in the note, letter case aside; % and _ stand for themselves
        std::optional<Money> amountFrom, amountTo;  // as the grid shows them, to the ten-thousandth
    };
    // A statement of the listing and how it is read.
    struct Query {
        Select select;
        QVariantList values;
        std::optional<ByLookup> order;  // the whole ledger: read in one pass, put in order by lookup
        bool datesApply = false;
    };
    Query query(const Filter& filter) const;
    // Every record (what a window shows when it opens).
    Query whole() const { return query(Filter{}); }

    // The statement without WHERE or ORDER BY, through which a record is read again by its key.
    Select head() const;

private:
    Ledger ledger_;
};
