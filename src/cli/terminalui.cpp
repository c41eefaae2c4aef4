#include "terminalui.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include "cli/terminaltext.h"
#include "engine/progressmodel.h"

namespace {

constexpr int kDrawIntervalMs = 40;

int TerminalWidth(std::FILE *stream)
{
    winsize size{};
    if (ioctl(fileno(stream), TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
        return size.ws_col;
    return 80;
}

// Bytes from a web page are shown on the terminal only as printable text, so
// that no control sequence hidden in a link can drive the terminal.
QString Printable(const QByteArray &bytes)
{
    return QString::fromLocal8Bit(ShowControlBytes(bytes, false));
}

} // namespace

TerminalUi::TerminalUi(std::FILE *out, std::FILE *err, bool interactive)
    : m_out(out), m_err(err), m_interactive(interactive), m_outTerminal(IsTerminal(out)),
      m_errTerminal(IsTerminal(err))
{
    // A change held back by the rate limit is drawn when the limit allows, so
    // that the line never stays behind while a host is silent.
    m_pendingDraw.setSingleShot(true);
    m_pendingDraw.setInterval(kDrawIntervalMs);
    QObject::connect(&m_pendingDraw, &QTimer::timeout, &m_pendingDraw,
                     [this] { DrawProgress(true); });
}

void TerminalUi::AppendText(const QByteArray &text)
{
    if (reportOnOutput)
        WriteOutput(text);
}

void TerminalUi::WriteOutput(const QByteArray &text)
{
    ClearProgress();
    const QByteArray shown = m_outTerminal ? ShowControlBytes(text, true) : text;
    if (std::fwrite(shown.constData(), 1, shown.size(), m_out) != std::size_t(shown.size()))
        m_bOutputFailed = true;
    if (m_outTerminal) {
        FlushOutput();
    } else if (!m_bFlushPending) {
        // Into a file or a pipe the lines of one pass of the event loop go
        // out together: a fast run writes in blocks, not line by line.
        m_bFlushPending = true;
        QTimer::singleShot(0, &m_pendingDraw, [this] { FlushOutput(); });
    }
    DrawProgress(true);
}

void TerminalUi::FlushOutput()
{
    m_bFlushPending = false;
    if (std::fflush(m_out) != 0)
        m_bOutputFailed = true;
}

void TerminalUi::ShowStatus(const StatusEvent &event)
{
    const StatusTexts texts = TextsOf(event);
    if (texts.panes.empty())
        return;
    for (const auto &[pane, text] : texts.panes)
        m_panes[pane] = text;
    DrawProgress();
}

void TerminalUi::MessageBeep(Beep)
{
    if (beep && m_errTerminal) {
        std::fputc('\a', m_err);
        std::fflush(m_err);
    }
}

void TerminalUi::MessageBox(const QString &text, Icon)
{
    ClearProgress();
    WriteMessage(text.toLocal8Bit(), "\n");
    DrawProgress();
}

bool TerminalUi::AskYesNo(const QString &text)
{
    if (!m_interactive || !isatty(STDIN_FILENO))
        return false;
    ClearProgress();
    WriteMessage(text.toLocal8Bit(), " [y/N] ");
    char answer[64] = {};
    const bool yes = std::fgets(answer, sizeof answer, stdin) != nullptr &&
                     (answer[0] == 'y' || answer[0] == 'Y');
    DrawProgress();
    return yes;
}

void TerminalUi::ShowProgress(const ProgressModel *progress)
{
    m_progressOpen = progress != nullptr;
    if (progress == nullptr) {
        ClearProgress();
        return;
    }
    m_fileIndex = progress->m_strFileIndex;
    m_fileCount = progress->m_strFileCount;
    m_urlIndex = progress->m_strUrlIndex;
    m_urlCount = progress->m_strUrlCount;
    m_url = progress->m_strUrl;
    DrawProgress();
}

void TerminalUi::StateChanged()
{
    if (onStateChanged)
        onStateChanged();
}

void TerminalUi::ScanFailed(const QByteArray &path, const QString &why)
{
    ++m_nScanFailures;
    ClearProgress();
    WriteMessage("vantrel-check: could not scan " + path + " for links: " + why.toLocal8Bit(),
                 "\n");
    DrawProgress();
}

void TerminalUi::HttpsNotTested(int count)
{
    ClearProgress();
    WriteMessage(QByteArray::number(count) +
                     (count == 1 ? " https link was not tested" : " https links were not tested") +
                     "; --modern tests them",
                 "\n");
}

void TerminalUi::LinksExcluded(int count)
{
    ClearProgress();
    WriteMessage(QByteArray::number(count) +
                     (count == 1 ? " link was not tested: it matches an exclusion pattern"
                                 : " links were not tested: they match an exclusion pattern"),
                 "\n");
}

void TerminalUi::SettingNotStored(const SettingsWriteFailure &failure)
{
    ++m_nSettingFailures;
    ClearProgress();
    WriteMessage("vantrel-check: " + SettingsWriteFailureText(failure).toLocal8Bit(), "\n");
    DrawProgress();
}

void TerminalUi::WriteMessage(const QByteArray &text, const char *end)
{
    const QByteArray shown = (m_errTerminal ? ShowControlBytes(text, true) : text) + end;
    std::fwrite(shown.constData(), 1, shown.size(), m_err);
    std::fflush(m_err);
}

void TerminalUi::DrawProgress(bool force)
{
    if (!m_interactive || !m_progressOpen || m_fileIndex.isEmpty())
        return;
    const auto now = std::chrono::steady_clock::now();
    if (!force && m_progressVisible &&
        now - m_lastDraw < std::chrono::milliseconds(kDrawIntervalMs)) {
        if (!m_pendingDraw.isActive())
            m_pendingDraw.start();
        return;
    }
    m_lastDraw = now;
    QString line =
        QStringLiteral("File %1 of %2").arg(Printable(m_fileIndex), Printable(m_fileCount));
    if (!m_urlIndex.isEmpty())
        line += QStringLiteral(", link %1 of %2: %3")
                    .arg(Printable(m_urlIndex), Printable(m_urlCount), Printable(m_url));
    for (const QString &pane : {m_panes[1], m_panes[2]}) {
        if (!pane.trimmed().isEmpty())
            line += QStringLiteral(" | ") + pane.trimmed();
    }
    const int width = TerminalWidth(m_err) - 1;
    if (line.size() > width)
        line = line.left(std::max(0, width - 3)) + QStringLiteral("...");
    std::fprintf(m_err, "\r%s\033[K", line.toLocal8Bit().constData());
    std::fflush(m_err);
    m_progressVisible = true;
}

void TerminalUi::ClearProgress()
{
    m_pendingDraw.stop();
    if (!m_progressVisible)
        return;
    std::fputs("\r\033[K", m_err);
    std::fflush(m_err);
    m_progressVisible = false;
}
