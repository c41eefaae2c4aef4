#pragma once

#include <sys/socket.h>

#include <QByteArray>

// Outcome codes of a connect attempt; every value of 10000 or more is a
// failure, so these line up with the probe's failure codes.
inline constexpr int kConnectOk = 0;
inline constexpr int kConnectBadAddress = 10001;
inline constexpr int kConnectHostNotFound = 10002;
inline constexpr int kConnectNoSocket = 10003;
inline constexpr int kConnectFailed = 10004;
inline constexpr int kConnectTimedOut = 10005;

// The address a connect is aimed at.
struct ConnectTarget
{
    sockaddr_storage address{};
    socklen_t length = 0;
};

// The port text read the way atoi reads it: leading white space, an optional
// sign, then the leading digits; no digits gives 0. Saturates instead of
// overflowing.
long PortFromText(const QByteArray &text);

// Turns host and port text into a target. Leading spaces of the host are
// skipped. A host starting with a decimal digit is a dotted IPv4 address and
// is never looked up by name; any other host is resolved, preferring its first
// IPv4 address. Returns kConnectOk or kConnectBadAddress (empty host, port
// outside 1 to 65535), kConnectHostNotFound (no address) or kConnectFailed
// (an address nothing can be connected to).
int ResolveConnectTarget(const QByteArray &host, const QByteArray &port, ConnectTarget &target);
