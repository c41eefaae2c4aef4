#pragma once

#include <cstdint>
#include <utility>

#include <QByteArray>

// A descriptor that closes itself, for the loopback test helpers.
class LoopbackFd
{
public:
    LoopbackFd() = default;
    explicit LoopbackFd(int fd) : m_fd(fd) {}
    ~LoopbackFd() { reset(); }

    LoopbackFd(LoopbackFd &&other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}
    LoopbackFd &operator=(LoopbackFd &&other) noexcept
    {
        if (this != &other)
            reset(std::exchange(other.m_fd, -1));
        return *this;
    }
    LoopbackFd(const LoopbackFd &) = delete;
    LoopbackFd &operator=(const LoopbackFd &) = delete;

    int get() const { return m_fd; }
    bool isValid() const { return m_fd >= 0; }
    void reset(int fd = -1);

private:
    int m_fd = -1;
};

// A TCP socket bound to address:port (a 127.0.0.x address; port 0 takes an
// ephemeral port), not yet listening. reuseAddress lets a fixed port be bound
// again while old connections linger. Invalid on failure; then error says why.
LoopbackFd BindLoopbackSocket(const QByteArray &address, std::uint16_t port, bool reuseAddress,
                              QByteArray *error);
// The port a bound socket got.
std::uint16_t LoopbackLocalPort(int fd);
