#pragma once

#include <QMainWindow>
#include <QPointer>
#include <QStringList>

class QUndoStack;

class QLabel;
class QStatusBar;
class LoginWindow;

// The main window: a picture, the logged-in user and the loading indicator in the status bar, and
// the menus from which every other window is opened.
class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    // `login` is the hidden login window that "重新登录" shows again and that "退出" unloads; without
    // one the main window just closes.
    explicit MainWindow(LoginWindow* login = nullptr, QWidget* parent = nullptr);
    ~MainWindow() override;

    // The names of the windows that the menus open, in menu order.
    static QStringList dataWindowNames();

protected:
    void closeEvent(QCloseEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void showEvent(QShowEvent* e) override;

private:
    void buildMenus();
    // 编辑: 撤销 takes back the corrections and deletions of this session; 回收站 opens the bin.
    void setUpEditMenu();
    void startSession();
    void placeBackground();
    void showAbout();
    void showHelp();
    void startCalculator();
    void backUp();
    void restoreBackup();
    void logInAgain();
    void exitProgram();

    QPointer<LoginWindow> login_;
    // The session's corrections and deletions, and the stack in use before this window's.
    QUndoStack* undoStack_ = nullptr;
    QPointer<QUndoStack> previousUndoStack_;
    QWidget* body_ = nullptr;
    QLabel* background_ = nullptr;
    QLabel* titleLabel_ = nullptr;
    QStatusBar* statusBar_ = nullptr;
    QLabel* panel1_ = nullptr;
    QLabel* panel2_ = nullptr;
    QLabel* note_ = nullptr;
    bool relogin_ = false;
    bool centred_ = false;
};
