// The program's own files put in place (DiskWrites): what a failed or abandoned write leaves, the
// permissions a replacing file takes, the temporary names the start may remove. That each is on the
// disk when it is said to be is the power-loss test's (tests/shell/powerloss_test.cpp).
#include "diskwrites.h"
#include "support/faultydisk.h"
#include "support/testsupport.h"

#include <sys/stat.h>

namespace {

std::filesystem::path pathOf(const QString& s)
{
    return QFile::encodeName(s).toStdString();
}

unsigned modeOf(const QString& file)
{
    struct stat st {};
    return ::stat(QFile::encodeName(file).constData(), &st) == 0 ? st.st_mode & 0777 : 0;
}

// A file written whole replaces the one there, taking its permissions; one abandoned or cut short
// by a full disk leaves the target as it was and no temporary file.
TEST(DiskWrites, AFileTakesItsPlaceWholeOrNotAtAll)
{
    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("导出.csv"));
    writeFile(target, "old");
    ::chmod(QFile::encodeName(target).constData(), 0640);

    {
        DiskWrites::Writer abandoned(pathOf(target));
        ASSERT_FALSE(abandoned.open());
        ASSERT_FALSE(abandoned.write("new", 3));
    }
    {
        const FileSizeLimit limit(4096);
        const std::string big(10000, 'x');
        EXPECT_TRUE(DiskWrites::writeWhole(pathOf(target), big));
    }
    EXPECT_EQ(fileBytes(target), "old");
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("导出.csv")});

    EXPECT_FALSE(DiskWrites::writeWhole(pathOf(target), "new"));
    EXPECT_EQ(fileBytes(target), "new");
    EXPECT_EQ(modeOf(target), 0640u);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("导出.csv")});

    // A folder that cannot take the file: nothing is made.
    EXPECT_TRUE(DiskWrites::writeWhole(pathOf(dir.filePath(QStringLiteral("无/导出.csv"))), "x"));

    // A file written once and never again: one already under its name keeps its bytes, and what was
    // written for it goes.
    const QString once = dir.filePath(QStringLiteral("书房-00000001.kbsync"));
    EXPECT_FALSE(DiskWrites::writeNew(pathOf(once), "first"));
    EXPECT_EQ(DiskWrites::writeNew(pathOf(once), "second"), std::errc::file_exists);
    EXPECT_EQ(DiskWrites::writeNew(pathOf(target), "newer"), std::errc::file_exists);
    EXPECT_EQ(fileBytes(once), "first");
    EXPECT_EQ(fileBytes(target), "new");
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name),
              QStringList({QStringLiteral("书房-00000001.kbsync"), QStringLiteral("导出.csv")}));
}

// Folders are made with those above them; a file in the way is an error.
TEST(DiskWrites, FoldersAreMadeWithThoseAboveThem)
{
    QTemporaryDir dir;
    EXPECT_FALSE(DiskWrites::makeFolders(pathOf(dir.filePath(QStringLiteral("a/b/c")))));
    EXPECT_TRUE(QFileInfo(dir.filePath(QStringLiteral("a/b/c"))).isDir());
    EXPECT_FALSE(DiskWrites::makeFolders(pathOf(dir.filePath(QStringLiteral("a/b")))));
    writeFile(dir.filePath(QStringLiteral("f")), "x");
    EXPECT_TRUE(DiskWrites::makeFolders(pathOf(dir.filePath(QStringLiteral("f/g")))));
}

// The temporary names are the program's own and nobody else's: the start removes only these.
TEST(DiskWrites, OnlyTheProgramsOwnTemporaryNamesAreTakenForIt)
{
    QTemporaryDir dir;
    std::error_code ec;
    const std::filesystem::path made = DiskWrites::createBeside(pathOf(dir.filePath(QStringLiteral("main.mdb"))), 0600, ec);
    ASSERT_FALSE(ec);
    EXPECT_TRUE(DiskWrites::isTemporaryFor(made.filename().string(), "main.mdb")) << made;
    EXPECT_EQ(modeOf(QString::fromStdString(made.string())), 0600u);
    const struct {
        const char* name;
        bool ours;
    } names[] = {{".main.mdb.Ab12Cd.part", true}, {".main.mdb.Ab12C.part", false},  {".main.mdb.Ab1-Cd.part", false},
                 {"main.mdb.Ab12Cd.part", false}, {".main.mdb.Ab12Cd.partx", false}, {".notes.txt.Ab12Cd.part", false},
                 {".main.mdbx.Ab12Cd.part", false}};
    for (const auto& n : names)
        EXPECT_EQ(DiskWrites::isTemporaryFor(n.name, "main.mdb"), n.ours) << n.name;
}

}  // namespace
