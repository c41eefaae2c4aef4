#pragma once

#include <functional>
#include <memory>
#include <optional>

#include <QByteArray>
#include <QList>
#include <QString>

#include "discovery/linkextractor.h"
#include "discovery/linklocator.h"
#include "discovery/workfiles.h"
#include "engine/httpprobe.h"
#include "engine/linkexclusions.h"
#include "engine/probemode.h"
#include "engine/probepool.h"
#include "engine/progressmodel.h"
#include "engine/resultcategories.h"
#include "engine/urlparts.h"
#include "records/reporttextwriter.h"
#include "records/runlistener.h"

class CRedirectChain;
class CRegSettings;
class CResultCache;
class CRunAhead;
class EngineUi;
class TimerService;
struct PoolJob;

struct EngineOptions
{
    ProbePorts ports;
    // Where host names are looked up; tests point it at a name server of their own.
    ResolverOptions resolver;
    // The pace of a run one link at a time: a step each period; 0 takes the
    // next step as soon as the engine is ready for it, without a period and
    // without busy waiting. With more at once it only blinks the activity bar.
    int pollMs = 100;
    // How many links are tested at once when the settings name no number.
    int defaultJobs = 1;
    // The date and time written into the start and end lines.
    std::function<QByteArray()> dateTime;
};

// The test engine behind the results window: it carries a run over files and
// links, probes each link, classifies the outcome and writes the report. It
// also keeps the report text, which export, re-test and repair read back.
//
// One driver carries every run: a pool probes the links, as many at once as
// allowed, and the driver takes their outcomes one by one in link order,
// showing for each what its probe showed. One link at a time is a pool of one
// that keeps the pace: each step (a file taken up, a probe started, the run
// closed) waits for the next tick. With more at once only the waiting
// overlaps: the report, the progress, the panes and the beeps are the same.
class CTestEngine final : public PoolListener
{
public:
    // Reads the report filter, the time-out, the desktop program's limits
    // of probes at once ("Jobs", "JobsPerHost"), the mode ("TodaysWeb"), the
    // site root ("SiteRoot"), the proxy ("Proxy") and today's web mode's tries
    // again ("Retries", "RetryWaitMax" in seconds, "HostInterval" in
    // milliseconds) from the settings.
    CTestEngine(EngineUi &ui, TimerService &timers, CRegSettings &settings,
                EngineOptions options = {});
    ~CTestEngine() override;

    CTestEngine(const CTestEngine &) = delete;
    CTestEngine &operator=(const CTestEngine &) = delete;

    // Starts a run over the path alone, or over the HTML files of its
    // directory (allFiles), and of all its sub-directories (subDirectories too).
    void StartTest(const QByteArray &path, bool subDirectories, bool allFiles);
    // Starts a run over path with its files listed already (as QueueRunFiles
    // lists them), so that the caller can list a large tree elsewhere.
    void StartListedTest(const QByteArray &path, const QList<QByteArray> &files);
    // Starts a run over pages whose links are given, not scanned (a
    // re-test): each page is reported under its own path, in the order given.
    void StartRetest(const QList<ScannedFile> &pages);
    void OnTimer(int id);
    // A tick of the pace: the activity bar blinks, and one link at a time the
    // next step is taken.
    void PollStep();
    void ResetRun(bool restorePanes);
    void OnStopTest();
    void OnHeadShowed() override;
    void OnHeadDone() override;

    // Listeners told of every run as it goes, after the report text. The
    // engine does not own them; each stays until it is removed.
    void AddRunListener(RunListener *listener);
    void RemoveRunListener(RunListener *listener);

    // Scans the file into the link and anchor queues; false, with why, when it
    // could not be scanned.
    bool ExtractLinks(const QByteArray &path, QString *why = nullptr);
    void AppendText(const QByteArray &text);
    void OnClearWindow();
    // Sets the time-out, in seconds, for the probes that start from now on.
    void SetTimeout(int seconds);
    // Sets how many probes may be in flight at once, in all and towards one
    // host (the same name and port), for the probes that start from now on.
    // Both are at least 1 and the total at most JobCeiling(); 1 in all is one
    // link at a time, each probed at its own step.
    void SetJobs(int total, int perHost);
    int Jobs() const { return m_nJobs; }
    // Today's web mode's patience and politeness, for the probes that end
    // or start from now on: tries again, the longest wait before one, and
    // the least interval between the starts towards one host.
    void SetPolite(const PoliteSettings &settings);
    const PoliteSettings &Polite() const { return m_polite; }
    // Today's web mode on or off: from the next run for the links selected,
    // from the next probe for how they are probed.
    void SetTodaysWeb(bool on) { m_options.ports.mode->bTodaysWeb = on; }
    bool TodaysWeb() const { return m_options.ports.mode->bTodaysWeb; }
    // The directory root-relative links ("/about.html") of today's web mode
    // resolve against, from the next run; empty: the directory the run
    // starts from.
    void SetSiteRoot(const QByteArray &directory) { m_siteRoot = directory; }
    // The proxy URL of today's web probes, from the next probe; empty: the
    // environment's (http_proxy, https_proxy, no_proxy).
    void SetProxy(const QByteArray &url) { m_options.ports.mode->proxy = url.trimmed(); }
    const QByteArray &Proxy() const { return m_options.ports.mode->proxy; }
    // Today's web mode checks the fragments of remote links against their
    // pages, from the next probe.
    void SetCheckRemoteFragments(bool on) { m_options.ports.mode->bRemoteFragments = on; }
    const QByteArray &SiteRoot() const { return m_siteRoot; }
    // Links that are not tested but counted as excluded, from the next run
    // on, besides those of the ignore file in the run's site root.
    void SetExclusions(CLinkExclusions exclusions) { m_exclusions = std::move(exclusions); }
    // Passed results to reuse and to keep, from the next link on; the caller
    // owns the cache, keeps it while the engine lives and saves it. Null: none.
    void SetResultCache(CResultCache *cache) { m_cache = cache; }
    // Links of the current or last run left untested by an exclusion pattern.
    int ExcludedInRun() const { return m_nExcludedInRun; }
    // Anchors of the current or last run whose https link went untested
    // because the run was in the classic mode.
    int HttpsLeftOut() const { return m_nHttpsLeftOut; }
    int JobsPerHost() const { return m_nJobsPerHost; }

    // Which commands the user may give now.
    bool CanSelectFiles() const { return !m_bRunning; }
    bool CanStopTest() const { return m_bRunning; }
    bool CanRetestOrRepair() const { return m_bRunEnded; }
    bool CanExport() const { return m_bHasText; }
    // Never while a run lasts: the rest of the run would make a report without
    // its "<Testing: " line, which no repair could follow.
    bool CanClearWindow() const { return m_bHasText && !m_bRunning; }

    const QByteArray &ReportText() const { return m_report; }
    // Outcomes written into the report since the current run started.
    int ReportedInRun() const { return m_nReportedInRun; }
    CResultCategories &Categories() { return m_categories; }
    EngineUi &Ui() { return m_ui; }
    const CWorkFiles &WorkFiles() const { return m_workFiles; }
    const std::optional<ProgressModel> &Progress() const { return m_pProgressDlg; }
    // The pool and the links handed to it.
    const CRunAhead &RunAhead() const { return *m_pRunAhead; }
    // Host names being looked up for the probes.
    int PendingLookups() const;

    bool IsRunning() const { return m_bRunning; }
    // The current link's outcome is awaited.
    bool AwaitingReply() const { return m_bAwaitingReply; }
    bool HasText() const { return m_bHasText; }
    int TimeoutSeconds() const { return m_nTimeoutSec; }
    // Files of the current or last run, and those still to be taken up.
    int FileCount() const { return m_nFileCount; }
    const QList<QByteArray> &QueuedFiles() const { return m_listFiles; }
    // Links of the current page still to be taken.
    bool HasQueuedLinks() const { return !m_listUrls.isEmpty(); }
    // Links of the current page reported so far (-1 before the first page).
    int UrlErrors() const { return m_nUrlErrors; }

    // Puts a saved report in the window in place of what it held, as if its
    // run had just ended: it can be exported, re-tested and repaired, and the
    // repair asks first when it shows an unknown reply code. False (and
    // nothing changes) while a run lasts.
    bool LoadReport(const QByteArray &report);

private:
    // Starts a run over the queued files.
    void BeginRun();
    // Stops both timers and ends whatever is in flight, restoring the panes.
    void StopRun();
    void ArmPoll();
    void StopPoll();
    // One link at a time with no period: asks for the next step when one is due.
    void SchedulePoll();
    // One link at a time each step waits for a tick.
    bool Stepwise() const { return m_nJobs == 1; }
    void TakeUpNextFile();
    void EndRun();
    // The head link's probe starts: its number and text in the progress window.
    void ShowHeadLink(const QByteArray &link);
    // Records the head link's outcome (that of the last hop of its
    // redirects): its record goes to the report (when
    // the filter admits it) and to every listener.
    void TakeOutcome(const ProbeOutcome &outcome, int protocol, const CRedirectChain &redirects);
    // Tells the report writer, then every listener.
    template <typename Call> void Tell(const Call &call);
    void TellPageEnded();
    void TellRunEnded(bool stopped);
    // The head link leaves the queue and the link bar steps.
    void RemoveHeadLink();

    // Takes the steps that are due: with a tick one link at a time, else every
    // step whose outcome is known, up to a bound per call.
    void Advance(bool tick);
    // Shows the head's probe start and what its probe has shown so far.
    void ShowPoolHead(const PoolJob &head);
    void TakePoolHead(const PoolJob &head);
    void PostTake();
    void ShowProgress();
    QByteArray DateTime() const;
    // The outcome of a link known without a probe, if any.
    std::optional<ProbeOutcome> Settle(const QByteArray &link, int protocol) const;
    // Keeps a probed http link's result in the cache: a pass, or forgets it.
    void KeepInCache(const LinkRecord &link);

    EngineUi &m_ui;
    TimerService &m_timers;
    EngineOptions m_options;
    CResultCategories m_categories;
    CWorkFiles m_workFiles;
    // The probes' name lookups; declared before the pool, which uses it.
    std::unique_ptr<AsyncResolver> m_resolver;
    // Kept for the engine's life: a run may end from inside one of its own
    // probes' notifications.
    std::unique_ptr<CRunAhead> m_pRunAhead;
    int m_nJobs = 1;
    int m_nJobsPerHost = 1;
    // The protocol of the last link whose probe was shown: a link of neither
    // scheme, first in a run, is probed as that one was.
    int m_nProtocol = PROTOCOL_HTTP;
    bool m_bAdvancing = false;
    bool m_bTakePosted = false;
    std::optional<ProgressModel> m_pProgressDlg;
    QList<QByteArray> m_listFiles;
    QList<QByteArray> m_listUrls;
    QList<QByteArray> m_listAnchors;
    int m_nUrlsInFile = 0;
    QByteArray m_strCurrentFile;
    int m_nFileCount = 0;
    int m_nUrlErrors = -1;
    bool m_bRunning = false;
    int m_nTimeoutSec = 15;
    int m_nTimeoutMs = 15000;
    PoliteSettings m_polite;
    bool m_bRunEnded = false;
    bool m_bAwaitingReply = false;
    bool m_bHasText = false;
    bool m_bActivityCreated = false;
    int m_nActivityTick = 0;
    QByteArray m_report;
    CReportTextWriter m_reportWriter;
    std::vector<RunListener *> m_runListeners;
    int m_nReportedInRun = 0;
    bool m_bPollPosted = false;
    // The current file was scanned and its summary line is still to come.
    bool m_bSummaryDue = false;
    // Where the current page's links stand in it.
    std::optional<CLinkLocator> m_locator;
    // The links of the current run's pages that are given, not scanned.
    GivenLinks m_givenLinks;
    // The rule the current run selects its links by.
    LinkRule m_runRule = LinkRule::Classic;
    QByteArray m_siteRoot;
    // The site root of the current run.
    QByteArray m_runSiteRoot;
    int m_nHttpsLeftOut = 0;
    // From the settings or the caller; with the site root's ignore file, the
    // current run's.
    CLinkExclusions m_exclusions;
    CLinkExclusions m_runExclusions;
    int m_nExcludedInFile = 0;
    int m_nExcludedInRun = 0;
    CResultCache *m_cache = nullptr;
};
