#pragma once

#include <functional>
#include <unordered_map>

#include <QBasicTimer>
#include <QObject>

#include "engine/timerservice.h"

// Timers on the Qt event loop: each id is a QBasicTimer; ticks are handed to
// the callback on the event-loop thread. A run with many probes in flight
// keeps one timer per probe, so a tick finds its id without a search.
class QtTimerService final : public QObject, public TimerService
{
public:
    explicit QtTimerService(std::function<void(int)> onTick, QObject *parent = nullptr);

    void SetTimer(int id, int milliseconds) override;
    void KillTimer(int id) override;
    void PostTick(int id) override;

protected:
    void timerEvent(QTimerEvent *event) override;

private:
    std::function<void(int)> m_onTick;
    std::unordered_map<int, QBasicTimer> m_timers;
    // Qt's timer id of each running timer -> our id.
    std::unordered_map<int, int> m_ids;
};
