#include <csignal>

#include <gtest/gtest.h>

#include "checkprocess.h"
#include "support/loopbacknameserver.h"
#include "support/loopbackrefusingport.h"
#include "support/loopbackstalledhost.h"
#include "support/temphome.h"

namespace {

// The time-out of every run here: far longer than any wait of the tests, so a
// run that ends did not wait for it.
const QByteArray kLongTimeOut = "30";

TEST(CheckInterruptTest, FirstSignalStopsTheRunWhereverTheProbeWaits)
{
    LoopbackStalledHost stalled;
    if (!stalled.isReady())
        GTEST_SKIP() << "this kernel completes handshakes beyond the accept queue";
    LoopbackNameServer silent(LoopbackNameServer::Mode::Silent);
    ASSERT_TRUE(silent.isListening()) << silent.errorText().constData();

    struct Case
    {
        const char *what;
        QByteArray link;
        int signal;
    };
    const std::vector<Case> cases = {
        {"handshake with a silent host, Ctrl+C", "http://127.0.0.1/", SIGINT},
        {"handshake with a silent host, SIGTERM", "http://127.0.0.1/", SIGTERM},
        {"lookup at a silent name server, Ctrl+C", "http://www.vantrel.test/", SIGINT},
        {"lookup at a silent name server, SIGTERM", "ftp://www.vantrel.test/", SIGTERM},
    };
    int queries = 0;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        TempHome home;
        const QByteArray page = home.file("p.html");
        WriteFileBytes(page, "<a href=\"" + c.link + "\">slow</a><a href=\"" + c.link +
                                 "next\">next</a>.");
        CheckProcess check({"--http-port", stalled.portText(), "--ftp-port", stalled.portText(),
                            "--name-server", silent.serverText(), "--timeout", kLongTimeOut, page},
                           {});
        ASSERT_TRUE(check.Started());
        ASSERT_TRUE(check.WaitForTerminal("link 1 of 2")) << check.Terminal().constData();
        if (c.link.contains("www")) {
            ASSERT_TRUE(silent.waitForQueries(++queries));
        } else {
            ASSERT_TRUE(check.WaitForTerminal("Connecting to 127.0.0.1"));
        }
        check.Signal(c.signal);
        EXPECT_EQ(check.WaitForExit(), 130) << "ends long before the time-out";
        EXPECT_TRUE(check.Out().endsWith("<Testing: " + page + "\r\nTesting Stopped by User\r\n"))
            << check.Out().constData();
        EXPECT_FALSE(check.Out().contains("next")) << "no further link is probed";
    }
}

TEST(CheckInterruptTest, SecondCtrlCEndsTheProgramEvenWhileTheFirstIsStuck)
{
    // Thousands of refused links fill an output pipe that nobody reads: the
    // program blocks writing its report and cannot act on the first Ctrl+C.
    LoopbackRefusingPort refusing;
    ASSERT_TRUE(refusing.isValid());
    TempHome home;
    QByteArray html;
    for (int i = 0; i < 4000; ++i)
        html += "<a href=\"http://127.0.0.1/" + QByteArray::number(i) + "\">link</a>\n";
    const QByteArray page = home.file("many.html");
    WriteFileBytes(page, html);

    CheckProcess::Setup setup;
    setup.leaveOutUnread = true;
    CheckProcess check({"--http-port", refusing.portText(), "--timeout", kLongTimeOut, page},
                       setup);
    ASSERT_TRUE(check.Started());
    ASSERT_TRUE(check.WaitForFullOutputPipe());
    check.Signal(SIGINT);
    // Two signals sent at once would count as one.
    check.WaitForSignalTaken(SIGINT);
    check.Signal(SIGINT);
    EXPECT_EQ(check.WaitForExit(), 130);
}

} // namespace
