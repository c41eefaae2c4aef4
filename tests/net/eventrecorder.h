#pragma once

#include <algorithm>
#include <chrono>
#include <functional>
#include <vector>

#include <QEventLoop>
#include <QTimer>

#include "net/asyncresolver.h"
#include "net/socketwnd.h"

// A socket window's owner for tests: records every event, lets a test react to
// it, and runs a real event loop until a condition holds or time runs out. Its
// resolver serves the socket windows it owns.
class EventRecorder : public SocketEventSink
{
public:
    struct Event
    {
        int socket;
        long event;
        int error;
    };

    explicit EventRecorder(const ResolverOptions &options = {}) : resolver(options) {}

    void OnSocketEvent(int socket, long event, int error) override
    {
        m_events.push_back({socket, event, error});
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

    // Connects the way a blocking connect would: starts the connect and runs
    // the event loop until its FD_CONNECT, which is taken out of the recorded
    // events. The failure code, 0 when connected, or -1 when none came.
    int ConnectNow(CSocketWnd &socket, const QByteArray &host, const QByteArray &port)
    {
        const int started = socket.Connect(host, port);
        if (started != 0)
            return started;
        const auto connect = [this] {
            return std::find_if(m_events.begin(), m_events.end(),
                                [](const Event &e) { return e.event == FD_CONNECT; });
        };
        if (!RunUntil([&] { return connect() != m_events.end(); }))
            return -1;
        const int result = connect()->error;
        m_events.erase(connect());
        return result;
    }

    AsyncResolver resolver;
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
