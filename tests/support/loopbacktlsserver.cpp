#include "support/loopbacktlsserver.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <functional>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <openssl/err.h>

namespace {

constexpr char kPlainAnswer[] = "HTTP/1.0 400 Bad Request\r\nContent-Type: text/html\r\n\r\n";
constexpr char kBody[] = "<html><body>Vantrel TLS test page</body></html>\n";

// A listening socket on 127.0.0.x or ::1, nowhere else.
LoopbackFd ListenOn(const QByteArray &address, QByteArray &error)
{
    if (address.contains(':')) {
        sockaddr_in6 local{};
        local.sin6_family = AF_INET6;
        if (inet_pton(AF_INET6, address.constData(), &local.sin6_addr) != 1 ||
            !IN6_IS_ADDR_LOOPBACK(&local.sin6_addr)) {
            error = "not a loopback address: " + address;
            return {};
        }
        LoopbackFd fd(::socket(AF_INET6, SOCK_STREAM | SOCK_CLOEXEC, 0));
        const int on = 1;
        if (fd.isValid())
            ::setsockopt(fd.get(), IPPROTO_IPV6, IPV6_V6ONLY, &on, sizeof(on));
        if (!fd.isValid() ||
            ::bind(fd.get(), reinterpret_cast<const sockaddr *>(&local), sizeof(local)) != 0) {
            error = "cannot bind [" + address + "]: " + std::strerror(errno);
            return {};
        }
        return fd;
    }
    return BindLoopbackSocket(address, 0, false, &error);
}

std::uint16_t PortOf(int fd)
{
    sockaddr_storage local{};
    socklen_t length = sizeof(local);
    if (::getsockname(fd, reinterpret_cast<sockaddr *>(&local), &length) != 0)
        return 0;
    if (local.ss_family == AF_INET6)
        return ntohs(reinterpret_cast<const sockaddr_in6 &>(local).sin6_port);
    return ntohs(reinterpret_cast<const sockaddr_in &>(local).sin_port);
}

} // namespace

// One server-side TLS connection. OpenSSL works on memory buffers and this
// class carries the bytes to and from the socket itself, with MSG_NOSIGNAL,
// so that a client that has gone never raises SIGPIPE in the test program.
class LoopbackTlsServer::Session
{
public:
    Session(LoopbackTlsServer &server, SSL_CTX *context, int fd)
        : m_server(server), m_fd(fd), m_ssl(SSL_new(context), SSL_free)
    {
        BIO *in = BIO_new(BIO_s_mem());
        BIO *out = BIO_new(BIO_s_mem());
        if (!m_ssl || in == nullptr || out == nullptr) {
            BIO_free(in);
            BIO_free(out);
            m_ssl.reset();
            return;
        }
        m_in = in;
        m_out = out;
        SSL_set_bio(m_ssl.get(), in, out);
        SSL_set_accept_state(m_ssl.get());
        SSL_set_app_data(m_ssl.get(), this);
    }

    bool isValid() const { return m_ssl != nullptr; }

    // Runs step until it returns a positive result, which is returned, or
    // fails: 0 when the client went or the server stopped, -1 on a TLS error.
    int Drive(const std::function<int(SSL *)> &step)
    {
        for (;;) {
            ERR_clear_error();
            const int result = step(m_ssl.get());
            const int error = result > 0 ? SSL_ERROR_NONE : SSL_get_error(m_ssl.get(), result);
            ERR_clear_error();
            if (!Flush())
                return 0;
            if (result > 0)
                return result;
            if (error != SSL_ERROR_WANT_READ)
                return -1;
            if (!Feed())
                return 0;
        }
    }

    // Bytes received that the TLS layer did not take.
    QByteArray Leftover()
    {
        QByteArray bytes(static_cast<qsizetype>(BIO_ctrl_pending(m_in)), '\0');
        if (!bytes.isEmpty())
            bytes.resize(std::max(0, BIO_read(m_in, bytes.data(), static_cast<int>(bytes.size()))));
        return bytes;
    }

    static int OnServerName(SSL *ssl, int *, void *)
    {
        auto *session = static_cast<Session *>(SSL_get_app_data(ssl));
        const char *name = SSL_get_servername(ssl, TLSEXT_NAMETYPE_host_name);
        if (session != nullptr && name != nullptr)
            session->m_serverName = name;
        return SSL_TLSEXT_ERR_OK;
    }

    QByteArray serverName() const { return m_serverName; }

private:
    bool Flush()
    {
        char buffer[16384];
        while (BIO_ctrl_pending(m_out) > 0) {
            const int length = BIO_read(m_out, buffer, sizeof(buffer));
            if (length <= 0 || !m_server.sendAll(m_fd, QByteArray(buffer, length)))
                return false;
        }
        return true;
    }

    bool Feed()
    {
        char buffer[16384];
        for (;;) {
            if (!m_server.waitFor(m_fd, POLLIN))
                return false;
            const auto received = ::recv(m_fd, buffer, sizeof(buffer), 0);
            if (received < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
                continue;
            if (received <= 0)
                return false;
            return BIO_write(m_in, buffer, static_cast<int>(received)) == received;
        }
    }

    LoopbackTlsServer &m_server;
    int m_fd;
    std::unique_ptr<SSL, decltype(&SSL_free)> m_ssl;
    BIO *m_in = nullptr;
    BIO *m_out = nullptr;
    QByteArray m_serverName;
};

LoopbackTlsServer::LoopbackTlsServer(const TlsIdentity &identity, Mode mode,
                                     const QByteArray &statusLine, const QByteArray &address)
    : m_mode(mode), m_statusLine(statusLine)
{
    if (mode == Mode::Answer || mode == Mode::SmallRecords) {
        m_context.reset(SSL_CTX_new(TLS_server_method()));
        SSL_CTX *context = m_context.get();
        bool ready = context != nullptr && identity.certificate && identity.key &&
                     SSL_CTX_use_certificate(context, identity.certificate.get()) == 1 &&
                     SSL_CTX_use_PrivateKey(context, identity.key.get()) == 1 &&
                     SSL_CTX_check_private_key(context) == 1;
        for (const auto &certificate : identity.chain)
            ready = ready && SSL_CTX_add1_chain_cert(context, certificate.get()) == 1;
        ERR_clear_error();
        if (!ready) {
            m_error = "cannot set up the server's certificate";
            return;
        }
        SSL_CTX_set_tlsext_servername_callback(context, &Session::OnServerName);
    }
    LoopbackFd listener = ListenOn(address, m_error);
    if (!listener.isValid())
        return;
    m_port = PortOf(listener.get());
    m_threads.start(
        std::move(listener),
        [this] {
            const std::lock_guard lock(m_mutex);
            m_connections.emplace_back();
            m_changed.notify_all();
        },
        [this](LoopbackFd connection, std::size_t index) { serve(std::move(connection), index); },
        m_error);
}

LoopbackTlsServer::~LoopbackTlsServer()
{
    stop();
}

void LoopbackTlsServer::stop()
{
    m_threads.stop();
}

QList<LoopbackTlsServer::Connection> LoopbackTlsServer::connections() const
{
    const std::lock_guard lock(m_mutex);
    return QList<Connection>(m_connections.begin(), m_connections.end());
}

bool LoopbackTlsServer::waitForConnections(int count, std::chrono::milliseconds timeout) const
{
    return waitUntil(timeout, count, [](const Connection &) { return true; });
}

bool LoopbackTlsServer::waitForFinished(int count, std::chrono::milliseconds timeout) const
{
    return waitUntil(timeout, count, [](const Connection &c) { return c.finished; });
}

bool LoopbackTlsServer::waitUntil(std::chrono::milliseconds timeout, int count,
                                  bool (*counts)(const Connection &)) const
{
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, timeout, [&] {
        return std::count_if(m_connections.begin(), m_connections.end(), counts) >= count;
    });
}

void LoopbackTlsServer::serve(LoopbackFd connection, std::size_t index)
{
    if (m_context) {
        Session session(*this, m_context.get(), connection.get());
        if (session.isValid())
            serveTls(session, connection.get(), index);
    } else {
        serveRaw(connection.get(), index);
    }
    const std::lock_guard lock(m_mutex);
    m_connections[index].finished = true;
    m_changed.notify_all();
}

void LoopbackTlsServer::serveTls(Session &session, int fd, std::size_t index)
{
    const int shaken = session.Drive([](SSL *ssl) { return SSL_do_handshake(ssl); });
    {
        const std::lock_guard lock(m_mutex);
        m_connections[index].serverName = session.serverName();
        m_connections[index].handshakeDone = shaken > 0;
        m_changed.notify_all();
    }
    if (shaken <= 0) {
        // Whatever comes now is no TLS this server can read: keep it as proof.
        recordRaw(index, session.Leftover());
        readRawToEnd(fd, index);
        return;
    }

    QByteArray request;
    char buffer[4096];
    const auto read = [&buffer](SSL *ssl) {
        return SSL_read(ssl, buffer, sizeof(buffer));
    };
    while (!request.contains("\r\n\r\n")) {
        const int length = session.Drive(read);
        if (length <= 0)
            return;
        request.append(buffer, length);
        const std::lock_guard lock(m_mutex);
        m_connections[index].received.append(buffer, length);
        m_changed.notify_all();
    }

    const QByteArray body = kBody;
    const QByteArray reply = m_statusLine + "\r\nContent-Type: text/html\r\nContent-Length: " +
                             QByteArray::number(body.size()) + "\r\n\r\n" + body;
    // Each write is a record of its own, sent before the next is written.
    const qsizetype record = m_mode == Mode::SmallRecords ? 3 : reply.size();
    for (qsizetype at = 0; at < reply.size(); at += record) {
        const QByteArray piece = reply.mid(at, record);
        const auto write = [&piece](SSL *ssl) {
            return SSL_write(ssl, piece.constData(), static_cast<int>(piece.size()));
        };
        if (session.Drive(write) <= 0)
            return;
        if (m_mode == Mode::SmallRecords && !m_threads.waitFor(-1, 0, 10))
            return;
    }
    session.Drive([](SSL *ssl) { return SSL_shutdown(ssl) >= 0 ? 1 : 0; });
    // End our side and wait for the client to go, so that it reads everything.
    ::shutdown(fd, SHUT_WR);
    for (int length; (length = session.Drive(read)) > 0;) {
        const std::lock_guard lock(m_mutex);
        m_connections[index].received.append(buffer, length);
    }
}

void LoopbackTlsServer::serveRaw(int fd, std::size_t index)
{
    if (m_mode == Mode::NotTls) {
        char buffer[4096];
        if (!waitFor(fd, POLLIN))
            return;
        const auto received = ::recv(fd, buffer, sizeof(buffer), 0);
        if (received <= 0)
            return;
        recordRaw(index, QByteArray(buffer, received));
        if (!sendAll(fd, kPlainAnswer))
            return;
        ::shutdown(fd, SHUT_WR);
    }
    readRawToEnd(fd, index);
}

void LoopbackTlsServer::readRawToEnd(int fd, std::size_t index)
{
    char buffer[4096];
    while (waitFor(fd, POLLIN)) {
        const auto received = ::recv(fd, buffer, sizeof(buffer), 0);
        if (received < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
            continue;
        if (received <= 0)
            return;
        recordRaw(index, QByteArray(buffer, received));
    }
}

void LoopbackTlsServer::recordRaw(std::size_t index, const QByteArray &bytes)
{
    if (bytes.isEmpty())
        return;
    const std::lock_guard lock(m_mutex);
    m_connections[index].raw.append(bytes);
    m_changed.notify_all();
}
