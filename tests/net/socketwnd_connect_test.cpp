#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

#include "eventrecorder.h"
#include "net/socketwnd.h"
#include "support/loopbackfd.h"
#include "support/loopbackrefusingport.h"
#include "support/loopbackserver.h"
#include "support/loopbackstalledhost.h"

using namespace std::chrono_literals;

namespace {

constexpr auto kTimeout = std::chrono::milliseconds(5000);

int OpenDescriptorCount()
{
    int count = 0;
    for ([[maybe_unused]] const auto &entry : std::filesystem::directory_iterator("/proc/self/fd"))
        ++count;
    return count;
}

// Puts the descriptor limit back however the test ends.
struct LimitRestorer
{
    rlimit original{};
    bool saved = getrlimit(RLIMIT_NOFILE, &original) == 0;
    ~LimitRestorer()
    {
        if (saved)
            setrlimit(RLIMIT_NOFILE, &original);
    }
};

struct ConnectCase
{
    QByteArray host;
    QByteArray port;
    int expected;
};

// Each case fails with its code and leaves neither a socket nor a descriptor.
void ExpectFailuresKeepNoSocket(const std::vector<ConnectCase> &cases)
{
    EventRecorder owner;
    for (const ConnectCase &c : cases) {
        CSocketWnd socket(owner);
        const int before = OpenDescriptorCount();
        EXPECT_EQ(socket.Connect(c.host, c.port, kTimeout), c.expected)
            << "host '" << c.host.constData() << "' port '" << c.port.constData() << "'";
        EXPECT_EQ(socket.m_hSocket, INVALID_SOCKET);
        EXPECT_EQ(OpenDescriptorCount(), before);
    }
}

} // namespace

TEST(SocketWndConnect, BadAddressIsRejectedBeforeAnySocket)
{
    const std::vector<ConnectCase> cases = {
        {"", "80", 10001},
        {"   ", "80", 10001},
        {"127.0.0.1", "0", 10001},
        {"127.0.0.1", "abc", 10001},
        {"127.0.0.1", "", 10001},
        {"localhost", " x80", 10001},
        // Ports that would wrap onto another port once cut to 16 bits.
        {"localhost", "65616", 10001},
        {"localhost", "-65456", 10001},
    };
    ExpectFailuresKeepNoSocket(cases);
}

TEST(SocketWndConnect, ConnectsWithLeadingBlanksAndAtoiPortText)
{
    LoopbackServer server(LoopbackReply::Of(LoopbackReply::Kind::Silent));
    LoopbackServer second(LoopbackReply::Of(LoopbackReply::Kind::Silent), "127.0.0.2");
    ASSERT_TRUE(server.isListening()) << server.errorText().constData();
    ASSERT_TRUE(second.isListening()) << second.errorText().constData();

    // "localhost" may also resolve to ::1, where nothing listens: the IPv4
    // address has to win.
    const std::vector<ConnectCase> cases = {
        {"  localhost", server.portText(), 0},
        {"localhost", server.portText() + "/index.html", 0},
        {"  127.0.0.1", " " + server.portText(), 0},
        {"127.0.0.2", second.portText(), 0},
    };
    EventRecorder owner;
    for (const ConnectCase &c : cases) {
        CSocketWnd socket(owner);
        EXPECT_EQ(socket.Connect(c.host, c.port, kTimeout), 0)
            << "host '" << c.host.constData() << "' port '" << c.port.constData() << "'";
        EXPECT_GE(socket.m_hSocket, 0);
    }
    EXPECT_TRUE(server.waitForConnections(3));
    EXPECT_TRUE(second.waitForConnections(1));
}

TEST(SocketWndConnect, FailuresKeepNoSocket)
{
    LoopbackServer server(LoopbackReply::Of(LoopbackReply::Kind::Silent));
    LoopbackRefusingPort refusing;
    ASSERT_TRUE(server.isListening());
    ASSERT_TRUE(refusing.isValid());

    const std::vector<ConnectCase> cases = {
        // A leading digit means a numeric address: looked up by name these
        // would give 10002, taken as numbers they are invalid and the connect fails.
        {"1.invalid", "80", 10004},
        {"127.0.0.1.invalid", server.portText(), 10004},
        // The unspecified address would reach the local machine on Linux.
        {"0", server.portText(), 10004},
        {"0.0.0.0", server.portText(), 10004},
        {"no-such-host.invalid", "80", 10002},
        // A zero byte must not cut the name short to one that resolves.
        {QByteArray("localhost\0.invalid", 18), server.portText(), 10002},
        {"127.0.0.1", refusing.portText(), 10004},
        {"localhost", refusing.portText(), 10004},
    };
    ExpectFailuresKeepNoSocket(cases);
    EXPECT_EQ(server.connectionCount(), 0);
}

TEST(SocketWndConnect, UnansweredHandshakeTimesOut)
{
    LoopbackStalledHost stalled;
    ASSERT_TRUE(stalled.isReady()) << "the accept queue could not be filled";
    EventRecorder owner;
    CSocketWnd socket(owner);
    const int before = OpenDescriptorCount();

    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(socket.Connect("127.0.0.1", stalled.portText(), 1s), 10005);
    const auto elapsed = std::chrono::steady_clock::now() - start;

    EXPECT_GE(elapsed, 500ms);
    EXPECT_LE(elapsed, 2s);
    EXPECT_EQ(socket.m_hSocket, INVALID_SOCKET);
    EXPECT_EQ(OpenDescriptorCount(), before);
}

TEST(SocketWndConnect, CountsLiveInstances)
{
    const int base = CSocketWnd::s_nInstances;
    EventRecorder owner;
    auto first = std::make_unique<CSocketWnd>(owner);
    EXPECT_EQ(CSocketWnd::s_nInstances, base + 1);
    {
        CSocketWnd second(owner);
        EXPECT_EQ(CSocketWnd::s_nInstances, base + 2);
    }
    EXPECT_EQ(CSocketWnd::s_nInstances, base + 1);
    first.reset();
    EXPECT_EQ(CSocketWnd::s_nInstances, base);
}

TEST(SocketWndConnect, OperationsWithoutSocket)
{
    EventRecorder owner;
    CSocketWnd socket(owner);
    char buffer[16];
    EXPECT_EQ(socket.AsyncSelect(FD_READ | FD_CLOSE), 0);
    EXPECT_EQ(socket.Send("x", 1, 0), 0);
    EXPECT_LT(socket.Receive(buffer, sizeof(buffer), 0), 0);
    EXPECT_EQ(socket.Close(), -1);
    EXPECT_EQ(socket.m_hSocket, INVALID_SOCKET);
}

TEST(SocketWndConnect, EverySocketIsReleased)
{
    LoopbackServer server(LoopbackReply::Of(LoopbackReply::Kind::Silent));
    ASSERT_TRUE(server.isListening());
    EventRecorder owner;

    // Close ends the connection and reports success.
    auto socket = std::make_unique<CSocketWnd>(owner);
    ASSERT_EQ(socket->Connect("127.0.0.1", server.portText(), kTimeout), 0);
    EXPECT_EQ(socket->Close(), 0);
    EXPECT_EQ(socket->m_hSocket, INVALID_SOCKET);
    EXPECT_TRUE(server.waitForFinished(1));

    // A second connect replaces the first connection instead of leaking it.
    ASSERT_EQ(socket->Connect("127.0.0.1", server.portText(), kTimeout), 0);
    ASSERT_EQ(socket->Connect("127.0.0.1", server.portText(), kTimeout), 0);
    EXPECT_TRUE(server.waitForFinished(2));

    // Destroying a window that is still connected closes its socket.
    socket.reset();
    EXPECT_TRUE(server.waitForFinished(3));
}

TEST(SocketWndConnect, HighDescriptorIsNotMistakenForFailure)
{
    constexpr int kHigh = 10000;
    LimitRestorer restorer;
    ASSERT_TRUE(restorer.saved);
    rlimit raised = restorer.original;
    raised.rlim_cur = std::max<rlim_t>(raised.rlim_cur, kHigh + 200);
    if (raised.rlim_cur > raised.rlim_max || setrlimit(RLIMIT_NOFILE, &raised) != 0)
        GTEST_SKIP() << "the descriptor limit cannot be raised past " << kHigh;

    LoopbackServer server(LoopbackReply::RawBytes("HTTP/1.0 200 OK\r\n\r\n"));
    ASSERT_TRUE(server.isListening());
    {
        // Fill every lower descriptor, so the socket's is 10000 or more.
        std::vector<LoopbackFd> fillers;
        for (;;) {
            LoopbackFd fd(::dup(STDERR_FILENO));
            ASSERT_TRUE(fd.isValid());
            const bool high = fd.get() >= kHigh;
            fillers.push_back(std::move(fd));
            if (high)
                break;
        }
        fillers.pop_back();

        EventRecorder owner;
        CSocketWnd socket(owner);
        ASSERT_EQ(socket.Connect("127.0.0.1", server.portText(), kTimeout), 0);
        EXPECT_GE(socket.m_hSocket, kHigh);

        // Notifications work for such a descriptor too.
        socket.AsyncSelect(FD_READ | FD_CLOSE);
        socket.Send("GET / HTTP/1.0\r\n\r\n", 18, 0);
        ASSERT_TRUE(owner.RunUntilEvents(1));
        EXPECT_EQ(owner.m_events[0].socket, socket.m_hSocket);
        EXPECT_EQ(owner.m_events[0].event, FD_READ);
        socket.Close();
    }
    server.stop();
}
