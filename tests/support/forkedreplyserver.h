#pragma once

#include <cstdint>
#include <sys/types.h>

#include <QByteArray>

// A loopback server in a process of its own that answers every request with
// the same bytes, one connection after the other. A test that exhausts its own
// process's descriptors needs a server whose descriptors are not counted
// with them.
class ForkedReplyServer
{
public:
    explicit ForkedReplyServer(const QByteArray &reply);
    // Ends the server process.
    ~ForkedReplyServer();

    ForkedReplyServer(const ForkedReplyServer &) = delete;
    ForkedReplyServer &operator=(const ForkedReplyServer &) = delete;

    bool isRunning() const { return m_pid > 0; }
    QByteArray portText() const { return QByteArray::number(m_port); }

private:
    pid_t m_pid = -1;
    std::uint16_t m_port = 0;
};
