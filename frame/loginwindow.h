#pragma once

#include <QPointer>
#include <QWidget>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QAbstractButton;
class MainWindow;

// The start-up window: opens the database, lets a member (or the built-in super-user) log in and
// hands over to the main window. It stays loaded, hidden, for the whole run; unloading it closes
// the database connection.
class LoginWindow : public QWidget {
    Q_OBJECT
public:
    explicit LoginWindow(QWidget* parent = nullptr);
    ~LoginWindow() override;

    // False when the database could not be opened: the program cannot go on.
    bool isLoaded() const { return loaded_; }
    // The main window opened by the last login, while it is open.
    MainWindow* mainWindow() const;
    // What the window says about how to begin, while the book has no members; empty otherwise.
    QString startHint() const;
    // Back after "重新登录": the members' names as they are now, the last name, an empty password.
    void showAgain();
    // Back after a restore: the names of the restored file, an empty password.
    void showAfterRestore();

protected:
    void closeEvent(QCloseEvent* e) override;
    void showEvent(QShowEvent* e) override;

private:
    void buildControls();
    void buildLayout();
    // Opens the file; the members it lists.
    void openAndListMembers();
    void fillNames();
    void showStartNote();
    void checkPassword();
    void refuse();
    void openMain();
    void logIn();
    void quit();
    void showAdministratorHint();
    void unload();

    QComboBox* memberBox = nullptr;
    QLineEdit* passwordEdit = nullptr;
    QPushButton* okButton = nullptr;
    QPushButton* cancelButton = nullptr;
    QAbstractButton* pictureButton = nullptr;  // the super-user's hint when clicked
    QLabel* startNoteLabel = nullptr;
    QPointer<MainWindow> main_;
    bool loaded_ = false;
    bool unloaded_ = false;
    bool centred_ = false;
};
