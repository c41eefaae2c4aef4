#include "support/loopbackstalledhost.h"

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

namespace {

enum class Trial
{
    Completed,
    Pending,
    Failed
};

// Starts a connect and waits a while for the handshake.
Trial TryConnect(const sockaddr_in &target, LoopbackFd &socket)
{
    // Generous: a loopback handshake takes microseconds, even on a loaded machine.
    constexpr int kHandshakeWaitMs = 500;
    socket = LoopbackFd(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (!socket.isValid())
        return Trial::Failed;
    if (::connect(socket.get(), reinterpret_cast<const sockaddr *>(&target), sizeof(target)) == 0)
        return Trial::Completed;
    if (errno != EINPROGRESS)
        return Trial::Failed;
    pollfd entry{socket.get(), POLLOUT, 0};
    int ready;
    do {
        ready = ::poll(&entry, 1, kHandshakeWaitMs);
    } while (ready < 0 && errno == EINTR);
    if (ready == 0)
        return Trial::Pending;
    int error = 0;
    socklen_t length = sizeof(error);
    ::getsockopt(socket.get(), SOL_SOCKET, SO_ERROR, &error, &length);
    return error == 0 ? Trial::Completed : Trial::Failed;
}

} // namespace

LoopbackStalledHost::LoopbackStalledHost(const QByteArray &address) : m_address(address)
{
    m_listener = BindLoopbackSocket(address, 0, false, nullptr);
    if (!m_listener.isValid() || ::listen(m_listener.get(), 0) != 0)
        return;
    m_port = LoopbackLocalPort(m_listener.get());

    sockaddr_in target{};
    target.sin_family = AF_INET;
    target.sin_port = htons(m_port);
    inet_pton(AF_INET, address.constData(), &target.sin_addr);

    // The kernel may queue a connection or two beyond the backlog; fill until
    // one is left waiting. The trial socket that waited is then dropped.
    for (int attempt = 0; attempt < 64; ++attempt) {
        LoopbackFd trial;
        const Trial outcome = TryConnect(target, trial);
        if (outcome == Trial::Completed) {
            m_fillers.push_back(std::move(trial));
            continue;
        }
        m_ready = outcome == Trial::Pending;
        return;
    }
}
