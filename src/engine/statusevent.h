#pragma once

#include <optional>
#include <utility>
#include <vector>

#include <QByteArray>
#include <QString>

// What the status bar is told: how a probe goes on, or that the run has
// closed or its panes are to show their names again. The probe and the
// driver report these; each front end puts them into words (StatusTexts).
struct StatusEvent
{
    enum class Kind
    {
        // A connection to host is being made: the wait lasts until
        // ConnectWaitOver.
        Connecting,
        ConnectWaitOver,
        Connected,
        // The GET request went out (http), or nothing is sent and the host
        // speaks first (ftp, or the TLS handshake of https).
        RequestSent,
        NothingSent,
        // The first piece of the reply arrived.
        ReplyArriving,
        // The probe closed its connection, or the host closed it first.
        ConnectionClosed,
        ClosedByHost,
        // The run went through to its end.
        SearchComplete,
        // The run is over, however it ended: the panes show their names.
        PanesReset
    };

    Kind kind;
    // The host of Connecting and Connected, as the link names it.
    QByteArray host;

    friend bool operator==(const StatusEvent &, const StatusEvent &) = default;
};

// What a front end shows for an event: the wait cursor on or off, if it
// changes, then the texts of status-bar panes 1 (connection) and 2 (request),
// in that order.
struct StatusTexts
{
    std::optional<bool> waitCursor;
    std::vector<std::pair<int, QString>> panes;
};

StatusTexts TextsOf(const StatusEvent &event);
