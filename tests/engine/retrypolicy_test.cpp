#include <gtest/gtest.h>

#include "engine/pooljob.h"
#include "engine/retrypolicy.h"

namespace {

const QDateTime kNow(QDate(2026, 12, 8), QTime(6, 0, 0), Qt::UTC);

// Every form of Retry-After a host may send, and values that are none.
TEST(RetryPolicyTest, ReadsRetryAfterInSecondsAndInEachDateForm)
{
    const struct
    {
        QByteArray value;
        std::optional<std::int64_t> ms;
    } rows[] = {
        {"1", 1000},
        {" 120 ", 120000},
        {"0", 0},
        {"99999999999999", 86400000},
        {"Tue, 08 Dec 2026 06:00:30 GMT", 30000},
        {"Tuesday, 08-Dec-26 06:01:00 GMT", 60000},
        {"Tue Dec  8 06:00:05 2026", 5000},
        {"Mon, 07 Dec 2026 06:00:00 GMT", 0},
        {"-5", std::nullopt},
        {"1.5", std::nullopt},
        {"soon", std::nullopt},
        {"Tue, 31 Feb 2026 06:00:00 GMT", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto &row : rows)
        EXPECT_EQ(RetryAfterMs(row.value, kNow), row.ms) << row.value.constData();
}

// The back-off doubles with each try, jitter keeping it above half, within
// the bound; the tries run out; a Retry-After past the bound is not waited for.
TEST(RetryPolicyTest, BacksOffWithinTheBoundAndStopsWhenTheTriesRunOut)
{
    RetryPolicy policy;
    policy.SetSettings({4, 3000, 0, 1000});
    ProbeOutcome failing;
    failing.replied = true;
    failing.replyCode = 502;
    for (int round = 0; round < 50; ++round) {
        const std::int64_t first = policy.WaitBeforeRetry(failing, 1, kNow).value_or(-1);
        const std::int64_t second = policy.WaitBeforeRetry(failing, 2, kNow).value_or(-1);
        EXPECT_TRUE(first >= 500 && first <= 1000) << first;
        EXPECT_TRUE(second >= 1000 && second <= 2000) << second;
        const std::int64_t third = policy.WaitBeforeRetry(failing, 3, kNow).value_or(-1);
        EXPECT_TRUE(third >= 2000 && third <= 3000) << third;
        EXPECT_EQ(policy.WaitBeforeRetry(failing, 4, kNow), 3000) << "capped by the bound";
    }
    EXPECT_EQ(policy.WaitBeforeRetry(failing, 5, kNow), std::nullopt);

    ProbeOutcome limited = failing;
    limited.replyCode = 429;
    limited.headers = {{"retry-after", "3"}};
    EXPECT_EQ(policy.WaitBeforeRetry(limited, 1, kNow), 3000);
    limited.headers = {{"retry-after", "4"}};
    EXPECT_EQ(policy.WaitBeforeRetry(limited, 1, kNow), std::nullopt);

    ProbeOutcome refused;
    refused.failureCode = 10004;
    ProbeOutcome missing = failing;
    missing.replyCode = 404;
    EXPECT_EQ(policy.WaitBeforeRetry(refused, 1, kNow), std::nullopt);
    EXPECT_EQ(policy.WaitBeforeRetry(missing, 1, kNow), std::nullopt);
}

} // namespace
