#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <set>

#include <QByteArray>
#include <QHash>

#include "net/connecttarget.h"

class QSocketNotifier;
class QTimer;
struct ares_addrinfo;
struct ares_channeldata;

// Where the resolver sends its questions.
struct ResolverOptions
{
    // "address:port" of the one name server to ask; empty asks the system's
    // name servers. Tests point it at a loopback server of their own.
    QByteArray nameServer;
};

// Looks host names up without ever blocking the event loop: the hosts file at
// once, the name servers through c-ares, whose sockets are watched by socket
// notifiers and whose retries run on a Qt timer. One resolver serves all the
// socket windows of a probe; it must outlive them and must not be destroyed
// from inside one of its own handlers.
//
// Addresses found are kept for as long as their answer allows (at most 30
// seconds; 5 for the hosts file, whose answers carry no time to live), as a
// caching resolver of the system would keep them: a page whose links name the
// same host thousands of times asks once, not thousands of times.
class AsyncResolver
{
public:
    // What Lookup returns while the answer is still to come.
    static constexpr int kLookupPending = -1;

    using Handler = std::function<void(int result, const ConnectTarget &address)>;

    explicit AsyncResolver(const ResolverOptions &options = {});
    ~AsyncResolver();

    AsyncResolver(const AsyncResolver &) = delete;
    AsyncResolver &operator=(const AsyncResolver &) = delete;

    // Looks name up, taking its first IPv4 address, else its first IPv6 one.
    // When the answer is known at once (a name in the hosts file, a name the
    // resolver rejects) it is returned: kConnectOk with address set, or
    // kConnectHostNotFound. Otherwise returns kLookupPending and sets id; the
    // handler then runs once, later, from the event loop, with kConnectOk and
    // the address or with kConnectHostNotFound, unless Cancel comes first.
    int Lookup(const QByteArray &name, ConnectTarget &address, Handler handler, std::uint64_t &id);
    // The handler of a pending lookup never runs. Unknown ids are ignored.
    void Cancel(std::uint64_t id);
    // Lookups whose handler is still to run.
    int PendingLookups() const { return static_cast<int>(m_pending.size()); }

    static constexpr std::chrono::seconds kLongestKept{30};
    static constexpr std::chrono::seconds kKeptWithoutTimeToLive{5};
    static constexpr int kMostKept = 4096;

private:
    struct Request;
    struct Watch;

    struct Kept
    {
        ConnectTarget address;
        std::chrono::steady_clock::time_point until;
    };

    static void OnAnswer(void *arg, int status, int timeouts, ares_addrinfo *result);
    // Keeps a found address for its time to live (seconds, 0 when unknown).
    void Keep(const QByteArray &name, const ConnectTarget &address, int timeToLive);
    static void OnSocketState(void *data, int fd, int readable, int writable);
    // Lets c-ares act on a ready socket, or on its time-outs (both -1).
    void Process(int readFd, int writeFd);
    void WatchSocket(int fd, bool readable, bool writable);
    void ArmTimer();
    // Ends the questions that nobody waits for any more, which closes their
    // sockets. Deferred while c-ares is running: it must not be re-entered.
    void DropAbandoned();

    ares_channeldata *m_channel = nullptr;
    bool m_bUsable = false;
    std::set<std::uint64_t> m_pending;
    // Requests handed to c-ares and not yet answered, wanted or abandoned.
    int m_nInFlight = 0;
    std::uint64_t m_nextId = 1;
    // Calls into c-ares in progress.
    int m_nDepth = 0;
    std::map<int, Watch> m_watches;
    std::unique_ptr<QTimer> m_timer;
    QHash<QByteArray, Kept> m_kept;
};
