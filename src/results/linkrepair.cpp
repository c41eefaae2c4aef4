#include "linkrepair.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "discovery/workfiles.h"
#include "engine/engineui.h"
#include "engine/testengine.h"
#include "platform/atomicfile.h"
#include "platform/longpath.h"
#include "results/linereader.h"
#include "results/repairnames.h"

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

QByteArray Bytes(std::string_view text)
{
    return QByteArray(text.data(), static_cast<qsizetype>(text.size()));
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

CLinkRepair::~CLinkRepair()
{
    GiveUpFile();
}

bool CLinkRepair::RepairFromReport(const QByteArray &report, int type)
{
    m_type = type;
    m_outcome = CRepairOutcome();
    WalkReport(report);
    GiveUpFile();
    const bool repaired = m_outcome.AllRepaired();
    m_ui.MessageBox(m_outcome.ClosingMessage(),
                    repaired ? EngineUi::Icon::Information : EngineUi::Icon::None);
    return repaired;
}

void CLinkRepair::WalkReport(const QByteArray &report)
{
    const QByteArray dumpPath = m_workFiles.WorkFilePath("2");
    UniqueFd dump = CreateWorkFile(dumpPath);
    if (!dump.IsValid() ||
        !WriteAll(dump.Get(), report.constData(), static_cast<std::size_t>(report.size())) ||
        lseek(dump.Get(), 0, SEEK_SET) != 0) {
        const QString why = ErrnoText(errno);
        m_outcome.ReportFailed(
            QStringLiteral("The report cannot be written to the work file %1 (%2).")
                .arg(Text(dumpPath), why));
        return;
    }
    // The report is read by whole lines: however long a link or its anchor
    // text, no part of a line is ever taken for a line of its own.
    LineReader reader(dump.Get());
    std::string_view line, ending;
    while (reader.Next(line, ending)) {
        if (reader.StartsLine() && !line.empty() && OnReportLine(line) != kSuccess)
            return;
    }
    if (reader.Failed()) {
        m_outcome.ReportFailed(
            QStringLiteral("The report cannot be read from the work file %1 (%2).")
                .arg(Text(dumpPath), ErrnoText(reader.Error())));
        return;
    }
    // The last section may have no summary line (its run was stopped).
    if (FileOpen())
        EndFileRepair();
}

int CLinkRepair::OnReportLine(std::string_view line)
{
    switch (line.front()) {
    case '"': {
        const std::size_t closing = line.find('"', 1);
        if (closing == std::string_view::npos)
            m_outcome.LineWithoutUrl(Bytes(line));
        else if (!FileOpen())
            m_outcome.LinkWithoutFile(Bytes(line.substr(1, closing - 1)));
        else
            return RepairUrl(Bytes(line.substr(1, closing - 1)));
        return kSuccess;
    }
    case '<':
        // A section without its summary (a run stopped before it) is
        // completed when the next one begins: its links were reported.
        if (FileOpen() && EndFileRepair() != kSuccess)
            return kFailure;
        return BeginFileRepair(Bytes(line.size() > 10 ? line.substr(10) : std::string_view()));
    case '>':
        return FileOpen() ? EndFileRepair() : kSuccess;
    default:
        return kSuccess;
    }
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

    // The backup keeps the page's original: it is written only when it does
    // not hold that already, so a repaired page never takes its place.
    const BackupChoice backup = ChooseBackup(path, page.Get());
    if (!backup.keep) {
        if (!CopyFileAtomically(m_target, backup.path)) {
            const QString why = ErrnoText(errno);
            return Fail(
                QStringLiteral("its backup %1 cannot be written (%2)").arg(Text(backup.path), why));
        }
        Step();
    }
    m_original.Reset(OpenLongPath(backup.path, O_RDONLY | O_NONBLOCK));
    if (!m_original.IsValid()) {
        const QString why = ErrnoText(errno);
        return Fail(
            QStringLiteral("its backup %1 cannot be read (%2)").arg(Text(backup.path), why));
    }

    m_pRepairOut = CreateTemporaryFile(m_target, &m_temporary);
    if (!m_pRepairOut.IsValid()) {
        const QString why = ErrnoText(errno);
        m_temporary.clear();
        return Fail(QStringLiteral("its repaired copy cannot be created beside it (%1)").arg(why));
    }
    Step();
    CopyFileAttributes(page.Get(), m_pRepairOut.Get());
    m_pRepairIn = std::move(page);
    m_rewriter.emplace(m_original.Get(), m_pRepairIn.Get(), m_pRepairOut.Get(), FileNameOf(path),
                       m_type);
    return kSuccess;
}

int CLinkRepair::RepairUrl(const QByteArray &url)
{
    const LinkOutcome outcome = m_rewriter->Repair(url);
    if (m_rewriter->Failed())
        return Fail(
            m_rewriter->Error() == 0
                ? QStringLiteral("it no longer agrees with its backup")
                : QStringLiteral("it cannot be read (%1)").arg(ErrnoText(m_rewriter->Error())));
    if (outcome == LinkOutcome::NotFound || outcome == LinkOutcome::CannotDisable)
        m_outcome.LinkNotRepaired(m_strRepairPath, url, outcome);
    return kSuccess;
}

int CLinkRepair::EndFileRepair()
{
    if (!m_rewriter->Finish())
        return Fail(m_rewriter->Error() == 0
                        ? QStringLiteral("it no longer agrees with its backup")
                        : QStringLiteral("its repaired copy %1 cannot be written (%2)")
                              .arg(Text(m_temporary), ErrnoText(m_rewriter->Error())));
    const bool changed = m_rewriter->Changed();
    m_rewriter.reset();
    if (fsync(m_pRepairOut.Get()) != 0 || close(m_pRepairOut.Release()) != 0) {
        const QString why = ErrnoText(errno);
        return Fail(QStringLiteral("its repaired copy %1 cannot be written (%2)")
                        .arg(Text(m_temporary), why));
    }
    m_pRepairIn.Reset();
    m_original.Reset();
    Step();
    if (!changed) {
        // Nothing to change (every link was disabled before, or none was
        // found): the page stays as it is.
        unlink(m_temporary.constData());
        m_temporary.clear();
        return kSuccess;
    }
    // A file the user may not write (or that nobody may write, whoever runs
    // this) is left as it is.
    struct stat info
    {};
    if (access(m_target.constData(), W_OK) != 0 || stat(m_target.constData(), &info) != 0 ||
        (info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
        return Fail(QStringLiteral("it is read-only"));
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
    m_original.Reset();
    m_pRepairOut.Reset();
    if (!m_temporary.isEmpty())
        unlink(m_temporary.constData());
    m_temporary.clear();
}

void CLinkRepair::Step()
{
    if (m_stepHook)
        m_stepHook();
}

bool OnRepairFailedLinks(CTestEngine &engine, const std::function<std::optional<int>()> &chooseType)
{
    if (!engine.CanRetestOrRepair() || engine.m_bRunning)
        return false;
    if (engine.Categories().m_bUnknownCode && !engine.Ui().AskYesNo(UnknownCodeQuestion()))
        return false;
    const std::optional<int> type = chooseType();
    if (!type)
        return false;
    CLinkRepair repair(engine.Ui(), engine.WorkFiles());
    return repair.RepairFromReport(engine.ReportText(), *type);
}
