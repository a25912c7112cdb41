#pragma once

#include "store.h"

#include <QString>

class Recordset;

// Amounts that no sum may take in: a number that is not finite, or one beyond the range of an
// amount, as another tool can write into the file. The totals name such a record instead of
// showing a figure.

// Describes row `row` of `rs`, whose field `field` holds no valid amount: `where` ("第 3 行的记录"),
// then every field of the row, then what is wrong and what to do.
QString badAmountText(const Recordset& rs, int row, int field, const QString& where);

// A record whose amount is no valid amount, described for the message: raised by the totals that
// cannot be made.
using BadAmount = Store::BadAmount;
