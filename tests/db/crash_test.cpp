// Posting killed at every point of its writes: the file stays whole and the batch is posted once or
// not at all.
#include "crashrounds.h"
#include "support/qtprint.h"

#include <QTemporaryDir>
#include <algorithm>
#include <gtest/gtest.h>

namespace {

// The helper killed before each of its operations that change the disk in turn, and once left to
// end: every check must hold after each. A kill lands between two such operations, so these are all
// the states a kill can leave. The batch is large enough for the engine to spill pages into the file
// before the commit. Under the sanitizers, whose helper takes several times as long to start, a dozen
// points spread evenly over the posting: the same code runs, and every point was tried without them.
#ifdef KINBOOK_SANITIZED
constexpr int kRounds = 12;
#else
constexpr int kRounds = 1000;
#endif

void expectEveryKillPointHolds(CrashWork work, int batch)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    CrashSetup setup;
    setup.helper = QStringLiteral(KINBOOK_CRASH_HELPER);
    setup.emptyDb = QStringLiteral(KINBOOK_EMPTY_DB);
    setup.folder = dir.path();
    setup.work = work;
    setup.batch = batch;

    const CrashFigures f = runCrashRounds(setup, kRounds);
    EXPECT_EQ(f.failure, QString());
    EXPECT_GT(f.operations, 20);
    EXPECT_EQ(f.rounds, std::min<long>(kRounds, f.operations + 1));
    EXPECT_GT(f.whileWriting, 0) << "before " << f.beforeWriting << ", after " << f.afterCommit;
}

}  // namespace

TEST(CrashSafety, PostingKilledAtAnyPointLeavesTheBatchOnceOrNotAtAll)
{
    expectEveryKillPointHolds(CrashWork::Staged, 500);
}

// The due occurrences of recurring records, posted as 入帐 of the due window posts them: killed at
// any point, each occurrence is posted once or not at all and recorded beside its own record; the
// start after the crash (a login) posts the rest and a further start posts nothing twice.
TEST(CrashSafety, DueOccurrencesKilledWhilePostingArePostedOnceAcrossRestarts)
{
    expectEveryKillPointHolds(CrashWork::Due, 250);
}
