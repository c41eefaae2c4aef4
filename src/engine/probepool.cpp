#include "probepool.h"

#include <algorithm>
#include <climits>

#include "engine/probemode.h"
#include "engine/probeslot.h"
#include "engine/resultcategories.h"
#include "engine/timerservice.h"
#include "engine/urlparts.h"

CProbePool::CProbePool(PoolListener &listener, TimerService &timers, AsyncResolver &resolver,
                       ProbePorts ports, PoolTimers timerIds)
    : m_listener(listener), m_timers(timers), m_resolver(resolver), m_ports(std::move(ports)),
      m_timerIds(timerIds)
{
    m_clock.start();
}

CProbePool::~CProbePool()
{
    Clear();
}

void CProbePool::SetLimits(int total, int perHost)
{
    m_nTotal = std::max(1, total);
    m_nPerHost = std::max(1, perHost);
    // Hosts that had no room under the old limit may have some now.
    for (auto &entry : m_hosts)
        UpdateReady(*entry.second);
    StartMore();
}

void CProbePool::SetPolite(const PoliteSettings &settings)
{
    m_retry.SetSettings(settings);
}

bool CProbePool::Polite() const
{
    return m_ports.mode && m_ports.mode->bTodaysWeb;
}

void CProbePool::Add(const QByteArray &link, int protocol)
{
    PoolJob &job = m_jobs.emplace_back();
    job.seq = m_nNextSeq++;
    job.link = link;
    job.protocol = protocol;
    job.host = &HostOf(link, protocol);
    job.host->waiting.push_back(&job);
    UpdateReady(*job.host);
    StartMore();
}

void CProbePool::AddSettled(const QByteArray &link, int protocol, const ProbeOutcome &outcome)
{
    PoolJob &job = m_jobs.emplace_back();
    job.seq = m_nNextSeq++;
    job.link = link;
    job.protocol = protocol;
    job.done = true;
    job.outcome = outcome;
}

void CProbePool::ReleaseHead()
{
    if (m_jobs.empty())
        return;
    PoolJob &job = m_jobs.front();
    PoolHost *host = std::exchange(job.host, nullptr);
    if (job.slot != nullptr) {
        CProbeSlot &slot = *job.slot;
        slot.End(true);
        FreeSlot(slot);
        --host->running;
    } else if (host != nullptr && job.wakeAt >= 0) {
        // Its scan failed while it waited for a try again.
        const auto [from, to] = m_sleeping.equal_range(job.wakeAt);
        const auto sleeping =
            std::find_if(from, to, [&job](const auto &e) { return e.second == &job; });
        if (sleeping != to)
            m_sleeping.erase(sleeping);
        --host->sleeping;
    } else if (host != nullptr) {
        // The oldest job is the first of its host's waiting ones.
        const auto waiting = std::find(host->waiting.begin(), host->waiting.end(), &job);
        if (waiting != host->waiting.end())
            host->waiting.erase(waiting);
    }
    if (host != nullptr)
        UpdateReady(*host);
    m_jobs.pop_front();
    ForgetHostIfIdle(host);
    StartMore();
}

void CProbePool::EndAll()
{
    for (PoolJob &job : m_jobs) {
        if (job.slot != nullptr) {
            CProbeSlot &slot = *job.slot;
            slot.End(true);
            m_timers.KillTimer(slot.TimerId());
        }
    }
}

void CProbePool::Clear()
{
    EndAll();
    m_jobs.clear();
    m_hosts.clear();
    m_ready.clear();
    // Stop ends the waits for a try again at once.
    m_sleeping.clear();
    m_paced.clear();
    m_hostNotBefore.clear();
    m_timers.KillTimer(m_timerIds.wake);
    m_nWakeAt = -1;
    m_freeSlots.clear();
    for (const auto &slot : m_slots)
        m_freeSlots.push_back(slot.get());
    m_nRunning = 0;
    m_bShortOfResources = false;
}

int CProbePool::TimerOfPlace(std::size_t place) const
{
    return place == 0 ? m_timerIds.first : m_timerIds.more + static_cast<int>(place) - 1;
}

int CProbePool::PlaceOfTimer(int id) const
{
    const int place = id == m_timerIds.first  ? 0
                      : id >= m_timerIds.more ? id - m_timerIds.more + 1
                                              : -1;
    return place < static_cast<int>(m_slots.size()) ? place : -1;
}

bool CProbePool::OnTimer(int id)
{
    if (id == m_timerIds.wake) {
        m_timers.KillTimer(id);
        m_nWakeAt = -1;
        Wake();
        return true;
    }
    const int index = PlaceOfTimer(id);
    if (index < 0)
        return false;
    m_timers.KillTimer(id);
    CProbeSlot &slot = *m_slots[index];
    if (slot.Job() == nullptr)
        return true;
    // A reply whose status line came while its body was still being read
    // has its outcome: only the connection is lost to the time-out.
    ProbeOutcome outcome;
    outcome.replyCode = slot.Probe().StatusSoFar();
    outcome.replied = outcome.replyCode.has_value();
    if (!outcome.replied)
        outcome.failureCode = PROBE_ERR_TIMEOUT;
    OnProbeEnded(slot, outcome);
    return true;
}

void CProbePool::OnProbeEnded(CProbeSlot &slot, const ProbeOutcome &outcome)
{
    PoolJob *job = slot.Job();
    if (job == nullptr)
        return;
    if ((!outcome.replied && PutBack(*job)) || RetryLater(*job, outcome)) {
        StartMore();
        return;
    }
    if (!FollowRedirect(*job, outcome))
        Finish(*job, outcome);
    StartMore();
    // Last: the driver may take the outcome, and end the run, inside this call.
    NotifyIfHeadDone();
}

void CProbePool::OnProbeShowed(const PoolJob &job)
{
    // Only what the head shows before its outcome is shown as it comes; the
    // rest waits until the driver takes that outcome.
    if (!m_jobs.empty() && &m_jobs.front() == &job && !job.done)
        m_listener.OnHeadShowed();
}

void CProbePool::StartMore()
{
    if (m_bStarting)
        return;
    m_bStarting = true;
    while (!m_bShortOfResources && m_nRunning < m_nTotal && !m_ready.empty()) {
        PoolHost &host = *m_ready.begin()->second;
        PoolJob &job = *host.waiting.front();
        host.waiting.pop_front();
        ++host.running;
        if (Polite() && m_retry.Settings().hostIntervalMs > 0)
            host.notBefore = Now() + m_retry.Settings().hostIntervalMs;
        UpdateReady(host);
        Start(job);
    }
    m_bStarting = false;
}

void CProbePool::Start(PoolJob &job)
{
    if (m_freeSlots.empty()) {
        const int timerId = TimerOfPlace(m_slots.size());
        m_slots.push_back(std::make_unique<CProbeSlot>(*this, timerId, m_ports, m_resolver));
        m_freeSlots.push_back(m_slots.back().get());
    }
    CProbeSlot &slot = *m_freeSlots.back();
    m_freeSlots.pop_back();
    ++m_nRunning;
    // A job tried again adds to what its earlier tries showed.
    if (job.retries == 0) {
        ++job.attempt;
        job.display.clear();
    }
    job.started.start();
    // The time-out bounds lookup, connect and reply together, from this start;
    // the hops of a redirect chain share the link's time-out.
    const qint64 left = std::max<qint64>(m_nTimeoutMs - job.earlierHopsMs, 1);
    m_timers.SetTimer(slot.TimerId(), static_cast<int>(std::min<qint64>(left, m_nTimeoutMs)));
    const int result = slot.Begin(job);
    if (result < static_cast<int>(kFirstFailureCode))
        return;
    ProbeOutcome outcome;
    outcome.failureCode = static_cast<std::uint32_t>(result);
    if (!PutBack(job) && !RetryLater(job, outcome))
        Finish(job, outcome);
}

void CProbePool::Finish(PoolJob &job, const ProbeOutcome &outcome)
{
    job.done = true;
    job.outcome = outcome;
    job.outcome.elapsedMs = job.earlierHopsMs + (job.started.isValid() ? job.started.elapsed() : 0);
    job.stepsBeforeOutcome = job.display.size();
    CProbeSlot &slot = *job.slot;
    slot.End();
    FreeSlot(slot);
    PoolHost *host = std::exchange(job.host, nullptr);
    --host->running;
    UpdateReady(*host);
    ForgetHostIfIdle(host);
    // A probe ended, so a descriptor may be free again.
    m_bShortOfResources = false;
}

bool CProbePool::RetryLater(PoolJob &job, const ProbeOutcome &outcome)
{
    if (!Polite() || job.slot == nullptr)
        return false;
    const std::optional<std::int64_t> wait =
        m_retry.WaitBeforeRetry(outcome, job.retries + 1, QDateTime::currentDateTimeUtc());
    if (!wait)
        return false;
    ++job.retries;
    CProbeSlot &slot = *job.slot;
    slot.End();
    FreeSlot(slot);
    PoolHost &host = *job.host;
    --host.running;
    ++host.sleeping;
    UpdateReady(host);
    job.wakeAt = Now() + *wait;
    m_sleeping.emplace(job.wakeAt, &job);
    ArmWake();
    // The place it held is free, so a descriptor may be too.
    m_bShortOfResources = false;
    return true;
}

void CProbePool::Wake()
{
    const std::int64_t now = Now();
    while (!m_sleeping.empty() && m_sleeping.begin()->first <= now) {
        PoolJob &job = *m_sleeping.begin()->second;
        m_sleeping.erase(m_sleeping.begin());
        job.wakeAt = -1;
        PoolHost &host = *job.host;
        --host.sleeping;
        // Back in link order among the host's waiting ones.
        const auto later =
            std::find_if(host.waiting.begin(), host.waiting.end(),
                         [&job](const PoolJob *other) { return other->seq > job.seq; });
        host.waiting.insert(later, &job);
        UpdateReady(host);
    }
    while (!m_paced.empty() && m_paced.begin()->first <= now)
        UpdateReady(*m_paced.begin()->second);
    ArmWake();
    StartMore();
    // A try that failed at once may have ended the head.
    NotifyIfHeadDone();
}

void CProbePool::ArmWake()
{
    std::int64_t due = -1;
    if (!m_sleeping.empty())
        due = m_sleeping.begin()->first;
    if (!m_paced.empty() && (due < 0 || m_paced.begin()->first < due))
        due = m_paced.begin()->first;
    if (due == m_nWakeAt)
        return;
    m_nWakeAt = due;
    if (due < 0) {
        m_timers.KillTimer(m_timerIds.wake);
        return;
    }
    const std::int64_t wait = std::clamp<std::int64_t>(due - Now(), 1, INT_MAX);
    m_timers.SetTimer(m_timerIds.wake, static_cast<int>(wait));
}

bool CProbePool::FollowRedirect(PoolJob &job, const ProbeOutcome &outcome)
{
    if (!m_ports.mode || !m_ports.mode->bTodaysWeb || job.protocol != PROTOCOL_HTTP)
        return false;
    QByteArray next;
    if (job.redirects.Take(job.link, outcome, &next) != CRedirectChain::Step::Follow)
        return false;
    // This hop's probe is over; the job is not done yet.
    Finish(job, outcome);
    job.done = false;
    job.earlierHopsMs = job.outcome.elapsedMs;
    // The next hop waits among the jobs of the host it names, in link order,
    // with what is left of the link's time-out.
    job.link = next;
    job.host = &HostOf(next, job.protocol);
    std::deque<PoolJob *> &waiting = job.host->waiting;
    waiting.insert(
        std::upper_bound(waiting.begin(), waiting.end(), job.seq,
                         [](std::uint64_t seq, const PoolJob *other) { return seq < other->seq; }),
        &job);
    UpdateReady(*job.host);
    return true;
}

bool CProbePool::PutBack(PoolJob &job)
{
    // Only while others run: they will end and give back what they hold. A
    // probe alone that finds nothing left meets a genuine shortage, and its
    // outcome stands as it would for a probe run on its own.
    if (job.slot == nullptr || !job.slot->Probe().FailedForLackOfResources() || m_nRunning < 2)
        return false;
    CProbeSlot &slot = *job.slot;
    slot.End(true);
    FreeSlot(slot);
    PoolHost &host = *job.host;
    --host.running;
    host.waiting.push_front(&job);
    UpdateReady(host);
    m_bShortOfResources = true;
    ++m_nPutBacks;
    return true;
}

void CProbePool::FreeSlot(CProbeSlot &slot)
{
    m_timers.KillTimer(slot.TimerId());
    m_freeSlots.push_back(&slot);
    --m_nRunning;
}

PoolHost &CProbePool::HostOf(const QByteArray &link, int protocol)
{
    const QByteArray key = ProbeTargetKey(m_ports, link, protocol);
    std::unique_ptr<PoolHost> &host = m_hosts[key];
    if (!host) {
        host = std::make_unique<PoolHost>();
        host->key = key;
        const auto started = m_hostNotBefore.find(key);
        if (started != m_hostNotBefore.end()) {
            host->notBefore = started->second;
            m_hostNotBefore.erase(started);
        }
    }
    return *host;
}

void CProbePool::ForgetHostIfIdle(PoolHost *host)
{
    if (host != nullptr && host->running == 0 && host->waiting.empty() && host->sleeping == 0) {
        UpdateReady(*host);
        const QByteArray key = host->key;
        if (host->notBefore > Now()) {
            // Its interval holds for the next link to it too.
            if (m_hostNotBefore.size() >= 1024)
                std::erase_if(m_hostNotBefore,
                              [now = Now()](const auto &entry) { return entry.second <= now; });
            m_hostNotBefore[key] = host->notBefore;
        }
        m_hosts.erase(key);
    }
}

void CProbePool::UpdateReady(PoolHost &host)
{
    const bool wants = !host.waiting.empty() && host.running < m_nPerHost;
    const std::int64_t pacedUntil = wants && host.notBefore > Now() ? host.notBefore : 0;
    if (pacedUntil != host.pacedUntil) {
        if (host.pacedUntil != 0)
            m_paced.erase({host.pacedUntil, &host});
        if (pacedUntil != 0)
            m_paced.insert({pacedUntil, &host});
        host.pacedUntil = pacedUntil;
        ArmWake();
    }
    const bool ready = wants && pacedUntil == 0;
    const std::uint64_t as = ready ? host.waiting.front()->seq : 0;
    if (as == host.readyAs)
        return;
    if (host.readyAs != 0)
        m_ready.erase({host.readyAs, &host});
    if (as != 0)
        m_ready.insert({as, &host});
    host.readyAs = as;
}

void CProbePool::NotifyIfHeadDone()
{
    if (!m_jobs.empty() && m_jobs.front().done)
        m_listener.OnHeadDone();
}
