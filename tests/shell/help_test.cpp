#include "help.h"
#include "support/testsupport.h"

#include <QFile>
#include <QImage>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextDocument>
#include <QTextFragment>

namespace {

// The headings of the first two levels of a page in docs/, as its Markdown source writes them (the
// marks of code taken out, as the browser shows them).
QStringList headingsOfSource(const QString& page)
{
    QFile f(QStringLiteral(KINBOOK_TEST_DIR "/../docs/") + page);
    if (!f.open(QIODevice::ReadOnly))
        return {QStringLiteral("<no docs/%1>").arg(page)};
    QStringList headings;
    bool inCode = false;
    for (const QString& line : QString::fromUtf8(f.readAll()).split(u'\n')) {
        if (line.startsWith(QStringLiteral("```")))
            inCode = !inCode;
        else if (!inCode && (line.startsWith(QStringLiteral("# ")) || line.startsWith(QStringLiteral("## "))))
            headings << line.mid(line.indexOf(u' ') + 1).trimmed().remove(u'`');
    }
    return headings;
}

// The headings of the first two levels the browser shows.
QStringList headingsShown(const QTextBrowser* view)
{
    QStringList headings;
    for (QTextBlock b = view->document()->begin(); b.isValid(); b = b.next())
        if (b.blockFormat().headingLevel() == 1 || b.blockFormat().headingLevel() == 2)
            headings << b.text();
    return headings;
}

// The help window as F1 shows it, active.
void showHelp(HelpWindow& help)
{
    help.show();
    help.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&help));
}

}  // namespace

// The four lines stay as they are; 用户手册, reached with Tab and pressed with Space, shows below them
// the manual the program carries, read-only and with the focus, and Escape still closes the window.
TEST(HelpWindowTest, TheManualButtonShowsTheCarriedManualBelowTheFourLines)
{
    HelpWindow help;
    showHelp(help);
    auto* label = child<QLabel>(&help, "Label1");
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->text(), HelpWindow::helpText());
    EXPECT_EQ(help.findChild<QTextBrowser*>(), nullptr) << "the manual is made before it is asked for";

    label->setFocus();
    QTest::keyClick(label, Qt::Key_Tab);
    auto* button = child<QPushButton>(&help, "cmdManual");
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->text(), QStringLiteral("用户手册"));
    ASSERT_EQ(QApplication::focusWidget(), button);
    QTest::keyClick(button, Qt::Key_Space);

    auto* view = child<QTextBrowser>(&help, "txtManual");
    ASSERT_NE(view, nullptr);
    EXPECT_TRUE(view->isVisible());
    EXPECT_TRUE(view->isReadOnly());
    EXPECT_EQ(QApplication::focusWidget(), view);
    EXPECT_EQ(view->accessibleName(), QStringLiteral("用户手册"));
    // The manual whole: its title first, and every section after it.
    const QStringList headings = headingsOfSource(QStringLiteral("manual.md"));
    ASSERT_GT(headings.size(), 5);
    EXPECT_EQ(headingsShown(view), headings);
    EXPECT_TRUE(label->isVisible());
    EXPECT_EQ(label->text(), HelpWindow::helpText());
    EXPECT_GT(view->height(), 3 * label->height()) << "no room to read the manual";

    // A second press keeps the one manual where it is read.
    view->verticalScrollBar()->setValue(view->verticalScrollBar()->maximum() / 2);
    const int readTo = view->verticalScrollBar()->value();
    button->click();
    EXPECT_EQ(help.findChildren<QTextBrowser*>().size(), 1);
    EXPECT_EQ(view->verticalScrollBar()->value(), readTo);

    QTest::keyClick(view, Qt::Key_Escape);
    EXPECT_FALSE(help.isVisible());
}

// Every picture of the manual and every page it links to is among the program's resources: the
// installed program has no docs/ folder to find them in. The link to the sync page opens that page
// in the same view, and Back returns to the manual.
TEST(HelpWindowTest, EveryPictureAndPageTheManualNamesIsCarriedByTheProgram)
{
    HelpWindow help;
    showHelp(help);
    click(&help, QStringLiteral("cmdManual"));
    auto* view = child<QTextBrowser>(&help, "txtManual");
    ASSERT_NE(view, nullptr);

    QStringList missing;
    QList<QUrl> pages;
    int pictures = 0;
    for (QTextBlock b = view->document()->begin(); b.isValid(); b = b.next()) {
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat format = it.fragment().charFormat();
            if (format.isImageFormat()) {
                ++pictures;
                const QUrl url = view->source().resolved(QUrl(format.toImageFormat().name()));
                const QVariant data = view->loadResource(QTextDocument::ImageResource, url);
                const QImage image = data.canConvert<QImage>() && data.typeId() == QMetaType::QImage
                                         ? data.value<QImage>()
                                         : QImage::fromData(data.toByteArray());
                if (image.isNull())
                    missing << url.toString();
            } else if (format.isAnchor() && !format.anchorHref().isEmpty()) {
                const QUrl href(format.anchorHref());
                if (!href.isRelative())
                    continue;  // a web address, opened by the desktop's browser
                const QUrl url = view->source().resolved(href);
                if (!QFile::exists(QLatin1Char(':') + url.path()))
                    missing << url.toString();
                else if (!pages.contains(url))
                    pages << url;
            }
        }
    }
    EXPECT_EQ(missing, QStringList{});

    QFile source(QStringLiteral(KINBOOK_TEST_DIR "/../docs/manual.md"));
    ASSERT_TRUE(source.open(QIODevice::ReadOnly));
    EXPECT_EQ(pictures, QString::fromUtf8(source.readAll()).count(QStringLiteral("![")));
    EXPECT_GT(pictures, 0);

    const QUrl syncPage = view->source().resolved(QUrl(QStringLiteral("sync.md")));
    ASSERT_TRUE(pages.contains(syncPage)) << "the manual no longer links to the sync page";
    view->setSource(syncPage);
    EXPECT_EQ(headingsShown(view), headingsOfSource(QStringLiteral("sync.md")));
    view->backward();
    EXPECT_EQ(headingsShown(view), headingsOfSource(QStringLiteral("manual.md")));
}
