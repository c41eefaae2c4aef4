#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <vector>

#include "eventrecorder.h"
#include "net/socketwnd.h"
#include "support/loopbackserver.h"

using namespace std::chrono_literals;

namespace {

using Kind = LoopbackReply::Kind;

// Connects, sends request, and collects every piece that FD_READ brings until
// the server closes. Each receive is kept apart.
std::vector<QByteArray> Exchange(LoopbackServer &server, const QByteArray &request)
{
    EventRecorder owner;
    CSocketWnd socket(owner, owner.resolver);
    std::vector<QByteArray> pieces;
    if (owner.ConnectNow(socket, server.address(), server.portText()) != 0)
        return pieces;
    owner.m_react = [&](int, long event) {
        char buffer[512];
        int received;
        while (event == FD_READ && (received = socket.Receive(buffer, sizeof(buffer), 0)) > 0)
            pieces.emplace_back(buffer, received);
    };
    socket.AsyncSelect(FD_READ | FD_CLOSE);
    if (!request.isEmpty())
        socket.Send(request.constData(), static_cast<int>(request.size()), 0);
    owner.RunUntil(
        [&] { return !owner.m_events.empty() && owner.m_events.back().event == FD_CLOSE; });
    return pieces;
}

QByteArray Joined(const std::vector<QByteArray> &pieces)
{
    QByteArray all;
    for (const QByteArray &piece : pieces)
        all += piece;
    return all;
}

} // namespace

TEST(LoopbackServer, RecordsRequestBytesExactly)
{
    LoopbackServer server;
    ASSERT_TRUE(server.isListening()) << server.errorText().constData();
    EventRecorder owner;
    {
        // The probe's three sends must arrive as one request, byte for byte.
        CSocketWnd socket(owner, owner.resolver);
        ASSERT_EQ(owner.ConnectNow(socket, "127.0.0.1", server.portText()), 0);
        socket.Send("GET /path?q=1 HTTP/1.0", 22, 0);
        socket.Send("\r\n", 2, 0);
        socket.Send("\r\n", 2, 0);
        ASSERT_TRUE(server.waitForRequests(1));
    }
    {
        // A client that leaves before the blank line: what came is kept.
        CSocketWnd socket(owner, owner.resolver);
        ASSERT_EQ(owner.ConnectNow(socket, "127.0.0.1", server.portText()), 0);
        socket.Send("GET /x", 6, 0);
    }
    ASSERT_TRUE(server.waitForFinished(2));
    EXPECT_EQ(server.requests(), (QList<QByteArray>{"GET /path?q=1 HTTP/1.0\r\n\r\n", "GET /x"}));
}

TEST(LoopbackServer, AnswersByPath)
{
    LoopbackServer server(LoopbackReply::Status("HTTP/1.0 200 OK", "fine"));
    server.setReply("/gone", LoopbackReply::Status("HTTP/1.1 404 Not Found", "gone"));
    server.setReply("/noise", LoopbackReply::Garbage());

    const QByteArray found = Joined(Exchange(server, "GET /here HTTP/1.0\r\n\r\n"));
    EXPECT_TRUE(found.startsWith("HTTP/1.0 200 OK\r\n")) << found.constData();
    EXPECT_TRUE(found.endsWith("\r\n\r\nfine"));

    const QByteArray gone = Joined(Exchange(server, "GET /gone HTTP/1.0\r\n\r\n"));
    EXPECT_TRUE(gone.startsWith("HTTP/1.1 404 Not Found\r\n")) << gone.constData();

    const QByteArray noise = Joined(Exchange(server, "GET /noise HTTP/1.0\r\n\r\n"));
    EXPECT_EQ(noise, LoopbackReply::Garbage().body);
    EXPECT_FALSE(noise.contains('\n'));
}

TEST(LoopbackServer, SplitStatusLineArrivesInTwoReceives)
{
    LoopbackServer server(LoopbackReply::Split("HTTP/1.0 404 Not Found", 500ms));
    const std::vector<QByteArray> pieces = Exchange(server, "GET / HTTP/1.0\r\n\r\n");
    ASSERT_GE(pieces.size(), 2u);
    EXPECT_EQ(pieces[0], QByteArray("HTTP/1.0 40"));
    EXPECT_TRUE(Joined(pieces).startsWith("HTTP/1.0 404 Not Found\r\n"));
}

TEST(LoopbackServer, FtpGreetingComesWithoutRequest)
{
    LoopbackServer server(LoopbackReply::Ftp());
    EventRecorder owner;
    CSocketWnd socket(owner, owner.resolver);
    ASSERT_EQ(owner.ConnectNow(socket, "127.0.0.1", server.portText()), 0);
    socket.AsyncSelect(FD_READ | FD_CLOSE);
    ASSERT_TRUE(owner.RunUntilEvents(1));
    char buffer[512];
    const int received = socket.Receive(buffer, sizeof(buffer), 0);
    EXPECT_EQ(QByteArray(buffer, std::max(received, 0)),
              QByteArray("220 Vantrel test FTP service ready\r\n"));
    EXPECT_EQ(owner.kinds(), std::vector<long>{FD_READ});
}

TEST(LoopbackServer, StopsPromptlyWhileClientsHang)
{
    auto silent = std::make_unique<LoopbackServer>(LoopbackReply::Of(Kind::Silent));
    auto streaming = std::make_unique<LoopbackServer>(LoopbackReply::Of(Kind::HugeBody));
    EventRecorder owner;
    CSocketWnd waiting(owner, owner.resolver);
    CSocketWnd idle(owner, owner.resolver);
    ASSERT_EQ(owner.ConnectNow(waiting, "127.0.0.1", silent->portText()), 0);
    ASSERT_EQ(owner.ConnectNow(idle, "127.0.0.1", streaming->portText()), 0);
    waiting.Send("GET / HTTP/1.0\r\n\r\n", 18, 0);
    idle.Send("GET / HTTP/1.0\r\n\r\n", 18, 0);
    ASSERT_TRUE(silent->waitForRequests(1));
    ASSERT_TRUE(streaming->waitForRequests(1));

    // Neither client will ever go; stopping must not wait for them but end
    // the connections, which the waiting client then learns.
    waiting.AsyncSelect(FD_READ | FD_CLOSE);
    silent.reset();
    streaming.reset();
    EXPECT_TRUE(owner.RunUntil([&] {
        return std::any_of(owner.m_events.begin(), owner.m_events.end(),
                           [&](const EventRecorder::Event &e) {
                               return e.socket == waiting.m_hSocket && e.event == FD_CLOSE;
                           });
    })) << "the silent server's client learns that the server went";
}

TEST(LoopbackServer, ReportsBindFailure)
{
    LoopbackServer first;
    ASSERT_TRUE(first.isListening());
    LoopbackServer second({}, "127.0.0.1", first.port());
    EXPECT_FALSE(second.isListening());
    EXPECT_FALSE(second.errorText().isEmpty());
    LoopbackServer outside({}, "10.0.0.1");
    EXPECT_FALSE(outside.isListening());
}
