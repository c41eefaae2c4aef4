#include "linkrepair.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

#include "discovery/workfiles.h"
#include "engine/engineui.h"
#include "engine/testengine.h"
#include "formats/jsonresultsreader.h"
#include "platform/atomicfile.h"
#include "platform/longpath.h"
#include "platform/wholefile.h"
#include "records/movedto.h"
#include "records/reporttextreader.h"
#include "results/repairdiff.h"

namespace {

constexpr int kSuccess = 0;
constexpr int kFailure = 1;

QString Text(const QByteArray &bytes)
{
    return QString::fromLocal8Bit(bytes);
}

QString ErrnoText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// Reads a report text, or the JSON results of a run, into listener; the
// results tell every hop of a redirect chain, a text only its first code and
// its end. Returns why JSON results were refused (nothing was told then).
QString ReadReport(const QByteArray &report, RunListener &listener,
                   const std::function<void(const QByteArray &line)> &unreadLink = {})
{
    if (IsJsonDocument(report))
        return ReadJsonResults(report, listener);
    ReadReportText(report, listener, unreadLink);
    return {};
}

} // namespace

QString UnknownCodeQuestion()
{
    return QStringLiteral("The testing found at least one URL\nwith an UNKNOWN ERROR!\n"
                          "(See the window text.)\n\nAre you sure you want to repair now?");
}

CLinkRepair::CLinkRepair(EngineUi &ui, const CWorkFiles &workFiles)
    : m_ui(ui), m_workFiles(workFiles)
{}

CLinkRepair::CLinkRepair(CTestEngine &engine) : CLinkRepair(engine.Ui(), engine.WorkFiles())
{
    if (engine.TodaysWeb())
        SetTodaysWeb(engine.SiteRoot());
}

CLinkRepair::~CLinkRepair()
{
    GiveUpFile();
}

bool CLinkRepair::RepairFromReport(const QByteArray &report, int type)
{
    const CRepairOutcome outcome = Repair(report, type);
    const bool repaired = outcome.AllRepaired();
    m_ui.MessageBox(outcome.ClosingMessage(),
                    repaired ? EngineUi::Icon::Information : EngineUi::Icon::None);
    return repaired;
}

namespace {

// Counts the pages a report names, for a repair's progress.
class PageCounter final : public RunListener
{
public:
    int pages = 0;

private:
    void RunStarted(const RunStart &) override {}
    void PageStarted(const PageStart &) override { ++pages; }
    void LinkTested(const LinkRecord &) override {}
    void PageEnded(const PageEnd &) override {}
    void RunEnded(const RunEnd &) override {}
};

} // namespace

CRepairOutcome CLinkRepair::Repair(const QByteArray &report, int type, RepairWatch *watch)
{
    m_preview = false;
    m_type = type;
    m_outcome = CRepairOutcome();
    m_watch = watch;
    if (m_watch != nullptr) {
        PageCounter counter;
        ReadReport(report, counter);
        m_watch->pages = counter.pages;
        m_watch->pagesDone = 0;
    }
    const QByteArray dumpPath = m_workFiles.WorkFilePath("2");
    const UniqueFd dump = CreateWorkFile(dumpPath);
    if (!dump.IsValid() ||
        !WriteAll(dump.Get(), report.constData(), static_cast<std::size_t>(report.size()))) {
        const QString why = ErrnoText(errno);
        m_outcome.ReportFailed(
            QStringLiteral("The report cannot be written to the work file %1 (%2).")
                .arg(Text(dumpPath), why));
    } else {
        WalkReport(report);
    }
    GiveUpFile();
    m_watch = nullptr;
    return std::exchange(m_outcome, CRepairOutcome());
}

RepairPreview CLinkRepair::PreviewFromReport(const QByteArray &report, int type)
{
    m_preview = true;
    m_type = type;
    m_outcome = CRepairOutcome();
    m_previewPages.clear();
    WalkReport(report);
    GiveUpFile();
    RepairPreview preview;
    for (const PreviewPage &page : m_previewPages)
        preview.diff += RepairDiff(page.path, page.before, page.after);
    m_previewPages.clear();
    preview.notes = m_outcome.Notes();
    return preview;
}

void CLinkRepair::WalkReport(const QByteArray &report)
{
    m_bWalkStopped = false;
    m_nPagesStarted = 0;
    const QString refused = ReadReport(report, *this, [this](const QByteArray &line) {
        if (!m_bWalkStopped)
            m_outcome.LineWithoutUrl(line);
    });
    if (!refused.isEmpty())
        m_outcome.ReportFailed(QStringLiteral("The results cannot be read: %1.").arg(refused));
    // The last page may have no summary line (its run was stopped).
    if (!m_bWalkStopped && FileOpen())
        EndFileRepair();
    if (m_watch != nullptr && !m_bWalkStopped)
        m_watch->pagesDone = m_nPagesStarted;
}

void CLinkRepair::PageStarted(const PageStart &page)
{
    if (m_watch != nullptr && !m_bWalkStopped)
        m_watch->pagesDone = m_nPagesStarted;
    ++m_nPagesStarted;
    // A page that could not be scanned reported no link.
    if (m_bWalkStopped || page.scanError)
        return;
    // A page without its summary (a run stopped before it) is completed when
    // the next one begins: its links were reported.
    if (FileOpen() && EndFileRepair() != kSuccess) {
        m_bWalkStopped = true;
    } else if (m_watch != nullptr && m_watch->stop) {
        // Between pages only: each page is repaired whole or not at all.
        m_outcome.StoppedBefore(page.path);
        m_bWalkStopped = true;
    } else if (BeginFileRepair(page.path) != kSuccess) {
        m_bWalkStopped = true;
    }
}

void CLinkRepair::LinkTested(const LinkRecord &link)
{
    if (m_bWalkStopped)
        return;
    // Updating moved links passes over every other link.
    if (m_type == REPAIR_UPDATE_MOVED && !MovedForGood(link))
        return;
    // The address it was tested at is what a report text names it by, and,
    // by today's web rule, what finds its anchor by its place in the page.
    const QByteArray &tested = link.target.isEmpty() ? link.url : link.target;
    if (link.page.isEmpty() || !FileOpen())
        m_outcome.LinkWithoutFile(tested);
    else
        RepairUrl(tested, link.url,
                  m_type == REPAIR_UPDATE_MOVED ? link.redirects.back().url : QByteArray());
}

void CLinkRepair::PageEnded(const PageEnd &page)
{
    if (!m_bWalkStopped && !page.scanError && FileOpen() && EndFileRepair() != kSuccess)
        m_bWalkStopped = true;
}

int CLinkRepair::BeginFileRepair(const QByteArray &path)
{
    m_strRepairPath = path;
    QString refused;
    m_target = ResolveLinkTarget(path, &refused);
    if (m_target.isEmpty())
        return Fail(refused.isEmpty() ? QStringLiteral("its name cannot be followed") : refused);
    UniqueFd page(OpenLongPath(m_target, O_RDONLY | O_NONBLOCK));
    struct stat info
    {};
    if (!page.IsValid())
        return Fail(QStringLiteral("it cannot be read (%1)").arg(ErrnoText(errno)));
    if (fstat(page.Get(), &info) != 0 || !S_ISREG(info.st_mode))
        return Fail(QStringLiteral("it is not a regular file"));
    if (!ReadWholeFile(page.Get(), m_page, kLargestRepairedPage))
        return Fail(errno == EFBIG
                        ? QStringLiteral("it is larger than %1 MiB").arg(kLargestRepairedPage >> 20)
                        : QStringLiteral("it cannot be read (%1)").arg(ErrnoText(errno)));
    m_pRepairIn = std::move(page);

    // A page the preview has repaired already is taken up as it would stand.
    const auto previewed =
        std::find_if(m_previewPages.begin(), m_previewPages.end(),
                     [this](const PreviewPage &seen) { return seen.target == m_target; });
    if (m_preview && previewed != m_previewPages.end())
        m_page = previewed->after;

    // The page's original is in its backup when that holds it already (the
    // page is a repair of it); else the page is its own original.
    m_backup = ChooseBackup(path, m_page);
    if (m_backup.keep)
        m_rewriter.emplace(m_backup.original, m_backup.edits, FileNameOf(path), m_type);
    else
        m_rewriter.emplace(m_page, PageEdits(), FileNameOf(path), m_type);
    if (m_bTodaysWeb)
        m_rewriter->FindByTestedAddress(path, m_siteRoot);
    return kSuccess;
}

int CLinkRepair::RepairUrl(const QByteArray &url, const QByteArray &written,
                           const QByteArray &movedTo)
{
    LinkOutcome outcome = m_rewriter->Repair(url, movedTo);
    // A tested address made against another site root than this repair's is
    // found by the link as the page writes it.
    if (outcome == LinkOutcome::NotFound && written != url)
        outcome = m_rewriter->Repair(written, movedTo);
    if (outcome == LinkOutcome::NotFound || outcome == LinkOutcome::CannotDisable)
        m_outcome.LinkNotRepaired(m_strRepairPath, url, outcome);
    return kSuccess;
}

int CLinkRepair::EndFileRepair()
{
    const QByteArray repaired = m_rewriter->Finish();
    m_rewriter.reset();
    if (repaired == m_page) {
        // Nothing to change (every link was disabled before, or none was
        // found): the page stays as it is, without a backup.
        GiveUpFile();
        return kSuccess;
    }
    // A file the user may not write (or that nobody may write, whoever runs
    // this) is left as it is, and gets no backup either.
    struct stat info
    {};
    if (access(m_target.constData(), W_OK) != 0 || stat(m_target.constData(), &info) != 0 ||
        (info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
        return Fail(QStringLiteral("it is read-only"));
    if (m_preview) {
        auto seen =
            std::find_if(m_previewPages.begin(), m_previewPages.end(),
                         [this](const PreviewPage &page) { return page.target == m_target; });
        if (seen == m_previewPages.end())
            m_previewPages.append({m_strRepairPath, m_target, m_page, repaired});
        else
            seen->after = repaired;
        GiveUpFile();
        return kSuccess;
    }
    const int result = ReplacePage(repaired);
    if (result == kSuccess)
        GiveUpFile();
    return result;
}

int CLinkRepair::ReplacePage(const QByteArray &repaired)
{
    // The backup keeps the page's original: it is written only when it does
    // not hold that already, so a repaired page never takes its place.
    if (!m_backup.keep) {
        AtomicFileWriter backup(m_backup.path, AtomicFileWriter::AtPath::ReplaceLink);
        if (!backup.Open(m_pRepairIn.Get()) || !backup.Write(m_page) || !backup.Commit()) {
            const QString why = ErrnoText(errno);
            return Fail(QStringLiteral("its backup %1 cannot be written (%2)")
                            .arg(Text(m_backup.path), why));
        }
        Step();
    }

    UniqueFd out = CreateTemporaryFile(m_target, &m_temporary);
    if (!out.IsValid()) {
        const QString why = ErrnoText(errno);
        m_temporary.clear();
        return Fail(QStringLiteral("its repaired copy cannot be created beside it (%1)").arg(why));
    }
    CopyFileAttributes(m_pRepairIn.Get(), out.Get());
    if (!WriteAll(out.Get(), repaired.constData(), static_cast<std::size_t>(repaired.size())) ||
        fsync(out.Get()) != 0 || close(out.Release()) != 0) {
        const QString why = ErrnoText(errno);
        return Fail(QStringLiteral("its repaired copy %1 cannot be written (%2)")
                        .arg(Text(m_temporary), why));
    }
    Step();
    if (rename(m_temporary.constData(), m_target.constData()) != 0)
        return Fail(QStringLiteral("it cannot be replaced (%1)").arg(ErrnoText(errno)));
    m_temporary.clear();
    Step();
    return kSuccess;
}

int CLinkRepair::Fail(const QString &reason)
{
    m_outcome.FileFailed(m_strRepairPath, reason);
    GiveUpFile();
    return kFailure;
}

void CLinkRepair::GiveUpFile()
{
    m_rewriter.reset();
    m_pRepairIn.Reset();
    m_page.clear();
    m_backup = BackupChoice();
    if (!m_temporary.isEmpty())
        unlink(m_temporary.constData());
    m_temporary.clear();
}

void CLinkRepair::Step()
{
    if (m_stepHook)
        m_stepHook();
}

bool OnRepairFailedLinks(CTestEngine &engine, const std::function<std::optional<int>()> &chooseType,
                         const std::function<bool(int type)> &repair)
{
    if (!engine.CanRetestOrRepair() || engine.IsRunning())
        return false;
    if (engine.Categories().m_bUnknownCode && !engine.Ui().AskYesNo(UnknownCodeQuestion()))
        return false;
    const std::optional<int> type = chooseType();
    if (!type)
        return false;
    if (repair)
        return repair(*type);
    CLinkRepair here(engine);
    return here.RepairFromReport(engine.ReportText(), *type);
}
