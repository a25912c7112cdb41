// The program as a script or a desktop starts it: without a home folder, with an empty --data, and
// kinbook --restore. The installed program (no main.mdb beside it) is a copy of the one built, run
// in a folder of its own.
#include "shelltest.h"

#include "backup.h"
#include "datafolder.h"
#include "platform.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <sys/stat.h>

namespace {

using Kind = DataFolder::Kind;

// Where the user's data folder is wanted, a home folder that is unset, empty or not there refuses the
// start with the reason, naming HOME and --data; so does --data with nothing after it. XDG_DATA_HOME
// naming a full path holds the data folder without HOME; --data or KINBOOK_DATA needs no home.
TEST(DataFolderChoice, NoHomeFolderAndAnEmptyDataOptionAreRefused)
{
    QTemporaryDir dir;
    const DataFolder::Choice personal{dir.filePath("home/.local/share/kinbook"), Kind::Personal};
    const DataFolder::Choice named{dir.filePath("books"), Kind::Named};
    const struct {
        DataFolder::Choice choice;
        bool dataGiven;
        QString dataOption;
        std::optional<QString> home;
        QString dataHome;
        const char* says;  // nullptr: accepted as chosen
    } cases[] = {
        {personal, false, {}, std::nullopt, {}, "没有设置环境变量 HOME"},
        {personal, false, {}, QString(), {}, "没有设置环境变量 HOME"},
        {personal, false, {}, dir.filePath("nohome"), {}, "环境变量 HOME 指向的文件夹"},
        {personal, false, {}, std::nullopt, dir.filePath("share"), nullptr},
        {personal, false, {}, std::nullopt, "relative/share", "没有设置环境变量 HOME"},
        {personal, false, {}, dir.path(), {}, nullptr},
        {named, true, dir.filePath("books"), std::nullopt, {}, nullptr},
        {named, false, {}, std::nullopt, {}, nullptr},  // KINBOOK_DATA
        {personal, true, "", dir.path(), {}, "--data 后面没有写文件夹"},
        {personal, true, "  ", dir.path(), {}, "--data 后面没有写文件夹"},
    };
    for (const auto& c : cases) {
        const DataFolder::Choice got = DataFolder::checked(c.choice, c.dataGiven, c.dataOption, c.home, c.dataHome);
        SCOPED_TRACE(c.says ? c.says : "accepted");
        if (!c.says) {
            EXPECT_EQ(got.kind, c.choice.kind);
            EXPECT_EQ(got.folder, c.choice.folder);
            continue;
        }
        EXPECT_EQ(got.kind, Kind::Refused);
        EXPECT_TRUE(got.refusal.startsWith(QString::fromUtf8(c.says))) << got.refusal.toStdString();
        EXPECT_TRUE(got.refusal.contains("--data")) << got.refusal.toStdString();
        if (c.choice.kind == Kind::Personal && !c.dataGiven) {
            EXPECT_TRUE(got.refusal.contains("HOME"));
        }
    }
}

class CommandLine : public ShellTest {
protected:
    void SetUp() override
    {
        ShellTest::SetUp();
        ASSERT_TRUE(installed_.isValid());
        // The program alone in a folder, as installed: no main.mdb beside it.
        program_ = installed_.filePath("kinbook");
        ASSERT_TRUE(QFile::copy(QStringLiteral(KINBOOK_PROGRAM), program_));
        QFile::setPermissions(program_, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    struct Run {
        int status = -1;
        QString out, err;
    };
    // Runs the program with `arguments`; `home`: HOME (nullopt: unset). Without `display` the
    // program finds none (a scheduled job, a remote shell): a window could not open.
    Run run(const QStringList& arguments, const std::optional<QString>& home, bool display = true)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"HOME", "XDG_DATA_HOME", "KINBOOK_DATA", "DISPLAY", "WAYLAND_DISPLAY"})
            env.remove(QString::fromLatin1(name));
        if (home)
            env.insert("HOME", *home);
        env.insert("QT_QPA_PLATFORM", display ? "offscreen" : "xcb");
        env.insert("XDG_RUNTIME_DIR", installed_.path());
        QProcess p;
        p.setProcessEnvironment(env);
        p.setWorkingDirectory(installed_.path());
        p.start(program_, arguments);
        p.waitForFinished(60000);
        return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, QString::fromUtf8(p.readAllStandardOutput()),
                QString::fromUtf8(p.readAllStandardError())};
    }
    QStringList everything(const QString& folder)
    {
        QStringList out;
        for (const QFileInfo& f : QDir(folder).entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot))
            out << f.fileName();
        return out;
    }

    QTemporaryDir installed_;
    QString program_;
};

// Without a home folder the installed program refuses to start, names HOME and --data, and writes
// nothing: no data folder at the root, none in a home folder that is not there. With --data it starts.
TEST_F(CommandLine, WithoutAHomeFolderNothingIsWrittenAndHOMEIsNamed)
{
    const QString missing = installed_.filePath("nohome");
    for (const std::optional<QString>& home : {std::optional<QString>(), std::optional<QString>(QString()), std::optional<QString>(missing)}) {
        SCOPED_TRACE(home ? home->toStdString() : std::string("unset"));
        const Run r = run({"--check-start"}, home);
        EXPECT_NE(r.status, 0);
        EXPECT_TRUE(r.out.contains("HOME") && r.out.contains("--data")) << r.out.toStdString() << r.err.toStdString();
        EXPECT_FALSE(r.out.contains("登录窗口已显示")) << r.out.toStdString();
    }
    EXPECT_FALSE(QFileInfo::exists(missing));
    EXPECT_EQ(everything(installed_.path()), QStringList{"kinbook"});

    const Run empty = run({"--check-start", "--data", ""}, installed_.path());
    EXPECT_NE(empty.status, 0);
    EXPECT_TRUE(empty.out.contains("--data 后面没有写文件夹")) << empty.out.toStdString();
    EXPECT_EQ(everything(installed_.path()), QStringList{"kinbook"});

    const QString books = installed_.filePath("books");
    const Run named = run({"--check-start", "--data", books}, std::nullopt);
    EXPECT_EQ(named.status, 0) << named.out.toStdString() << named.err.toStdString();
    EXPECT_TRUE(named.out.contains("登录窗口已显示")) << named.out.toStdString();
    EXPECT_TRUE(QFileInfo::exists(books + "/main.mdb"));
}

// kinbook --restore FILE: the restore of the menu without a window. The file is checked first (a
// file that is no household book changes nothing, status 1); the current file is backed up before
// it is replaced, and keeps its permissions; one line says what was done (status 0). While the
// program runs on the file nothing is done (status 2).
TEST_F(CommandLine, RestoreFromTheCommandLineChecksBacksUpAndSaysWhatItDid)
{
    const QString data = installed_.filePath("books"), book = data + "/main.mdb";
    QDir().mkpath(data);
    ASSERT_TRUE(QFile::copy(QStringLiteral(KINBOOK_EMPTY_DB), book));
    makeDatabase(book, "insert into 收入帐 (成员ID, 类型ID, 金额, 日期, 备注, 月份) values('01','g',1,'2026-03-01','现在',3);");
    ::chmod(QFile::encodeName(book).constData(), 0644);
    const QString backup = installed_.filePath("备份.mdb"), notes = installed_.filePath("notes.mdb");
    ASSERT_TRUE(QFile::copy(QStringLiteral(KINBOOK_EMPTY_DB), backup));
    makeDatabase(backup, "insert into 收入帐 (成员ID, 类型ID, 金额, 日期, 备注, 月份) values('01','g',9,'2025-12-31','备份',12);");
    writeFile(notes, "收入 100 元");
    const QByteArray current = fileBytes(book);

    const Run refused = run({"--restore", notes, "--data", data}, installed_.path());
    EXPECT_EQ(refused.status, 1);
    EXPECT_TRUE(refused.err.contains("不能用这个文件恢复数据")) << refused.err.toStdString();
    EXPECT_EQ(fileBytes(book), current);
    EXPECT_EQ(everything(data), QStringList{"main.mdb"});

    {
        Platform::FileLock running;
        ASSERT_EQ(running.tryLock(book + ".lock"), Platform::FileLock::Acquired);
        const Run busy = run({"--restore", backup, "--data", data}, installed_.path());
        EXPECT_EQ(busy.status, 2);
        EXPECT_TRUE(busy.err.contains("没有恢复")) << busy.err.toStdString();
        EXPECT_EQ(fileBytes(book), current);
    }

    const Run done = run({"--restore", backup, "--data", data}, installed_.path());
    EXPECT_EQ(done.status, 0) << done.err.toStdString();
    const QList<Backup::Dated> made = Backup::listDated(data + "/backups");
    ASSERT_EQ(made.size(), 1);
    EXPECT_EQ(done.out.trimmed(), QStringLiteral("已用 %1 恢复数据：%2；原来的文件保存为 %3。").arg(backup, book, made.first().path));
    EXPECT_EQ(rowsOf(book, "select 备注 from 收入帐"), QStringList{"备份"});
    EXPECT_EQ(rowsOf(made.first().path, "select 备注 from 收入帐"), QStringList{"现在"});
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(book).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0644u);
    EXPECT_EQ(everything(data), QStringList({"backups", "main.mdb"}));
}

// The options together, as scripts give them, on a computer without a display: --help and
// --version win over everything else and write nothing; --sync, --restore and --check-start are one
// run each and refused together, writing nothing; --sync and --restore need no display; an option
// the program does not know is named.
TEST_F(CommandLine, OptionsTogetherWithoutADisplay)
{
    const QString data = installed_.filePath("books"), backup = installed_.filePath("备份.mdb");
    ASSERT_TRUE(QFile::copy(QStringLiteral(KINBOOK_EMPTY_DB), backup));
    const struct {
        QStringList arguments;
        int status;
        const char* out;  // in standard output ("" for nothing in particular)
        const char* err;  // in standard error
        bool writes;      // the data folder is there after (made, or it held a book before)
        bool book = false;  // the data folder holds a book before
    } cases[] = {
        {{"--help"}, 0, "--sync", "", false},
        {{"--sync", "--help", "--data", data}, 0, "--restore <FILE>", "", false},
        {{"--restore", backup, "--version"}, 0, "1.", "", false},
        {{"--version", "--sync"}, 0, "1.", "", false},
        {{"--sync", "--restore", backup, "--data", data}, 1, "", "--sync", false},
        {{"--check-start", "--sync", "--data", data}, 1, "", "--check-start", false},
        {{"--sync", "--bogus", "--data", data}, 1, "", "bogus", false},
        {{"--sync", "--data", data}, 1, "", "还没有设置同步", true, true},
        {{"--restore", backup, "--data", data}, 0, "已用", "", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments.join(' ').toStdString());
        if (c.book) {
            QDir().mkpath(data);
            ASSERT_TRUE(QFile::copy(QStringLiteral(KINBOOK_EMPTY_DB), data + "/main.mdb"));
        }
        const Run r = run(c.arguments, installed_.path(), false);
        EXPECT_EQ(r.status, c.status) << r.out.toStdString() << r.err.toStdString();
        EXPECT_TRUE(r.out.contains(QString::fromUtf8(c.out))) << r.out.toStdString();
        EXPECT_TRUE(r.err.contains(QString::fromUtf8(c.err))) << r.err.toStdString();
        EXPECT_EQ(QFileInfo::exists(data), c.writes);
        QDir(data).removeRecursively();
    }
}

}  // namespace

// The answers that need no window: over ssh, or wherever no display is there, the help and the
// version are printed and an option not known is told, and the program ends.
namespace {

struct Finished {
    int exitCode = -1;
    bool crashed = true;
    QString out, err;
};

// The program run with `arguments` in an environment without any display.
Finished runWithoutDisplay(const QStringList& arguments)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(QString::fromLatin1(name));
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(KINBOOK_PROGRAM), arguments);
    Finished r;
    if (!p.waitForFinished(30000)) {
        p.kill();
        p.waitForFinished();
        return r;
    }
    r.crashed = p.exitStatus() != QProcess::NormalExit;
    r.exitCode = p.exitCode();
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

TEST(CommandLineWithoutDisplay, HelpAndVersionAnswerWithoutADisplay)
{
    const struct {
        QStringList arguments;
        int exitCode;
        const char* says;  // in what is printed
    } cases[] = {
        {{"--help"}, 0, "--data <DIR>"},
        {{"-h"}, 0, "--check-start"},
        {{"--help"}, 0, "--restore <FILE>"},
        {{"--data", "/nowhere", "--help"}, 0, "--data <DIR>"},
        {{"--version"}, 0, "kinbook 1.1.0"},
        {{"-v"}, 0, "kinbook 1.1.0"},
        {{"--no-such-option"}, 1, "no-such-option"},
        {{"-platform", "minimal", "--nonsense"}, 1, "nonsense"},
    };
    for (const auto& c : cases) {
        const Finished r = runWithoutDisplay(c.arguments);
        const QString args = c.arguments.join(u' ');
        EXPECT_FALSE(r.crashed) << args.toStdString();
        EXPECT_EQ(r.exitCode, c.exitCode) << args.toStdString() << "\n" << r.err.toStdString();
        EXPECT_TRUE((r.out + r.err).contains(QString::fromUtf8(c.says))) << args.toStdString() << "\n"
                                                                         << (r.out + r.err).toStdString();
    }
}

// Qt's own options are no mistake: with one of them the program goes on to its windows (here on
// Qt's platform without a screen, its start checked and the login window closed once shown).
TEST(CommandLineWithoutDisplay, QtsOwnOptionsStartTheProgram)
{
    QTemporaryDir folder;
    const Finished r = runWithoutDisplay({"-platform", "offscreen", "--data", folder.path(), "--check-start"});
    EXPECT_FALSE(r.crashed);
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(QFile::exists(folder.path() + "/main.mdb"));
}

}  // namespace
