#pragma once

#include <array>

#include <QStatusBar>

class QLabel;
class QProgressBar;

// The main window's status bar: the message pane, which shows the commands'
// prompts and otherwise "For Help, press F1", then pane 1 (connection
// status), pane 2 (request status) and pane 3, over which the blinking
// activity bar of a run is placed.
class CFrameStatusBar final : public QStatusBar
{
public:
    explicit CFrameStatusBar(QWidget *parent = nullptr);

    // Sets the text of pane 1 or 2.
    void SetPaneText(int pane, const QString &text);
    QString PaneText(int pane) const;
    // Shows the activity bar empty (0) or full (1).
    void ShowActivity(int position);
    const QProgressBar *ActivityBar() const { return m_activity; }

private:
    std::array<QLabel *, 3> m_panes{};
    QProgressBar *m_activity = nullptr;
};
