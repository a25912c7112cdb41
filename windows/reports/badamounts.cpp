#include "badamounts.h"

#include "recordset.h"
#include "app.h"
#include "session.h"

QString badAmountText(const Recordset& rs, int row, int field, const QString& where)
{
    QStringList fields;
    for (int f = 0; f < rs.fieldCount(); ++f)
        fields << rs.fieldName(f) + QStringLiteral("：") + rs.textAt(row, f);
    return where + QStringLiteral("（") + fields.join(QStringLiteral("，")) + QStringLiteral("）的")
        + rs.fieldName(field) + QStringLiteral("“") + rs.textAt(row, field)
        + QStringLiteral("”不是有效的金额：它不是一个有限的数字，或超出了金额的范围。"
                         "这条记录可能是用其它工具写入的，请用数据库工具改正它。");
}

QString findBadAmount(const QString& table, const QString& field)
{
    // The bounds of an amount's range, in yuan; an infinity lies beyond them too.
    const QString bound = QStringLiteral("922337203685477.5807");
    Recordset rs;
    rs.open(App::conn,
            QStringLiteral("select * from ") + table + QStringLiteral(" where ") + field + QStringLiteral(" > ") + bound
                + QStringLiteral(" or ") + field + QStringLiteral(" < -") + bound,
            Recordset::ReadOnly);
    if (rs.rowCount() == 0)
        return QString();
    return badAmountText(rs, 0, rs.fieldIndex(field), table + QStringLiteral("中的记录"));
}
