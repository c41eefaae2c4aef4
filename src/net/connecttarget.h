#pragma once

#include <cstdint>
#include <netinet/in.h>
#include <sys/socket.h>

#include <QByteArray>

// Outcome codes of a connect attempt; every value of 10000 or more is a
// failure, so these line up with the probe's failure codes.
inline constexpr int kConnectOk = 0;
inline constexpr int kConnectBadAddress = 10001;
inline constexpr int kConnectHostNotFound = 10002;
inline constexpr int kConnectNoSocket = 10003;
inline constexpr int kConnectFailed = 10004;

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

// Checks the host and port text of a connect before anything is looked up.
// Leading spaces of the host are skipped; name receives the rest and port the
// port number. Returns kConnectOk, kConnectBadAddress (empty host, port
// outside 1 to 65535) or kConnectHostNotFound (a name holding a zero byte).
int CheckConnectArguments(const QByteArray &host, const QByteArray &portText, QByteArray &name,
                          std::uint16_t &port);

// A host starting with a decimal digit is a dotted IPv4 address and is never
// looked up by name.
bool IsNumericHost(const QByteArray &name);

// An IPv4 address written as a number, read as inet_aton reads one: one to
// four dot-separated parts, each decimal, octal (a leading 0) or hexadecimal
// (0x), the last filling the bytes left (127.1, 0x7f.0.0.1, 2130706433,
// 0177.0.0.1). The root's trailing dot may follow, as on a name. Nothing else
// may stand in the text.
bool ReadIpv4Number(const QByteArray &text, in_addr &address);

// The target of a host that starts with a digit, in the classic way: the
// address it writes as a number; failing that, inet_addr's reading, left
// unchecked: a malformed address becomes INADDR_NONE (the broadcast
// address), which the connect then refuses.
ConnectTarget NumericTarget(const QByteArray &name);

// The target of a host written as an IPv4 address (read as ReadIpv4Number
// reads it) or an IPv6 address (without brackets); false for anything else,
// which is then a name to look up.
bool LiteralTarget(const QByteArray &name, ConnectTarget &target);

// Puts the port into a target and checks that it can be connected to:
// kConnectOk, or kConnectFailed for the unspecified address.
int AimTarget(ConnectTarget &target, std::uint16_t port);
