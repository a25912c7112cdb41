#pragma once

#include <QDialog>
#include <QString>
#include <exception>

class EditableRows;

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
bool confirmDeleteCurrent(EditableRows& rs);

// A failure's cause in the words the person is shown.
QString dbErrorText(const std::exception& e);
// Shows a DbError's cause as a clear message (information icon).
void showDbError(const std::exception& e, const QString& what = QString());
