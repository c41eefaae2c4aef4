#include "support/loopbackrefusingport.h"

LoopbackRefusingPort::LoopbackRefusingPort(const QByteArray &address)
    : m_address(address), m_socket(BindLoopbackSocket(address, 0, false, nullptr))
{
    if (m_socket.isValid())
        m_port = LoopbackLocalPort(m_socket.get());
}
