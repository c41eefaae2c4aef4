#include <chrono>
#include <csignal>

#include <gtest/gtest.h>

#include <QDateTime>
#include <QElapsedTimer>
#include <QLocale>

#include "checkprocess.h"
#include "runcheck.h"
#include "support/loopbackserver.h"
#include "support/temphome.h"

namespace {

using Kind = LoopbackReply::Kind;

LoopbackReply Reply(const QByteArray &head)
{
    return LoopbackReply::RawBytes(head + "\r\nContent-Length: 0\r\n\r\n");
}

// An HTTP date a little ahead of now, as a host writes it.
QByteArray HttpDateIn(int seconds)
{
    return QLocale::c()
               .toString(QDateTime::currentDateTimeUtc().addSecs(seconds),
                         QStringLiteral("ddd, dd MMM yyyy hh:mm:ss"))
               .toLatin1() +
           " GMT";
}

// The report's line for the one link of a page, or empty when it was not
// reported.
QByteArray ResultLine(const QByteArray &report)
{
    const qsizetype start = report.indexOf("\r\n*");
    return start < 0 ? QByteArray()
                     : report.mid(start + 3, report.indexOf("\r\n", start + 3) - start - 3);
}

// Today's web mode tries a link again when its host may answer better later,
// as often as asked and never longer than the bound; what it cannot pass is
// reported with the last outcome. A site that refuses automated visitors is
// told apart. The classic mode asks once.
TEST(CheckPoliteTest, TriesAgainWhatMayPassAndReportsTheRest)
{
    struct Case
    {
        const char *what;
        QList<LoopbackReply> replies;
        QList<QByteArray> options;
        // Requests the server sees, the report line (empty: not reported), and
        // the least time the run takes.
        int requests;
        QByteArray line;
        int atLeastMs;
    };
    const LoopbackReply ok = Reply("HTTP/1.1 200 OK");
    const std::vector<Case> cases = {
        {"429 with Retry-After in seconds, then 200",
         {Reply("HTTP/1.1 429 Too Many Requests\r\nRetry-After: 1"), ok},
         {},
         2,
         {},
         800},
        {"429 with Retry-After as an HTTP date, then 200",
         {Reply("HTTP/1.1 429 Too Many Requests\r\nRetry-After: @DATE@"), ok},
         {},
         2,
         {},
         500},
        {"503 without Retry-After, then 200",
         {Reply("HTTP/1.1 503 Service Unavailable"), ok},
         {"--retry-wait-max", "1"},
         2,
         {},
         0},
        {"closed without a reply, then 200",
         {LoopbackReply::Of(Kind::CloseAtOnce), ok},
         {"--retry-wait-max", "1"},
         2,
         {},
         0},
        {"500 every time: the tries run out",
         {Reply("HTTP/1.1 500 Internal Server Error")},
         {"--retries", "3", "--retry-wait-max", "0"},
         4,
         "Reason for Failure: HTTP Code 500 Internal Server Error",
         0},
        {"408, then 200",
         {Reply("HTTP/1.1 408 Request Timeout"), ok},
         {"--retry-wait-max", "1"},
         2,
         {},
         0},
        {"503 with no tries again",
         {Reply("HTTP/1.1 503 Service Unavailable"), ok},
         {"--retries", "0"},
         1,
         "Reason for Failure: HTTP Code 503 Service Unavailable",
         0},
        {"Retry-After beyond the bound: reported at once",
         {Reply("HTTP/1.1 429 Too Many Requests\r\nRetry-After: 120"), ok},
         {},
         1,
         "Reason for Failure: HTTP Code 429 Too Many Requests",
         0},
        {"503 asking for more than --retry-wait-max",
         {Reply("HTTP/1.1 503 Service Unavailable\r\nRetry-After: 5"), ok},
         {"--retry-wait-max", "4"},
         1,
         "Reason for Failure: HTTP Code 503 Service Unavailable",
         0},
        {"999",
         {Reply("HTTP/1.1 999 Request denied")},
         {},
         1,
         "Reason for Failure: Blocked by the Site",
         0},
        {"403 with a challenge",
         {Reply("HTTP/1.1 403 Forbidden\r\nServer: edge\r\ncf-mitigated: challenge")},
         {},
         1,
         "Reason for Failure: Blocked by the Site",
         0},
        {"403 without one",
         {Reply("HTTP/1.1 403 Forbidden")},
         {},
         1,
         "Reason for Failure: HTTP Code 403 Forbidden",
         0},
        {"the classic mode asks once",
         {Reply("HTTP/1.1 503 Service Unavailable"), ok},
         {"--classic"},
         1,
         "Reason for Failure: HTTP Code 503 Service Unavailable",
         0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        TempHome home;
        LoopbackServer server;
        ASSERT_TRUE(server.isListening()) << server.errorText().constData();
        // A date two seconds from the row's own start.
        QList<LoopbackReply> replies = c.replies;
        for (LoopbackReply &reply : replies)
            reply.body.replace("@DATE@", HttpDateIn(2));
        server.setReplies("/busy", replies);
        const QByteArray link = "http://127.0.0.1:" + server.portText() + "/busy";
        const QByteArray page = home.file("index.html");
        WriteFileBytes(page, "<a href=\"" + link + "\">Busy</a>\n");
        QList<QByteArray> arguments = c.options;
        if (!arguments.contains("--classic"))
            arguments.append("--modern");
        arguments += {"--http-port", server.portText(), page};

        QElapsedTimer run;
        run.start();
        const CheckResult result = RunCheck(arguments);
        EXPECT_GE(run.elapsed(), c.atLeastMs);
        EXPECT_EQ(result.exitCode, c.line.isEmpty() ? 0 : 1) << result.err.constData();
        EXPECT_EQ(ResultLine(result.out), c.line) << result.out.constData();
        EXPECT_EQ(server.requests().size(), c.requests);
    }
}

// Requests to one host start no closer than the interval, however many may
// run at once; the links of other hosts do not wait for them.
TEST(CheckPoliteTest, HostIntervalSpacesTheRequestsToOneHost)
{
    TempHome home;
    LoopbackServer paced;
    LoopbackServer other(LoopbackReply::Status("HTTP/1.1 200 OK"), "127.0.0.2");
    ASSERT_TRUE(paced.isListening() && other.isListening());
    QByteArray links;
    for (int i = 0; i < 4; ++i) {
        links += "<a href=\"http://127.0.0.1:" + paced.portText() + "/p" + QByteArray::number(i) +
                 "\">p</a>\n<a href=\"http://127.0.0.2:" + other.portText() + "/o" +
                 QByteArray::number(i) + "\">o</a>\n";
    }
    const QByteArray page = home.file("index.html");
    WriteFileBytes(page, links);
    QElapsedTimer run;
    run.start();
    const CheckResult result =
        RunCheck({"--modern", "--jobs", "8", "--host-interval", "400", "--per-host", "8", page});
    EXPECT_EQ(result.exitCode, 0) << result.out.constData();
    // Three intervals between four starts.
    EXPECT_GE(run.elapsed(), 1100);
    QList<QByteArray> paths;
    for (const QByteArray &request : paced.requests())
        paths.append(request.mid(4, 3));
    EXPECT_EQ(paths, (QList<QByteArray>{"/p0", "/p1", "/p2", "/p3"})) << "in link order";
    EXPECT_EQ(other.requests().size(), 4);
    EXPECT_EQ(ResultLine(result.out), QByteArray());
}

// Stop (Ctrl+C) ends a long wait for a try again at once.
TEST(CheckPoliteTest, StopEndsTheWaitForATryAgain)
{
    TempHome home;
    LoopbackServer server(
        LoopbackReply::RawBytes("HTTP/1.1 429 Too Many Requests\r\nRetry-After: 50\r\n\r\n"));
    ASSERT_TRUE(server.isListening());
    const QByteArray page = home.file("index.html");
    WriteFileBytes(page, "<a href=\"http://127.0.0.1:" + server.portText() + "/\">Busy</a>\n");
    CheckProcess check({"--modern", page}, {});
    ASSERT_TRUE(check.Started());
    ASSERT_TRUE(server.waitForFinished(1));
    check.Signal(SIGINT);
    EXPECT_EQ(check.WaitForExit(std::chrono::seconds(10)), 130);
    EXPECT_TRUE(check.Out().endsWith("Testing Stopped by User\r\n")) << check.Out().constData();
    EXPECT_EQ(server.requests().size(), 1);
}

} // namespace
