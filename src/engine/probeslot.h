#pragma once

#include <cstdint>

#include "engine/httpprobe.h"
#include "engine/pooljob.h"
#include "engine/probedisplay.h"

class CProbePool;

// A place in the probe pool: one probe with its own time-out timer. It probes
// one job's link at a time, records what the probe tells into the job, and
// tells the pool how the probe ended.
class CProbeSlot final : public ProbeDisplay, public ReplyListener
{
public:
    CProbeSlot(CProbePool &pool, int timerId, const ProbePorts &ports, AsyncResolver &resolver);

    CProbeSlot(const CProbeSlot &) = delete;
    CProbeSlot &operator=(const CProbeSlot &) = delete;

    // Starts the job's probe: 0 while it runs, else the failure code that
    // showed at once (the connection is then closed).
    int Begin(PoolJob &job);
    // Ends the probe and frees the place. Its connection closes, which the
    // job's display shows unless quietly.
    void End(bool quietly = false);

    PoolJob *Job() const { return m_job; }
    int TimerId() const { return m_nTimerId; }
    const CHttpProbe &Probe() const { return m_probe; }

    void ShowStatus(const StatusEvent &event) override;
    void OnReplyReceived() override;
    void OnConnectFailed(std::uint32_t code) override;
    void OnClosedByHost() override;

private:
    CProbePool &m_pool;
    int m_nTimerId;
    CHttpProbe m_probe;
    PoolJob *m_job = nullptr;
    // Inside End: what the closing shows is kept in the job, not announced.
    bool m_bEnding = false;
};
