#include "driving.h"

#include "measure.h"
#include "recordset.h"
#include "sqltext.h"
#include "app.h"
#include "datagrid.h"
#include "scriptedanswers.h"
#include "session.h"

#include <QAbstractButton>
#include <QAction>
#include <QCoreApplication>
#include <QDateEdit>
#include <QDialog>
#include <QFile>
#include <QLabel>
#include <cstdio>
#include <malloc.h>
#include <unistd.h>

namespace Bench {

namespace {

long statusKiB(const QByteArray& key)
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith(key))
            return line.mid(key.size()).trimmed().split(' ').value(0).toLong();
    return 0;
}

}  // namespace

ScriptedAnswers& script()
{
    static ScriptedAnswers answers;
    return answers;
}

QDialog* window(const QString& name)
{
    QDialog* w = App::createWindow(name, App::store(), nullptr);
    if (!w)
        std::fprintf(stderr, "bench: window %s is not registered\n", qPrintable(name));
    return w;
}

void clickButton(QWidget* w, const QString& name)
{
    if (auto* b = w->findChild<QAbstractButton*>(name))
        b->click();
    else if (auto* a = w->findChild<QAction*>(name))
        a->trigger();
    else
        std::fprintf(stderr, "bench: no control %s in %s\n", qPrintable(name), qPrintable(w->objectName()));
}

void setLabel(QWidget* w, const QString& name, const QString& text)
{
    if (auto* l = w->findChild<QLabel*>(name))
        l->setText(text);
}

void setDate(QWidget* w, const QString& name, const QDate& d)
{
    if (auto* e = w->findChild<QDateEdit*>(name))
        e->setDate(d);
}

QString dateLiteral(const QDate& d)
{
    return sqlQuote(d.toString(QStringLiteral("yyyy-MM-dd")));
}

Recordset* waitLoaded(QDialog* w)
{
    auto* grid = w ? w->findChild<DataGrid*>(QStringLiteral("DG")) : nullptr;
    Recordset* rs = grid ? grid->recordset() : nullptr;
    while (rs && rs->isLoading())
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    return rs;
}

double runQuery(QDialog* w, const QString& member, const QString& type, const QDate& from, const QDate& to)
{
    if (!w)
        return -1.0;
    setLabel(w, QStringLiteral("lblcyID"), member);
    setLabel(w, QStringLiteral("lbllxID"), type);
    setDate(w, QStringLiteral("dpfrom"), from);
    setDate(w, QStringLiteral("dpto"), to);
    const double t0 = nowMs();
    clickButton(w, QStringLiteral("CmdqueryNow"));
    waitLoaded(w);
    return nowMs() - t0;
}

std::size_t heapInUse()
{
    const struct mallinfo2 m = mallinfo2();
    return m.uordblks + m.hblkhd;
}

long peakResidentKiB()
{
    return statusKiB(QByteArrayLiteral("VmHWM:"));
}

bool resetPeak()
{
    QFile f(QStringLiteral("/proc/self/clear_refs"));
    return f.open(QIODevice::WriteOnly) && f.write("5") == 1;
}

long residentKiB()
{
    QFile f(QStringLiteral("/proc/self/statm"));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = f.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toLong() * (sysconf(_SC_PAGESIZE) / 1024) : 0;
}

}  // namespace Bench
