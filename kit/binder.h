#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>
#include <vector>

class QWidget;
class EditableRows;

// Labels, text boxes and combo boxes bound to fields of a table's rows being edited: they show the current row, and
// flush() hands their contents to the row before Update.
class Binder : public QObject {
    Q_OBJECT
public:
    explicit Binder(EditableRows* rs, QObject* parent = nullptr);
    void bind(QWidget* w, const QString& field);
    void refresh();
    // Writes every bound control's text into the current row (starting an edit if none is pending).
    void flush();
    // Saves the row: the controls' texts, then what `setFields` writes, then Update. A refusal is
    // shown as a message and leaves the row being edited with everything typed: false.
    bool save(const std::function<void(EditableRows&)>& setFields = {});
    // Drops the pending change or new row; the controls show the current row again.
    void cancel();
    // Appends a new, empty row; a refusal is shown as a message: false.
    bool addNew();

private:
    struct Item {
        QPointer<QWidget> w;
        QString field;
    };
    QPointer<EditableRows> rs_;
    std::vector<Item> items_;
};
