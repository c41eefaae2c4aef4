#pragma once

#include <QByteArray>
#include <QString>

#include "engine/probedisplay.h"

struct ProgressModel;

// What the engine asks of whatever shows it: the desktop program's results
// window, the terminal front end, or a test's recorder. The engine never
// touches a widget; everything the user sees or answers passes through here.
// The engine tells what happened (a status event, a page it could not scan);
// the front end chooses the words.
class EngineUi : public ProbeDisplay
{
public:
    enum class Beep
    {
        Default,
        Exclamation
    };
    enum class Icon
    {
        None,
        Information
    };

    ~EngineUi() override = default;

    // Appends report bytes to the results window.
    virtual void AppendText(const QByteArray &text) = 0;
    // Empties the results window.
    virtual void ClearText() = 0;
    virtual void MessageBeep(Beep kind) = 0;
    // An OK message box; returns when the user has dismissed it.
    virtual void MessageBox(const QString &text, Icon icon) = 0;
    // A Yes/No message box without icon; true for Yes.
    virtual bool AskYesNo(const QString &text) = 0;

    // The progress window: shown or updated with the model, or closed (null).
    virtual void ShowProgress(const ProgressModel *progress) = 0;
    // The blinking activity bar in the status bar: position 0 (empty) or 1
    // (full). The first call creates it; it stays for the life of the window.
    virtual void ShowActivity(int position) = 0;
    // The run, run-ended or has-text flags changed: commands may change state.
    virtual void StateChanged() = 0;
    // A file of the run could not be scanned for links, for the reason given
    // in words for the user. Such a file is not one without links, so the user
    // must learn of it; the run goes on with the next file. Called from inside
    // a step of the engine: a window that shows a message box must show it
    // after the step has returned. Without an override it becomes a message.
    virtual void ScanFailed(const QByteArray &path, const QString &why)
    {
        MessageBox(QStringLiteral("These files could not be scanned for links:\n%1: %2")
                       .arg(QString::fromLocal8Bit(path), why),
                   Icon::None);
    }
    // The run, in the classic mode, passed over count anchors whose link
    // today's web mode would have tested over https. Called after the run's
    // last line; without an override nothing is shown.
    virtual void HttpsNotTested(int count) { (void)count; }
    // The run left count links untested because they match an exclusion
    // pattern. Called after the run's last line; without an override nothing
    // is shown.
    virtual void LinksExcluded(int count) { (void)count; }
};
