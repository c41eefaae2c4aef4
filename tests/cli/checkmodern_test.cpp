#include <gtest/gtest.h>

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
                           "GET /gone HTTP/1.0\r\nHost: 127.0.0.1:" + web.portText() + agent}));
    ASSERT_EQ(good.connections().size(), 1);
    EXPECT_EQ(good.connections()[0].received,
              "GET /ok HTTP/1.0\r\nHost: localhost:" + QByteArray::number(good.port()) + agent);

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
