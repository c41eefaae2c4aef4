#include "webtransfer.h"

namespace {

curl_slist *ListOf(const std::vector<QByteArray> &lines)
{
    curl_slist *list = nullptr;
    for (const QByteArray &line : lines)
        list = curl_slist_append(list, line.constData());
    return list;
}

// Sets a text option, or clears it when text is empty.
void SetText(CURL *easy, CURLoption option, const QByteArray &text)
{
    curl_easy_setopt(easy, option, text.isEmpty() ? nullptr : text.constData());
}

} // namespace

WebTransfer::WebTransfer(CurlMulti &multi, WebTransferListener &listener)
    : m_multi(multi), m_listener(listener), m_easy(curl_easy_init())
{
    curl_easy_setopt(m_easy, CURLOPT_NOSIGNAL, 1L);
    // Each hop of a redirect is a link of its own to the engine.
    curl_easy_setopt(m_easy, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(m_easy, CURLOPT_HTTP_VERSION, CURL_HTTP_VERSION_2TLS);
    curl_easy_setopt(m_easy, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
    curl_easy_setopt(m_easy, CURLOPT_HEADERFUNCTION, &WebTransfer::OnHeader);
    curl_easy_setopt(m_easy, CURLOPT_HEADERDATA, this);
    curl_easy_setopt(m_easy, CURLOPT_WRITEFUNCTION, &WebTransfer::OnBody);
    curl_easy_setopt(m_easy, CURLOPT_WRITEDATA, this);
    curl_easy_setopt(m_easy, CURLOPT_PREREQFUNCTION, &WebTransfer::OnRequestReady);
    curl_easy_setopt(m_easy, CURLOPT_PREREQDATA, this);
    curl_easy_setopt(m_easy, CURLOPT_PRIVATE, this);
}

WebTransfer::~WebTransfer()
{
    Cancel();
    curl_easy_cleanup(m_easy);
    curl_slist_free_all(m_headers);
    curl_slist_free_all(m_connectTo);
}

bool WebTransfer::Start(const WebRequest &request)
{
    Cancel();
    m_reply = WebReply();
    m_nBodyBytes = 0;
    m_nKeepBody = request.keepBody;
    m_body.clear();
    m_bSentDue = m_bArrivingDue = m_bArrivingTold = false;

    curl_slist_free_all(std::exchange(m_headers, ListOf(request.headers)));
    curl_slist_free_all(
        std::exchange(m_connectTo, request.connectAddress.isEmpty()
                                       ? nullptr
                                       : ListOf({"::" + request.connectAddress + ':'})));
    curl_easy_setopt(m_easy, CURLOPT_URL, request.url.constData());
    curl_easy_setopt(m_easy, CURLOPT_HTTPHEADER, m_headers);
    curl_easy_setopt(m_easy, CURLOPT_CONNECT_TO, m_connectTo);
    SetText(m_easy, CURLOPT_USERAGENT, request.userAgent);
    SetText(m_easy, CURLOPT_PROXY, request.proxy);
    SetText(m_easy, CURLOPT_CAINFO, request.caFile);
    SetText(m_easy, CURLOPT_CAPATH, request.caDirectory);
    if (!m_multi.Add(m_easy, *this))
        return false;
    m_bRunning = true;
    return true;
}

void WebTransfer::Cancel()
{
    if (!m_bRunning)
        return;
    m_bRunning = false;
    m_multi.Remove(m_easy);
}

std::size_t WebTransfer::OnHeader(char *data, std::size_t size, std::size_t count, void *self)
{
    return static_cast<WebTransfer *>(self)->TakeHeaderLine(data, size * count);
}

std::size_t WebTransfer::TakeHeaderLine(const char *data, std::size_t length)
{
    const QByteArray line = QByteArray(data, static_cast<qsizetype>(length)).trimmed();
    if (!m_bArrivingTold && !m_bArrivingDue) {
        m_bArrivingDue = true;
        m_multi.Poke(m_easy);
    }
    if (line.startsWith("HTTP/")) {
        // A new status line: an interim reply (100 Continue, 103) came before.
        m_reply.headers.clear();
        m_reply.headerComplete = false;
        // "HTTP/1.1 404 Not Found", "HTTP/2 200": the second word.
        const qsizetype space = line.indexOf(' ');
        m_reply.statusCode = space < 0 ? 0 : line.mid(space + 1, 3).toLong();
        return length;
    }
    if (line.isEmpty()) {
        if (m_reply.statusCode >= 200 || m_reply.statusCode == 0) {
            m_reply.headerComplete = true;
            // A body too long to drain would hold the program: the connection
            // is closed instead (libcurl closes it when a callback refuses).
            curl_off_t announced = -1;
            curl_easy_getinfo(m_easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &announced);
            if (m_nKeepBody == 0 && announced > kMaxDrainBytes)
                return 0;
        }
        return length;
    }
    const qsizetype colon = line.indexOf(':');
    if (colon > 0)
        m_reply.headers.emplace_back(line.left(colon).trimmed().toLower(),
                                     line.mid(colon + 1).trimmed());
    return length;
}

std::size_t WebTransfer::OnBody(char *data, std::size_t size, std::size_t count, void *self)
{
    auto &transfer = *static_cast<WebTransfer *>(self);
    const std::size_t length = size * count;
    transfer.m_nBodyBytes += static_cast<std::int64_t>(length);
    if (transfer.m_nKeepBody > 0) {
        const std::int64_t room = transfer.m_nKeepBody - transfer.m_body.size();
        transfer.m_body.append(data, static_cast<qsizetype>(std::min<std::int64_t>(
                                         room, static_cast<qint64>(length))));
        return transfer.m_nBodyBytes > transfer.m_nKeepBody ? 0 : length;
    }
    return transfer.m_nBodyBytes > kMaxDrainBytes ? 0 : length;
}

int WebTransfer::OnRequestReady(void *self, char *, char *, int, int)
{
    auto &transfer = *static_cast<WebTransfer *>(self);
    transfer.m_bSentDue = true;
    transfer.m_multi.Poke(transfer.m_easy);
    return CURL_PREREQFUNC_OK;
}

void WebTransfer::OnTransferProgress()
{
    if (std::exchange(m_bSentDue, false))
        m_listener.OnWebRequestSent();
    if (m_bRunning && std::exchange(m_bArrivingDue, false)) {
        m_bArrivingTold = true;
        m_listener.OnWebReplyArriving();
    }
}

void WebTransfer::OnTransferDone(CURLcode result)
{
    OnTransferProgress();
    if (!m_bRunning)
        return;
    m_bRunning = false;
    m_reply.result = result;
    curl_easy_getinfo(m_easy, CURLINFO_SSL_VERIFYRESULT, &m_reply.verifyResult);
    curl_easy_getinfo(m_easy, CURLINFO_HTTP_CONNECTCODE, &m_reply.proxyCode);
    if (m_reply.statusCode == 0)
        curl_easy_getinfo(m_easy, CURLINFO_RESPONSE_CODE, &m_reply.statusCode);
    m_listener.OnWebDone(m_reply);
}
