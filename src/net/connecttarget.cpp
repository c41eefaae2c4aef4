#include "net/connecttarget.h"

#include <algorithm>
#include <arpa/inet.h>
#include <climits>
#include <netinet/in.h>

namespace {

bool IsAsciiDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool IsAsciiSpace(char c)
{
    return c == ' ' || (c >= '\t' && c <= '\r');
}

// The unspecified address reaches the local machine on Linux; as a link
// target it is a name that maps nowhere (hosts files use it to block names),
// so it counts as an address that cannot be connected to.
bool IsUnspecified(const sockaddr_storage &address)
{
    if (address.ss_family == AF_INET)
        return reinterpret_cast<const sockaddr_in &>(address).sin_addr.s_addr == htonl(INADDR_ANY);
    if (address.ss_family == AF_INET6)
        return IN6_IS_ADDR_UNSPECIFIED(&reinterpret_cast<const sockaddr_in6 &>(address).sin6_addr);
    return false;
}

} // namespace

long PortFromText(const QByteArray &text)
{
    qsizetype i = 0;
    while (i < text.size() && IsAsciiSpace(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    long value = 0;
    for (; i < text.size() && IsAsciiDigit(text[i]); ++i) {
        if (value < LONG_MAX / 10)
            value = value * 10 + (text[i] - '0');
        else
            value = LONG_MAX;
    }
    return negative ? -value : value;
}

int CheckConnectArguments(const QByteArray &host, const QByteArray &portText, QByteArray &name,
                          std::uint16_t &port)
{
    const long portNumber = PortFromText(portText);
    qsizetype start = 0;
    while (start < host.size() && host[start] == ' ')
        ++start;
    name = host.mid(start);
    port = 0;
    // Port 0 is no port; beyond 65535 the number would wrap onto another port.
    if (name.isEmpty() || portNumber <= 0 || portNumber > 65535)
        return kConnectBadAddress;
    // The name is handed on as C text: one holding a zero byte would be cut
    // short and reach a different host than the one named.
    if (name.contains('\0'))
        return kConnectHostNotFound;
    port = static_cast<std::uint16_t>(portNumber);
    return kConnectOk;
}

bool IsNumericHost(const QByteArray &name)
{
    return !name.isEmpty() && IsAsciiDigit(name[0]);
}

bool ReadIpv4Number(const QByteArray &text, in_addr &address)
{
    QByteArray number = text;
    if (number.endsWith('.') && !number.endsWith(".."))
        number.chop(1);
    // inet_aton stops at a blank and ignores what follows; a host is all number.
    if (number.isEmpty() || !std::all_of(number.cbegin(), number.cend(), [](char c) {
            return IsAsciiDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F') ||
                   c == 'x' || c == 'X' || c == '.';
        }))
        return false;
    return inet_aton(number.constData(), &address) != 0;
}

ConnectTarget NumericTarget(const QByteArray &name)
{
    ConnectTarget target;
    auto &ipv4 = reinterpret_cast<sockaddr_in &>(target.address);
    ipv4.sin_family = AF_INET;
    if (!ReadIpv4Number(name, ipv4.sin_addr))
        ipv4.sin_addr.s_addr = inet_addr(name.constData());
    target.length = sizeof(sockaddr_in);
    return target;
}

bool LiteralTarget(const QByteArray &name, ConnectTarget &target)
{
    ConnectTarget literal;
    auto &ipv4 = reinterpret_cast<sockaddr_in &>(literal.address);
    auto &ipv6 = reinterpret_cast<sockaddr_in6 &>(literal.address);
    if (ReadIpv4Number(name, ipv4.sin_addr)) {
        ipv4.sin_family = AF_INET;
        literal.length = sizeof(sockaddr_in);
    } else if (inet_pton(AF_INET6, name.constData(), &ipv6.sin6_addr) == 1) {
        ipv6.sin6_family = AF_INET6;
        literal.length = sizeof(sockaddr_in6);
    } else {
        return false;
    }
    target = literal;
    return true;
}

int AimTarget(ConnectTarget &target, std::uint16_t port)
{
    const auto networkPort = htons(port);
    if (target.address.ss_family == AF_INET6)
        reinterpret_cast<sockaddr_in6 &>(target.address).sin6_port = networkPort;
    else
        reinterpret_cast<sockaddr_in &>(target.address).sin_port = networkPort;
    return IsUnspecified(target.address) ? kConnectFailed : kConnectOk;
}
