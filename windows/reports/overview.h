#pragma once

#include "datawindow.h"

#include <QList>
#include <QMap>
#include <utility>

class QCheckBox;
class QLabel;
class QStandardItemModel;
class QTableView;
class Store;

// 本月概览: this month's income, expenses and balance beside last month's, the five largest
// expense types with their budget bars, the recurring records due in the next 7 days, the last 10
// records and the asset position in one line. Each part has a button that opens its window.
class OverviewWindow : public DataWindow {
    Q_OBJECT
public:
    explicit OverviewWindow(Store& store, QWidget* parent = nullptr);

    // After a login: shows the overview (not modal) unless it was switched off. The window or null.
    static OverviewWindow* showAfterLogin(Store& store, QWidget* parent);

private:
    void load();
    QTableView* table(const QString& name, const QString& spokenName, QStandardItemModel** model);

    Store& store_;
    QMap<QString, QLabel*> figures_;
    QStandardItemModel* largest_ = nullptr;
    QStandardItemModel* due_ = nullptr;
    QStandardItemModel* latest_ = nullptr;
    QList<std::pair<QTableView*, QStandardItemModel*>> lists_;  // each list's view and its rows
    QLabel* position = nullptr;
    QCheckBox* showAtLogin = nullptr;
};
