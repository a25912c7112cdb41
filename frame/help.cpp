#include "help.h"

#include "inputs.h"
#include "pictures.h"
#include "recordset.h"

#include <QLabel>
#include <QPushButton>
#include <QStringList>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

QString HelpWindow::helpText()
{
    return QStringList{
        QStringLiteral("一、使用本程序前先阅读本帮助系统"),
        QStringLiteral("二、必须在“期初设置”中仔细录入"),
        QStringLiteral("三、一般操作程序为：添加、保存、入帐，否则数据不能正确入帐"),
        QStringLiteral("四、系统默认超级用户,以防止密码丢失不能正确进入,请在登录时寻找"),
    }
        .join(u'\n');
}

QUrl HelpWindow::manualSource()
{
    return QUrl(QStringLiteral("qrc:/manual/manual.md"));
}

HelpWindow::HelpWindow(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmHelp"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setWindowTitle(QStringLiteral("帮助"));
    setWindowIcon(Pictures::windowIcon());

    textLabel = new QLabel(helpText(), this);
    textLabel->setObjectName(QStringLiteral("Label1"));
    textLabel->setFont(songFont(11));
    textLabel->setTextFormat(Qt::PlainText);
    textLabel->setTextInteractionFlags(Qt::TextSelectableByKeyboard | Qt::TextSelectableByMouse);
    textLabel->setFocusPolicy(Qt::StrongFocus);

    // Not a default button: Enter in the window does what it always did.
    manualButton = new QPushButton(QStringLiteral("用户手册"), this);
    manualButton->setObjectName(QStringLiteral("cmdManual"));
    manualButton->setAutoDefault(false);
    connect(manualButton, &QPushButton::clicked, this, &HelpWindow::showManual);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(twips(240), twips(240), twips(240), twips(240));
    layout->addWidget(textLabel);
    layout->addWidget(manualButton, 0, Qt::AlignLeft);
    layout->addStretch(1);
    layout->setSizeConstraint(QLayout::SetMinimumSize);
    resize(qMax(twips(7000), sizeHint().width()), qMax(twips(2400), sizeHint().height()));
}

// The manual is made on the first click only: most visits to the help read the four lines.
void HelpWindow::showManual()
{
    if (!manualView) {
        manualView = new QTextBrowser(this);
        manualView->setObjectName(QStringLiteral("txtManual"));
        manualView->setAccessibleName(QStringLiteral("用户手册"));
        manualView->setOpenExternalLinks(true);
        // As a source rather than a text, so that its pictures and the page it links to are found
        // beside it among the resources.
        manualView->setSource(manualSource(), QTextDocument::MarkdownResource);
        auto* box = static_cast<QVBoxLayout*>(layout());
        box->insertWidget(box->indexOf(manualButton) + 1, manualView, 1);
        box->setStretch(box->count() - 1, 0);
        manualView->show();
        resize(qMax(width(), twips(12000)), qMax(height(), twips(9000)));
    }
    manualView->setFocus();
}
