#include "httpprobe.h"

#include <cstring>
#include <sys/socket.h>

#include "engine/modernurl.h"
#include "engine/probedisplay.h"
#include "engine/probemode.h"
#include "engine/resultcategories.h"
#include "engine/urlparts.h"
#include "engine/webprobe.h"

namespace {

// After the first piece of a reply only what has already arrived is read and
// thrown away, and no more than this: a host streaming a huge body must not
// keep the program reading.
constexpr int kMaxDrainBytes = 64 * 1024;

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
    if (m_pWeb && m_pWeb->IsOpen()) {
        m_pWeb->Close(true);
        return;
    }
    DropConnection();
    Show(StatusEvent::Kind::ConnectionClosed);
}

void CHttpProbe::DropConnection()
{
    // A connect cut short (stop, time-out, closing) ends its wait cursor too.
    EndWaitCursor();
    if (m_pWeb)
        m_pWeb->Close(false);
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
        m_bWeb = false;
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

    if (HasConnection())
        CloseConnection();
    m_bWeb = m_bTodaysWay && split == 0 && m_modernUrl.scheme != LinkScheme::Ftp;
    m_bLackedResources = false;
    if (m_bWeb) {
        if (!m_pWeb)
            m_pWeb = std::make_unique<CWebProbe>(m_ui, m_listener, m_resolver, *m_ports.mode);
        const qsizetype hash = link.indexOf('#');
        return m_pWeb->Start(m_modernUrl, port, hash < 0 ? QByteArray() : link.mid(hash + 1));
    }
    OpenConnection();
    ClearReply();

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
    m_pSocket->AsyncSelect(FD_READ | FD_CLOSE);
    Show(StatusEvent::Kind::NothingSent);
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
    if (m_bWeb)
        return m_pWeb->ReplyCode();
    return ParseReplyCode(m_szReply, m_nReplyBytes);
}

std::vector<std::pair<QByteArray, QByteArray>> CHttpProbe::ReplyHeaders() const
{
    if (m_bWeb)
        return m_pWeb->ReplyHeaders();
    return {};
}

bool CHttpProbe::HasConnection() const
{
    return m_pSocket != nullptr || (m_pWeb && m_pWeb->IsOpen());
}

std::optional<std::uint32_t> CHttpProbe::StatusSoFar() const
{
    if (m_bWeb && m_pWeb->IsOpen())
        return m_pWeb->StatusSoFar();
    return std::nullopt;
}
