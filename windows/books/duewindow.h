#pragma once

#include "recurring.h"
#include "datawindow.h"

#include <QHash>
#include <QVariant>

class QLabel;
class Store;
class QStandardItem;
class QStandardItemModel;
class QTableView;

// The recurring records due up to today: each with its date and amount to change, a tick to post
// it, and the reason why a template cannot be posted (its member or type is gone) or why it may be
// entered already (a record entered by hand seems to be it: unticked). 入帐 posts the ticked ones in
// one transaction; 跳过 records them as skipped. Ticks, dates and amounts stay as the person left
// them when the list is read again (after a posting here or anywhere else).
class DueWindow : public DataWindow {
    Q_OBJECT
public:
    explicit DueWindow(Store& store, QWidget* parent = nullptr);
    int dueCount() const { return int(due_.size()); }

    // After a login: shows the window (not modal) when anything is due up to today. The window, or
    // null when nothing is due.
    static DueWindow* showIfDue(Store& store, QWidget* parent);

private:
    void load();
    QList<int> tickedRows() const;
    void postTicked();
    void skipTicked();
    // What the person changed in a row (its tick, date or amount): kept across every reading of the
    // list, by the occurrence's template and due date.
    void remember(QStandardItem* item);
    static QString keyOf(const Recurring::Due& d);

    Store& store_;
    QList<Recurring::Due> due_;
    QHash<QString, QHash<int, QVariant>> chosen_;  // by occurrence, by column: the tick state or text
    bool filling_ = false;
    QStandardItemModel* model_ = nullptr;
    QTableView* grid = nullptr;
    QLabel* note = nullptr;
};
