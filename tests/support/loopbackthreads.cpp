#include "support/loopbackthreads.h"

#include <cerrno>
#include <cstdint>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

bool LoopbackThreads::start(LoopbackFd listener, Accepted accepted, Serve serve, QByteArray &error)
{
    if (::listen(listener.get(), 64) != 0) {
        error = "listen failed";
        return false;
    }
    m_stopEvent = LoopbackFd(::eventfd(0, EFD_CLOEXEC));
    if (!m_stopEvent.isValid()) {
        error = "eventfd failed";
        return false;
    }
    m_accepted = std::move(accepted);
    m_serve = std::move(serve);
    m_listener = std::move(listener);
    m_acceptThread = std::thread(&LoopbackThreads::acceptLoop, this);
    return true;
}

bool LoopbackThreads::waitFor(int fd, short events, int timeoutMs) const
{
    pollfd entries[2] = {{fd, events, 0}, {m_stopEvent.get(), POLLIN, 0}};
    for (;;) {
        const int ready = ::poll(entries, 2, timeoutMs);
        if (ready < 0 && errno == EINTR)
            continue;
        return (entries[1].revents & POLLIN) == 0;
    }
}

bool LoopbackThreads::sendAll(int fd, const QByteArray &bytes) const
{
    qsizetype offset = 0;
    while (offset < bytes.size()) {
        if (!waitFor(fd, POLLOUT))
            return false;
        const auto sent =
            ::send(fd, bytes.constData() + offset, bytes.size() - offset, MSG_NOSIGNAL);
        if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
            continue;
        if (sent < 0)
            return false;
        offset += sent;
    }
    return true;
}

void LoopbackThreads::stop()
{
    {
        const std::lock_guard lock(m_mutex);
        if (m_stopped)
            return;
        m_stopped = true;
    }
    if (m_stopEvent.isValid()) {
        // The event stays readable, so every wait of every thread ends.
        const std::uint64_t one = 1;
        [[maybe_unused]] const auto written = ::write(m_stopEvent.get(), &one, sizeof(one));
    }
    if (m_acceptThread.joinable())
        m_acceptThread.join();
    // The accept thread has ended, so no thread is added any more.
    for (std::thread &thread : m_connectionThreads)
        thread.join();
    m_connectionThreads.clear();
    m_listener.reset();
}

void LoopbackThreads::acceptLoop()
{
    while (waitFor(m_listener.get(), POLLIN)) {
        const int fd = ::accept4(m_listener.get(), nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0) {
            // Out of descriptors or a client that left before we took it:
            // pause briefly instead of spinning on a listener that stays readable.
            if (errno != EAGAIN && errno != EINTR && errno != ECONNABORTED)
                waitFor(-1, 0, 10);
            continue;
        }
        m_accepted();
        const std::lock_guard lock(m_mutex);
        m_connectionThreads.emplace_back(m_serve, LoopbackFd(fd), m_nAccepted++);
    }
}
