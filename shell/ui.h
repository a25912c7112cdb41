#pragma once

#include "recordset.h"
#include "recordsetmodel.h"

#include <QColor>
#include <QDialog>
#include <QFont>
#include <QPointer>
#include <QString>
#include <QTableView>
#include <functional>
#include <initializer_list>
#include <utility>
#include <vector>

class QDate;
class QDateEdit;
class QGridLayout;
class QLabel;
class QLineEdit;
class Recordset;

// Sizes given in twips (1440 to the inch) at the screen's logical resolution.
int twips(int tw);

// 宋体 and 楷体_GB2312, with the Song and Kai faces that Debian ships as fallbacks.
QFont songFont(int pointSize);
QFont kaiFont(int pointSize);

// The light grey of bound boxes (224, 224, 224), and white while a box has the focus.
inline const QColor kBoxGrey(0xE0, 0xE0, 0xE0);
void setBoxColor(QWidget* box, const QColor& color);
void installFocusColor(QWidget* box, const QColor& normal = kBoxGrey, const QColor& focused = Qt::white);

// Enter moves the focus on to the next control, like Tab, and types nothing.
void installEnterAsTab(QWidget* box);

// Only the given characters (and Backspace, and keys that type nothing) reach the box.
// enter: true moves on like Tab, false swallows Enter.
void installCharFilter(QLineEdit* box, const QString& allowed, bool enterMovesOn);

// A date picker with a calendar popup, showing yyyy-MM-dd.
QDateEdit* datePicker(const QString& name, const QDate& date, QWidget* parent);

// One row of a form's grid: each caption as the buddy label of its control, side by side from column 0.
void addFieldRow(QGridLayout* grid, int row, std::initializer_list<std::pair<QString, QWidget*>> fields);

// A label that is the buddy of an input: its text is the input's accessible name.
QLabel* buddyLabel(const QString& text, QWidget* input, QWidget* parent);

// A grid showing a recordset: one selected row, the recordset's current row. Read-only, fixed row
// heights (no per-row measuring), so it stays quick on a million rows. While the recordset has a
// pending change the selection cannot leave the row being edited.
class DataGrid : public QTableView {
    Q_OBJECT
public:
    explicit DataGrid(QWidget* parent = nullptr);
    void setRecordset(Recordset* rs);
    Recordset* recordset() const { return rs_; }
    RecordsetModel* recordsetModel() const { return model_; }
    // At least `tw` twips, and wide enough for the header and the first rows' texts.
    void setColumnTwips(int column, int tw);
    void setColumnAlignment(int column, Qt::Alignment a);
    void setColumnFormat(int column, RecordsetModel::Format f);
    void setColumnHiddenWidth(int column);  // width 0

private:
    void followRecordset(int row);
    void widenToFit(int column);
    QPointer<Recordset> rs_;
    RecordsetModel* model_ = nullptr;
    bool syncing_ = false;
    bool removing_ = false;
};

// Labels, text boxes and combo boxes bound to fields of a recordset: they show the current row, and
// flush() hands their contents to the row before Update.
class Binder : public QObject {
    Q_OBJECT
public:
    explicit Binder(Recordset* rs, QObject* parent = nullptr);
    void bind(QWidget* w, const QString& field);
    void refresh();
    // Writes every bound control's text into the current row (starting an edit if none is pending).
    void flush();
    // Saves the row: the controls' texts, then what `setFields` writes, then Update. A refusal is
    // shown as a message and leaves the row being edited with everything typed: false.
    bool save(const std::function<void(Recordset&)>& setFields = {});
    // Drops the pending change or new row; the controls show the current row again.
    void cancel();
    // Appends a new, empty row; a refusal is shown as a message: false.
    bool addNew();

private:
    struct Item {
        QPointer<QWidget> w;
        QString field;
    };
    QPointer<Recordset> rs_;
    std::vector<Item> items_;
};

// Base of every window that a menu opens: ends the main window's busy state when activated.
class DataWindow : public QDialog {
    Q_OBJECT
public:
    explicit DataWindow(const QString& name, QWidget* parent = nullptr);

    // A window that edits data keeps Escape from closing it: a half-typed row or the staged records
    // would go with it. Only its own buttons and the close box close it.
    void setEscapeCloses(bool closes) { escapeCloses_ = closes; }

protected:
    bool event(QEvent* e) override;
    void showEvent(QShowEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    // Called on every activation; the default ends the busy state.
    virtual void formActivate();

private:
    bool escapeCloses_ = true;
};

// Asks "真的要删除此成员记录吗" and on OK deletes the current row; the following row becomes current,
// or the new last row when the last was deleted. A delete the file refuses is told and its row stays
// current; on an empty list nothing happens. True when a row was deleted.
bool confirmDeleteCurrent(Recordset& rs);

// Shows a DbError's cause as a clear message (information icon).
void showDbError(const std::exception& e, const QString& what = QString());
