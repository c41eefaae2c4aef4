#pragma once

#include <atomic>
#include <functional>
#include <optional>

#include <QByteArray>
#include <QList>
#include <QString>

#include "platform/uniquefd.h"
#include "records/runlistener.h"
#include "results/pagerewriter.h"
#include "results/repairnames.h"
#include "results/repairoutcome.h"

class CTestEngine;
class CWorkFiles;
class EngineUi;

// The question asked before a repair when the run met a reply code outside
// every result category.
QString UnknownCodeQuestion();

// What a repair would do, worked out without touching any file.
struct RepairPreview
{
    // A unified diff of every page the repair would change; empty when it
    // would change none.
    QByteArray diff;
    // Every link it would leave as it is and every page it could not repair,
    // as the closing message names them; empty when it would repair all.
    QString notes;
};

// Lets another thread follow a repair and stop it: the pages of the report
// and those done so far, and a stop that is taken between pages, never
// within one.
struct RepairWatch
{
    std::atomic<bool> stop{false};
    std::atomic<int> pages{0};
    std::atomic<int> pagesDone{0};
};

// Rewrites the HTML files a report names so that every link it lists is
// disabled, or (updating moved links) so that every link it lists as moved
// for good leads straight to where it moved. The report (its text, or the JSON results of its run,
// which know every hop of a redirect chain) is read into its pages and reported links;
// each page repairs one file: the repaired text is made in memory and, when it differs from the
// page, the page's original is kept in a backup and the repaired version is written beside the page
// and takes its place in one rename. A page with nothing to change is left alone, without a backup.
// A repair run again over pages it repaired before (or cut short half-way) finds their originals in
// the backups and changes nothing twice. The closing message names every link left as it was.
class CLinkRepair final : private RunListener
{
public:
    CLinkRepair(EngineUi &ui, const CWorkFiles &workFiles);
    // A repair of the engine's report, reading links as the engine's mode reads them.
    explicit CLinkRepair(CTestEngine &engine);
    ~CLinkRepair() override;

    CLinkRepair(const CLinkRepair &) = delete;
    CLinkRepair &operator=(const CLinkRepair &) = delete;

    // Walks the report (dumped to urltmp~2) and tells the user how it went;
    // true when every reported link was repaired.
    bool RepairFromReport(const QByteArray &report, int type);
    // The same repair without the closing message, which it returns instead:
    // it touches no window, so it may run on a thread of its own. With a
    // watch it tells its progress there and takes its stop.
    CRepairOutcome Repair(const QByteArray &report, int type, RepairWatch *watch = nullptr);
    // The same walk, writing nothing anywhere.
    RepairPreview PreviewFromReport(const QByteArray &report, int type);

    // Called after each change the repair makes on disk (a backup written, a
    // repaired copy complete, a page replaced), so that tests can end the
    // process at each of them.
    void SetStepHook(std::function<void()> hook) { m_stepHook = std::move(hook); }

    // The report comes from a run of today's web: a link is also found by the
    // address it was tested at (resolved against its page and siteRoot).
    void SetTodaysWeb(const QByteArray &siteRoot)
    {
        m_bTodaysWeb = true;
        m_siteRoot = siteRoot;
    }

private:
    // A page as the preview would leave it, for a page that the report names
    // more than once.
    struct PreviewPage
    {
        QByteArray path;
        QByteArray target;
        QByteArray before;
        QByteArray after;
    };

    void WalkReport(const QByteArray &report);
    // The report as it is read: each page is taken up, its links repaired,
    // and it is written back at its end, until a page fails.
    void RunStarted(const RunStart &) override {}
    void PageStarted(const PageStart &page) override;
    void LinkTested(const LinkRecord &link) override;
    void PageEnded(const PageEnd &page) override;
    void RunEnded(const RunEnd &) override {}
    // These return 0 for success, nonzero for a failure that stops the walk.
    int BeginFileRepair(const QByteArray &path);
    // url: the link as the report names it; written: as its page writes it.
    int RepairUrl(const QByteArray &url, const QByteArray &written, const QByteArray &movedTo = {});
    int EndFileRepair();
    // Puts the repaired text in the page's place, after its backup.
    int ReplacePage(const QByteArray &repaired);

    bool FileOpen() const { return m_rewriter.has_value(); }
    // Notes why the file cannot be repaired, gives it up and returns nonzero.
    int Fail(const QString &reason);
    // Closes the file under repair and removes its unfinished copy.
    void GiveUpFile();
    void Step();

    EngineUi &m_ui;
    const CWorkFiles &m_workFiles;
    bool m_preview = false;
    CRepairOutcome m_outcome;
    RepairWatch *m_watch = nullptr;
    // A page failed: the rest of the report is passed over.
    bool m_bWalkStopped = false;
    // Pages of the report met so far by the walk.
    int m_nPagesStarted = 0;
    int m_type = REPAIR_DISABLE_LINE;
    QByteArray m_strRepairPath;
    // The file being repaired (the one a link at the path points to).
    QByteArray m_target;
    QByteArray m_temporary;
    UniqueFd m_pRepairIn;
    QByteArray m_page;
    BackupChoice m_backup;
    std::optional<CPageRewriter> m_rewriter;
    QList<PreviewPage> m_previewPages;
    std::function<void()> m_stepHook;
    bool m_bTodaysWeb = false;
    QByteArray m_siteRoot;
};

// The Repair command: asks first when the last run met an unknown reply code,
// then lets chooseType ask for the repair type (nothing: the user cancelled),
// then repairs, through repair when given (it repairs the engine's report
// with the type and says whether every link was repaired). True when every
// reported link was repaired.
bool OnRepairFailedLinks(CTestEngine &engine, const std::function<std::optional<int>()> &chooseType,
                         const std::function<bool(int type)> &repair = {});
