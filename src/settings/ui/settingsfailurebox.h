#pragma once

#include <QObject>
#include <QStringList>

#include "settings/settingswriter.h"

class CRegSettings;
class QWidget;

// Tells the user of the desktop program which settings could not be stored,
// and why. The box opens from the event loop, never inside the move, resize
// or command that wrote the setting; failures that come together, such as
// the four values of the window's place, share one box.
class CSettingsFailureBox final : public QObject, public SettingsWriteListener
{
public:
    // Listens to settings for as long as it lives; the boxes belong to window.
    CSettingsFailureBox(CRegSettings &settings, QWidget *window);
    ~CSettingsFailureBox() override;

    void SettingNotStored(const SettingsWriteFailure &failure) override;

private:
    void ShowWaitingLines();

    CRegSettings &m_settings;
    QWidget *m_window;
    QStringList m_lines;
    bool m_bQueued = false;
    bool m_bShowing = false;
};
