// The windows and the widget kit hold no SQL and reach no connection: they are given the store. The
// build keeps a lower layer from including a higher one; this keeps SQL and the open file's global out
// of the layers that the build cannot tell apart from it.
#include "support/testsupport.h"

#include <QDirIterator>
#include <QRegularExpression>

namespace {

struct Finding {
    QString file;
    int line;
    QString text;
};

// The lines of the sources under `folders` (relative to the repository) that match `pattern`.
QList<Finding> find(const QStringList& folders, const QRegularExpression& pattern, const QStringList& except = {})
{
    QList<Finding> out;
    const QDir root(QStringLiteral(KINBOOK_TEST_DIR "/.."));
    for (const QString& folder : folders) {
        QDirIterator it(root.filePath(folder), {"*.cpp", "*.h"}, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            const QString name = root.relativeFilePath(path);
            if (except.contains(name))
                continue;
            const QStringList lines = QString::fromUtf8(fileBytes(path)).split(u'\n');
            for (int i = 0; i < lines.size(); ++i)
                if (pattern.match(lines[i]).hasMatch())
                    out << Finding{name, i + 1, lines[i].trimmed()};
        }
    }
    return out;
}

QStringList shown(const QList<Finding>& findings)
{
    QStringList out;
    for (const Finding& f : findings)
        out << QString("%1:%2: %3").arg(f.file).arg(f.line).arg(f.text);
    return out;
}

}  // namespace

TEST(Layers, WindowsAndTheKitHoldNoSqlAndReachNoConnection)
{
    // A statement in a string, however it is written: "SELECT …", "insert into …", "DELETE FROM …".
    const QRegularExpression sql(
        QStringLiteral("\"\\s*(select\\s|insert\\s+(or\\s+\\w+\\s+)?into\\s|update\\s+\\S+\\s+set\\s|delete\\s+from\\s|create\\s+(temp|table|index|view))"),
        QRegularExpression::CaseInsensitiveOption);
    // The open file's global, the frame's header that holds it, and the engine's own handles.
    const QRegularExpression connection(QStringLiteral(
        "App::conn\\b|#include \"(session|connection|statement|sqltext)\\.h\"|\\.connection\\(\\)|\\bStatement\\b|sqlite3"));
    const QStringList windows = {"windows", "kit"};
    EXPECT_EQ(shown(find(windows, sql)), QStringList());
    EXPECT_EQ(shown(find(windows, connection)), QStringList());
    // The frame's own windows ask the store as well; the frame itself opens, checks and backs up the file.
    EXPECT_EQ(shown(find({"frame"}, sql)), QStringList());

    // The check finds what it looks for.
    EXPECT_FALSE(find({"household"}, sql).isEmpty());
    EXPECT_FALSE(find({"frame"}, connection).isEmpty());
}
