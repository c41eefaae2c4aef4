#pragma once

#include <cstdint>
#include <memory>

#include <QByteArray>

class AsyncResolver;
class QSocketNotifier;
struct ConnectTarget;

// Socket events, as the probe's notification handler receives them.
inline constexpr long FD_READ = 1;
inline constexpr long FD_CONNECT = 16;
inline constexpr long FD_CLOSE = 32;
inline constexpr int INVALID_SOCKET = -1;

// The owner of a socket window: it receives every connect, read and close
// notification, synchronously, on the event-loop thread. It may destroy the
// socket window from inside OnSocketEvent.
class SocketEventSink
{
public:
    virtual ~SocketEventSink() = default;
    // error: for FD_CONNECT the outcome of the connect, 0 or a failure code
    // 10001 to 10004; 0 for the other events.
    virtual void OnSocketEvent(int socket, long event, int error) = 0;
};

// One TCP stream socket with an asynchronous connect and asynchronous read
// and close notifications delivered to its owner. Names are looked up through
// the resolver, which the socket window shares with its siblings.
class CSocketWnd
{
public:
    // How a host that starts with a digit is read. Both read a number as
    // inet_aton does (127.1 is 127.0.0.1) and allow the root's trailing dot.
    // Classic: as an IPv4 address whatever follows, so that one that is no
    // number fails at the connect. Exact: as an address only when it is a
    // whole IPv4 or IPv6 address, else as a name to look up.
    enum class HostRule
    {
        Classic,
        Exact
    };

    CSocketWnd(SocketEventSink &parent, AsyncResolver &resolver);
    ~CSocketWnd();

    CSocketWnd(const CSocketWnd &) = delete;
    CSocketWnd &operator=(const CSocketWnd &) = delete;

    // Starts connecting to host on port (decimal text) and returns at once.
    // 0: the connect is under way; its outcome comes later, never from inside
    // this call, as FD_CONNECT carrying 0 (connected: the socket is then
    // m_hSocket) or a failure code. A failure that shows at once is returned
    // instead, and then no FD_CONNECT follows: 10001 empty host or port
    // outside 1 to 65535, 10002 name does not resolve, 10003 no socket,
    // 10004 refused or failed. Nothing bounds the wait: the caller's time-out
    // does, by closing the socket window.
    int Connect(const QByteArray &host, const QByteArray &port, HostRule rule = HostRule::Classic);
    // A connect has been started and its FD_CONNECT has not come yet.
    bool IsConnecting() const { return m_lookupId != 0 || m_nConnectingSocket >= 0; }
    // Asks for FD_READ and/or FD_CLOSE notifications; 0 when there is no socket.
    // FD_READ comes again only after a Receive; FD_CLOSE comes once, after the
    // data before it has been read.
    int AsyncSelect(long eventMask);
    int Send(const char *data, int length, int flags);
    // Returns what has already arrived: bytes read, 0 at an orderly close,
    // negative when nothing is waiting or on error. Never blocks.
    int Receive(char *buffer, int capacity, int flags);
    // Abandons a connect in progress (no FD_CONNECT comes), stops
    // notifications and closes the socket; the result of close, or -1 when
    // there was no connected socket.
    int Close();

    // The last connect failed for want of a descriptor, memory or a local
    // port in this process (10003, or 10004 with no local port left), not
    // because of the host.
    bool LackedResources() const { return m_bLackedResources; }

    // Socket windows alive in the process.
    static int s_nInstances;

    int m_hSocket = INVALID_SOCKET;

private:
    // The address is known: creates the socket and starts the handshake.
    // Returns 0 while it runs (FD_CONNECT then follows), else a failure code.
    int StartHandshake(ConnectTarget &target);
    void OnLookupDone(int result, ConnectTarget target);
    void OnHandshakeDone();
    // Hands FD_CONNECT to the owner; nothing of this window is touched after.
    void ReportConnect(int result);
    void AbandonConnect();
    // The notifier saw the socket readable: works out which event that is and
    // forwards it to the owner.
    void OnReadable();
    // Enables the notifier exactly when an event may still be delivered.
    void UpdateNotifier();

    SocketEventSink &m_parent;
    AsyncResolver &m_resolver;
    // The lookup in progress, 0 when none.
    std::uint64_t m_lookupId = 0;
    std::uint16_t m_nPort = 0;
    // The socket whose handshake is in progress, and its writability watch.
    int m_nConnectingSocket = INVALID_SOCKET;
    std::unique_ptr<QSocketNotifier> m_connectNotifier;
    long m_eventMask = 0;
    std::unique_ptr<QSocketNotifier> m_notifier;
    // FD_READ is reported once and then only again after a Receive.
    bool m_bReadArmed = false;
    // FD_CLOSE is reported once per connection.
    bool m_bCloseDelivered = false;
    bool m_bLackedResources = false;
};
