#pragma once

#include <QDialog>

class QLabel;

// The help window: four lines on how to begin.
class HelpWindow : public QDialog {
    Q_OBJECT
public:
    explicit HelpWindow(QWidget* parent = nullptr);
    static QString helpText();

private:
    QLabel* textLabel = nullptr;
};
