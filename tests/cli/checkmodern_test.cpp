#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include "engine/modernurl.h"
#include "runcheck.h"
#include "support/loopbackserver.h"
#include "support/loopbacktlsserver.h"
#include "support/scopedenvironment.h"
#include "support/temphome.h"
#include "support/testcertificates.h"

namespace {

using Kind = TestCertificates::Kind;

// A page with a good https link, an http link naming its port and an https
// link whose certificate has expired, checked by vantrel-check in both modes,
// then re-tested and repaired from the saved report.
class CheckModernTest : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(certificates.isValid()) << certificates.errorText().constData();
        ASSERT_TRUE(good.isListening() && expired.isListening() && web.isListening());
        goodLink = "https://localhost:" + QByteArray::number(good.port()) + "/ok";
        webLink = "http://127.0.0.1:" + web.portText() + "/gone";
        expiredLink = "https://localhost:" + QByteArray::number(expired.port()) + "/old";
        page = home.file("index.html");
        WriteFileBytes(page, "<p><a href=\"" + goodLink + "\">Good</a>\n<p><a href=\"" + webLink +
                                 "\">Gone</a>\n<p><a href=\"" + expiredLink + "\">Old</a>\n");
    }

    TempHome home;
    TestCertificates certificates;
    ScopedEnvironment certFile{"SSL_CERT_FILE", certificates.authorityFile()};
    ScopedEnvironment certDir{"SSL_CERT_DIR", certificates.emptyDirectory()};
    LoopbackTlsServer good{certificates.identity(Kind::Valid)};
    LoopbackTlsServer expired{certificates.identity(Kind::Expired)};
    LoopbackServer web{LoopbackReply::Status("HTTP/1.0 404 Not Found")};
    QByteArray goodLink;
    QByteArray webLink;
    QByteArray expiredLink;
    QByteArray page;
};

TEST_F(CheckModernTest, ModernTestsHttpsLinksAndTheClassicModeSaysItLeftThemOut)
{
    const CheckResult classic = RunCheck({"--http-port", web.portText(), page});
    EXPECT_EQ(classic.exitCode, 1) << classic.err.constData();
    EXPECT_EQ(ReportBody(classic.out), "<Testing: " + page + "\r\n\"" + webLink +
                                           "\" >Gone<\r\n*Reason for Failure: HTTP Code 404 Not "
                                           "Found\r\n>Results for " +
                                           page + ": URLs tested: 1. URL errors: 1.\r\n\r\n");
    EXPECT_EQ(classic.err, "2 https links were not tested; --modern tests them\n");

    // A 21-character filter leaves the https failures reported.
    const CheckResult modern = RunCheck({"--modern", "--filter", "111111111111111111111",
                                         "--report", home.file("saved.txt"), page});
    EXPECT_EQ(modern.exitCode, 1) << modern.err.constData();
    EXPECT_EQ(ReportBody(modern.out),
              "<Testing: " + page + "\r\n\"" + goodLink + "\" >Good<\r\n*HTTP Code 200 OK\r\n\"" +
                  webLink + "\" >Gone<\r\n*Reason for Failure: HTTP Code 404 Not Found\r\n\"" +
                  expiredLink +
                  "\" >Old<\r\n*Reason for Failure: Certificate Expired or Not Yet Valid\r\n"
                  ">Results for " +
                  page + ": URLs tested: 3. URL errors: 3.\r\n\r\n");
    EXPECT_EQ(modern.err, QByteArray());
    const QByteArray agent = QByteArray("\r\nUser-Agent: ") + kUserAgent + "\r\n\r\n";
    EXPECT_EQ(
        web.requests(),
        (QList<QByteArray>{"GET /gone HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n",
                           "GET /gone HTTP/1.1\r\nHost: 127.0.0.1:" + web.portText() + agent}));
    ASSERT_EQ(good.connections().size(), 1);
    EXPECT_EQ(good.connections()[0].received,
              "GET /ok HTTP/1.1\r\nHost: localhost:" + QByteArray::number(good.port()) + agent);

    // 25 characters choose the https failures too.
    const CheckResult quiet = RunCheck({"--modern", "--filter", "0000000000000000000001101", page});
    EXPECT_EQ(quiet.exitCode, 0) << quiet.out.constData();
    EXPECT_EQ(RunCheck({"--filter", "0000000000000000000001", page}).exitCode, 2)
        << "22 characters are neither filter";
    EXPECT_EQ(RunCheck({"--modern", "--export", "text", "--output", home.file("x"),
                        home.file("saved.txt")})
                  .exitCode,
              2);
}

TEST_F(CheckModernTest, ListLinksModernListsHttpsLinksToo)
{
    const CheckResult classic = RunCheck({"--list-links", page});
    EXPECT_EQ(classic.out, page + '\t' + webLink + "\tGone\t2\texternal\n");
    const CheckResult modern = RunCheck({"--list-links", "--modern", page});
    EXPECT_EQ(modern.out, page + '\t' + goodLink + "\tGood\t1\texternal\t" + goodLink + '\n' +
                              page + '\t' + webLink + "\tGone\t2\texternal\t" + webLink + '\n' +
                              page + '\t' + expiredLink + "\tOld\t3\texternal\t" + expiredLink +
                              '\n');
}

TEST_F(CheckModernTest, RetestAndRepairTakeTheHttpsLinksOfAModernReport)
{
    const QByteArray saved = home.file("saved.txt");
    ASSERT_EQ(RunCheck({"--modern", "--report", saved, page}).exitCode, 1);

    const CheckResult retest = RunCheck({"--retest", saved, "--modern"});
    EXPECT_EQ(retest.exitCode, 1) << retest.err.constData();
    EXPECT_TRUE(retest.out.contains(
        "\"" + expiredLink +
        "\" >Old<\r\n*Reason for Failure: Certificate Expired or Not Yet Valid"))
        << retest.out.constData();
    EXPECT_EQ(expired.connections().size(), 2);

    const CheckResult classicRetest = RunCheck({"--retest", saved, "--http-port", web.portText()});
    EXPECT_FALSE(classicRetest.out.contains(expiredLink.mid(8)));
    EXPECT_EQ(classicRetest.err, "1 https link was not tested; --modern tests them\n");

    const QByteArray exported = home.file("saved.html");
    ASSERT_EQ(RunCheck({"--export", "html", "--output", exported, saved}).exitCode, 0);
    EXPECT_TRUE(ReadFileBytes(exported).contains(
        "<li><a href=\"" + expiredLink +
        "\">Old</a> Reason for Failure: Certificate Expired or Not Yet Valid"))
        << ReadFileBytes(exported).constData();

    const CheckResult repair = RunCheck({"--repair", "disable", saved});
    EXPECT_EQ(repair.exitCode, 0) << repair.err.constData();
    EXPECT_EQ(ReadFileBytes(page), "<p><a href=\"" + goodLink + "\">Good</a>\n<p><!--<a href=\"" +
                                       webLink + "\">Gone</a>-->\n<p><!--<a href=\"" + expiredLink +
                                       "\">Old</a>-->\n");
}

} // namespace

// A report of today's web names a link by the address it was tested at; the
// repair finds each such link in its page however the page writes it:
// relative, above the page, from the site root, with a fragment, or with a
// character reference. What it cannot find (an image) it names.
TEST(CheckModernRepairTest, RepairFindsTheLinksOfATodaysWebReportAsThePageWritesThem)
{
    TempHome home;
    LoopbackServer web{LoopbackReply::Status("HTTP/1.0 404 Not Found")};
    ASSERT_TRUE(web.isListening());
    const QByteArray site = home.file("site");
    ASSERT_EQ(mkdir(site.constData(), 0755), 0);
    ASSERT_EQ(mkdir((site + "/sub").constData(), 0755), 0);
    WriteFileBytes(site + "/sub/other.html", "<h1 id=\"top\">Other</h1>\n");
    const QByteArray remote = "http://127.0.0.1:" + web.portText() + "/gone?a=1&amp;b=2";
    const QByteArray original = "<p><a href=\"missing.html\">Missing</a>\n"
                                "<p><a href='../up/gone.html'>Above</a>\n"
                                "<p><a href=/nope.html>From the root</a>\n"
                                "<p><a href=\"other.html#nope\">No place</a>\n"
                                "<p><a href=\"other.html#top\">Fine</a>\n"
                                "<p><a href=\"" +
                                remote +
                                "\">Remote</a>\n"
                                "<p><img src=\"none.png\" alt=\"Picture\">\n";
    const QByteArray page = site + "/sub/index.html";
    WriteFileBytes(page, original);
    const QByteArray saved = home.file("saved.txt");
    ASSERT_EQ(RunCheck({"--modern", "--root", site, "--report", saved, page}).exitCode, 1);

    // Without --root the repair tries the page's directory and each one above it.
    const CheckResult repair = RunCheck({"--repair", "disable", "--modern", saved});
    EXPECT_EQ(repair.exitCode, 1) << "the image is not an anchor the repair can disable";
    EXPECT_TRUE(repair.err.contains("file://" + site + "/sub/none.png")) << repair.err.constData();
    EXPECT_EQ(ReadFileBytes(page).toStdString(),
              ("<p><!--<a href=\"missing.html\">Missing</a>-->\n"
               "<p><!--<a href='../up/gone.html'>Above</a>-->\n"
               "<p><!--<a href=/nope.html>From the root</a>-->\n"
               "<p><!--<a href=\"other.html#nope\">No place</a>-->\n"
               "<p><a href=\"other.html#top\">Fine</a>\n"
               "<p><!--<a href=\"" +
               remote +
               "\">Remote</a>-->\n"
               "<p><img src=\"none.png\" alt=\"Picture\">\n")
                  .toStdString());

    // Replacing keeps the page's own writing of the link beside it.
    WriteFileBytes(page, original);
    ASSERT_EQ(unlink((site + "/sub/index.bak").constData()), 0);
    ASSERT_EQ(RunCheck({"--repair", "replace", "--modern", "--root", site, saved}).exitCode, 1);
    EXPECT_TRUE(
        ReadFileBytes(page).startsWith("<p><a href=\"index.html\">Missing</a><!--missing.html-->\n"
                                       "<p><a href='index.html'>Above</a><!--../up/gone.html-->\n"))
        << ReadFileBytes(page).constData();

    // Lines that end in a lone CR are counted as the link reader counts them.
    const QByteArray crPage = site + "/cr.html";
    WriteFileBytes(crPage, "<p><a href=\"a.html\">A</a>\r<p><a href=\"b.html\">B</a>\r");
    const QByteArray crSaved = home.file("cr.txt");
    ASSERT_EQ(RunCheck({"--modern", "--report", crSaved, crPage}).exitCode, 1);
    EXPECT_EQ(RunCheck({"--repair", "disable", "--modern", crSaved}).exitCode, 0);
    EXPECT_EQ(ReadFileBytes(crPage),
              "<p><!--<a href=\"a.html\">A</a>-->\r<p><!--<a href=\"b.html\">B</a>-->\r");
}

// --check-remote-fragments reads a remote page whole and finds each link's
// fragment among its ids and a names; without it the fragment is not looked at.
TEST(CheckRemoteFragmentsTest, FragmentsOfRemoteLinksAreFoundInTheirPagesOnlyWhenAsked)
{
    TempHome home;
    const QByteArray filler(200 * 1024, ' ');
    LoopbackServer web(
        LoopbackReply::Status("HTTP/1.1 200 OK", "<html><body>" + filler +
                                                     "<h2 id=\"intro\">Intro</h2>\n"
                                                     "<a name=\"old\">Old</a></body></html>\n"));
    ASSERT_TRUE(web.isListening());
    const QByteArray base = "http://127.0.0.1:" + web.portText() + "/page.html#";
    const struct
    {
        const char *fragment;
        const char *checked;
    } rows[] = {
        {"intro", "*HTTP Code 200 OK"},
        {"old", "*HTTP Code 200 OK"},
        {"top", "*HTTP Code 200 OK"},
        {"missing", "*Reason for Failure: Fragment Not Found"},
    };
    QByteArray html;
    for (const auto &row : rows)
        html += "<a href=\"" + base + row.fragment + "\">" + row.fragment + "</a>\n";
    const QByteArray page = home.file("fragments.html");
    WriteFileBytes(page, html);

    for (const bool asked : {false, true}) {
        SCOPED_TRACE(asked ? "asked" : "not asked");
        QList<QByteArray> arguments = {"--modern", "--filter", QByteArray(29, '1'), page};
        if (asked)
            arguments.prepend("--check-remote-fragments");
        const CheckResult result = RunCheck(arguments);
        EXPECT_EQ(result.exitCode, 1) << result.err.constData();
        for (const auto &row : rows) {
            const QByteArray line = '"' + base + row.fragment + "\" >" + row.fragment + "<\r\n" +
                                    (asked ? row.checked : "*HTTP Code 200 OK") + "\r\n";
            EXPECT_TRUE(result.out.contains(line)) << line.constData() << result.out.constData();
        }
    }
}
