#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "concurrentrun.h"
#include "discovery/directorywalk.h"
#include "engine/runahead.h"
#include "enginetestsupport.h"
#include "settings/settingsstartup.h"
#include "support/forkedreplyserver.h"
#include "support/loopbacknameserver.h"
#include "support/loopbackserver.h"

namespace {

const QByteArray kStart = QByteArray("Start of test ") + kTestDate + "\r\n\r\n";
const QByteArray kEnd = QByteArray("End of test: ") + kTestDate + "\r\n\r\n";

QByteArray Anchor(const QByteArray &url, const QByteArray &text)
{
    return "<a href=\"" + url + "\">" + text + "</a>\n";
}

// The report of one file whose links all got the same result line.
QByteArray FileReport(const QByteArray &path, const QList<QByteArray> &urls,
                      const QByteArray &result)
{
    QByteArray text = "<Testing: " + path + "\r\n";
    for (int i = 0; i < urls.size(); ++i)
        text += '"' + urls[i] + "\" >l" + QByteArray::number(i) + "<\r\n" + result + "\r\n";
    return text + ">Results for " + path + ": URLs tested: " + QByteArray::number(urls.size()) +
           ". URL errors: " + QByteArray::number(urls.size()) + ".\r\n\r\n";
}

// A run without the desktop's pace, against servers on one port, dated
// the same every time.
EngineOptions QuickOptions(const QByteArray &port)
{
    EngineOptions options;
    options.ports = {port, port};
    options.pollMs = 0;
    options.dateTime = [] {
        return QByteArray(kTestDate);
    };
    return options;
}

// The settings of a run that reports every category.
std::unique_ptr<CRegSettings> SettingsReportingAll()
{
    std::unique_ptr<CRegSettings> settings = StartSettingsStore();
    settings->WriteString("Settings", "Filter", QByteArray(kClassicCategoryCount, '1'));
    return settings;
}

QByteArray LinksPage(const QList<QByteArray> &urls)
{
    QByteArray html;
    for (int i = 0; i < urls.size(); ++i)
        html += Anchor(urls[i], "l" + QByteArray::number(i));
    return html;
}

// A site of several pages whose links get every kind of outcome there is, from
// hosts that answer, stay silent, close, refuse, or do not exist; one page has
// no links, one cannot be scanned. Run one link at a time, and with many probes
// at once in several shapes, the engine shows exactly the same: the same
// report, byte for byte, and the same panes, progress, beeps and cursor changes
// in the same order.
TEST(ConcurrentRunTest, ShowsExactlyWhatARunOneAtATimeShows)
{
    TempHome home;
    LoopbackNameServer nameServer(LoopbackNameServer::Mode::NxDomain);
    LoopbackServer main;
    ASSERT_TRUE(main.isListening()) << main.errorText().constData();
    const std::uint16_t port = main.port();
    LoopbackServer silent(LoopbackReply::Of(LoopbackReply::Kind::Silent), "127.0.0.2", port);
    LoopbackServer closer(LoopbackReply::Of(LoopbackReply::Kind::CloseAtOnce), "127.0.0.3", port);
    LoopbackServer ftp(LoopbackReply::Ftp(), "127.0.0.4", port);
    LoopbackServer slow(LoopbackReply::Delayed("HTTP/1.0 503 Busy", std::chrono::milliseconds(150)),
                        "127.0.0.6", port);
    for (const LoopbackServer *server : {&silent, &closer, &ftp, &slow})
        ASSERT_TRUE(server->isListening()) << server->errorText().constData();

    const int codes[] = {200, 201, 202, 204, 301, 302, 304, 400, 401, 403, 404, 500, 501, 502, 503};
    QByteArray first;
    for (const int code : codes) {
        const QByteArray path = "/c" + QByteArray::number(code);
        main.setReply(path, LoopbackReply::Status("HTTP/1.1 " + QByteArray::number(code) + " X"));
        first += Anchor("http://127.0.0.1" + path, "code " + QByteArray::number(code));
    }
    main.setReply("/c203", LoopbackReply::Status("HTTP/1.1 203 Non-Authoritative"));
    main.setReply("/nocode", LoopbackReply::RawBytes("no status line here\r\n"));
    main.setReply("/garbage", LoopbackReply::Garbage());
    main.setReply("/split",
                  LoopbackReply::Split("HTTP/1.0 404 Not Found", std::chrono::milliseconds(300)));
    main.setReply("/huge", LoopbackReply::Of(LoopbackReply::Kind::HugeBody));
    for (const char *path : {"/c203", "/nocode", "/garbage", "/split", "/huge"})
        first += Anchor("http://127.0.0.1" + QByteArray(path), path);
    first += Anchor("http://127.0.0.2/silent", "silent") + Anchor("http://127.0.0.3/", "closer") +
             Anchor("ftp://127.0.0.4/pub/", "ftp") + Anchor("ftp://127.0.0.5/", "ftp refused") +
             Anchor("HTTP://127.0.0.5/", "refused") +
             Anchor("http://no-such-host.invalid/", "unknown name") +
             Anchor("http:///no-host", "no host") + Anchor("http://1abc/", "bad number");
    QByteArray second;
    for (int i = 0; i < 6; ++i) {
        second += Anchor("http://127.0.0.6/slow/" + QByteArray::number(i), "slow") +
                  Anchor("http://127.0.0.1/c404", "again") +
                  Anchor("http://127.0.0.3/closer/" + QByteArray::number(i), "closer");
    }
    ASSERT_EQ(mkdir(home.file("site").constData(), 0700), 0);
    WriteFileBytes(home.file("site/a.html"), first);
    WriteFileBytes(home.file("site/b.html"), "<p>no links here</p>");
    WriteFileBytes(home.file("site/c.html"), second);
    WriteFileBytes(home.file("site/e.html"), Anchor("http://127.0.0.2/again", "silent again") +
                                                 Anchor("ftp://127.0.0.4/", "ftp again"));
    // The walk queues d.html as a page; by the first step it is a pipe.
    const QByteArray pipe = home.file("site/d.html");
    int pipeWriter = -1;
    const auto spoil = [&] {
        unlink(pipe.constData());
        mkfifo(pipe.constData(), 0600);
        pipeWriter = open(pipe.constData(), O_RDWR | O_CLOEXEC);
    };
    const auto restore = [&] {
        close(pipeWriter);
        unlink(pipe.constData());
        WriteFileBytes(pipe, Anchor("http://127.0.0.1/c200", "never probed"));
    };
    restore();
    const ProbePorts ports{QByteArray::number(port), QByteArray::number(port)};
    const QByteArray start = home.file("site/a.html");

    const RunOutcome reference =
        RunWhole(start, true, ports, nameServer.serverText(), 1, RunShape{}, spoil);
    restore();
    ASSERT_TRUE(reference.ended);
    ASSERT_EQ(reference.report.count("<Testing: "), 4);
    ASSERT_EQ(reference.report.count("Could not scan "), 1);
    ASSERT_EQ(reference.report.count("Host Took Too Long to Respond"), 9);
    ASSERT_EQ(reference.report.count("UNKNOWN REASON"), 3);

    const struct
    {
        const char *what;
        RunShape shape;
    } shapes[] = {
        {"8 at once, 2 per host", {8, 2, 0, -1, 1}},
        {"everything at once", {100, 100, 0, -1, 1}},
        {"3 at once, 1 per host, at the desktop's pace", {3, 1, 100, -1, 1}},
        {"one at a time, then 6 at once from the 10th line on", {1, 3, 0, 10, 6}},
    };
    for (const auto &s : shapes) {
        SCOPED_TRACE(s.what);
        const RunOutcome run =
            RunWhole(start, true, ports, nameServer.serverText(), 1, s.shape, spoil);
        restore();
        ASSERT_TRUE(run.ended);
        EXPECT_EQ(run.report, reference.report);
        ASSERT_EQ(run.trace.size(), reference.trace.size());
        for (int i = 0; i < run.trace.size(); ++i)
            ASSERT_EQ(run.trace[i], reference.trace[i]) << "step " << i;
    }
}

void StopWithProbesInFlight(bool todaysWeb)
{
    TempHome home;
    LoopbackNameServer mute(LoopbackNameServer::Mode::Silent);
    LoopbackServer fast(LoopbackReply::Delayed("HTTP/1.0 404 Not Found", {}), "127.0.0.1");
    ASSERT_TRUE(fast.isListening());
    LoopbackServer silent(LoopbackReply::Of(LoopbackReply::Kind::Silent), "127.0.0.2", fast.port());
    ASSERT_TRUE(silent.isListening());
    QList<QByteArray> answered = {"http://127.0.0.1/a", "http://127.0.0.1/b"};
    QList<QByteArray> urls = answered;
    for (int i = 0; i < 8; ++i) {
        urls += "http://127.0.0.2/" + QByteArray::number(i);
        urls += "http://name" + QByteArray::number(i % 2) + ".test/";
    }
    const QByteArray page = home.file("page.html");
    WriteFileBytes(page, LinksPage(urls));
    const std::unique_ptr<CRegSettings> settings = SettingsReportingAll();

    const int descriptors = OpenDescriptors();
    {
        EngineOptions options = QuickOptions(fast.portText());
        options.resolver.nameServer = mute.serverText();
        RecordingUi ui;
        std::unique_ptr<CTestEngine> engine;
        WatchedTimers timers([&engine](int id) { engine->OnTimer(id); });
        engine = std::make_unique<CTestEngine>(ui, timers, *settings, options);
        engine->SetJobs(12, 4);
        engine->SetTodaysWeb(todaysWeb);
        engine->StartTest(page, false, false);
        ASSERT_TRUE(SpinUntil([&] {
            return ui.report.count("HTTP Code 404") == 2 && silent.connectionCount() == 4 &&
                   mute.queryCount() >= 2;
        }));
        EXPECT_EQ(engine->RunAhead().Pool().Running(), 12) << "4 per host: 4 silent, 8 names";
        if (!todaysWeb) {
            EXPECT_GT(CSocketWnd::s_nInstances, 0);
        }

        engine->OnStopTest();
        QByteArray expected = kStart + "<Testing: " + page + "\r\n";
        for (int i = 0; i < answered.size(); ++i)
            expected += '"' + answered[i] + "\" >l" + QByteArray::number(i) +
                        "<\r\n*Reason for Failure: HTTP Code 404 Not Found\r\n";
        EXPECT_EQ(ui.report, expected + "Testing Stopped by User\r\n");
        EXPECT_EQ(engine->RunAhead().Pool().Running(), 0);
        EXPECT_EQ(engine->RunAhead().Pool().Held(), 0);
        EXPECT_EQ(CSocketWnd::s_nInstances, 0);
        EXPECT_EQ(engine->PendingLookups(), 0);
        EXPECT_TRUE(timers.Armed().empty()) << "a probe's time-out is left armed";
        EXPECT_TRUE(silent.waitForFinished(4)) << "the server sees every connection closed";

        const QByteArray stopped = ui.report;
        SpinUntil([] { return false; }, std::chrono::milliseconds(300));
        EXPECT_EQ(ui.report, stopped) << "nothing comes after the stop";
        EXPECT_FALSE(engine->CanStopTest());
        EXPECT_TRUE(engine->CanRetestOrRepair());
        // The engine goes before the timers it was given.
        engine.reset();
    }
    EXPECT_EQ(OpenDescriptors(), descriptors);
}

// Stop while many probes are in flight, some still looking their names up:
// the report ends as after a stop one at a time, and no probe, socket, timer,
// lookup or descriptor is left, in either mode.
TEST(ConcurrentRunTest, StopEndsTheReportAndLeavesNothingBehind)
{
    for (const bool todaysWeb : {false, true}) {
        SCOPED_TRACE(todaysWeb ? "today's web" : "classic");
        StopWithProbesInFlight(todaysWeb);
    }
}

// A host that sends half its status line and keeps the rest back holds its
// own probe only: the links after it are all tested meanwhile, and Stop ends
// the run at once, the waiting line with it.
TEST(ConcurrentRunTest, AStatusLineInPiecesHoldsOnlyItsOwnProbe)
{
    TempHome home;
    LoopbackServer halting(
        LoopbackReply::Split("HTTP/1.0 404 Not Found", std::chrono::milliseconds(5000)),
        "127.0.0.2");
    ASSERT_TRUE(halting.isListening());
    LoopbackServer fast(LoopbackReply::Status("HTTP/1.0 404 Not Found"), "127.0.0.1",
                        halting.port());
    ASSERT_TRUE(fast.isListening());
    QList<QByteArray> urls = {"http://127.0.0.2/half"};
    for (int i = 0; i < 8; ++i)
        urls += "http://127.0.0.1/" + QByteArray::number(i);
    const QByteArray page = home.file("page.html");
    WriteFileBytes(page, LinksPage(urls));
    const std::unique_ptr<CRegSettings> settings = SettingsReportingAll();
    settings->WriteInt("Settings", "Timeout", 10);

    RecordingUi ui;
    std::unique_ptr<CTestEngine> engine;
    WatchedTimers timers([&engine](int id) { engine->OnTimer(id); });
    engine = std::make_unique<CTestEngine>(ui, timers, *settings, QuickOptions(fast.portText()));
    engine->SetJobs(4, 4);
    engine->StartTest(page, false, false);
    ASSERT_TRUE(SpinUntil([&] { return fast.requests().size() == 8; }));
    // Time for the first half of the line to arrive and be read.
    SpinUntil([] { return false; }, std::chrono::milliseconds(200));
    const QByteArray testing = kStart + "<Testing: " + page + "\r\n";
    EXPECT_EQ(ui.report, testing) << "the first link's line is still incomplete";
    EXPECT_EQ(engine->RunAhead().Pool().Running(), 1);

    engine->OnStopTest();
    EXPECT_EQ(ui.report, testing + "Testing Stopped by User\r\n");
    EXPECT_EQ(CSocketWnd::s_nInstances, 0);
    EXPECT_TRUE(timers.Armed().empty()) << "a probe's time-out is left armed";
    EXPECT_TRUE(halting.waitForFinished(1)) << "the server sees the connection closed";
    engine.reset();
}

// Two slow hosts, each page of a directory with one link: the pool never has
// more probes in flight than allowed, in all or towards one host, counted at
// the servers, yet it tests links of several pages at once.
TEST(ConcurrentRunTest, LimitsHoldAtTheServersAndLaterPagesStartEarly)
{
    TempHome home;
    auto both = std::make_shared<LoopbackGauge>();
    const LoopbackReply reply =
        LoopbackReply::Delayed("HTTP/1.0 404 Not Found", std::chrono::milliseconds(200));
    LoopbackServer a(reply, "127.0.0.2");
    ASSERT_TRUE(a.isListening());
    LoopbackServer b(reply, "127.0.0.3", a.port());
    ASSERT_TRUE(b.isListening());
    a.shareGauge(both);
    b.shareGauge(both);
    ASSERT_EQ(mkdir(home.file("site").constData(), 0700), 0);
    for (int i = 0; i < 12; ++i) {
        const QByteArray url =
            "http://127.0.0." + QByteArray(i % 2 == 0 ? "2" : "3") + "/" + QByteArray::number(i);
        WriteFileBytes(home.file("site/p" + QByteArray::number(i) + ".html"), LinksPage({url}));
    }
    const QByteArray start = home.file("site/p0.html");
    QByteArray expected = kStart;
    for (const QByteArray &file : QueueRunFiles(start, false, true)) {
        const QByteArray name = file.mid(file.lastIndexOf('p') + 1).chopped(5);
        const QByteArray host = name.toInt() % 2 == 0 ? "2" : "3";
        expected += FileReport(file, {"http://127.0.0." + host + "/" + name},
                               "*Reason for Failure: HTTP Code 404 Not Found");
    }
    expected += kEnd;

    const RunOutcome run = RunWhole(start, true, {a.portText(), a.portText()}, {}, 5, {3, 2});
    ASSERT_TRUE(run.ended);
    EXPECT_EQ(run.report, expected);
    EXPECT_LE(a.peakWaiting(), 2);
    EXPECT_LE(b.peakWaiting(), 2);
    EXPECT_LE(both->peak(), 3);
    EXPECT_EQ(both->peak(), 3) << "links of three pages were in flight together";
}

// One slow host and many links: the probes wait for their place far longer
// than the time-out in all, yet none times out, because each time-out counts
// from its own probe's start.
TEST(ConcurrentRunTest, WaitingForAPlaceNeverCountsAgainstTheTimeOut)
{
    TempHome home;
    LoopbackServer slow(
        LoopbackReply::Delayed("HTTP/1.0 404 Not Found", std::chrono::milliseconds(300)));
    ASSERT_TRUE(slow.isListening());
    QList<QByteArray> urls;
    for (int i = 0; i < 12; ++i)
        urls += "http://127.0.0.1/" + QByteArray::number(i);
    const QByteArray page = home.file("page.html");
    WriteFileBytes(page, LinksPage(urls));

    const RunOutcome run = RunWhole(page, false, {slow.portText(), slow.portText()}, {}, 1, {8, 2});
    ASSERT_TRUE(run.ended);
    EXPECT_EQ(run.report,
              kStart + FileReport(page, urls, "*Reason for Failure: HTTP Code 404 Not Found") +
                  kEnd);
    EXPECT_EQ(slow.peakWaiting(), 2);
}

// With almost no descriptor left, probes that find none wait until others
// give theirs back, instead of being reported as "Can't Establish Socket".
TEST(ConcurrentRunTest, ProbesThatFindNoDescriptorWaitForOthersInsteadOfFailing)
{
#ifdef __SANITIZE_ADDRESS__
    // The undefined-behaviour checks test memory through a pipe of their own:
    // with every descriptor taken they report calls that are sound as faults.
    GTEST_SKIP() << "the sanitizers need descriptors of their own";
#endif
    TempHome home;
    ForkedReplyServer server("HTTP/1.0 404 Not Found\r\n\r\n");
    ASSERT_TRUE(server.isRunning());
    QList<QByteArray> urls;
    for (int i = 0; i < 16; ++i)
        urls += "http://127.0.0.1/" + QByteArray::number(i);
    const QByteArray page = home.file("page.html");
    WriteFileBytes(page, LinksPage(urls));
    const std::unique_ptr<CRegSettings> settings = SettingsReportingAll();
    const EngineOptions options = QuickOptions(server.portText());
    RecordingUi ui;
    std::unique_ptr<CTestEngine> engine;
    WatchedTimers timers([&engine](int id) { engine->OnTimer(id); });
    engine = std::make_unique<CTestEngine>(ui, timers, *settings, options);
    engine->SetJobs(8, 8);
    engine->StartTest(page, false, false);
    std::vector<int> fillers;
    for (int fd; (fd = open("/dev/null", O_RDONLY | O_CLOEXEC)) >= 0;)
        fillers.push_back(fd);
    ASSERT_EQ(errno, EMFILE);
    // The scan of the page takes two for a moment; then five probes get one.
    for (int i = 0; i < 5; ++i) {
        close(fillers.back());
        fillers.pop_back();
    }
    const bool ended = SpinUntil([&] { return !engine->IsRunning(); });
    for (const int fd : fillers)
        close(fd);
    ASSERT_TRUE(ended);
    const QByteArray expected =
        kStart + FileReport(page, urls, "*Reason for Failure: HTTP Code 404 Not Found") + kEnd;
    EXPECT_EQ(ui.report, expected);
    EXPECT_GT(engine->RunAhead().Pool().PutBacks(), 0) << "the shortage was met";
    // The engine goes before the timers it was given.
    engine.reset();
}

} // namespace
