#pragma once

#include <array>

#include <QStatusBar>

class QLabel;
class QProgressBar;

// The main window's status bar: the message pane, which shows the commands'
// prompts and otherwise "For Help, press F1", then pane 1 (connection
// status), pane 2 (request status) and pane 3, over which the blinking
// activity bar of a run is placed. Panes 1 and 2 stand empty while no run
// tells them anything, and never take the room the message needs.
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
    // Shows a message that keeps its place until the next prompt: the long
    // form where it fits, else the short one, with the long form as the
    // tool tip.
    void ShowFittingMessage(const QString &longForm, const QString &shortForm);
    // Takes such a message away.
    void ClearFittingMessage();

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    // The width the message pane has, left of the panes.
    int MessageWidth() const;
    void FitMessage();
    void LimitPaneWidths();

    std::array<QLabel *, 3> m_panes{};
    QProgressBar *m_activity = nullptr;
    QString m_longForm;
    QString m_shortForm;
};
