#pragma once

#include <array>
#include <functional>
#include <memory>
#include <optional>

#include <QPlainTextEdit>
#include <QPointer>
#include <QTimer>

#include "controls/colorref.h"
#include "discovery/ui/progressdlg.h"
#include "engine/engineui.h"
#include "engine/progressmodel.h"
#include "engine/testengine.h"
#include "engine/ui/filelisting.h"

class CFrameStatusBar;
class QMessageBox;

class CRegSettings;
class QtTimerService;

// The results window. It owns the test engine and shows it: the engine's
// report grows here (a decoded copy of the bytes the engine keeps), its
// status texts go to the main window's status bar, its progress to the
// "Testing Progress" window, its questions to message boxes. It also carries
// the commands that act on the engine: starting, stopping, re-testing,
// exporting and repairing, and the window's own font, colour and clearing.
class CVantrelView final : public QPlainTextEdit, public EngineUi
{
    Q_OBJECT

public:
    // Reads the report filter, the time-out and the background colour from
    // the settings, and the font. The options are the engine's (tests point
    // its ports at loopback servers).
    CVantrelView(CRegSettings &settings, CFrameStatusBar &statusBar, EngineOptions options = {},
                 QWidget *parent = nullptr);
    ~CVantrelView() override;

    CTestEngine &Engine() { return *m_engine; }
    const CTestEngine &Engine() const { return *m_engine; }
    // How many times the window has been emptied: the report only grows in
    // between, so this and its size tell whether it changed.
    int TimesCleared() const { return m_nClears; }
    // Ends a run in flight and removes the work files, while the status bar
    // and the rest of the main window still stand. Nothing is shown after.
    void CloseEngine();
    CProgressDlg *ProgressDialog() const { return m_pProgressDlg; }
    // The files of a directory run are being listed: the run starts once
    // they are, and Stop ends the listing without a run.
    bool IsListing() const { return m_listing.IsListing(); }
    bool IsRepairing() const { return m_bRepairing; }
    // Listing or repairing: the commands that start a run, re-test, repair or
    // replace the report wait.
    bool Busy() const { return IsListing() || IsRepairing(); }
    // Called on the repair's thread after each change it makes on disk, so
    // that tests can hold a repair there.
    void SetRepairStepHook(std::function<void()> hook) { m_repairStepHook = std::move(hook); }

    void OnSelectFiles();
    void OnStopTest();
    void OnRetestFailedLinks();
    void OnExportResults();
    void OnRepairFailedLinks();
    void OnChooseFont();
    void OnClearWindow();
    void OnSettings();
    // Probes the given links again, under their pages, as a run of their own
    // after the report so far.
    void RetestLinks(const QList<ScannedFile> &pages);
    // Asks for the repair type (with its preview) and repairs the links the
    // report lists; the report may be a part of the window's.
    void RepairLinks(const QByteArray &report);

    // Height in tenths of a point, weight 400 (normal) or 700 (bold).
    void ApplyFont(int height, int weight, const QByteArray &face);
    void SetBackColor(ColorRef color);
    ColorRef BackColor() const { return m_crBackColor; }

    // Shown by the engine.
    void AppendText(const QByteArray &text) override;
    void ClearText() override;
    // Puts the engine's status events into the status bar's words.
    void ShowStatus(const StatusEvent &event) override;
    void MessageBeep(Beep kind) override;
    void MessageBox(const QString &text, Icon icon) override;
    bool AskYesNo(const QString &text) override;
    void ShowProgress(const ProgressModel *progress) override;
    void ShowActivity(int position) override;
    void StateChanged() override;
    // Collects the file and shows every such file in one message box once
    // the engine's step has returned.
    void ScanFailed(const QByteArray &path, const QString &why) override;
    // Says in the status bar's message pane how many https links the run left out.
    void HttpsNotTested(int count) override;
    void LinksExcluded(int count) override;

Q_SIGNALS:
    // A run started or ended, or the window gained or lost its text.
    void commandStateChanged();
    // The window was emptied (Clear Window, New, a re-test, an opened report).
    void textCleared();
    void beeped(EngineUi::Beep kind);

private:
    // Shows the report text that arrived since the last time.
    void ShowPendingText();
    // Shows the latest status texts and progress, held back since the last time.
    void ShowPendingStatus();
    std::optional<int> ChooseRepairType(const QByteArray &report);
    // Repairs on a thread of its own while the window answers, then tells
    // how it went; true when every reported link was repaired.
    bool RunRepair(const QByteArray &report, int type);
    // Says in the status bar how many files the listing has found.
    void ShowListingProgress();
    void ShowUntestedLinks();
    void OnListed(const QByteArray &path, const QList<QByteArray> &files);
    // Refuses the path chosen in Select File(s), saying why; empty when a run
    // can be made of it.
    QString ChosenPathProblem(const QByteArray &path, bool allFiles) const;
    void SetWaitCursor(bool waiting);

    CRegSettings &m_settings;
    CFrameStatusBar &m_statusBar;
    ColorRef m_crBackColor = 0;
    QPointer<CProgressDlg> m_pProgressDlg;
    bool m_bWaitCursor = false;
    // Report text not yet shown: a fast run's lines are laid out in batches,
    // not one by one.
    QString m_pendingText;
    QTimer m_showText;
    // Status texts and progress of a fast run, shown a few times a second
    // rather than for every link.
    std::array<std::optional<QString>, 3> m_pendingPanes;
    std::optional<ProgressModel> m_pendingProgress;
    int m_nClears = 0;
    // "path: why" of the files not scanned since the last box about them was
    // dismissed; whether such a box is on its way; the box while it is open.
    QStringList m_scanFailures;
    bool m_bScanFailuresPosted = false;
    QPointer<QMessageBox> m_pScanFailuresBox;
    CFileListing m_listing;
    QTimer m_listingProgress;
    bool m_bRepairing = false;
    std::function<void()> m_repairStepHook;
    std::unique_ptr<QtTimerService> m_timers;
    // Last, so that it goes first: its end-of-run clean-up still shows
    // itself through this window.
    std::unique_ptr<CTestEngine> m_engine;
};
