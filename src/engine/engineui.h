#pragma once

#include <QByteArray>
#include <QString>

// What the engine asks of whatever shows it: the desktop program's results
// window, the terminal front end, or a test's recorder. The engine never
// touches a widget; everything the user sees or answers passes through here.
class EngineUi
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

    virtual ~EngineUi() = default;

    // Appends report bytes to the results window.
    virtual void AppendText(const QByteArray &text) = 0;
    // Sets the text of status-bar pane 1 (connection) or 2 (request).
    virtual void SetStatusPane(int pane, const QString &text) = 0;
    virtual void MessageBeep(Beep kind) = 0;
    // An OK message box; returns when the user has dismissed it.
    virtual void MessageBox(const QString &text, Icon icon) = 0;
    // A Yes/No message box without icon; true for Yes.
    virtual bool AskYesNo(const QString &text) = 0;
};
