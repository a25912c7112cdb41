#include "loginwindow.h"

#include "app.h"
#include "datawindow.h"
#include "inputs.h"
#include "mainwindow.h"
#include "passwords.h"
#include "pictures.h"
#include "session.h"
#include "store.h"

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

    buildControls();
    buildLayout();
    connect(okButton, &QPushButton::clicked, this, &LoginWindow::logIn);
    connect(cancelButton, &QPushButton::clicked, this, &LoginWindow::quit);
    connect(pictureButton, &QAbstractButton::clicked, this, &LoginWindow::showAdministratorHint);
    setTabOrder(memberBox, passwordEdit);
    setTabOrder(passwordEdit, okButton);
    setTabOrder(okButton, cancelButton);
    setTabOrder(cancelButton, pictureButton);
    guardTextInput(this);
    openAndListMembers();
    showStartNote();
    memberBox->setCurrentIndex(-1);
    memberBox->clearEditText();
    memberBox->setFocus();
}

// The picture, the name and password, the two buttons and the note on how to begin.
void LoginWindow::buildControls()
{
    pictureButton = new PictureButton(Pictures::loginPicture(), this);
    pictureButton->setObjectName(QStringLiteral("Image1"));
    pictureButton->setToolTip(QStringLiteral("点击这里可以查看超级用户帐号及密码"));
    pictureButton->setAccessibleName(pictureButton->toolTip());
    pictureButton->setFixedSize(twips(1755), twips(2040));

    memberBox = new QComboBox(this);
    memberBox->setObjectName(QStringLiteral("cbouser"));
    memberBox->setEditable(true);
    memberBox->setInsertPolicy(QComboBox::NoInsert);
    // What is typed is what is checked: no completion that turns "Al" into "Alice".
    memberBox->setCompleter(nullptr);
    memberBox->setFont(songFont(12));
    memberBox->setMinimumWidth(twips(1600));
    passwordEdit = new QLineEdit(this);
    passwordEdit->setObjectName(QStringLiteral("txtpw"));
    passwordEdit->setEchoMode(QLineEdit::Password);
    // A "*" for each character typed, whatever mask the desktop's style would choose.
    passwordEdit->setStyleSheet(QStringLiteral("lineedit-password-character: 42;"));
    setCharacterLimit(passwordEdit, 6);
    passwordEdit->setFont(songFont(12));

    okButton = new QPushButton(QStringLiteral("确定{&O}"), this);
    okButton->setObjectName(QStringLiteral("Command1"));
    cancelButton = new QPushButton(QStringLiteral("取消{&C}"), this);
    cancelButton->setObjectName(QStringLiteral("Command2"));
    // Neither is a default or cancel button: Enter and Esc do nothing special here.
    for (QPushButton* b : {okButton, cancelButton}) {
        b->setAutoDefault(false);
        b->setDefault(false);
    }
    // How to begin, on a book that has no members yet (a first start).
    startNoteLabel = new QLabel(QStringLiteral("这是一本新账本，还没有家庭成员。请先以超级用户 %1（密码 %2）登录，"
                                         "再在“期初设置[F]”→“成员信息”里录入家庭成员。")
                              .arg(kSuperName, kSuperPassword),
                          this);
    startNoteLabel->setObjectName(QStringLiteral("lblStart"));
    startNoteLabel->setFont(songFont(10));
    startNoteLabel->setWordWrap(true);
    startNoteLabel->setContentsMargins(twips(150), twips(60), twips(150), twips(120));
    startNoteLabel->hide();
}

void LoginWindow::buildLayout()
{
    QLabel* memberCaption = buddyLabel(QStringLiteral("用户名："), memberBox, this);
    memberCaption->setObjectName(QStringLiteral("Label1"));
    memberCaption->setFont(songFont(12));
    QLabel* passwordCaption = buddyLabel(QStringLiteral("密  码："), passwordEdit, this);
    passwordCaption->setObjectName(QStringLiteral("Label2"));
    passwordCaption->setFont(songFont(12));

    auto* fields = new QGridLayout;
    fields->setVerticalSpacing(twips(180));
    fields->addWidget(memberCaption, 0, 0);
    fields->addWidget(memberBox, 0, 1);
    fields->addWidget(passwordCaption, 1, 0);
    fields->addWidget(passwordEdit, 1, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(okButton);
    buttons->addWidget(cancelButton);
    auto* right = new QVBoxLayout;
    right->setContentsMargins(twips(150), twips(240), twips(150), twips(180));
    right->addLayout(fields);
    right->addStretch(1);
    right->addLayout(buttons);
    auto* row = new QHBoxLayout;
    row->setSpacing(0);
    row->addWidget(pictureButton, 0, Qt::AlignLeft | Qt::AlignTop);
    row->addLayout(right, 1);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addLayout(row);
    layout->addWidget(startNoteLabel);
}

LoginWindow::~LoginWindow()
{
    unload();
}

void LoginWindow::openAndListMembers()
{
    if (!App::openConn())
        return;
    loaded_ = true;
    fillNames();
}

void LoginWindow::fillNames()
{
    memberBox->clear();
    try {
        memberBox->addItems(App::store().memberNames());
    } catch (const std::exception& e) {
        // The names are only a convenience: a member can still type theirs.
        showDbError(e, QStringLiteral("无法读取成员名单。"));
    }
}

void LoginWindow::showStartNote()
{
    // How to begin is said while the book has no members; the window fits what it shows.
    startNoteLabel->setVisible(loaded_ && memberBox->count() == 0);
    layout()->activate();
    setFixedSize(layout()->sizeHint().expandedTo(QSize(twips(4650), twips(2040))));
}

void LoginWindow::logIn()
{
    checkPassword();
    passwordEdit->clear();
}

void LoginWindow::checkPassword()
{
    const QString u = memberBox->currentText();
    const QString p = passwordEdit->text();
    if (u == kSuperName && p == kSuperPassword) {
        App::curUser = QStringLiteral("当前用户：Manager");
        openMain();
        return;
    }
    QString name;
    try {
        name = App::store().memberWithPassword(u, p);
    } catch (const std::exception& e) {
        showDbError(e, QStringLiteral("无法核对用户名和密码。"));
        passwordEdit->setFocus();
        return;
    }
    if (name.isEmpty()) {
        refuse();
        return;
    }
    App::curUser = QStringLiteral("当前用户：") + name;
    openMain();
}

void LoginWindow::refuse()
{
    App::msgBox(QStringLiteral("密码错误，请重新输入"), App::MsgStyle::Information);
    passwordEdit->setFocus();
    passwordEdit->selectAll();
}

void LoginWindow::openMain()
{
    // The main window shows before the login hides, so that the program always has a window. A
    // main window left from before a re-login is already closed and on its way out.
    main_ = new MainWindow(this);
    main_->show();
    hide();
    App::runAfterLogin(App::store(), main_);
}

void LoginWindow::showAgain()
{
    // The members as they are now: some may have been added or renamed since the last login.
    const QString last = memberBox->currentText();
    fillNames();
    showStartNote();
    memberBox->setCurrentIndex(-1);
    memberBox->setEditText(last);
    passwordEdit->clear();
    show();
    raise();
    activateWindow();
    passwordEdit->setFocus();
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
    return !startNoteLabel->isHidden() ? startNoteLabel->text() : QString();
}

MainWindow* LoginWindow::mainWindow() const
{
    return main_;
}
