#include <gtest/gtest.h>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "records/reporttextreader.h"
#include "records/reporttextwriter.h"
#include "runcheck.h"
#include "support/loopbackserver.h"
#include "support/loopbacktlsserver.h"
#include "support/scopedenvironment.h"
#include "support/temphome.h"
#include "support/testcertificates.h"

namespace {

// A redirect reply naming where to go next.
LoopbackReply Moved(const QByteArray &status, const QByteArray &location)
{
    return LoopbackReply::RawBytes("HTTP/1.1 " + status + "\r\nLocation: " + location +
                                   "\r\nContent-Length: 0\r\n\r\n");
}

// A page whose links redirect in every way a site does: two permanent hops
// (relative, then scheme-relative), a temporary one to a missing page, a
// loop, eleven hops, another host, https, and a temporary move that works.
class CheckRedirectTest : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(certificates.isValid()) << certificates.errorText().constData();
        ASSERT_TRUE(web.isListening() && other.isListening() && secure.isListening())
            << web.errorText().constData() << other.errorText().constData();
        const QByteArray here = "127.0.0.1:" + web.portText();
        site = "http://" + here;
        otherSite = "http://127.0.0.2:" + other.portText();
        secureSite = "https://localhost:" + QByteArray::number(secure.port());
        web.setReply("/a", Moved("301 Moved Permanently", "b"));
        web.setReply("/b", Moved("301 Moved Permanently", "//" + here + "/c"));
        web.setReply("/t", Moved("302 Found", "/missing"));
        web.setReply("/missing", LoopbackReply::Status("HTTP/1.0 404 Not Found"));
        web.setReply("/loop1", Moved("301 Moved Permanently", "/loop2"));
        web.setReply("/loop2", Moved("302 Found", site + "/loop1"));
        for (int hop = 0; hop <= 10; ++hop)
            web.setReply("/h" + QByteArray::number(hop),
                         Moved("301 Moved Permanently", "/h" + QByteArray::number(hop + 1)));
        web.setReply("/away", Moved("301 Moved Permanently", otherSite + "/moved"));
        web.setReply("/secure", Moved("301 Moved Permanently", secureSite + "/ok"));
        web.setReply("/temp", Moved("302 Found", "/c"));

        page = home.file("index.html");
        original = "<p><a href=\"" + site + "/a\">Two hops</a>\n<p><a href='" + site +
                   "/t'>Then missing</a>\n<p><a href=\"" + site + "/loop1\">Loop</a>\n" +
                   "<p><a href=\"" + site + "/h0\">Eleven</a>\n<p><a href=\"" + site +
                   "/away\">Away</a> and <a href=\"" + site + "/secure\">Secure</a>\n" +
                   "<p><a href=\"" + site + "/temp\">Temporary</a>\n<p><a href=\"" + site +
                   "/c\">Direct</a>\n";
        WriteFileBytes(page, original);
    }

    static QByteArray Reported(const QByteArray &url, const QByteArray &text,
                               const QByteArray &result, const QByteArray &movedTo)
    {
        return '"' + url + "\" >" + text + "<\r\n*Reason for Failure: " + result +
               "\r\n*Moved to: " + movedTo + "\r\n";
    }

    TempHome home;
    TestCertificates certificates;
    ScopedEnvironment certFile{"SSL_CERT_FILE", certificates.authorityFile()};
    ScopedEnvironment certDir{"SSL_CERT_DIR", certificates.emptyDirectory()};
    LoopbackServer web{LoopbackReply::Status("HTTP/1.0 200 OK")};
    LoopbackServer other{LoopbackReply::Status("HTTP/1.0 200 OK"), "127.0.0.2"};
    LoopbackTlsServer secure{certificates.identity(TestCertificates::Kind::Valid)};
    QByteArray site;
    QByteArray otherSite;
    QByteArray secureSite;
    QByteArray page;
    QByteArray original;
};

TEST_F(CheckRedirectTest, ReportsWhereRedirectsLeadAndUpdatesLinksMovedForGood)
{
    const QByteArray saved = home.file("saved.txt");
    const CheckResult run = RunCheck({"--modern", "--jobs", "4", "--report", saved, page});
    EXPECT_EQ(run.exitCode, 1) << run.err.constData();
    const QByteArray moved = "HTTP Code 301 Moved Permanently";
    const QByteArray expected =
        "<Testing: " + page + "\r\n" +
        Reported(site + "/a", "Two hops", moved, site + "/c (HTTP Code 200 OK)") +
        Reported(site + "/t", "Then missing", "HTTP Code 404 Not Found",
                 site + "/missing (HTTP Code 404 Not Found)") +
        Reported(site + "/loop1", "Loop", "Too Many Redirects", site + "/loop1 (" + moved + ")") +
        Reported(site + "/h0", "Eleven", "Too Many Redirects", site + "/h10 (" + moved + ")") +
        Reported(site + "/away", "Away", moved, otherSite + "/moved (HTTP Code 200 OK)") +
        Reported(site + "/secure", "Secure", moved, secureSite + "/ok (HTTP Code 200 OK)") +
        Reported(site + "/temp", "Temporary", "HTTP Code 302 Moved Temporarily",
                 site + "/c (HTTP Code 200 OK)") +
        ">Results for " + page + ": URLs tested: 8. URL errors: 7.\r\n\r\n";
    EXPECT_EQ(ReportBody(run.out).toStdString(), expected.toStdString());
    EXPECT_EQ(ReadFileBytes(saved), run.out);
    for (const QByteArray &request : web.requests())
        EXPECT_FALSE(request.startsWith("GET /h11 ")) << "an eleventh redirect is not followed";

    // The report reads back into records that write it again, byte for byte.
    QByteArray again;
    CReportTextWriter writer([&again](const QByteArray &line) { again += line; });
    ReadReportText(run.out, writer);
    EXPECT_EQ(again.toStdString(), run.out.toStdString());

    // The chain, hop by hop, in the records.
    const CheckResult json = RunCheck({"--modern", "--format", "json", page});
    const QJsonArray links =
        QJsonDocument::fromJson(json.out).object()[QLatin1String("links")].toArray();
    ASSERT_EQ(links.size(), 8) << json.out.constData();
    const QJsonObject first = links[0].toObject();
    EXPECT_EQ(first[QLatin1String("category")].toString(), QString::fromLatin1(moved));
    EXPECT_EQ(first[QLatin1String("code")].toInt(), 301);
    EXPECT_EQ(
        QJsonDocument(first[QLatin1String("redirects")].toArray()).toJson(QJsonDocument::Compact),
        "[{\"code\":301,\"url\":\"" + site + "/b\"},{\"code\":200,\"url\":\"" + site + "/c\"}]");
    EXPECT_EQ(links[3].toObject()[QLatin1String("redirects")].toArray().size(), 10);
    EXPECT_EQ(links[7].toObject()[QLatin1String("redirects")].toArray().size(), 0);
    // A saved report knows where the chain ended, and with what.
    const QByteArray exported = home.file("saved.json");
    ASSERT_EQ(RunCheck({"--export", "json", "--output", exported, saved}).exitCode, 0);
    EXPECT_EQ(QJsonDocument(QJsonDocument::fromJson(ReadFileBytes(exported))
                                .object()[QLatin1String("links")]
                                .toArray()[0]
                                .toObject()[QLatin1String("redirects")]
                                .toArray())
                  .toJson(QJsonDocument::Compact),
              "[{\"code\":200,\"url\":\"" + site + "/c\"}]");

    // The CI formats tell where a moved link leads too.
    const QByteArray movedTo = site + "/c (HTTP Code 200 OK)";
    const std::pair<const char *, QByteArray> formats[] = {
        {"markdown", "HTTP Code 301 Moved Permanently; moved to " + movedTo + " |"},
        {"junit", "\nMoved to: " + movedTo}};
    for (const auto &[format, expected] : formats) {
        const QByteArray converted = home.file(QByteArray("saved.") + format);
        ASSERT_EQ(RunCheck({"--export", format, "--output", converted, saved}).exitCode, 0);
        EXPECT_TRUE(ReadFileBytes(converted).contains(expected)) << format;
    }

    // With the 301 and 302 characters off, a move that works is not
    // reported; one that ends in a failure is, under that failure.
    const CheckResult quiet = RunCheck({"--modern", "--filter", "011100111111111111111", page});
    EXPECT_FALSE(quiet.out.contains("/a\""));
    EXPECT_TRUE(quiet.out.contains(Reported(site + "/t", "Then missing", "HTTP Code 404 Not Found",
                                            site + "/missing (HTTP Code 404 Not Found)")));

    // Only the permanent moves to a working page change, and only their
    // addresses; the page's original is kept in its backup.
    const CheckResult repair = RunCheck({"--repair", "update", saved});
    EXPECT_EQ(repair.exitCode, 0) << repair.err.constData();
    QByteArray updated = original;
    updated.replace("\"" + site + "/a\"", "\"" + site + "/c\"")
        .replace("\"" + site + "/away\"", "\"" + otherSite + "/moved\"")
        .replace("\"" + site + "/secure\"", "\"" + secureSite + "/ok\"");
    EXPECT_EQ(ReadFileBytes(page).toStdString(), updated.toStdString());
    EXPECT_EQ(ReadFileBytes(home.file("index.bak")), original);

    // A later repair of the same page starts from the updated page and keeps
    // the original from before the update in the backup.
    RunCheck({"--repair", "disable", saved});
    const QByteArray disabled = ReadFileBytes(page);
    EXPECT_TRUE(disabled.contains("<!--<a href='" + site + "/t'"));
    EXPECT_TRUE(disabled.contains("\"" + site + "/c\""));
    EXPECT_EQ(ReadFileBytes(home.file("index.bak")), original);
    RunCheck({"--repair", "update", saved});
    EXPECT_EQ(ReadFileBytes(page), disabled) << "nothing is updated or commented twice";
    EXPECT_EQ(ReadFileBytes(home.file("index.bak")), original);
}

// Moved links stay under the 301 and 302 categories whatever redirect they
// begin with: 308 under 301, 303 and 307 under 302; the update takes only
// the permanent ones.
TEST_F(CheckRedirectTest, EveryMoveIsReportedAsPermanentOrTemporary)
{
    web.setReply("/p308", Moved("308 Permanent Redirect", "/c"));
    web.setReply("/t307", Moved("307 Temporary Redirect", "/c"));
    web.setReply("/s303", Moved("303 See Other", "/c"));
    const QByteArray moves = home.file("moves.html");
    const QByteArray text = "<a href=\"" + site + "/p308\">P</a>\n<a href=\"" + site +
                            "/t307\">T</a>\n<a href=\"" + site + "/s303\">S</a>\n";
    WriteFileBytes(moves, text);
    const QByteArray saved = home.file("moves.txt");
    const CheckResult run = RunCheck({"--modern", "--report", saved, moves});
    const QByteArray ok = site + "/c (HTTP Code 200 OK)";
    EXPECT_TRUE(
        run.out.contains(Reported(site + "/p308", "P", "HTTP Code 301 Moved Permanently", ok) +
                         Reported(site + "/t307", "T", "HTTP Code 302 Moved Temporarily", ok) +
                         Reported(site + "/s303", "S", "HTTP Code 302 Moved Temporarily", ok)))
        << run.out.constData();
    ASSERT_EQ(RunCheck({"--repair", "update", saved}).exitCode, 0);
    QByteArray updated = text;
    updated.replace("/p308", "/c");
    EXPECT_EQ(ReadFileBytes(moves).toStdString(), updated.toStdString());
}

// The link's time-out bounds its whole chain: two hops that each answer
// within it, but not both together, are too slow.
TEST_F(CheckRedirectTest, TheTimeOutBoundsTheWholeChain)
{
    using namespace std::chrono_literals;
    web.setReply("/slow1", LoopbackReply::Delayed("HTTP/1.1 301 Moved Permanently\r\n"
                                                  "Location: /slow2\r\nContent-Length: 0",
                                                  700ms));
    web.setReply("/slow2", LoopbackReply::Delayed("HTTP/1.1 200 OK", 700ms));
    const QByteArray slow = home.file("slow.html");
    WriteFileBytes(slow, "<a href=\"" + site + "/slow1\">Slow</a>\n");
    const CheckResult run = RunCheck({"--modern", "--timeout", "1", "--retries", "0", slow});
    EXPECT_TRUE(run.out.contains(Reported(site + "/slow1", "Slow", "Host Took Too Long to Respond",
                                          site + "/slow2 (Host Took Too Long to Respond)")))
        << run.out.constData();
}

// The JSON results know every hop of a chain: only links whose every hop is
// permanent are updated, found in the page by the address they were tested at
// (the third is relative to the page's base and writes "&amp;").
TEST_F(CheckRedirectTest, RepairFromJsonResultsSeesEveryHop)
{
    web.setReply("/p1", Moved("301 Moved Permanently", "/p2"));
    web.setReply("/p2", Moved("302 Found", "/p-new"));
    web.setReply("/q", Moved("308 Permanent Redirect", "/q-new"));
    web.setReply("/r?go=1&to=2", Moved("301 Moved Permanently", "/r2"));
    web.setReply("/r2", Moved("308 Permanent Redirect", site + "/r-new"));
    web.setReply("/gone", LoopbackReply::Status("HTTP/1.0 404 Not Found"));
    const QByteArray moves = home.file("moves.html");
    const QByteArray before = "<base href=\"" + site + "/\">\n<p><a href=\"" + site +
                              "/p1\">Then temporary</a>\n<p><a href='" + site +
                              "/q'>Permanent</a>\n<p><a href=\"r?go=1&amp;to=2\">Both</a> <a "
                              "href=\"" +
                              site + "/gone\">Gone</a>\n";
    WriteFileBytes(moves, before);
    const CheckResult run = RunCheck({"--modern", "--format", "json", moves});
    EXPECT_EQ(run.exitCode, 1) << run.err.constData();
    const QByteArray results = home.file("results.json");
    WriteFileBytes(results, run.out);

    // Read by the mode the results tell, though the settings keep the classic rules.
    const CheckResult update = RunCheck({"--repair", "update", "--yes", results});
    EXPECT_EQ(update.exitCode, 0) << update.err.constData();
    QByteArray updated = before;
    updated.replace("'" + site + "/q'", "'" + site + "/q-new'")
        .replace("\"r?go=1&amp;to=2\"", "\"" + site + "/r-new\"");
    EXPECT_EQ(ReadFileBytes(moves).toStdString(), updated.toStdString());
    EXPECT_EQ(ReadFileBytes(home.file("moves.bak")), before);

    // The updated links are no longer in the page (the closing message says so).
    RunCheck({"--repair", "disable", "--yes", results});
    QByteArray disabled = updated;
    disabled
        .replace("<a href=\"" + site + "/p1\">Then temporary</a>",
                 "<!--<a href=\"" + site + "/p1\">Then temporary</a>-->")
        .replace("<a href=\"" + site + "/gone\">Gone</a>",
                 "<!--<a href=\"" + site + "/gone\">Gone</a>-->");
    EXPECT_EQ(ReadFileBytes(moves).toStdString(), disabled.toStdString());
    EXPECT_EQ(ReadFileBytes(home.file("moves.bak")), before);
}

// A JSON document that is not our results repairs nothing.
TEST_F(CheckRedirectTest, RepairRefusesJsonThatIsNotResults)
{
    const struct
    {
        QByteArray document;
        QByteArray why;
    } rows[] = {
        {"{\"version\":1,\"pages\":[]}", "it is not a results document"},
        {"  {\"version\":2,\"links\":[]}", "its results are of version 2"},
        {"{\"version\":1,\"links\":[", "it is not valid JSON"},
        {"{\"version\":1,\"links\":[{\"page\":\"" + page + "\",\"url\":\"" + site + "/t\"}]}",
         "its link 1 is not a link of results"},
    };
    const QByteArray document = home.file("other.json");
    for (const auto &row : rows) {
        WriteFileBytes(document, row.document);
        const CheckResult repair = RunCheck({"--repair", "disable", document});
        EXPECT_EQ(repair.exitCode, 2) << row.document.constData();
        EXPECT_TRUE(repair.err.contains("cannot read the report " + document + ": " + row.why))
            << repair.err.constData();
        EXPECT_EQ(ReadFileBytes(page), original);
        EXPECT_FALSE(QFile::exists(QString::fromLocal8Bit(home.file("index.bak"))));
    }
}

TEST_F(CheckRedirectTest, ClassicModeFollowsNoRedirect)
{
    const CheckResult run = RunCheck({"--classic", "--http-port", web.portText(), page});
    EXPECT_TRUE(run.out.contains("\"" + site +
                                 "/a\" >Two hops<\r\n*Reason for Failure: HTTP Code "
                                 "301 Moved Permanently\r\n\"" +
                                 site + "/loop1\""))
        << run.out.constData();
    EXPECT_FALSE(run.out.contains("*Moved to: "));
    for (const QByteArray &request : web.requests())
        EXPECT_FALSE(request.startsWith("GET /b ") || request.startsWith("GET /missing "));
}

} // namespace
