#include "engine/modernurl.h"

#include <gtest/gtest.h>

#include "engine/resultcategories.h"
#include "engine/urlparts.h"

namespace {

// All the bytes of a literal, zero bytes inside it too.
template <std::size_t N> QByteArray Bytes(const char (&text)[N])
{
    return QByteArray(text, N - 1);
}

TEST(ModernUrlTest, SplitsLinksOfTodaysWeb)
{
    const struct
    {
        const char *link;
        LinkScheme scheme;
        const char *host;
        const char *asciiHost;
        int port;
        const char *path;
        const char *hostHeader;
    } cases[] = {
        // Ports: the scheme's by default, a written one used, the scheme's own not repeated.
        {"http://example.com", LinkScheme::Http, "example.com", "example.com", 80, "/",
         "example.com"},
        {"https://example.com/a", LinkScheme::Https, "example.com", "example.com", 443, "/a",
         "example.com"},
        {"ftp://files.example/pub/x.tgz", LinkScheme::Ftp, "files.example", "files.example", 21,
         "/pub/x.tgz", "files.example"},
        {"http://example.com:8080/a", LinkScheme::Http, "example.com", "example.com", 8080, "/a",
         "example.com:8080"},
        {"https://example.com:443/", LinkScheme::Https, "example.com", "example.com", 443, "/",
         "example.com"},
        {"https://example.com:80/", LinkScheme::Https, "example.com", "example.com", 80, "/",
         "example.com:80"},
        {"http://example.com:/x", LinkScheme::Http, "example.com", "example.com", 80, "/x",
         "example.com"},
        {"http://example.com:0080/", LinkScheme::Http, "example.com", "example.com", 80, "/",
         "example.com"},
        {"http://example.com:65535", LinkScheme::Http, "example.com", "example.com", 65535, "/",
         "example.com:65535"},
        // IPv6 literals: brackets off for the lookup, on in Host.
        {"http://[::1]/", LinkScheme::Http, "[::1]", "::1", 80, "/", "[::1]"},
        {"https://[::1]:8443/x", LinkScheme::Https, "[::1]", "::1", 8443, "/x", "[::1]:8443"},
        {"http://[2001:DB8::A]", LinkScheme::Http, "[2001:DB8::A]", "2001:db8::a", 80, "/",
         "[2001:db8::a]"},
        {"http://127.0.0.1:81/", LinkScheme::Http, "127.0.0.1", "127.0.0.1", 81, "/",
         "127.0.0.1:81"},
        // International names: the A-label, from UTF-8, Latin-1 or percent-encoded bytes.
        {"http://bücher.example/", LinkScheme::Http, "bücher.example", "xn--bcher-kva.example", 80,
         "/", "xn--bcher-kva.example"},
        {"https://B\xdc"
         "CHER.example:8443/",
         LinkScheme::Https,
         "B\xdc"
         "CHER.example",
         "xn--bcher-kva.example", 8443, "/", "xn--bcher-kva.example:8443"},
        {"http://b%C3%BCcher.example/", LinkScheme::Http, "b%C3%BCcher.example",
         "xn--bcher-kva.example", 80, "/", "xn--bcher-kva.example"},
        {"http://例え.テスト/", LinkScheme::Http, "例え.テスト", "xn--r8jz45g.xn--zckzah", 80, "/",
         "xn--r8jz45g.xn--zckzah"},
        // Names that exist although no registry hands them out, and the root's dot.
        {"http://my_host.example./", LinkScheme::Http, "my_host.example.", "my_host.example.", 80,
         "/", "my_host.example."},
        // Scheme and host in any case; the host goes out in lower case.
        {"HTTPS://WWW.Example.COM/Path", LinkScheme::Https, "WWW.Example.COM", "www.example.com",
         443, "/Path", "www.example.com"},
        {"Ftp://Files.Example", LinkScheme::Ftp, "Files.Example", "files.example", 21, "/",
         "files.example"},
        // User-info is dropped, even with a colon or an "@" of its own.
        {"http://user:pw@example.com:8080/x", LinkScheme::Http, "example.com", "example.com", 8080,
         "/x", "example.com:8080"},
        {"https://a@b@example.com/", LinkScheme::Https, "example.com", "example.com", 443, "/",
         "example.com"},
        // Fragments cut, queries kept, also right after the host.
        {"http://h.example/p?q=1#top", LinkScheme::Http, "h.example", "h.example", 80, "/p?q=1",
         "h.example"},
        {"http://h.example#top", LinkScheme::Http, "h.example", "h.example", 80, "/", "h.example"},
        {"http://h.example?q=1#top", LinkScheme::Http, "h.example", "h.example", 80, "/?q=1",
         "h.example"},
        {"http://h.example:81?q", LinkScheme::Http, "h.example", "h.example", 81, "/?q",
         "h.example:81"},
        // Bytes that may not stand in a request line are percent-encoded.
        {"http://h.example/a b/bücher", LinkScheme::Http, "h.example", "h.example", 80,
         "/a%20b/b%C3%BCcher", "h.example"},
    };
    for (const auto &c : cases) {
        ModernUrl url;
        ASSERT_EQ(SplitModernUrl(c.link, url), 0) << c.link;
        EXPECT_EQ(url.scheme, c.scheme) << c.link;
        EXPECT_EQ(url.host, QByteArray(c.host)) << c.link;
        EXPECT_EQ(url.asciiHost, QByteArray(c.asciiHost)) << c.link;
        EXPECT_EQ(url.port, c.port) << c.link;
        EXPECT_EQ(url.path, QByteArray(c.path)) << c.link;
        EXPECT_EQ(url.hostHeader, QByteArray(c.hostHeader)) << c.link;
    }
}

TEST(ModernUrlTest, MalformedLinksAreBadAddresses)
{
    const QByteArray links[] = {
        "http://example.com:0/",
        "http://example.com:65536/",
        "http://example.com:99999999999/",
        "http://example.com:8o/",
        "http://example.com:-1/",
        "http://example.com:80:81/",
        "http:///path",
        "https://",
        "http://user@/x",
        "http://:8080/",
        "http://[::1/",
        "http://[::1]x/",
        "http://[not-an-address]/",
        "http://[127.0.0.1]/",
        "gopher://example.com/",
        "mailto:someone@example.com",
        "http:/example.com/",
        "http://exa mple.com/",
        "http://exa%00mple.com/",
        // Nothing but the address in brackets: no control byte, no blank.
        Bytes("http://[::1\0\x07 x]:8080/"),
        Bytes("http://[::1\0]/"),
        "http://[::1 ]/",
        "http://[::1\r\nX: y]/",
        "http://[::1\x7f]/",
    };
    for (const QByteArray &link : links) {
        ModernUrl url;
        url.asciiHost = "untouched";
        EXPECT_EQ(SplitModernUrl(link, url), static_cast<int>(PROBE_ERR_BAD_ADDRESS))
            << link.toPercentEncoding().constData();
        EXPECT_EQ(url.asciiHost, QByteArray("untouched")) << link.toPercentEncoding().constData();
    }
}

TEST(ModernUrlTest, RequestBytesOfBothModes)
{
    // The classic mode: the host it looks up, leading blanks skipped, never a port.
    const struct
    {
        const char *link;
        const char *request;
    } classic[] = {
        {"http://example.com", "GET / HTTP/1.0\r\nHost: example.com\r\n\r\n"},
        {"http://example.com:8080/a?b=1#c", "GET /a?b=1 HTTP/1.0\r\nHost: example.com\r\n\r\n"},
        {"HTTP://Mixed.Case/Path", "GET /Path HTTP/1.0\r\nHost: Mixed.Case\r\n\r\n"},
        {"http://  spaced.example/x", "GET /x HTTP/1.0\r\nHost: spaced.example\r\n\r\n"},
    };
    for (const auto &c : classic)
        EXPECT_EQ(
            ClassicRequest(GetUrlPath(c.link, PROTOCOL_HTTP), GetHostName(c.link, PROTOCOL_HTTP)),
            QByteArray(c.request))
            << c.link;

    // Today's request names the link's host, and its port when not the scheme's.
    const struct
    {
        const char *link;
        QByteArray path;
        QByteArray hostHeader;
    } modern[] = {
        {"https://example.com", "/", "example.com"},
        {"http://user:pw@Example.com:8080/a?b=1#c", "/a?b=1", "example.com:8080"},
        {"https://[::1]:8443/x", "/x", "[::1]:8443"},
        {"http://bücher.example/", "/", "xn--bcher-kva.example"},
    };
    for (const auto &c : modern) {
        ModernUrl url;
        ASSERT_EQ(SplitModernUrl(c.link, url), 0) << c.link;
        EXPECT_EQ(url.path, c.path) << c.link;
        EXPECT_EQ(url.hostHeader, c.hostHeader) << c.link;
    }
}

} // namespace
