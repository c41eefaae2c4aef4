#include <filesystem>

#include <QTimer>

#include <gtest/gtest.h>

#include "enginetestsupport.h"
#include "support/loopbacknameserver.h"
#include "support/loopbackserver.h"
#include "support/loopbackstalledhost.h"

namespace {

const QByteArray kStart = QByteArray("Start of test ") + kTestDate + "\r\n\r\n";

// The engine's other descriptors (the lock that holds its work files' place)
// are not the probe's.
int OpenSocketCount()
{
    int count = 0;
    for (const auto &entry : std::filesystem::directory_iterator("/proc/self/fd")) {
        std::error_code error;
        if (std::filesystem::read_symlink(entry.path(), error).string().starts_with("socket:"))
            ++count;
    }
    return count;
}

// Counts the beats of a 10 ms timer: proof that the event loop keeps turning.
struct Heartbeat
{
    Heartbeat()
    {
        QObject::connect(&timer, &QTimer::timeout, &timer, [this] { ++beats; });
        timer.start(10);
    }
    // Runs the event loop for a few more beats.
    bool Wait(int more = 5)
    {
        const int target = beats + more;
        return SpinUntil([&] { return beats >= target; });
    }

    QTimer timer;
    int beats = 0;
};

TEST(TestEngineProbeTest, NamesAreLookedUpWithoutTheNetwork)
{
    LoopbackServer server(LoopbackReply::Status("HTTP/1.0 404 Not Found"));
    ASSERT_TRUE(server.isListening()) << server.errorText().constData();
    struct Case
    {
        LoopbackNameServer::Mode mode;
        QByteArray host;
        QByteArray result;
    };
    const QByteArray notFound = "*Reason for Failure: HTTP Code 404 Not Found";
    const std::vector<Case> cases = {
        // From the hosts file: the name server is never asked.
        {LoopbackNameServer::Mode::Silent, "localhost", notFound},
        {LoopbackNameServer::Mode::Address, "www.vantrel.test", notFound},
        {LoopbackNameServer::Mode::NxDomain, "no-such-host.invalid",
         "*Reason for Failure: Can't Find Named Host"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.host.constData());
        LoopbackNameServer nameServer(c.mode);
        ASSERT_TRUE(nameServer.isListening()) << nameServer.errorText().constData();
        EngineHarness h({server.portText(), server.portText()}, 100, nameServer.serverText());
        const QByteArray link = "http://" + c.host + "/a";
        const QByteArray page = h.Html("a.html", "<a href=\"" + link + "\">x</a>.");
        h.engine->StartTest(page, false, false);
        h.Tick();
        EXPECT_EQ(h.ui.report, kStart + "<Testing: " + page + "\r\n\"" + link + "\" >x<\r\n" +
                                   c.result + "\r\n");
        EXPECT_FALSE(h.engine->AwaitingReply());
        EXPECT_FALSE(h.timers.IsArmed(TIMER_TIMEOUT)) << "recorded without waiting for it";
        EXPECT_TRUE(h.ui.statusChanges.contains(
            QStringLiteral("1:Connected to %1").arg(QString::fromLatin1(c.host))));
        EXPECT_EQ(h.ui.panes[1], QStringLiteral("No connection"));
        EXPECT_EQ(h.ui.waitCursorChanges, (QList<bool>{true, false}));
        if (c.mode == LoopbackNameServer::Mode::Silent) {
            EXPECT_EQ(nameServer.queryCount(), 0);
        }
    }
    EXPECT_EQ(server.requests(),
              (QList<QByteArray>{"GET /a HTTP/1.0\r\nHost: localhost\r\n\r\n",
                                 "GET /a HTTP/1.0\r\nHost: www.vantrel.test\r\n\r\n"}));
}

// A probe in flight, during the lookup at a name server that never answers or
// during a handshake that never completes, ends cleanly whichever way it
// ends: Stop, the time-out, or closing the engine; one link at a time or with
// many at once, its wait cursor goes with it.
TEST(TestEngineProbeTest, ProbeInFlightEndsCleanlyWhicheverWayItEnds)
{
    LoopbackStalledHost stalled;
    if (!stalled.isReady())
        GTEST_SKIP() << "this kernel completes handshakes beyond the accept queue";
    LoopbackNameServer silent(LoopbackNameServer::Mode::Silent);
    ASSERT_TRUE(silent.isListening()) << silent.errorText().constData();

    enum class End
    {
        Stop,
        TimeOut,
        Close
    };
    struct Case
    {
        const char *what;
        QByteArray link;
        End end;
        int jobs = 1;
    };
    const std::vector<Case> cases = {
        {"handshake, Stop", "http://127.0.0.1/", End::Stop},
        {"lookup, Stop", "http://www.vantrel.test/", End::Stop},
        {"handshake, time-out", "http://127.0.0.1/", End::TimeOut},
        {"lookup, time-out", "ftp://www.vantrel.test/", End::TimeOut},
        {"handshake, closing", "http://127.0.0.1/", End::Close},
        {"lookup, closing", "http://www.vantrel.test/", End::Close},
        {"handshake, Stop, many at once", "http://127.0.0.1/", End::Stop, 4},
        {"lookup, Stop, many at once", "http://www.vantrel.test/", End::Stop, 4},
    };
    int queries = 0;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        EngineHarness h({stalled.portText(), stalled.portText()}, 100, silent.serverText());
        const QByteArray page = h.Html("a.html", "<a href=\"" + c.link + "\">x</a>.");
        h.engine->SetJobs(c.jobs, c.jobs);
        h.engine->StartTest(page, false, false);
        const QByteArray testing = kStart + "<Testing: " + page + "\r\n";
        const int sockets = OpenSocketCount();
        Heartbeat heartbeat;

        h.engine->OnTimer(TIMER_POLL);
        ASSERT_TRUE(h.engine->AwaitingReply());
        if (c.link.contains("www")) {
            ASSERT_TRUE(silent.waitForQueries(++queries));
        }
        ASSERT_TRUE(heartbeat.Wait()) << "the event loop turns while the probe is in flight";
        h.engine->OnTimer(TIMER_POLL);
        EXPECT_TRUE(h.engine->AwaitingReply()) << "ticks do nothing meanwhile";
        EXPECT_GT(CSocketWnd::s_nInstances, 0);
        EXPECT_EQ(h.ui.report, testing);
        EXPECT_EQ(h.ui.waitCursorChanges, QList<bool>{true});

        switch (c.end) {
        case End::Stop:
            h.engine->OnStopTest();
            EXPECT_EQ(h.ui.report, testing + "Testing Stopped by User\r\n");
            EXPECT_FALSE(h.engine->IsRunning());
            break;
        case End::TimeOut:
            h.engine->OnTimer(TIMER_TIMEOUT);
            EXPECT_EQ(h.ui.report, testing + "\"" + c.link +
                                       "\" >x<\r\n*Reason for Failure: Host Took Too Long to "
                                       "Respond\r\n");
            EXPECT_TRUE(h.engine->IsRunning()) << "the run goes on with the next link";
            break;
        case End::Close:
            h.engine.reset();
            EXPECT_EQ(h.ui.report, testing);
            break;
        }
        EXPECT_EQ(h.ui.waitCursorChanges, (QList<bool>{true, false}));
        EXPECT_EQ(CSocketWnd::s_nInstances, 0);
        if (h.engine) {
            EXPECT_FALSE(h.engine->AwaitingReply());
            EXPECT_EQ(h.engine->PendingLookups(), 0);
        }
        EXPECT_EQ(OpenSocketCount(), sockets) << "no socket of the probe is left";

        // Nothing of the abandoned probe comes later.
        const QByteArray report = h.ui.report;
        ASSERT_TRUE(heartbeat.Wait());
        EXPECT_EQ(h.ui.report, report);
        EXPECT_EQ(h.ui.waitCursorChanges.size(), 2);
    }
}

} // namespace
