#include "results/htmlreport.h"

#include <gtest/gtest.h>

namespace {

const QByteArray kHead = "<HTML>\n<HEAD>\n<TITLE>Vantrel Results</TITLE>\n</HEAD>\n<BODY>\n<H3>"
                         "<A HREF=\"https://vantrel.kestrine.example/\">Vantrel</A> results for "
                         "Ada</H3>\n<b>Start of test: </b>NOW\n";
const QByteArray kFoot = "\n</ul>\n<hr>\n\n</BODY>\n</HTML>\n";

TEST(HtmlReportTest, OneListPerTestedFileOfEveryRun)
{
    const QByteArray report = "Start of test THEN\r\n\r\n"
                              "<Testing: /w/a.html\r\n"
                              "\"http://x/\" >X site<\r\n"
                              "*Reason for Failure: HTTP Code 404 Not Found\r\n"
                              ">Results for /w/a.html: URLs tested: 2. URL errors: 1.\r\n\r\n"
                              "End of test: THEN\r\n\r\n"
                              "Start of test LATER\r\n\r\n"
                              "<Testing: /w/b.html\r\n"
                              "\"ftp://y/\" ><\r\n"
                              "*HTTP Code 200 OK\r\n"
                              "Testing Stopped by User\r\n";
    EXPECT_EQ(BuildHtmlReport(report, "Ada", "NOW"),
              kHead +
                  "<hr>\nTesting: /w/a.html\n<ul>\n"
                  "\n<li><a href=\"http://x/\">X site</a> Reason for Failure: HTTP Code 404 Not "
                  "Found\n"
                  "</ul>\nResults for /w/a.html: URLs tested: 2. URL errors: 1.\n"
                  "<hr>\nTesting: /w/b.html\n<ul>\n"
                  "\n<li><a href=\"ftp://y/\"></a> HTTP Code 200 OK\n" +
                  kFoot);
}

TEST(HtmlReportTest, TextFromWebPagesIsEscaped)
{
    const QByteArray report = "<Testing: /w/<b>&.html\r\n"
                              "\"http://x/?a=1&b=\"2\" >Tom & <script>alert(\"x\")</script><\r\n"
                              "*Reason for Failure: Can't Connect to Host\r\n";
    const QByteArray page = BuildHtmlReport(report, "<Eve>", "NOW");
    EXPECT_FALSE(page.contains("<script>"));
    EXPECT_FALSE(page.contains("<Eve>"));
    EXPECT_TRUE(page.contains("Testing: /w/&lt;b&gt;&amp;.html\n"));
    EXPECT_TRUE(page.contains("<li><a href=\"http://x/?a=1&amp;b=\"> &gt;Tom &amp; "
                              "&lt;script&gt;alert(&quot;x&quot;)&lt;/script&gt;</a>"));
    EXPECT_EQ(EscapeHtml("a&b<c>d\"e'f"), QByteArray("a&amp;b&lt;c&gt;d&quot;e'f"));
}

TEST(HtmlReportTest, MalformedLinkLinesYieldNothing)
{
    EXPECT_EQ(BuildHtmlReport("\"no second quote\r\n\"\r\nrandom line\r\n", "Ada", "NOW"),
              kHead + kFoot);
    EXPECT_EQ(BuildHtmlReport("\"u\"\r\n", "Ada", "NOW"),
              kHead + "\n<li><a href=\"u\"></a>" + kFoot);
}

} // namespace
