#include "qttimerservice.h"

#include <QTimerEvent>

QtTimerService::QtTimerService(std::function<void(int)> onTick, QObject *parent)
    : QObject(parent), m_onTick(std::move(onTick))
{}

void QtTimerService::SetTimer(int id, int milliseconds)
{
    m_timers[id].start(std::max(milliseconds, 0), Qt::PreciseTimer, this);
}

void QtTimerService::KillTimer(int id)
{
    const auto timer = m_timers.find(id);
    if (timer != m_timers.end())
        timer->second.stop();
}

void QtTimerService::PostTick(int id)
{
    QMetaObject::invokeMethod(
        this, [this, id] { m_onTick(id); }, Qt::QueuedConnection);
}

void QtTimerService::timerEvent(QTimerEvent *event)
{
    for (const auto &[id, timer] : m_timers) {
        if (timer.timerId() == event->timerId()) {
            m_onTick(id);
            return;
        }
    }
    QObject::timerEvent(event);
}
