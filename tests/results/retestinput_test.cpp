#include "results/retestinput.h"

#include <gtest/gtest.h>

namespace {

TEST(RetestInputTest, EveryReportedLinkComesBackUnderItsPageInReportOrder)
{
    const QByteArray report =
        "Start of test NOW\r\n\r\n"
        "<Testing: /w/a.html\r\n"
        "\"http://one/\" >One<\r\n*Reason for Failure: HTTP Code 404 Not Found\r\n"
        "\"ftp://two/\" >Two <b>bold</b><\r\n*Reason for Failure: Can't Connect to Host\r\n"
        "\"http://three/\" ><img src=\"x\"><\r\n*HTTP Code 200 OK\r\n"
        "\"https://four/\" >Four<\r\n*Reason for Failure: TLS Handshake Failed\r\n"
        ">Results for /w/a.html: URLs tested: 5. URL errors: 4.\r\n\r\n"
        "A line with a \"quote\" inside\r\n"
        "Start of test LATER\r\n\r\n<Testing: /w/b.html\r\n"
        "\"http://one/\" >One again<\r\n*Reason for Failure: HTTP Code 500 "
        "Internal Server Error\r\nTesting Stopped by User\r\n"
        "Start of test LAST\r\n\r\n<Testing: /w/a.html\r\n"
        "\"http://five/\" >Five<\r\n*Reason for Failure: HTTP Code 404 Not Found\r\n";
    const QList<ScannedFile> classic = RetestPages(report, LinkRule::Classic);
    ASSERT_EQ(classic.size(), 2);
    EXPECT_EQ(classic[0].path, QByteArray("/w/a.html"));
    EXPECT_EQ(classic[0].urls,
              (QList<QByteArray>{"http://one/", "ftp://two/", "http://three/", "http://five/"}));
    EXPECT_EQ(classic[0].anchors, (QList<QByteArray>{"One", "Two", kSuppliedAnchorName, "Five"}))
        << "an anchor text is cut at its first \"<\"";
    EXPECT_EQ(classic[0].httpsLeftOut, 1);
    EXPECT_EQ(classic[1].path, QByteArray("/w/b.html"));
    EXPECT_EQ(classic[1].urls, QList<QByteArray>{"http://one/"});

    const QList<ScannedFile> modern = RetestPages(report, LinkRule::TodaysWeb);
    EXPECT_TRUE(modern[0].urls.contains("https://four/"));
    EXPECT_EQ(modern[0].httpsLeftOut, 0);

    EXPECT_TRUE(
        RetestPages("Start of test NOW\r\n\r\nTesting Stopped by User\r\n", LinkRule::Classic)
            .isEmpty());
}

} // namespace
