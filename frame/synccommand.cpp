#include "synccommand.h"

#include "app.h"
#include "datafolder.h"
#include "platform.h"
#include "startup.h"
#include "sync.h"
#include "session.h"

#include <cstdio>

namespace SyncCommand {

namespace {

void print(FILE* out, const QString& line)
{
    std::fputs((line + u'\n').toUtf8().constData(), out);
    std::fflush(out);
}

// Messages of the start (a file that cannot be used, a backup that failed) go to standard error;
// a question is answered no: nothing is restored or replaced without a person.
class PrintedAnswers : public App::Answerer {
public:
    App::MsgAnswer message(const QString& text, App::MsgStyle style, const QString&) override
    {
        print(stderr, text);
        return style == App::MsgStyle::Question ? App::MsgAnswer::Cancel : App::MsgAnswer::Ok;
    }
    QString chooseFile(App::FileDialog, const QString&, const QString&, const QString&, QWidget*) override { return {}; }
};

}  // namespace

int run(const DataFolder::Choice& choice)
{
    // A home folder that is not known, or an empty --data, names no book: refused, nothing written.
    if (choice.kind == DataFolder::Kind::Refused) {
        print(stderr, choice.refusal);
        return 1;
    }
    DataFolder::use(choice);
    PrintedAnswers answers;
    App::setAnswerer(&answers);
    Platform::FileLock lock;
    if (lock.tryLock(Startup::lockPath()) == Platform::FileLock::HeldElsewhere) {
        print(stderr, QStringLiteral("和顺家账已经在运行，这次没有同步。"));
        App::setAnswerer(nullptr);
        return 2;
    }
    int status = 1;
    if (App::openConn()) {
        const Sync::Report report = Sync::run(App::conn);
        for (const QString& line : report.lines())
            print(report.failure.isEmpty() ? stdout : stderr, line);
        status = !report.failure.isEmpty() ? 1 : (report.refused.isEmpty() ? 0 : 3);
        App::closeConn();
    }
    App::setAnswerer(nullptr);
    return status;
}

}  // namespace SyncCommand
