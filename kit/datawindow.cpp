#include "datawindow.h"

#include "app.h"
#include "dberror.h"
#include "inputs.h"
#include "editablerows.h"

#include <QEvent>
#include <QKeyEvent>

DataWindow::DataWindow(const QString& name, QWidget* parent) : QDialog(parent)
{
    setObjectName(name);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    // Maximised, a window's grid takes the room (its layout gives the grid the stretch).
    setWindowFlag(Qt::WindowMaximizeButtonHint, true);
}

bool DataWindow::event(QEvent* e)
{
    if (e->type() == QEvent::WindowActivate)
        formActivate();
    return QDialog::event(e);
}

void DataWindow::showEvent(QShowEvent* e)
{
    // Every text box of every data window keeps control characters out.
    guardTextInput(this);
    QDialog::showEvent(e);
    formActivate();
}

void DataWindow::keyPressEvent(QKeyEvent* e)
{
    if (e->key() == Qt::Key_Escape && !escapeCloses_) {
        e->accept();
        return;
    }
    QDialog::keyPressEvent(e);
}

void DataWindow::formActivate()
{
    App::setBusy(false);
}

QString dbErrorText(const std::exception& e)
{
    if (const auto* db = dynamic_cast<const DbError*>(&e))
        return db->userText();
    return QStringLiteral("操作失败：") + QString::fromLocal8Bit(e.what());
}

void showDbError(const std::exception& e, const QString& what)
{
    QString text = dbErrorText(e);
    if (!what.isEmpty())
        text = what + QStringLiteral("\n") + text;
    App::msgBox(text, App::MsgStyle::Information);
}

bool confirmDeleteCurrent(EditableRows& rs)
{
    if (App::msgBox(QStringLiteral("真的要删除此成员记录吗"), App::MsgStyle::Question) != App::MsgAnswer::Ok)
        return false;
    try {
        rs.deleteCurrent();
        rs.moveNext();
        if (rs.eof())
            rs.moveLast();
        return true;
    } catch (const DbError& e) {
        if (e.kind() != DbError::NoRow)
            showDbError(e, QStringLiteral("这条记录没有删除。"));
    } catch (const std::exception& e) {
        showDbError(e, QStringLiteral("这条记录没有删除。"));
    }
    return false;
}
