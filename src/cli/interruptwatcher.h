#pragma once

#include <functional>
#include <memory>

#include <signal.h>

class QSocketNotifier;

// Turns Ctrl+C (SIGINT) and SIGTERM into a call on the event-loop thread. The
// first signal is passed on through a pipe to the event loop, so nothing runs
// at an unsafe moment; a second one ends the program at once with status 130,
// even while the first is still waiting for the event loop (a write to a full
// pipe, a slow disk). One watcher lives at a time.
class InterruptWatcher
{
public:
    explicit InterruptWatcher(std::function<void()> onInterrupt);
    ~InterruptWatcher();

    InterruptWatcher(const InterruptWatcher &) = delete;
    InterruptWatcher &operator=(const InterruptWatcher &) = delete;

    // The first signal has reached the event loop.
    bool Interrupted() const { return m_interrupted; }

private:
    void OnReadable();

    std::function<void()> m_onInterrupt;
    struct sigaction m_previousInt
    {};
    struct sigaction m_previousTerm
    {};
    int m_readFd = -1;
    int m_writeFd = -1;
    std::unique_ptr<QSocketNotifier> m_notifier;
    bool m_interrupted = false;
};
