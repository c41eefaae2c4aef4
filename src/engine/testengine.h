#pragma once

#include <functional>
#include <optional>

#include <QByteArray>
#include <QList>
#include <QString>

#include "discovery/workfiles.h"
#include "engine/httpprobe.h"
#include "engine/progressmodel.h"
#include "engine/resultcategories.h"

class CRegSettings;
class EngineUi;
class TimerService;

struct EngineOptions
{
    ProbePorts ports;
    // Where host names are looked up; tests point it at a name server of their own.
    ResolverOptions resolver;
    // The poll period; 0 takes the next step as soon as the engine is ready
    // for it, without a period and without busy waiting.
    int pollMs = 100;
    // The date and time written into the start and end lines.
    std::function<QByteArray()> dateTime;
};

// The test engine behind the results window: it carries a run over files and
// links, probes each link, classifies the outcome and writes the report. It
// also keeps the report text, which export, re-test and repair read back.
class CTestEngine final : public ReplyListener
{
public:
    // Reads the report filter and the time-out from the settings.
    CTestEngine(EngineUi &ui, TimerService &timers, CRegSettings &settings,
                EngineOptions options = {});
    ~CTestEngine() override;

    CTestEngine(const CTestEngine &) = delete;
    CTestEngine &operator=(const CTestEngine &) = delete;

    // Starts a run over the path alone, or over the HTML files of its
    // directory (allFiles), and of all its sub-directories (subDirectories too).
    void StartTest(const QByteArray &path, bool subDirectories, bool allFiles);
    void OnTimer(int id);
    void PollStep();
    void ProcessUrl(bool reply);
    void RecordFailure(std::uint32_t code);
    void ResetRun(bool restorePanes);
    void OnStopTest();
    void OnReplyReceived() override;
    void OnConnectFailed(std::uint32_t code) override;

    // Scans the file into the link and anchor queues; false, with why, when it
    // could not be scanned.
    bool ExtractLinks(const QByteArray &path, QString *why = nullptr);
    void AppendText(const QByteArray &text);
    void OnClearWindow();
    // Sets the time-out, in seconds, for the probes that start from now on.
    void SetTimeout(int seconds);

    // Which commands the user may give now.
    bool CanSelectFiles() const { return !m_bRunning; }
    bool CanStopTest() const { return m_bRunning; }
    bool CanRetestOrRepair() const { return m_bRunEnded; }
    bool CanExportOrClear() const { return m_bHasText; }

    const QByteArray &ReportText() const { return m_report; }
    // Outcomes written into the report since the current run started.
    int ReportedInRun() const { return m_nReportedInRun; }
    CResultCategories &Categories() { return m_categories; }
    EngineUi &Ui() { return m_ui; }
    const CWorkFiles &WorkFiles() const { return m_workFiles; }
    CHttpProbe &Probe() { return m_probe; }
    const std::optional<ProgressModel> &Progress() const { return m_pProgressDlg; }

    QList<QByteArray> m_listFiles;
    QList<QByteArray> m_listUrls;
    QList<QByteArray> m_listAnchors;
    int m_nUrlsInFile = 0;
    QByteArray m_strCurrentFile;
    int m_nFileCount = 0;
    int m_nUrlErrors = -1;
    bool m_bRunning = false;
    bool m_bTimeoutArmed = false;
    int m_nTimeoutSec = 15;
    int m_nTimeoutMs = 15000;
    bool m_bRunEnded = false;
    bool m_bAwaitingReply = false;
    bool m_bHasText = false;
    bool m_bActivityCreated = false;
    int m_nActivityTick = 0;

private:
    // Stops both timers and ends whatever is in flight, restoring the panes.
    void StopRun();
    void ArmPoll();
    void StopPoll();
    void StopTimeout();
    // With the immediate pace: asks for the next step when one is due.
    void SchedulePoll();
    void TakeUpNextFile();
    void EndRun();
    void StartProbe();
    void TakeReply();
    // Writes the head link and its result when the filter admits the outcome.
    void ReportOutcome(std::uint32_t code, bool failureWording);
    // The head link's outcome is recorded: it leaves the queue and its probe ends.
    void FinishHeadLink();
    void ShowProgress();
    QByteArray DateTime() const;

    EngineUi &m_ui;
    TimerService &m_timers;
    EngineOptions m_options;
    CResultCategories m_categories;
    CWorkFiles m_workFiles;
    CHttpProbe m_probe;
    std::optional<ProgressModel> m_pProgressDlg;
    QByteArray m_report;
    int m_nReportedInRun = 0;
    bool m_bPollPosted = false;
    // The current file was scanned and its summary line is still to come.
    bool m_bSummaryDue = false;
};
