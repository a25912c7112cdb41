// Posting killed at random moments: the file stays whole and the batch is posted once or not at all.
#include "crashrounds.h"
#include "support/qtprint.h"

#include <QDateTime>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// Ten rounds of kills; every check must hold, and some kills must have hit the transaction itself,
// or the rounds proved little.
void expectTenRoundsHold(CrashWork work, int batch)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    CrashSetup setup;
    setup.helper = QStringLiteral(KINBOOK_CRASH_HELPER);
    setup.emptyDb = QStringLiteral(KINBOOK_EMPTY_DB);
    setup.folder = dir.path();
    setup.work = work;
    setup.batch = batch;
    setup.seed = static_cast<unsigned>(QDateTime::currentMSecsSinceEpoch());
    SCOPED_TRACE("seed " + std::to_string(setup.seed) + " (tools/crashtest runs more rounds: crashtest 100 [--due] --seed S)");

    const CrashFigures f = runCrashRounds(setup, 10);
    EXPECT_EQ(f.failure, QString());
    EXPECT_EQ(f.rounds, 10);
    EXPECT_GT(f.whileWriting, 0) << "before " << f.beforeWriting << ", after " << f.afterCommit;
}

}  // namespace

TEST(CrashSafety, PostingKilledAtRandomMomentsLeavesTheBatchOnceOrNotAtAll)
{
    expectTenRoundsHold(CrashWork::Staged, 20000);
}

// The due occurrences of recurring records, posted as 入帐 of the due window posts them: killed at
// any moment, each occurrence is posted once or not at all and recorded beside its own record; the
// start after the crash (a login) posts the rest and a further start posts nothing twice.
TEST(CrashSafety, DueOccurrencesKilledWhilePostingArePostedOnceAcrossRestarts)
{
    expectTenRoundsHold(CrashWork::Due, 5000);
}
