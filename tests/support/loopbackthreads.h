#pragma once

#include <cstddef>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include <QByteArray>

#include "support/loopbackfd.h"

// The threads of a loopback test server: an accept loop on a thread of its
// own, a thread for each connection, and a stop event that ends every wait of
// every thread at once.
class LoopbackThreads
{
public:
    // Called on the accept thread for each connection, before its thread starts.
    using Accepted = std::function<void()>;
    // Serves one connection; index counts the connections from 0 in the order accepted.
    using Serve = std::function<void(LoopbackFd connection, std::size_t index)>;

    LoopbackThreads() = default;
    ~LoopbackThreads() { stop(); }

    LoopbackThreads(const LoopbackThreads &) = delete;
    LoopbackThreads &operator=(const LoopbackThreads &) = delete;

    // Listens on listener and starts accepting; false, with why, when it cannot.
    bool start(LoopbackFd listener, Accepted accepted, Serve serve, QByteArray &error);
    bool isListening() const { return m_listener.isValid(); }
    int listener() const { return m_listener.get(); }

    // Waits for fd to become ready for events (fd -1: only for the time-out);
    // false when the server stops.
    bool waitFor(int fd, short events, int timeoutMs = -1) const;
    // Sends all of bytes; false when the client went or the server stopped.
    bool sendAll(int fd, const QByteArray &bytes) const;

    // Ends every wait and joins every thread; also done by the destructor.
    void stop();

private:
    void acceptLoop();

    LoopbackFd m_listener;
    LoopbackFd m_stopEvent;
    Accepted m_accepted;
    Serve m_serve;
    std::mutex m_mutex;
    std::vector<std::thread> m_connectionThreads;
    std::size_t m_nAccepted = 0;
    bool m_stopped = false;
    std::thread m_acceptThread;
};
