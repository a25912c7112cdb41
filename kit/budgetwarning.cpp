#include "budgetwarning.h"

#include "app.h"
#include "datawindow.h"
#include "store.h"

void warnOverBudget(Store& store, const QList<Budgets::Touch>& touched)
{
    if (touched.isEmpty())
        return;
    QString message;
    try {
        message = Budgets::overrunMessage(store.overruns(touched));
    } catch (const std::exception& e) {
        message = budgetCheckFailed(QStringLiteral("支出已保存"), e);
    }
    if (!message.isEmpty())
        App::msgBox(message, App::MsgStyle::Information);
}

QString budgetCheckFailed(const QString& done, const std::exception& e)
{
    return done + QStringLiteral("，但无法检查是否超出了预算。\n") + dbErrorText(e);
}
