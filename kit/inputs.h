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

// The rule of every amount box. Digits and the decimal point, and the minus sign where `negative`,
// get in however they come: typed, pasted, dropped or committed by an input method. Full-width
// digits, the full-width point and minus (and the ideographic full stop) are read as their plain
// forms. Anything else is refused whole, the box unchanged, with a message (a key press too: keys
// typed after a refused one must not make another amount of what is left). enterMovesOn: Enter moves
// on like Tab (false: it does nothing).
void installAmountBox(QLineEdit* box, bool negative, bool enterMovesOn);

// The save-time check of an amount box's text (blanks ignored): empty when it is an amount of at
// most 99,999,999,999.99 either way with at most two decimals (cents), else the message that says what is wrong, naming the amount
// as `what` ("金额") with an example of a good one ("1234.56").
QString amountProblem(const QString& text, const QString& what, const QString& example);

// A value a record must have before it is saved: its text, the message when it is empty, and the
// control that fixes it.
struct RequiredValue {
    QString value;
    QString message;
    QWidget* fix;
};
// The save-time checks of a record, in order: each required value, then the amount box's text by
// amountProblem. The first that fails shows its message (information icon) and takes the focus to
// what fixes it: false.
bool checkRecord(std::initializer_list<RequiredValue> required, QLineEdit* amount);

// Keeps control characters (and halves of characters) out of every text box of `window`: a paste,
// drop or input-method commit that holds one is refused whole with a message. Multi-line boxes
// keep their line breaks. Boxes with a rule of their own (the amount boxes) keep it. Applied once
// to each window by the window base and the login; applying it again changes nothing.
void guardTextInput(QWidget* window);

// The save-time check of every text box of `window`, whatever route its text came in by: when one
// holds a control character (line breaks aside in multi-line boxes) or half a character, a message
// names it, the focus goes to it: false.
bool checkNoControlCharacters(QWidget* window);

// At most `count` characters as the user sees them (grapheme clusters: an emoji, or a letter with
// its accents, is one), never half of one. Further typing is refused quietly, a paste that would
// go beyond the limit is refused whole.
void setCharacterLimit(QLineEdit* box, int count);
// The characters of `text` as the user sees them.
int visibleLength(const QString& text);

// A date picker with a calendar popup, showing yyyy-MM-dd.
QDateEdit* datePicker(const QString& name, const QDate& date, QWidget* parent);

// One row of a form's grid: each caption as the buddy label of its control, side by side from column 0.
void addFieldRow(QGridLayout* grid, int row, std::initializer_list<std::pair<QString, QWidget*>> fields);

// A label that is the buddy of an input: its text is the input's accessible name (not of a value
// label's: that one is named by the value it shows).
QLabel* buddyLabel(const QString& text, QWidget* input, QWidget* parent);
