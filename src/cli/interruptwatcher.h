#pragma once

#include <functional>
#include <memory>

#include <signal.h>

class QSocketNotifier;

// Turns Ctrl+C (SIGINT) and SIGTERM into a call on the event-loop thread:
// while it lives, the two signals are blocked and read from a signal
// descriptor, so no handler runs at an unsafe moment.
class InterruptWatcher
{
public:
    explicit InterruptWatcher(std::function<void()> onInterrupt);
    ~InterruptWatcher();

    InterruptWatcher(const InterruptWatcher &) = delete;
    InterruptWatcher &operator=(const InterruptWatcher &) = delete;

    bool Interrupted() const { return m_interrupted; }

private:
    void OnReadable();

    std::function<void()> m_onInterrupt;
    sigset_t m_previousMask{};
    int m_fd = -1;
    std::unique_ptr<QSocketNotifier> m_notifier;
    bool m_interrupted = false;
};
