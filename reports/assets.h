#pragma once

#include "recordset.h"
#include "shell/datawindow.h"

#include <QMap>
#include <optional>

class QLabel;
class QPushButton;
class QStatusBar;

// The household's present position: income against expenses, deposits against withdrawals,
// borrowed against lent, and the other investments, each summed over a whole table on "统计".
class AssetsWindow : public DataWindow {
    Q_OBJECT
public:
    explicit AssetsWindow(QWidget* parent = nullptr);
    ~AssetsWindow() override;

private:
    void Command1_Click();
    // The single value z of a one-row sum over `field` of `table`; empty when the sum is empty.
    std::optional<MoneyTotal> sumOf(const QString& sql, const QString& table, const QString& field);
    void progress(const QString& text);
    void clearFigures();
    QLabel* lblxf(int i) const { return lblxf_.value(i); }
    QLabel* lblyh(int i) const { return lblyh_.value(i); }

    Recordset rs_;
    QMap<int, QLabel*> lblxf_;
    QMap<int, QLabel*> lblyh_;
    QLabel* lbldate = nullptr;
    QLabel* lbluser = nullptr;
    QPushButton* Command1 = nullptr;
    QPushButton* Command2 = nullptr;
    QStatusBar* stabar = nullptr;
    QLabel* stabar_1 = nullptr;
    QLabel* stabar_2 = nullptr;
};

// A sum label: the plain form followed by one blank ("1234.5 "); an empty sum leaves the blank.
QString sumText(const std::optional<MoneyTotal>& sum);
