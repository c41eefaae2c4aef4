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
#include "support/loopbacknameserver.h"
#include "support/loopbackrefusingport.h"
#include "support/loopbackserver.h"
#include "support/loopbackstalledhost.h"

using namespace std::chrono_literals;

namespace {

// How long a test watches for events that must not come.
constexpr auto kQuietSpan = std::chrono::milliseconds(150);

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

ResolverOptions AskingAt(const LoopbackNameServer &server)
{
    return ResolverOptions{server.serverText()};
}

} // namespace

TEST(SocketWndConnect, BadAddressIsRejectedAtOnce)
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
        // A zero byte must not cut the name short to one that resolves.
        {QByteArray("localhost\0.invalid", 18), "80", 10002},
    };
    EventRecorder owner;
    for (const ConnectCase &c : cases) {
        CSocketWnd socket(owner, owner.resolver);
        const int before = OpenDescriptorCount();
        EXPECT_EQ(socket.Connect(c.host, c.port), c.expected)
            << "host '" << c.host.constData() << "' port '" << c.port.constData() << "'";
        EXPECT_FALSE(socket.IsConnecting());
        EXPECT_EQ(socket.m_hSocket, INVALID_SOCKET);
        EXPECT_EQ(OpenDescriptorCount(), before);
    }
    owner.RunFor(kQuietSpan);
    EXPECT_TRUE(owner.m_events.empty()) << "a failure returned at once is not reported again";
}

TEST(SocketWndConnect, ConnectsByNameFromHostsFileOrNameServer)
{
    LoopbackServer server(LoopbackReply::Of(LoopbackReply::Kind::Silent));
    LoopbackServer second(LoopbackReply::Of(LoopbackReply::Kind::Silent), "127.0.0.2");
    LoopbackNameServer silent(LoopbackNameServer::Mode::Silent);
    LoopbackNameServer answering(LoopbackNameServer::Mode::Address, "127.0.0.2");
    ASSERT_TRUE(server.isListening()) << server.errorText().constData();
    ASSERT_TRUE(second.isListening()) << second.errorText().constData();
    ASSERT_TRUE(silent.isListening()) << silent.errorText().constData();
    ASSERT_TRUE(answering.isListening()) << answering.errorText().constData();

    // localhost comes from the hosts file, without asking the name server;
    // should it also map to ::1, where nothing listens, IPv4 has to win.
    const std::vector<ConnectCase> fromHostsFile = {
        {"  localhost", server.portText(), 0},
        {"localhost", server.portText() + "/index.html", 0},
        {"  127.0.0.1", " " + server.portText(), 0},
    };
    EventRecorder owner(AskingAt(silent));
    for (const ConnectCase &c : fromHostsFile) {
        CSocketWnd socket(owner, owner.resolver);
        EXPECT_EQ(owner.ConnectNow(socket, c.host, c.port), 0)
            << "host '" << c.host.constData() << "' port '" << c.port.constData() << "'";
        EXPECT_GE(socket.m_hSocket, 0);
        EXPECT_FALSE(socket.IsConnecting());
    }
    EXPECT_TRUE(server.waitForConnections(3));
    EXPECT_EQ(silent.queryCount(), 0);

    EventRecorder asking(AskingAt(answering));
    CSocketWnd socket(asking, asking.resolver);
    EXPECT_EQ(asking.ConnectNow(socket, "www.vantrel.test", second.portText()), 0);
    EXPECT_TRUE(second.waitForConnections(1));
    EXPECT_GE(answering.queryCount(), 1);
}

TEST(SocketWndConnect, FailuresKeepNoSocket)
{
    LoopbackServer server(LoopbackReply::Of(LoopbackReply::Kind::Silent));
    LoopbackRefusingPort refusing;
    LoopbackNameServer nxdomain(LoopbackNameServer::Mode::NxDomain);
    ASSERT_TRUE(server.isListening());
    ASSERT_TRUE(refusing.isValid());
    ASSERT_TRUE(nxdomain.isListening());

    const std::vector<ConnectCase> cases = {
        // A leading digit means a numeric address: looked up by name these
        // would give 10002, taken as numbers they are invalid and the connect fails.
        {"1.invalid", "80", 10004},
        {"127.0.0.1.invalid", server.portText(), 10004},
        // The unspecified address would reach the local machine on Linux.
        {"0", server.portText(), 10004},
        {"0.0.0.0", server.portText(), 10004},
        {"no-such-host.invalid", "80", 10002},
        {"127.0.0.1", refusing.portText(), 10004},
        {"localhost", refusing.portText(), 10004},
    };
    EventRecorder owner(AskingAt(nxdomain));
    for (const ConnectCase &c : cases) {
        CSocketWnd socket(owner, owner.resolver);
        const int before = OpenDescriptorCount();
        EXPECT_EQ(owner.ConnectNow(socket, c.host, c.port), c.expected)
            << "host '" << c.host.constData() << "' port '" << c.port.constData() << "'";
        EXPECT_EQ(socket.m_hSocket, INVALID_SOCKET);
        EXPECT_EQ(OpenDescriptorCount(), before);
    }
    EXPECT_TRUE(owner.m_events.empty());
    EXPECT_EQ(server.connectionCount(), 0);
}

TEST(SocketWndConnect, ClosingAbandonsAConnectInFlight)
{
    LoopbackStalledHost stalled;
    LoopbackNameServer silent(LoopbackNameServer::Mode::Silent);
    ASSERT_TRUE(stalled.isReady()) << "the accept queue could not be filled";
    ASSERT_TRUE(silent.isListening());

    struct Case
    {
        const char *what;
        QByteArray host;
        bool destroy;
    };
    const std::vector<Case> cases = {
        {"handshake, closed", "127.0.0.1", false},
        {"handshake, destroyed", "127.0.0.1", true},
        {"lookup, closed", "www.vantrel.test", false},
        {"lookup, destroyed", "www.vantrel.test", true},
    };
    EventRecorder owner(AskingAt(silent));
    int queries = 0;
    for (const Case &c : cases) {
        const int before = OpenDescriptorCount();
        auto socket = std::make_unique<CSocketWnd>(owner, owner.resolver);
        ASSERT_EQ(socket->Connect(c.host, stalled.portText()), 0) << c.what;
        EXPECT_TRUE(socket->IsConnecting()) << c.what;
        if (c.host.startsWith("www")) {
            ASSERT_TRUE(silent.waitForQueries(++queries)) << c.what;
            EXPECT_EQ(owner.resolver.PendingLookups(), 1);
        }
        // The event loop turns while the connect waits, and nothing comes.
        owner.RunFor(kQuietSpan);
        EXPECT_TRUE(socket->IsConnecting()) << c.what;

        if (c.destroy) {
            socket.reset();
        } else {
            EXPECT_EQ(socket->Close(), -1) << "there was no connected socket";
            EXPECT_FALSE(socket->IsConnecting());
        }
        owner.RunFor(kQuietSpan);
        EXPECT_TRUE(owner.m_events.empty()) << c.what;
        EXPECT_EQ(owner.resolver.PendingLookups(), 0);
        EXPECT_EQ(OpenDescriptorCount(), before) << c.what << ": the lookup's socket is closed too";
    }
}

TEST(SocketWndConnect, CountsLiveInstances)
{
    const int base = CSocketWnd::s_nInstances;
    EventRecorder owner;
    auto first = std::make_unique<CSocketWnd>(owner, owner.resolver);
    EXPECT_EQ(CSocketWnd::s_nInstances, base + 1);
    {
        CSocketWnd second(owner, owner.resolver);
        EXPECT_EQ(CSocketWnd::s_nInstances, base + 2);
    }
    EXPECT_EQ(CSocketWnd::s_nInstances, base + 1);
    first.reset();
    EXPECT_EQ(CSocketWnd::s_nInstances, base);
}

TEST(SocketWndConnect, OperationsWithoutSocket)
{
    EventRecorder owner;
    CSocketWnd socket(owner, owner.resolver);
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
    auto socket = std::make_unique<CSocketWnd>(owner, owner.resolver);
    ASSERT_EQ(owner.ConnectNow(*socket, "127.0.0.1", server.portText()), 0);
    EXPECT_EQ(socket->Close(), 0);
    EXPECT_EQ(socket->m_hSocket, INVALID_SOCKET);
    EXPECT_TRUE(server.waitForFinished(1));

    // A second connect replaces the first connection instead of leaking it.
    ASSERT_EQ(owner.ConnectNow(*socket, "127.0.0.1", server.portText()), 0);
    ASSERT_EQ(owner.ConnectNow(*socket, "127.0.0.1", server.portText()), 0);
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
        CSocketWnd socket(owner, owner.resolver);
        ASSERT_EQ(owner.ConnectNow(socket, "127.0.0.1", server.portText()), 0);
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
