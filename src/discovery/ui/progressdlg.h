#pragma once

#include <functional>

#include <QDialog>

class QLabel;
class QProgressBar;
struct ProgressBarModel;
struct ProgressModel;

// "Testing Progress": the modeless window that shows, while a run lasts, the
// file and the link being tested, each with its number, the total and a bar,
// and a Stop button that stops the run. It has no close button: the run
// opens and closes it.
class CProgressDlg final : public QDialog
{
public:
    explicit CProgressDlg(QWidget *parent);

    // Shows the window beside its parent's window, where it leaves the
    // report in view.
    void Create();
    // Shows what the model holds.
    void UpdateData(const ProgressModel &progress);

    QProgressBar *m_ctlUrlProgress = nullptr;
    QProgressBar *m_ctlFileProgress = nullptr;
    QLabel *m_strFileName = nullptr;
    QLabel *m_strUrl = nullptr;
    QLabel *m_strAnchor = nullptr;
    QLabel *m_strFileCount = nullptr;
    QLabel *m_strUrlCount = nullptr;
    QLabel *m_strFileIndex = nullptr;
    QLabel *m_strUrlIndex = nullptr;
    // Stop asks for the run to stop. Stopping closes this window, so the
    // stop is to be made after the press has returned.
    std::function<void()> m_onStop;

protected:
    // Escape and the window manager's close do nothing: only the run ends it.
    void reject() override {}
    void closeEvent(QCloseEvent *event) override;
};
