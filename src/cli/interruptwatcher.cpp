#include "interruptwatcher.h"

#include <sys/signalfd.h>
#include <unistd.h>

#include <QSocketNotifier>

InterruptWatcher::InterruptWatcher(std::function<void()> onInterrupt)
    : m_onInterrupt(std::move(onInterrupt))
{
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, &m_previousMask);
    m_fd = signalfd(-1, &signals, SFD_NONBLOCK | SFD_CLOEXEC);
    if (m_fd < 0)
        return;
    m_notifier = std::make_unique<QSocketNotifier>(m_fd, QSocketNotifier::Read);
    QObject::connect(m_notifier.get(), &QSocketNotifier::activated, m_notifier.get(),
                     [this] { OnReadable(); });
}

InterruptWatcher::~InterruptWatcher()
{
    m_notifier.reset();
    if (m_fd >= 0)
        close(m_fd);
    pthread_sigmask(SIG_SETMASK, &m_previousMask, nullptr);
}

void InterruptWatcher::OnReadable()
{
    signalfd_siginfo info{};
    bool received = false;
    while (read(m_fd, &info, sizeof info) == static_cast<ssize_t>(sizeof info))
        received = true;
    if (!received || m_interrupted)
        return;
    m_interrupted = true;
    m_onInterrupt();
}
