#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

#include <QByteArray>
#include <QList>

#include "support/loopbackfd.h"

// A DNS server on a loopback UDP port for resolver tests, so that no test
// needs the real network. It serves on its own thread.
class LoopbackNameServer
{
public:
    enum class Mode
    {
        Silent,   // reads every query and never answers
        NxDomain, // answers every query: no such name
        Address,  // answers A queries with one IPv4 address, other types with no data
    };

    // answer is the IPv4 address that Address mode gives every name.
    explicit LoopbackNameServer(Mode mode, const QByteArray &answer = "127.0.0.1");
    ~LoopbackNameServer();

    LoopbackNameServer(const LoopbackNameServer &) = delete;
    LoopbackNameServer &operator=(const LoopbackNameServer &) = delete;

    bool isListening() const { return m_socket.isValid(); }
    QByteArray errorText() const { return m_error; }
    // "127.0.0.1:port", as the resolver's name server option takes it.
    QByteArray serverText() const;
    int queryCount() const;
    // The names asked for, in dotted form, in the order the queries came.
    QList<QByteArray> queriedNames() const;
    bool waitForQueries(int count, std::chrono::milliseconds timeout = std::chrono::seconds(10));

private:
    void serve();
    // The reply to one query, or nothing when it gets none.
    QByteArray replyTo(const QByteArray &query) const;

    Mode m_mode;
    std::uint32_t m_answer = 0;
    QByteArray m_error;
    LoopbackFd m_socket;
    LoopbackFd m_stopEvent;
    std::uint16_t m_port = 0;

    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    int m_queries = 0;
    QList<QByteArray> m_names;
    std::thread m_thread;
};
