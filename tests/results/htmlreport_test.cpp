#include "results/htmlreport.h"

#include <QProcess>

#include <gtest/gtest.h>

#include "results/htmltext.h"
#include "support/pythonmodule.h"
#include "support/temphome.h"

namespace {

TEST(HtmlReportTest, PageIsValidHtml5AndShowsEveryLinkAndEveryRunsEnd)
{
    const QString python = PythonWithModule(QStringLiteral("html5lib"));
    if (python.isEmpty())
        GTEST_SKIP() << "python3-html5lib is not installed (scripts/dev installs it)";
    const QByteArray report =
        "Start of test THEN\r\n\r\n"
        "<Testing: /w/a&b.html\r\n"
        "\"http://x/?a=1&b=2\" >Caf\xC3\xA9 \xE2\x80\x94 \xE6\x97\xA5\xE6\x9C\xAC<\r\n"
        "*Reason for Failure: HTTP Code 404 Not Found\r\n"
        "\"http://x/caf\xE9\" > <\r\n"
        "*Reason for Failure: Host Not Found\r\n"
        "\"http://x/latin\" >\xE9t\xE9 \x01\x93<\r\n"
        "*HTTP Code 200 OK\r\n"
        "\"http://x/tag\" >Tom & <script>alert(\"x\")</script><\r\n"
        "*Reason for Failure: Can't Connect to Host\r\n"
        "\"http://x/old\" >old<\r\n"
        "*Reason for Failure: HTTP Code 301 Moved Permanently\r\n"
        "*Moved to: http://x/new?a&b (HTTP Code 200 OK)\r\n"
        "\"no second quote\r\n"
        "random line\r\n"
        ">Results for /w/a&b.html: URLs tested: 5. URL errors: 4.\r\n\r\n"
        "End of test: THEN\r\n\r\n"
        "Start of test LATER\r\n\r\n"
        "<Testing: /w/b.html\r\n"
        "\"ftp://y/\" >y<\r\n"
        "*Reason for Failure: Can't Connect to Host\r\n"
        "Testing Stopped by User\r\n";
    TempHome home;
    const QByteArray path = home.file("results.html");
    WriteFileBytes(path, BuildHtmlReport(report, "Ada <Eve>", "NOW"));

    QProcess check;
    check.start(python, {QStringLiteral(HTMLPAGE_CHECK_PATH), QString::fromLocal8Bit(path)});
    ASSERT_TRUE(check.waitForFinished(60000));
    ASSERT_EQ(check.exitCode(), 0) << check.readAllStandardError().constData();
    // What a browser shows, line by line: "li", the link's address, its text
    // and the whole item; "p" or "h3" and the text.
    const QStringList shown =
        QString::fromUtf8(check.readAllStandardOutput()).split(QLatin1Char('\n'));
    const QStringList expected = {
        QStringLiteral("title\tVantrel Results"),
        QStringLiteral("h3\tVantrel results for Ada <Eve>"),
        QStringLiteral("p\tStart of test: THEN"),
        QStringLiteral("p\tTesting: /w/a&b.html"),
        QStringLiteral("li\thttp://x/?a=1&b=2\tCaf\u00e9 \u2014 \u65e5\u672c\tCaf\u00e9 \u2014 "
                       "\u65e5\u672c Reason for Failure: HTTP Code 404 Not Found"),
        QStringLiteral("li\thttp://x/caf%E9\thttp://x/caf\u00e9\thttp://x/caf\u00e9 Reason for "
                       "Failure: Host Not Found"),
        QStringLiteral("li\thttp://x/latin\t\u00e9t\u00e9 \\x01\\x93\t\u00e9t\u00e9 \\x01\\x93 "
                       "HTTP Code 200 OK"),
        QStringLiteral("li\thttp://x/tag\tTom & <script>alert(\"x\")</script>\tTom & "
                       "<script>alert(\"x\")</script> Reason for Failure: Can't Connect to Host"),
        QStringLiteral("li\thttp://x/old\told\told Reason for Failure: HTTP Code 301 Moved "
                       "Permanently Moved to: http://x/new?a&b (HTTP Code 200 OK)"),
        QStringLiteral("p\tResults for /w/a&b.html: URLs tested: 5. URL errors: 4."),
        QStringLiteral("p\tEnd of test: THEN"),
        QStringLiteral("p\tStart of test: LATER"),
        QStringLiteral("p\tTesting: /w/b.html"),
        QStringLiteral("li\tftp://y/\ty\ty Reason for Failure: Can't Connect to Host"),
        QStringLiteral("p\tTesting Stopped by User"),
        QString(),
    };
    EXPECT_EQ(shown, expected);
}

TEST(HtmlReportTest, AReportThatDoesNotBeginWithARunIsDatedByTheExport)
{
    const QByteArray page = BuildHtmlReport("\"http://x/\" >x<\r\n", "Ada", "NOW");
    EXPECT_TRUE(page.contains("</h3>\n<p><b>Start of test: </b>NOW</p>\n<ul>\n"
                              "<li><a href=\"http://x/\">x</a></li>\n</ul>\n<hr>\n"))
        << page.constData();
}

TEST(HtmlReportTest, FieldsKeepTheirCharactersAndLinksTheirBytes)
{
    struct Row
    {
        const char *what;
        QByteArray bytes;
        QByteArray text;
        QByteArray address;
    };
    const Row rows[] = {
        {"markup", "a&b<c>d\"e'f", "a&amp;b&lt;c&gt;d&quot;e'f", "a&amp;b&lt;c&gt;d&quot;e'f"},
        {"UTF-8", "\xC3\xA9\xE2\x80\x94", "\xC3\xA9\xE2\x80\x94", "\xC3\xA9\xE2\x80\x94"},
        {"Latin-1", "\xE9\xFF", "\xC3\xA9\xC3\xBF", "%E9%FF"},
        {"controls", "a\x01\tb\x7F", "a\\x01\tb\\x7f", "a%01\tb%7F"},
        {"C1 control in UTF-8", "\xC2\x85", "\\x85", "%C2%85"},
        {"noncharacter", "\xEF\xB7\x90", "\xEF\xBF\xBD", "%EF%B7%90"},
    };
    for (const Row &row : rows) {
        QByteArray text;
        AppendPageText(text, row.bytes);
        EXPECT_EQ(text, row.text) << row.what;
        QByteArray address;
        AppendPageAddress(address, row.bytes);
        EXPECT_EQ(address, row.address) << row.what;
    }
}

} // namespace
