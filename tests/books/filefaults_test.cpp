// A full disk and an I/O error while the entry form posts, made by a file system layer under SQLite
// that fails its writes: the posting is all or nothing and the user is told in Chinese.
#include "bookstest.h"
#include "books/entryform.h"

#include <cstring>
#include <sqlite3.h>

namespace {

// SQLite's default file system, with every write from the n-th on failing while armed.
class FaultyVfs {
public:
    static void install()
    {
        base_ = sqlite3_vfs_find(nullptr);
        vfs_ = *base_;
        vfs_.zName = "kinbook-faulty";
        vfs_.szOsFile = static_cast<int>(sizeof(File)) + base_->szOsFile;
        vfs_.pNext = nullptr;
        vfs_.xOpen = &open;
        sqlite3_vfs_register(&vfs_, 1);
    }
    static void uninstall()
    {
        disarm();
        sqlite3_vfs_unregister(&vfs_);
        sqlite3_vfs_register(base_, 1);
    }
    static void arm(int goodWrites, int code)
    {
        goodWrites_ = goodWrites;
        code_ = code;
        armed_ = true;
        failed_ = 0;
    }
    static void disarm() { armed_ = false; }
    static int failedWrites() { return failed_; }

private:
    struct File {
        sqlite3_file base;
        sqlite3_file* real() { return reinterpret_cast<sqlite3_file*>(this + 1); }
    };
    static File* self(sqlite3_file* f) { return reinterpret_cast<File*>(f); }

    static int open(sqlite3_vfs*, sqlite3_filename name, sqlite3_file* f, int flags, int* outFlags)
    {
        File* file = self(f);
        std::memset(file->real(), 0, static_cast<std::size_t>(base_->szOsFile));
        const int rc = base_->xOpen(base_, name, file->real(), flags, outFlags);
        file->base.pMethods = file->real()->pMethods ? &io_ : nullptr;
        return rc;
    }
    static int write(sqlite3_file* f, const void* data, int amount, sqlite3_int64 offset)
    {
        if (armed_ && goodWrites_-- <= 0) {
            ++failed_;
            return code_;
        }
        return self(f)->real()->pMethods->xWrite(self(f)->real(), data, amount, offset);
    }
#define KINBOOK_FORWARD(name, params, args) \
    static int name params { return self(f)->real()->pMethods->name args; }
    KINBOOK_FORWARD(xClose, (sqlite3_file * f), (self(f)->real()))
    KINBOOK_FORWARD(xRead, (sqlite3_file * f, void* d, int n, sqlite3_int64 o), (self(f)->real(), d, n, o))
    KINBOOK_FORWARD(xTruncate, (sqlite3_file * f, sqlite3_int64 s), (self(f)->real(), s))
    KINBOOK_FORWARD(xSync, (sqlite3_file * f, int flags), (self(f)->real(), flags))
    KINBOOK_FORWARD(xFileSize, (sqlite3_file * f, sqlite3_int64 * s), (self(f)->real(), s))
    KINBOOK_FORWARD(xLock, (sqlite3_file * f, int l), (self(f)->real(), l))
    KINBOOK_FORWARD(xUnlock, (sqlite3_file * f, int l), (self(f)->real(), l))
    KINBOOK_FORWARD(xCheckReservedLock, (sqlite3_file * f, int* r), (self(f)->real(), r))
    KINBOOK_FORWARD(xFileControl, (sqlite3_file * f, int op, void* a), (self(f)->real(), op, a))
    KINBOOK_FORWARD(xSectorSize, (sqlite3_file * f), (self(f)->real()))
    KINBOOK_FORWARD(xDeviceCharacteristics, (sqlite3_file * f), (self(f)->real()))
#undef KINBOOK_FORWARD

    // Version 1: no shared memory and no memory mapping, which the rollback journal does not need.
    static inline const sqlite3_io_methods io_ = {
        1,       &xClose, &xRead,   &write,   &xTruncate, &xSync,   &xFileSize, &xLock,  &xUnlock, &xCheckReservedLock,
        &xFileControl, &xSectorSize, &xDeviceCharacteristics, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};
    static inline sqlite3_vfs* base_ = nullptr;
    static inline sqlite3_vfs vfs_{};
    static inline bool armed_ = false;
    static inline int goodWrites_ = 0;
    static inline int code_ = SQLITE_FULL;
    static inline int failed_ = 0;
};

class FileFaultTest : public BooksTest {
protected:
    void SetUp() override
    {
        FaultyVfs::install();
        BooksTest::SetUp();
    }
    void TearDown() override
    {
        BooksTest::TearDown();
        FaultyVfs::uninstall();
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
            sql(QStringLiteral("delete from 收入帐; insert into 收入临时 with recursive n(i) as (select 1 union all"
                               " select i + 1 from n where i < %1) select '01', 'g', i / 100.0, '2026-03-05', '第' || i,"
                               " 3 from n;")
                    .arg(staged));
            open(new EntryForm(kEntryForms[0]));
            App::clearShownMessages();
            FaultyVfs::arm(goodWrites, fault.code);
            press("exit");
            FaultyVfs::disarm();
            ASSERT_GT(FaultyVfs::failedWrites(), 0) << "the posting wrote too little to reach the fault";
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
