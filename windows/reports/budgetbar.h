#pragma once

#include <QColor>
#include <QStyledItemDelegate>

// The bar of a budget's use: a cell that holds "85%" is drawn as a bar filled to that share, green
// up to 80 %, amber above and red over 100 %, with its text on it. A cell without a percentage
// ("无预算") shows its text alone.
class BudgetBarDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

// The colour of a budget used to `percent`.
QColor budgetColor(double percent);
// The cell's text: "85%" (rounded down to whole percents, so that 100% is never shown for a
// budget that is exceeded by a cent), or "无预算" without one.
QString budgetPercentText(bool hasBudget, double percent);
