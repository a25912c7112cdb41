#pragma once

#include "charts.h"
#include "printedreport.h"
#include "datawindow.h"

#include <QMap>
#include <optional>

class QChartView;
class QLabel;
class QPushButton;
class QStandardItemModel;
class QVBoxLayout;
class Store;

// The household's present position: income against expenses, deposits against withdrawals,
// borrowed against lent, and the other investments, each summed over a whole table on "统计", and
// beside them the same position as bars.
class AssetsWindow : public DataWindow {
    Q_OBJECT
public:
    explicit AssetsWindow(Store& store, QWidget* parent = nullptr);
    ~AssetsWindow() override;

    // The bars of the chart: the balance of income and expenses, the bank balance, borrowed, lent
    // and invested, as last computed; empty before "统计" and after a failed one.
    const QList<ChartFigure>& position() const { return position_; }

private:
    void addTitle(QVBoxLayout* layout);
    QVBoxLayout* figureGroups();
    void addButtonsAndStatus(QVBoxLayout* layout);
    void computeStatistics();
    void progress(const QString& text);
    void clearFigures();
    void showPosition(QList<ChartFigure> figures);
    ReportContent report();
    QLabel* incomeExpenseLabel(int i) const { return incomeExpenseLabels_.value(i); }
    QLabel* positionLabel(int i) const { return positionLabels_.value(i); }

    Store& store_;
    QMap<int, QLabel*> incomeExpenseLabels_;
    QMap<int, QLabel*> positionLabels_;
    QLabel* dateLabel = nullptr;
    QLabel* userLabel = nullptr;
    QPushButton* countButton = nullptr;
    QPushButton* closeButton = nullptr;
    QLabel* progressLabel = nullptr;  // in the status bar
    PrintedReport::Buttons printing_{};
    QChartView* chart = nullptr;
    QList<ChartFigure> position_;
    QStandardItemModel* printed_ = nullptr;  // the figures as a table, made for printing
};

// A sum label: the plain form followed by one blank ("1234.5 "), grouped beyond the largest amount of
// a record ("922,337,203,730,702.58 "); an empty sum leaves the blank.
QString sumText(const std::optional<MoneyTotal>& sum);
