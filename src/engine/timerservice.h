#pragma once

// The engine's timers. Ticks come back as the engine's OnTimer(id) on the
// event-loop thread. Tests drive the engine tick by tick with a fake.
class TimerService
{
public:
    virtual ~TimerService() = default;
    // Starts (or restarts) the repeating timer id with the period.
    virtual void SetTimer(int id, int milliseconds) = 0;
    virtual void KillTimer(int id) = 0;
    // Delivers one tick of id from the event loop as soon as it is idle.
    virtual void PostTick(int id) = 0;
};

inline constexpr int TIMER_POLL = 103;
// The time-out of the probe in the pool's first place: the only one, one link
// at a time.
inline constexpr int TIMER_TIMEOUT = 105;
// A run with many probes at once takes the outcomes that are ready in bounded
// batches; this tick takes the next batch.
inline constexpr int TIMER_TAKE = 107;
// The probe pool's wake-up: a link waiting to be tried again, or a host
// waiting for its interval between requests, is due.
inline constexpr int TIMER_POOL_WAKE = 109;
// The time-outs of the probes in the pool's other places: one per place, from
// this id on.
inline constexpr int TIMER_FIRST_PROBE = 1000;
