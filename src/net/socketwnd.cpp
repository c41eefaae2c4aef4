#include "net/socketwnd.h"

#include <cerrno>
#include <sys/socket.h>
#include <unistd.h>
#include <utility>

#include <QSocketNotifier>

#include "net/asyncresolver.h"
#include "net/connecttarget.h"

int CSocketWnd::s_nInstances = 0;

CSocketWnd::CSocketWnd(SocketEventSink &parent, AsyncResolver &resolver)
    : m_parent(parent), m_resolver(resolver)
{
    // POSIX sockets need no start-up; the count is kept for whoever watches it.
    ++s_nInstances;
}

CSocketWnd::~CSocketWnd()
{
    --s_nInstances;
    // Whatever the count: no lookup, handshake or descriptor outlives its window.
    Close();
}

int CSocketWnd::Connect(const QByteArray &host, const QByteArray &port, HostRule rule)
{
    // A second connect replaces the first instead of leaking it.
    Close();
    m_bLackedResources = false;

    QByteArray name;
    const int checked = CheckConnectArguments(host, port, name, m_nPort);
    if (checked != kConnectOk)
        return checked;

    ConnectTarget target;
    if (rule == HostRule::Exact && LiteralTarget(name, target)) {
        // An address written in the link is connected to as it is.
    } else if (rule == HostRule::Classic && IsNumericHost(name)) {
        target = NumericTarget(name);
    } else {
        std::uint64_t id = 0;
        const int found = m_resolver.Lookup(
            name, target,
            [this](int result, const ConnectTarget &address) { OnLookupDone(result, address); },
            id);
        if (found == AsyncResolver::kLookupPending) {
            m_lookupId = id;
            return kConnectOk;
        }
        if (found != kConnectOk)
            return found;
    }
    return StartHandshake(target);
}

int CSocketWnd::StartHandshake(ConnectTarget &target)
{
    if (AimTarget(target, m_nPort) != kConnectOk)
        return kConnectFailed;
    const int fd =
        ::socket(target.address.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        m_bLackedResources =
            errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM;
        return kConnectNoSocket;
    }
    // A refusal the kernel knows at once is a failure at once; an interrupted
    // connect goes on in the background like one in progress.
    if (::connect(fd, reinterpret_cast<const sockaddr *>(&target.address), target.length) != 0 &&
        errno != EINPROGRESS && errno != EINTR) {
        // EADDRNOTAVAIL: every local port towards that address is in use.
        m_bLackedResources = errno == EADDRNOTAVAIL || errno == EAGAIN;
        ::close(fd);
        return kConnectFailed;
    }
    // Even a connect that completed at once is reported from the event loop,
    // when the socket shows writable, so that the caller is never re-entered.
    m_nConnectingSocket = fd;
    m_connectNotifier = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Write);
    QObject::connect(m_connectNotifier.get(), &QSocketNotifier::activated, m_connectNotifier.get(),
                     [this] { OnHandshakeDone(); });
    return kConnectOk;
}

void CSocketWnd::OnLookupDone(int result, ConnectTarget target)
{
    m_lookupId = 0;
    if (result == kConnectOk)
        result = StartHandshake(target);
    if (result != kConnectOk)
        ReportConnect(result);
}

void CSocketWnd::OnHandshakeDone()
{
    // Destroying the notifier inside its own activation is safe: Qt checks
    // that it is still alive after the signal.
    m_connectNotifier.reset();
    const int fd = std::exchange(m_nConnectingSocket, INVALID_SOCKET);
    int error = 0;
    socklen_t length = sizeof(error);
    const bool answered = ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) == 0;
    // A host that took the connection and reset it at once did connect; its
    // reset is the close that follows. Whether the reset came before this
    // event loop looked must not change the outcome, or a run with other
    // probes beside it could report that host differently.
    if (answered && error == ECONNRESET)
        error = 0;
    if (!answered || error != 0) {
        ::close(fd);
        ReportConnect(kConnectFailed);
        return;
    }
    m_hSocket = fd;
    m_eventMask = 0;
    m_bReadArmed = false;
    m_bCloseDelivered = false;
    ReportConnect(kConnectOk);
}

void CSocketWnd::ReportConnect(int result)
{
    // The owner may destroy this window inside the call.
    SocketEventSink &owner = m_parent;
    owner.OnSocketEvent(m_hSocket, FD_CONNECT, result);
}

void CSocketWnd::AbandonConnect()
{
    if (m_lookupId != 0)
        m_resolver.Cancel(std::exchange(m_lookupId, 0));
    m_connectNotifier.reset();
    if (m_nConnectingSocket != INVALID_SOCKET)
        ::close(std::exchange(m_nConnectingSocket, INVALID_SOCKET));
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
    AbandonConnect();
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
    owner.OnSocketEvent(m_hSocket, event, 0);
}

void CSocketWnd::UpdateNotifier()
{
    if (m_notifier)
        m_notifier->setEnabled(m_eventMask != 0 && m_bReadArmed && !m_bCloseDelivered);
}
