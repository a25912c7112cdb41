#include "shelltest.h"
#include "about.h"
#include "datafolder.h"
#include "startup.h"
#include "emptyfile.h"
#include "upgrade.h"

#include <QTimer>

namespace {

using DataFolder::Kind;

// Each case: what was given and what the program folder holds, and the folder chosen.
TEST(DataFolderChoice, NamedThenBesideTheProgramThenTheUsersOwn)
{
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    const QString r = root.path();
    for (const char* sub : {"/withfile", "/withbackup/backups", "/emptybackups/backups", "/bare"})
        ASSERT_TRUE(QDir().mkpath(r + sub));
    writeFile(r + "/withfile/main.mdb", "x");
    writeFile(r + "/withbackup/backups/main-20261201-120000.mdb", "x");
    writeFile(r + "/emptybackups/backups/notes.txt", "x");
    const QString personal = r + "/home/.local/share/kinbook";
    struct Case {
        QString option, environment, program;
        QString folder;
        Kind kind;
    } cases[] = {
        {r + "/a", r + "/b", r + "/withfile", r + "/a", Kind::Named},
        {QString(), r + "/b", r + "/withfile", r + "/b", Kind::Named},
        {"  ", r + "/b/", r + "/bare", r + "/b", Kind::Named},
        {r + "/x/../a", QString(), r + "/bare", r + "/a", Kind::Named},
        {QString(), QString(), r + "/withfile", r + "/withfile", Kind::Portable},
        {QString(), QString(), r + "/withbackup", r + "/withbackup", Kind::Portable},
        {QString(), QString(), r + "/emptybackups", personal, Kind::Personal},
        {QString(), QString(), r + "/bare", personal, Kind::Personal},
    };
    for (const Case& c : cases) {
        const DataFolder::Choice got = DataFolder::choose(c.option, c.environment, c.program, personal);
        EXPECT_EQ(got.folder, c.folder) << c.option.toStdString() << " | " << c.environment.toStdString();
        EXPECT_EQ(got.kind, c.kind) << got.folder.toStdString();
    }
    // A relative --data is taken from the current folder.
    EXPECT_EQ(DataFolder::choose("books", {}, r + "/bare", personal).folder, QDir::current().absoluteFilePath("books"));
}

// The schema carried inside the program makes a file of the newest version as that version's own build
// made it (tests/data/versions): the same tables, indexes and query, and the version.
TEST(DataFolderChoice, CarriedSchemaMakesTheNewestVersionsFile)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString made = dir.path() + "/main.mdb";
    std::string error;
    ASSERT_TRUE(EmptyFile::make(DataFolder::schemaText().toStdString(), QFile::encodeName(made).toStdString(), error)) << error;
    const QString kept = QStringLiteral(KINBOOK_TEST_DIR "/data/versions/v%1.mdb").arg(Upgrade::newestVersion());
    const QString schema = "select type, name, tbl_name, sql from sqlite_master order by type, name";
    EXPECT_EQ(rowsOf(made, schema), rowsOf(kept, schema));
    EXPECT_EQ(rowsOf(made, "pragma user_version"), rowsOf(kept, "pragma user_version"));
}

class DataFolderStart : public ShellTest {
protected:
    void SetUp() override
    {
        ShellTest::SetUp();
        ASSERT_TRUE(data_.isValid());
    }
    void TearDown() override
    {
        DataFolder::reset();
        ShellTest::TearDown();
    }

    // Starts the program as a check of the start (the login window closes once shown) and notes what
    // the login window showed: its hint and the names offered.
    int start(Kind kind, const QString& folder)
    {
        DataFolder::use({folder, kind});
        hint_ = QStringLiteral("<no login window>");
        names_.clear();
        // Fires in the run's event loop, if the run gets that far.
        QTimer peek;
        peek.setSingleShot(true);
        QObject::connect(&peek, &QTimer::timeout, [this] {
            for (QWidget* w : shellWindows())
                if (auto* login = qobject_cast<LoginWindow*>(w)) {
                    hint_ = login->startHint();
                    auto* names = child<QComboBox>(login, "cbouser");
                    for (int i = 0; i < names->count(); ++i)
                        names_ << names->itemText(i);
                }
        });
        peek.start(0);
        return Startup::run(Startup::Mode::CheckStart);
    }

    QString data() const { return data_.path() + QStringLiteral("/家/kinbook"); }

    QTemporaryDir data_;
    QString hint_;
    QStringList names_;
};

// A first start in a folder that does not exist yet makes it and an empty household file of the
// current version; the login window says how to begin. The lock and the start's backup are in that
// folder. A second start finds the file as it was left.
TEST_F(DataFolderStart, FirstStartMakesAnEmptyBookAndTheNextFindsIt)
{
    const QString file = data() + "/main.mdb";
    EXPECT_EQ(start(Kind::Personal, data()), 0);
    EXPECT_TRUE(messageTexts().isEmpty()) << messageTexts().join(u'\n').toStdString();
    EXPECT_TRUE(hint_.contains("qmr") && hint_.contains("成员信息")) << hint_.toStdString();
    const QString tables = QStringLiteral("select type, name, sql from sqlite_master order by name");
    EXPECT_EQ(rowsOf(file, tables), rowsOf(QStringLiteral(KINBOOK_EMPTY_DB), tables));
    EXPECT_EQ(rowsOf(file, "pragma user_version"), QStringList{QString::number(Upgrade::newestVersion())});
    EXPECT_EQ(QDir(data() + "/backups").entryList({"main-*.mdb"}).size(), 1);
    EXPECT_FALSE(QFile::exists(folder() + "/backups"));
    EXPECT_EQ(Startup::lockPath(), file + ".lock");

    makeDatabase(file, QStringLiteral("insert into 成员(ID, 姓名, 密码) values ('01', '王芳', '')"));
    EXPECT_EQ(start(Kind::Personal, data()), 0);
    EXPECT_TRUE(messageTexts().isEmpty());
    EXPECT_EQ(hint_, QString());
    EXPECT_EQ(names_, QStringList{"王芳"});
    // The program folder's own main.mdb was never touched.
    EXPECT_EQ(fileBytes(dbPath()), fileBytes(QStringLiteral(KINBOOK_EMPTY_DB)));
}

// A data folder with backups but no main.mdb offers the newest sound one, never an empty book beside
// them: declined, nothing is made; accepted, the book comes back from the backup.
TEST_F(DataFolderStart, MissingFileBesideBackupsOffersTheBackup)
{
    const QString backup = data() + "/backups/main-20261201-120000.mdb";
    ASSERT_TRUE(QDir().mkpath(data() + "/backups"));
    ASSERT_TRUE(QFile::copy(QStringLiteral(KINBOOK_EMPTY_DB), backup));
    QFile::setPermissions(backup, QFile::ReadOwner | QFile::WriteOwner);
    makeDatabase(backup, QStringLiteral("insert into 成员(ID, 姓名, 密码) values ('01', '李明', '')"));
    for (const Kind kind : {Kind::Named, Kind::Personal}) {
        script().clearMessages();
        script().queueAnswer(App::MsgAnswer::Cancel);
        EXPECT_NE(start(kind, data()), 0);
        ASSERT_EQ(script().messages().size(), 1);
        EXPECT_EQ(script().messages().at(0).style, App::MsgStyle::Question);
        EXPECT_TRUE(script().messages().at(0).text.contains(QDir::toNativeSeparators(backup)));
        EXPECT_FALSE(QFile::exists(data() + "/main.mdb"));
        EXPECT_EQ(hint_, QStringLiteral("<no login window>"));
    }
    script().clearMessages();
    script().queueAnswer(App::MsgAnswer::Ok);
    EXPECT_EQ(start(Kind::Named, data()), 0);
    EXPECT_EQ(script().messages().size(), 1);
    EXPECT_EQ(names_, QStringList{"李明"});
    EXPECT_EQ(hint_, QString());
    EXPECT_EQ(rowsOf(data() + "/main.mdb", "select 姓名 from 成员"), QStringList{"李明"});
}

// A data folder that cannot be made is refused with the folder named; nothing else happens.
TEST_F(DataFolderStart, FolderThatCannotBeMadeIsRefused)
{
    const QString underAFile = dbPath() + "/books";
    EXPECT_NE(start(Kind::Named, underAFile), 0);
    ASSERT_EQ(script().messages().size(), 1);
    EXPECT_EQ(script().messages().at(0).style, App::MsgStyle::Stop);
    EXPECT_TRUE(script().messages().at(0).text.startsWith("不能建立数据文件夹 " + QDir::toNativeSeparators(underAFile)));
    EXPECT_EQ(fileBytes(dbPath()), fileBytes(QStringLiteral(KINBOOK_EMPTY_DB)));
}

// 关于 names the folder in use.
TEST_F(DataFolderStart, AboutShowsTheFolderInUse)
{
    for (const QString& shown : {folder(), data()}) {
        if (shown == data())
            DataFolder::use({data(), Kind::Named});
        AboutBox about;
        EXPECT_EQ(child<QLabel>(&about, "lblDataFolder")->text(), "数据文件夹：" + QDir::toNativeSeparators(shown));
    }
}

}  // namespace
