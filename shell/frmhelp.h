#pragma once

#include <QDialog>

class QLabel;

// The help window: four lines on how to begin.
class frmHelp : public QDialog {
    Q_OBJECT
public:
    explicit frmHelp(QWidget* parent = nullptr);
    static QString helpText();

private:
    QLabel* Label1 = nullptr;
};
