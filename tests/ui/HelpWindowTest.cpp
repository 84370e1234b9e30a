#include "ui/HelpWindow.h"

#include "TestSupport.h"

#include <QScrollBar>
#include <QTextBrowser>
#include <QTextDocument>

#include <gtest/gtest.h>

using namespace tabulonix;
using tabulonix::test::TempDir;

namespace {

TEST(THelpWindow, ShowsTheHelpFileAtItsTopic)
{
    TempDir dir;
    std::string page = "<html><body><h1><a name=\"contents\">Contents</a></h1>";
    for (int i = 0; i < 200; ++i)
        page += "<p>Filler paragraph " + std::to_string(i) + "</p>";
    page += "<h2><a name=\"101\">The wizard</a></h2><p>Six steps.</p></body></html>";
    test::WriteText(dir.File("QVEnglish.hlp"), page);

    THelpWindow help;
    help.resize(400, 300);
    ASSERT_TRUE(help.ShowTopic(dir.File("QVEnglish.hlp"), "101"));
    EXPECT_TRUE(help.isVisible());
    EXPECT_EQ(help.Browser->source().fragment(), "101");
    // Read as HTML although the name does not say so: the markup is not shown as text.
    const QString text = help.Browser->document()->toPlainText();
    EXPECT_TRUE(text.contains("Six steps.")) << text.toStdString();
    EXPECT_FALSE(text.contains("<h2>"));
    const int topic = help.Browser->verticalScrollBar()->value();
    EXPECT_GT(topic, 1000) << "scrolled to the topic, below two hundred paragraphs";

    ASSERT_TRUE(help.ShowTopic(dir.File("QVEnglish.hlp"), "contents"));
    EXPECT_LT(help.Browser->verticalScrollBar()->value(), 50) << "back at the top";

    // A missing file changes nothing.
    EXPECT_FALSE(help.ShowTopic(dir.File("QVSuomi.hlp"), "101"));
    EXPECT_EQ(help.Browser->source().fragment(), "contents");
}

} // namespace
