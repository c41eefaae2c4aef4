#pragma once

#include <functional>
#include <set>

#include <QByteArray>
#include <QList>

#include "engine/qttimerservice.h"
#include "engine/testengine.h"
#include "support/recordingui.h"

// Timers on the event loop that remember which ids are armed, so that a test
// can see that nothing is left running.
class WatchedTimers final : public TimerService
{
public:
    explicit WatchedTimers(std::function<void(int)> onTick);

    void SetTimer(int id, int milliseconds) override;
    void KillTimer(int id) override;
    void PostTick(int id) override { m_timers.PostTick(id); }
    const std::set<int> &Armed() const { return m_armed; }

private:
    QtTimerService m_timers;
    std::set<int> m_armed;
};

// A recorder that can act after each piece of report text.
class HookedUi final : public RecordingUi
{
public:
    void AppendText(const QByteArray &text) override
    {
        RecordingUi::AppendText(text);
        if (afterText)
            afterText();
    }
    std::function<void()> afterText;
};

// How one whole run is made: the limits of probes at once and the pace.
struct RunShape
{
    int jobs = 1;
    int perHost = 1;
    int pollMs = 0;
    // After this many report appends the limits become switchJobs (-1: never).
    int switchAfter = -1;
    int switchJobs = 1;
    bool todaysWeb = false;
};

struct RunOutcome
{
    QByteArray report;
    QList<QByteArray> trace;
    bool ended = false;
    // What the run told of https links left untested.
    QList<int> httpsNotTested;
};

// Runs the engine over path (its directory with allFiles) on the real event
// loop in the current system directory, reporting every category, with the
// given time-out. spoil runs once the files are listed, before the run starts.
RunOutcome RunWhole(const QByteArray &path, bool allFiles, const ProbePorts &ports,
                    const QByteArray &nameServer, int timeoutSeconds, const RunShape &shape,
                    const std::function<void()> &spoil = {});

// The descriptors this process has open.
int OpenDescriptors();
