#pragma once

#include <chrono>
#include <memory>

#include <QByteArray>

class QSocketNotifier;

// Socket events, as the probe's notification handler receives them.
inline constexpr long FD_READ = 1;
inline constexpr long FD_CLOSE = 32;
inline constexpr int INVALID_SOCKET = -1;

// The owner of a socket window: it receives every read and close notification,
// synchronously, on the event-loop thread. It may destroy the socket window
// from inside OnSocketEvent.
class SocketEventSink
{
public:
    virtual ~SocketEventSink() = default;
    virtual void OnSocketEvent(int socket, long event) = 0;
};

// One TCP stream socket with a blocking connect and asynchronous read and close
// notifications delivered to its owner.
class CSocketWnd
{
public:
    explicit CSocketWnd(SocketEventSink &parent);
    ~CSocketWnd();

    CSocketWnd(const CSocketWnd &) = delete;
    CSocketWnd &operator=(const CSocketWnd &) = delete;

    // Resolves host and connects to it on port (decimal text). Returns 0 when
    // connected (the socket is then m_hSocket), else a failure code:
    // 10001 empty host or port outside 1 to 65535, 10002 name does not
    // resolve, 10003 no socket, 10004 refused or failed, 10005 the handshake
    // did not complete within timeout. Only the handshake is bounded by
    // timeout; name resolution blocks as long as the resolver takes.
    int Connect(const QByteArray &host, const QByteArray &port, std::chrono::milliseconds timeout);
    // Asks for FD_READ and/or FD_CLOSE notifications; 0 when there is no socket.
    // FD_READ comes again only after a Receive; FD_CLOSE comes once, after the
    // data before it has been read.
    int AsyncSelect(long eventMask);
    int Send(const char *data, int length, int flags);
    // Returns what has already arrived: bytes read, 0 at an orderly close,
    // negative when nothing is waiting or on error. Never blocks.
    int Receive(char *buffer, int capacity, int flags);
    // Stops notifications and closes the socket; the result of close, or -1
    // when there was no socket.
    int Close();

    // Socket windows alive in the process.
    static int s_nInstances;

    int m_hSocket = INVALID_SOCKET;

private:
    // The notifier saw the socket readable: works out which event that is and
    // forwards it to the owner.
    void OnReadable();
    // Enables the notifier exactly when an event may still be delivered.
    void UpdateNotifier();

    SocketEventSink &m_parent;
    long m_eventMask = 0;
    std::unique_ptr<QSocketNotifier> m_notifier;
    // FD_READ is reported once and then only again after a Receive.
    bool m_bReadArmed = false;
    // FD_CLOSE is reported once per connection.
    bool m_bCloseDelivered = false;
};
