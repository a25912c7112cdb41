#pragma once

#include "billposting.h"
#include "bills.h"
#include "datawindow.h"

#include <memory>

class QLabel;
class QPushButton;
class QTableView;
class QToolButton;
class Store;

// 收入/支出 → 导入账单…: a bill of Alipay or WeChat Pay (or a bank's statement), shown row by row as it would be posted, then
// posted into 收入帐 and 支出帐. The user picks the member of the whole bill and a type for each
// counterparty (offered again from the last import); rows that are not posted are greyed with the
// reason.
class BillImportWindow : public DataWindow {
    Q_OBJECT
public:
    // Asks for the bill's file and reads it: the window over it, or nothing when the user gave up or
    // the file is not a sound bill (told, naming the line).
    static BillImportWindow* chooseAndRead(Store& store, QWidget* parent);

    BillImportWindow(Store& store, Bills::Bill bill, const QString& path, QWidget* parent = nullptr);
    ~BillImportWindow() override;

    struct Preview;

private:
    // A statement of a layout the program does not know: read with the columns named for its header
    // before, or named now by the user.
    static BillImportWindow* statementWindow(Store& store, const QByteArray& bytes, const Bills::Table& table,
                                             const QString& path, QWidget* parent);
    // Each movement posted also into 银行帐 of this bank (银行.ID), as the statement's columns say.
    void alsoIntoBank(const QString& bank);
    void pickMember();
    void pickPartyType();
    void importBill();
    // A greyed row ticked to be posted anyway, or unticked.
    void tickRow(int row, bool ticked);
    // After a pick: the grids and the summary line.
    void refresh();

    Store& store_;
    std::unique_ptr<Preview> preview_;
    bool fitted_ = false;

    QLabel* fileLabel = nullptr;
    QLabel* memberIdLabel = nullptr;
    QLabel* memberLabel = nullptr;
    QToolButton* pickMemberButton = nullptr;
    QTableView* dgparty = nullptr;
    QToolButton* pickTypeButton = nullptr;
    QTableView* rowsGrid = nullptr;
    QLabel* totalsLabel = nullptr;
    QLabel* statedTotalsLabel = nullptr;  // the totals the bill states before its rows, beside its rows' own
    QPushButton* importButton = nullptr;
    QPushButton* closeButton = nullptr;
};
