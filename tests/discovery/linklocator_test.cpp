#include "discovery/linklocator.h"

#include <gtest/gtest.h>

#include "discovery/linkextractor.h"
#include "discovery/workfiles.h"
#include "support/temphome.h"

namespace {

// The places the locator gives the links that the scan takes from the page.
QList<std::pair<int, int>> PlacesOf(const TempHome &home, const QByteArray &page)
{
    const QByteArray path = home.file("page.html");
    WriteFileBytes(path, page);
    QList<QByteArray> urls;
    QList<QByteArray> anchors;
    const CWorkFiles workFiles;
    EXPECT_TRUE(ExtractLinks(path, workFiles.WorkFilePath("2"), urls, anchors));
    CLinkLocator locator = CLinkLocator::ForPage(path);
    QList<std::pair<int, int>> places;
    for (const QByteArray &url : urls) {
        const CLinkLocator::Place place = locator.Locate(url);
        places.append({place.line, place.column});
    }
    return places;
}

TEST(LinkLocatorTest, EachLinkGetsTheLineAndColumnOfItsAnchorWhateverTheLineEndings)
{
    TempHome home;
    const QByteArray longLine(20000, 'x');
    const struct
    {
        const char *name;
        QByteArray page;
        QList<std::pair<int, int>> places;
    } cases[] = {
        {"LF",
         "<p>http://a/ quoted before any anchor</p>\n<a href=\"http://a/\">A</a>\n\n"
         "  <a href=\"http://b/\">http://c/</a><a href=\"http://c/\">C</a>\n",
         {{2, 10}, {4, 12}, {4, 45}}},
        {"CR LF",
         "<html>\r\n<a href=\"http://a/\">A</a>\r\n\r\n<A HREF=\"http://a/\">again</A>\r\n",
         {{2, 10}, {4, 10}}},
        {"lone CR", "\r\r<a\rhref=\"http://a/\">A</a>\r", {{4, 7}}},
        {"long line",
         longLine + "<a href=\"http://long/\">L</a>" + longLine + "\n" +
             "<a href=\"http://next/\">N</a>",
         {{1, 20010}, {2, 10}}},
        // Broken over two lines, the link the scan joined stands nowhere.
        {"broken link",
         "<a href=\"http://bro\nken/\">B</a>\n<a href=\"http://after/\">A</a>\n",
         {{0, 0}, {3, 10}}},
        // A link a repair disabled is no link: the same one after it is placed.
        {"link in a comment",
         "<!-- <a href=\"http://a/\">A</a>\n -->\n<a href=\"http://a/\">A</a>\n",
         {{3, 10}}},
    };
    for (const auto &c : cases)
        EXPECT_EQ(PlacesOf(home, c.page), c.places) << c.name;
}

} // namespace
