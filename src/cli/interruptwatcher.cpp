#include "interruptwatcher.h"

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

#include <QSocketNotifier>

namespace {

constexpr int kExitInterrupted = 130;

// A signal handler reaches only what is static. Both are set while a watcher
// lives; lock-free atomics are safe to use from a handler.
std::atomic<int> s_signalsSeen{0};
std::atomic<int> s_wakeFd{-1};
static_assert(std::atomic<int>::is_always_lock_free);

void OnSignal(int)
{
    if (s_signalsSeen.fetch_add(1) > 0)
        _exit(kExitInterrupted);
    const int saved = errno;
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = write(s_wakeFd.load(), &byte, 1);
    errno = saved;
}

} // namespace

InterruptWatcher::InterruptWatcher(std::function<void()> onInterrupt)
    : m_onInterrupt(std::move(onInterrupt))
{
    int fds[2];
    if (pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    m_readFd = fds[0];
    m_writeFd = fds[1];
    s_signalsSeen = 0;
    s_wakeFd = m_writeFd;
    m_notifier = std::make_unique<QSocketNotifier>(m_readFd, QSocketNotifier::Read);
    QObject::connect(m_notifier.get(), &QSocketNotifier::activated, m_notifier.get(),
                     [this] { OnReadable(); });

    struct sigaction action
    {};
    action.sa_handler = OnSignal;
    // Interrupted system calls go on, so that no write of the report is cut
    // short; the two signals wait for each other's handler.
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    sigaddset(&action.sa_mask, SIGINT);
    sigaddset(&action.sa_mask, SIGTERM);
    sigaction(SIGINT, &action, &m_previousInt);
    sigaction(SIGTERM, &action, &m_previousTerm);
}

InterruptWatcher::~InterruptWatcher()
{
    if (m_readFd < 0)
        return;
    sigaction(SIGINT, &m_previousInt, nullptr);
    sigaction(SIGTERM, &m_previousTerm, nullptr);
    s_wakeFd = -1;
    m_notifier.reset();
    close(m_readFd);
    close(m_writeFd);
}

void InterruptWatcher::OnReadable()
{
    char bytes[16];
    while (read(m_readFd, bytes, sizeof bytes) > 0) {
    }
    if (m_interrupted)
        return;
    m_interrupted = true;
    m_onInterrupt();
}
