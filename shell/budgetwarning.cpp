#include "budgetwarning.h"

#include "app.h"

void warnOverBudget(const QList<Budgets::Touch>& touched)
{
    if (touched.isEmpty())
        return;
    QString message;
    try {
        message = Budgets::overrunMessage(Budgets::overruns(App::conn, touched));
    } catch (const std::exception&) {
        return;
    }
    if (!message.isEmpty())
        App::msgBox(message, App::MsgStyle::Information);
}
