#include "probeslot.h"

#include "engine/pooljob.h"
#include "engine/probepool.h"
#include "engine/resultcategories.h"

CProbeSlot::CProbeSlot(CProbePool &pool, int timerId, const ProbePorts &ports,
                       AsyncResolver &resolver)
    : m_pool(pool), m_nTimerId(timerId), m_probe(*this, *this, ports, resolver)
{}

int CProbeSlot::Begin(PoolJob &job)
{
    m_job = &job;
    job.slot = this;
    m_probe.m_nProtocol = job.protocol;
    return m_probe.SendRequest(job.link);
}

void CProbeSlot::End(bool quietly)
{
    m_bEnding = true;
    if (m_probe.HasConnection() && !quietly)
        m_probe.CloseConnection();
    else
        m_probe.DropConnection();
    if (m_job != nullptr)
        m_job->slot = nullptr;
    m_job = nullptr;
    m_bEnding = false;
}

void CProbeSlot::ShowStatus(const StatusEvent &event)
{
    if (m_job == nullptr)
        return;
    m_job->display.push_back(event);
    if (!m_bEnding)
        m_pool.OnProbeShowed(*m_job);
}

void CProbeSlot::OnReplyReceived()
{
    ProbeOutcome outcome;
    outcome.replied = true;
    outcome.replyCode = m_probe.ReplyCode();
    outcome.headers = m_probe.ReplyHeaders();
    m_pool.OnProbeEnded(*this, outcome);
}

void CProbeSlot::OnConnectFailed(std::uint32_t code)
{
    ProbeOutcome outcome;
    outcome.failureCode = code;
    m_pool.OnProbeEnded(*this, outcome);
}

void CProbeSlot::OnClosedByHost()
{
    // Nothing but the time-out can follow, so the outcome is known now and
    // the place is free for the next probe at once.
    ProbeOutcome outcome;
    outcome.failureCode = PROBE_ERR_TIMEOUT;
    m_pool.OnProbeEnded(*this, outcome);
}
