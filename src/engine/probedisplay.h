#pragma once

#include <QString>

// What a probe shows while it runs: the connection and request panes of the
// status bar, and the wait cursor while a connection is being made. The
// results window shows it at once; a probe that runs ahead of the driver
// records it, so that the driver shows it when it takes that probe's outcome.
class ProbeDisplay
{
public:
    virtual ~ProbeDisplay() = default;
    // Sets the text of status-bar pane 1 (connection) or 2 (request).
    virtual void SetStatusPane(int pane, const QString &text) = 0;
    // The wait cursor while a connection is being made.
    virtual void SetWaitCursor(bool waiting) = 0;
};
