// A loopback HTTP server for the concurrency benchmark that answers each
// request after a fixed delay, as a real web server far away does, and holds
// thousands of connections at once on one thread (epoll). Each request gets
// 200, 404, 301 or 500 by its path, then the server closes the connection.
//
// Usage: delayserver [--delay MS] [--port PORT] [--address A]...
// Listens on every address given (default 127.0.0.1) on the same port (an
// ephemeral one unless given), prints the port, and on SIGINT or SIGTERM
// prints, for each address, the most connections that were open at once and
// the most requests that waited for their answer at once.
#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <string>
#include <sys/epoll.h>
#include <sys/resource.h>
#include <sys/signalfd.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

const char *const kReplies[] = {
    "HTTP/1.0 200 OK\r\nContent-Length: 2\r\n\r\nok",
    "HTTP/1.0 404 Not Found\r\nContent-Length: 2\r\n\r\nno",
    "HTTP/1.0 301 Moved Permanently\r\nLocation: /\r\nContent-Length: 0\r\n\r\n",
    "HTTP/1.0 500 Internal Server Error\r\nContent-Length: 2\r\n\r\nxx",
};

struct Connection
{
    bool open = false;
    bool waiting = false;
    int address = 0;
    std::string request;
};

struct Due
{
    Clock::time_point when;
    int fd;
};

struct AddressStats
{
    int open = 0;
    int peakOpen = 0;
    int waiting = 0;
    int peakWaiting = 0;
};

// The path of the request line picks the answer, so that every run of the
// same links gets the same answers.
const char *ReplyFor(const std::string &request)
{
    const std::size_t start = request.find(' ');
    const std::size_t end = request.find(' ', start + 1);
    std::size_t hash = 0;
    if (start != std::string::npos && end != std::string::npos) {
        for (std::size_t i = start + 1; i < end; ++i)
            hash = hash * 31 + static_cast<unsigned char>(request[i]);
    }
    return kReplies[hash % 4];
}

int Listen(const char *address, int port)
{
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    const int yes = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in where{};
    where.sin_family = AF_INET;
    where.sin_port = htons(static_cast<std::uint16_t>(port));
    if (inet_pton(AF_INET, address, &where.sin_addr) != 1 ||
        bind(fd, reinterpret_cast<sockaddr *>(&where), sizeof where) != 0 ||
        listen(fd, 4096) != 0) {
        std::fprintf(stderr, "delayserver: cannot listen on %s:%d: %s\n", address, port,
                     std::strerror(errno));
        std::exit(1);
    }
    return fd;
}

int LocalPort(int fd)
{
    sockaddr_in where{};
    socklen_t length = sizeof where;
    getsockname(fd, reinterpret_cast<sockaddr *>(&where), &length);
    return ntohs(where.sin_port);
}

} // namespace

int main(int argc, char **argv)
{
    int delayMs = 0;
    int port = 0;
    std::vector<const char *> addresses;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        if (option == "--delay")
            delayMs = std::atoi(argv[i + 1]);
        else if (option == "--port")
            port = std::atoi(argv[i + 1]);
        else if (option == "--address")
            addresses.push_back(argv[i + 1]);
    }
    if (addresses.empty())
        addresses.push_back("127.0.0.1");

    // Thousands of connections need as many descriptors.
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) == 0) {
        limit.rlim_cur = limit.rlim_max;
        setrlimit(RLIMIT_NOFILE, &limit);
    }

    const int epoll = epoll_create1(EPOLL_CLOEXEC);
    std::vector<int> listeners;
    for (const char *address : addresses) {
        const int fd = Listen(address, port);
        port = LocalPort(fd);
        epoll_event event{};
        event.events = EPOLLIN;
        event.data.u64 = (1ULL << 32) | listeners.size();
        epoll_ctl(epoll, EPOLL_CTL_ADD, fd, &event);
        listeners.push_back(fd);
    }
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    sigprocmask(SIG_BLOCK, &signals, nullptr);
    const int signalFd = signalfd(-1, &signals, SFD_CLOEXEC);
    epoll_event signalEvent{};
    signalEvent.events = EPOLLIN;
    signalEvent.data.u64 = 2ULL << 32;
    epoll_ctl(epoll, EPOLL_CTL_ADD, signalFd, &signalEvent);

    std::printf("%d\n", port);
    std::fflush(stdout);

    std::vector<Connection> connections;
    std::vector<AddressStats> stats(addresses.size());
    // Every answer waits the same delay, so the queue stays in time order.
    std::deque<Due> due;
    const auto delay = std::chrono::milliseconds(delayMs);

    const auto closeConnection = [&](int fd) {
        Connection &connection = connections[fd];
        AddressStats &s = stats[connection.address];
        if (connection.waiting)
            --s.waiting;
        --s.open;
        connection = Connection{};
        close(fd);
    };
    const auto answer = [&](int fd) {
        Connection &connection = connections[fd];
        const char *reply = ReplyFor(connection.request);
        if (write(fd, reply, std::strlen(reply)) < 0 && errno != EPIPE && errno != ECONNRESET)
            std::perror("delayserver");
        closeConnection(fd);
    };

    std::vector<epoll_event> events(1024);
    for (;;) {
        int timeout = -1;
        if (!due.empty()) {
            const auto left =
                std::chrono::ceil<std::chrono::milliseconds>(due.front().when - Clock::now());
            timeout = static_cast<int>(std::max<long long>(left.count(), 0));
        }
        const int ready =
            epoll_wait(epoll, events.data(), static_cast<int>(events.size()), timeout);
        for (int i = 0; i < ready; ++i) {
            const std::uint64_t tag = events[i].data.u64;
            if ((tag >> 32) == 2) {
                for (std::size_t a = 0; a < addresses.size(); ++a)
                    std::fprintf(stderr, "%s: at most %d connections open, %d waiting at once\n",
                                 addresses[a], stats[a].peakOpen, stats[a].peakWaiting);
                return 0;
            }
            if ((tag >> 32) == 1) {
                const int address = static_cast<int>(tag & 0xffffffff);
                for (;;) {
                    const int fd =
                        accept4(listeners[address], nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
                    if (fd < 0)
                        break;
                    if (static_cast<std::size_t>(fd) >= connections.size())
                        connections.resize(fd + 1024);
                    connections[fd] = Connection{true, false, address, {}};
                    AddressStats &s = stats[address];
                    s.peakOpen = std::max(s.peakOpen, ++s.open);
                    epoll_event event{};
                    event.events = EPOLLIN;
                    event.data.u64 = static_cast<std::uint64_t>(fd);
                    epoll_ctl(epoll, EPOLL_CTL_ADD, fd, &event);
                }
                continue;
            }
            const int fd = static_cast<int>(tag);
            Connection &connection = connections[fd];
            if (!connection.open)
                continue;
            char buffer[4096];
            const ssize_t got = read(fd, buffer, sizeof buffer);
            if (got <= 0) {
                if (got < 0 && errno == EAGAIN)
                    continue;
                // The client went before its answer.
                std::size_t kept = 0;
                for (const Due &d : due) {
                    if (d.fd != fd)
                        due[kept++] = d;
                }
                due.resize(kept);
                closeConnection(fd);
                continue;
            }
            if (connection.waiting)
                continue;
            connection.request.append(buffer, static_cast<std::size_t>(got));
            if (connection.request.find("\r\n\r\n") == std::string::npos)
                continue;
            if (delayMs <= 0) {
                answer(fd);
                continue;
            }
            connection.waiting = true;
            AddressStats &s = stats[connection.address];
            s.peakWaiting = std::max(s.peakWaiting, ++s.waiting);
            due.push_back({Clock::now() + delay, fd});
        }
        const auto now = Clock::now();
        while (!due.empty() && due.front().when <= now) {
            const int fd = due.front().fd;
            due.pop_front();
            answer(fd);
        }
    }
}
