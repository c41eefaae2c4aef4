#include <algorithm>

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include "runcheck.h"
#include "settings/regsettings.h"
#include "settings/settingsstartup.h"
#include "support/loopbackserver.h"
#include "support/temphome.h"

namespace {

// The value at a key of an object.
QJsonValue At(const QJsonValue &value, const char *key)
{
    return value.toObject()[QLatin1String(key)];
}

// Links the server is never asked for: those that match an exclusion pattern
// and those whose pass the result cache keeps.
class CheckNotAskedTest : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server.isListening());
        const QByteArray site = "http://127.0.0.1:" + server.portText();
        QByteArray links;
        for (const char *path : {"/by-option", "/by-root-file", "/by-file", "/by-setting", "/ok"})
            links += "<p><a href=\"" + site + path + "\">" + path + "</a>\n";
        page = home.file("index.html");
        WriteFileBytes(page, links);
        patternFile = home.file("patterns.txt");
    }

    // Paths the server was asked for, in order.
    QList<QByteArray> AskedPaths() const
    {
        QList<QByteArray> paths;
        for (const QByteArray &request : server.requests())
            paths += request.split(' ').value(1);
        return paths;
    }

    TempHome home;
    LoopbackServer server;
    QByteArray page;
    QByteArray patternFile;
};

TEST_F(CheckNotAskedTest, EachSourceOfPatternsKeepsItsLinksFromTheServer)
{
    WriteFileBytes(home.file(".vantrelignore"), "# the site's own list\n\nby-root-file$\r\n");
    WriteFileBytes(patternFile, "/by-file\n");
    StartSettingsStore()->WriteString("Settings", "ExcludeLinks",
                                      "^nothing$\n/by-SETTING|/by-setting");

    const CheckResult text = RunCheck(
        {"--modern", "--exclude", "/by-opt", "--exclude-file", patternFile, "--hawk", page});
    EXPECT_EQ(text.exitCode, 0) << text.err.constData();
    EXPECT_EQ(AskedPaths(), QList<QByteArray>{"/ok"});
    // The report keeps its grammar and counts only the tested link.
    EXPECT_TRUE(text.out.contains(">Results for " + page + ": URLs tested: 1. URL errors: 0."))
        << text.out.constData();
    EXPECT_EQ(text.err, "4 links were not tested: they match an exclusion pattern\n");

    const CheckResult json = RunCheck({"--modern", "--exclude", "/by-opt", "--exclude-file",
                                       patternFile, "--format", "json", page});
    const QJsonValue document = QJsonDocument::fromJson(json.out).object();
    EXPECT_EQ(At(At(document, "totals"), "excluded").toInt(), 4) << json.out.constData();
    EXPECT_EQ(At(At(document, "totals"), "tested").toInt(), 1);
    EXPECT_EQ(At(At(document, "pages").toArray().at(0), "excluded").toInt(), 4);
    EXPECT_EQ(At(document, "links").toArray().size(), 1);

    const CheckResult list = RunCheck(
        {"--list-links", "--modern", "--exclude", "/by-opt", "--exclude-file", patternFile, page});
    EXPECT_EQ(list.exitCode, 0) << list.err.constData();
    QList<QByteArray> kinds;
    for (const QByteArray &line : list.out.split('\n'))
        if (!line.isEmpty())
            kinds += line.split('\t').value(4);
    EXPECT_EQ(kinds,
              (QList<QByteArray>{"excluded", "excluded", "excluded", "excluded", "external"}));
    EXPECT_EQ(AskedPaths().size(), 2);
}

TEST_F(CheckNotAskedTest, ClassicRunsHonourPatternsToo)
{
    const QByteArray classicPage = home.file("classic.html");
    WriteFileBytes(classicPage, "<a href=\"http://127.0.0.1/skip\">s</a>\n"
                                "<a href=\"http://127.0.0.1/ok\">o</a>\n");
    const CheckResult run =
        RunCheck({"--classic", "--http-port", server.portText(), "--exclude", "skip", classicPage});
    EXPECT_EQ(run.exitCode, 0) << run.err.constData();
    EXPECT_EQ(AskedPaths(), QList<QByteArray>{"/ok"});
    EXPECT_TRUE(run.out.contains("URLs tested: 1. URL errors: 0."));
}

TEST_F(CheckNotAskedTest, ABadPatternIsRefusedByNameBeforeAnythingIsAsked)
{
    struct Case
    {
        const char *where;
        QByteArray file;
        QByteArray text;
        QList<QByteArray> arguments;
        QByteArray message;
    };
    const QByteArray ignore = home.file(".vantrelignore");
    const QList<Case> cases = {
        {"option", {}, {}, {"--exclude", "a(b"}, "--exclude: bad pattern \"a(b\""},
        {"file",
         patternFile,
         "ok\n[z-a\n",
         {"--exclude-file", patternFile},
         patternFile + " line 2: bad pattern \"[z-a\""},
        {"missing file",
         {},
         {},
         {"--exclude-file", home.file("none.txt")},
         "cannot read " + home.file("none.txt")},
        {"root file", ignore, "(\n", {}, ignore + " line 1: bad pattern \"(\""},
        {"setting", {}, "*x", {}, "the stored setting ExcludeLinks line 1: bad pattern \"*x\""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.where);
        if (!c.file.isEmpty())
            WriteFileBytes(c.file, c.text);
        const bool setting = c.file.isEmpty() && !c.text.isEmpty();
        StartSettingsStore()->WriteString("Settings", "ExcludeLinks", setting ? c.text : "");
        for (const bool listing : {false, true}) {
            QList<QByteArray> arguments = c.arguments;
            if (listing)
                arguments.prepend("--list-links");
            arguments += {"--modern", page};
            const CheckResult run = RunCheck(arguments);
            EXPECT_EQ(run.exitCode, 2);
            EXPECT_TRUE(run.err.contains(c.message)) << run.err.constData();
            EXPECT_TRUE(run.out.isEmpty()) << run.out.constData();
        }
        if (!c.file.isEmpty())
            WriteFileBytes(c.file, "");
    }
    EXPECT_TRUE(server.requests().isEmpty());
}

// The page's five links: a 404 and four passes. A second run asks only for
// the failure; an entry older than the age allowed is asked again.
TEST_F(CheckNotAskedTest, ASecondRunWithTheCacheAsksOnlyForFailuresAndOldEntries)
{
    server.setReply("/by-file", LoopbackReply::Status("HTTP/1.0 404 Not Found"));
    const QList<QByteArray> arguments{"--modern", "--cache", page};
    const CheckResult first = RunCheck(arguments);
    EXPECT_EQ(first.exitCode, 1) << first.err.constData();
    EXPECT_EQ(AskedPaths().size(), 5);
    const QByteArray cacheFile = home.file("link-cache.txt");
    EXPECT_TRUE(ReadFileBytes(cacheFile).startsWith("vantrel link cache 1\n"));

    const CheckResult second = RunCheck(arguments);
    EXPECT_EQ(second.exitCode, 1) << second.err.constData();
    EXPECT_EQ(AskedPaths().mid(5), QList<QByteArray>{"/by-file"});
    // The report marks nothing differently.
    const auto body = [](const QByteArray &report) {
        const qsizetype start = report.indexOf('\n');
        return report.mid(start, report.lastIndexOf("End of test: ") - start);
    };
    EXPECT_EQ(body(second.out), body(first.out));

    const CheckResult json = RunCheck({"--modern", "--cache", "--format", "json", page});
    QList<bool> cached;
    for (const QJsonValue link : At(QJsonDocument::fromJson(json.out).object(), "links").toArray())
        cached += At(link, "cached").toBool();
    EXPECT_EQ(cached, (QList<bool>{true, true, false, true, true})) << json.out.constData();

    // Two days old: beyond the default age of a day.
    QByteArray entries = ReadFileBytes(cacheFile);
    const QByteArray okLine = entries.mid(entries.lastIndexOf('\n', entries.indexOf("/ok\n")) + 1);
    const QByteArray aged =
        QByteArray::number(QDateTime::currentSecsSinceEpoch() - 2 * 86400) +
        okLine.mid(okLine.indexOf('\t'), okLine.indexOf('\n') - okLine.indexOf('\t') + 1);
    entries.replace(okLine.left(okLine.indexOf('\n') + 1), aged);
    WriteFileBytes(cacheFile, entries);
    const qsizetype asked = AskedPaths().size();
    EXPECT_EQ(RunCheck(arguments).exitCode, 1);
    QList<QByteArray> askedAgain = AskedPaths().mid(asked);
    std::sort(askedAgain.begin(), askedAgain.end());
    EXPECT_EQ(askedAgain, (QList<QByteArray>{"/by-file", "/ok"}));
}

// A damaged cache of ours is warned of and written afresh; a file that is no
// cache of ours is warned of and left as it was. Neither stops the run.
TEST_F(CheckNotAskedTest, ABadCacheFileIsWarnedOfAndNeverFatal)
{
    struct Case
    {
        const char *what;
        QByteArray text;
        QByteArray warning;
        bool rewritten;
    };
    const QList<Case> cases = {
        {"damaged", "vantrel link cache 1\nnot\ta line\n", "is damaged", true},
        {"not ours", "my notes\n", "is not a link cache of vantrel-check", false},
    };
    const QByteArray file = home.file("elsewhere.cache");
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        WriteFileBytes(file, c.text);
        const CheckResult run = RunCheck({"--modern", "--cache-file", file, page});
        EXPECT_EQ(run.exitCode, 0) << run.err.constData();
        EXPECT_TRUE(run.err.contains(c.warning)) << run.err.constData();
        const QByteArray after = ReadFileBytes(file);
        if (c.rewritten) {
            EXPECT_TRUE(after.startsWith("vantrel link cache 1\n")) << after.constData();
            EXPECT_FALSE(after.contains("not\ta line"));
            EXPECT_EQ(after.count('\n'), 6);
        } else {
            EXPECT_EQ(after, c.text);
        }
    }
}

} // namespace
