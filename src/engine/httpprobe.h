#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>

#include <QByteArray>

#include "net/socketwnd.h"

class EngineUi;

// The ports the probe connects to; tests point them at ephemeral ports.
struct ProbePorts
{
    QByteArray http = "80";
    QByteArray ftp = "21";
};

// Told when the first piece of a host's reply has arrived.
class ReplyListener
{
public:
    virtual ~ReplyListener() = default;
    virtual void OnReplyReceived() = 0;
};

// Tests one link: connects to its host on the protocol's port, sends an
// HTTP/1.0 GET request for its path (http only), and hands the first piece of
// the reply to its listener. Keeps status panes 1 and 2 up to date.
class CHttpProbe final : public SocketEventSink
{
public:
    CHttpProbe(EngineUi &ui, ReplyListener &listener, ProbePorts ports);
    ~CHttpProbe() override;

    // 0 when connected (and, for http, the request sent), else a failure code
    // 10000 to 10005. The connect gives up after timeout.
    int SendRequest(const QByteArray &link, std::chrono::milliseconds timeout);
    void OpenConnection();
    void CloseConnection();
    // Closes the connection in flight without touching the status panes.
    void DropConnection();
    void OnSocketEvent(int socket, long event) override;

    // The code of the last reply taken, if its first line held one.
    std::optional<std::uint32_t> ReplyCode() const;

    std::unique_ptr<CSocketWnd> m_pSocket;
    int m_nProtocol = 1;
    // The first piece of the reply: up to 512 bytes, a zero byte at 512 and a
    // line feed at 513.
    char m_szReply[514] = {};

private:
    EngineUi &m_ui;
    ReplyListener &m_listener;
    ProbePorts m_ports;
    int m_nReplyBytes = 0;
};
