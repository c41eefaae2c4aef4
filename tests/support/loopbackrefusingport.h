#pragma once

#include <cstdint>

#include <QByteArray>

#include "support/loopbackfd.h"

// A loopback port where nothing listens, so every connect to it is refused.
// The port stays bound (without listening) for the life of the object, so no
// other socket can take it meanwhile.
class LoopbackRefusingPort
{
public:
    explicit LoopbackRefusingPort(const QByteArray &address = "127.0.0.1");

    bool isValid() const { return m_socket.isValid(); }
    QByteArray address() const { return m_address; }
    std::uint16_t port() const { return m_port; }
    QByteArray portText() const { return QByteArray::number(m_port); }

private:
    QByteArray m_address;
    LoopbackFd m_socket;
    std::uint16_t m_port = 0;
};
