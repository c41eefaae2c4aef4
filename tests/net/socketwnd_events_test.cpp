#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <poll.h>
#include <thread>
#include <vector>

#include "eventrecorder.h"
#include "net/socketwnd.h"
#include "support/loopbackserver.h"

using namespace std::chrono_literals;

namespace {

using Kind = LoopbackReply::Kind;

// How long a test watches for events that must not come.
constexpr auto kQuietSpan = std::chrono::milliseconds(150);

// Sends the request the way the probe does: line, then two line ends apart.
void SendRequest(CSocketWnd &socket, const QByteArray &line)
{
    socket.Send(line.constData(), static_cast<int>(line.size()), 0);
    socket.Send("\r\n", 2, 0);
    socket.Send("\r\n", 2, 0);
}

// Waits, outside the event loop, until the socket has something to report.
bool AwaitReadable(int fd)
{
    pollfd entry{fd, POLLIN, 0};
    return ::poll(&entry, 1, 5000) == 1;
}

// Reads until nothing more is waiting, as the probe drains a reply.
QByteArray Drain(CSocketWnd &socket)
{
    QByteArray all;
    char buffer[512];
    int received;
    while ((received = socket.Receive(buffer, sizeof(buffer), 0)) > 0)
        all.append(buffer, received);
    return all;
}

class SocketWndEvents : public testing::Test
{
protected:
    // A socket window connected to server with the probe's mask selected.
    std::unique_ptr<CSocketWnd> Connected(LoopbackServer &server, long mask = FD_READ | FD_CLOSE)
    {
        auto socket = std::make_unique<CSocketWnd>(m_owner, m_owner.resolver);
        EXPECT_EQ(m_owner.ConnectNow(*socket, "127.0.0.1", server.portText()), 0);
        socket->AsyncSelect(mask);
        return socket;
    }

    EventRecorder m_owner;
};

} // namespace

TEST_F(SocketWndEvents, ReadThenCloseThroughEventLoop)
{
    LoopbackServer server(LoopbackReply::Status("HTTP/1.0 404 Not Found"));
    auto socket = Connected(server);
    const int fd = socket->m_hSocket;
    QByteArray reply;
    m_owner.m_react = [&](int, long event) {
        if (event == FD_READ)
            reply += Drain(*socket);
    };
    SendRequest(*socket, "GET /missing HTTP/1.0");

    ASSERT_TRUE(m_owner.RunUntil(
        [&] { return !m_owner.m_events.empty() && m_owner.m_events.back().event == FD_CLOSE; }));
    m_owner.RunFor(kQuietSpan);

    const std::vector<long> kinds = m_owner.kinds();
    ASSERT_GE(kinds.size(), 2u);
    EXPECT_EQ(kinds.front(), FD_READ);
    EXPECT_EQ(std::count(kinds.begin(), kinds.end(), FD_CLOSE), 1) << "FD_CLOSE comes once";
    EXPECT_EQ(kinds.back(), FD_CLOSE);
    for (const EventRecorder::Event &e : m_owner.m_events)
        EXPECT_EQ(e.socket, fd);
    EXPECT_TRUE(reply.startsWith("HTTP/1.0 404 Not Found\r\n")) << reply.constData();
}

TEST_F(SocketWndEvents, ReadIsNotRepeatedUntilOwnerReceives)
{
    LoopbackServer server(LoopbackReply::RawBytes("hello"));
    auto socket = Connected(server);
    SendRequest(*socket, "GET / HTTP/1.0");

    // The owner ignores the first event: neither a repeat nor the close may
    // follow while the data lies unread.
    ASSERT_TRUE(m_owner.RunUntilEvents(1));
    m_owner.RunFor(kQuietSpan);
    EXPECT_EQ(m_owner.kinds(), std::vector<long>{FD_READ});

    EXPECT_EQ(Drain(*socket), QByteArray("hello"));
    ASSERT_TRUE(m_owner.RunUntilEvents(2));
    EXPECT_EQ(m_owner.kinds(), (std::vector<long>{FD_READ, FD_CLOSE}));
}

TEST_F(SocketWndEvents, ResetIsCloseAndSendDoesNotRaiseSigpipe)
{
    LoopbackServer server(LoopbackReply::Of(Kind::Reset));
    auto socket = Connected(server);
    ASSERT_TRUE(m_owner.RunUntilEvents(1));
    EXPECT_EQ(m_owner.kinds(), std::vector<long>{FD_CLOSE});

    // Writing to the aborted connection must fail quietly, not kill the process.
    int result = 0;
    for (int i = 0; i < 5 && result >= 0; ++i)
        result = socket->Send("GET / HTTP/1.0\r\n\r\n", 18, 0);
    EXPECT_LT(result, 0);
}

TEST_F(SocketWndEvents, ResetBeforeTheConnectIsSeenIsStillAConnectThenClose)
{
    LoopbackServer server(LoopbackReply::Of(Kind::Reset));
    CSocketWnd socket(m_owner, m_owner.resolver);
    ASSERT_EQ(socket.Connect("127.0.0.1", server.portText()), 0);
    // The host accepts and resets before the event loop sees the connect.
    ASSERT_TRUE(server.waitForFinished(1));
    std::this_thread::sleep_for(50ms);
    ASSERT_TRUE(m_owner.RunUntilEvents(1));
    ASSERT_EQ(m_owner.kinds(), std::vector<long>{FD_CONNECT});
    EXPECT_EQ(m_owner.m_events.front().error, 0);
    m_owner.m_events.clear();
    socket.AsyncSelect(FD_READ | FD_CLOSE);
    ASSERT_TRUE(m_owner.RunUntilEvents(1));
    EXPECT_EQ(m_owner.kinds(), std::vector<long>{FD_CLOSE});
}

TEST_F(SocketWndEvents, OnlySelectedEventsAreDelivered)
{
    struct Case
    {
        long mask;
        LoopbackReply reply;
        std::vector<long> expected;
    };
    const std::vector<Case> cases = {
        {FD_READ, LoopbackReply::Of(Kind::CloseAtOnce), {}},
        {FD_CLOSE, LoopbackReply::Of(Kind::CloseAtOnce), {FD_CLOSE}},
        {FD_CLOSE, LoopbackReply::RawBytes("hello"), {}},
        {FD_READ, LoopbackReply::RawBytes("hello"), {FD_READ}},
        {0, LoopbackReply::RawBytes("hello"), {}},
    };
    for (const Case &c : cases) {
        EventRecorder owner;
        LoopbackServer server(c.reply);
        CSocketWnd socket(owner, owner.resolver);
        ASSERT_EQ(owner.ConnectNow(socket, "127.0.0.1", server.portText()), 0);
        socket.AsyncSelect(c.mask);
        SendRequest(socket, "GET / HTTP/1.0");
        ASSERT_TRUE(AwaitReadable(socket.m_hSocket));
        if (!c.expected.empty()) {
            ASSERT_TRUE(owner.RunUntilEvents(c.expected.size()));
        }
        owner.RunFor(kQuietSpan);
        EXPECT_EQ(owner.kinds(), c.expected) << "mask " << c.mask;
    }
}

TEST_F(SocketWndEvents, OwnerMayDestroyWindowInsideHandler)
{
    struct Case
    {
        LoopbackReply reply;
        long event;
        bool closeFirst;
    };
    const std::vector<Case> cases = {
        {LoopbackReply::RawBytes("HTTP/1.0 200 OK\r\n"), FD_READ, true},
        {LoopbackReply::RawBytes("HTTP/1.0 200 OK\r\n"), FD_READ, false},
        {LoopbackReply::Of(Kind::CloseAtOnce), FD_CLOSE, true},
        {LoopbackReply::Of(Kind::CloseAtOnce), FD_CLOSE, false},
    };
    const int base = CSocketWnd::s_nInstances;
    for (const Case &c : cases) {
        EventRecorder owner;
        LoopbackServer server(c.reply);
        auto socket = std::make_unique<CSocketWnd>(owner, owner.resolver);
        ASSERT_EQ(owner.ConnectNow(*socket, "127.0.0.1", server.portText()), 0);
        socket->AsyncSelect(FD_READ | FD_CLOSE);
        // As the probe does: read, close, destroy, all inside the notification.
        owner.m_react = [&](int, long) {
            Drain(*socket);
            if (c.closeFirst)
                socket->Close();
            socket.reset();
        };
        SendRequest(*socket, "GET / HTTP/1.0");

        ASSERT_TRUE(owner.RunUntilEvents(1));
        owner.RunFor(kQuietSpan);
        EXPECT_EQ(owner.kinds(), std::vector<long>{c.event});
        EXPECT_FALSE(socket);
        EXPECT_TRUE(server.waitForFinished(1));
    }
    EXPECT_EQ(CSocketWnd::s_nInstances, base);
}

TEST_F(SocketWndEvents, NothingIsDeliveredAfterCloseOrDestruction)
{
    for (const bool destroy : {false, true}) {
        EventRecorder owner;
        LoopbackServer server(LoopbackReply::RawBytes("hello"));
        auto socket = std::make_unique<CSocketWnd>(owner, owner.resolver);
        ASSERT_EQ(owner.ConnectNow(*socket, "127.0.0.1", server.portText()), 0);
        socket->AsyncSelect(FD_READ | FD_CLOSE);
        SendRequest(*socket, "GET / HTTP/1.0");
        ASSERT_TRUE(AwaitReadable(socket->m_hSocket));

        if (destroy) {
            socket.reset();
        } else {
            EXPECT_EQ(socket->Close(), 0);
            EXPECT_EQ(socket->m_hSocket, INVALID_SOCKET);
        }
        owner.RunFor(kQuietSpan);
        EXPECT_TRUE(owner.m_events.empty()) << (destroy ? "destroyed" : "closed");
    }
}

TEST_F(SocketWndEvents, ReceiveNeverWaits)
{
    LoopbackServer server(LoopbackReply::Of(Kind::Silent));
    auto socket = Connected(server);
    SendRequest(*socket, "GET / HTTP/1.0");
    ASSERT_TRUE(server.waitForRequests(1));
    char buffer[512];
    EXPECT_LT(socket->Receive(buffer, sizeof(buffer), 0), 0);
}

TEST_F(SocketWndEvents, ClientMayLeaveHugeBodyMidStream)
{
    LoopbackServer server(LoopbackReply::Of(Kind::HugeBody));
    auto socket = Connected(server);
    QByteArray first;
    m_owner.m_react = [&](int, long event) {
        ASSERT_EQ(event, FD_READ);
        char buffer[512];
        const int received = socket->Receive(buffer, sizeof(buffer), 0);
        first = QByteArray(buffer, std::max(received, 0));
        // Some more reading, then leave with the stream still flowing.
        for (int i = 0; i < 64; ++i)
            socket->Receive(buffer, sizeof(buffer), 0);
        socket->Close();
        socket.reset();
    };
    SendRequest(*socket, "GET /big HTTP/1.0");

    ASSERT_TRUE(m_owner.RunUntilEvents(1));
    EXPECT_TRUE(first.startsWith("HTTP/1.0 200 OK\r\n"));
    // The server notices that the client went and stops streaming.
    EXPECT_TRUE(server.waitForFinished(1));
}
