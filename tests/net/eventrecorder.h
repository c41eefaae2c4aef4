#pragma once

#include <chrono>
#include <functional>
#include <vector>

#include <QEventLoop>
#include <QTimer>

#include "net/socketwnd.h"

// A socket window's owner for tests: records every event, lets a test react to
// it, and runs a real event loop until a condition holds or time runs out.
class EventRecorder : public SocketEventSink
{
public:
    struct Event
    {
        int socket;
        long event;
    };

    void OnSocketEvent(int socket, long event) override
    {
        m_events.push_back({socket, event});
        if (m_react)
            m_react(socket, event);
        if (m_loop != nullptr && m_until && m_until())
            m_loop->quit();
    }

    std::vector<long> kinds() const
    {
        std::vector<long> list;
        for (const Event &e : m_events)
            list.push_back(e.event);
        return list;
    }

    // Runs the event loop until an event makes until() true, or the time-out.
    bool RunUntil(std::function<bool()> until,
                  std::chrono::milliseconds timeout = std::chrono::seconds(10))
    {
        if (until())
            return true;
        m_until = std::move(until);
        Run(timeout);
        const bool done = m_until();
        m_until = nullptr;
        return done;
    }
    bool RunUntilEvents(std::size_t count)
    {
        return RunUntil([this, count] { return m_events.size() >= count; });
    }
    // Runs the event loop for a while, to see that nothing more arrives.
    void RunFor(std::chrono::milliseconds span) { Run(span); }

    std::vector<Event> m_events;
    std::function<void(int, long)> m_react;

private:
    void Run(std::chrono::milliseconds span)
    {
        QEventLoop loop;
        QTimer::singleShot(span, &loop, &QEventLoop::quit);
        m_loop = &loop;
        loop.exec();
        m_loop = nullptr;
    }

    QEventLoop *m_loop = nullptr;
    std::function<bool()> m_until;
};
