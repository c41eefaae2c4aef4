#pragma once

#include <map>
#include <memory>
#include <set>
#include <vector>

#include <curl/curl.h>

class QSocketNotifier;
class QTimer;

// Told how a transfer handed to a CurlMulti goes on. Never called from inside
// libcurl: what a transfer's own callbacks noted is announced once libcurl has
// returned, so the sink may add and remove transfers freely.
class CurlTransferSink
{
public:
    virtual ~CurlTransferSink() = default;
    // The transfer's callbacks noted something (Poke).
    virtual void OnTransferProgress() {}
    // The transfer ended with result; it is no longer in the multi handle.
    virtual void OnTransferDone(CURLcode result) = 0;
};

// One libcurl multi handle driven from the Qt event loop: its sockets are
// watched by socket notifiers and its time-outs run on a Qt timer. Transfers
// added to it share its connections (kept open and reused per host, HTTP/2
// streams where the server offers them) and, through one share handle, TLS
// sessions and name lookups.
class CurlMulti
{
public:
    CurlMulti();
    ~CurlMulti();

    CurlMulti(const CurlMulti &) = delete;
    CurlMulti &operator=(const CurlMulti &) = delete;

    // Starts the transfer of easy, whose options are set; false when libcurl
    // refuses it.
    bool Add(CURL *easy, CurlTransferSink &sink);
    // Ends the transfer at once; a connection in the middle of a reply is
    // closed, not reused. Unknown handles are ignored.
    void Remove(CURL *easy);
    // Called from a transfer's own callback: the sink hears of it
    // (OnTransferProgress) once libcurl has returned.
    void Poke(CURL *easy);

    CURLSH *Share() const { return m_share; }
    int Transfers() const { return static_cast<int>(m_sinks.size()); }

private:
    struct Watch
    {
        std::unique_ptr<QSocketNotifier> read;
        std::unique_ptr<QSocketNotifier> write;
    };

    static int OnSocket(CURL *easy, curl_socket_t socket, int what, void *multi, void *);
    static int OnTimer(CURLM *, long milliseconds, void *multi);
    void WatchSocket(curl_socket_t socket, int what);
    // Lets libcurl act on a ready socket or on its time-outs, then tells the
    // sinks what came of it.
    void Act(curl_socket_t socket, int flags);
    void Announce();
    // A notifier may be the one whose signal is being handled: it goes once
    // control is back in the event loop.
    void Retire(std::unique_ptr<QSocketNotifier> notifier);

    CURLM *m_multi = nullptr;
    CURLSH *m_share = nullptr;
    std::map<curl_socket_t, Watch> m_watches;
    std::map<CURL *, CurlTransferSink *> m_sinks;
    std::set<CURL *> m_poked;
    std::unique_ptr<QTimer> m_timer;
    int m_nDepth = 0;
};
