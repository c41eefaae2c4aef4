#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include <QByteArray>

#include "engine/modernurl.h"
#include "engine/probedisplay.h"
#include "net/asyncresolver.h"
#include "net/socketwnd.h"

class CWebProbe;

struct ProbeMode;

// The ports the probe connects to when a link names none; tests point them at
// ephemeral ports. Also carries the mode the probes share.
struct ProbePorts
{
    ProbePorts() = default;
    ProbePorts(QByteArray httpPort, QByteArray ftpPort, QByteArray httpsPort = "443")
        : http(std::move(httpPort)), ftp(std::move(ftpPort)), https(std::move(httpsPort))
    {}

    QByteArray http = "80";
    QByteArray ftp = "21";
    QByteArray https = "443";
    // Null: every link is probed the classic way.
    std::shared_ptr<ProbeMode> mode;
};

// Whether a link is probed as today's web mode probes it: always in that
// mode, and an https link whatever the mode (only that mode selects them).
bool ProbesTodaysWay(const ProbePorts &ports, const QByteArray &link);
// The host and port a link's probe connects to, as "host:port", for counting
// the probes towards one host.
QByteArray ProbeTargetKey(const ProbePorts &ports, const QByteArray &link, int protocol);

// Told how a probe that SendRequest left pending goes on.
class ReplyListener
{
public:
    virtual ~ReplyListener() = default;
    // The host's reply has arrived as far as its code needs: the whole status
    // line, or what came of it before the host closed the connection.
    virtual void OnReplyReceived() = 0;
    // The connect failed: code is 10000 to 10004. The connection is closed.
    virtual void OnConnectFailed(std::uint32_t code) = 0;
    // The host closed the connection without a reply; the connection is
    // closed. Nothing can come any more but the time-out.
    virtual void OnClosedByHost() {}
};

// Tests one link: connects to its host on the protocol's port, sends an
// HTTP/1.0 GET request for its path (http only), and hands the start of the
// reply to its listener once its status line is complete (an ftp host's
// greeting: its first bytes). Today's web mode probes http and https links
// through libcurl instead (CWebProbe). Name lookup and connect never block:
// both go on from the event loop. Tells its display how it goes on:
// connecting, the request sent, the reply arriving, the connection closed.
class CHttpProbe final : public SocketEventSink
{
public:
    // Looks names up with the resolver given, which must outlive it.
    CHttpProbe(ProbeDisplay &ui, ReplyListener &listener, ProbePorts ports,
               AsyncResolver &resolver);
    ~CHttpProbe() override;

    CHttpProbe(const CHttpProbe &) = delete;
    CHttpProbe &operator=(const CHttpProbe &) = delete;

    // Starts the probe of link: 0 when the connect is under way (its outcome
    // reaches the listener later), else a failure code 10001 to 10004 that
    // showed at once, with the connection already closed.
    int SendRequest(const QByteArray &link);
    void OpenConnection();
    // Ends the connection or the connect in flight, and shows it closed.
    void CloseConnection();
    // The same without showing it.
    void DropConnection();
    void OnSocketEvent(int socket, long event, int error) override;

    // The code of the last reply taken, if its first line held one.
    std::optional<std::uint32_t> ReplyCode() const;
    // The last reply's header fields, names in lower case (today's web mode).
    std::vector<std::pair<QByteArray, QByteArray>> ReplyHeaders() const;
    // A probe is in flight, or its connection open.
    bool HasConnection() const;
    // The code of a reply whose status line has come while the rest is still
    // being read, if any: a time-out now ends a probe that has its outcome.
    std::optional<std::uint32_t> StatusSoFar() const;
    // The last connect failed because this process had no descriptor or no
    // local port left, not because of the host.
    bool FailedForLackOfResources() const { return m_bLackedResources; }

    // The resolver of this probe's socket windows.
    AsyncResolver &m_resolver;
    std::unique_ptr<CSocketWnd> m_pSocket;
    int m_nProtocol = 1;
    // The start of the reply: up to 512 bytes, gathered over as many receives
    // as its status line takes, a zero byte at 512 and a line feed at 513.
    char m_szReply[514] = {};

private:
    // The connect has an outcome: go on as after a blocking connect.
    void OnConnected(int result);
    // The connection is up: today's web mode reads an ftp host's greeting.
    void StartTodaysExchange();
    // Empties the reply for the probe that starts.
    void ClearReply();
    // The reply received so far settles the outcome: for http its status line
    // is complete, for ftp any greeting counts.
    bool ReplyComplete() const;
    // Reads what has arrived into the reply; true once it is complete, and
    // then the rest that has arrived is thrown away.
    bool ReceiveReply();
    void Show(StatusEvent::Kind kind, const QByteArray &host = {});
    void EndWaitCursor();

    ProbeDisplay &m_ui;
    ReplyListener &m_listener;
    ProbePorts m_ports;
    int m_nReplyBytes = 0;
    // The host and path of the probe in flight.
    QByteArray m_strHost;
    QByteArray m_strPath;
    bool m_bWaitCursor = false;
    // The probe in flight goes today's way; its link split.
    bool m_bTodaysWay = false;
    ModernUrl m_modernUrl;
    // Today's web probe of http and https links, made at its first link; the
    // last probe went through it.
    std::unique_ptr<CWebProbe> m_pWeb;
    bool m_bWeb = false;
    bool m_bLackedResources = false;
};
