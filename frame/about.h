#pragma once

#include <QDialog>
#include <functional>

class QLabel;
class QPushButton;

// The About box: title, version, one line about the program, and a button that starts the
// system-information tool where the system has one.
class AboutBox : public QDialog {
    Q_OBJECT
public:
    explicit AboutBox(QWidget* parent = nullptr);

    // Reads a text value under the local-machine registry root: false when the key or the value is
    // missing; a value that is not a text leaves `value` as it was and still answers true.
    using RegistryReader = std::function<bool(const QString& keyName, const QString& valueName, QString& value)>;
    // The reader of the system's registry (none outside Windows); tests put their own in.
    static void setRegistryReader(RegistryReader reader);  // empty: the system's
    // The full path of the system-information tool, or empty when none is registered or its file
    // is missing.
    static QString sysInfoPath();

private:
    void confirm();
    void showSystemInfo();
    void StartSysInfo();

    QLabel* picture = nullptr;
    QLabel* titleLabel = nullptr;
    QLabel* versionLabel = nullptr;
    QLabel* descriptionLabel = nullptr;
    QLabel* dataFolderLabel = nullptr;
    QPushButton* okButton = nullptr;
    QPushButton* systemInfoButton = nullptr;
};
