#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <vector>

#include "concurrentrun.h"
#include "engine/modernurl.h"
#include "enginetestsupport.h"
#include "support/loopbacknameserver.h"
#include "support/loopbackserver.h"
#include "support/loopbacktlsserver.h"
#include "support/scopedenvironment.h"
#include "support/temphome.h"
#include "support/testcertificates.h"

namespace {

using Kind = TestCertificates::Kind;
using Mode = LoopbackTlsServer::Mode;

QByteArray Port(std::uint16_t port)
{
    return QByteArray::number(port);
}

QByteArray Request(const QByteArray &path, const QByteArray &host)
{
    return "GET " + path + " HTTP/1.1\r\nHost: " + host + "\r\nUser-Agent: " + kUserAgent +
           "\r\n\r\n";
}

// One page in today's web mode, its links covering every https outcome, the
// ports written in links, IPv6 and an international name, against servers and
// certificates made on loopback for the test.
class TodaysWebRunTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(certificates.isValid()) << certificates.errorText().constData();
        for (LoopbackTlsServer *server : {&valid, &missing, &trickling, &expired, &otherHost,
                                          &selfSigned, &unknownIssuer, &plainOnHttps, &stalled})
            ASSERT_TRUE(server->isListening()) << server->errorText().constData();
        ASSERT_TRUE(web.isListening()) << web.errorText().constData();
        ASSERT_TRUE(nameServer.isListening()) << nameServer.errorText().constData();
        web.setReply("/port", LoopbackReply::Status("HTTP/1.0 404 Not Found"));

        struct Row
        {
            QByteArray link;
            QByteArray result; // empty: not reported
        };
        std::vector<Row> rows = {
            {"https://localhost:" + Port(valid.port()) + "/ok", "*HTTP Code 200 OK"},
            {"https://127.0.0.1:" + Port(missing.port()) + "/gone",
             "*Reason for Failure: HTTP Code 404 Not Found"},
            // The status line spread over many small records is read whole.
            {"https://localhost:" + Port(trickling.port()) + "/pieces",
             "*Reason for Failure: HTTP Code 404 Not Found"},
            {"HTTPS://localhost:" + Port(expired.port()) + "/",
             "*Reason for Failure: Certificate Expired or Not Yet Valid"},
            {"https://localhost:" + Port(otherHost.port()) + "/",
             "*Reason for Failure: Certificate Names Another Host"},
            {"https://localhost:" + Port(selfSigned.port()) + "/",
             "*Reason for Failure: Certificate Not Trusted"},
            {"https://localhost:" + Port(unknownIssuer.port()) + "/",
             "*Reason for Failure: Certificate Not Trusted"},
            {"https://127.0.0.1:" + Port(plainOnHttps.port()) + "/",
             "*Reason for Failure: TLS Handshake Failed"},
            {"https://127.0.0.1:" + Port(stalled.port()) + "/",
             "*Reason for Failure: Host Took Too Long to Respond"},
            // No port of its own: the scheme's, which the test points at a server.
            {"https://localhost/default", "*HTTP Code 200 OK"},
            {"http://127.0.0.1:" + Port(web.port()) + "/port",
             "*Reason for Failure: HTTP Code 404 Not Found"},
            {"http://b\xC3\xBC"
             "cher.vantrel.test:" +
                 Port(web.port()) + "/idn#top",
             "*HTTP Code 200 OK"},
        };
        if (webV6.isListening())
            rows.push_back({"http://[::1]:" + Port(webV6.port()) + "/v6", "*HTTP Code 200 OK"});

        QByteArray html;
        for (std::size_t i = 0; i < rows.size(); ++i) {
            const QByteArray anchor = "link " + QByteArray::number(static_cast<int>(i) + 1);
            html += "<p><a href=\"" + rows[i].link + "\">" + anchor + "</a>\n";
            expected += '"' + rows[i].link + "\" >" + anchor + "<\r\n" + rows[i].result + "\r\n";
        }
        page = home.file("today.html");
        WriteFileBytes(page, html);
        expected = "Start of test " + QByteArray(kTestDate) + "\r\n\r\n<Testing: " + page + "\r\n" +
                   expected + ">Results for " + page +
                   ": URLs tested: " + QByteArray::number(static_cast<int>(rows.size())) +
                   ". URL errors: " + QByteArray::number(static_cast<int>(rows.size())) +
                   ".\r\n\r\nEnd of test: " + kTestDate + "\r\n\r\n";
        // The scheme's own ports, pointed at the test's servers.
        ports = ProbePorts(Port(web.port()), "1", Port(valid.port()));
    }

    RunOutcome Run(int jobs, bool allFiles = false)
    {
        RunShape shape;
        shape.jobs = jobs;
        shape.perHost = jobs;
        shape.todaysWeb = true;
        return RunWhole(page, allFiles, ports, nameServer.serverText(), 1, shape);
    }

    TempHome home;
    TestCertificates certificates;
    ScopedEnvironment certFile{"SSL_CERT_FILE", certificates.authorityFile()};
    ScopedEnvironment certDir{"SSL_CERT_DIR", certificates.emptyDirectory()};
    LoopbackTlsServer valid{certificates.identity(Kind::Valid)};
    LoopbackTlsServer missing{certificates.identity(Kind::Valid), Mode::Answer,
                              "HTTP/1.1 404 Not Found"};
    LoopbackTlsServer trickling{certificates.identity(Kind::Valid), Mode::SmallRecords,
                                "HTTP/1.1 404 Not Found"};
    LoopbackTlsServer expired{certificates.identity(Kind::Expired)};
    LoopbackTlsServer otherHost{certificates.identity(Kind::OtherHost)};
    LoopbackTlsServer selfSigned{certificates.identity(Kind::SelfSigned)};
    LoopbackTlsServer unknownIssuer{certificates.identity(Kind::UnknownIssuer)};
    LoopbackTlsServer plainOnHttps{certificates.identity(Kind::Valid), Mode::NotTls};
    LoopbackTlsServer stalled{certificates.identity(Kind::Valid), Mode::StallHandshake};
    LoopbackServer web{LoopbackReply::Status("HTTP/1.0 200 OK")};
    LoopbackServer webV6{LoopbackReply::Status("HTTP/1.0 200 OK"), "::1"};
    LoopbackNameServer nameServer{LoopbackNameServer::Mode::Address};
    QByteArray page;
    QByteArray expected;
    ProbePorts ports;
};

TEST_F(TodaysWebRunTest, ClassifiesEveryLinkAndSendsNothingOverARefusedCertificate)
{
    const RunOutcome outcome = Run(1);
    ASSERT_TRUE(outcome.ended);
    EXPECT_EQ(outcome.report.toStdString(), expected.toStdString());
    EXPECT_TRUE(outcome.httpsNotTested.isEmpty());

    // What the servers got: the name the certificate is checked against, and
    // today's request with its Host header; nothing at all when refused.
    const QList<LoopbackTlsServer::Connection> good = valid.connections();
    ASSERT_EQ(good.size(), 2);
    EXPECT_EQ(good[0].serverName, "localhost");
    EXPECT_EQ(good[0].received, Request("/ok", "localhost:" + Port(valid.port())));
    EXPECT_EQ(good[1].received, Request("/default", "localhost"));
    ASSERT_EQ(missing.connections().size(), 1);
    EXPECT_EQ(missing.connections()[0].serverName, "")
        << "an address is no server name to indicate";
    EXPECT_EQ(missing.connections()[0].received,
              Request("/gone", "127.0.0.1:" + Port(missing.port())));
    for (LoopbackTlsServer *refused : {&expired, &otherHost, &selfSigned, &unknownIssuer}) {
        ASSERT_EQ(refused->connections().size(), 1);
        EXPECT_EQ(refused->connections()[0].serverName, "localhost");
        EXPECT_EQ(refused->connections()[0].received, QByteArray());
    }
    ASSERT_EQ(plainOnHttps.connections().size(), 1);
    EXPECT_FALSE(plainOnHttps.connections()[0].raw.contains("GET "));

    // The international name is looked up, and named to the server, in its
    // ASCII form; the report keeps the link as the page writes it.
    EXPECT_TRUE(nameServer.queriedNames().contains("xn--bcher-kva.vantrel.test"))
        << nameServer.queriedNames().join(' ').constData();
    QList<QByteArray> expectedWeb = {
        Request("/port", "127.0.0.1:" + Port(web.port())),
        Request("/idn", "xn--bcher-kva.vantrel.test:" + Port(web.port())),
    };
    EXPECT_EQ(web.requests(), expectedWeb);
    if (webV6.isListening()) {
        EXPECT_EQ(webV6.requests(),
                  QList<QByteArray>{Request("/v6", "[::1]:" + Port(webV6.port()))});
    }
}

// With many links at once the pool probes ahead, into the next page too,
// which it scans by today's web rule as well: the report stays the same.
TEST_F(TodaysWebRunTest, ManyLinksAtOnceGiveTheSameReport)
{
    const RunOutcome concurrent = Run(8);
    ASSERT_TRUE(concurrent.ended);
    EXPECT_EQ(concurrent.report.toStdString(), expected.toStdString());

    WriteFileBytes(home.file("today2.html"),
                   "<a href=\"https://localhost:" + Port(valid.port()) + "/next\">next</a>\n");
    const RunOutcome oneByOne = Run(1, true);
    const RunOutcome many = Run(8, true);
    ASSERT_TRUE(oneByOne.ended && many.ended);
    EXPECT_TRUE(oneByOne.report.contains("/next\" >next<\r\n*HTTP Code 200 OK\r\n"))
        << oneByOne.report.constData();
    EXPECT_EQ(many.report.toStdString(), oneByOne.report.toStdString());
}

// Both modes read a host alike: numbers as inet_aton reads them, and the
// root's trailing dot on an address or a name. Whatever the form, the link
// reaches the same host, which gets the host as the link writes it; over
// https the certificate is checked against the address the number stands for.
TEST(HostFormsTest, BothModesReachTheHostTheLinkNames)
{
    TempHome home;
    TestCertificates certificates;
    ASSERT_TRUE(certificates.isValid()) << certificates.errorText().constData();
    ScopedEnvironment certFile{"SSL_CERT_FILE", certificates.authorityFile()};
    ScopedEnvironment certDir{"SSL_CERT_DIR", certificates.emptyDirectory()};
    LoopbackServer web(LoopbackReply::Status("HTTP/1.0 404 Not Found"));
    LoopbackTlsServer secure(certificates.identity(Kind::Valid), Mode::Answer,
                             "HTTP/1.1 404 Not Found");
    // Any name the hosts file does not hold is unknown.
    LoopbackNameServer nameServer(LoopbackNameServer::Mode::NxDomain);
    ASSERT_TRUE(web.isListening() && secure.isListening() && nameServer.isListening());

    const QList<QByteArray> hosts = {"127.1",      "0x7f.0.0.1", "2130706433",
                                     "0177.0.0.1", "127.0.0.1.", "localhost."};
    QByteArray html;
    for (const QByteArray &host : hosts)
        html +=
            "<a href=\"http://" + host + "/a\">h</a>\n<a href=\"https://" + host + "/s\">s</a>\n";
    const QByteArray page = home.file("hosts.html");
    WriteFileBytes(page, html);

    for (const bool todaysWeb : {false, true}) {
        SCOPED_TRACE(todaysWeb ? "today's web" : "classic");
        RunShape shape;
        shape.todaysWeb = todaysWeb;
        const RunOutcome outcome =
            RunWhole(page, false, ProbePorts(web.portText(), "1", Port(secure.port())),
                     nameServer.serverText(), 1, shape);
        ASSERT_TRUE(outcome.ended);
        const QByteArray notFound = "*Reason for Failure: HTTP Code 404 Not Found\r\n";
        QByteArray lines;
        QList<QByteArray> requests;
        for (const QByteArray &host : hosts) {
            lines += "\"http://" + host + "/a\" >h<\r\n" + notFound;
            if (todaysWeb)
                lines += "\"https://" + host + "/s\" >s<\r\n" + notFound;
            requests += todaysWeb ? Request("/a", host) : ClassicRequest("/a", host);
        }
        const QByteArray tested = QByteArray::number(lines.count(notFound));
        EXPECT_EQ(outcome.report.toStdString(),
                  ("Start of test " + QByteArray(kTestDate) + "\r\n\r\n<Testing: " + page + "\r\n" +
                   lines + ">Results for " + page + ": URLs tested: " + tested +
                   ". URL errors: " + tested + ".\r\n\r\nEnd of test: " + kTestDate + "\r\n\r\n")
                      .toStdString());
        EXPECT_EQ(web.requests().mid(todaysWeb ? hosts.size() : 0), requests);
    }
    EXPECT_EQ(secure.connections().size(), hosts.size());
}

// Links to one host share its kept connections: the server sees far fewer
// connections than requests, each link still gets its own answer, and a body
// too long to read through closes its connection instead of holding it.
TEST(KeptConnectionsTest, LinksToOneHostReuseItsConnections)
{
    TempHome home;
    LoopbackServer web(LoopbackReply::KeptAlive("HTTP/1.1 404 Not Found"));
    LoopbackReply huge = LoopbackReply::KeptAlive("HTTP/1.1 404 Not Found");
    huge.body = QByteArray(100 * 1024, 'x');
    LoopbackServer bulky(huge);
    ASSERT_TRUE(web.isListening() && bulky.isListening());

    struct Row
    {
        LoopbackServer *server;
        int links;
    };
    const Row rows[] = {{&web, 60}, {&bulky, 5}};
    QByteArray html;
    QByteArray lines;
    int tested = 0;
    for (const Row &row : rows) {
        for (int i = 0; i < row.links; ++i, ++tested) {
            const QByteArray link =
                "http://127.0.0.1:" + row.server->portText() + "/p" + QByteArray::number(i);
            html += "<a href=\"" + link + "\">l</a>\n";
            lines += '"' + link + "\" >l<\r\n*Reason for Failure: HTTP Code 404 Not Found\r\n";
        }
    }
    const QByteArray page = home.file("kept.html");
    WriteFileBytes(page, html);
    RunShape shape;
    shape.jobs = 8;
    shape.perHost = 4;
    shape.todaysWeb = true;
    const RunOutcome outcome = RunWhole(page, false, ProbePorts("1", "1"), {}, 5, shape);
    ASSERT_TRUE(outcome.ended);
    const QByteArray count = QByteArray::number(tested);
    EXPECT_EQ(outcome.report.toStdString(),
              ("Start of test " + QByteArray(kTestDate) + "\r\n\r\n<Testing: " + page + "\r\n" +
               lines + ">Results for " + page + ": URLs tested: " + count +
               ". URL errors: " + count + ".\r\n\r\nEnd of test: " + kTestDate + "\r\n\r\n")
                  .toStdString());
    EXPECT_LE(web.connectionCount(), shape.perHost) << "at most one connection per place";
    EXPECT_EQ(web.requests().join().count("GET /p"), 60);
    EXPECT_EQ(bulky.connectionCount(), 5) << "a connection with a long body is not kept";
}

// The classic mode selects and probes exactly as it always did, but every
// request names its host, never with a port, and the user learns how many
// https links were passed over.
TEST(ClassicModeTest, SendsTheHostAndCountsTheHttpsLinksItPassedOver)
{
    TempHome home;
    LoopbackServer web(LoopbackReply::Status("HTTP/1.0 404 Not Found"));
    ASSERT_TRUE(web.isListening());
    const QByteArray page = home.file("classic.html");
    WriteFileBytes(page, "<a href=\"https://secure.vantrel.test/\">s</a>"
                         "<a href=\"http://127.0.0.1:8080/a?b=1#c\">plain</a>"
                         // The https link comes first: today's web takes it, the
                         // classic rule the http one after it.
                         "<a href=\"https://x.vantrel.test/\">x http://127.0.0.1/b\">y</a>"
                         "<a href=\"ftp://127.0.0.1/\">f https://y.vantrel.test/\">z</a>");
    RunShape shape;
    const RunOutcome outcome = RunWhole(page, false, ProbePorts(web.portText(), "1"), {}, 1, shape);
    ASSERT_TRUE(outcome.ended);
    EXPECT_EQ(outcome.httpsNotTested, QList<int>{3});
    EXPECT_EQ(web.requests(), (QList<QByteArray>{"GET /a?b=1 HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n",
                                                 "GET /b HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n"}));
    EXPECT_EQ(outcome.report.toStdString(),
              ("Start of test " + QByteArray(kTestDate) + "\r\n\r\n<Testing: " + page +
               "\r\n\"http://127.0.0.1:8080/a?b=1#c\" >plain<\r\n"
               "*Reason for Failure: HTTP Code 404 Not Found\r\n"
               "\"http://127.0.0.1/b\" >y<\r\n"
               "*Reason for Failure: HTTP Code 404 Not Found\r\n"
               "\"ftp://127.0.0.1/\" >f https://y.vantrel.test/\">z<\r\n"
               "*Reason for Failure: Can't Connect to Host\r\n>Results for " +
               page + ": URLs tested: 3. URL errors: 3.\r\n\r\nEnd of test: " + kTestDate +
               "\r\n\r\n")
                  .toStdString());
}

} // namespace
