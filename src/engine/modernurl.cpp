#include "engine/modernurl.h"

#include <algorithm>
#include <arpa/inet.h>
#include <netinet/in.h>

#include <QString>
#include <QStringDecoder>
#include <QUrl>

#include "engine/resultcategories.h"

namespace {

constexpr int kBadAddress = PROBE_ERR_BAD_ADDRESS;

struct SchemeName
{
    const char *prefix;
    LinkScheme scheme;
};
constexpr SchemeName kSchemes[] = {
    {"http://", LinkScheme::Http},
    {"https://", LinkScheme::Https},
    {"ftp://", LinkScheme::Ftp},
};

// A port is decimal digits only, from 1 to 65535; empty means the scheme's.
bool ReadPort(const QByteArray &text, LinkScheme scheme, std::uint16_t &port)
{
    if (text.isEmpty()) {
        port = DefaultPort(scheme);
        return true;
    }
    long value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + (c - '0');
        if (value > 65535)
            return false;
    }
    if (value == 0)
        return false;
    port = static_cast<std::uint16_t>(value);
    return true;
}

// Pages are mostly UTF-8, but older ones write their names in Latin-1.
QString DecodeHostName(const QByteArray &bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString name = utf8.decode(bytes);
    if (utf8.hasError())
        name = QString::fromLatin1(bytes);
    return name;
}

// The name's ASCII form, or empty when it has none (forbidden characters, a
// label too long).
QByteArray AsciiName(const QByteArray &written)
{
    const QByteArray decoded = QByteArray::fromPercentEncoding(written);
    if (decoded.contains('\0'))
        return {};
    return QUrl::toAce(DecodeHostName(decoded)).toLower();
}

// The request target for a request line: bytes that may not stand there are
// percent-encoded, as browsers send them.
QByteArray RequestTarget(const QByteArray &rest)
{
    QByteArray target = rest;
    const qsizetype hash = target.indexOf('#');
    if (hash >= 0)
        target.truncate(hash);
    if (target.isEmpty() || target.startsWith('?'))
        target.prepend('/');
    QByteArray encoded;
    encoded.reserve(target.size());
    for (const char c : target) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= 0x20 || byte >= 0x7f) {
            encoded.append('%');
            encoded.append(QByteArray::number(byte, 16).toUpper().rightJustified(2, '0'));
        } else {
            encoded.append(c);
        }
    }
    return encoded;
}

} // namespace

std::uint16_t DefaultPort(LinkScheme scheme)
{
    switch (scheme) {
    case LinkScheme::Https:
        return 443;
    case LinkScheme::Ftp:
        return 21;
    case LinkScheme::Http:
        break;
    }
    return 80;
}

int SplitModernUrl(const QByteArray &link, ModernUrl &url)
{
    ModernUrl split;
    qsizetype start = -1;
    for (const SchemeName &name : kSchemes) {
        if (link.left(qstrlen(name.prefix)).compare(name.prefix, Qt::CaseInsensitive) == 0) {
            split.scheme = name.scheme;
            start = qstrlen(name.prefix);
            break;
        }
    }
    if (start < 0)
        return kBadAddress;

    qsizetype end = start;
    while (end < link.size() && link[end] != '/' && link[end] != '?' && link[end] != '#')
        ++end;
    QByteArray authority = link.mid(start, end - start);
    // The user-info ends at the last "@"; it is never sent.
    authority = authority.mid(authority.lastIndexOf('@') + 1);

    QByteArray portText;
    if (authority.startsWith('[')) {
        const qsizetype close = authority.indexOf(']');
        if (close < 0)
            return kBadAddress;
        const QByteArray rest = authority.mid(close + 1);
        if (!rest.isEmpty() && !rest.startsWith(':'))
            return kBadAddress;
        portText = rest.mid(1);
        split.host = authority.left(close + 1);
        split.asciiHost = authority.mid(1, close - 1).toLower();
        // The address is read as C text and goes into the Host header as it
        // stands: a zero byte would hide what follows it from the check.
        const bool unprintable =
            std::any_of(split.asciiHost.cbegin(), split.asciiHost.cend(), [](char c) {
                const auto byte = static_cast<unsigned char>(c);
                return byte <= 0x20 || byte == 0x7f;
            });
        if (unprintable)
            return kBadAddress;
        in6_addr address{};
        if (inet_pton(AF_INET6, split.asciiHost.constData(), &address) != 1)
            return kBadAddress;
        split.bIpv6 = true;
    } else {
        const qsizetype colon = authority.indexOf(':');
        split.host = colon < 0 ? authority : authority.left(colon);
        portText = colon < 0 ? QByteArray() : authority.mid(colon + 1);
        if (split.host.isEmpty())
            return kBadAddress;
        split.asciiHost = AsciiName(split.host);
        if (split.asciiHost.isEmpty())
            return kBadAddress;
    }
    if (!ReadPort(portText, split.scheme, split.port))
        return kBadAddress;
    split.bOwnPort = split.port != DefaultPort(split.scheme);

    split.path = RequestTarget(link.mid(end));
    split.hostHeader = split.bIpv6 ? '[' + split.asciiHost + ']' : split.asciiHost;
    if (split.bOwnPort)
        split.hostHeader += ':' + QByteArray::number(split.port);
    url = split;
    return 0;
}

QByteArray ClassicRequest(const QByteArray &path, const QByteArray &host)
{
    qsizetype blanks = 0;
    while (blanks < host.size() && host[blanks] == ' ')
        ++blanks;
    return "GET " + path + " HTTP/1.0\r\nHost: " + host.mid(blanks) + "\r\n\r\n";
}
