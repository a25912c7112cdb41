#include "about.h"

#include "app.h"
#include "datafolder.h"
#include "inputs.h"
#include "pictures.h"
#include "platform.h"
#include "recordset.h"
#include "valuelabel.h"

#include <QDir>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

AboutBox::RegistryReader g_reader;

bool systemRegistry(const QString& keyName, const QString& valueName, QString& value)
{
#ifdef Q_OS_WIN
    return Platform::readMachineRegistryString(keyName, valueName, value);
#else
    Q_UNUSED(keyName);
    Q_UNUSED(valueName);
    value.clear();
    return false;
#endif
}

// Reads one value; on failure the value comes back empty.
bool GetKeyValue(const QString& KeyName, const QString& SubKeyRef, QString& KeyVal)
{
    const bool ok = g_reader ? g_reader(KeyName, SubKeyRef, KeyVal) : systemRegistry(KeyName, SubKeyRef, KeyVal);
    if (!ok)
        KeyVal.clear();
    return ok;
}

QFrame* separatorLine(const QString& name, QWidget* parent)
{
    auto* line = new QFrame(parent);
    line->setObjectName(name);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    return line;
}

}  // namespace

void AboutBox::setRegistryReader(RegistryReader reader)
{
    g_reader = std::move(reader);
}

QString AboutBox::sysInfoPath()
{
    QString path;
    if (GetKeyValue(QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools\\MSINFO"), QStringLiteral("PATH"), path))
        return path;
    QString folder;
    if (!GetKeyValue(QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools Location"), QStringLiteral("MSINFO"), folder))
        return QString();
    if (folder.isEmpty())
        return QString();
    const QString exe = QDir::fromNativeSeparators(folder) + QStringLiteral("/MSINFO32.EXE");
    return Platform::fileExists(exe) ? QDir::toNativeSeparators(exe) : QString();
}

AboutBox::AboutBox(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmAbout"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint);
    setWindowTitle(QStringLiteral("关于"));
    setWindowIcon(Pictures::windowIcon());

    picture = new QLabel(this);
    picture->setObjectName(QStringLiteral("Picture1"));
    picture->setPixmap(Pictures::aboutPicture());
    picture->setAccessibleName(QStringLiteral("和顺家账"));
    picture->setAlignment(Qt::AlignTop | Qt::AlignHCenter);

    titleLabel = new QLabel(QStringLiteral("和顺家账系统"), this);
    titleLabel->setObjectName(QStringLiteral("lblTitle"));
    titleLabel->setFont(songFont(14));
    versionLabel = new QLabel(QStringLiteral("版本 %1.%2.%3")
                                .arg(KINBOOK_VERSION_MAJOR)
                                .arg(KINBOOK_VERSION_MINOR)
                                .arg(KINBOOK_VERSION_REVISION),
                            this);
    versionLabel->setObjectName(QStringLiteral("lblVersion"));
    versionLabel->setFont(songFont(10));
    descriptionLabel = new QLabel(QStringLiteral("快速上手，使用方便，分散录入，集中查询。"), this);
    descriptionLabel->setObjectName(QStringLiteral("lblDescription"));
    descriptionLabel->setFont(songFont(10));
    descriptionLabel->setWordWrap(true);

    // Where the books are: the data folder chosen at start.
    dataFolderLabel = new ValueLabel(QStringLiteral("lblDataFolder"), QString(), this);
    dataFolderLabel->setText(QStringLiteral("数据文件夹：") + QDir::toNativeSeparators(DataFolder::folder()));
    dataFolderLabel->setFont(songFont(10));
    dataFolderLabel->setWordWrap(true);
    dataFolderLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);

    okButton = new QPushButton(QStringLiteral("确定"), this);
    okButton->setObjectName(QStringLiteral("cmdOK"));
    okButton->setDefault(true);
    systemInfoButton = new QPushButton(QStringLiteral("系统信息(&S)..."), this);
    systemInfoButton->setObjectName(QStringLiteral("cmdSysInfo"));
    systemInfoButton->setAutoDefault(false);
    connect(okButton, &QPushButton::clicked, this, &AboutBox::confirm);
    connect(systemInfoButton, &QPushButton::clicked, this, &AboutBox::showSystemInfo);

    auto* text = new QVBoxLayout;
    text->addWidget(titleLabel);
    text->addWidget(versionLabel);
    text->addSpacing(twips(120));
    text->addWidget(descriptionLabel);
    text->addSpacing(twips(120));
    text->addWidget(dataFolderLabel);
    text->addStretch(1);
    auto* top = new QHBoxLayout;
    top->addWidget(picture, 0, Qt::AlignTop);
    top->addSpacing(twips(240));
    top->addLayout(text, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(okButton);
    buttons->addWidget(systemInfoButton);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top, 1);
    // The two separator lines, one engraved under the other.
    layout->addWidget(separatorLine(QStringLiteral("Line1_0"), this));
    layout->addWidget(separatorLine(QStringLiteral("Line1_1"), this));
    layout->addLayout(buttons);
    resize(twips(5730), twips(3600));
    okButton->setFocus();
}

void AboutBox::confirm()
{
    accept();
}

void AboutBox::showSystemInfo()
{
    StartSysInfo();
}

void AboutBox::StartSysInfo()
{
    const QString path = sysInfoPath();
    if (!path.isEmpty() && Platform::startProgram(path))
        return;
    App::msgBox(QStringLiteral("此时系统信息不可用"), App::MsgStyle::Plain);
}
