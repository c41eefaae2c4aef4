#include <gtest/gtest.h>

#include <algorithm>

#include <QDir>
#include <QUrl>

#include "concurrentrun.h"
#include "enginetestsupport.h"
#include "settings/settingsstartup.h"
#include "support/loopbackserver.h"
#include "support/runrecorder.h"
#include "support/temphome.h"

namespace {

// A small site folder in today's web mode: every kind of link a page holds,
// each line with the results its links must get, in order. Internal links are
// answered from the disk; the one server is on loopback.
struct Expected
{
    // A path below the site (tested as a file: URL), or an http URL.
    QByteArray target;
    ResultCategory category = ResultCategory::Http200;
};

struct SiteRow
{
    // The markup of the line; PORT stands for the server's port.
    QByteArray html;
    QList<Expected> links;
};

using enum ResultCategory;

const QList<SiteRow> kSiteRows = {
    {"<a href=\"about.html\">about</a>", {{"about.html"}}},
    {"<a href='../site/about.html#team'>team</a>", {{"about.html#team"}}},
    {"<a href=/blog/post.html>post</a>", {{"blog/post.html"}}},
    {"<a href=\"blog/\">blog index</a>", {{"blog/"}}},
    {"<a href=\"docs\">no index</a>", {{"docs", LocalFileNotFound}}},
    {"<a href=\"my%20page.html\">spaced</a>", {{"my%20page.html"}}},
    {"<a href=\"nosuch.html\">missing</a>", {{"nosuch.html", LocalFileNotFound}}},
    {"<a href=\"#intro\">by id</a> <a href=\"#legacy\">by name</a>",
     {{"index.html#intro"}, {"index.html#legacy"}}},
    {"<a href=\"#nosuchanchor\">no anchor</a>", {{"index.html#nosuchanchor", FragmentNotFound}}},
    {"<a href=\"about.html#intro\">anchor elsewhere</a>", {{"about.html#intro", FragmentNotFound}}},
    {"<img src=\"logo.png\" srcset=\"logo.png 1x, logo-2x.png 2x\" alt=logo>",
     {{"logo.png"}, {"logo.png"}, {"logo-2x.png", LocalFileNotFound}}},
    {"<link rel=stylesheet href=style.css><script src=\"app.js\"></script>",
     {{"style.css"}, {"app.js"}}},
    {"<iframe src=about.html></iframe><embed src=logo.png><object data=logo.png></object>",
     {{"about.html"}, {"logo.png"}, {"logo.png"}}},
    {"<video src=logo.png><track src=logo.png></video><audio src=logo.png></audio>",
     {{"logo.png"}, {"logo.png"}, {"logo.png"}}},
    {"<picture><source srcset=\"logo.png\" src=logo.png></picture>", {{"logo.png"}, {"logo.png"}}},
    {"<form action=\"/nosuch.cgi\"></form><area href=\"about.html\" alt=map>",
     {{"nosuch.cgi", LocalFileNotFound}, {"about.html"}}},
    {"<a href=\"http://127.0.0.1:PORT/ok?page=2&amp;lang=de&#38;x=1\">query</a>",
     {{"http://127.0.0.1:PORT/ok?page=2&lang=de&x=1"}}},
    {"<a href=http://127.0.0.1:PORT/gone>gone</a>", {{"http://127.0.0.1:PORT/gone", Http410}}},
    {"<a href='http://127.0.0.1:PORT/busy'>busy</a>", {{"http://127.0.0.1:PORT/busy", Http429}}},
    {"<!-- <a href=\"nosuch.html\">disabled</a> -->", {}},
    {"<script>var a = '<a href=\"nosuch.html\">';</script><style>/* <a href=x> */</style>", {}},
    {"<a href=\"mailto:me@example.com\">mail</a> <a href=\"tel:+1\">tel</a>", {}},
    {"<a href=\"javascript:void(0)\">js</a> <a href=\"data:,x\">data</a>", {}},
    {"<h2 id=intro>intro</h2><a name=\"legacy\"></a>", {}},
};

// The page with <base>: its relative links resolve against the base.
constexpr char kBasePage[] = "<base href=\"../\"><a href=\"about.html\">up</a>\n"
                             "<a href=\"blog/post.html#nope\">no place</a>\n";

class SiteFolderTest : public ::testing::TestWithParam<int>
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server.isListening()) << server.errorText().constData();
        server.setReply("/gone", LoopbackReply::Status("HTTP/1.0 410 Gone"));
        server.setReply("/busy", LoopbackReply::Status("HTTP/1.0 429 Too Many Requests"));
        site = home.path() + "/site";
        ASSERT_TRUE(QDir().mkpath(QFile::decodeName(site + "/blog")));
        ASSERT_TRUE(QDir().mkpath(QFile::decodeName(site + "/docs")));
        ASSERT_TRUE(QDir().mkpath(QFile::decodeName(site + "/sub")));
        port = QByteArray::number(server.port());
        QByteArray index;
        for (const SiteRow &row : kSiteRows)
            index += QByteArray(row.html).replace("PORT", port) + '\n';
        WriteFileBytes(site + "/index.html", index);
        WriteFileBytes(site + "/about.html", "<div id=team>team</div>");
        WriteFileBytes(site + "/blog/post.html", "post");
        WriteFileBytes(site + "/blog/index.htm", "blog");
        WriteFileBytes(site + "/my page.html", "spaced");
        WriteFileBytes(site + "/logo.png", "png");
        WriteFileBytes(site + "/style.css", "css");
        WriteFileBytes(site + "/app.js", "js");
        WriteFileBytes(site + "/sub/base.html", kBasePage);
    }

    QByteArray Target(QByteArray target) const
    {
        target.replace("PORT", port);
        return target.startsWith("http:")
                   ? target
                   : QUrl::fromLocalFile(QFile::decodeName(site)).toEncoded() + '/' + target;
    }

    TempHome home;
    LoopbackServer server{LoopbackReply::Status("HTTP/1.0 200 OK")};
    QByteArray site;
    QByteArray port;
};

TEST_P(SiteFolderTest, EveryLinkGetsItsResult)
{
    const std::unique_ptr<CRegSettings> settings = StartSettingsStore();
    settings->WriteString("Settings", "Filter", QByteArray(kClassicCategoryCount, '1'));
    RecordingUi ui;
    std::unique_ptr<CTestEngine> engine;
    WatchedTimers timers([&engine](int id) {
        if (engine)
            engine->OnTimer(id);
    });
    EngineOptions options;
    options.pollMs = 0;
    engine = std::make_unique<CTestEngine>(ui, timers, *settings, options);
    engine->SetTodaysWeb(true);
    engine->SetJobs(GetParam(), GetParam());
    RunRecorder recorder;
    engine->AddRunListener(&recorder);
    engine->StartTest(site + "/index.html", true, true);
    ASSERT_TRUE(SpinUntil([&engine] { return !engine->IsRunning(); }));

    QList<LinkRecord> index;
    QList<LinkRecord> based;
    for (const LinkRecord &link : recorder.links)
        (link.page.endsWith("/index.html") ? index : based).append(link);
    int line = 0;
    qsizetype at = 0;
    for (const SiteRow &row : kSiteRows) {
        ++line;
        for (const Expected &expected : row.links) {
            ASSERT_LT(at, index.size()) << "line " << line;
            const LinkRecord &link = index[at++];
            EXPECT_EQ(link.target.toStdString(), Target(expected.target).toStdString())
                << "line " << line;
            // The record keeps the link as the page writes it (references decoded).
            if (!link.url.contains('&')) {
                EXPECT_TRUE(QByteArray(row.html).replace("PORT", port).contains(link.url))
                    << link.url.constData();
            }
            EXPECT_EQ(link.category, expected.category) << link.url.constData();
            EXPECT_EQ(link.line, line) << link.url.constData();
        }
    }
    EXPECT_EQ(at, index.size()) << "nothing else is tested";
    ASSERT_EQ(based.size(), 2);
    EXPECT_EQ(based[0].target, Target("about.html"));
    EXPECT_EQ(based[0].category, ResultCategory::Http200);
    EXPECT_EQ(based[1].category, ResultCategory::FragmentNotFound);
    EXPECT_TRUE(engine->ReportText().contains("*Reason for Failure: HTTP Code 410 Gone\r\n"));

    // The server got the query with its references decoded.
    const QList<QByteArray> requests = server.requests();
    EXPECT_TRUE(std::any_of(requests.begin(), requests.end(), [](const QByteArray &request) {
        return request.startsWith("GET /ok?page=2&lang=de&x=1 HTTP/1.1\r\n");
    })) << requests.join("|").constData();
    engine.reset();
}

INSTANTIATE_TEST_SUITE_P(OneAtATimeAndMany, SiteFolderTest, ::testing::Values(1, 8));

} // namespace
