#pragma once

#include "recordset.h"
#include "sync.h"
#include "datawindow.h"

class DataGrid;
class QLineEdit;
class QPushButton;
class Store;
class ValueLabel;

// 系统 → 同步…: the folder the family's computers share and this computer's name (kept in 设置),
// 保存设置, 立即同步, and the list of what was sent and applied, what was refused and every conflict.
class SyncWindow : public DataWindow {
    Q_OBJECT
public:
    explicit SyncWindow(Store& store, QWidget* parent = nullptr);
    ~SyncWindow() override;

private:
    void chooseFolder();
    void saveSettings();
    void syncNow();
    void loadLog();
    void showState();

    QLineEdit* folderEdit = nullptr;
    QPushButton* folderButton = nullptr;
    QLineEdit* nameEdit = nullptr;
    ValueLabel* stateLabel = nullptr;
    QPushButton* saveButton = nullptr;
    QPushButton* syncButton = nullptr;
    QPushButton* closeButton = nullptr;
    DataGrid* logGrid = nullptr;
    Store& store_;
    Recordset rs_;
};

// When the program syncs by itself: once the file is open at start, after each login, every few
// minutes while the main window is open and shortly after a change was recorded; and it sends what
// is recorded before the file closes. These runs are quiet except for a refused file, which is told
// by a message that names it. The program's own start turns them on (tests run syncs themselves).
namespace SyncService {

void setAutomatic(bool on);
bool automatic();
void afterOpen();
void afterLogin(QWidget* mainWindow);
void beforeClose();
// A run now (立即同步 and the automatic runs): refused files are told by a message.
Sync::Report runNow();
// When the last run of this program was and what it did, in a line.
QString lastRun();

}  // namespace SyncService

// Registers the window and the run after each login.
void registerSyncWindow();
