#include "charts.h"

#include "recordset.h"
#include "inputs.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QCategoryAxis>
#include <QChart>
#include <QChartView>
#include <QCursor>
#include <QGraphicsScene>
#include <QHash>
#include <QLegend>
#include <QLegendMarker>
#include <QLineSeries>
#include <QPainter>
#include <QPieSeries>
#include <QPieSlice>
#include <QTimer>
#include <QToolTip>
#include <algorithm>
#include <cmath>

namespace {

// A chart drawn for paper carries this property: its faces are sized in pixels of a 96-dpi layout,
// which the painter then scales onto the page (a point size would be taken at the printer's
// resolution and come out many times too large once scaled).
const char* const kPaper = "kinbookPaper";

const QColor kIncome(0x3A, 0x7C, 0xC3);
const QColor kExpense(0xE0, 0x7B, 0x39);
const QColor kBalance(0x2E, 0x8B, 0x57);

// Colours that tell neighbours apart (the theme would shade one hue for all slices of a ring).
QColor colour(qsizetype i)
{
    static const QColor all[] = {QColor(0x3A, 0x7C, 0xC3), QColor(0xE0, 0x7B, 0x39), QColor(0x2E, 0x8B, 0x57),
                                 QColor(0xC0, 0x39, 0x2B), QColor(0x8E, 0x44, 0xAD), QColor(0xD4, 0xAC, 0x0D),
                                 QColor(0x16, 0xA0, 0x85), QColor(0x7F, 0x8C, 0x8D), QColor(0xD3, 0x54, 0x00),
                                 QColor(0x2C, 0x3E, 0x50)};
    return all[i % std::size(all)];
}

QFont face(const QChart* chart, QFont f)
{
    if (chart->property(kPaper).toBool())
        f.setPixelSize(qRound(f.pointSizeF() * 96.0 / 72.0));
    return f;
}

void style(QChart* chart)
{
    chart->setAnimationOptions(QChart::NoAnimation);
    chart->setLocalizeNumbers(false);
    chart->setTitleFont(face(chart, kaiFont(12)));
    chart->legend()->setVisible(true);
    chart->legend()->setFont(face(chart, songFont(9)));
    chart->legend()->setAlignment(Qt::AlignBottom);
    chart->legend()->setShowToolTips(true);
    chart->setMargins(QMargins(4, 4, 4, 4));
    chart->setBackgroundRoundness(0);
}

// Takes away every series and axis and sets the title.
void clear(QChart* chart, const QString& title)
{
    chart->removeAllSeries();
    for (QAbstractAxis* a : chart->axes()) {
        chart->removeAxis(a);
        delete a;
    }
    chart->setTitle(title);
    chart->legend()->setAlignment(Qt::AlignBottom);
}

QString grouped(double v)
{
    const auto t = MoneyTotal::fromNumber(v);
    return t ? t->toGrouped() : QString::number(v, 'f', 2);
}

// A value axis from `lo` to `hi` (zero always included) whose labels read "#,##0.00", at round steps.
QCategoryAxis* moneyAxis(const QChart* chart, double lo, double hi)
{
    lo = std::min(lo, 0.0);
    hi = std::max(hi, 0.0);
    if (hi - lo < 0.01)
        hi = lo + 100;  // nothing to show: a plain scale
    const double raw = (hi - lo) / 5;
    const double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
    const double r = raw / magnitude;
    const double step = magnitude * (r <= 1 ? 1 : r <= 2 ? 2 : r <= 5 ? 5 : 10);
    const double first = std::floor(lo / step), last = std::ceil(hi / step);
    auto* axis = new QCategoryAxis;
    axis->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    axis->setStartValue(first * step);
    for (double k = first; k <= last; ++k)
        axis->append(grouped(k * step), k * step);
    axis->setRange(first * step, last * step);
    axis->setLabelsFont(face(chart, songFont(8)));
    return axis;
}

QBarCategoryAxis* categoryAxis(const QChart* chart, const QStringList& categories)
{
    auto* axis = new QBarCategoryAxis;
    axis->append(categories);
    axis->setLabelsFont(face(chart, songFont(9)));
    return axis;
}

// On the screen a bar tells its amount when the pointer rests on it.
void tellOnHover(QBarSeries* bars)
{
    QObject::connect(bars, &QBarSeries::hovered, bars, [](bool on, int index, QBarSet* set) {
        if (on)
            QToolTip::showText(QCursor::pos(), set->label().section(u' ', 0, 0) + QLatin1Char(' ') + grouped(set->at(index)));
        else
            QToolTip::hideText();
    });
}

}  // namespace

QChartView* newChartView(const QString& objectName, const QString& accessibleName, QWidget* parent)
{
    auto* chart = new QChart;
    style(chart);
    auto* view = new QChartView(chart, parent);
    view->setObjectName(objectName);
    view->setAccessibleName(accessibleName);
    view->setRenderHint(QPainter::Antialiasing);
    view->setMinimumSize(twips(4800), twips(3600));
    return view;
}

void drawYearChart(QChart* chart, const QString& title, const QList<MonthFigures>& months)
{
    clear(chart, title);
    if (months.isEmpty())
        return;
    auto* income = new QBarSet(QStringLiteral("收入"));
    auto* expense = new QBarSet(QStringLiteral("支出"));
    income->setColor(kIncome);
    expense->setColor(kExpense);
    auto* balance = new QLineSeries;
    balance->setName(QStringLiteral("结余"));
    balance->setPen(QPen(kBalance, 2));
    balance->setPointsVisible(true);
    QStringList categories;
    double lo = 0, hi = 0;
    for (qsizetype i = 0; i < months.size(); ++i) {
        const MonthFigures& m = months[i];
        categories << QString::number(m.month) + QStringLiteral("月");
        const double in = m.income.toDouble(), out = m.expense.toDouble(), left = m.balance().toDouble();
        *income << in;
        *expense << out;
        balance->append(static_cast<qreal>(i), left);
        lo = std::min({lo, in, out, left});
        hi = std::max({hi, in, out, left});
    }
    auto* bars = new QBarSeries;
    bars->append(income);
    bars->append(expense);
    tellOnHover(bars);
    chart->addSeries(bars);
    chart->addSeries(balance);
    QBarCategoryAxis* x = categoryAxis(chart, categories);
    QCategoryAxis* y = moneyAxis(chart, lo, hi);
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);
    for (QAbstractSeries* s : {static_cast<QAbstractSeries*>(bars), static_cast<QAbstractSeries*>(balance)}) {
        s->attachAxis(x);
        s->attachAxis(y);
    }
}

void drawPositionChart(QChart* chart, const QString& title, const QList<ChartFigure>& figures)
{
    clear(chart, title);
    if (figures.isEmpty())
        return;
    // The legend names each bar with its amount, so every figure can be read without the axis; at
    // the side it has the room for the whole of each.
    chart->legend()->setAlignment(Qt::AlignRight);
    auto* bars = new QBarSeries;
    double lo = 0, hi = 0;
    for (const ChartFigure& f : figures) {
        auto* set = new QBarSet(f.name + QLatin1Char(' ') + f.amount.toGrouped());
        set->setColor(colour(bars->count()));
        const double v = f.amount.toDouble();
        *set << v;
        bars->append(set);
        lo = std::min(lo, v);
        hi = std::max(hi, v);
    }
    bars->setBarWidth(0.9);
    tellOnHover(bars);
    chart->addSeries(bars);
    QBarCategoryAxis* x = categoryAxis(chart, {QStringLiteral("当前资产")});
    QCategoryAxis* y = moneyAxis(chart, lo, hi);
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);
    bars->attachAxis(x);
    bars->attachAxis(y);
}

QList<ChartFigure> totalsBy(const Recordset& rs, int keyField, int amountField, const QString& emptyName)
{
    QList<ChartFigure> out;
    QHash<QString, qsizetype> at;
    for (int r = 0; r < rs.rowCount(); ++r) {
        QString key = rs.textAt(r, keyField);
        if (key.isEmpty())
            key = emptyName;
        auto it = at.constFind(key);
        if (it == at.constEnd()) {
            it = at.insert(key, out.size());
            out.append({key, MoneyTotal()});
        }
        if (const auto m = rs.moneyAt(r, amountField))
            out[*it].amount += *m;
    }
    std::stable_sort(out.begin(), out.end(),
                     [](const ChartFigure& a, const ChartFigure& b) { return a.amount.toDouble() > b.amount.toDouble(); });
    return out;
}

QString chartDescription(const QString& title, const QList<ChartFigure>& figures)
{
    QStringList parts;
    for (const ChartFigure& f : figures)
        parts << f.name + QLatin1Char(' ') + f.amount.toGrouped();
    return parts.isEmpty() ? title : title + QStringLiteral("。") + parts.join(QStringLiteral("；"));
}

QString shareText(const MoneyTotal& part, const MoneyTotal& whole)
{
    const double w = whole.toDouble();
    return QString::number(w > 0 ? part.toDouble() * 100.0 / w : 0.0, 'f', 1) + QLatin1Char('%');
}

void drawRingChart(QChart* chart, const QString& title, const QList<ChartFigure>& figures)
{
    MoneyTotal whole;
    int leftOut = 0;
    for (const ChartFigure& f : figures) {
        if (f.amount.toDouble() > 0)
            whole += f.amount;
        else
            ++leftOut;
    }
    clear(chart, leftOut ? title + QStringLiteral("（%1 项不大于零，未画出）").arg(leftOut) : title);
    chart->legend()->setAlignment(Qt::AlignRight);
    auto* ring = new QPieSeries;
    ring->setHoleSize(0.33);
    ring->setPieSize(0.66);  // room around it for the labels
    const QFont labels = face(chart, songFont(9));
    QStringList legend;
    for (const ChartFigure& f : figures) {
        if (f.amount.toDouble() <= 0)
            continue;
        // The slice says what it is and its share; the legend adds the amount.
        const QString share = shareText(f.amount, whole);
        auto* slice = ring->append(f.name + QLatin1Char(' ') + share, f.amount.toDouble());
        legend << f.name + QLatin1Char(' ') + f.amount.toGrouped() + QStringLiteral("（") + share + QStringLiteral("）");
        slice->setLabelFont(labels);
        slice->setColor(colour(ring->count() - 1));
        slice->setBorderColor(Qt::white);
        // Thin slices keep their label in the legend only, where it cannot overlap its neighbours.
        slice->setLabelVisible(f.amount.toDouble() >= whole.toDouble() * 0.03);
    }
    chart->addSeries(ring);
    const QList<QLegendMarker*> markers = chart->legend()->markers(ring);
    for (qsizetype i = 0; i < markers.size() && i < legend.size(); ++i)
        markers[i]->setLabel(legend[i]);
}

void paintChart(QPainter* painter, const QRectF& target, const std::function<void(QChart*)>& fill)
{
    QGraphicsScene scene;
    auto* chart = new QChart;
    chart->setProperty(kPaper, true);
    style(chart);
    fill(chart);
    scene.addItem(chart);  // the scene owns it
    const qreal scale = painter->device()->logicalDpiX() / 96.0;
    chart->setGeometry(QRectF(0, 0, target.width() / scale, target.height() / scale));
    scene.setSceneRect(chart->geometry());
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    scene.render(painter, target, scene.sceneRect());
    painter->restore();
}

void followRecordset(Recordset* rs, QObject* context, std::function<void()> redraw)
{
    auto* later = new QTimer(context);
    later->setSingleShot(true);
    later->setInterval(0);
    QObject::connect(later, &QTimer::timeout, context, std::move(redraw));
    const auto schedule = [later] { later->start(); };
    QObject::connect(rs, &Recordset::reset, later, schedule);
    QObject::connect(rs, &Recordset::rowChanged, later, schedule);
    QObject::connect(rs, &Recordset::rowInserted, later, schedule);
    QObject::connect(rs, &Recordset::rowRemoved, later, schedule);
    QObject::connect(rs, &Recordset::loaded, later, schedule);
}
