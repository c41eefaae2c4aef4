#pragma once

#include "engine/engineui.h"

class QWidget;

// The engine's questions, messages and beeps as the desktop shows them.
class DesktopEngineUi final : public EngineUi
{
public:
    explicit DesktopEngineUi(QWidget *window) : m_window(window) {}

    void AppendText(const QByteArray &text) override;
    void SetStatusPane(int pane, const QString &text) override;
    void MessageBeep(Beep kind) override;
    void MessageBox(const QString &text, Icon icon) override;
    bool AskYesNo(const QString &text) override;
    void ClearText() override;
    void ShowProgress(const ProgressModel *progress) override;
    void ShowActivity(int position) override;
    void SetWaitCursor(bool waiting) override;
    void StateChanged() override;

private:
    QWidget *m_window;
};
