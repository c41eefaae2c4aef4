#pragma once

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "engine/testengine.h"
#include "engine/timerservice.h"
#include "settings/regsettings.h"
#include "support/recordingui.h"
#include "support/temphome.h"

// Timers that only record: the test delivers each tick itself.
class FakeTimers final : public TimerService
{
public:
    void SetTimer(int id, int milliseconds) override { armed[id] = milliseconds; }
    void KillTimer(int id) override { armed.erase(id); }
    void PostTick(int id) override { posted.push_back(id); }
    bool IsArmed(int id) const { return armed.count(id) != 0; }

    std::map<int, int> armed;
    std::vector<int> posted;
};

// Runs the Qt event loop until the condition holds or the time is up.
bool SpinUntil(const std::function<bool()> &condition,
               std::chrono::milliseconds limit = std::chrono::seconds(10));

inline constexpr char kTestDate[] = "Monday, 7 December 2026 09:00:00 UTC";

// An engine in a fresh system directory with a recorder for its user
// interface, driven tick by tick.
struct EngineHarness
{
    // nameServer: where the engine looks names up ("address:port"), else the
    // system's name servers.
    explicit EngineHarness(ProbePorts ports = {}, int pollMs = 100,
                           const QByteArray &nameServer = {});

    // One poll tick; when it starts a probe, waits for its outcome.
    void Tick();
    // Ticks until the run is over (at most maxTicks).
    void RunToEnd(int maxTicks = 1000);
    QByteArray Html(const QByteArray &name, const QByteArray &content);

    TempHome home;
    std::unique_ptr<CRegSettings> settings;
    RecordingUi ui;
    FakeTimers timers;
    std::unique_ptr<CTestEngine> engine;
};
