#pragma once

#include "ledgerlisting.h"
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
class Store;
class QLineEdit;
class QPushButton;

// What tells the three ledger queries apart: the income and expense queries (member, type, dates,
// with the total line) and the bank record query (member, bank, direction, dates, no total).
struct QueryKind {
    const char* name;            // window name, e.g. "frmquery_sr"
    const char* caption;
    const char* otherTip;        // tooltip of cmdfindo
    const char* otherIdCaption;  // captions beside lbllxID and lbllx
    const char* otherNameCaption;
    Ledger ledger;               // the ledger listed (see LedgerListing)
    bool total;                  // shows "金额总计：...元" in totalLabel
    bool direction;              // has the direction combo coblx ("存入" / "支出")
};

extern const QueryKind kQueryKinds[3];  // frmquery_sr, frmquery_zc, frmquery_yh

// A read-only listing of one ledger joined to the names of its member and type (or bank), narrowed
// by the criteria chosen through the lookup picker and a date range.
class LedgerQuery : public DataWindow {
    Q_OBJECT
public:
    LedgerQuery(Store& store, const QueryKind& kind, QWidget* parent = nullptr);
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
    // Opens the result on `query`; false (with a message shown) when the reading fails.
    bool openResult(const LedgerListing::Query& query);
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
    // The conditions typed in them into `filter`, and their description for the range line; false,
    // with a message and the focus on the box to mend, when the amount range is no range.
    bool readSearch(LedgerListing::Filter& filter);

    Store& store_;
    const QueryKind& kind_;
    LedgerListing listing_;
    Recordset rs_;
    LedgerListing::Query query_;  // of the result shown
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

