#include "httpprobe.h"

#include <cstring>
#include <sys/socket.h>

#include "engine/probedisplay.h"
#include "engine/resultcategories.h"
#include "engine/urlparts.h"

namespace {

// After the first piece of a reply only what has already arrived is read and
// thrown away, and no more than this: a host streaming a huge body must not
// keep the program reading.
constexpr int kMaxDrainBytes = 64 * 1024;

QString Text(const QByteArray &bytes)
{
    return QString::fromUtf8(bytes);
}

} // namespace

CHttpProbe::CHttpProbe(ProbeDisplay &ui, ReplyListener &listener, ProbePorts ports,
                       const ResolverOptions &resolver)
    : m_ownResolver(std::make_unique<AsyncResolver>(resolver)), m_resolver(*m_ownResolver),
      m_ui(ui), m_listener(listener), m_ports(std::move(ports))
{}

CHttpProbe::CHttpProbe(ProbeDisplay &ui, ReplyListener &listener, ProbePorts ports,
                       AsyncResolver &sharedResolver)
    : m_resolver(sharedResolver), m_ui(ui), m_listener(listener), m_ports(std::move(ports))
{}

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
    m_ui.SetStatusPane(1, QStringLiteral("No connection"));
}

void CHttpProbe::DropConnection()
{
    // A connect cut short (stop, time-out, closing) ends its wait cursor too.
    EndWaitCursor();
    if (m_pSocket == nullptr)
        return;
    m_pSocket->Close();
    m_pSocket.reset();
}

int CHttpProbe::SendRequest(const QByteArray &link)
{
    m_strHost = GetHostName(link, m_nProtocol);
    const QByteArray &port = m_nProtocol == PROTOCOL_HTTP ? m_ports.http : m_ports.ftp;
    m_strPath = GetUrlPath(link, m_nProtocol);

    if (m_pSocket != nullptr)
        CloseConnection();
    OpenConnection();

    m_bLackedResources = false;
    m_bWaitCursor = true;
    m_ui.SetWaitCursor(true);
    m_ui.SetStatusPane(1, QStringLiteral("Connecting to %1").arg(Text(m_strHost)));
    m_ui.SetStatusPane(2, QString());
    const int result = m_pSocket->Connect(m_strHost, port);
    if (result >= static_cast<int>(kFirstFailureCode)) {
        OnConnected(result);
        return result;
    }
    return 0;
}

void CHttpProbe::OnConnected(int result)
{
    EndWaitCursor();
    m_ui.SetStatusPane(1, QStringLiteral("Connected to %1").arg(Text(m_strHost)));
    if (result >= static_cast<int>(kFirstFailureCode)) {
        m_bLackedResources = m_pSocket->LackedResources();
        CloseConnection();
        return;
    }
    m_pSocket->AsyncSelect(FD_READ | FD_CLOSE);

    if (m_nProtocol == PROTOCOL_HTTP) {
        const QByteArray requestLine = "GET " + m_strPath + " HTTP/1.0";
        // Three sends, the last two pieces flagged as more to come, so that
        // the request leaves in one segment rather than three.
        m_pSocket->Send(requestLine.constData(), static_cast<int>(requestLine.size()), MSG_MORE);
        m_pSocket->Send("\r\n", 2, MSG_MORE);
        m_pSocket->Send("\r\n", 2, 0);
        m_ui.SetStatusPane(2, QStringLiteral("GET method sent to host"));
    } else {
        m_ui.SetStatusPane(2, QString());
    }
}

void CHttpProbe::EndWaitCursor()
{
    if (!m_bWaitCursor)
        return;
    m_bWaitCursor = false;
    m_ui.SetWaitCursor(false);
}

void CHttpProbe::OnSocketEvent(int, long event, int error)
{
    if (event == FD_CONNECT && m_pSocket != nullptr) {
        OnConnected(error);
        if (error >= static_cast<int>(kFirstFailureCode))
            m_listener.OnConnectFailed(static_cast<std::uint32_t>(error));
    } else if (event == FD_READ && m_pSocket != nullptr) {
        m_ui.SetStatusPane(2, QStringLiteral("Host Reply Received"));
        std::memset(m_szReply, 0, sizeof m_szReply);
        m_szReply[513] = '\n';
        m_nReplyBytes = std::max(0, m_pSocket->Receive(m_szReply, 512, 0));

        char scratch[512];
        for (int drained = 0; drained < kMaxDrainBytes;) {
            const int got = m_pSocket->Receive(scratch, sizeof scratch, 0);
            if (got <= 0)
                break;
            drained += got;
        }
        m_listener.OnReplyReceived();
    } else if (event == FD_CLOSE) {
        CloseConnection();
        m_ui.SetStatusPane(1, QStringLiteral("Connection Closed by Host"));
        m_listener.OnClosedByHost();
    }
}

std::optional<std::uint32_t> CHttpProbe::ReplyCode() const
{
    return ParseReplyCode(m_szReply, m_nReplyBytes);
}
