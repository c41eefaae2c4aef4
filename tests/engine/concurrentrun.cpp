#include "concurrentrun.h"

#include <QDir>

#include "discovery/directorywalk.h"
#include "enginetestsupport.h"
#include "settings/settingsstartup.h"

WatchedTimers::WatchedTimers(std::function<void(int)> onTick) : m_timers(std::move(onTick)) {}

void WatchedTimers::SetTimer(int id, int milliseconds)
{
    m_armed.insert(id);
    m_timers.SetTimer(id, milliseconds);
}

void WatchedTimers::KillTimer(int id)
{
    m_armed.erase(id);
    m_timers.KillTimer(id);
}

RunOutcome RunWhole(const QByteArray &path, bool allFiles, const ProbePorts &ports,
                    const QByteArray &nameServer, int timeoutSeconds, const RunShape &shape,
                    const std::function<void()> &spoil)
{
    const std::unique_ptr<CRegSettings> settings = StartSettingsStore();
    settings->WriteString("Settings", "Filter", QByteArray(kClassicCategoryCount, '1'));
    settings->WriteInt("Settings", "Timeout", timeoutSeconds);
    EngineOptions options;
    options.ports = ports;
    options.resolver.nameServer = nameServer;
    options.pollMs = shape.pollMs;
    options.dateTime = [] {
        return QByteArray(kTestDate);
    };
    HookedUi ui;
    std::unique_ptr<CTestEngine> engine;
    WatchedTimers timers([&engine](int id) {
        if (engine)
            engine->OnTimer(id);
    });
    engine = std::make_unique<CTestEngine>(ui, timers, *settings, options);
    engine->SetJobs(shape.jobs, shape.perHost);
    engine->SetTodaysWeb(shape.todaysWeb);
    int appends = 0;
    ui.afterText = [&] {
        if (++appends == shape.switchAfter)
            engine->SetJobs(shape.switchJobs, shape.perHost);
    };
    // The files are listed before the spoiling and taken up after it, as the
    // desktop lists them on a thread of their own: with pages scanned ahead
    // the change is then seen however the threads are scheduled.
    const QList<QByteArray> files = QueueRunFiles(path, false, allFiles);
    if (spoil)
        spoil();
    engine->StartListedTest(path, files);
    RunOutcome outcome;
    outcome.ended = SpinUntil([&engine] { return !engine->IsRunning(); }, std::chrono::seconds(60));
    outcome.report = engine->ReportText();
    outcome.trace = ui.trace;
    outcome.httpsNotTested = ui.httpsNotTested;
    engine.reset();
    return outcome;
}

int OpenDescriptors()
{
    return static_cast<int>(QDir(QStringLiteral("/proc/self/fd"))
                                .entryList(QDir::NoDotAndDotDot | QDir::System)
                                .size());
}
