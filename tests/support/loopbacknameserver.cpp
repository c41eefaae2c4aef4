#include "support/loopbacknameserver.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr int kHeaderBytes = 12;
constexpr char kTypeA = 1;

// The end of the question section (after QTYPE and QCLASS), or 0 when the
// query is malformed.
int QuestionEnd(const QByteArray &query)
{
    int at = kHeaderBytes;
    while (at < query.size()) {
        const auto length = static_cast<unsigned char>(query[at]);
        if (length == 0)
            return at + 5 <= query.size() ? at + 5 : 0;
        if ((length & 0xC0) != 0)
            return 0;
        at += length + 1;
    }
    return 0;
}

// The name a query asks for, its labels joined by dots; empty when malformed.
QByteArray QuestionName(const QByteArray &query)
{
    if (QuestionEnd(query) == 0)
        return {};
    QByteArray name;
    for (int at = kHeaderBytes; query[at] != 0; at += static_cast<unsigned char>(query[at]) + 1) {
        if (!name.isEmpty())
            name += '.';
        name += query.mid(at + 1, static_cast<unsigned char>(query[at]));
    }
    return name;
}

} // namespace

LoopbackNameServer::LoopbackNameServer(Mode mode, const QByteArray &answer) : m_mode(mode)
{
    in_addr address{};
    inet_pton(AF_INET, answer.constData(), &address);
    m_answer = address.s_addr;

    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    LoopbackFd socket(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    if (!socket.isValid() ||
        ::bind(socket.get(), reinterpret_cast<const sockaddr *>(&local), sizeof(local)) != 0) {
        m_error = QByteArray("cannot bind a UDP port: ") + std::strerror(errno);
        return;
    }
    m_stopEvent = LoopbackFd(::eventfd(0, EFD_CLOEXEC));
    if (!m_stopEvent.isValid()) {
        m_error = "eventfd failed";
        return;
    }
    socklen_t length = sizeof(local);
    ::getsockname(socket.get(), reinterpret_cast<sockaddr *>(&local), &length);
    m_port = ntohs(local.sin_port);
    m_socket = std::move(socket);
    m_thread = std::thread(&LoopbackNameServer::serve, this);
}

LoopbackNameServer::~LoopbackNameServer()
{
    if (m_thread.joinable()) {
        const std::uint64_t one = 1;
        [[maybe_unused]] const auto written = ::write(m_stopEvent.get(), &one, sizeof(one));
        m_thread.join();
    }
}

QByteArray LoopbackNameServer::serverText() const
{
    return "127.0.0.1:" + QByteArray::number(m_port);
}

int LoopbackNameServer::queryCount() const
{
    const std::lock_guard lock(m_mutex);
    return m_queries;
}

bool LoopbackNameServer::waitForQueries(int count, std::chrono::milliseconds timeout)
{
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, timeout, [&] { return m_queries >= count; });
}

void LoopbackNameServer::serve()
{
    pollfd entries[2] = {{m_socket.get(), POLLIN, 0}, {m_stopEvent.get(), POLLIN, 0}};
    for (;;) {
        if (::poll(entries, 2, -1) < 0 && errno != EINTR)
            return;
        if (entries[1].revents != 0)
            return;
        if (entries[0].revents == 0)
            continue;
        char buffer[1500];
        sockaddr_in client{};
        socklen_t length = sizeof(client);
        const auto got = ::recvfrom(m_socket.get(), buffer, sizeof(buffer), MSG_DONTWAIT,
                                    reinterpret_cast<sockaddr *>(&client), &length);
        if (got <= 0)
            continue;
        {
            const std::lock_guard lock(m_mutex);
            ++m_queries;
            m_names.append(QuestionName(QByteArray(buffer, static_cast<int>(got))));
        }
        m_changed.notify_all();
        const QByteArray reply = replyTo(QByteArray(buffer, static_cast<int>(got)));
        if (!reply.isEmpty())
            ::sendto(m_socket.get(), reply.constData(), reply.size(), 0,
                     reinterpret_cast<const sockaddr *>(&client), length);
    }
}

QList<QByteArray> LoopbackNameServer::queriedNames() const
{
    const std::lock_guard lock(m_mutex);
    return m_names;
}

QByteArray LoopbackNameServer::replyTo(const QByteArray &query) const
{
    const int end = QuestionEnd(query);
    if (m_mode == Mode::Silent || end == 0)
        return {};
    // The header and question of the query, marked as a reply (keeping the
    // recursion-desired bit), recursion available, no other sections.
    QByteArray reply = query.left(end);
    reply[2] = static_cast<char>(0x80 | (reply[2] & 0x01));
    const bool withAddress =
        m_mode == Mode::Address && query[end - 3] == kTypeA && query[end - 4] == 0;
    reply[3] = static_cast<char>(m_mode == Mode::NxDomain ? 0x83 : 0x80);
    reply.replace(6, 6, QByteArray("\0\0\0\0\0\0", 6));
    if (withAddress) {
        reply[7] = 1;
        // The name as a pointer to the question, type A, class IN, a minute
        // to live, four bytes of address.
        reply += QByteArray("\xC0\x0C\0\x01\0\x01\0\0\0\x3C\0\x04", 12);
        reply += QByteArray(reinterpret_cast<const char *>(&m_answer), 4);
    }
    return reply;
}
