// A full disk and an I/O error while the entry form posts, made by a file system layer under SQLite
// that fails its writes: the posting is all or nothing and the user is told in Chinese.
#include "bookstest.h"
#include "entryform.h"
#include "support/faultydisk.h"
#include "session.h"

#include <sqlite3.h>

namespace {

class FileFaultTest : public BooksTest {
protected:
    void SetUp() override
    {
        FaultyDisk::install();
        BooksTest::SetUp();
    }
    void TearDown() override
    {
        FaultyDisk::disarm();
        BooksTest::TearDown();
    }
};

}  // namespace

TEST_F(FileFaultTest, PostingOnAFullDiskOrAFailingDiskIsAllOrNothingAndSaysWhy)
{
    const struct {
        int code;
        const char* message;
    } faults[] = {
        {SQLITE_FULL, "入帐没有成功，记录仍保留在本窗口中。\n磁盘已满，数据没有写入：请腾出磁盘空间后再试一次"},
        {SQLITE_IOERR_WRITE,
         "入帐没有成功，记录仍保留在本窗口中。\n读写数据库文件时出错，数据没有写入：请检查磁盘或存储设备后再试一次"},
    };
    const int staged = 3000;
    for (const auto& fault : faults) {
        for (int goodWrites : {0, 1, 2, 5, 20, 60}) {
            SCOPED_TRACE(std::to_string(fault.code) + " after " + std::to_string(goodWrites) + " writes");
            sql(QStringLiteral("delete from 收入帐; insert into 收入临时 (成员ID, 类型ID, 金额, 日期, 备注, 月份) with recursive n(i) as (select 1 union all"
                               " select i + 1 from n where i < %1) select '01', 'g', i / 100.0, '2026-03-05', '第' || i,"
                               " 3 from n;")
                    .arg(staged));
            open(new EntryForm(App::store(), kEntryForms[0]));
            script().clearMessages();
            FaultyDisk::arm(goodWrites, fault.code);
            press("exit");
            FaultyDisk::disarm();
            ASSERT_GT(FaultyDisk::failedWrites(), 0) << "the posting wrote too little to reach the fault";
            EXPECT_EQ(messageTexts(), QStringList{QString::fromUtf8(fault.message)});
            EXPECT_TRUE(w->isVisible());
            // Nothing is posted and everything is still staged; the file is whole.
            EXPECT_EQ(scalar("pragma integrity_check"), "ok");
            EXPECT_EQ(rows("select count(*), (select count(*) from 收入临时) from 收入帐"),
                      QStringList{QStringLiteral("0|%1").arg(staged)});
            // With room again, the same button posts the batch once.
            press("exit");
            EXPECT_FALSE(w->isVisible());
            EXPECT_EQ(rows("select count(*), (select count(*) from 收入临时) from 收入帐"),
                      QStringList{QStringLiteral("%1|0").arg(staged)});
            w.reset();
        }
    }
}
