// Posting killed at random moments: the file stays whole and the batch is posted once or not at all.
#include "crashrounds.h"
#include "support/qtprint.h"

#include <QDateTime>
#include <QTemporaryDir>
#include <gtest/gtest.h>

TEST(CrashSafety, PostingKilledAtRandomMomentsLeavesTheBatchOnceOrNotAtAll)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    CrashSetup setup;
    setup.helper = QStringLiteral(KINBOOK_CRASH_HELPER);
    setup.emptyDb = QStringLiteral(KINBOOK_EMPTY_DB);
    setup.folder = dir.path();
    setup.batch = 20000;
    setup.seed = static_cast<unsigned>(QDateTime::currentMSecsSinceEpoch());
    SCOPED_TRACE("seed " + std::to_string(setup.seed) + " (tools/crashtest runs more rounds: crashtest 100 --seed S)");

    const CrashFigures f = runCrashRounds(setup, 10);
    EXPECT_EQ(f.failure, QString());
    EXPECT_EQ(f.rounds, 10);
    // The kills must have hit the transaction itself, or the rounds proved little.
    EXPECT_GT(f.whileWriting, 0) << "before " << f.beforeWriting << ", after " << f.afterCommit;
}
