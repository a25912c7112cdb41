#pragma once

#include "recurring.h"
#include "shell/datawindow.h"

class QLabel;
class QStandardItemModel;
class QTableView;

// The recurring records due up to today: each with its date and amount to change, a tick to post
// it, and the reason why a template cannot be posted (its member or type is gone). 入帐 posts the
// ticked ones in one transaction; 跳过 records them as skipped.
class DueWindow : public DataWindow {
    Q_OBJECT
public:
    explicit DueWindow(QWidget* parent = nullptr);
    int dueCount() const { return int(due_.size()); }

    // After a login: shows the window (not modal) when anything is due up to today. The window, or
    // null when nothing is due.
    static DueWindow* showIfDue(QWidget* parent);

private:
    void load();
    QList<int> tickedRows() const;
    void postTicked();
    void skipTicked();

    QList<Recurring::Due> due_;
    QStandardItemModel* model_ = nullptr;
    QTableView* grid = nullptr;
    QLabel* note = nullptr;
};
