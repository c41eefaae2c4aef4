#pragma once

#include <optional>

#include "engine/locallinks.h"
#include "net/tlsclient.h"

// How an engine's probes treat links, shared by all of them, so that a change
// applies from the next probe on.
struct ProbeMode
{
    // Today's web: https, ports written in links, IPv6 addresses and
    // international names. Off, links are probed the classic way.
    bool bTodaysWeb = false;
    // Links to files of the site, answered from the disk; what it read is
    // forgotten when a run begins.
    CLocalLinks localLinks;

    // The trusted certificates of the https probes, loaded at the first one.
    const TlsClient::Context &Tls()
    {
        if (!tls)
            tls.emplace();
        return *tls;
    }

private:
    std::optional<TlsClient::Context> tls;
};
