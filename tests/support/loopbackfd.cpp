#include "support/loopbackfd.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

void LoopbackFd::reset(int fd)
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = fd;
}

LoopbackFd BindLoopbackSocket(const QByteArray &address, std::uint16_t port, bool reuseAddress,
                              QByteArray *error)
{
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(port);
    if (inet_pton(AF_INET, address.constData(), &local.sin_addr) != 1 ||
        (ntohl(local.sin_addr.s_addr) >> 24) != 127) {
        if (error != nullptr)
            *error = "not a loopback address: " + address;
        return {};
    }
    LoopbackFd fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    const int on = 1;
    if (fd.isValid() && reuseAddress)
        ::setsockopt(fd.get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof(on));
    if (!fd.isValid() ||
        ::bind(fd.get(), reinterpret_cast<const sockaddr *>(&local), sizeof(local)) != 0) {
        if (error != nullptr)
            *error = "cannot bind " + address + ':' + QByteArray::number(port) + ": " +
                     std::strerror(errno);
        return {};
    }
    return fd;
}

std::uint16_t LoopbackLocalPort(int fd)
{
    sockaddr_in local{};
    socklen_t length = sizeof(local);
    if (::getsockname(fd, reinterpret_cast<sockaddr *>(&local), &length) != 0)
        return 0;
    return ntohs(local.sin_port);
}
