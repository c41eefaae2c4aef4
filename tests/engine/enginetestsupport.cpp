#include "enginetestsupport.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include "settings/settingsstartup.h"

bool SpinUntil(const std::function<bool()> &condition, std::chrono::milliseconds limit)
{
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() > limit.count())
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
    }
    return true;
}

EngineHarness::EngineHarness(ProbePorts ports, int pollMs, const QByteArray &nameServer)
{
    settings = StartSettingsStore();
    EngineOptions options;
    options.ports = std::move(ports);
    options.resolver.nameServer = nameServer;
    options.pollMs = pollMs;
    options.dateTime = [] {
        return QByteArray(kTestDate);
    };
    engine = std::make_unique<CTestEngine>(ui, timers, *settings, options);
}

void EngineHarness::Tick()
{
    engine->OnTimer(TIMER_POLL);
    SpinUntil([this] { return !engine->AwaitingReply() || !engine->HasQueuedLinks(); },
              std::chrono::seconds(5));
}

void EngineHarness::RunToEnd(int maxTicks)
{
    for (int tick = 0; tick < maxTicks && engine->IsRunning(); ++tick)
        Tick();
}

QByteArray EngineHarness::Html(const QByteArray &name, const QByteArray &content)
{
    const QByteArray path = home.file(name);
    WriteFileBytes(path, content);
    return path;
}
