#pragma once

#include <QColor>
#include <QFont>
#include <QString>
#include <initializer_list>
#include <utility>

class QDate;
class QDateEdit;
class QGridLayout;
class QLabel;
class QLineEdit;
class QWidget;

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

// A label that is the buddy of an input: its text is the input's accessible name (not of a value
// label's: that one is named by the value it shows).
QLabel* buddyLabel(const QString& text, QWidget* input, QWidget* parent);

// An amount as a person types it, blanks anywhere ignored: true when it reads as a number.
bool isAmount(const QString& text);
