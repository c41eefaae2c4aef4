#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <set>
#include <utility>
#include <vector>

#include <QByteArray>
#include <QElapsedTimer>

#include "engine/httpprobe.h"
#include "engine/pooljob.h"
#include "engine/retrypolicy.h"

class AsyncResolver;
class CProbeSlot;
class TimerService;

// The probes of one host (the same name and port): those waiting for a place,
// in link order, and how many run.
struct PoolHost
{
    QByteArray key;
    std::deque<PoolJob *> waiting;
    int running = 0;
    // Jobs that wait for a try again.
    int sleeping = 0;
    // No request to the host starts before this time on the pool's clock; the
    // time the host waits for among the paced ones, 0 when it is not among them.
    std::int64_t notBefore = 0;
    std::int64_t pacedUntil = 0;
    // The number under which the host stands among those ready to start, 0
    // when it is not among them.
    std::uint64_t readyAs = 0;
};

// Told of the oldest job of the pool, the one the driver waits for: when its
// probe shows something before its outcome, and when it has its outcome.
class PoolListener
{
public:
    virtual ~PoolListener() = default;
    virtual void OnHeadShowed() = 0;
    virtual void OnHeadDone() = 0;
};

// The timers of the pool's places: the first place's, and the first of the
// others', which follow it one per place.
// And the pool's wake-up: a job's try again, or a host's next start, is due.
struct PoolTimers
{
    int first = 0;
    int more = 0;
    int wake = 0;
};

// Probes links ahead of the driver, many at once, within a total limit and a
// limit per host. Jobs are added in link order and leave in that order, when
// the driver has taken them; among the waiting ones the oldest whose host has
// room starts first. Each probe's time-out counts from its own start. Outcomes
// and what each probe showed wait in the job until the driver takes them.
// In today's web mode an outcome that may pass is tried again after a wait
// that holds no place, and the starts towards one host keep a least interval.
class CProbePool
{
public:
    // Each place has a timer of its own for its probe's time-out.
    CProbePool(PoolListener &listener, TimerService &timers, AsyncResolver &resolver,
               ProbePorts ports, PoolTimers timerIds);
    ~CProbePool();

    CProbePool(const CProbePool &) = delete;
    CProbePool &operator=(const CProbePool &) = delete;

    // Probes in flight at most, in all and towards one host (each at least 1).
    void SetLimits(int total, int perHost);
    // The time-out, in milliseconds, of the probes that start from now on.
    void SetTimeout(int milliseconds) { m_nTimeoutMs = milliseconds; }
    // Tries again, their waits and the interval between a host's starts.
    void SetPolite(const PoliteSettings &settings);

    // Queues the probe of link and starts what the limits allow.
    void Add(const QByteArray &link, int protocol);
    // Queues a link whose outcome is known without a probe.
    void AddSettled(const QByteArray &link, int protocol, const ProbeOutcome &outcome);
    // The oldest job, or null when there is none.
    const PoolJob *Head() const { return m_jobs.empty() ? nullptr : &m_jobs.front(); }
    // The driver is done with the oldest job; a probe still running ends.
    void ReleaseHead();
    // Ends every probe quietly; the jobs stay, with what each probe showed.
    void EndAll();
    // Ends every probe and forgets every job.
    void Clear();
    // A tick of one of the pool's timers; false when the id is not the pool's.
    bool OnTimer(int id);

    // Jobs added and not yet released.
    int Held() const { return static_cast<int>(m_jobs.size()); }
    int Running() const { return m_nRunning; }
    // Probes put back to wait because no descriptor or local port was left.
    int PutBacks() const { return m_nPutBacks; }

    // Called by a place when its probe has ended.
    void OnProbeEnded(CProbeSlot &slot, const ProbeOutcome &outcome);
    // Called by a place when its probe has shown something for the job.
    void OnProbeShowed(const PoolJob &job);

private:
    // Starts waiting jobs while the limits and the descriptors allow.
    void StartMore();
    void Start(PoolJob &job);
    // Records the outcome, closes the probe and frees its place.
    void Finish(PoolJob &job, const ProbeOutcome &outcome);
    // Today's web: a redirect's next hop goes back to wait as the same job;
    // false when the outcome ends the job.
    bool FollowRedirect(PoolJob &job, const ProbeOutcome &outcome);
    // A probe that found no descriptor or local port goes back to wait while
    // others run.
    bool PutBack(PoolJob &job);
    void FreeSlot(CProbeSlot &slot);
    PoolHost &HostOf(const QByteArray &link, int protocol);
    void ForgetHostIfIdle(PoolHost *host);
    // The host may start its next job: it waits for a place among the others.
    void UpdateReady(PoolHost &host);
    // In today's web mode an outcome that may pass sends the job to wait for
    // its next try; false when the outcome stands.
    bool RetryLater(PoolJob &job, const ProbeOutcome &outcome);
    // Jobs whose try again is due go back among their host's waiting ones,
    // paced hosts whose time has come may start again.
    void Wake();
    void ArmWake();
    bool Polite() const;
    std::int64_t Now() const { return m_clock.elapsed(); }
    void NotifyIfHeadDone();
    int TimerOfPlace(std::size_t place) const;
    // The place whose timer id is, or -1.
    int PlaceOfTimer(int id) const;

    PoolListener &m_listener;
    TimerService &m_timers;
    AsyncResolver &m_resolver;
    ProbePorts m_ports;
    PoolTimers m_timerIds;
    int m_nTotal = 1;
    int m_nPerHost = 1;
    int m_nTimeoutMs = 15000;
    RetryPolicy m_retry;
    QElapsedTimer m_clock;

    std::deque<PoolJob> m_jobs;
    std::uint64_t m_nNextSeq = 1;
    std::map<QByteArray, std::unique_ptr<PoolHost>> m_hosts;
    // Hosts with a job waiting and room for it, by that job's number.
    std::set<std::pair<std::uint64_t, PoolHost *>> m_ready;
    // Jobs waiting for a try again, and hosts waiting for their interval, by
    // when they are due.
    std::multimap<std::int64_t, PoolJob *> m_sleeping;
    std::set<std::pair<std::int64_t, PoolHost *>> m_paced;
    // When the next start is allowed towards hosts that were forgotten soon
    // after a start.
    std::map<QByteArray, std::int64_t> m_hostNotBefore;
    // When the wake-up timer is due, -1 when it is not armed.
    std::int64_t m_nWakeAt = -1;
    std::vector<std::unique_ptr<CProbeSlot>> m_slots;
    std::vector<CProbeSlot *> m_freeSlots;
    int m_nRunning = 0;
    int m_nPutBacks = 0;
    // No descriptor was left at the last start: nothing starts until a probe ends.
    bool m_bShortOfResources = false;
    // Inside StartMore: a start that fails at once does not start more itself.
    bool m_bStarting = false;
};
