#pragma once

#include <QDialog>

#include "results/linkrepair.h"

class QLabel;
class QProgressBar;
class QPushButton;

// "Repairing Links": the pages of a repair done so far, of all, and a Stop
// button that stops the repair before its next page.
class CRepairProgressDlg final : public QDialog
{
public:
    CRepairProgressDlg(QWidget *parent, RepairWatch &watch);

    // Shows what the watch holds now.
    void UpdateData();

protected:
    // Escape stops the repair as Stop does; the window closes only when the
    // repair has ended.
    void reject() override;
    void closeEvent(QCloseEvent *event) override;

private:
    RepairWatch &m_watch;
    QLabel *m_pages = nullptr;
    QProgressBar *m_bar = nullptr;
    QPushButton *m_stop = nullptr;
};

// How long a repair runs before its progress window shows: a short one ends
// without it.
inline constexpr int kRepairProgressAfterMs = 1000;

// Repairs on a thread of its own and returns once the repair has ended,
// while the window's event loop goes on: after showAfterMs the progress
// window opens, modal to parent's window. The repair writes as it does on
// any thread: each page whole, after its backup, or not at all.
CRepairOutcome RepairOffThread(QWidget *parent, CLinkRepair &repair, const QByteArray &report,
                               int type, int showAfterMs = kRepairProgressAfterMs);
