#include "budgetbar.h"

#include <QApplication>
#include <QPainter>
#include <QStyle>
#include <cmath>

QColor budgetColor(double percent)
{
    if (percent > 100)
        return QColor(0xD9, 0x3B, 0x3B);
    if (percent > 80)
        return QColor(0xF0, 0xA8, 0x30);
    return QColor(0x4C, 0xAF, 0x50);
}

QString budgetPercentText(bool hasBudget, double percent)
{
    if (!hasBudget)
        return QStringLiteral("无预算");
    if (percent > 100 && percent < 101)
        return QStringLiteral("超支");
    return QString::number(std::floor(percent), 'f', 0) + QLatin1Char('%');
}

void BudgetBarDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    const QString text = index.data(Qt::DisplayRole).toString();
    bool ok = false;
    double percent = text.endsWith(QLatin1Char('%')) ? text.chopped(1).toDouble(&ok) : 0;
    if (text == QStringLiteral("超支")) {
        ok = true;
        percent = 100.5;
    }
    if (!ok) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    // The cell's background and selection without its text (the base class would put the text back).
    QStyleOptionViewItem plain = option;
    initStyleOption(&plain, index);
    plain.text.clear();
    const QWidget* view = option.widget;
    (view ? view->style() : QApplication::style())->drawControl(QStyle::CE_ItemViewItem, &plain, painter, view);
    const QRect box = option.rect.adjusted(2, 3, -2, -3);
    QRect bar = box;
    bar.setWidth(int(box.width() * std::min(percent, 100.0) / 100.0));
    painter->save();
    painter->fillRect(bar, budgetColor(percent));
    painter->setPen(option.palette.color(QPalette::Text));
    painter->drawRect(box.adjusted(0, 0, -1, -1));
    painter->drawText(box, Qt::AlignCenter, text);
    painter->restore();
}
