#include "retrypolicy.h"

#include <algorithm>

#include <QList>

#include "engine/pooljob.h"
#include "engine/resultcategories.h"

namespace {

constexpr std::uint32_t kRequestTimeout = 408;
constexpr std::uint32_t kTooManyRequests = 429;
constexpr std::uint32_t kServiceUnavailable = 503;
constexpr std::uint32_t kBlockedReply = 999;
constexpr std::uint32_t kForbidden = 403;

const QByteArray *HeaderValue(const ProbeOutcome &outcome, const QByteArray &name)
{
    for (const auto &[field, value] : outcome.headers) {
        if (field == name)
            return &value;
    }
    return nullptr;
}

int MonthNamed(const QByteArray &name)
{
    static const char *const kMonths[] = {"jan", "feb", "mar", "apr", "may", "jun",
                                          "jul", "aug", "sep", "oct", "nov", "dec"};
    const QByteArray lower = name.toLower();
    for (int i = 0; i < 12; ++i) {
        if (lower == kMonths[i])
            return i + 1;
    }
    return 0;
}

// The three date forms HTTP allows: "Sun, 06 Nov 1994 08:49:37 GMT",
// "Sunday, 06-Nov-94 08:49:37 GMT" and "Sun Nov  6 08:49:37 1994", all in UTC.
std::optional<QDateTime> HttpDate(const QByteArray &text)
{
    QByteArray spaced = text;
    spaced.replace(',', ' ').replace('-', ' ');
    const QList<QByteArray> words = spaced.simplified().split(' ');
    if (words.size() < 5)
        return std::nullopt;
    const bool asctime = MonthNamed(words[1]) != 0;
    const QByteArray day = asctime ? words[2] : words[1];
    const int month = MonthNamed(asctime ? words[1] : words[2]);
    const QByteArray yearText = asctime ? words[4] : words[3];
    const QList<QByteArray> clock = (asctime ? words[3] : words[4]).split(':');
    bool dayOk = false;
    bool yearOk = false;
    int year = yearText.toInt(&yearOk);
    if (yearOk && yearText.size() == 2)
        year += year < 70 ? 2000 : 1900;
    if (!yearOk || month == 0 || clock.size() != 3)
        return std::nullopt;
    const QDate date(year, month, day.toInt(&dayOk));
    const QTime time(clock[0].toInt(), clock[1].toInt(), clock[2].toInt());
    if (!dayOk || !date.isValid() || !time.isValid())
        return std::nullopt;
    return QDateTime(date, time, Qt::UTC);
}

bool WorthRetrying(const ProbeOutcome &outcome)
{
    if (!outcome.replied)
        return outcome.failureCode == PROBE_ERR_TIMEOUT;
    const std::uint32_t code = outcome.replyCode.value_or(0);
    return code == kRequestTimeout || code == kTooManyRequests || (code >= 500 && code <= 599);
}

} // namespace

std::optional<std::int64_t> RetryAfterMs(const QByteArray &value, const QDateTime &now)
{
    const QByteArray text = value.trimmed();
    bool isNumber = !text.isEmpty() && std::all_of(text.begin(), text.end(),
                                                   [](char c) { return c >= '0' && c <= '9'; });
    if (isNumber) {
        // Anything past a day is as good as forever; the bound reports it.
        const std::int64_t seconds = text.size() > 6 ? 86400 : text.toLongLong();
        return std::min<std::int64_t>(seconds, 86400) * 1000;
    }
    const std::optional<QDateTime> when = HttpDate(text);
    if (!when)
        return std::nullopt;
    return std::max<std::int64_t>(0, now.msecsTo(*when));
}

bool IsBlockedBySite(const ProbeOutcome &outcome)
{
    if (!outcome.replied || !outcome.replyCode)
        return false;
    if (*outcome.replyCode == kBlockedReply)
        return true;
    const QByteArray *mitigated = HeaderValue(outcome, "cf-mitigated");
    return *outcome.replyCode == kForbidden && mitigated != nullptr &&
           mitigated->trimmed().toLower() == "challenge";
}

RetryPolicy::RetryPolicy() : m_random(std::random_device{}()) {}

std::optional<std::int64_t> RetryPolicy::WaitBeforeRetry(const ProbeOutcome &outcome, int tries,
                                                         const QDateTime &now)
{
    if (tries > m_settings.retries || !WorthRetrying(outcome))
        return std::nullopt;
    const std::int64_t bound = std::max(0, m_settings.waitMaxMs);
    const std::uint32_t code = outcome.replyCode.value_or(0);
    if (outcome.replied && (code == kTooManyRequests || code == kServiceUnavailable)) {
        const QByteArray *retryAfter = HeaderValue(outcome, "retry-after");
        const std::optional<std::int64_t> asked =
            retryAfter != nullptr ? RetryAfterMs(*retryAfter, now) : std::nullopt;
        if (asked) {
            // The host said when; asking sooner would only be refused again.
            if (*asked > bound)
                return std::nullopt;
            return *asked;
        }
    }
    // Half the doubled back-off, plus a random part of the other half, so
    // that the links of one host do not come back all at once.
    const int doublings = std::min(tries - 1, 20);
    const std::int64_t nominal = static_cast<std::int64_t>(std::max(0, m_settings.backOffMs))
                                 << doublings;
    std::uniform_int_distribution<std::int64_t> jitter(0, nominal / 2);
    return std::min(bound, nominal - nominal / 2 + jitter(m_random));
}
