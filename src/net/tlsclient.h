#pragma once

#include <memory>

#include <QByteArray>

struct ssl_st;

// One TLS session over a socket that is already connected and non-blocking,
// stepped from the event loop: the owner calls Handshake (then Write and Read)
// whenever the socket is ready the way Wants() says, and arms its socket
// notifier for that direction in between. The session never blocks, never
// owns or closes the descriptor, and never sends application data before the
// server's certificate chain and name have been verified.
class TlsClient
{
public:
    // The trusted certificates and settings that a probe's sessions share:
    // loading the system's store for each link would be slow. Copies share the
    // same state, which lives as long as any copy or session using it.
    class Context
    {
    public:
        // Trusts the system's certificates; SSL_CERT_FILE and SSL_CERT_DIR
        // replace the system's file and directory, as for other OpenSSL tools.
        // They are read here, once.
        Context();
        ~Context();
        Context(const Context &);
        Context &operator=(const Context &);

        bool isValid() const;

    private:
        friend class TlsClient;
        struct State;
        std::shared_ptr<const State> m_state;
    };

    enum class Outcome
    {
        Pending,         // the handshake goes on: wait as Wants() says, then step again
        Done,            // verified: application data may flow
        HandshakeFailed, // protocol error, the peer closed or reset, or it does not speak TLS
        NotTrusted,      // unknown issuer, self-signed, incomplete chain or any other chain fault
        Expired,         // the certificate has expired or is not yet valid
        OtherHost,       // the certificate names another host
    };

    enum class Wait
    {
        None,
        Read,
        Write
    };

    // Results of Write and Read besides a byte count.
    static constexpr int kWouldBlock = -1;
    static constexpr int kFailed = -2;

    // host: the ASCII host of the link (A-label, lower case; an IPv6 address
    // without brackets). A name goes out as the server name indication and
    // must match the certificate's names; an IP address is sent no server
    // name and must match one of the certificate's addresses.
    TlsClient(const Context &context, int socket, const QByteArray &host);
    // Frees everything without blocking; a finished session first tries to
    // send its closing alert.
    ~TlsClient();

    TlsClient(const TlsClient &) = delete;
    TlsClient &operator=(const TlsClient &) = delete;

    // Takes the handshake as far as the socket allows and returns where it
    // stands. Once an outcome other than Pending is returned it stays.
    Outcome Handshake();
    Outcome outcome() const { return m_outcome; }
    // What the last call is waiting for on the socket.
    Wait Wants() const { return m_wants; }
    // Why the handshake failed, in OpenSSL's words, for diagnostics.
    QByteArray errorText() const { return m_errorText; }

    // Like send: the number of bytes taken (at least one), kWouldBlock (try
    // the same bytes again when Wants() allows), or kFailed. Always kFailed
    // unless the handshake is Done.
    int Write(const char *data, int length);
    // Like recv: bytes read, 0 at the end of the stream, kWouldBlock or
    // kFailed. Decrypted bytes can be waiting without the socket being
    // readable: read until kWouldBlock before waiting for the socket again.
    int Read(char *buffer, int capacity);
    // Sends the closing alert if that can be done at once; never waits for
    // the peer's. Reading and writing end here.
    void Shutdown();

private:
    struct SslDeleter
    {
        void operator()(ssl_st *ssl) const;
    };

    // Classifies a failed handshake by the certificate verdict, if any;
    // sslError is what SSL_get_error said.
    Outcome Failure(int sslError);
    // The outcome of an I/O call that returned result; sets m_wants.
    int IoResult(int result, int done);

    Context m_context;
    std::unique_ptr<ssl_st, SslDeleter> m_ssl;
    Outcome m_outcome = Outcome::Pending;
    Wait m_wants = Wait::None;
    QByteArray m_errorText;
    // A fatal error or a shutdown ends the session for good.
    bool m_bClosed = false;
};
