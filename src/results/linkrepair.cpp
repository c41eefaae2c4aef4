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
#include "results/repairnames.h"
#include "results/retestinput.h"

namespace {

constexpr int kSuccess = 0;
constexpr int kFailure = 1;
constexpr qsizetype kOutputBlock = 1 << 16;

// The line break at the very end of a piece: CR LF, LF, or none.
std::string_view LineBreakOf(std::string_view piece)
{
    if (piece.size() >= 2 && piece.substr(piece.size() - 2) == "\r\n")
        return piece.substr(piece.size() - 2);
    if (!piece.empty() && piece.back() == '\n')
        return piece.substr(piece.size() - 1);
    return {};
}

QString Text(const QByteArray &bytes)
{
    return QString::fromLocal8Bit(bytes);
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
    CloseFile();
}

bool CLinkRepair::RepairFromReport(const QByteArray &report, int type)
{
    int failure = kSuccess;
    const QByteArray dumpPath = m_workFiles.WorkFilePath("2");
    UniqueFd dump = CreateWorkFile(dumpPath);
    if (!dump.IsValid() ||
        !WriteAll(dump.Get(), report.constData(), static_cast<std::size_t>(report.size())) ||
        lseek(dump.Get(), 0, SEEK_SET) != 0) {
        m_ui.MessageBox(QStringLiteral("The report cannot be written to the work file %1 (%2).")
                            .arg(Text(dumpPath), Text(std::strerror(errno))),
                        EngineUi::Icon::None);
        failure = kFailure;
    }

    PieceReader reader(dump.Get());
    std::string_view piece;
    while (failure == kSuccess && reader.Next(piece, kReportPieceChars)) {
        switch (piece.front()) {
        case '"': {
            const std::size_t closing = piece.find('"', 1);
            // A link line outside any file section, or without its second
            // double quote, names nothing that could be repaired.
            if (FileOpen() && closing != std::string_view::npos) {
                const std::string_view url = piece.substr(1, closing - 1);
                failure =
                    RepairUrl(QByteArray(url.data(), static_cast<qsizetype>(url.size())), type);
            }
            break;
        }
        case '<': {
            std::string_view path = piece.size() > 10 ? piece.substr(10) : std::string_view();
            path.remove_suffix(LineBreakOf(path).size());
            // A section left open by a run stopped before its summary is
            // given up: its file stays as it was.
            CloseFile();
            failure = BeginFileRepair(QByteArray(path.data(), static_cast<qsizetype>(path.size())));
            break;
        }
        case '>':
            if (FileOpen())
                failure = EndFileRepair();
            break;
        default:
            break;
        }
    }
    if (reader.Failed())
        failure = kFailure;

    if (failure != kSuccess)
        m_ui.MessageBox(QString::fromLatin1(kRepairFailedText), EngineUi::Icon::None);
    else
        m_ui.MessageBox(QString::fromLatin1(kRepairCompletedText), EngineUi::Icon::Information);
    CloseFile();
    return failure == kSuccess;
}

int CLinkRepair::BeginFileRepair(const QByteArray &path)
{
    m_strRepairPath = path;
    m_target = ResolveLinkTarget(path);
    if (!CopyFileAtomically(m_target, BackupPath(path)))
        return kFailure;

    m_pRepairIn.Reset(OpenLongPath(m_target, O_RDONLY | O_NONBLOCK));
    if (!m_pRepairIn.IsValid())
        return kFailure;
    m_inReader.emplace(m_pRepairIn.Get());

    const QByteArray temporary = TemporaryPath(m_target);
    unlink(temporary.constData());
    m_pRepairOut.Reset(
        open(temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!m_pRepairOut.IsValid()) {
        CloseFile();
        return kFailure;
    }
    CopyFileAttributes(m_pRepairIn.Get(), m_pRepairOut.Get());
    m_outBuffer.clear();
    m_outFailed = false;
    return kSuccess;
}

int CLinkRepair::RepairUrl(const QByteArray &url, int type)
{
    const std::string_view wanted(url.constData(), static_cast<std::size_t>(url.size()));
    std::string_view piece;
    while (m_inReader->Next(piece, kReportPieceChars)) {
        const std::size_t found = piece.find(wanted);
        if (found == std::string_view::npos) {
            Write(piece);
            continue;
        }
        // Each rewritten line keeps its own line break; a piece cut from a
        // longer line has none and gets none.
        const std::string_view lineBreak = LineBreakOf(piece);
        const std::string_view line = piece.substr(0, piece.size() - lineBreak.size());
        if (type == REPAIR_REPLACE_URL) {
            const QByteArray name = FileNameOf(m_strRepairPath);
            const std::size_t after = found + wanted.size();
            Write(line.substr(0, found));
            Write(std::string_view(name.constData(), static_cast<std::size_t>(name.size())));
            Write(after <= line.size() ? line.substr(after) : std::string_view());
            Write("<!--");
            Write(wanted);
            Write("-->");
        } else {
            Write("<!--");
            Write(line);
            Write("-->");
        }
        Write(lineBreak);
        return kSuccess;
    }
    m_ui.MessageBox(QStringLiteral("We looked in file\n%1\nbut could not file the URL\n%2")
                        .arg(Text(m_strRepairPath), Text(url)),
                    EngineUi::Icon::None);
    return kSuccess;
}

int CLinkRepair::EndFileRepair()
{
    std::string_view piece;
    while (m_inReader->Next(piece, kReportPieceChars))
        Write(piece);
    const bool readFailed = m_inReader->Failed();
    const bool written = FlushOutput() && fsync(m_pRepairOut.Get()) == 0;
    m_inReader.reset();
    m_pRepairIn.Reset();
    m_pRepairOut.Reset();
    if (readFailed || !written)
        return kFailure;
    // A file the user may not write (or that nobody may write, whoever runs
    // this) is left as it is, like one that cannot be deleted; its backup and
    // the complete temporary file stay beside it.
    struct stat info
    {};
    if (access(m_target.constData(), W_OK) != 0 || stat(m_target.constData(), &info) != 0 ||
        (info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
        return kFailure;
    const QByteArray temporary = TemporaryPath(m_target);
    return rename(temporary.constData(), m_target.constData()) == 0 ? kSuccess : kFailure;
}

void CLinkRepair::CloseFile()
{
    if (m_pRepairOut.IsValid())
        FlushOutput();
    m_inReader.reset();
    m_pRepairIn.Reset();
    m_pRepairOut.Reset();
}

void CLinkRepair::Write(std::string_view bytes)
{
    m_outBuffer.append(bytes.data(), static_cast<qsizetype>(bytes.size()));
    if (m_outBuffer.size() >= kOutputBlock)
        FlushOutput();
}

bool CLinkRepair::FlushOutput()
{
    if (!m_outFailed && !WriteAll(m_pRepairOut.Get(), m_outBuffer.constData(),
                                  static_cast<std::size_t>(m_outBuffer.size())))
        m_outFailed = true;
    m_outBuffer.clear();
    return !m_outFailed;
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
