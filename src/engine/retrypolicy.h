#pragma once

#include <cstdint>
#include <optional>
#include <random>

#include <QByteArray>
#include <QDateTime>

struct ProbeOutcome;

// How patient and how polite today's web probes are with a host.
struct PoliteSettings
{
    // Tries after the first one, for an outcome that may pass.
    int retries = 2;
    // The longest wait before a try again, in milliseconds: a longer
    // Retry-After is reported as it came.
    int waitMaxMs = 60000;
    // The least time between the starts of two requests to one host.
    int hostIntervalMs = 0;
    // The first back-off; each one after it doubles.
    int backOffMs = 1000;
};

inline constexpr int kDefaultRetries = 2;
inline constexpr int kDefaultRetryWaitMaxSec = 60;
inline constexpr int kMaxRetries = 10;
inline constexpr int kMaxRetryWaitSec = 3600;
inline constexpr int kMaxHostIntervalMs = 600000;

// The delay a Retry-After value asks for: delta seconds, or an HTTP date
// (then from now); nullopt for a value that is neither.
std::optional<std::int64_t> RetryAfterMs(const QByteArray &value, const QDateTime &now);

// The site turned the probe away as an automated visitor: a 999 reply, or a
// 403 that carries a challenge instead of the page.
bool IsBlockedBySite(const ProbeOutcome &outcome);

// Decides whether a probe that ended is tried again, and after how long:
// rate limits with Retry-After after the wait they ask for; time-outs,
// resets, 408, 5xx and 429 without it after an exponential back-off with
// jitter. Every wait stays within the bound.
class RetryPolicy
{
public:
    RetryPolicy();

    void SetSettings(const PoliteSettings &settings) { m_settings = settings; }
    const PoliteSettings &Settings() const { return m_settings; }

    // The wait in milliseconds before the next try, or nullopt when the
    // outcome stands. tries: how many tries the outcome ended (1 for the first).
    std::optional<std::int64_t> WaitBeforeRetry(const ProbeOutcome &outcome, int tries,
                                                const QDateTime &now);

private:
    PoliteSettings m_settings;
    std::minstd_rand m_random;
};
