#include <sys/stat.h>

#include <QFile>

#include <gtest/gtest.h>

#include "enginetestsupport.h"
#include "support/loopbacknameserver.h"
#include "support/loopbackserver.h"

namespace {

const QByteArray kStart = QByteArray("Start of test ") + kTestDate + "\r\n\r\n";
const QByteArray kEnd = QByteArray("End of test: ") + kTestDate + "\r\n\r\n";

TEST(TestEngineRunTest, DirectoryWithoutHtmlFilesEndsAtTheFirstTick)
{
    EngineHarness h;
    const QByteArray named = h.Html("notes.txt", "no html here");
    h.engine->StartTest(named, false, true);
    EXPECT_TRUE(h.engine->IsRunning());
    EXPECT_TRUE(h.timers.IsArmed(TIMER_POLL));
    EXPECT_EQ(h.timers.armed[TIMER_POLL], 100);
    EXPECT_EQ(h.ui.report, kStart);

    h.Tick();
    EXPECT_FALSE(h.engine->IsRunning());
    EXPECT_TRUE(h.engine->CanRetestOrRepair());
    EXPECT_FALSE(h.timers.IsArmed(TIMER_POLL));
    EXPECT_EQ(h.ui.report, kStart + kEnd);
    EXPECT_EQ(h.ui.panes[1], QStringLiteral("Search Complete"));
    EXPECT_EQ(h.ui.panes[2], QString());
    EXPECT_EQ(h.ui.beeps, QList<EngineUi::Beep>{EngineUi::Beep::Default});
    EXPECT_FALSE(h.ui.progressShown);
}

TEST(TestEngineRunTest, SubDirectoriesWithoutAllFilesQueueNothing)
{
    EngineHarness h;
    const QByteArray named = h.Html("a.html", "<a href=\"http://x/\">x</a>.");
    h.engine->StartTest(named, true, false);
    EXPECT_EQ(h.engine->FileCount(), 0);
    h.Tick();
    EXPECT_EQ(h.ui.report, kStart + kEnd);
}

TEST(TestEngineRunTest, FilesWithoutLinksGetTheirLineAndAnEmptySummary)
{
    EngineHarness h;
    const QByteArray first = h.Html("a.html", "<p>nothing</p>");
    h.engine->StartTest(first, false, false);
    h.Tick();
    EXPECT_EQ(h.ui.report, kStart + "<Testing: " + first + "\r\n");
    EXPECT_EQ(h.ui.progress.m_strFileIndex, QByteArray("1"));
    EXPECT_EQ(h.ui.progress.m_strFileCount, QByteArray("1"));
    h.Tick();
    EXPECT_EQ(h.ui.report, kStart + "<Testing: " + first + "\r\n>Results for " + first +
                               ": URLs tested: 0. URL errors: 0.\r\n\r\n" + kEnd);
}

TEST(TestEngineRunTest, LinksThatAnswer200AreCountedButNotReportedByDefault)
{
    LoopbackServer server(LoopbackReply::Status("HTTP/1.0 200 OK"));
    ASSERT_TRUE(server.isListening()) << server.errorText().constData();
    EngineHarness h({server.portText(), server.portText()});
    const QByteArray file = h.Html("ok.html", "<a href=\"http://127.0.0.1/1\">1</a>"
                                              "<a href=\"http://127.0.0.1/2\">2</a>"
                                              "<a href=\"http://127.0.0.1/3\">3</a>.");
    h.engine->StartTest(file, false, false);
    h.RunToEnd();
    EXPECT_EQ(h.ui.report, kStart + "<Testing: " + file + "\r\n>Results for " + file +
                               ": URLs tested: 3. URL errors: 0.\r\n\r\n" + kEnd);
    EXPECT_EQ(h.engine->ReportedInRun(), 0);
    EXPECT_EQ(h.ui.progress.m_ctlUrlProgress.pos, 3) << "the link bar steps for every link";
}

TEST(TestEngineRunTest, StopWhileAReplyIsAwaitedClosesTheConnectionQuietly)
{
    LoopbackServer server(LoopbackReply::Of(LoopbackReply::Kind::Silent));
    ASSERT_TRUE(server.isListening());
    EngineHarness h({server.portText(), server.portText()});
    const QByteArray file = h.Html("a.html", "<a href=\"http://127.0.0.1/slow\">slow</a>.");
    h.engine->StartTest(file, false, false);
    h.engine->OnTimer(TIMER_POLL);
    ASSERT_TRUE(h.engine->AwaitingReply());
    // The request goes out once the connect has completed, from the event loop.
    ASSERT_TRUE(
        SpinUntil([&h] { return h.ui.panes[2] == QStringLiteral("GET method sent to host"); }));
    ASSERT_TRUE(server.waitForRequests(1));
    EXPECT_TRUE(h.engine->CanStopTest());
    EXPECT_FALSE(h.engine->CanSelectFiles());

    h.engine->OnStopTest();
    EXPECT_EQ(CSocketWnd::s_nInstances, 0);
    EXPECT_TRUE(server.waitForFinished(1)) << "the connection is closed";
    EXPECT_EQ(h.ui.report, kStart + "<Testing: " + file + "\r\nTesting Stopped by User\r\n");
    EXPECT_FALSE(h.timers.IsArmed(TIMER_POLL));
    EXPECT_FALSE(h.timers.IsArmed(TIMER_TIMEOUT));
    EXPECT_FALSE(h.engine->CanStopTest());
    EXPECT_TRUE(h.engine->CanSelectFiles());
    EXPECT_TRUE(h.engine->CanRetestOrRepair());
    EXPECT_EQ(h.ui.panes[1], QStringLiteral("Connection Status"));
    EXPECT_EQ(h.ui.panes[2], QStringLiteral("HTTP Method Status"));

    h.engine->OnTimer(TIMER_POLL);
    h.engine->OnTimer(TIMER_TIMEOUT);
    EXPECT_EQ(h.ui.report, kStart + "<Testing: " + file + "\r\nTesting Stopped by User\r\n")
        << "late ticks after a stop write nothing";
}

TEST(TestEngineRunTest, ReplyAtTheLastMomentIsRecordedOnceAndTheNextProbeGetsAFreshTimeOut)
{
    LoopbackServer server(LoopbackReply::Status("HTTP/1.0 404 Not Found"));
    ASSERT_TRUE(server.isListening());
    EngineHarness h({server.portText(), server.portText()});
    h.engine->SetTimeout(2);
    const QByteArray file = h.Html("a.html", "<a href=\"http://127.0.0.1/a\">a</a>"
                                             "<a href=\"http://127.0.0.1/b\">b</a>.");
    h.engine->StartTest(file, false, false);
    h.Tick();
    EXPECT_EQ(h.ui.report.count("HTTP Code 404 Not Found"), 1);
    EXPECT_FALSE(h.timers.IsArmed(TIMER_TIMEOUT));
    h.engine->OnTimer(TIMER_TIMEOUT);
    EXPECT_EQ(h.ui.report.count("Reason for Failure"), 1) << "a time-out after the reply is void";

    h.engine->OnTimer(TIMER_POLL);
    EXPECT_EQ(h.timers.armed[TIMER_TIMEOUT], 2000) << "re-armed for the next link";
    SpinUntil([&h] { return !h.engine->AwaitingReply(); });
    EXPECT_EQ(h.ui.report.count("HTTP Code 404 Not Found"), 2);
}

// A closed connection can bring nothing more: the link is reported as the
// time-out would report it, without waiting for the time-out, and the next
// link is probed at the next step.
TEST(TestEngineRunTest, HostThatClosesWithoutAnswerIsReportedWithoutWaitingForTheTimeOut)
{
    LoopbackServer server(LoopbackReply::Of(LoopbackReply::Kind::CloseAtOnce));
    ASSERT_TRUE(server.isListening());
    EngineHarness h({server.portText(), server.portText()});
    const QByteArray file = h.Html("a.html", "<a href=\"http://127.0.0.1/\">closer</a>"
                                             "<a href=\"http://127.0.0.1/2\">again</a>.");
    h.engine->StartTest(file, false, false);
    h.engine->OnTimer(TIMER_POLL);
    ASSERT_TRUE(SpinUntil([&h] { return !h.engine->AwaitingReply(); }));
    EXPECT_TRUE(h.ui.report.endsWith("\"http://127.0.0.1/\" >closer<\r\n"
                                     "*Reason for Failure: Host Took Too Long to Respond\r\n"));
    EXPECT_TRUE(h.ui.statusChanges.contains(QStringLiteral("1:Connection Closed by Host")));
    EXPECT_FALSE(h.timers.IsArmed(TIMER_TIMEOUT));
    EXPECT_EQ(CSocketWnd::s_nInstances, 0);
    EXPECT_EQ(server.connectionCount(), 1) << "the next link waits for the next step";

    h.RunToEnd();
    EXPECT_EQ(h.ui.report.count("Host Took Too Long to Respond"), 2);
}

TEST(TestEngineRunTest, ProgressFollowsFilesAndLinks)
{
    LoopbackServer server(LoopbackReply::Status("HTTP/1.0 200 OK"));
    ASSERT_TRUE(server.isListening());
    EngineHarness h({server.portText(), server.portText()});
    ASSERT_EQ(mkdir(h.home.file("site").constData(), 0700), 0);
    const QByteArray links =
        "<a href=\"http://127.0.0.1/x\">x</a><a href=\"http://127.0.0.1/y\">y</a>.";
    const QByteArray one = h.Html("site/one.html", links);
    h.Html("site/two.html", links);
    h.Html("site/three.html", links);
    h.engine->StartTest(one, false, true);
    EXPECT_EQ(h.ui.progress.m_ctlFileProgress.upper, 3);

    h.Tick();
    EXPECT_EQ(h.ui.progress.m_strFileIndex, QByteArray("1"));
    EXPECT_EQ(h.ui.progress.m_ctlFileProgress.pos, 0) << "the first file does not step the bar";
    EXPECT_EQ(h.ui.progress.m_strUrlIndex, QByteArray("1"));
    EXPECT_EQ(h.ui.progress.m_strUrlCount, QByteArray("2"));
    EXPECT_EQ(h.ui.progress.m_ctlUrlProgress.upper, 2);

    int lastFilePosition = 0;
    while (h.engine->IsRunning()) {
        lastFilePosition = h.ui.progress.m_ctlFileProgress.pos;
        h.Tick();
    }
    EXPECT_EQ(lastFilePosition, 2) << "m - 1 of m when the window goes";
    EXPECT_FALSE(h.ui.progressShown);
    EXPECT_GE(h.ui.progressCloses, 1);
}

TEST(TestEngineRunTest, ActivityBarBlinksEverySecondOfTicks)
{
    // A host that takes the request and never answers keeps the run waiting.
    LoopbackServer silent(LoopbackReply::Of(LoopbackReply::Kind::Silent));
    ASSERT_TRUE(silent.isListening());
    EngineHarness h({silent.portText(), silent.portText()});
    h.engine->StartTest(h.Html("a.html", "<a href=\"http://127.0.0.1/\">x</a>."), false, false);
    h.engine->OnTimer(TIMER_POLL);
    ASSERT_TRUE(SpinUntil([&h] { return h.engine->AwaitingReply(); }, std::chrono::seconds(5)));
    for (int tick = 1; tick < 30; ++tick)
        h.engine->OnTimer(TIMER_POLL);
    EXPECT_EQ(h.ui.activity, (QList<int>{0, 1, 0, 1})) << "created empty, full at 10, empty at 20";
    h.engine->OnStopTest();
}

TEST(TestEngineRunTest, ClearWindowEmptiesTheReportAndDisablesItsCommands)
{
    EngineHarness h;
    h.engine->StartTest(h.Html("a.txt", ""), false, true);
    h.Tick();
    EXPECT_TRUE(h.engine->CanExport());
    EXPECT_TRUE(h.engine->CanRetestOrRepair());
    h.engine->OnClearWindow();
    EXPECT_TRUE(h.engine->ReportText().isEmpty());
    EXPECT_TRUE(h.ui.report.isEmpty());
    EXPECT_FALSE(h.engine->CanExport());
    EXPECT_FALSE(h.engine->CanRetestOrRepair());
}

TEST(TestEngineRunTest, ClosingTheEngineEndsTheRunAndRemovesTheWorkFiles)
{
    LoopbackNameServer nxdomain(LoopbackNameServer::Mode::NxDomain);
    ASSERT_TRUE(nxdomain.isListening());
    EngineHarness h({}, 100, nxdomain.serverText());
    const QByteArray page = h.Html("a.html", "<a href=\"http://no-such-host.invalid/\">x</a>.");
    h.engine->StartTest(page, false, false);
    h.engine->StartTest(page, false, false);
    EXPECT_EQ(h.engine->FileCount(), 1) << "a second start during a run is refused";
    h.Tick();
    for (const char *name : {"urltmp~", "urltmp~1", "urltmp~3"})
        WriteFileBytes(h.home.file(name), "left over");
    ASSERT_FALSE(ReadFileBytes(h.home.file("urltmp~2")).isEmpty());

    h.engine.reset();
    EXPECT_FALSE(h.ui.progressShown);
    for (const char *name : {"urltmp~", "urltmp~1", "urltmp~2", "urltmp~3"})
        EXPECT_FALSE(QFile::exists(QString::fromLocal8Bit(h.home.file(name)))) << name;
    EXPECT_TRUE(QFile::exists(QString::fromLocal8Bit(page)));
}

TEST(TestEngineRunTest, ImmediatePaceTakesTheNextStepWithoutAPeriod)
{
    EngineHarness h({}, 0);
    h.engine->StartTest(h.Html("a.html", "nothing"), false, false);
    EXPECT_FALSE(h.timers.IsArmed(TIMER_POLL));
    ASSERT_EQ(h.timers.posted, std::vector<int>{TIMER_POLL});
    h.timers.posted.clear();
    h.engine->OnTimer(TIMER_POLL);
    EXPECT_EQ(h.timers.posted, std::vector<int>{TIMER_POLL}) << "the next file, at once";
    h.timers.posted.clear();
    h.engine->OnTimer(TIMER_POLL);
    EXPECT_FALSE(h.engine->IsRunning());
    EXPECT_TRUE(h.timers.posted.empty()) << "nothing more after the end";
}

TEST(TestEngineRunTest, ImmediatePaceGoesOnAfterAConnectFailure)
{
    LoopbackNameServer nxdomain(LoopbackNameServer::Mode::NxDomain);
    ASSERT_TRUE(nxdomain.isListening());
    EngineHarness h({}, 0, nxdomain.serverText());
    h.engine->StartTest(h.Html("a.html", "<a href=\"http://no-such-host.invalid/\">x</a>."), false,
                        false);
    h.timers.posted.clear();
    h.engine->OnTimer(TIMER_POLL);
    ASSERT_TRUE(h.engine->AwaitingReply()) << "the lookup is under way";
    EXPECT_TRUE(h.timers.posted.empty()) << "no step while the connect is pending";
    ASSERT_TRUE(SpinUntil([&h] { return !h.engine->AwaitingReply(); }));
    EXPECT_TRUE(h.ui.report.endsWith("*Reason for Failure: Can't Find Named Host\r\n"));
    EXPECT_EQ(h.timers.posted, std::vector<int>{TIMER_POLL}) << "the next step, at once";
    h.timers.posted.clear();
    h.engine->OnTimer(TIMER_POLL);
    EXPECT_FALSE(h.engine->IsRunning());
}

} // namespace
