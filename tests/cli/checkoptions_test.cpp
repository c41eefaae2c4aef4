#include "cli/checkoptions.h"

#include <gtest/gtest.h>

namespace {

TEST(CheckOptionsTest, ListLinksTakesTheTwoChoicesAndOnePath)
{
    const ParsedCheckOptions parsed =
        ParseCheckOptions({"--recurse", "--list-links", "/w/a.html", "--all-files"});
    ASSERT_TRUE(parsed.error.isEmpty()) << parsed.error.toStdString();
    EXPECT_EQ(parsed.options.command, CheckOptions::Command::ListLinks);
    EXPECT_TRUE(parsed.options.allFiles);
    EXPECT_TRUE(parsed.options.recurse);
    EXPECT_EQ(parsed.options.path, QByteArray("/w/a.html"));
}

TEST(CheckOptionsTest, BadUsageIsAnError)
{
    const QList<QList<QByteArray>> cases = {
        {"--list-links"},
        {"--list-links", "a.html", "b.html"},
        {"--list-links", "--bogus", "a.html"},
        {"--name-server", "127.0.0.1", "a.html"},
        {"--name-server", "127.0.0.1:0", "a.html"},
        {"--name-server", ":53", "a.html"},
        {"--list-links", "--name-server", "127.0.0.1:53", "a.html"},
        {"--format", "xml", "a.html"},
        {"--format=", "a.html"},
        {"--export", "json", "--format", "csv", "--output", "o.csv", "r.txt"},
        {"--export", "pdf", "--output", "o.pdf", "r.txt"},
        {"--exclude", "(", "a.html"},
        {"--exclude", "x", "--export", "json", "--output", "o.json", "r.txt"},
        {"--max-cache-age", "1d", "a.html"},
        {"--cache", "--max-cache-age", "5x", "a.html"},
        {"--cache", "--max-cache-age", "-1", "a.html"},
    };
    for (const QList<QByteArray> &arguments : cases)
        EXPECT_FALSE(ParseCheckOptions(arguments).error.isEmpty())
            << arguments.join(' ').constData();
}

TEST(CheckOptionsTest, NameServerGoesWithARun)
{
    const ParsedCheckOptions parsed =
        ParseCheckOptions({"--name-server=127.0.0.1:5353", "/w/a.html"});
    ASSERT_TRUE(parsed.error.isEmpty()) << parsed.error.toStdString();
    EXPECT_EQ(parsed.options.nameServer, QByteArray("127.0.0.1:5353"));
}

TEST(CheckOptionsTest, PathsAreKeptAsBytesAndMayLookLikeOptionsAfterDoubleDash)
{
    const QByteArray latin1Name = "/w/caf\xE9.html";
    EXPECT_EQ(ParseCheckOptions({"--list-links", latin1Name}).options.path, latin1Name);
    EXPECT_EQ(ParseCheckOptions({"--list-links", "--", "--odd.html"}).options.path,
              QByteArray("--odd.html"));
    EXPECT_EQ(ParseCheckOptions({"--help"}).options.command, CheckOptions::Command::Help);
}

} // namespace

TEST(CheckOptionsTest, CacheAgeTakesSecondsOrAUnit)
{
    const std::pair<QByteArray, qint64> cases[] = {{"90", 90},     {"45s", 45},   {"30m", 1800},
                                                   {"12h", 43200}, {"1d", 86400}, {"0", 0}};
    for (const auto &[age, seconds] : cases) {
        const ParsedCheckOptions parsed =
            ParseCheckOptions({"--cache", "--max-cache-age", age, "a.html"});
        EXPECT_TRUE(parsed.error.isEmpty()) << age.constData();
        EXPECT_EQ(parsed.options.cacheMaxAgeSeconds, seconds) << age.constData();
    }
    EXPECT_EQ(ParseCheckOptions({"--cache", "a.html"}).options.cacheMaxAgeSeconds, 86400);
}
