#pragma once

#include <cstdint>
#include <vector>

#include <QByteArray>

#include "support/loopbackfd.h"

// A loopback port that never completes a TCP handshake: it listens with the
// smallest backlog and its accept queue is filled with connections that are
// never accepted, so the kernel drops every further connection request and the
// client's connect waits until it gives up.
class LoopbackStalledHost
{
public:
    explicit LoopbackStalledHost(const QByteArray &address = "127.0.0.1");

    // True once a trial connect was seen not to complete.
    bool isReady() const { return m_ready; }
    QByteArray address() const { return m_address; }
    std::uint16_t port() const { return m_port; }
    QByteArray portText() const { return QByteArray::number(m_port); }

private:
    QByteArray m_address;
    LoopbackFd m_listener;
    std::vector<LoopbackFd> m_fillers;
    std::uint16_t m_port = 0;
    bool m_ready = false;
};
