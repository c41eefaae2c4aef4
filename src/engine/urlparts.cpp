#include "urlparts.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

int PrefixLength(int protocol)
{
    return protocol == PROTOCOL_FTP ? 6 : 7;
}

} // namespace

QByteArray GetHostName(const QByteArray &link, int protocol)
{
    const int prefix = PrefixLength(protocol);
    if (link.size() <= prefix)
        return {};
    QByteArray host = link.mid(prefix);
    const qsizetype slash = host.indexOf('/');
    if (slash >= 0)
        host.truncate(slash);
    const qsizetype colon = host.indexOf(':');
    if (colon >= 0)
        host.truncate(colon);
    return host;
}

QByteArray GetUrlPath(const QByteArray &link, int protocol)
{
    const int prefix = PrefixLength(protocol);
    if (link.size() <= prefix)
        return {};
    const QByteArray rest = link.mid(prefix);
    const qsizetype slash = rest.indexOf('/');
    if (slash < 0)
        return "/";
    QByteArray path = rest.mid(slash);
    const qsizetype hash = path.indexOf('#');
    if (hash >= 0)
        path.truncate(hash);
    return path;
}

std::optional<std::uint32_t> ParseReplyCode(const char *reply, int length)
{
    // The reply as a C string, cut into lines in place the way strtok with the
    // delimiter "\n" cuts it: leading line feeds stay, the first one after the
    // first line ends it.
    char text[514] = {};
    if (length > 0)
        std::memcpy(text, reply, std::min(length, 512));
    char *saved = nullptr;
    for (char *line = strtok_r(text, "\n", &saved); line != nullptr;
         line = strtok_r(nullptr, "\n", &saved)) {
    }
    unsigned int code = 0;
    if (std::sscanf(text, "%*s%u", &code) != 1)
        return std::nullopt;
    return code;
}

bool StatusLineComplete(const char *reply, int length)
{
    if (length >= 512)
        return true;
    // Line feeds before the first line are skipped, as ParseReplyCode skips them.
    bool inFirstLine = false;
    for (int i = 0; i < length; ++i) {
        if (reply[i] == '\0')
            return true;
        if (reply[i] != '\n')
            inFirstLine = true;
        else if (inFirstLine)
            return true;
    }
    return false;
}
