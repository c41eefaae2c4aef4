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
    // 10001 empty host or port 0, 10002 name does not resolve, 10003 no
    // socket, 10004 refused or failed, 10005 the handshake did not complete
    // within timeout.
    int Connect(const QByteArray &host, const QByteArray &port, std::chrono::milliseconds timeout);
    // Asks for FD_READ and/or FD_CLOSE notifications; 0 when there is no socket.
    int AsyncSelect(long eventMask);
    int Send(const char *data, int length, int flags);
    // Returns what has already arrived: bytes read, 0 at an orderly close,
    // negative when nothing is waiting or on error. Never blocks.
    int Receive(char *buffer, int capacity, int flags);
    int Close();

    // Socket windows alive in the process.
    static int s_nInstances;

    int m_hSocket = INVALID_SOCKET;

private:
    SocketEventSink &m_parent;
    long m_eventMask = 0;
    std::unique_ptr<QSocketNotifier> m_notifier;
};
