#include "testengine.h"

#include <algorithm>
#include <climits>
#include <utility>

#include "discovery/directorywalk.h"
#include "discovery/linkextractor.h"
#include "engine/engineui.h"
#include "engine/joblimits.h"
#include "engine/resultcache.h"
#include "engine/retrypolicy.h"
#include "engine/runahead.h"
#include "engine/timerservice.h"
#include "engine/urlparts.h"
#include "platform/clock.h"
#include "platform/systemdirectory.h"
#include "settings/regsettings.h"

namespace {

// The code taken for a reply whose first line holds no number after its
// first word. It is in no category, so such a reply is always reported, with
// the unknown-reason text.
constexpr std::uint32_t kNoStatusCode = 0;

// Outcomes a run takes in one go before it lets the event loop breathe: a
// window that shows every line stays responsive.
constexpr int kStepsAtOnce = 256;

// The options with the mode that every probe of the engine shares.
EngineOptions WithProbeMode(EngineOptions options)
{
    if (!options.ports.mode)
        options.ports.mode = std::make_shared<ProbeMode>();
    return options;
}

} // namespace

CTestEngine::CTestEngine(EngineUi &ui, TimerService &timers, CRegSettings &settings,
                         EngineOptions options)
    : m_ui(ui), m_timers(timers), m_options(WithProbeMode(std::move(options))), m_categories(ui),
      m_resolver(std::make_unique<AsyncResolver>(m_options.resolver)),
      m_pRunAhead(std::make_unique<CRunAhead>(
          *this, m_timers, *m_resolver, m_options.ports,
          PoolTimers{TIMER_TIMEOUT, TIMER_FIRST_PROBE, TIMER_POOL_WAKE})),
      m_reportWriter([this](const QByteArray &text) { AppendText(text); })
{
    m_pRunAhead->SetGivenLinks(&m_givenLinks);
    m_pRunAhead->SetSettler(
        [this](const QByteArray &link, int protocol) { return Settle(link, protocol); });
    if (!m_options.dateTime)
        m_options.dateTime = LongDateTimeText;
    m_categories.LoadFilter(settings);
    m_categories.m_bUnknownCode = false;
    SetTimeout(settings.ReadInt("Settings", "Timeout", 15));
    SetJobs(settings.ReadInt("Settings", "Jobs", m_options.defaultJobs),
            settings.ReadInt("Settings", "JobsPerHost", kDefaultJobsPerHost));
    SetTodaysWeb(settings.ReadInt("Settings", "TodaysWeb", 0) != 0);
    SetSiteRoot(settings.ReadString("Settings", "SiteRoot", ""));
    PoliteSettings polite;
    polite.retries =
        std::clamp(settings.ReadInt("Settings", "Retries", kDefaultRetries), 0, kMaxRetries);
    polite.waitMaxMs =
        std::clamp(settings.ReadInt("Settings", "RetryWaitMax", kDefaultRetryWaitMaxSec), 0,
                   kMaxRetryWaitSec) *
        1000;
    polite.hostIntervalMs =
        std::clamp(settings.ReadInt("Settings", "HostInterval", 0), 0, kMaxHostIntervalMs);
    SetPolite(polite);
    SetProxy(settings.ReadString("Settings", "Proxy", ""));
    SetExclusions(
        CLinkExclusions::FromSetting(settings.ReadString("Settings", "ExcludeLinks", "")));
}

template <typename Call> void CTestEngine::Tell(const Call &call)
{
    call(m_reportWriter);
    for (RunListener *listener : m_runListeners)
        call(*listener);
}

CTestEngine::~CTestEngine()
{
    m_timers.KillTimer(TIMER_POLL);
    m_timers.KillTimer(TIMER_TIMEOUT);
    ResetRun(false);
    m_workFiles.CleanUp();
}

void CTestEngine::SetTimeout(int seconds)
{
    m_nTimeoutSec = seconds;
    // Kept within what a timer can be armed with, so that no stored value can
    // overflow or turn negative.
    m_nTimeoutMs = static_cast<int>(std::clamp<long long>(seconds * 1000LL, 0, INT_MAX));
    m_pRunAhead->SetTimeout(m_nTimeoutMs);
}

void CTestEngine::SetJobs(int total, int perHost)
{
    m_nJobs = std::clamp(total, 1, JobCeiling());
    // Kept as given: a total raised later lets more towards one host too.
    m_nJobsPerHost = std::clamp(perHost, 1, JobCeiling());
    m_pRunAhead->SetLimits(m_nJobs, m_nJobsPerHost);
    // A probe started under the new limits may have ended at once.
    if (m_bRunning)
        PostTake();
}

void CTestEngine::SetPolite(const PoliteSettings &settings)
{
    m_polite = settings;
    m_pRunAhead->SetPolite(settings);
}

int CTestEngine::PendingLookups() const
{
    return m_resolver->PendingLookups();
}

void CTestEngine::StartTest(const QByteArray &path, bool subDirectories, bool allFiles)
{
    // The commands that start a run are disabled while one lasts.
    if (!m_bRunning)
        StartListedTest(path, QueueRunFiles(path, subDirectories, allFiles));
}

void CTestEngine::StartListedTest(const QByteArray &path, const QList<QByteArray> &files)
{
    if (m_bRunning)
        return;
    m_givenLinks.clear();
    m_listFiles += files;
    m_runSiteRoot = m_siteRoot.isEmpty() ? RunDirectory(path) : m_siteRoot;
    BeginRun();
}

void CTestEngine::StartRetest(const QList<ScannedFile> &pages)
{
    if (m_bRunning)
        return;
    m_givenLinks.clear();
    // A page named twice is tested once, with the links of both places.
    for (const ScannedFile &page : pages) {
        if (!m_givenLinks.contains(page.path))
            m_listFiles.append(page.path);
        ScannedFile &given = m_givenLinks[page.path];
        given.path = page.path;
        given.result = ScannedFile::Result::Scanned;
        given.given = true;
        given.urls += page.urls;
        given.anchors += page.anchors;
        given.httpsLeftOut += page.httpsLeftOut;
    }
    m_runSiteRoot = m_siteRoot;
    BeginRun();
}

void CTestEngine::BeginRun()
{
    m_nFileCount = static_cast<int>(m_listFiles.size());

    m_pProgressDlg.emplace();
    m_pProgressDlg->m_ctlFileProgress.SetRange(0, m_nFileCount);
    m_pProgressDlg->m_ctlFileProgress.SetStep(1);
    ShowProgress();

    m_nUrlErrors = -1;
    m_bSummaryDue = false;
    m_bRunEnded = false;
    m_categories.m_bUnknownCode = false;
    m_nReportedInRun = 0;
    m_runRule = TodaysWeb() ? LinkRule::TodaysWeb : LinkRule::Classic;
    m_options.ports.mode->localLinks.Forget();
    m_nHttpsLeftOut = 0;
    m_nExcludedInRun = 0;
    m_runExclusions = m_exclusions;
    if (!m_runSiteRoot.isEmpty()) {
        QString why;
        if (!m_runExclusions.AddFile(JoinPath(m_runSiteRoot, CLinkExclusions::kIgnoreFileName),
                                     true, &why))
            m_ui.MessageBox(
                QStringLiteral("The run goes on without some exclusion patterns: %1").arg(why),
                EngineUi::Icon::None);
    }

    if (!m_bActivityCreated) {
        m_nActivityTick = 0;
        m_bActivityCreated = true;
        m_ui.ShowActivity(0);
    }
    Tell([this](RunListener &listener) {
        listener.RunStarted({QDateTime::currentDateTimeUtc(), DateTime(), TodaysWeb()});
    });

    m_pRunAhead->Begin(m_nProtocol, m_runRule, m_runSiteRoot);
    // With more than one link at once the pages after the first are read and
    // scanned off the window's thread, ahead of their turn (the first is
    // taken up at the first step, as always); one at a time each is scanned
    // at its turn.
    if (!Stepwise() && m_givenLinks.isEmpty() && m_listFiles.size() > 1)
        m_pRunAhead->ScanElsewhere(m_listFiles.mid(1), [this] {
            if (m_bRunning)
                PostTake();
        });
    m_bRunning = true;
    ArmPoll();
    m_ui.StateChanged();
}

void CTestEngine::OnTimer(int id)
{
    if (id == TIMER_POLL) {
        m_bPollPosted = false;
        if (m_bRunning)
            PollStep();
    } else if (id == TIMER_TAKE) {
        m_bTakePosted = false;
        Advance(false);
    } else {
        // A probe's time-out; the pool says when the head is done.
        m_pRunAhead->OnTimer(id);
    }
}

void CTestEngine::PollStep()
{
    ++m_nActivityTick;
    if (m_nActivityTick == 10) {
        m_ui.ShowActivity(1);
        m_nActivityTick = -10;
    } else if (m_nActivityTick == 0) {
        m_ui.ShowActivity(0);
    }
    Advance(true);
}

void CTestEngine::EndRun()
{
    StopRun();
    if (std::exchange(m_bSummaryDue, false))
        TellPageEnded();
    TellRunEnded(false);
    m_ui.ShowStatus({StatusEvent::Kind::SearchComplete, {}});
    m_ui.MessageBeep(EngineUi::Beep::Default);
    m_ui.StateChanged();
    if (m_nHttpsLeftOut > 0)
        m_ui.HttpsNotTested(m_nHttpsLeftOut);
    if (m_nExcludedInRun > 0)
        m_ui.LinksExcluded(m_nExcludedInRun);
}

void CTestEngine::TakeUpNextFile()
{
    if (std::exchange(m_bSummaryDue, false))
        TellPageEnded();
    m_strCurrentFile = m_listFiles.first();
    if (m_pProgressDlg) {
        m_pProgressDlg->m_strFileName = m_strCurrentFile;
        m_pProgressDlg->m_strFileIndex = QByteArray::number(m_nFileCount - m_listFiles.size() + 1);
        m_pProgressDlg->m_strFileCount = QByteArray::number(m_nFileCount);
        if (m_nUrlErrors != -1) {
            m_pProgressDlg->m_ctlFileProgress.StepIt();
            m_pProgressDlg->m_ctlUrlProgress.SetPos(0);
        }
        ShowProgress();
    }
    m_nUrlErrors = 0;
    m_nExcludedInFile = 0;
    QString why;
    if (!ExtractLinks(m_strCurrentFile, &why)) {
        // Links found before the failure are not probed: the file as a whole
        // was not scanned.
        m_listUrls.clear();
        m_listAnchors.clear();
        m_nUrlsInFile = 0;
        const QByteArray path = m_strCurrentFile;
        Tell([&path, &why](RunListener &listener) {
            listener.PageStarted({path, why});
            listener.PageEnded({path, 0, 0, why});
        });
        m_listFiles.removeFirst();
        m_ui.ScanFailed(path, why);
        return;
    }
    Tell([this](RunListener &listener) { listener.PageStarted({m_strCurrentFile, std::nullopt}); });
    // The page is read for its links' places when its first outcome comes.
    m_locator.reset();
    m_bSummaryDue = true;
    m_listFiles.removeFirst();
    if (!m_listUrls.isEmpty()) {
        if (m_pProgressDlg) {
            m_pProgressDlg->m_ctlUrlProgress.SetRange(0, static_cast<int>(m_listUrls.size()));
            m_pProgressDlg->m_ctlUrlProgress.SetStep(1);
        }
    }
}

void CTestEngine::ShowHeadLink(const QByteArray &link)
{
    if (!m_pProgressDlg)
        return;
    m_pProgressDlg->m_strUrl = link;
    m_pProgressDlg->m_strAnchor = m_listAnchors.first();
    m_pProgressDlg->m_strUrlIndex = QByteArray::number(m_nUrlsInFile - m_listUrls.size() + 1);
    m_pProgressDlg->m_strUrlCount = QByteArray::number(m_nUrlsInFile);
    ShowProgress();
}

void CTestEngine::TakeOutcome(const ProbeOutcome &outcome, int protocol,
                              const CRedirectChain &redirects)
{
    // An excluded link is counted, neither tested nor told as tested.
    if (outcome.excluded) {
        ++m_nExcludedInFile;
        ++m_nExcludedInRun;
        return;
    }
    LinkRecord link;
    link.page = m_strCurrentFile;
    link.target = m_listUrls.first();
    link.url = link.target;
    link.text = m_listAnchors.first();
    link.elapsedMs = outcome.elapsedMs;
    if (!link.page.isEmpty()) {
        if (!m_locator)
            m_locator.emplace(CLinkLocator::ForPage(link.page, m_runRule, m_runSiteRoot));
        const CLinkLocator::Place place = m_locator->Locate(link.target);
        link.line = place.line;
        link.column = place.column;
        if (!place.written.isEmpty())
            link.url = place.written;
    }
    if (!outcome.replied) {
        link.category = CategoryOfCode(outcome.failureCode);
    } else if (protocol != PROTOCOL_HTTP) {
        // An ftp host's greeting only shows that it is there; it is not classified.
        link.category = ResultCategory::FtpAnswered;
    } else {
        // A reply whose first line holds no number is in no category either.
        const bool todaysWeb = m_runRule == LinkRule::TodaysWeb;
        link.category = todaysWeb && IsBlockedBySite(outcome)
                            ? ResultCategory::BlockedBySite
                            : CategoryOfReply(outcome.replyCode.value_or(kNoStatusCode), todaysWeb);
        if (outcome.replyCode)
            link.code = static_cast<int>(*outcome.replyCode);
    }
    link.cached = outcome.fromCache;
    if (protocol == PROTOCOL_HTTP && !link.cached)
        KeepInCache(link);
    redirects.Describe(link);
    link.reported =
        link.category != ResultCategory::FtpAnswered && m_categories.IsReported(link.category);
    if (link.reported) {
        m_categories.NoteReported(link.category);
        ++m_nUrlErrors;
        ++m_nReportedInRun;
    }
    Tell([&link](RunListener &listener) { listener.LinkTested(link); });
}

void CTestEngine::TellPageEnded()
{
    Tell([this](RunListener &listener) {
        listener.PageEnded({m_strCurrentFile, m_nUrlsInFile - m_nExcludedInFile, m_nUrlErrors,
                            std::nullopt, m_nExcludedInFile});
    });
}

void CTestEngine::TellRunEnded(bool stopped)
{
    const QByteArray ended = stopped ? QByteArray() : DateTime();
    Tell([&ended, stopped](RunListener &listener) {
        listener.RunEnded({QDateTime::currentDateTimeUtc(), ended, stopped});
    });
}

void CTestEngine::AddRunListener(RunListener *listener)
{
    m_runListeners.push_back(listener);
}

void CTestEngine::RemoveRunListener(RunListener *listener)
{
    std::erase(m_runListeners, listener);
}

void CTestEngine::RemoveHeadLink()
{
    m_listUrls.removeFirst();
    m_listAnchors.removeFirst();
    if (m_pProgressDlg) {
        m_pProgressDlg->m_ctlUrlProgress.StepIt();
        ShowProgress();
    }
}

void CTestEngine::ResetRun(bool restorePanes)
{
    // A connect cut short ends its wait cursor, shown as its probe shows it.
    m_pRunAhead->Clear(&m_ui);
    m_listFiles.clear();
    m_listUrls.clear();
    m_listAnchors.clear();
    if (m_pProgressDlg) {
        m_pProgressDlg.reset();
        m_ui.ShowProgress(nullptr);
    }
    m_bRunEnded = true;
    if (m_bActivityCreated)
        m_ui.ShowActivity(0);
    m_bAwaitingReply = false;
    if (restorePanes) {
        m_ui.ShowStatus({StatusEvent::Kind::PanesReset, {}});
    }
}

void CTestEngine::OnStopTest()
{
    StopRun();
    TellRunEnded(true);
    m_ui.StateChanged();
    if (m_nHttpsLeftOut > 0)
        m_ui.HttpsNotTested(m_nHttpsLeftOut);
    if (m_nExcludedInRun > 0)
        m_ui.LinksExcluded(m_nExcludedInRun);
}

void CTestEngine::OnHeadShowed()
{
    // Inside a step the step itself shows the head.
    if (!m_bAdvancing && m_bRunning && m_pRunAhead->HeadSeen())
        m_pRunAhead->ShowHeadDisplay(m_ui, false);
}

void CTestEngine::OnHeadDone()
{
    Advance(false);
}

void CTestEngine::Advance(bool tick)
{
    // The pool's notifications come from the event loop; this guards against
    // one arriving through a nested loop while a step is taken.
    if (m_bAdvancing)
        return;
    m_bAdvancing = true;
    const bool stepwise = Stepwise();
    // One link at a time a tick allows one step.
    bool stepDue = tick;
    for (int steps = 0; m_bRunning; ++steps) {
        if (steps == kStepsAtOnce) {
            PostTake();
            break;
        }
        if (m_listUrls.isEmpty()) {
            if (stepwise && !std::exchange(stepDue, false))
                break;
            if (m_listFiles.isEmpty()) {
                EndRun();
                break;
            }
            // The next page is being scanned elsewhere: it is taken up once
            // its scan has come.
            if (!stepwise && m_pRunAhead->AwaitingScan(m_listFiles.first()))
                break;
            TakeUpNextFile();
            // The first link's probe starts at the same step; a page without
            // links, or one that could not be scanned, ends it.
            if (stepwise && m_listUrls.isEmpty())
                break;
            stepDue = true;
            continue;
        }
        if (stepwise && m_pRunAhead->Head() == nullptr && !std::exchange(stepDue, false))
            break;
        m_pRunAhead->Feed(m_listUrls, m_listFiles);
        const PoolJob &head = *m_pRunAhead->Head();
        ShowPoolHead(head);
        if (!head.done) {
            m_bAwaitingReply = true;
            break;
        }
        TakePoolHead(head);
        // The next link waits for the next step.
        if (stepwise)
            break;
    }
    m_bAdvancing = false;
    if (stepwise)
        SchedulePoll();
}

void CTestEngine::ShowPoolHead(const PoolJob &head)
{
    if (m_pRunAhead->FirstLookAtHead()) {
        m_nProtocol = head.protocol;
        // The link as the page has it, whatever hop its probe has reached.
        ShowHeadLink(m_listUrls.first());
    }
    m_pRunAhead->ShowHeadDisplay(m_ui, false);
}

void CTestEngine::TakePoolHead(const PoolJob &head)
{
    m_bAwaitingReply = false;
    TakeOutcome(head.outcome, head.protocol, head.redirects);
    RemoveHeadLink();
    // What the probe showed while its connection closed, after the outcome.
    m_pRunAhead->ShowHeadDisplay(m_ui, true);
    m_pRunAhead->ReleaseHead();
}

void CTestEngine::PostTake()
{
    if (m_bTakePosted)
        return;
    m_bTakePosted = true;
    m_timers.PostTick(TIMER_TAKE);
}

bool CTestEngine::ExtractLinks(const QByteArray &path, QString *why)
{
    const QByteArray splitCopyPath = m_workFiles.WorkFilePath("2");
    int httpsLeftOut = 0;
    const bool scanned =
        m_pRunAhead->TakeUpFile(path, splitCopyPath, m_listUrls, m_listAnchors, why, &httpsLeftOut);
    // A file that could not be scanned is reported as such, not counted.
    if (scanned)
        m_nHttpsLeftOut += httpsLeftOut;
    m_nUrlsInFile = static_cast<int>(m_listUrls.size());
    return scanned;
}

void CTestEngine::AppendText(const QByteArray &text)
{
    m_report += text;
    const bool hadText = m_bHasText;
    m_bHasText = true;
    m_ui.AppendText(text);
    if (!hadText)
        m_ui.StateChanged();
}

bool CTestEngine::LoadReport(const QByteArray &report)
{
    if (m_bRunning)
        return false;
    OnClearWindow();
    if (!report.isEmpty())
        AppendText(report);
    m_bRunEnded = !report.isEmpty();
    m_categories.m_bUnknownCode = report.contains(kUnknownReasonText);
    m_ui.StateChanged();
    return true;
}

void CTestEngine::OnClearWindow()
{
    if (m_bRunning)
        return;
    m_report.clear();
    m_bHasText = false;
    m_bRunEnded = false;
    m_ui.ClearText();
    m_ui.StateChanged();
}

void CTestEngine::StopRun()
{
    if (m_bRunning) {
        StopPoll();
        m_bRunning = false;
    }
    ResetRun(true);
}

void CTestEngine::ArmPoll()
{
    if (m_options.pollMs > 0)
        m_timers.SetTimer(TIMER_POLL, m_options.pollMs);
    else
        SchedulePoll();
}

void CTestEngine::StopPoll()
{
    m_timers.KillTimer(TIMER_POLL);
}

void CTestEngine::SchedulePoll()
{
    if (m_options.pollMs > 0 || !m_bRunning || m_bPollPosted || m_bAwaitingReply)
        return;
    m_bPollPosted = true;
    m_timers.PostTick(TIMER_POLL);
}

void CTestEngine::ShowProgress()
{
    if (m_pProgressDlg)
        m_ui.ShowProgress(&*m_pProgressDlg);
}

QByteArray CTestEngine::DateTime() const
{
    return m_options.dateTime();
}

std::optional<ProbeOutcome> CTestEngine::Settle(const QByteArray &link, int protocol) const
{
    ProbeOutcome outcome;
    if (m_runExclusions.Matches(link)) {
        outcome.excluded = true;
        return outcome;
    }
    if (m_cache == nullptr || protocol != PROTOCOL_HTTP)
        return std::nullopt;
    const std::optional<int> code =
        m_cache->Lookup(link, m_runRule == LinkRule::TodaysWeb, QDateTime::currentSecsSinceEpoch());
    if (!code)
        return std::nullopt;
    outcome.replied = true;
    outcome.replyCode = static_cast<std::uint32_t>(*code);
    outcome.fromCache = true;
    return outcome;
}

void CTestEngine::KeepInCache(const LinkRecord &link)
{
    if (m_cache == nullptr)
        return;
    // Only a pass is kept: a failure is asked again next time.
    const bool passed = link.code && IsOk(link.category);
    m_cache->Store(link.target, m_runRule == LinkRule::TodaysWeb, passed ? link.code : std::nullopt,
                   QDateTime::currentSecsSinceEpoch());
}
