#pragma once

#include <chrono>
#include <functional>
#include <memory>

#include <QByteArray>
#include <QString>

#include "app/mainframe.h"
#include "settings/regsettings.h"
#include "support/temphome.h"

class QAction;
class QWidget;

inline constexpr char kDesktopTestDate[] = "Monday, 7 December 2026 09:00:00 UTC";

// Runs action on the next modal window (a dialog or message box) as soon as
// it is open: how a test answers a dialog that a command runs with exec().
// The action must close the window.
void WhenModal(std::function<void(QWidget *)> action);

// Runs the event loop until the condition holds or the time is up.
bool WaitUntil(const std::function<bool()> &condition,
               std::chrono::milliseconds limit = std::chrono::seconds(10));

// Gives a command as the user does and returns once it has run: commands run
// from the event loop after their action is triggered.
void Give(QAction *command);

// The text of a message box, or of any modal window's labels.
QString ModalText(QWidget *modal);
// Presses the button with the given text in a modal window, and lets what
// the press sets off from the event loop run.
void Press(QWidget *modal, const QString &buttonText);

// A main window in a fresh system directory whose engine probes the given
// port for both protocols and dates its report lines kDesktopTestDate; jobs,
// when not 0, is the stored number of links tested at once.
struct DesktopHarness
{
    explicit DesktopHarness(const QByteArray &port = "80", int jobs = 0);
    ~DesktopHarness();

    QByteArray Html(const QByteArray &name, const QByteArray &content);
    // The settings store as it is on disk now.
    int StoredInt(const char *section, const char *name, int fallback = -12345) const;
    QByteArray StoredString(const char *section, const char *name) const;

    TempHome home;
    std::unique_ptr<CRegSettings> settings;
    std::unique_ptr<CMainFrame> frame;
};
