// The command line's answers that need no window: over ssh, or wherever no display is there, the
// help and the version are printed and an option not known is told, and the program ends.
#include "support/testsupport.h"

#include <QProcess>
#include <QProcessEnvironment>

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
    p.start(QStringLiteral(KINBOOK_EXECUTABLE), arguments);
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

TEST(CommandLine, HelpAndVersionAnswerWithoutADisplay)
{
    const struct {
        QStringList arguments;
        int exitCode;
        const char* says;  // in what is printed
    } cases[] = {
        {{"--help"}, 0, "--data <DIR>"},
        {{"-h"}, 0, "--check-start"},
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
TEST(CommandLine, QtsOwnOptionsStartTheProgram)
{
    QTemporaryDir folder;
    const Finished r = runWithoutDisplay({"-platform", "offscreen", "--data", folder.path(), "--check-start"});
    EXPECT_FALSE(r.crashed);
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(QFile::exists(folder.path() + "/main.mdb"));
}

}  // namespace
