#pragma once

#include <cstdint>

#include <QByteArray>

#include "vantrelversion.h"

// What today's web mode sends to name itself to servers.
inline constexpr char kUserAgent[] =
    "Vantrel/" VANTREL_VERSION " (+https://vantrel.kestrine.example/)";

enum class LinkScheme
{
    Http,
    Https,
    Ftp
};

// A link as today's web mode probes it. The link itself, as the page writes
// it, stays the caller's: the report shows that text, and the ASCII forms here
// serve only the lookup, the server name indication and the Host header.
struct ModernUrl
{
    LinkScheme scheme = LinkScheme::Http;
    // As written, between the user-info and the port; an IPv6 address keeps
    // its brackets.
    QByteArray host;
    // For the lookup and the server name indication: the A-label of a name in
    // lower case, a dotted IPv4 address, or an IPv6 address without brackets.
    QByteArray asciiHost;
    bool bIpv6 = false;
    // The port written in the link, else the scheme's.
    std::uint16_t port = 80;
    // The link names a port other than its scheme's.
    bool bOwnPort = false;
    // The request target: from the end of the authority without the fragment,
    // the query kept, "/" when empty; bytes that may not stand in a request
    // line (controls, blanks, non-ASCII) percent-encoded.
    QByteArray path;
    // The ASCII host (an IPv6 address in brackets), with ":port" only when
    // the link names a port other than its scheme's.
    QByteArray hostHeader;
};

// Splits a link whose scheme is http, https or ftp in any case. Returns 0 with
// url filled, or 10001 (bad address) for another scheme, an empty or
// malformed host, a name that has no ASCII form, or a port that is not a
// number from 1 to 65535. User-info in the authority is dropped: it is never
// sent.
int SplitModernUrl(const QByteArray &link, ModernUrl &url);

std::uint16_t DefaultPort(LinkScheme scheme);

// The request of the classic mode, the default: the request line and the Host header
// holding exactly the host it looks up (leading blanks skipped, as the
// connect skips them; never a port).
QByteArray ClassicRequest(const QByteArray &path, const QByteArray &host);
