#include "filechanges.h"

#include "store.h"
#include "ledger.h"

#include "app.h"

#include <QTimer>
#include <algorithm>

namespace FileChanges {

namespace {

// Emits `changed` from the event loop with every table committed since the last time.
class Notice : public QObject {
    Q_OBJECT
public:
    void committed(const QStringList& tables)
    {
        if (tables.isEmpty())
            everything_ = true;
        for (const QString& t : tables)
            if (!pending_.contains(t, Qt::CaseInsensitive))
                pending_ << t;
        if (scheduled_)
            return;
        scheduled_ = true;
        QTimer::singleShot(0, this, [this] { tell(); });
    }
    void tell()
    {
        const QStringList tables = everything_ ? QStringList() : pending_;
        scheduled_ = false;
        everything_ = false;
        pending_.clear();
        emit changed(tables);
    }

signals:
    // `tables` empty: any table may have changed.
    void changed(const QStringList& tables);

private:
    QStringList pending_;
    bool everything_ = false;
    bool scheduled_ = false;
};

Notice& notice()
{
    static Notice n;
    return n;
}

}  // namespace

void watch(Store& store)
{
    static bool watching = false;
    if (watching)
        return;
    watching = true;
    // The listener runs inside the engine's commit: it only notes the tables for the event loop.
    store.setCommitListener([](const QStringList& tables) { notice().committed(tables); });
}

QStringList noFigures()
{
    return {QStringLiteral("设置"), Ledger(Ledger::Income).stagingTable(), Ledger(Ledger::Expense).stagingTable()};
}

void follow(QObject* window, std::function<void()> reload, const QStringList& ignored)
{
    QObject::connect(&notice(), &Notice::changed, window, [reload = std::move(reload), ignored](const QStringList& tables) {
        if (!tables.isEmpty() && std::all_of(tables.begin(), tables.end(), [&](const QString& t) {
                return ignored.contains(t, Qt::CaseInsensitive);
            }))
            return;
        reload();
    });
}

}  // namespace FileChanges

#include "filechanges.moc"
