#include "testrun.h"

#include <optional>
#include <unistd.h>

#include <QCoreApplication>

#include "cli/checkoptions.h"
#include "cli/interruptwatcher.h"
#include "cli/reportfile.h"
#include "cli/runchoices.h"
#include "cli/savedreport.h"
#include "cli/terminalui.h"
#include "discovery/chosenfile.h"
#include "discovery/directorywalk.h"
#include "engine/joblimits.h"
#include "engine/qttimerservice.h"
#include "engine/testengine.h"
#include "formats/resultformat.h"
#include "results/retestinput.h"
#include "settings/regsettings.h"
#include "settings/settingsstartup.h"

namespace {

constexpr int kExitReported = 1;
constexpr int kExitBadInput = 2;
constexpr int kExitInterrupted = 130;

} // namespace

int RunTest(const CheckOptions &options, std::FILE *out, std::FILE *err)
{
    const bool retest = options.command == CheckOptions::Command::Retest;
    std::optional<QByteArray> savedReport;
    if (retest) {
        savedReport = ReadSavedReport(options.path, err);
        if (!savedReport)
            return kExitBadInput;
    } else if (!CanOpenChosenFile(options.path)) {
        std::fputs("The chosen file does not exist\n", err);
        return kExitBadInput;
    }

    TerminalUi ui(out, err, isatty(fileno(err)) != 0);
    ui.beep = options.beep;
    std::unique_ptr<ResultsFormatter> formatter;
    if (options.format) {
        ui.reportOnOutput = false;
        formatter = MakeResultsFormatter(*options.format, RunningTool(),
                                         [&ui](const QByteArray &text) { ui.WriteOutput(text); });
    }
    const std::unique_ptr<CRegSettings> settings = StartSettingsStore();
    const QByteArray siteRoot = options.siteRoot.isEmpty()
                                    ? settings->ReadString("Settings", "SiteRoot", "")
                                    : options.siteRoot;
    // The run's site root, whose ignore file the engine reads: a bad pattern
    // there is a usage error before anything is tested.
    const QByteArray runRoot =
        siteRoot.isEmpty() && !retest ? RunDirectory(options.path) : siteRoot;
    std::optional<CLinkExclusions> exclusions = ChosenExclusions(options, *settings, {}, err);
    if (!exclusions || !ChosenExclusions(options, *settings, runRoot, err))
        return kExitBadInput;
    // Declared before the engine, which uses it while it lives.
    std::optional<CResultCache> cache = ChosenCache(options, err);
    // No window to keep alive: a write waits its time for another program's
    // lock, and a setting that is not stored is told at once.
    settings->SetLockWait(SettingsLockWait::Block);
    settings->SetWriteListener(&ui);
    std::unique_ptr<CTestEngine> engine;
    QtTimerService timers([&engine](int id) {
        if (engine)
            engine->OnTimer(id);
    });
    EngineOptions engineOptions;
    engineOptions.pollMs = options.pollMs;
    engineOptions.ports.http = options.httpPort;
    engineOptions.ports.ftp = options.ftpPort;
    engineOptions.resolver.nameServer = options.nameServer;
    engine = std::make_unique<CTestEngine>(ui, timers, *settings, engineOptions);
    if (formatter)
        engine->AddRunListener(formatter.get());
    if (options.filter)
        engine->Categories().m_strFilter = *options.filter;
    if (options.timeoutSeconds)
        engine->SetTimeout(*options.timeoutSeconds);
    if (options.todaysWeb)
        engine->SetTodaysWeb(*options.todaysWeb);
    engine->SetSiteRoot(siteRoot);
    engine->SetExclusions(std::move(*exclusions));
    if (cache)
        engine->SetResultCache(&*cache);
    if (options.proxy)
        engine->SetProxy(*options.proxy);
    engine->SetCheckRemoteFragments(options.remoteFragments);
    // The terminal's own stored default: the desktop program's "Jobs" is
    // the pace a user chose to watch, not the one for a script.
    const int jobs =
        options.jobs.value_or(settings->ReadInt("Settings", "CheckJobs", kDefaultTerminalJobs));
    engine->SetJobs(jobs, options.perHost.value_or(
                              settings->ReadInt("Settings", "JobsPerHost", kDefaultJobsPerHost)));
    PoliteSettings polite = engine->Polite();
    polite.retries = options.retries.value_or(polite.retries);
    if (options.retryWaitMaxSec)
        polite.waitMaxMs = *options.retryWaitMaxSec * 1000;
    polite.hostIntervalMs = options.hostIntervalMs.value_or(polite.hostIntervalMs);
    engine->SetPolite(polite);
    if (engine->Jobs() < jobs)
        std::fprintf(err,
                     "vantrel-check: testing %d links at once, not %d: more would come too near "
                     "the limit of open files (ulimit -n)\n",
                     engine->Jobs(), jobs);

    InterruptWatcher interrupt([&engine] {
        if (engine->IsRunning())
            engine->OnStopTest();
    });
    ui.onStateChanged = [&engine] {
        if (!engine->IsRunning() && engine->CanRetestOrRepair())
            QCoreApplication::exit(0);
    };

    if (retest) {
        engine->StartRetest(RetestPages(*savedReport, engine->TodaysWeb() ? LinkRule::TodaysWeb
                                                                          : LinkRule::Classic));
    } else {
        engine->StartTest(options.path, options.recurse, options.allFiles);
    }
    QCoreApplication::exec();
    if (formatter)
        formatter->Finish();
    ui.FlushOutput();

    int status = engine->ReportedInRun() > 0 ? kExitReported : 0;
    // A file that could not be scanned leaves the run incomplete, whatever
    // the other files gave.
    if (ui.ScanFailures() > 0)
        status = kExitBadInput;
    // So does a setting the run had to store, such as a damaged filter's reset.
    if (ui.SettingFailures() > 0)
        status = kExitBadInput;
    if (ui.OutputFailed()) {
        std::fputs("vantrel-check: cannot write the report to standard output\n", err);
        status = kExitBadInput;
    }
    QString cacheProblem;
    if (cache && !cache->Save(&cacheProblem))
        std::fprintf(err, "vantrel-check: %s\n", cacheProblem.toLocal8Bit().constData());
    if (interrupt.Interrupted())
        status = kExitInterrupted;
    if (!options.reportFile.isEmpty() &&
        !SaveReportFile(options.reportFile, engine->ReportText(), err))
        status = kExitBadInput;
    engine.reset();
    return status;
}
