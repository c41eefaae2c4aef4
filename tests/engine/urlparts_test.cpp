#include "engine/urlparts.h"

#include <gtest/gtest.h>

namespace {

TEST(UrlPartsTest, HostAndPathFollowTheSplittingRules)
{
    const struct
    {
        const char *link;
        int protocol;
        const char *host;
        const char *path;
    } cases[] = {
        {"http://example.com", PROTOCOL_HTTP, "example.com", "/"},
        {"http://example.com/", PROTOCOL_HTTP, "example.com", "/"},
        {"http://example.com:8080/a", PROTOCOL_HTTP, "example.com", "/a"},
        {"http://h/p?q=1#top", PROTOCOL_HTTP, "h", "/p?q=1"},
        {"http://h#frag", PROTOCOL_HTTP, "h#frag", "/"},
        {"http://h/a#b#c", PROTOCOL_HTTP, "h", "/a"},
        {"http://user:pw@h/x", PROTOCOL_HTTP, "user", "/x"},
        {"HTTP://Mixed.Case/Path", PROTOCOL_HTTP, "Mixed.Case", "/Path"},
        {"http://", PROTOCOL_HTTP, "", ""},
        {"http://x", PROTOCOL_HTTP, "x", "/"},
        {"ftp://files.org/pub/x.tgz", PROTOCOL_FTP, "files.org", "/pub/x.tgz"},
        {"ftp://", PROTOCOL_FTP, "", ""},
        {"http:///only-path", PROTOCOL_HTTP, "", "/only-path"},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(GetHostName(c.link, c.protocol), QByteArray(c.host)) << c.link;
        EXPECT_EQ(GetUrlPath(c.link, c.protocol), QByteArray(c.path)) << c.link;
    }
}

TEST(UrlPartsTest, ReplyCodeComesFromTheFirstLineAfterTheFirstWord)
{
    const struct
    {
        QByteArray reply;
        std::optional<std::uint32_t> code;
    } cases[] = {
        {"HTTP/1.1 404 Not Found\r\nServer: x\r\n\r\n", 404u},
        {"HTTP/1.0 200 OK\r\n", 200u},
        {"HTTP/1.0 40", 40u},
        {"\n\nHTTP/1.0 301 Moved\r\n", 301u},
        {"HTTP/1.0   503abc", 503u},
        {"HTTP/1.0 0203 Old", 203u},
        {"HTTP/1.0\r\n200 OK\r\n", std::nullopt},
        {"HTTP/1.0 OK 200\r\n", std::nullopt},
        {"220 FTP service ready\r\n", std::nullopt},
        {"", std::nullopt},
        {QByteArray("HTTP/1.0\0 404", 13), std::nullopt},
        {"HTTP/1.0 -1 Odd", 4294967295u},
    };
    for (const auto &c : cases)
        EXPECT_EQ(ParseReplyCode(c.reply.constData(), static_cast<int>(c.reply.size())), c.code)
            << c.reply.constData();

    // Only the first 512 bytes are looked at.
    const QByteArray late = QByteArray(511, ' ') + "X 200";
    EXPECT_EQ(ParseReplyCode(late.constData(), static_cast<int>(late.size())), std::nullopt);
}

} // namespace
