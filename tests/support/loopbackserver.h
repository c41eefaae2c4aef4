#pragma once

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include <QByteArray>
#include <QList>

#include "support/loopbackfd.h"
#include "support/loopbackreply.h"
#include "support/loopbackthreads.h"

// Counts the requests that wait for their delayed answer at one server, or
// at several together: never more than the client had open at once, since a
// client keeps its connection until the answer comes.
class LoopbackGauge
{
public:
    void enter()
    {
        const std::lock_guard lock(m_mutex);
        m_peak = std::max(m_peak, ++m_now);
    }
    void leave()
    {
        const std::lock_guard lock(m_mutex);
        --m_now;
    }
    int peak() const
    {
        const std::lock_guard lock(m_mutex);
        return m_peak;
    }

private:
    mutable std::mutex m_mutex;
    int m_now = 0;
    int m_peak = 0;
};

// A TCP server on a loopback address for network tests. It serves on its own
// thread (one more per connection), so the test's thread is free to block in a
// connect or run the Qt event loop.
//
// A server whose reply is FtpGreeting, CloseAtOnce or Reset acts on accept,
// before reading anything. Otherwise it reads the request up to the blank line
// (or until the client closes) and answers with the reply set for the
// request's path, else with the server's own reply. Every byte received on a
// connection is recorded.
class LoopbackServer
{
public:
    // Binds address:port and starts serving; port 0 takes an ephemeral port.
    explicit LoopbackServer(LoopbackReply reply = {}, const QByteArray &address = "127.0.0.1",
                            std::uint16_t port = 0);
    ~LoopbackServer();

    LoopbackServer(const LoopbackServer &) = delete;
    LoopbackServer &operator=(const LoopbackServer &) = delete;

    bool isListening() const { return m_threads.isListening(); }
    // Why the server is not listening.
    QByteArray errorText() const { return m_error; }
    QByteArray address() const { return m_address; }
    std::uint16_t port() const { return m_port; }
    QByteArray portText() const { return QByteArray::number(m_port); }

    void setReply(const LoopbackReply &reply);
    void setReply(const QByteArray &path, const LoopbackReply &reply);
    // The requests for path are answered with these in turn, the last one
    // for every request after them.
    void setReplies(const QByteArray &path, const QList<LoopbackReply> &replies);

    int connectionCount() const;
    // The most requests that waited for a delayed answer at once.
    int peakWaiting() const { return m_gauge.peak(); }
    // Also counts the waiting requests in gauge, which other servers may share.
    void shareGauge(std::shared_ptr<LoopbackGauge> gauge);
    // The bytes received on each connection so far, in the order accepted.
    QList<QByteArray> requests() const;
    // Each waits until at least count connections have been accepted, have a
    // complete request (blank line seen, or the client closed), or are over
    // (the client went or the connection was ended); false on time-out.
    bool waitForConnections(int count, std::chrono::milliseconds timeout = kDefaultWait) const;
    bool waitForRequests(int count, std::chrono::milliseconds timeout = kDefaultWait) const;
    bool waitForFinished(int count, std::chrono::milliseconds timeout = kDefaultWait) const;

    // Ends every connection and joins every thread; also done by the destructor.
    void stop();

    static constexpr std::chrono::milliseconds kDefaultWait{10000};

private:
    struct Record
    {
        QByteArray received;
        bool requestComplete = false;
        bool finished = false;
    };
    enum class ReadEnd
    {
        BlankLine,
        PeerClosed,
        Stopped
    };

    void serve(LoopbackFd connection, std::size_t index);
    void answer(int fd, std::size_t index, const LoopbackReply &reply);
    void serveKeptAlive(int fd, std::size_t index, const LoopbackReply &reply);
    LoopbackReply replyFor(const QByteArray &request);
    // Reads and records until the blank line (when untilBlankLine), the
    // client's close or stop.
    ReadEnd readRecorded(int fd, std::size_t index, bool untilBlankLine);
    bool sendAll(int fd, const QByteArray &bytes) const { return m_threads.sendAll(fd, bytes); }
    bool waitFor(int fd, short events, int timeoutMs = -1) const
    {
        return m_threads.waitFor(fd, events, timeoutMs);
    }
    // Ends our side in order and waits for the client to go, so that the
    // client reads everything before its end of stream.
    void lingerClose(int fd, std::size_t index);
    void markRequestComplete(std::size_t index);
    bool waitUntil(std::chrono::milliseconds timeout, int count,
                   bool (*counts)(const Record &)) const;

    QByteArray m_address;
    std::uint16_t m_port = 0;
    QByteArray m_error;

    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
    LoopbackReply m_reply;
    std::map<QByteArray, LoopbackReply> m_pathReplies;
    std::map<QByteArray, std::deque<LoopbackReply>> m_pathTurns;
    LoopbackGauge m_gauge;
    std::shared_ptr<LoopbackGauge> m_sharedGauge;
    std::deque<Record> m_records;

    // Last, so that the threads end before what they use goes.
    LoopbackThreads m_threads;
};
