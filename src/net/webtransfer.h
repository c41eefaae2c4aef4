#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include <QByteArray>

#include "net/curlmulti.h"

// What a transfer asks for: a GET whose reply is read as far as its status
// and header fields, and whose body is read only to keep the connection.
struct WebRequest
{
    // ASCII only: scheme, host (an IPv6 address in brackets), the port when it
    // is not the scheme's, and the request target.
    QByteArray url;
    // The request's header fields in order ("Name: value"); a Host field here
    // replaces the one libcurl would make.
    std::vector<QByteArray> headers;
    QByteArray userAgent;
    // The address to connect to (an IPv6 one in brackets), already looked up;
    // empty lets libcurl look the name up itself, as it must when a proxy
    // stands between.
    QByteArray connectAddress;
    // A proxy URL; empty takes http_proxy, https_proxy and no_proxy from the
    // environment, as libcurl reads them.
    QByteArray proxy;
    // The trusted certificates' file and directory; empty keeps libcurl's own.
    QByteArray caFile;
    QByteArray caDirectory;
    // Keep up to this many bytes of the body (Body()) instead of draining it;
    // what goes beyond is not read.
    std::int64_t keepBody = 0;
};

// What came of a transfer, in libcurl's terms.
struct WebReply
{
    CURLcode result = CURLE_OK;
    // The last status code read, 0 when none was.
    long statusCode = 0;
    // The final reply's header fields, the whole header read.
    bool headerComplete = false;
    std::vector<std::pair<QByteArray, QByteArray>> headers;
    // The certificate verification's result (an X509_V_ERR code).
    long verifyResult = 0;
    // A proxy's answer to the CONNECT of an https link, 0 when none came.
    long proxyCode = 0;
};

class WebTransferListener
{
public:
    virtual ~WebTransferListener() = default;
    // The connection is up (a kept one reused, or a new one with its TLS
    // handshake done) and the request goes out.
    virtual void OnWebRequestSent() = 0;
    // The first line of the reply arrived.
    virtual void OnWebReplyArriving() = 0;
    virtual void OnWebDone(const WebReply &reply) = 0;
};

// One GET at a time through a CurlMulti, on an easy handle kept for the next.
// A body of up to kMaxDrainBytes is read and thrown away so that the
// connection can serve the next request; a longer one closes the connection.
class WebTransfer final : private CurlTransferSink
{
public:
    static constexpr std::int64_t kMaxDrainBytes = 64 * 1024;

    WebTransfer(CurlMulti &multi, WebTransferListener &listener);
    ~WebTransfer() override;

    WebTransfer(const WebTransfer &) = delete;
    WebTransfer &operator=(const WebTransfer &) = delete;

    // Starts the request; false when libcurl refused it at once.
    bool Start(const WebRequest &request);
    // Ends the transfer in flight without telling the listener.
    void Cancel();
    bool Running() const { return m_bRunning; }
    // What has been read so far of the transfer in flight or the last one.
    const WebReply &Reply() const { return m_reply; }
    // The body kept of the last transfer, when its request asked for it.
    const QByteArray &Body() const { return m_body; }

private:
    static std::size_t OnHeader(char *data, std::size_t size, std::size_t count, void *self);
    static std::size_t OnBody(char *data, std::size_t size, std::size_t count, void *self);
    static int OnRequestReady(void *self, char *, char *, int, int);
    std::size_t TakeHeaderLine(const char *data, std::size_t length);
    void OnTransferProgress() override;
    void OnTransferDone(CURLcode result) override;

    CurlMulti &m_multi;
    WebTransferListener &m_listener;
    CURL *m_easy = nullptr;
    curl_slist *m_headers = nullptr;
    curl_slist *m_connectTo = nullptr;
    bool m_bRunning = false;
    WebReply m_reply;
    std::int64_t m_nBodyBytes = 0;
    std::int64_t m_nKeepBody = 0;
    QByteArray m_body;
    // Noted inside libcurl, told after it returns.
    bool m_bSentDue = false;
    bool m_bArrivingDue = false;
    bool m_bArrivingTold = false;
};
