#include "net/tlsclient.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <chrono>
#include <fcntl.h>
#include <functional>
#include <memory>
#include <netinet/in.h>
#include <optional>
#include <sys/socket.h>

#include <QEventLoop>
#include <QSocketNotifier>
#include <QTimer>

#include "support/loopbackfd.h"
#include "support/loopbackserver.h"
#include "support/loopbacktlsserver.h"
#include "support/scopedenvironment.h"
#include "support/testcertificates.h"

using namespace std::chrono_literals;

namespace {

using Kind = TestCertificates::Kind;
using Outcome = TlsClient::Outcome;
using Mode = LoopbackTlsServer::Mode;

const QByteArray kRequest = "GET /page HTTP/1.0\r\nHost: localhost\r\n\r\n";

// A blocking TCP connect to a loopback server, then non-blocking as the
// socket window hands its sockets over.
LoopbackFd ConnectTo(const QByteArray &address, std::uint16_t port)
{
    sockaddr_storage target{};
    socklen_t length = 0;
    if (address.contains(':')) {
        auto &v6 = reinterpret_cast<sockaddr_in6 &>(target);
        v6.sin6_family = AF_INET6;
        v6.sin6_port = htons(port);
        inet_pton(AF_INET6, address.constData(), &v6.sin6_addr);
        length = sizeof(v6);
    } else {
        auto &v4 = reinterpret_cast<sockaddr_in &>(target);
        v4.sin_family = AF_INET;
        v4.sin_port = htons(port);
        inet_pton(AF_INET, address.constData(), &v4.sin_addr);
        length = sizeof(v4);
    }
    LoopbackFd fd(::socket(target.ss_family, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!fd.isValid() ||
        ::connect(fd.get(), reinterpret_cast<const sockaddr *>(&target), length) != 0 ||
        ::fcntl(fd.get(), F_SETFL, ::fcntl(fd.get(), F_GETFL) | O_NONBLOCK) != 0)
        return {};
    return fd;
}

// Steps a session from the Qt event loop the way its owner will: step runs at
// once and again whenever the socket is ready in the direction the session
// waits for, until it returns true. False when the socket never became ready.
bool RunOnEventLoop(const TlsClient &client, int fd, const std::function<bool()> &step,
                    std::chrono::milliseconds timeout = 10s)
{
    for (;;) {
        if (step())
            return true;
        if (client.Wants() == TlsClient::Wait::None)
            return false;
        QSocketNotifier notifier(fd, client.Wants() == TlsClient::Wait::Read
                                         ? QSocketNotifier::Read
                                         : QSocketNotifier::Write);
        QEventLoop loop;
        bool ready = false;
        QObject::connect(&notifier, &QSocketNotifier::activated, &loop, [&] {
            ready = true;
            loop.quit();
        });
        QTimer::singleShot(timeout, &loop, &QEventLoop::quit);
        loop.exec();
        if (!ready)
            return false;
    }
}

Outcome Handshake(TlsClient &client, int fd)
{
    RunOnEventLoop(client, fd, [&] { return client.Handshake() != Outcome::Pending; });
    return client.outcome();
}

// Sends the request and reads the reply to its end, as far as the server sends.
QByteArray Fetch(TlsClient &client, int fd, const QByteArray &request)
{
    qsizetype sent = 0;
    RunOnEventLoop(client, fd, [&] {
        while (sent < request.size()) {
            const int n =
                client.Write(request.constData() + sent, static_cast<int>(request.size() - sent));
            if (n == TlsClient::kWouldBlock)
                return false;
            if (n < 0)
                return true;
            sent += n;
        }
        return true;
    });
    QByteArray reply;
    RunOnEventLoop(client, fd, [&] {
        char buffer[512];
        for (;;) {
            const int n = client.Read(buffer, sizeof(buffer));
            if (n == TlsClient::kWouldBlock)
                return false;
            if (n <= 0)
                return true;
            reply.append(buffer, n);
        }
    });
    return reply;
}

class TlsClientTest : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_certificates.isValid()) << m_certificates.errorText().constData();
    }

    // Trusts exactly the test authority while the object lives.
    struct TrustTestAuthority
    {
        explicit TrustTestAuthority(const TestCertificates &certificates)
            : file("SSL_CERT_FILE", certificates.authorityFile()),
              directory("SSL_CERT_DIR", certificates.emptyDirectory())
        {}
        ScopedEnvironment file;
        ScopedEnvironment directory;
    };

    TestCertificates m_certificates;
};

TEST_F(TlsClientTest, ClassifiesEachCertificate)
{
    const TrustTestAuthority trust(m_certificates);
    const TlsClient::Context context;
    ASSERT_TRUE(context.isValid());

    const struct
    {
        Kind certificate;
        const char *host;
        Outcome expected;
    } cases[] = {
        {Kind::Valid, "localhost", Outcome::Done},
        {Kind::Valid, "127.0.0.1", Outcome::Done},
        {Kind::ViaIntermediate, "localhost", Outcome::Done},
        {Kind::Expired, "localhost", Outcome::Expired},
        {Kind::NotYetValid, "localhost", Outcome::Expired},
        {Kind::OtherHost, "localhost", Outcome::OtherHost},
        {Kind::Valid, "other.vantrel.test", Outcome::OtherHost},
        {Kind::Valid, "127.0.0.2", Outcome::OtherHost},
        {Kind::Valid, "ocalhost", Outcome::OtherHost},
        {Kind::SelfSigned, "localhost", Outcome::NotTrusted},
        {Kind::UnknownIssuer, "localhost", Outcome::NotTrusted},
        {Kind::MissingIntermediate, "localhost", Outcome::NotTrusted},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << c.host << " kind " << static_cast<int>(c.certificate));
        LoopbackTlsServer server(m_certificates.identity(c.certificate));
        ASSERT_TRUE(server.isListening()) << server.errorText().constData();
        LoopbackFd fd = ConnectTo("127.0.0.1", server.port());
        ASSERT_TRUE(fd.isValid());
        {
            TlsClient client(context, fd.get(), c.host);
            EXPECT_EQ(Handshake(client, fd.get()), c.expected) << client.errorText().constData();
            if (c.expected == Outcome::Done) {
                EXPECT_TRUE(Fetch(client, fd.get(), kRequest).startsWith("HTTP/1.0 200 OK\r\n"));
            } else {
                // Whatever the caller tries, nothing goes over a connection
                // that failed verification.
                EXPECT_EQ(client.Write(kRequest.constData(), static_cast<int>(kRequest.size())),
                          TlsClient::kFailed);
                EXPECT_EQ(client.Wants(), TlsClient::Wait::None);
            }
        }
        fd.reset();
        ASSERT_TRUE(server.waitForFinished(1));
        const LoopbackTlsServer::Connection seen = server.connections().value(0);
        EXPECT_EQ(seen.handshakeDone, c.expected == Outcome::Done);
        EXPECT_EQ(seen.received, c.expected == Outcome::Done ? kRequest : QByteArray());
        EXPECT_TRUE(seen.raw.isEmpty());
    }
}

TEST_F(TlsClientTest, TheSystemStoreDoesNotKnowTheTestAuthority)
{
    const ScopedEnvironment file("SSL_CERT_FILE", std::nullopt);
    const ScopedEnvironment directory("SSL_CERT_DIR", std::nullopt);
    const TlsClient::Context context;
    LoopbackTlsServer server(m_certificates.identity(Kind::Valid));
    LoopbackFd fd = ConnectTo("127.0.0.1", server.port());
    ASSERT_TRUE(fd.isValid());
    TlsClient client(context, fd.get(), "localhost");
    EXPECT_EQ(Handshake(client, fd.get()), Outcome::NotTrusted);
}

TEST_F(TlsClientTest, ServerNameGoesOutForNamesOnly)
{
    const TrustTestAuthority trust(m_certificates);
    const TlsClient::Context context;
    const struct
    {
        const char *address;
        const char *host;
        const char *serverName;
    } cases[] = {
        {"127.0.0.1", "localhost", "localhost"},
        {"127.0.0.1", "localhost.", "localhost"},
        {"127.0.0.1", "127.0.0.1", ""},
        {"::1", "::1", ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.host);
        LoopbackTlsServer server(m_certificates.identity(Kind::Valid), Mode::Answer,
                                 "HTTP/1.0 404 Not Found", c.address);
        if (!server.isListening())
            GTEST_SKIP() << "no loopback address " << c.address << ": "
                         << server.errorText().constData();
        LoopbackFd fd = ConnectTo(c.address, server.port());
        ASSERT_TRUE(fd.isValid());
        TlsClient client(context, fd.get(), c.host);
        ASSERT_EQ(Handshake(client, fd.get()), Outcome::Done) << client.errorText().constData();
        EXPECT_TRUE(Fetch(client, fd.get(), kRequest).startsWith("HTTP/1.0 404 Not Found\r\n"));
        ASSERT_TRUE(server.waitForConnections(1));
        EXPECT_EQ(server.connections().value(0).serverName, QByteArray(c.serverName));
    }
}

TEST_F(TlsClientTest, ServersThatDoNotSpeakTlsFailTheHandshake)
{
    const TrustTestAuthority trust(m_certificates);
    const TlsClient::Context context;
    LoopbackTlsServer plainWeb({}, Mode::NotTls);
    LoopbackServer ftp(LoopbackReply::Ftp());
    LoopbackServer closing(LoopbackReply::Of(LoopbackReply::Kind::CloseAtOnce));
    LoopbackServer resetting(LoopbackReply::Of(LoopbackReply::Kind::Reset));
    const std::uint16_t ports[] = {plainWeb.port(), ftp.port(), closing.port(), resetting.port()};
    for (const std::uint16_t port : ports) {
        SCOPED_TRACE(port);
        LoopbackFd fd = ConnectTo("127.0.0.1", port);
        ASSERT_TRUE(fd.isValid());
        TlsClient client(context, fd.get(), "localhost");
        EXPECT_EQ(Handshake(client, fd.get()), Outcome::HandshakeFailed);
        EXPECT_FALSE(client.errorText().isEmpty());
    }
    // The plain server saw a TLS hello (a handshake record) and no request.
    ASSERT_TRUE(plainWeb.waitForFinished(1));
    const QByteArray hello = plainWeb.connections().value(0).raw;
    ASSERT_FALSE(hello.isEmpty());
    EXPECT_EQ(hello.at(0), '\x16');
    EXPECT_FALSE(hello.contains("GET"));
}

TEST_F(TlsClientTest, StalledHandshakeCanBeAbandonedAtAnyStep)
{
    const TrustTestAuthority trust(m_certificates);
    const TlsClient::Context context;
    LoopbackTlsServer server({}, Mode::StallHandshake);
    // Abandoned before the first step, and after each of a few steps.
    for (int steps = 0; steps < 3; ++steps) {
        SCOPED_TRACE(steps);
        LoopbackFd fd = ConnectTo("127.0.0.1", server.port());
        ASSERT_TRUE(fd.isValid());
        auto client = std::make_unique<TlsClient>(context, fd.get(), "localhost");
        for (int step = 0; step < steps; ++step) {
            EXPECT_EQ(client->Handshake(), Outcome::Pending);
            EXPECT_EQ(client->Wants(), TlsClient::Wait::Read);
            // Nothing can be sent while the handshake is unfinished.
            EXPECT_EQ(client->Write("GET / HTTP/1.0\r\n\r\n", 18), TlsClient::kFailed);
            EXPECT_FALSE(RunOnEventLoop(
                *client, fd.get(), [&] { return client->Handshake() != Outcome::Pending; }, 100ms));
        }
        client.reset();
        fd.reset();
        ASSERT_TRUE(server.waitForFinished(steps + 1));
        const QByteArray seen = server.connections().value(steps).raw;
        EXPECT_EQ(seen.isEmpty(), steps == 0);
        EXPECT_FALSE(seen.contains("GET"));
    }
}

TEST_F(TlsClientTest, SessionsCanEndAtAnyPointAfterTheHandshake)
{
    const TrustTestAuthority trust(m_certificates);
    LoopbackTlsServer server(m_certificates.identity(Kind::Valid));
    enum class End
    {
        BeforeRequest,
        BeforeReply,
        AfterShutdown
    };
    for (const End end : {End::BeforeRequest, End::BeforeReply, End::AfterShutdown}) {
        SCOPED_TRACE(static_cast<int>(end));
        LoopbackFd fd = ConnectTo("127.0.0.1", server.port());
        ASSERT_TRUE(fd.isValid());
        std::unique_ptr<TlsClient> client;
        {
            // Each session keeps the shared state alive after the context goes.
            const TlsClient::Context context;
            client = std::make_unique<TlsClient>(context, fd.get(), "localhost");
        }
        ASSERT_EQ(Handshake(*client, fd.get()), Outcome::Done);
        if (end != End::BeforeRequest) {
            EXPECT_EQ(client->Write(kRequest.constData(), static_cast<int>(kRequest.size())),
                      kRequest.size());
        }
        if (end == End::AfterShutdown) {
            client->Shutdown();
            char buffer[16];
            EXPECT_EQ(client->Read(buffer, sizeof(buffer)), TlsClient::kFailed);
        }
        client.reset();
        fd.reset();
    }
    ASSERT_TRUE(server.waitForFinished(3));
}

TEST_F(TlsClientTest, UnusableSessionsFailAtOnce)
{
    const TrustTestAuthority trust(m_certificates);
    const TlsClient::Context context;
    LoopbackTlsServer server(m_certificates.identity(Kind::Valid));
    LoopbackFd fd = ConnectTo("127.0.0.1", server.port());
    const struct
    {
        int socket;
        QByteArray host;
    } cases[] = {{fd.get(), ""},
                 {fd.get(), "."},
                 {-1, "localhost"},
                 {fd.get(), QByteArray("local\0host", 10)}};
    for (const auto &c : cases) {
        TlsClient client(context, c.socket, c.host);
        EXPECT_EQ(client.Handshake(), Outcome::HandshakeFailed);
        EXPECT_EQ(client.Wants(), TlsClient::Wait::None);
    }
}

} // namespace
