#include "qttimerservice.h"

#include <QTimerEvent>

QtTimerService::QtTimerService(std::function<void(int)> onTick, QObject *parent)
    : QObject(parent), m_onTick(std::move(onTick))
{}

void QtTimerService::SetTimer(int id, int milliseconds)
{
    QBasicTimer &timer = m_timers[id];
    if (timer.isActive())
        m_ids.erase(timer.timerId());
    timer.start(std::max(milliseconds, 0), Qt::PreciseTimer, this);
    m_ids[timer.timerId()] = id;
}

void QtTimerService::KillTimer(int id)
{
    const auto timer = m_timers.find(id);
    if (timer == m_timers.end() || !timer->second.isActive())
        return;
    m_ids.erase(timer->second.timerId());
    timer->second.stop();
}

void QtTimerService::PostTick(int id)
{
    QMetaObject::invokeMethod(
        this, [this, id] { m_onTick(id); }, Qt::QueuedConnection);
}

void QtTimerService::timerEvent(QTimerEvent *event)
{
    const auto found = m_ids.find(event->timerId());
    if (found == m_ids.end()) {
        QObject::timerEvent(event);
        return;
    }
    m_onTick(found->second);
}
