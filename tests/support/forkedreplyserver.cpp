#include "support/forkedreplyserver.h"

#include <csignal>
#include <cstring>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include "support/loopbackfd.h"

namespace {

// The child runs only system calls on memory prepared before the fork: a
// process forked from one with threads may not allocate.
[[noreturn]] void Serve(int listener, const char *reply, std::size_t length)
{
    char request[4096];
    for (;;) {
        const int connection = ::accept(listener, nullptr, nullptr);
        if (connection < 0)
            continue;
        std::size_t got = 0;
        for (;;) {
            const ssize_t n = ::recv(connection, request + got, sizeof(request) - got - 1, 0);
            if (n <= 0)
                break;
            got += static_cast<std::size_t>(n);
            request[got] = '\0';
            if (std::strstr(request, "\r\n\r\n") != nullptr || got + 1 >= sizeof(request))
                break;
        }
        [[maybe_unused]] const ssize_t sent = ::send(connection, reply, length, MSG_NOSIGNAL);
        ::close(connection);
    }
}

} // namespace

ForkedReplyServer::ForkedReplyServer(const QByteArray &reply)
{
    LoopbackFd listener = BindLoopbackSocket("127.0.0.1", 0, true, nullptr);
    if (!listener.isValid() || ::listen(listener.get(), 128) != 0)
        return;
    m_port = LoopbackLocalPort(listener.get());
    const QByteArray bytes = reply;
    const pid_t pid = ::fork();
    if (pid == 0)
        Serve(listener.get(), bytes.constData(), static_cast<std::size_t>(bytes.size()));
    m_pid = pid;
}

ForkedReplyServer::~ForkedReplyServer()
{
    if (m_pid <= 0)
        return;
    ::kill(m_pid, SIGKILL);
    ::waitpid(m_pid, nullptr, 0);
}
