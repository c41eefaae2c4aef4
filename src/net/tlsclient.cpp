#include "net/tlsclient.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <sys/socket.h>

#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509_vfy.h>
#include <openssl/x509v3.h>

#include "net/connecttarget.h"

namespace {

struct SslCtxDeleter
{
    void operator()(SSL_CTX *context) const { SSL_CTX_free(context); }
};
struct BioMethodDeleter
{
    void operator()(BIO_METHOD *method) const { BIO_meth_free(method); }
};

int SocketOf(BIO *bio)
{
    return static_cast<int>(reinterpret_cast<std::intptr_t>(BIO_get_data(bio)));
}

bool IsTransient(int error)
{
    return error == EAGAIN || error == EWOULDBLOCK || error == EINTR;
}

// OpenSSL's own socket BIO writes with write(), which raises SIGPIPE when the
// peer has gone and would end the whole program; this one sends with
// MSG_NOSIGNAL, and never blocks whatever the descriptor's mode.
int SocketWrite(BIO *bio, const char *data, int length)
{
    BIO_clear_retry_flags(bio);
    const auto sent =
        ::send(SocketOf(bio), data, static_cast<size_t>(length), MSG_NOSIGNAL | MSG_DONTWAIT);
    if (sent < 0 && IsTransient(errno))
        BIO_set_retry_write(bio);
    return static_cast<int>(sent);
}

int SocketRead(BIO *bio, char *buffer, int capacity)
{
    BIO_clear_retry_flags(bio);
    const auto received =
        ::recv(SocketOf(bio), buffer, static_cast<size_t>(capacity), MSG_DONTWAIT);
    if (received < 0 && IsTransient(errno))
        BIO_set_retry_read(bio);
    return static_cast<int>(received);
}

long SocketControl(BIO *, int command, long, void *)
{
    // Nothing is buffered here, so a flush has nothing to do; the rest
    // (kernel TLS, pending counts) does not apply.
    return command == BIO_CTRL_FLUSH ? 1 : 0;
}

std::unique_ptr<BIO_METHOD, BioMethodDeleter> NewSocketMethod()
{
    std::unique_ptr<BIO_METHOD, BioMethodDeleter> method(
        BIO_meth_new(BIO_TYPE_SOURCE_SINK, "vantrel socket"));
    if (method && BIO_meth_set_write(method.get(), SocketWrite) == 1 &&
        BIO_meth_set_read(method.get(), SocketRead) == 1 &&
        BIO_meth_set_ctrl(method.get(), SocketControl) == 1)
        return method;
    return nullptr;
}

// The address a host writes, read as the connect reads it (127.1 is
// 127.0.0.1), in network order; empty for a name.
QByteArray AddressBytes(const QByteArray &host)
{
    ConnectTarget target;
    if (!LiteralTarget(host, target))
        return {};
    if (target.address.ss_family == AF_INET6) {
        const auto &ipv6 = reinterpret_cast<const sockaddr_in6 &>(target.address).sin6_addr;
        return QByteArray(reinterpret_cast<const char *>(&ipv6), sizeof ipv6);
    }
    const auto &ipv4 = reinterpret_cast<const sockaddr_in &>(target.address).sin_addr;
    return QByteArray(reinterpret_cast<const char *>(&ipv4), sizeof ipv4);
}

// The newest error of the thread's OpenSSL queue as text; the queue is emptied.
QByteArray TakeOpenSslError(const char *fallback)
{
    const unsigned long error = ERR_peek_last_error();
    ERR_clear_error();
    if (error == 0)
        return fallback;
    char text[256];
    ERR_error_string_n(error, text, sizeof(text));
    return text;
}

} // namespace

struct TlsClient::Context::State
{
    std::unique_ptr<SSL_CTX, SslCtxDeleter> context;
    std::unique_ptr<BIO_METHOD, BioMethodDeleter> socketMethod;
};

TlsClient::Context::Context()
{
    auto state = std::make_shared<State>();
    state->socketMethod = NewSocketMethod();
    state->context.reset(SSL_CTX_new(TLS_client_method()));
    if (state->context && state->socketMethod) {
        SSL_CTX *context = state->context.get();
        // The handshake itself fails on a chain or name that does not verify,
        // so a connection that failed verification carries nothing further.
        SSL_CTX_set_verify(context, SSL_VERIFY_PEER, nullptr);
        if (SSL_CTX_set_default_verify_paths(context) != 1)
            state->context.reset();
    }
    if (state->context) {
        SSL_CTX *context = state->context.get();
        // Many servers close without the closing alert; for a probe that only
        // reads the status line that is an ordinary end of stream.
        SSL_CTX_set_options(context, SSL_OP_IGNORE_UNEXPECTED_EOF);
        SSL_CTX_set_mode(context,
                         SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
    }
    ERR_clear_error();
    m_state = std::move(state);
}

TlsClient::Context::~Context() = default;
TlsClient::Context::Context(const Context &) = default;
TlsClient::Context &TlsClient::Context::operator=(const Context &) = default;

bool TlsClient::Context::isValid() const
{
    return m_state && m_state->context && m_state->socketMethod;
}

void TlsClient::SslDeleter::operator()(ssl_st *ssl) const
{
    SSL_free(ssl);
}

TlsClient::TlsClient(const Context &context, int socket, const QByteArray &host)
    : m_context(context)
{
    m_bClosed = true;
    m_outcome = Outcome::HandshakeFailed;
    // SNI and the name check take the name without the root's trailing dot.
    QByteArray name = host;
    if (name.endsWith('.'))
        name.chop(1);
    if (!m_context.isValid() || socket < 0 || name.isEmpty() || name.contains('\0')) {
        m_errorText = "no TLS session could be set up for this host";
        return;
    }

    ERR_clear_error();
    m_ssl.reset(SSL_new(m_context.m_state->context.get()));
    BIO *bio = m_ssl ? BIO_new(m_context.m_state->socketMethod.get()) : nullptr;
    if (bio == nullptr) {
        m_errorText = TakeOpenSslError("out of memory");
        return;
    }
    BIO_set_data(bio, reinterpret_cast<void *>(static_cast<std::intptr_t>(socket)));
    BIO_set_init(bio, 1);
    // The session owns the BIO from here on; the BIO does not own the socket.
    SSL_set_bio(m_ssl.get(), bio, bio);
    SSL_set_connect_state(m_ssl.get());

    X509_VERIFY_PARAM *param = SSL_get0_param(m_ssl.get());
    bool named = false;
    const QByteArray address = AddressBytes(name);
    if (!address.isEmpty()) {
        named = X509_VERIFY_PARAM_set1_ip(param,
                                          reinterpret_cast<const unsigned char *>(address.data()),
                                          static_cast<size_t>(address.size())) == 1;
    } else {
        X509_VERIFY_PARAM_set_hostflags(param, X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS);
        named = SSL_set_tlsext_host_name(m_ssl.get(), name.constData()) == 1 &&
                X509_VERIFY_PARAM_set1_host(param, name.constData(), 0) == 1;
    }
    if (!named) {
        m_errorText = TakeOpenSslError("the host name cannot be checked");
        return;
    }
    m_bClosed = false;
    m_outcome = Outcome::Pending;
}

TlsClient::~TlsClient()
{
    Shutdown();
}

TlsClient::Outcome TlsClient::Handshake()
{
    if (m_outcome != Outcome::Pending)
        return m_outcome;
    ERR_clear_error();
    const int result = SSL_do_handshake(m_ssl.get());
    if (result == 1) {
        // SSL_VERIFY_PEER has already refused any other verdict; checked again
        // because nothing may be sent over an unverified connection.
        if (SSL_get_verify_result(m_ssl.get()) != X509_V_OK ||
            SSL_get0_peer_certificate(m_ssl.get()) == nullptr) {
            m_outcome = Failure(SSL_ERROR_SSL);
            return m_outcome;
        }
        m_wants = Wait::None;
        m_outcome = Outcome::Done;
        return m_outcome;
    }
    const int error = SSL_get_error(m_ssl.get(), result);
    switch (error) {
    case SSL_ERROR_WANT_READ:
        m_wants = Wait::Read;
        return m_outcome;
    case SSL_ERROR_WANT_WRITE:
        m_wants = Wait::Write;
        return m_outcome;
    default:
        m_outcome = Failure(error);
        return m_outcome;
    }
}

TlsClient::Outcome TlsClient::Failure(int sslError)
{
    // Taken first: the calls below may change errno.
    const int systemError = sslError == SSL_ERROR_SYSCALL ? errno : 0;
    m_bClosed = true;
    m_wants = Wait::None;
    const long verdict = SSL_get_verify_result(m_ssl.get());
    if (verdict == X509_V_OK) {
        m_errorText =
            TakeOpenSslError(systemError != 0 ? std::strerror(systemError)
                                              : "the connection ended during the handshake");
        return Outcome::HandshakeFailed;
    }
    ERR_clear_error();
    m_errorText = X509_verify_cert_error_string(verdict);
    switch (verdict) {
    case X509_V_ERR_CERT_HAS_EXPIRED:
    case X509_V_ERR_CERT_NOT_YET_VALID:
        return Outcome::Expired;
    case X509_V_ERR_HOSTNAME_MISMATCH:
    case X509_V_ERR_IP_ADDRESS_MISMATCH:
        return Outcome::OtherHost;
    default:
        // Unknown issuer, self-signed, incomplete chain, bad signature,
        // revoked, wrong purpose: none of these can be trusted.
        return Outcome::NotTrusted;
    }
}

int TlsClient::Write(const char *data, int length)
{
    if (m_outcome != Outcome::Done || m_bClosed || length < 0 || (data == nullptr && length > 0))
        return kFailed;
    if (length == 0)
        return 0;
    ERR_clear_error();
    return IoResult(SSL_write(m_ssl.get(), data, length), length);
}

int TlsClient::Read(char *buffer, int capacity)
{
    if (m_outcome != Outcome::Done || m_bClosed || capacity <= 0 || buffer == nullptr)
        return kFailed;
    ERR_clear_error();
    return IoResult(SSL_read(m_ssl.get(), buffer, capacity), capacity);
}

int TlsClient::IoResult(int result, int done)
{
    if (result > 0 && result <= done) {
        m_wants = Wait::None;
        return result;
    }
    switch (SSL_get_error(m_ssl.get(), result)) {
    case SSL_ERROR_WANT_READ:
        m_wants = Wait::Read;
        return kWouldBlock;
    case SSL_ERROR_WANT_WRITE:
        m_wants = Wait::Write;
        return kWouldBlock;
    case SSL_ERROR_ZERO_RETURN:
        m_wants = Wait::None;
        return 0;
    default:
        // After a fatal error the session may not even send its closing alert.
        m_bClosed = true;
        m_wants = Wait::None;
        m_errorText = TakeOpenSslError("the connection failed");
        return kFailed;
    }
}

void TlsClient::Shutdown()
{
    if (m_ssl && m_outcome == Outcome::Done && !m_bClosed) {
        ERR_clear_error();
        // One attempt: the alert goes out if the socket takes it now; the
        // peer's answer is never awaited.
        SSL_shutdown(m_ssl.get());
        ERR_clear_error();
    }
    m_bClosed = true;
    m_wants = Wait::None;
}
