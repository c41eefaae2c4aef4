#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include <QByteArray>
#include <QList>

#include <openssl/ssl.h>

#include "support/loopbackfd.h"
#include "support/loopbackthreads.h"
#include "support/testcertificates.h"

// A TLS server on a loopback address (127.0.0.x or ::1) for network tests,
// serving on threads of its own like LoopbackServer. It presents one chosen
// certificate and records, for every connection, the server name the client
// asked for, whether the handshake completed, and every byte of application
// data that arrived, so that a test can prove what did or did not reach it.
class LoopbackTlsServer
{
public:
    enum class Mode
    {
        Answer,         // handshake, read the request to its blank line, answer the status line
        SmallRecords,   // like Answer, but the reply goes out in records of 3 bytes, 10 ms apart
        StallHandshake, // read the client's hello and never answer, until the client goes
        NotTls,         // a plain web server: answers the hello with a plain HTTP status line
    };

    struct Connection
    {
        // The server name indication; empty when the client sent none.
        QByteArray serverName;
        bool handshakeDone = false;
        // Decrypted application data.
        QByteArray received;
        // Bytes that came after a failed handshake, unreadable as TLS; in the
        // modes without TLS, everything the client sent.
        QByteArray raw;
        bool finished = false;
    };

    // Binds address on an ephemeral port and starts serving.
    LoopbackTlsServer(const TlsIdentity &identity, Mode mode = Mode::Answer,
                      const QByteArray &statusLine = "HTTP/1.0 200 OK",
                      const QByteArray &address = "127.0.0.1");
    ~LoopbackTlsServer();

    LoopbackTlsServer(const LoopbackTlsServer &) = delete;
    LoopbackTlsServer &operator=(const LoopbackTlsServer &) = delete;

    bool isListening() const { return m_threads.isListening(); }
    QByteArray errorText() const { return m_error; }
    std::uint16_t port() const { return m_port; }

    QList<Connection> connections() const;
    // Each waits until at least count connections have been accepted, or are
    // over (the client went or the server answered and the client closed);
    // false on time-out.
    bool waitForConnections(int count, std::chrono::milliseconds timeout = kDefaultWait) const;
    bool waitForFinished(int count, std::chrono::milliseconds timeout = kDefaultWait) const;

    // Ends every connection and joins every thread; also done by the destructor.
    void stop();

    static constexpr std::chrono::milliseconds kDefaultWait{10000};

private:
    class Session;

    void serve(LoopbackFd connection, std::size_t index);
    void serveTls(Session &session, int fd, std::size_t index);
    void serveRaw(int fd, std::size_t index);
    // Appends what the client sent to the raw bytes of a connection.
    void recordRaw(std::size_t index, const QByteArray &bytes);
    // Reads and records raw bytes until the client goes or the server stops.
    void readRawToEnd(int fd, std::size_t index);
    bool sendAll(int fd, const QByteArray &bytes) const { return m_threads.sendAll(fd, bytes); }
    bool waitFor(int fd, short events) const { return m_threads.waitFor(fd, events); }
    bool waitUntil(std::chrono::milliseconds timeout, int count,
                   bool (*counts)(const Connection &)) const;
    friend class Session;

    Mode m_mode;
    QByteArray m_statusLine;
    QByteArray m_error;
    std::unique_ptr<SSL_CTX, decltype(&SSL_CTX_free)> m_context{nullptr, SSL_CTX_free};
    std::uint16_t m_port = 0;

    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
    std::deque<Connection> m_connections;

    // Last, so that the threads end before what they use goes.
    LoopbackThreads m_threads;
};
