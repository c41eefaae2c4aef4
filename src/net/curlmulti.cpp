#include "curlmulti.h"

#include <utility>

#include <QSocketNotifier>
#include <QTimer>

namespace {

struct Done
{
    CURL *easy;
    CURLcode result;
};

} // namespace

CurlMulti::CurlMulti() : m_timer(std::make_unique<QTimer>())
{
    curl_global_init(CURL_GLOBAL_DEFAULT);
    m_multi = curl_multi_init();
    m_share = curl_share_init();
    // One event loop drives every transfer, so the shared data needs no locks.
    curl_share_setopt(m_share, CURLSHOPT_SHARE, CURL_LOCK_DATA_SSL_SESSION);
    curl_share_setopt(m_share, CURLSHOPT_SHARE, CURL_LOCK_DATA_DNS);
    curl_multi_setopt(m_multi, CURLMOPT_PIPELINING, CURLPIPE_MULTIPLEX);
    curl_multi_setopt(m_multi, CURLMOPT_SOCKETFUNCTION, &CurlMulti::OnSocket);
    curl_multi_setopt(m_multi, CURLMOPT_SOCKETDATA, this);
    curl_multi_setopt(m_multi, CURLMOPT_TIMERFUNCTION, &CurlMulti::OnTimer);
    curl_multi_setopt(m_multi, CURLMOPT_TIMERDATA, this);
    m_timer->setSingleShot(true);
    QObject::connect(m_timer.get(), &QTimer::timeout, m_timer.get(),
                     [this] { Act(CURL_SOCKET_TIMEOUT, 0); });
}

CurlMulti::~CurlMulti()
{
    for (const auto &entry : m_sinks)
        curl_multi_remove_handle(m_multi, entry.first);
    m_sinks.clear();
    // Closing the multi handle closes its connections, which removes their
    // watches through OnSocket.
    curl_multi_cleanup(m_multi);
    curl_share_cleanup(m_share);
    m_watches.clear();
    curl_global_cleanup();
}

bool CurlMulti::Add(CURL *easy, CurlTransferSink &sink)
{
    curl_easy_setopt(easy, CURLOPT_SHARE, m_share);
    if (curl_multi_add_handle(m_multi, easy) != CURLM_OK)
        return false;
    m_sinks[easy] = &sink;
    return true;
}

void CurlMulti::Remove(CURL *easy)
{
    if (m_sinks.erase(easy) == 0)
        return;
    m_poked.erase(easy);
    curl_multi_remove_handle(m_multi, easy);
}

void CurlMulti::Poke(CURL *easy)
{
    m_poked.insert(easy);
}

int CurlMulti::OnSocket(CURL *, curl_socket_t socket, int what, void *multi, void *)
{
    static_cast<CurlMulti *>(multi)->WatchSocket(socket, what);
    return 0;
}

int CurlMulti::OnTimer(CURLM *, long milliseconds, void *multi)
{
    QTimer &timer = *static_cast<CurlMulti *>(multi)->m_timer;
    if (milliseconds < 0)
        timer.stop();
    else
        timer.start(static_cast<int>(milliseconds));
    return 0;
}

void CurlMulti::WatchSocket(curl_socket_t socket, int what)
{
    if (what == CURL_POLL_REMOVE) {
        const auto found = m_watches.find(socket);
        if (found == m_watches.end())
            return;
        Retire(std::move(found->second.read));
        Retire(std::move(found->second.write));
        m_watches.erase(found);
        return;
    }
    Watch &watch = m_watches[socket];
    const auto want = [&](std::unique_ptr<QSocketNotifier> &notifier, QSocketNotifier::Type type,
                          bool wanted, int flag) {
        if (!wanted) {
            if (notifier)
                notifier->setEnabled(false);
            return;
        }
        if (!notifier) {
            notifier = std::make_unique<QSocketNotifier>(socket, type);
            QObject::connect(notifier.get(), &QSocketNotifier::activated, notifier.get(),
                             [this, socket, flag] { Act(socket, flag); });
        }
        notifier->setEnabled(true);
    };
    want(watch.read, QSocketNotifier::Read, what == CURL_POLL_IN || what == CURL_POLL_INOUT,
         CURL_CSELECT_IN);
    want(watch.write, QSocketNotifier::Write, what == CURL_POLL_OUT || what == CURL_POLL_INOUT,
         CURL_CSELECT_OUT);
}

void CurlMulti::Retire(std::unique_ptr<QSocketNotifier> notifier)
{
    if (!notifier)
        return;
    notifier->setEnabled(false);
    QObject::disconnect(notifier.get(), nullptr, nullptr, nullptr);
    notifier.release()->deleteLater();
}

void CurlMulti::Act(curl_socket_t socket, int flags)
{
    int running = 0;
    ++m_nDepth;
    curl_multi_socket_action(m_multi, socket, flags, &running);
    --m_nDepth;
    if (m_nDepth == 0)
        Announce();
}

void CurlMulti::Announce()
{
    // The sinks may add and remove transfers, so what is to be told is taken
    // first and each is checked again just before it is told.
    std::vector<Done> done;
    int left = 0;
    while (CURLMsg *message = curl_multi_info_read(m_multi, &left)) {
        if (message->msg == CURLMSG_DONE)
            done.push_back({message->easy_handle, message->data.result});
    }
    const std::set<CURL *> poked = std::exchange(m_poked, {});
    for (CURL *easy : poked) {
        const auto found = m_sinks.find(easy);
        if (found != m_sinks.end())
            found->second->OnTransferProgress();
    }
    for (const Done &item : done) {
        const auto found = m_sinks.find(item.easy);
        if (found == m_sinks.end())
            continue;
        CurlTransferSink &sink = *found->second;
        m_sinks.erase(found);
        m_poked.erase(item.easy);
        curl_multi_remove_handle(m_multi, item.easy);
        sink.OnTransferDone(item.result);
    }
}
