#include "httpprobe.h"

#include <cstring>
#include <sys/socket.h>

#include "engine/modernurl.h"
#include "engine/probedisplay.h"
#include "engine/probemode.h"
#include "engine/resultcategories.h"
#include "engine/urlparts.h"

namespace {

// After the first piece of a reply only what has already arrived is read and
// thrown away, and no more than this: a host streaming a huge body must not
// keep the program reading.
constexpr int kMaxDrainBytes = 64 * 1024;

std::uint32_t TlsFailureCode(TlsClient::Outcome outcome)
{
    switch (outcome) {
    case TlsClient::Outcome::NotTrusted:
        return PROBE_ERR_TLS_NOT_TRUSTED;
    case TlsClient::Outcome::Expired:
        return PROBE_ERR_TLS_EXPIRED;
    case TlsClient::Outcome::OtherHost:
        return PROBE_ERR_TLS_OTHER_HOST;
    default:
        break;
    }
    return PROBE_ERR_TLS_HANDSHAKE;
}

// The port of a link without one of its own: the scheme's, or the one the
// tests put in its place.
const QByteArray &SchemePort(const ProbePorts &ports, LinkScheme scheme)
{
    switch (scheme) {
    case LinkScheme::Https:
        return ports.https;
    case LinkScheme::Ftp:
        return ports.ftp;
    case LinkScheme::Http:
        break;
    }
    return ports.http;
}

QByteArray ConnectPort(const ProbePorts &ports, const ModernUrl &url)
{
    return url.bOwnPort ? QByteArray::number(url.port) : SchemePort(ports, url.scheme);
}

} // namespace

bool ProbesTodaysWay(const ProbePorts &ports, const QByteArray &link)
{
    if (ports.mode && ports.mode->bTodaysWeb)
        return true;
    return link.left(8).compare("https://", Qt::CaseInsensitive) == 0;
}

QByteArray ProbeTargetKey(const ProbePorts &ports, const QByteArray &link, int protocol)
{
    if (ProbesTodaysWay(ports, link)) {
        ModernUrl url;
        if (SplitModernUrl(link, url) == 0)
            return url.asciiHost + ':' + ConnectPort(ports, url);
    }
    // Host names do not depend on case; the port is the one the probe uses.
    return GetHostName(link, protocol).toLower() + ':' +
           (protocol == PROTOCOL_HTTP ? ports.http : ports.ftp);
}

CHttpProbe::CHttpProbe(ProbeDisplay &ui, ReplyListener &listener, ProbePorts ports,
                       AsyncResolver &resolver)
    : m_resolver(resolver), m_ui(ui), m_listener(listener), m_ports(std::move(ports))
{
    if (!m_ports.mode)
        m_ports.mode = std::make_shared<ProbeMode>();
}

CHttpProbe::~CHttpProbe()
{
    DropConnection();
}

void CHttpProbe::OpenConnection()
{
    m_pSocket = std::make_unique<CSocketWnd>(*this, m_resolver);
}

void CHttpProbe::CloseConnection()
{
    DropConnection();
    Show(StatusEvent::Kind::ConnectionClosed);
}

void CHttpProbe::DropConnection()
{
    // A connect cut short (stop, time-out, closing) ends its wait cursor too.
    EndWaitCursor();
    // The session goes before the socket it runs over.
    m_pTls.reset();
    if (m_pSocket == nullptr)
        return;
    m_pSocket->Close();
    m_pSocket.reset();
}

int CHttpProbe::SendRequest(const QByteArray &link)
{
    // A file of the site is looked at on disk, and the answer is known at once.
    if (m_ports.mode && CLocalLinks::IsLocalLink(link)) {
        m_bLackedResources = false;
        return static_cast<int>(m_ports.mode->localLinks.Check(link));
    }
    m_bTodaysWay = ProbesTodaysWay(m_ports, link);
    QByteArray port;
    QByteArray lookup;
    int split = 0;
    if (m_bTodaysWay) {
        m_modernUrl = ModernUrl();
        split = SplitModernUrl(link, m_modernUrl);
        m_strHost = m_modernUrl.host;
        lookup = m_modernUrl.asciiHost;
        port = ConnectPort(m_ports, m_modernUrl);
        m_strPath = m_modernUrl.path;
    } else {
        m_strHost = GetHostName(link, m_nProtocol);
        lookup = m_strHost;
        port = m_nProtocol == PROTOCOL_HTTP ? m_ports.http : m_ports.ftp;
        m_strPath = GetUrlPath(link, m_nProtocol);
    }

    if (m_pSocket != nullptr)
        CloseConnection();
    OpenConnection();
    ClearReply();

    m_bLackedResources = false;
    m_bWaitCursor = true;
    Show(StatusEvent::Kind::Connecting, m_strHost);
    const int result = split != 0
                           ? split
                           : m_pSocket->Connect(lookup, port,
                                                m_bTodaysWay ? CSocketWnd::HostRule::Exact
                                                             : CSocketWnd::HostRule::Classic);
    if (result >= static_cast<int>(kFirstFailureCode)) {
        OnConnected(result);
        return result;
    }
    return 0;
}

void CHttpProbe::OnConnected(int result)
{
    EndWaitCursor();
    Show(StatusEvent::Kind::Connected, m_strHost);
    if (result >= static_cast<int>(kFirstFailureCode)) {
        m_bLackedResources = m_pSocket->LackedResources();
        CloseConnection();
        return;
    }
    if (m_bTodaysWay) {
        StartTodaysExchange();
        return;
    }
    m_pSocket->AsyncSelect(FD_READ | FD_CLOSE);

    if (m_nProtocol == PROTOCOL_HTTP) {
        // The Host header names the host looked up: servers that hold many
        // sites at one address need it to find the page at all.
        const QByteArray request = ClassicRequest(m_strPath, m_strHost);
        m_pSocket->Send(request.constData(), static_cast<int>(request.size()), 0);
        Show(StatusEvent::Kind::RequestSent);
    } else {
        Show(StatusEvent::Kind::NothingSent);
    }
}

void CHttpProbe::StartTodaysExchange()
{
    const QByteArray request = ModernRequest(m_modernUrl);
    if (m_modernUrl.scheme == LinkScheme::Https) {
        // The session alone watches the socket: nothing is read or sent
        // around it, and nothing at all before the certificate is verified.
        TlsExchangeListener &listener = *this;
        m_pTls = std::make_unique<CTlsExchange>(listener, m_ports.mode->Tls(), m_pSocket->m_hSocket,
                                                m_modernUrl.asciiHost, request, 512,
                                                &StatusLineComplete);
        m_pTls->Start();
        Show(StatusEvent::Kind::NothingSent);
        return;
    }
    m_pSocket->AsyncSelect(FD_READ | FD_CLOSE);
    if (m_modernUrl.scheme == LinkScheme::Http) {
        m_pSocket->Send(request.constData(), static_cast<int>(request.size()), 0);
        Show(StatusEvent::Kind::RequestSent);
    } else {
        Show(StatusEvent::Kind::NothingSent);
    }
}

void CHttpProbe::OnTlsFailed(TlsClient::Outcome outcome)
{
    // A certificate that is refused is an outcome at once.
    CloseConnection();
    m_listener.OnConnectFailed(TlsFailureCode(outcome));
}

void CHttpProbe::OnTlsRequestSent()
{
    Show(StatusEvent::Kind::RequestSent);
}

void CHttpProbe::OnTlsReply(const char *data, int length)
{
    Show(StatusEvent::Kind::ReplyArriving);
    TakeReplyPiece(data, length);
    m_listener.OnReplyReceived();
}

void CHttpProbe::OnTlsClosed()
{
    CloseConnection();
    Show(StatusEvent::Kind::ClosedByHost);
    m_listener.OnClosedByHost();
}

void CHttpProbe::ClearReply()
{
    std::memset(m_szReply, 0, sizeof m_szReply);
    m_szReply[513] = '\n';
    m_nReplyBytes = 0;
}

bool CHttpProbe::ReplyComplete() const
{
    if (m_nProtocol == PROTOCOL_FTP)
        return m_nReplyBytes > 0;
    return StatusLineComplete(m_szReply, m_nReplyBytes);
}

bool CHttpProbe::ReceiveReply()
{
    while (!ReplyComplete()) {
        const int got = m_pSocket->Receive(m_szReply + m_nReplyBytes, 512 - m_nReplyBytes, 0);
        if (got <= 0)
            return false;
        m_nReplyBytes += got;
    }
    char scratch[512];
    for (int drained = 0; drained < kMaxDrainBytes;) {
        const int got = m_pSocket->Receive(scratch, sizeof scratch, 0);
        if (got <= 0)
            break;
        drained += got;
    }
    return true;
}

void CHttpProbe::TakeReplyPiece(const char *data, int length)
{
    ClearReply();
    m_nReplyBytes = std::clamp(length, 0, 512);
    if (m_nReplyBytes > 0)
        std::memcpy(m_szReply, data, static_cast<std::size_t>(m_nReplyBytes));
}

void CHttpProbe::Show(StatusEvent::Kind kind, const QByteArray &host)
{
    m_ui.ShowStatus({kind, host});
}

void CHttpProbe::EndWaitCursor()
{
    if (!m_bWaitCursor)
        return;
    m_bWaitCursor = false;
    Show(StatusEvent::Kind::ConnectWaitOver);
}

void CHttpProbe::OnSocketEvent(int, long event, int error)
{
    if (event == FD_CONNECT && m_pSocket != nullptr) {
        OnConnected(error);
        if (error >= static_cast<int>(kFirstFailureCode))
            m_listener.OnConnectFailed(static_cast<std::uint32_t>(error));
    } else if (event == FD_READ && m_pSocket != nullptr) {
        if (m_nReplyBytes == 0)
            Show(StatusEvent::Kind::ReplyArriving);
        // A status line that came in part waits for its rest, the host's
        // close or the time-out: the code it holds so far may be cut short.
        if (ReceiveReply())
            m_listener.OnReplyReceived();
    } else if (event == FD_CLOSE) {
        // A host that closes in the middle of its status line has said all
        // it will: the reply is what came.
        const bool replied = m_nReplyBytes > 0;
        CloseConnection();
        Show(StatusEvent::Kind::ClosedByHost);
        if (replied)
            m_listener.OnReplyReceived();
        else
            m_listener.OnClosedByHost();
    }
}

std::optional<std::uint32_t> CHttpProbe::ReplyCode() const
{
    return ParseReplyCode(m_szReply, m_nReplyBytes);
}

std::vector<std::pair<QByteArray, QByteArray>> CHttpProbe::ReplyHeaders() const
{
    return ParseReplyHeaders(m_szReply, m_nReplyBytes);
}
