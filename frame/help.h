#pragma once

#include <QDialog>

class QLabel;
class QPushButton;
class QTextBrowser;
class QUrl;

// The help window: four lines on how to begin, and the user's manual (docs/manual.md, compiled in)
// shown below them on "用户手册".
class HelpWindow : public QDialog {
    Q_OBJECT
public:
    explicit HelpWindow(QWidget* parent = nullptr);
    static QString helpText();
    // Where the program keeps its copy of the user's manual.
    static QUrl manualSource();

private:
    void showManual();

    QLabel* textLabel = nullptr;
    QPushButton* manualButton = nullptr;
    QTextBrowser* manualView = nullptr;
};
