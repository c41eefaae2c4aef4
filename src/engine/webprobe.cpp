#include "webprobe.h"

#include <arpa/inet.h>
#include <cstdlib>
#include <openssl/x509_vfy.h>

#include "discovery/pagelinks.h"
#include "engine/httpprobe.h"
#include "engine/probedisplay.h"
#include "engine/probemode.h"
#include "engine/resultcategories.h"
#include "net/asyncresolver.h"
#include "net/connecttarget.h"

namespace {

// The most of a page read to find a fragment in it.
constexpr std::int64_t kMaxPageBytes = 8 * 1024 * 1024;

// The address as libcurl takes it for a connection: an IPv6 one in brackets.
QByteArray AddressText(const ConnectTarget &target)
{
    char text[INET6_ADDRSTRLEN] = {};
    if (target.address.ss_family == AF_INET6) {
        const auto &ipv6 = reinterpret_cast<const sockaddr_in6 &>(target.address);
        inet_ntop(AF_INET6, &ipv6.sin6_addr, text, sizeof text);
        return '[' + QByteArray(text) + ']';
    }
    const auto &ipv4 = reinterpret_cast<const sockaddr_in &>(target.address);
    inet_ntop(AF_INET, &ipv4.sin_addr, text, sizeof text);
    return QByteArray(text);
}

bool EnvironmentSet(const char *name)
{
    const char *value = std::getenv(name);
    return value != nullptr && *value != '\0';
}

// A proxy may take the link: the setting names one, or the environment does
// for its scheme (libcurl reads only the lower-case http_proxy, as other
// programs do). no_proxy is left to libcurl: the name is then looked up by it.
bool ProxyMayApply(const ProbeMode &mode, LinkScheme scheme)
{
    if (!mode.proxy.isEmpty() || EnvironmentSet("all_proxy") || EnvironmentSet("ALL_PROXY"))
        return true;
    if (scheme == LinkScheme::Https)
        return EnvironmentSet("https_proxy") || EnvironmentSet("HTTPS_PROXY");
    return EnvironmentSet("http_proxy");
}

std::uint32_t CertificateFailure(long verifyResult)
{
    switch (verifyResult) {
    case X509_V_ERR_CERT_HAS_EXPIRED:
    case X509_V_ERR_CERT_NOT_YET_VALID:
        return PROBE_ERR_TLS_EXPIRED;
    case X509_V_ERR_HOSTNAME_MISMATCH:
    case X509_V_ERR_IP_ADDRESS_MISMATCH:
    // The chain verified, or was left with no verdict of its own: libcurl's
    // own check of the name refused it.
    case X509_V_OK:
    case X509_V_ERR_UNSPECIFIED:
        return PROBE_ERR_TLS_OTHER_HOST;
    default:
        break;
    }
    return PROBE_ERR_TLS_NOT_TRUSTED;
}

} // namespace

std::uint32_t WebFailureCode(const WebReply &reply)
{
    // The proxy would not open a tunnel to the host.
    if (reply.proxyCode >= 300)
        return PROBE_ERR_CONNECT;
    switch (reply.result) {
    // The host answered, but not with a status line (libcurl calls a reply
    // without one an unsupported protocol: HTTP/0.9).
    case CURLE_OK:
    case CURLE_WEIRD_SERVER_REPLY:
    case CURLE_UNSUPPORTED_PROTOCOL:
        return 0;
    case CURLE_URL_MALFORMAT:
        return PROBE_ERR_BAD_ADDRESS;
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
        return PROBE_ERR_HOST_NOT_FOUND;
    case CURLE_OPERATION_TIMEDOUT:
    // The host closed without a reply: nothing but the time-out could follow.
    case CURLE_GOT_NOTHING:
    case CURLE_RECV_ERROR:
    case CURLE_SEND_ERROR:
    case CURLE_PARTIAL_FILE:
        return PROBE_ERR_TIMEOUT;
    case CURLE_PEER_FAILED_VERIFICATION:
        return CertificateFailure(reply.verifyResult);
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_ISSUER_ERROR:
    case CURLE_SSL_INVALIDCERTSTATUS:
    case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
    case CURLE_SSL_SHUTDOWN_FAILED:
    case CURLE_USE_SSL_FAILED:
        return PROBE_ERR_TLS_HANDSHAKE;
    case CURLE_SSL_CACERT_BADFILE:
        return PROBE_ERR_TLS_NOT_TRUSTED;
    default:
        break;
    }
    return PROBE_ERR_CONNECT;
}

CWebProbe::CWebProbe(ProbeDisplay &ui, ReplyListener &listener, AsyncResolver &resolver,
                     ProbeMode &mode)
    : m_ui(ui), m_listener(listener), m_resolver(resolver), m_mode(mode),
      m_transfer(mode.Web().multi, *this)
{}

CWebProbe::~CWebProbe()
{
    Close(false);
}

int CWebProbe::Start(const ModernUrl &url, const QByteArray &port, const QByteArray &fragment)
{
    Close(false);
    m_url = url;
    m_port = port;
    // An empty fragment and "#top" name the page itself, as for the site's files.
    const QByteArray name = QByteArray::fromPercentEncoding(fragment);
    m_fragment = m_mode.bRemoteFragments && name.compare("top", Qt::CaseInsensitive) != 0
                     ? name
                     : QByteArray();
    m_replyCode.reset();
    m_bOpen = true;
    m_bWaitCursor = true;
    m_ui.ShowStatus({StatusEvent::Kind::Connecting, m_url.host});

    if (ProxyMayApply(m_mode, url.scheme))
        return Send({}) ? 0 : FailAtOnce(PROBE_ERR_CONNECT);
    ConnectTarget target;
    int found = kConnectOk;
    if (!LiteralTarget(url.asciiHost, target)) {
        found = m_resolver.Lookup(
            url.asciiHost, target,
            [this](int result, const ConnectTarget &address) {
                m_lookupId = 0;
                ConnectTarget aimed = address;
                if (result == kConnectOk)
                    result = AimTarget(aimed, static_cast<std::uint16_t>(m_port.toUInt()));
                OnLookupDone(result, AddressText(aimed));
            },
            m_lookupId);
        if (found == AsyncResolver::kLookupPending)
            return 0;
    }
    if (found == kConnectOk)
        found = AimTarget(target, static_cast<std::uint16_t>(port.toUInt()));
    if (found != kConnectOk)
        return FailAtOnce(found);
    return Send(AddressText(target)) ? 0 : FailAtOnce(PROBE_ERR_CONNECT);
}

int CWebProbe::FailAtOnce(int code)
{
    EndWaitCursor();
    m_ui.ShowStatus({StatusEvent::Kind::Connected, m_url.host});
    Close(true);
    return code;
}

void CWebProbe::OnLookupDone(int result, const QByteArray &address)
{
    if (result != kConnectOk) {
        Fail(static_cast<std::uint32_t>(result));
        return;
    }
    if (!Send(address))
        Fail(PROBE_ERR_CONNECT);
}

bool CWebProbe::Send(const QByteArray &connectAddress)
{
    const bool https = m_url.scheme == LinkScheme::Https;
    const bool ownPort = m_port.toUInt() != DefaultPort(m_url.scheme);
    // An address however written (127.1, 0x7f.0.0.1, 127.0.0.1.) goes to
    // libcurl in its usual form, so that the certificate is checked against
    // the address, not a name.
    ConnectTarget literal;
    const QByteArray host = LiteralTarget(m_url.asciiHost, literal) ? AddressText(literal)
                            : m_url.bIpv6                           ? '[' + m_url.asciiHost + ']'
                                                                    : m_url.asciiHost;
    WebRequest request;
    request.url = (https ? "https://" : "http://") + host +
                  (ownPort ? ':' + m_port : QByteArray()) + m_url.path;
    // Host first, as every probe sends it, naming the host and port of the
    // link whatever port the connection goes to; no Accept field.
    request.headers = {"Host: " + m_url.hostHeader, QByteArray("User-Agent: ") + kUserAgent,
                       "Accept:"};
    request.userAgent = kUserAgent;
    request.connectAddress = connectAddress;
    request.proxy = m_mode.proxy;
    request.caFile = m_mode.Web().caFile;
    request.caDirectory = m_mode.Web().caDirectory;
    if (!m_fragment.isEmpty())
        request.keepBody = kMaxPageBytes;
    return m_transfer.Start(request);
}

void CWebProbe::Fail(std::uint32_t code)
{
    EndWaitCursor();
    m_ui.ShowStatus({StatusEvent::Kind::Connected, m_url.host});
    m_listener.OnConnectFailed(code);
}

void CWebProbe::Close(bool show)
{
    if (m_lookupId != 0)
        m_resolver.Cancel(std::exchange(m_lookupId, 0));
    m_transfer.Cancel();
    EndWaitCursor();
    if (std::exchange(m_bOpen, false) && show)
        m_ui.ShowStatus({StatusEvent::Kind::ConnectionClosed, {}});
}

std::optional<std::uint32_t> CWebProbe::StatusSoFar() const
{
    const long code = m_transfer.Reply().statusCode;
    if (code <= 0)
        return std::nullopt;
    return static_cast<std::uint32_t>(code);
}

void CWebProbe::OnWebRequestSent()
{
    EndWaitCursor();
    m_ui.ShowStatus({StatusEvent::Kind::Connected, m_url.host});
    m_ui.ShowStatus({StatusEvent::Kind::RequestSent, {}});
}

void CWebProbe::OnWebReplyArriving()
{
    m_ui.ShowStatus({StatusEvent::Kind::ReplyArriving, {}});
}

void CWebProbe::OnWebDone(const WebReply &reply)
{
    // A status line that came is the outcome, however the rest went: a body
    // too long to drain, a connection that broke off after it.
    if (reply.statusCode > 0) {
        if (FragmentMissing(reply)) {
            m_listener.OnConnectFailed(PROBE_ERR_FRAGMENT_NOT_FOUND);
            return;
        }
        m_replyCode = static_cast<std::uint32_t>(reply.statusCode);
        m_listener.OnReplyReceived();
        return;
    }
    const std::uint32_t code = WebFailureCode(reply);
    if (code == 0) {
        m_listener.OnReplyReceived();
        return;
    }
    if (m_bWaitCursor)
        Fail(code);
    else
        m_listener.OnConnectFailed(code);
}

bool CWebProbe::FragmentMissing(const WebReply &reply) const
{
    if (m_fragment.isEmpty() || reply.statusCode < 200 || reply.statusCode > 299)
        return false;
    // Only an HTML page names its places; any other page is taken as it is.
    for (const auto &[name, value] : reply.headers) {
        if (name == "content-type" && !value.toLower().contains("html"))
            return false;
    }
    const QByteArray &page = m_transfer.Body();
    return !ReadPageAnchors(std::string_view(page.constData(), page.size())).contains(m_fragment);
}

void CWebProbe::EndWaitCursor()
{
    if (!std::exchange(m_bWaitCursor, false))
        return;
    m_ui.ShowStatus({StatusEvent::Kind::ConnectWaitOver, {}});
}

WebProbeShared::WebProbeShared()
    : caFile(qgetenv("SSL_CERT_FILE")), caDirectory(qgetenv("SSL_CERT_DIR"))
{}
