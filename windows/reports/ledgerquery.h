#pragma once

#include "recordset.h"
#include "datagrid.h"
#include "datawindow.h"

#include <cstdint>

class QAction;
class QBoxLayout;
class QComboBox;
class QDateEdit;
class QFrame;
class QGridLayout;
class QLabel;
class QLineEdit;
class QPushButton;

// What tells the three ledger queries apart: the income and expense queries (member, type, dates,
// with the total line) and the bank record query (member, bank, direction, dates, no total).
struct QueryKind {
    const char* name;            // window name, e.g. "frmquery_sr"
    const char* caption;
    const char* otherTip;        // tooltip of cmdfindo
    const char* otherTable;      // what cmdfindo lists in the picker
    const char* otherNameField;  // its name field
    const char* otherIdCaption;  // captions beside lbllxID and lbllx
    const char* otherNameCaption;
    const char* head;            // SELECT ... FROM ..., the joins that keep every ledger record
    const char* otherKey;        // the column the second criterion compares, e.g. "收入类型.ID"
    const char* dateField;       // the ledger's date column
    const char* orderColumn;     // the rows are listed in Chinese order of this column
    bool total;                  // shows "金额总计：...元" in totalLabel
    bool direction;              // has the direction combo coblx ("存入" / "支出")
};

extern const QueryKind kQueryKinds[3];  // frmquery_sr, frmquery_zc, frmquery_yh

// A read-only listing of one ledger joined to the names of its member and type (or bank), narrowed
// by the criteria chosen through the lookup picker and a date range.
class LedgerQuery : public DataWindow {
    Q_OBJECT
public:
    explicit LedgerQuery(const QueryKind& kind, QWidget* parent = nullptr);
    ~LedgerQuery() override;

    const QueryKind& kind() const { return kind_; }
    // The direction the bank query matches: set only by choosing a list item of coblx.
    const QString& direction() const { return direction_; }

protected:
    bool eventFilter(QObject* o, QEvent* e) override;

private:
    QFrame* buildCriteria();
    void setKeyboardOrder();
    void setUpDirection();
    void pickMember();
    void pickOther();
    void runQuery();
    void chooseDirection(int index);
    void warnOfTypedDirection();
    // Opens the result on `sql` with `values` bound to its "?" marks; false (with a message shown)
    // when the statement fails.
    bool openResult(const QString& sql, const QVariantList& values = {}, const std::optional<ByLookup>& order = std::nullopt);
    void runStatement();
    void showRows();
    QString totalText();
    void showResult(bool ok);
    // The line above the grid: the dates the list covers, "全部日期" when no date condition applies,
    // then the search conditions that narrow it.
    void showRange(bool datesApply);

    // Correcting and deleting the listed records, and taking that back (querycorrections.cpp). Each
    // row carries its ledger record's rowid; a change re-reads, drops or puts back that one row and
    // the total is added up again from the rows held, without reading the result again.
    void setUpCorrections(QBoxLayout* layout);
    bool canCorrect() const;
    void updateCorrectionButtons();
    void correctCurrent();
    void deleteCurrentRecord();
    void undoLast();
    void recordCorrected(const QString& ledger, std::int64_t rowid);
    void recordRestored(const QString& ledger, std::int64_t rowid, const QVariant& place);
    void totalAgain();

    // The search boxes: text in the note (not in the bank query, whose ledger has no note) and an
    // amount range, on row `row` of the criteria; returns the next row.
    int addSearchBoxes(QGridLayout* grid, int row, QWidget* parent);
    // The conditions typed in them, each as " and <condition>" with its values to bind, and their
    // description for the range line; false, with a message and the focus on the box to mend, when
    // the amount range is no range.
    bool readSearch(QString& sql, QVariantList& values);

    const QueryKind& kind_;
    Recordset rs_;
    QString head_;
    QString criteria_;
    QVariantList criteriaValues_;
    QString direction_;
    QString searchShown_;  // the search conditions of the list shown, for the range line

    QLabel* criteriaCaption = nullptr;
    QPushButton* pickMemberButton = nullptr;
    QPushButton* pickOtherButton = nullptr;
    QLabel* memberIdLabel = nullptr;
    QLabel* memberLabel = nullptr;
    QLabel* otherIdLabel = nullptr;
    QLabel* otherLabel = nullptr;
    QComboBox* directionBox = nullptr;
    QDateEdit* fromDate = nullptr;
    QDateEdit* toDate = nullptr;
    QPushButton* runButton = nullptr;
    DataGrid* resultGrid = nullptr;
    QLabel* totalLabel = nullptr;
    QLabel* rangeLabel = nullptr;

    QString ledger_;       // the ledger the rows stand for
    int resultSerial_ = 0;  // which result the grid shows, among those of every query window
    QPushButton* editButton = nullptr;
    QPushButton* deleteButton = nullptr;
    QPushButton* undoButton = nullptr;
    QAction* undoAction_ = nullptr;

    QLineEdit* noteSearchEdit = nullptr;
    QLineEdit* amountFromEdit = nullptr;
    QLineEdit* amountToEdit = nullptr;
};

