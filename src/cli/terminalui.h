#pragma once

#include <chrono>
#include <cstdio>
#include <functional>

#include <QByteArray>
#include <QString>
#include <QTimer>

#include "engine/engineui.h"
#include "settings/settingswriter.h"

// The engine shown on a terminal: the report (or, in its place, a
// machine-readable format of the results) goes to standard output as it
// grows; messages and, while standard error is a terminal, a one-line progress
// display go to standard error. On a terminal the control bytes of pages and
// file names are shown visibly; into a file or a pipe the report goes byte for
// byte. A setting that could not be stored is named on standard error.
class TerminalUi final : public EngineUi, public SettingsWriteListener
{
public:
    TerminalUi(std::FILE *out, std::FILE *err, bool interactive);

    void AppendText(const QByteArray &text) override;
    void ClearText() override {}
    // The connection and request panes' words join the progress line.
    void ShowStatus(const StatusEvent &event) override;
    void MessageBeep(Beep kind) override;
    void MessageBox(const QString &text, Icon icon) override;
    bool AskYesNo(const QString &text) override;
    void ShowProgress(const ProgressModel *progress) override;
    void ShowActivity(int) override {}
    void StateChanged() override;
    // Names the file on standard error; the run's exit status becomes 2.
    void ScanFailed(const QByteArray &path, const QString &why) override;
    void HttpsNotTested(int count) override;
    void LinksExcluded(int count) override;
    void SettingNotStored(const SettingsWriteFailure &failure) override;

    // Files of the run that could not be scanned.
    int ScanFailures() const { return m_nScanFailures; }
    // Settings the run wrote that did not reach the settings file.
    int SettingFailures() const { return m_nSettingFailures; }
    // Writes to standard output: what a page brings is shown visibly on a
    // terminal, and the writes of one pass of the event loop go out together.
    void WriteOutput(const QByteArray &bytes);
    // Writes out what the output has buffered; done after every pass of the
    // event loop.
    void FlushOutput();
    // A write of the report to standard output failed (flush first).
    bool OutputFailed() const { return m_bOutputFailed; }

    // The report goes to standard output; false when a format takes its place.
    bool reportOnOutput = true;
    // Called whenever the run, run-ended or has-text flags may have changed.
    std::function<void()> onStateChanged;
    // Sound the bell where the desktop program beeps (the end of a run, a
    // reply code outside the table), on standard error while it is a
    // terminal; else stay silent.
    bool beep = false;

private:
    // Redraws the progress line, at most every few hundredths of a second
    // unless forced, so that fast runs do not flood the terminal.
    void DrawProgress(bool force = false);
    void ClearProgress();
    // Writes a message line to standard error, control bytes shown visibly
    // when it is a terminal.
    void WriteMessage(const QByteArray &text, const char *end);

    std::FILE *m_out;
    std::FILE *m_err;
    bool m_interactive;
    // Standard output and standard error are terminals: what a page or a file
    // name brings is shown there with its control bytes made visible.
    bool m_outTerminal;
    bool m_errTerminal;
    int m_nScanFailures = 0;
    int m_nSettingFailures = 0;
    bool m_bOutputFailed = false;
    bool m_bFlushPending = false;
    bool m_progressVisible = false;
    bool m_progressOpen = false;
    QString m_panes[3];
    QByteArray m_fileIndex, m_fileCount, m_urlIndex, m_urlCount, m_url;
    std::chrono::steady_clock::time_point m_lastDraw;
    // Draws a change that came too soon after the last drawing a little later.
    QTimer m_pendingDraw;
};
