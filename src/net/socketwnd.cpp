#include "net/socketwnd.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <utility>

#include <QSocketNotifier>

#include "net/connecttarget.h"

namespace {

// Waits for a non-blocking connect to finish, for at most timeout.
int AwaitHandshake(int fd, std::chrono::milliseconds timeout)
{
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::max(timeout, std::chrono::milliseconds(0));
    for (;;) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
        const auto waitMs = std::clamp<long long>(left.count(), 0, INT_MAX);
        pollfd entry{fd, POLLOUT, 0};
        const int ready = ::poll(&entry, 1, static_cast<int>(waitMs));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready == 0)
            return kConnectTimedOut;
        if (ready < 0)
            return kConnectFailed;
        int error = 0;
        socklen_t length = sizeof(error);
        if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0 || error != 0)
            return kConnectFailed;
        return kConnectOk;
    }
}

} // namespace

int CSocketWnd::s_nInstances = 0;

CSocketWnd::CSocketWnd(SocketEventSink &parent) : m_parent(parent)
{
    // POSIX sockets need no start-up; the count is kept for whoever watches it.
    ++s_nInstances;
}

CSocketWnd::~CSocketWnd()
{
    --s_nInstances;
    // Closed whatever the count, so that no descriptor outlives its window.
    if (m_hSocket != INVALID_SOCKET)
        Close();
}

int CSocketWnd::Connect(const QByteArray &host, const QByteArray &port,
                        std::chrono::milliseconds timeout)
{
    // A second connect replaces the first socket instead of leaking it.
    if (m_hSocket != INVALID_SOCKET)
        Close();

    ConnectTarget target;
    const int resolved = ResolveConnectTarget(host, port, target);
    if (resolved != kConnectOk)
        return resolved;

    const int fd =
        ::socket(target.address.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return kConnectNoSocket;

    // Non-blocking, so that an unanswered handshake costs at most the time-out.
    int result = kConnectOk;
    if (::connect(fd, reinterpret_cast<const sockaddr *>(&target.address), target.length) != 0) {
        if (errno == EINPROGRESS || errno == EINTR)
            result = AwaitHandshake(fd, timeout);
        else
            result = kConnectFailed;
    }
    if (result != kConnectOk) {
        ::close(fd);
        return result;
    }
    m_hSocket = fd;
    m_eventMask = 0;
    m_bReadArmed = false;
    m_bCloseDelivered = false;
    return kConnectOk;
}

int CSocketWnd::AsyncSelect(long eventMask)
{
    if (m_hSocket == INVALID_SOCKET)
        return 0;
    // Only reading and closing can be reported; other bits are ignored.
    m_eventMask = eventMask & (FD_READ | FD_CLOSE);
    m_bReadArmed = true;
    if (!m_notifier) {
        m_notifier = std::make_unique<QSocketNotifier>(m_hSocket, QSocketNotifier::Read);
        QObject::connect(m_notifier.get(), &QSocketNotifier::activated, m_notifier.get(),
                         [this] { OnReadable(); });
    }
    UpdateNotifier();
    return 0;
}

int CSocketWnd::Send(const char *data, int length, int flags)
{
    if (m_hSocket == INVALID_SOCKET)
        return 0;
    if (length < 0 || (data == nullptr && length > 0)) {
        errno = EINVAL;
        return -1;
    }
    // MSG_NOSIGNAL: a peer that has gone yields an error, not SIGPIPE.
    return static_cast<int>(
        ::send(m_hSocket, data, static_cast<size_t>(length), flags | MSG_NOSIGNAL));
}

int CSocketWnd::Receive(char *buffer, int capacity, int flags)
{
    if (m_hSocket == INVALID_SOCKET) {
        errno = EBADF;
        return -1;
    }
    if (capacity < 0 || (buffer == nullptr && capacity > 0)) {
        errno = EINVAL;
        return -1;
    }
    const auto received =
        ::recv(m_hSocket, buffer, static_cast<size_t>(capacity), flags | MSG_DONTWAIT);
    // Reading is what lets the next FD_READ through.
    m_bReadArmed = true;
    UpdateNotifier();
    return static_cast<int>(received);
}

int CSocketWnd::Close()
{
    if (m_hSocket == INVALID_SOCKET)
        return -1;
    // The notifier goes first: it must never watch a closed (or reused) descriptor.
    if (m_notifier) {
        m_notifier->setEnabled(false);
        m_notifier.reset();
    }
    m_eventMask = 0;
    m_bReadArmed = false;
    m_bCloseDelivered = false;
    return ::close(std::exchange(m_hSocket, INVALID_SOCKET));
}

void CSocketWnd::OnReadable()
{
    char peeked = 0;
    const auto peek = ::recv(m_hSocket, &peeked, 1, MSG_PEEK | MSG_DONTWAIT);
    if (peek < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
        return;

    // Data waiting is FD_READ; end of stream, a reset or any other error is FD_CLOSE.
    const long event = peek > 0 ? FD_READ : FD_CLOSE;
    // Either way the notifier rests until the owner reads: an owner that
    // ignores an event, or did not ask for it, never causes a busy loop.
    m_bReadArmed = false;
    const bool wanted = (m_eventMask & event) != 0;
    if (event == FD_CLOSE && wanted)
        m_bCloseDelivered = true;
    UpdateNotifier();
    if (!wanted)
        return;

    // The owner may destroy this window inside the call: nothing of it is
    // touched once the call has been made.
    SocketEventSink &owner = m_parent;
    owner.OnSocketEvent(m_hSocket, event);
}

void CSocketWnd::UpdateNotifier()
{
    if (m_notifier)
        m_notifier->setEnabled(m_eventMask != 0 && m_bReadArmed && !m_bCloseDelivered);
}
