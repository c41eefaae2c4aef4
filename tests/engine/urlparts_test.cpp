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

// The code, and whether more bytes could still change it: until the first
// line has ended, the reply is waited for.
TEST(UrlPartsTest, ReplyCodeComesFromTheFirstLineAfterTheFirstWord)
{
    const struct
    {
        QByteArray reply;
        std::optional<std::uint32_t> code;
        bool complete;
    } cases[] = {
        {"HTTP/1.1 404 Not Found\r\nServer: x\r\n\r\n", 404u, true},
        {"HTTP/1.0 200 OK\r\n", 200u, true},
        {"HTTP/1.0 40", 40u, false},
        {"HTTP/1.0 404 Not Found\r", 404u, false},
        {"\n\nHTTP/1.0 301 Moved\r\n", 301u, true},
        {"\n\nHTTP/1.0 301", 301u, false},
        {"\n\n", std::nullopt, false},
        {"HTTP/1.0   503abc", 503u, false},
        {"HTTP/1.0 0203 Old", 203u, false},
        {"HTTP/1.0\r\n200 OK\r\n", std::nullopt, true},
        {"HTTP/1.0 OK 200\r\n", std::nullopt, true},
        {"220 FTP service ready\r\n", std::nullopt, true},
        {"", std::nullopt, false},
        {QByteArray("HTTP/1.0\0 404", 13), std::nullopt, true},
        {"HTTP/1.0 -1 Odd", 4294967295u, false},
    };
    for (const auto &c : cases) {
        const int length = static_cast<int>(c.reply.size());
        EXPECT_EQ(ParseReplyCode(c.reply.constData(), length), c.code) << c.reply.constData();
        EXPECT_EQ(StatusLineComplete(c.reply.constData(), length), c.complete)
            << c.reply.constData();
    }

    // Only the first 512 bytes are looked at, and no more are waited for.
    const QByteArray late = QByteArray(511, ' ') + "X 200";
    EXPECT_EQ(ParseReplyCode(late.constData(), static_cast<int>(late.size())), std::nullopt);
    EXPECT_FALSE(StatusLineComplete(late.constData(), 511));
    EXPECT_TRUE(StatusLineComplete(late.constData(), 512));
}

} // namespace
