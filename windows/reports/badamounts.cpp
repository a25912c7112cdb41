#include "badamounts.h"

#include "recordset.h"

QString badAmountText(const Recordset& rs, int row, int field, const QString& where)
{
    QStringList names, texts;
    for (int f = 0; f < rs.fieldCount(); ++f) {
        names << rs.fieldName(f);
        texts << rs.textAt(row, f);
    }
    return Store::badAmountText(names, texts, field, where);
}
