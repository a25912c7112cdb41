#include "loginwindow.h"

#include "app.h"
#include "datawindow.h"
#include "inputs.h"
#include "mainwindow.h"
#include "pictures.h"
#include "recordset.h"

#include <QAbstractButton>
#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QStyleOptionFocusRect>

namespace {

const QString kSuperName = QStringLiteral("qmr");
const QString kSuperPassword = QStringLiteral("7351");

// A picture that can be clicked (and pressed with Space when it has the focus).
class PictureButton : public QAbstractButton {
public:
    PictureButton(const QPixmap& pixmap, QWidget* parent) : QAbstractButton(parent), pixmap_(pixmap)
    {
        setFocusPolicy(Qt::TabFocus);
        setCursor(Qt::PointingHandCursor);
    }
    QSize sizeHint() const override { return QSize(twips(1755), twips(2055)); }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter g(this);
        g.setRenderHint(QPainter::SmoothPixmapTransform);
        g.drawPixmap(rect(), pixmap_);
        if (hasFocus()) {
            QStyleOptionFocusRect o;
            o.initFrom(this);
            o.rect = rect().adjusted(2, 2, -2, -2);
            style()->drawPrimitive(QStyle::PE_FrameFocusRect, &o, &g, this);
        }
    }

private:
    QPixmap pixmap_;
};

}  // namespace

LoginWindow::LoginWindow(QWidget* parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("frmlogin"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint);
    setWindowTitle(QStringLiteral("登录"));
    setWindowIcon(Pictures::windowIcon());
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(0xFF, 0xE0, 0xC0));
    setPalette(pal);
    setAutoFillBackground(true);

    Image1 = new PictureButton(Pictures::loginPicture(), this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setToolTip(QStringLiteral("点击这里可以查看超级用户帐号及密码"));
    Image1->setAccessibleName(Image1->toolTip());
    Image1->setFixedSize(twips(1755), twips(2040));

    cbouser = new QComboBox(this);
    cbouser->setObjectName(QStringLiteral("cbouser"));
    cbouser->setEditable(true);
    cbouser->setInsertPolicy(QComboBox::NoInsert);
    // What is typed is what is checked: no completion that turns "Al" into "Alice".
    cbouser->setCompleter(nullptr);
    cbouser->setFont(songFont(12));
    cbouser->setMinimumWidth(twips(1600));
    txtpw = new QLineEdit(this);
    txtpw->setObjectName(QStringLiteral("txtpw"));
    txtpw->setEchoMode(QLineEdit::Password);
    // A "*" for each character typed, whatever mask the desktop's style would choose.
    txtpw->setStyleSheet(QStringLiteral("lineedit-password-character: 42;"));
    setCharacterLimit(txtpw, 6);
    txtpw->setFont(songFont(12));
    QLabel* Label1 = buddyLabel(QStringLiteral("用户名："), cbouser, this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setFont(songFont(12));
    QLabel* Label2 = buddyLabel(QStringLiteral("密  码："), txtpw, this);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setFont(songFont(12));

    Command1 = new QPushButton(QStringLiteral("确定{&O}"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command2 = new QPushButton(QStringLiteral("取消{&C}"), this);
    Command2->setObjectName(QStringLiteral("Command2"));
    // Neither is a default or cancel button: Enter and Esc do nothing special here.
    for (QPushButton* b : {Command1, Command2}) {
        b->setAutoDefault(false);
        b->setDefault(false);
    }
    connect(Command1, &QPushButton::clicked, this, &LoginWindow::logIn);
    connect(Command2, &QPushButton::clicked, this, &LoginWindow::quit);
    connect(Image1, &QAbstractButton::clicked, this, &LoginWindow::showAdministratorHint);

    auto* fields = new QGridLayout;
    fields->setVerticalSpacing(twips(180));
    fields->addWidget(Label1, 0, 0);
    fields->addWidget(cbouser, 0, 1);
    fields->addWidget(Label2, 1, 0);
    fields->addWidget(txtpw, 1, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(Command1);
    buttons->addWidget(Command2);
    auto* right = new QVBoxLayout;
    right->setContentsMargins(twips(150), twips(240), twips(150), twips(180));
    right->addLayout(fields);
    right->addStretch(1);
    right->addLayout(buttons);
    auto* row = new QHBoxLayout;
    row->setSpacing(0);
    row->addWidget(Image1, 0, Qt::AlignLeft | Qt::AlignTop);
    row->addLayout(right, 1);
    // How to begin, on a book that has no members yet (a first start).
    lblStart = new QLabel(QStringLiteral("这是一本新账本，还没有家庭成员。请先以超级用户 %1（密码 %2）登录，"
                                         "再在“期初设置[F]”→“成员信息”里录入家庭成员。")
                              .arg(kSuperName, kSuperPassword),
                          this);
    lblStart->setObjectName(QStringLiteral("lblStart"));
    lblStart->setFont(songFont(10));
    lblStart->setWordWrap(true);
    lblStart->setContentsMargins(twips(150), twips(60), twips(150), twips(120));
    lblStart->hide();
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addLayout(row);
    layout->addWidget(lblStart);

    setTabOrder(cbouser, txtpw);
    setTabOrder(txtpw, Command1);
    setTabOrder(Command1, Command2);
    setTabOrder(Command2, Image1);
    guardTextInput(this);
    Addcbo();
    lblStart->setVisible(loaded_ && cbouser->count() == 0);
    setFixedSize(layout->sizeHint().expandedTo(QSize(twips(4650), twips(2040))));
    cbouser->setCurrentIndex(-1);
    cbouser->clearEditText();
    cbouser->setFocus();
}

LoginWindow::~LoginWindow()
{
    unload();
}

void LoginWindow::Addcbo()
{
    if (!App::openConn())
        return;
    loaded_ = true;
    fillNames();
}

void LoginWindow::fillNames()
{
    cbouser->clear();
    try {
        Recordset rs;
        rs.open(App::conn, QStringLiteral("select 姓名 from 成员"), Recordset::ReadOnly);
        while (!rs.eof()) {
            cbouser->addItem(rs.text(QStringLiteral("姓名")));
            rs.moveNext();
        }
    } catch (const std::exception& e) {
        // The names are only a convenience: a member can still type theirs.
        showDbError(e, QStringLiteral("无法读取成员名单。"));
    }
}

void LoginWindow::logIn()
{
    Pass();
    txtpw->clear();
}

void LoginWindow::Pass()
{
    const QString u = cbouser->currentText();
    const QString p = txtpw->text();
    if (u == kSuperName && p == kSuperPassword) {
        App::curUser = QStringLiteral("当前用户：Manager");
        openMain();
        return;
    }
    // No member has an empty name; the name and password are bound values, so no typed text can
    // change what the statement matches.
    if (u.isEmpty()) {
        refuse();
        return;
    }
    QString name;
    try {
        Recordset rs;
        rs.open(App::conn, QStringLiteral("select 姓名 from 成员 where 姓名=? and 密码=?"), {u, p},
                Recordset::ReadOnly);
        if (rs.bof() || rs.eof()) {
            refuse();
            return;
        }
        name = rs.text(QStringLiteral("姓名"));
    } catch (const std::exception& e) {
        showDbError(e, QStringLiteral("无法核对用户名和密码。"));
        txtpw->setFocus();
        return;
    }
    App::curUser = QStringLiteral("当前用户：") + name;
    openMain();
}

void LoginWindow::refuse()
{
    App::msgBox(QStringLiteral("密码错误，请重新输入"), App::MsgStyle::Information);
    txtpw->setFocus();
    txtpw->selectAll();
}

void LoginWindow::openMain()
{
    // The main window shows before the login hides, so that the program always has a window. A
    // main window left from before a re-login is already closed and on its way out.
    main_ = new MainWindow(this);
    main_->show();
    hide();
    App::runAfterLogin(main_);
}

void LoginWindow::showAgain()
{
    // The members as they are now: some may have been added or renamed since the last login.
    const QString last = cbouser->currentText();
    fillNames();
    cbouser->setCurrentIndex(-1);
    cbouser->setEditText(last);
    txtpw->clear();
    show();
    raise();
    activateWindow();
    txtpw->setFocus();
}

void LoginWindow::showAfterRestore()
{
    showAgain();
}

void LoginWindow::showAdministratorHint()
{
    App::msgBox(QStringLiteral("Administrator:qmr  password:7351"), App::MsgStyle::Plain);
}

void LoginWindow::quit()
{
    close();
}

void LoginWindow::closeEvent(QCloseEvent* e)
{
    unload();
    e->accept();
}

void LoginWindow::showEvent(QShowEvent* e)
{
    QWidget::showEvent(e);
    if (centred_)
        return;
    centred_ = true;
    if (const QScreen* s = screen())
        move(s->availableGeometry().center() - rect().center());
}

void LoginWindow::unload()
{
    if (unloaded_)
        return;
    unloaded_ = true;
    App::closeConn();
}

QString LoginWindow::startHint() const
{
    return !lblStart->isHidden() ? lblStart->text() : QString();
}

MainWindow* LoginWindow::mainWindow() const
{
    return main_;
}
