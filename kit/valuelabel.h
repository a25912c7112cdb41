#pragma once

#include <QLabel>
#include <QString>

// A label that shows a value: a picked ID or name, a figure, a total, a status. A screen reader hears
// what it shows: its accessible name is its caption followed by its text at that moment (the text
// alone when it has no caption, the caption alone while it is empty), whoever set the text (the
// window, the picker or the binder).
class ValueLabel : public QLabel {
    Q_OBJECT
public:
    // caption: what the value is ("成员ID", "收入/支出 收入"); empty when the text says it itself
    // ("当前用户：张三", "金额总计：12.00元").
    ValueLabel(const QString& objectName, const QString& caption, QWidget* parent);

    const QString& caption() const { return caption_; }
    // What a screen reader hears: the caption and the text, blanks at either end of the text dropped.
    QString spokenText() const;

private:
    QString caption_;
};

// A value label that looks like a read-only box (a sunken panel at least `twipsWide` wide) and whose
// text can be selected and copied: the picked IDs and names, the figures.
ValueLabel* valueBox(const QString& objectName, const QString& caption, int twipsWide, QWidget* parent);
