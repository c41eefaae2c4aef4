#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <optional>

#include <QCoreApplication>
#include <QElapsedTimer>

#include "net/asyncresolver.h"
#include "support/loopbacknameserver.h"

using namespace std::chrono_literals;

namespace {

int OpenDescriptorCount()
{
    int count = 0;
    for ([[maybe_unused]] const auto &entry : std::filesystem::directory_iterator("/proc/self/fd"))
        ++count;
    return count;
}

void RunEventsFor(std::chrono::milliseconds span)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < span.count())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
}

// What the handler of one lookup saw.
struct Answer
{
    std::optional<int> result;
    int calls = 0;

    AsyncResolver::Handler Handler()
    {
        return [this](int code, const ConnectTarget &) {
            result = code;
            ++calls;
        };
    }
    bool Wait()
    {
        QElapsedTimer clock;
        clock.start();
        while (calls == 0 && clock.elapsed() < 10000)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
        return calls != 0;
    }
};

} // namespace

TEST(AsyncResolver, CancelledLookupIsNeverAnsweredAndTheOtherOneIs)
{
    LoopbackNameServer server(LoopbackNameServer::Mode::NxDomain);
    ASSERT_TRUE(server.isListening());
    AsyncResolver resolver({server.serverText()});
    Answer dropped;
    Answer kept;
    ConnectTarget target;
    std::uint64_t droppedId = 0;
    std::uint64_t keptId = 0;
    ASSERT_EQ(resolver.Lookup("gone.invalid", target, dropped.Handler(), droppedId),
              AsyncResolver::kLookupPending);
    ASSERT_EQ(resolver.Lookup("kept.invalid", target, kept.Handler(), keptId),
              AsyncResolver::kLookupPending);
    resolver.Cancel(droppedId);
    resolver.Cancel(droppedId + keptId + 100);

    ASSERT_TRUE(kept.Wait());
    EXPECT_EQ(kept.result, kConnectHostNotFound);
    RunEventsFor(100ms);
    EXPECT_EQ(dropped.calls, 0);
    EXPECT_EQ(kept.calls, 1);
}

TEST(AsyncResolver, DestroyedWithALookupInFlightTellsNobody)
{
    LoopbackNameServer server(LoopbackNameServer::Mode::Silent);
    ASSERT_TRUE(server.isListening());
    const int before = OpenDescriptorCount();
    Answer answer;
    {
        AsyncResolver resolver({server.serverText()});
        ConnectTarget target;
        std::uint64_t id = 0;
        ASSERT_EQ(resolver.Lookup("www.vantrel.test", target, answer.Handler(), id),
                  AsyncResolver::kLookupPending);
        ASSERT_TRUE(server.waitForQueries(1));
    }
    RunEventsFor(100ms);
    EXPECT_EQ(answer.calls, 0);
    EXPECT_EQ(OpenDescriptorCount(), before);
}

TEST(AsyncResolver, UnusableNameServerFailsEveryLookupAtOnce)
{
    AsyncResolver resolver({"not a server address"});
    Answer answer;
    ConnectTarget target;
    std::uint64_t id = 0;
    EXPECT_EQ(resolver.Lookup("localhost", target, answer.Handler(), id), kConnectHostNotFound);
    EXPECT_EQ(resolver.PendingLookups(), 0);
}
