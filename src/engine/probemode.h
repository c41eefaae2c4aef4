#pragma once

#include <memory>

#include <QByteArray>

#include "engine/locallinks.h"
#include "net/curlmulti.h"

// What today's web probes of an engine share: one multi handle, so that links
// to one host reuse its connections and TLS sessions, and the trusted
// certificates.
struct WebProbeShared
{
    // Trusts the system's certificates; SSL_CERT_FILE and SSL_CERT_DIR
    // replace the system's file and directory, as for other OpenSSL tools.
    // They are read here, once.
    WebProbeShared();

    CurlMulti multi;
    QByteArray caFile;
    QByteArray caDirectory;
};

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
    // The proxy of today's web probes, as a URL; empty: the environment's
    // (http_proxy, https_proxy, no_proxy).
    QByteArray proxy;
    // A remote link's fragment is checked against the ids and a names of
    // its page, which is then read whole (up to 8 MiB).
    bool bRemoteFragments = false;

    // Made at the first probe of today's web.
    WebProbeShared &Web()
    {
        if (!web)
            web = std::make_unique<WebProbeShared>();
        return *web;
    }

private:
    std::unique_ptr<WebProbeShared> web;
};
