#pragma once

#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include <QByteArray>
#include <QElapsedTimer>
#include <QString>

#include "engine/redirectchain.h"
#include "engine/statusevent.h"

class CProbeSlot;
struct PoolHost;

// How a probe ended.
struct ProbeOutcome
{
    // A reply arrived; replyCode is its status code, if its first line held one.
    bool replied = false;
    std::optional<std::uint32_t> replyCode;
    // The reply's header fields in order, names in lower case, values trimmed.
    std::vector<std::pair<QByteArray, QByteArray>> headers;
    // Otherwise the failure code, 10000 to 10005.
    std::uint32_t failureCode = 0;
    // From the probe's start to its outcome.
    qint64 elapsedMs = 0;
    // Settled without a probe: the link matches an exclusion pattern, or its
    // passing result was taken from the result cache.
    bool excluded = false;
    bool fromCache = false;
};

// The probe of one link in the pool, from the moment it is queued until the
// driver has taken its outcome.
struct PoolJob
{
    std::uint64_t seq = 0;
    QByteArray link;
    int protocol = 1;
    // What the probe told of its progress, in order; the first
    // stepsBeforeOutcome came before its outcome, the rest while its
    // connection was closed after it.
    std::vector<StatusEvent> display;
    std::size_t stepsBeforeOutcome = 0;
    // Counts the starts: a probe put back for want of descriptors starts
    // again, with a display of its own.
    int attempt = 0;
    // Tries that ended with an outcome that was tried again; while the job
    // waits for its next try, when that is due on the pool's clock, else -1.
    int retries = 0;
    std::int64_t wakeAt = -1;
    QElapsedTimer started;
    bool done = false;
    ProbeOutcome outcome;
    // Today's web: the redirects followed so far (link is then the address
    // of the hop in flight), and the time the hops before it took.
    CRedirectChain redirects;
    qint64 earlierHopsMs = 0;

    // The pool's own bookkeeping.
    PoolHost *host = nullptr;
    CProbeSlot *slot = nullptr;
};
