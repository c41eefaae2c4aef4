#include "support/loopbackserver.h"

#include <algorithm>
#include <cerrno>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

bool HasBlankLine(const QByteArray &bytes)
{
    return bytes.contains("\r\n\r\n") || bytes.contains("\n\n");
}

// The second word of the request line: "GET /a?b=1 HTTP/1.0" gives "/a?b=1".
QByteArray RequestPath(const QByteArray &request)
{
    QByteArray line = request.left(request.indexOf('\n'));
    if (line.endsWith('\r'))
        line.chop(1);
    const QList<QByteArray> words = line.split(' ');
    return words.size() >= 2 ? words[1] : QByteArray();
}

QByteArray HeadOf(const LoopbackReply &reply, bool withLength)
{
    QByteArray head = reply.statusLine + "\r\nContent-Type: text/html\r\n";
    if (withLength)
        head += "Content-Length: " + QByteArray::number(reply.body.size()) + "\r\n";
    return head + "\r\n";
}

} // namespace

LoopbackServer::LoopbackServer(LoopbackReply reply, const QByteArray &address, std::uint16_t port)
    : m_address(address), m_reply(std::move(reply))
{
    LoopbackFd listener = BindLoopbackSocket(address, port, true, &m_error);
    if (!listener.isValid())
        return;
    m_port = LoopbackLocalPort(listener.get());
    m_threads.start(
        std::move(listener),
        [this] {
            const std::lock_guard lock(m_mutex);
            m_records.emplace_back();
            m_changed.notify_all();
        },
        [this](LoopbackFd connection, std::size_t index) { serve(std::move(connection), index); },
        m_error);
}

LoopbackServer::~LoopbackServer()
{
    stop();
}

void LoopbackServer::stop()
{
    m_threads.stop();
}

void LoopbackServer::setReply(const LoopbackReply &reply)
{
    const std::lock_guard lock(m_mutex);
    m_reply = reply;
}

void LoopbackServer::setReply(const QByteArray &path, const LoopbackReply &reply)
{
    const std::lock_guard lock(m_mutex);
    m_pathReplies[path] = reply;
}

void LoopbackServer::setReplies(const QByteArray &path, const QList<LoopbackReply> &replies)
{
    const std::lock_guard lock(m_mutex);
    m_pathTurns[path].assign(replies.begin(), replies.end());
}

void LoopbackServer::shareGauge(std::shared_ptr<LoopbackGauge> gauge)
{
    const std::lock_guard lock(m_mutex);
    m_sharedGauge = std::move(gauge);
}

int LoopbackServer::connectionCount() const
{
    const std::lock_guard lock(m_mutex);
    return static_cast<int>(m_records.size());
}

QList<QByteArray> LoopbackServer::requests() const
{
    const std::lock_guard lock(m_mutex);
    QList<QByteArray> list;
    for (const Record &record : m_records)
        list.append(record.received);
    return list;
}

bool LoopbackServer::waitForConnections(int count, std::chrono::milliseconds timeout) const
{
    return waitUntil(timeout, count, [](const Record &) { return true; });
}

bool LoopbackServer::waitForRequests(int count, std::chrono::milliseconds timeout) const
{
    return waitUntil(timeout, count, [](const Record &r) { return r.requestComplete; });
}

bool LoopbackServer::waitForFinished(int count, std::chrono::milliseconds timeout) const
{
    return waitUntil(timeout, count, [](const Record &r) { return r.finished; });
}

bool LoopbackServer::waitUntil(std::chrono::milliseconds timeout, int count,
                               bool (*counts)(const Record &)) const
{
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, timeout, [&] {
        return std::count_if(m_records.begin(), m_records.end(), counts) >= count;
    });
}

void LoopbackServer::serve(LoopbackFd connection, std::size_t index)
{
    const int fd = connection.get();
    const int on = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof(on));

    LoopbackReply reply;
    {
        const std::lock_guard lock(m_mutex);
        reply = m_reply;
    }
    using Kind = LoopbackReply::Kind;
    const bool actsOnAccept = reply.kind == Kind::FtpGreeting || reply.kind == Kind::CloseAtOnce ||
                              reply.kind == Kind::Reset;
    if (actsOnAccept) {
        answer(fd, index, reply);
    } else if (reply.kind == Kind::KeptAlive) {
        serveKeptAlive(fd, index, reply);
    } else if (readRecorded(fd, index, true) != ReadEnd::Stopped) {
        markRequestComplete(index);
        QByteArray request;
        {
            const std::lock_guard lock(m_mutex);
            request = m_records[index].received;
        }
        answer(fd, index, replyFor(request));
    }

    const std::lock_guard lock(m_mutex);
    m_records[index].requestComplete = true;
    m_records[index].finished = true;
    m_changed.notify_all();
}

void LoopbackServer::serveKeptAlive(int fd, std::size_t index, const LoopbackReply &reply)
{
    // Each request ends at its blank line; one answer each, on the same connection.
    qsizetype answered = 0;
    for (;;) {
        qsizetype end = -1;
        {
            const std::lock_guard lock(m_mutex);
            end = m_records[index].received.indexOf("\r\n\r\n", answered);
        }
        if (end >= 0) {
            answered = end + 4;
            markRequestComplete(index);
            if (!sendAll(fd, HeadOf(reply, true) + reply.body))
                return;
            continue;
        }
        char buffer[4096];
        if (!waitFor(fd, POLLIN))
            return;
        const auto received = ::recv(fd, buffer, sizeof(buffer), 0);
        if (received < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
            continue;
        if (received <= 0)
            return;
        const std::lock_guard lock(m_mutex);
        m_records[index].received.append(buffer, received);
        m_changed.notify_all();
    }
}

LoopbackReply LoopbackServer::replyFor(const QByteArray &request)
{
    const QByteArray path = RequestPath(request);
    const std::lock_guard lock(m_mutex);
    const auto turns = m_pathTurns.find(path);
    if (turns != m_pathTurns.end() && !turns->second.empty()) {
        std::deque<LoopbackReply> &queue = turns->second;
        const LoopbackReply reply = queue.front();
        if (queue.size() > 1)
            queue.pop_front();
        return reply;
    }
    const auto found = m_pathReplies.find(path);
    return found != m_pathReplies.end() ? found->second : m_reply;
}

void LoopbackServer::answer(int fd, std::size_t index, const LoopbackReply &reply)
{
    using Kind = LoopbackReply::Kind;
    switch (reply.kind) {
    case Kind::Status:
    case Kind::KeptAlive:
        if (sendAll(fd, HeadOf(reply, true) + reply.body))
            lingerClose(fd, index);
        return;
    case Kind::SplitStatus: {
        const qsizetype half = reply.statusLine.size() / 2;
        if (sendAll(fd, reply.statusLine.left(half)) &&
            waitFor(-1, 0, static_cast<int>(reply.pause.count())) &&
            sendAll(fd, HeadOf(reply, true).mid(half) + reply.body))
            lingerClose(fd, index);
        return;
    }
    case Kind::Silent:
        readRecorded(fd, index, false);
        return;
    case Kind::Delayed: {
        std::shared_ptr<LoopbackGauge> shared;
        {
            const std::lock_guard lock(m_mutex);
            shared = m_sharedGauge;
        }
        m_gauge.enter();
        if (shared)
            shared->enter();
        const bool due = waitFor(-1, 0, static_cast<int>(reply.pause.count()));
        m_gauge.leave();
        if (shared)
            shared->leave();
        if (due && sendAll(fd, HeadOf(reply, true) + reply.body))
            lingerClose(fd, index);
        return;
    }
    case Kind::CloseAtOnce:
        lingerClose(fd, index);
        return;
    case Kind::Reset: {
        // A zero linger time turns the close into a reset.
        const linger abort{1, 0};
        ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &abort, sizeof(abort));
        return;
    }
    case Kind::HugeBody: {
        if (!sendAll(fd, HeadOf(reply, false)))
            return;
        const QByteArray chunk(64 * 1024, 'x');
        while (sendAll(fd, chunk)) {
        }
        return;
    }
    case Kind::Raw:
        if (sendAll(fd, reply.body))
            lingerClose(fd, index);
        return;
    case Kind::FtpGreeting:
        if (sendAll(fd, "220 " + reply.body + "\r\n"))
            readRecorded(fd, index, false);
        return;
    }
}

LoopbackServer::ReadEnd LoopbackServer::readRecorded(int fd, std::size_t index, bool untilBlankLine)
{
    char buffer[4096];
    for (;;) {
        if (!waitFor(fd, POLLIN))
            return ReadEnd::Stopped;
        const auto received = ::recv(fd, buffer, sizeof(buffer), 0);
        if (received < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
            continue;
        if (received <= 0)
            return ReadEnd::PeerClosed;
        bool complete = false;
        {
            const std::lock_guard lock(m_mutex);
            Record &record = m_records[index];
            record.received.append(buffer, received);
            if (!record.requestComplete && HasBlankLine(record.received))
                record.requestComplete = true;
            complete = record.requestComplete;
            m_changed.notify_all();
        }
        if (untilBlankLine && complete)
            return ReadEnd::BlankLine;
    }
}

void LoopbackServer::lingerClose(int fd, std::size_t index)
{
    ::shutdown(fd, SHUT_WR);
    readRecorded(fd, index, false);
}

void LoopbackServer::markRequestComplete(std::size_t index)
{
    const std::lock_guard lock(m_mutex);
    m_records[index].requestComplete = true;
    m_changed.notify_all();
}
