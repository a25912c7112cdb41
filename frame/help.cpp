#include "help.h"

#include "inputs.h"
#include "pictures.h"
#include "recordset.h"

#include <QLabel>
#include <QStringList>
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

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(twips(240), twips(240), twips(240), twips(240));
    layout->addWidget(textLabel);
    layout->addStretch(1);
    layout->setSizeConstraint(QLayout::SetMinimumSize);
    resize(qMax(twips(7000), sizeHint().width()), qMax(twips(2400), sizeHint().height()));
}
