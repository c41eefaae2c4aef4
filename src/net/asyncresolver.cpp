#include "net/asyncresolver.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cstring>
#include <memory>
#include <netdb.h>
#include <netinet/in.h>

#include <ares.h>

#include <QSocketNotifier>
#include <QTimer>

namespace {

struct AddrinfoFree
{
    void operator()(ares_addrinfo *list) const { ares_freeaddrinfo(list); }
};

int ChooseAddress(const ares_addrinfo *list, ConnectTarget &address, int *timeToLive = nullptr)
{
    if (list == nullptr)
        return kConnectHostNotFound;
    for (const int family : {AF_INET, AF_INET6}) {
        for (const ares_addrinfo_node *node = list->nodes; node != nullptr; node = node->ai_next) {
            if (node->ai_family != family || node->ai_addr == nullptr ||
                node->ai_addrlen > sizeof(address.address))
                continue;
            address = ConnectTarget{};
            std::memcpy(&address.address, node->ai_addr, node->ai_addrlen);
            address.length = node->ai_addrlen;
            if (timeToLive != nullptr)
                *timeToLive = node->ai_ttl;
            return kConnectOk;
        }
    }
    return kConnectHostNotFound;
}

// A name written with the root's trailing dot is the same name; the hosts
// file writes its names without it, so there it is looked for without it.
// The first IPv4 address, else the first IPv6 one, as for any lookup.
bool FromHostsFile(ares_channel channel, const QByteArray &name, ConnectTarget &address)
{
    if (name.size() < 2 || !name.endsWith('.') || name.endsWith(".."))
        return false;
    const QByteArray bare = name.chopped(1);
    for (const int family : {AF_INET, AF_INET6}) {
        hostent *entry = nullptr;
        if (ares_gethostbyname_file(channel, bare.constData(), family, &entry) != ARES_SUCCESS)
            continue;
        const std::unique_ptr<hostent, decltype(&ares_free_hostent)> owned(entry,
                                                                           ares_free_hostent);
        char text[INET6_ADDRSTRLEN] = {};
        if (entry != nullptr && entry->h_addr_list != nullptr && entry->h_addr_list[0] != nullptr &&
            inet_ntop(entry->h_addrtype, entry->h_addr_list[0], text, sizeof text) != nullptr &&
            LiteralTarget(text, address))
            return true;
    }
    return false;
}

} // namespace

struct AsyncResolver::Request
{
    AsyncResolver *owner = nullptr;
    std::uint64_t id = 0;
    QByteArray name;
    int timeToLive = 0;
    Handler handler;
    // Still inside the ares_getaddrinfo call: an answer then belongs to Lookup.
    bool inLookup = true;
    bool answered = false;
    int result = kConnectHostNotFound;
    ConnectTarget address;
};

struct AsyncResolver::Watch
{
    std::unique_ptr<QSocketNotifier> read;
    std::unique_ptr<QSocketNotifier> write;
};

AsyncResolver::AsyncResolver(const ResolverOptions &options) : m_timer(std::make_unique<QTimer>())
{
    m_timer->setSingleShot(true);
    QObject::connect(m_timer.get(), &QTimer::timeout, m_timer.get(),
                     [this] { Process(ARES_SOCKET_BAD, ARES_SOCKET_BAD); });

    ares_library_init(ARES_LIB_INIT_ALL);
    ares_options settings{};
    settings.sock_state_cb = &AsyncResolver::OnSocketState;
    settings.sock_state_cb_data = this;
    ares_channel channel = nullptr;
    if (ares_init_options(&channel, &settings, ARES_OPT_SOCK_STATE_CB) != ARES_SUCCESS)
        return;
    m_channel = channel;
    // A name server that cannot be set leaves the resolver unusable rather
    // than asking servers nobody chose.
    m_bUsable =
        options.nameServer.isEmpty() ||
        ares_set_servers_ports_csv(m_channel, options.nameServer.constData()) == ARES_SUCCESS;
}

AsyncResolver::~AsyncResolver()
{
    if (m_channel != nullptr) {
        // Answers every request still in flight with ARES_EDESTRUCTION and
        // closes the sockets, telling OnSocketState.
        ++m_nDepth;
        ares_destroy(m_channel);
        m_channel = nullptr;
    }
    m_watches.clear();
    ares_library_cleanup();
}

int AsyncResolver::Lookup(const QByteArray &name, ConnectTarget &address, Handler handler,
                          std::uint64_t &id)
{
    if (m_channel == nullptr || !m_bUsable)
        return kConnectHostNotFound;
    const auto kept = m_kept.constFind(name);
    if (kept != m_kept.constEnd() && std::chrono::steady_clock::now() < kept->until) {
        address = kept->address;
        return kConnectOk;
    }
    // Elsewhere the name servers are asked for the name as written, which
    // keeps the search domains off it.
    if (FromHostsFile(m_channel, name, address)) {
        Keep(name, address, 0);
        return kConnectOk;
    }

    auto request = std::make_unique<Request>();
    request->owner = this;
    request->id = m_nextId++;
    request->name = name;
    request->handler = std::move(handler);

    ares_addrinfo_hints hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    // The first address is taken as it comes, as the system's resolver gives it.
    hints.ai_flags = ARES_AI_NOSORT;
    ++m_nDepth;
    ares_getaddrinfo(m_channel, name.constData(), nullptr, &hints, &AsyncResolver::OnAnswer,
                     request.get());
    --m_nDepth;

    if (request->answered) {
        address = request->address;
        if (request->result == kConnectOk)
            Keep(name, address, request->timeToLive);
        DropAbandoned();
        ArmTimer();
        return request->result;
    }
    request->inLookup = false;
    id = request->id;
    m_pending.insert(id);
    ++m_nInFlight;
    // c-ares holds the request until it answers (OnAnswer takes it back),
    // which it always does: with the result, or on ares_cancel or ares_destroy.
    request.release();
    ArmTimer();
    return kLookupPending;
}

void AsyncResolver::Cancel(std::uint64_t id)
{
    if (m_pending.erase(id) != 0)
        DropAbandoned();
}

void AsyncResolver::OnAnswer(void *arg, int status, int, ares_addrinfo *result)
{
    const std::unique_ptr<ares_addrinfo, AddrinfoFree> list(result);
    auto *request = static_cast<Request *>(arg);
    if (request->inLookup) {
        request->answered = true;
        request->result = status == ARES_SUCCESS
                              ? ChooseAddress(result, request->address, &request->timeToLive)
                              : kConnectHostNotFound;
        return;
    }

    const std::unique_ptr<Request> owned(request);
    AsyncResolver &owner = *owned->owner;
    --owner.m_nInFlight;
    // Cancelled, or the resolver is going away: nobody is told.
    if (owner.m_pending.erase(owned->id) == 0 || status == ARES_ECANCELLED ||
        status == ARES_EDESTRUCTION)
        return;
    ConnectTarget address;
    int timeToLive = 0;
    const int code =
        status == ARES_SUCCESS ? ChooseAddress(result, address, &timeToLive) : kConnectHostNotFound;
    if (code == kConnectOk)
        owner.Keep(owned->name, address, timeToLive);
    const Handler handler = std::move(owned->handler);
    handler(code, address);
}

void AsyncResolver::Keep(const QByteArray &name, const ConnectTarget &address, int timeToLive)
{
    const auto now = std::chrono::steady_clock::now();
    if (m_kept.size() >= kMostKept) {
        m_kept.removeIf([now](const auto &entry) { return entry.value().until <= now; });
        if (m_kept.size() >= kMostKept)
            m_kept.clear();
    }
    const std::chrono::seconds keep = timeToLive > 0
                                          ? std::min(std::chrono::seconds(timeToLive), kLongestKept)
                                          : kKeptWithoutTimeToLive;
    m_kept.insert(name, Kept{address, now + keep});
}

void AsyncResolver::OnSocketState(void *data, int fd, int readable, int writable)
{
    static_cast<AsyncResolver *>(data)->WatchSocket(fd, readable != 0, writable != 0);
}

void AsyncResolver::Process(int readFd, int writeFd)
{
    if (m_channel == nullptr)
        return;
    ++m_nDepth;
    ares_process_fd(m_channel, readFd, writeFd);
    --m_nDepth;
    DropAbandoned();
    ArmTimer();
}

void AsyncResolver::WatchSocket(int fd, bool readable, bool writable)
{
    if (!readable && !writable) {
        // c-ares is closing the socket; a notifier must never watch a closed
        // (or reused) descriptor. Destroying one inside its own activation is
        // safe: Qt checks that the notifier is still alive after the signal.
        m_watches.erase(fd);
        return;
    }
    Watch &watch = m_watches[fd];
    const auto update = [this, fd](std::unique_ptr<QSocketNotifier> &notifier,
                                   QSocketNotifier::Type type, bool wanted) {
        if (!wanted) {
            if (notifier)
                notifier->setEnabled(false);
            return;
        }
        if (!notifier) {
            notifier = std::make_unique<QSocketNotifier>(fd, type);
            const bool forReading = type == QSocketNotifier::Read;
            QObject::connect(notifier.get(), &QSocketNotifier::activated, notifier.get(),
                             [this, fd, forReading] {
                                 Process(forReading ? fd : ARES_SOCKET_BAD,
                                         forReading ? ARES_SOCKET_BAD : fd);
                             });
        }
        notifier->setEnabled(true);
    };
    update(watch.read, QSocketNotifier::Read, readable);
    update(watch.write, QSocketNotifier::Write, writable);
}

void AsyncResolver::ArmTimer()
{
    timeval wait{};
    if (m_channel != nullptr && ares_timeout(m_channel, nullptr, &wait) != nullptr) {
        const long long ms = wait.tv_sec * 1000LL + (wait.tv_usec + 999) / 1000;
        m_timer->start(static_cast<int>(std::min<long long>(ms, 24LL * 3600 * 1000)));
    } else {
        m_timer->stop();
    }
}

void AsyncResolver::DropAbandoned()
{
    // ares_cancel ends every question, so it waits until none is wanted.
    if (m_nDepth != 0 || !m_pending.empty() || m_nInFlight == 0 || m_channel == nullptr)
        return;
    ++m_nDepth;
    ares_cancel(m_channel);
    --m_nDepth;
    ArmTimer();
}
