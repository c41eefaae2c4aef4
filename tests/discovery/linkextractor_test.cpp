#include "discovery/linkextractor.h"

#include <fcntl.h>
#include <random>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>

#include <gtest/gtest.h>

#include "referenceextractor.h"
#include "support/filesizelimit.h"
#include "support/temphome.h"

namespace {

using Links = std::vector<std::pair<std::string, std::string>>;

struct Scan
{
    bool scanned = false;
    Links links;
    QByteArray splitCopy;
};

class LinkExtractorTest : public testing::Test
{
protected:
    Scan ScanBytes(const std::string &html)
    {
        const QByteArray source = home.file("page.html");
        WriteFileBytes(source, QByteArray(html.data(), html.size()));
        return ScanFile(source);
    }

    Scan ScanFile(const QByteArray &source)
    {
        Scan scan;
        QList<QByteArray> urls;
        QList<QByteArray> anchors;
        scan.scanned = ExtractLinks(source, splitCopyPath(), urls, anchors);
        EXPECT_EQ(urls.size(), anchors.size());
        for (qsizetype i = 0; i < urls.size(); ++i)
            scan.links.emplace_back(urls[i].toStdString(), anchors[i].toStdString());
        scan.splitCopy = ReadFileBytes(splitCopyPath());
        return scan;
    }

    QByteArray splitCopyPath() const { return home.file("urltmp~2"); }

    TempHome home;
};

struct SplitCase
{
    const char *name;
    std::string source;
    std::string splitCopy;
};

TEST_F(LinkExtractorTest, SplitCopyFollowsTheWindowRules)
{
    const SplitCase cases[] = {
        {"empty file", "", ""},
        {"no anchor start", "<html><body>text</body></html>", ""},
        {"anchor start is the last two characters", "abc<A", "\r\n"},
        {"anchor start then one character", "abc<ax", "\r\n"},
        {"last character never copied", "<Axyz", "\r\nxy"},
        {"two anchor starts in a row", "<a<a b", "\r\n\r\n "},
        {"CR and LF dropped, not replaced", "<a h\r\nre\nf\r", "\r\n hre"},
        {"CR LF between < and A still starts an anchor", "x<\r\nA yz", "\r\n y"},
        {"window refilled fresh after a match", "<A<A<a<", "\r\n\r\n\r\n"},
        {"< before the first anchor start is not copied", "<<A z", "\r\n "},
        {"< inside an anchor line is copied", "<a <<A z", "\r\n <\r\n "},
        {"address and area tags start anchor lines", "<address>a</address><area>",
         "\r\nddress>a</address>\r\nrea"},
        {"zero bytes are copied", std::string("<a\0b\0c", 6), std::string("\r\n\0b\0", 5)},
        // What a comment holds is not on the page.
        {"comment passed over", "<a x<!-- <a href=\"http://c/\"> -->yz", "\r\n xy"},
        {"comment ended by --!>", "<a <!--x--!>yz", "\r\n y"},
        {"abrupt comments", "<a <!-->y<!--->zw", "\r\n yz"},
        {"unclosed comment runs to the end", "<a b<!-- <a c", "\r\n "},
        {"< ! - - broken up is text", "<a <!x <!-x <", "\r\n <!x <!-x "},
    };
    for (const SplitCase &c : cases) {
        const Scan scan = ScanBytes(c.source);
        EXPECT_TRUE(scan.scanned) << c.name;
        EXPECT_EQ(scan.splitCopy.toStdString(), c.splitCopy) << c.name;
        EXPECT_EQ(ReferenceSplitCopy(c.source), c.splitCopy) << c.name << " (reference)";
    }
}

struct LinkCase
{
    const char *name;
    std::string html;
    Links links;
};

TEST_F(LinkExtractorTest, SelectsOneLinkPerAnchorLine)
{
    const std::string supplied = kSuppliedAnchorName;
    const LinkCase cases[] = {
        {"plain anchor",
         "<a href=\"http://example.com/x\">Example</a>.",
         {{"http://example.com/x", "Example"}}},
        {"scheme in any case, URL keeps its case",
         "<A HREF=\"HtTp://Ex.COM/A\">t</A>.",
         {{"HtTp://Ex.COM/A", "t"}}},
        {"https is not found", "<a href=\"https://secure/\">s</a>.", {}},
        {"http wins over an earlier ftp",
         "<a href=\"ftp://f.org/\" title=\"http://h.org/\">x</a>.",
         {{"http://h.org/", "x"}}},
        {"ftp link", "<a href=\"ftp://f.org/pub\">files</a>.", {{"ftp://f.org/pub", "files"}}},
        {"relative link yields nothing", "<a href=\"page.html\">p</a>.", {}},
        {"unquoted link runs to the next double quote",
         "<a href=http://u.org/>u</a><b title=\"t\">b</b>.",
         {{"http://u.org/>u</a><b title=", "b"}}},
        {"unquoted link without a double quote after it", "<a href=http://u.org/>u</a>.", {}},
        {"single-quoted link runs to the next double quote",
         "<a href='http://s.org/' id=\"i\">s</a>.",
         {{"http://s.org/' id=", "s"}}},
        {"empty anchor text is supplied", "<a href=\"http://e/\"></a>.", {{"http://e/", supplied}}},
        {"blank anchor text stays empty", "<a href=\"http://b/\">   </a>.", {{"http://b/", ""}}},
        {"tabs become blanks, then trimmed",
         "<a href=\"http://t/\">\t a\tb \t</a>.",
         {{"http://t/", "a b"}}},
        {"image as anchor text",
         "<a href=\"http://i/\"><img src=\"x.png\"></A>.",
         {{"http://i/", "<img src=\"x.png\">"}}},
        {"later </A wins over </a",
         "<a href=\"http://w/\">w</a> <b>x</b> </A>.",
         {{"http://w/", "w</a> <b>x</b>"}}},
        {"no closing tag: text ends at the next tag",
         "<a href=\"http://n/\">next<br>.",
         {{"http://n/", "next"}}},
        {"link broken over lines is joined",
         "<a href=\"http://exa\nmple/\">Two\r\nLines</a>.",
         {{"http://example/", "TwoLines"}}},
        {"same URL twice is listed twice",
         "<a href=\"http://d/\">1</a><a href=\"http://d/\">2</a>.",
         {{"http://d/", "1"}, {"http://d/", "2"}}},
        {"link in text after the anchor",
         "<a name=\"x\">n</a> see http://t.org/\" > here <.",
         {{"http://t.org/", "here"}}},
        {"trailing blanks cut from the URL",
         "<a href=\"http://sp/  \">s</a>.",
         {{"http://sp/", "s"}}},
        {"image map area",
         "<map><area href=\"http://area/\" alt=\"a\">zone</map>.",
         {{"http://area/", "zone"}}},
        {"text after a zero byte is not seen",
         std::string("<a href=\"http://z/\">z") + '\0' + "</a>.",
         {}},
        {"anchor starting a piece with its scheme is skipped", "<ahttp://x/\">x</a>.", {}},
    };
    for (const LinkCase &c : cases) {
        const Scan scan = ScanBytes(c.html);
        EXPECT_EQ(scan.links, c.links) << c.name;
        EXPECT_EQ(ReferenceLinks(ReferenceSplitCopy(c.html)), c.links) << c.name << " (reference)";
    }
}

// Today's web reads the href as a browser does, whatever its scheme or
// quotes. The classic rule keeps its selection and counts the anchors whose
// https link it passed over.
TEST_F(LinkExtractorTest, TodaysWebReadsTheHrefAndClassicCountsHttpsPassedOver)
{
    const struct
    {
        const char *name;
        std::string html;
        Links todays;
        Links classic;
        int httpsLeftOut;
    } cases[] = {
        {"https link", "<a href=\"https://s.org/x\">s</a>.", {{"https://s.org/x", "s"}}, {}, 1},
        {"scheme in any case",
         "<A HREF=\"HtTpS://S.org/\">s</A>.",
         {{"HtTpS://S.org/", "s"}},
         {},
         1},
        {"https before http",
         "<a href=\"https://a/\" title=\"http://b/\">x</a>.",
         {{"https://a/", "x"}},
         {{"http://b/", "x"}},
         1},
        {"http before https",
         "<a href=\"http://a/\" title=\"https://b/\">x</a>.",
         {{"http://a/", "x"}},
         {{"http://a/", "x"}},
         0},
        {"the href, not an https link in a title",
         "<a href=\"ftp://f/\" title=\"https://h/\">x</a>.",
         {{"ftp://f/", "x"}},
         {{"ftp://f/", "x"}},
         1},
        {"ftp when neither",
         "<a href=\"ftp://f/\">f</a>.",
         {{"ftp://f/", "f"}},
         {{"ftp://f/", "f"}},
         0},
        {"piece starting with its scheme", "<ahttps://x/\">x</a>.", {}, {}, 0},
        {"unquoted https", "<a href=https://x/>x</a>.", {{"https://x/", "x"}}, {}, 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const QByteArray source = home.file("page.html");
        WriteFileBytes(source, QByteArray(c.html.data(), static_cast<qsizetype>(c.html.size())));
        for (const LinkRule rule : {LinkRule::TodaysWeb, LinkRule::Classic}) {
            QList<QByteArray> urls;
            QList<QByteArray> anchors;
            int leftOut = 0;
            ASSERT_TRUE(
                ExtractLinks(source, splitCopyPath(), urls, anchors, nullptr, rule, &leftOut));
            Links links;
            for (qsizetype i = 0; i < urls.size(); ++i)
                links.emplace_back(urls[i].toStdString(), anchors[i].toStdString());
            const bool todays = rule == LinkRule::TodaysWeb;
            EXPECT_EQ(links, todays ? c.todays : c.classic);
            EXPECT_EQ(leftOut, todays ? 0 : c.httpsLeftOut);

            // The scan ahead of a run selects the same.
            const ScannedFile ahead = ScanLinksInMemory(source, 1 << 20, rule);
            EXPECT_EQ(ahead.urls, urls);
            EXPECT_EQ(ahead.httpsLeftOut, leftOut);
        }
    }
}

TEST_F(LinkExtractorTest, LongAnchorLinesAreExaminedInPiecesOf999)
{
    const std::string fill999(999, 'x');
    const std::string fill990(990, 'x');
    // The first 999 characters of the anchor line are one piece, the rest the next.
    EXPECT_EQ(ScanBytes("<a" + fill999 + " href=\"http://p/\">p</a>.").links,
              (Links{{"http://p/", "p"}}));
    // The link straddles the two pieces: lost.
    EXPECT_EQ(ScanBytes("<a" + fill990 + " href=\"http://p/\">p</a>.").links, Links{});
    // The closing quote lies in the next piece: lost.
    EXPECT_EQ(ScanBytes("<a" + fill990 + "\"http://p/\">p</a>.").links, Links{});
    // A piece that begins exactly with the scheme is not taken.
    EXPECT_EQ(ScanBytes("<a" + fill999 + "http://q/\">q</a>.").links, Links{});
}

TEST_F(LinkExtractorTest, AgreesWithTheLiteralRulesOnRandomPages)
{
    const std::vector<std::string> tokens = {
        "<a",
        "<A",
        "<a href=\"",
        "http://",
        "HTTP://",
        "ftp://",
        "FtP://",
        "\"",
        ">",
        "<",
        "</A",
        "</a",
        "</a>",
        "\r\n",
        "\n",
        "\r",
        "\t",
        " ",
        "x",
        "host.org/",
        "#f",
        std::string(1, '\0'),
        "<area ",
        "<address>",
        "<img src=\"i\">",
        std::string(300, 'y'),
        "\xE9\xFF",
        "<!--",
        "-->",
        "-",
        "!",
    };
    std::mt19937 random(20261207);
    for (int round = 0; round < 400; ++round) {
        std::string html;
        const int count = std::uniform_int_distribution<int>(0, 120)(random);
        for (int i = 0; i < count; ++i)
            html +=
                tokens[std::uniform_int_distribution<std::size_t>(0, tokens.size() - 1)(random)];
        const Scan scan = ScanBytes(html);
        const std::string expectedCopy = ReferenceSplitCopy(html);
        ASSERT_EQ(scan.splitCopy.toStdString(), expectedCopy) << "round " << round;
        ASSERT_EQ(scan.links, ReferenceLinks(expectedCopy)) << "round " << round;
    }
}

// A file that cannot be scanned is never one without links: the scan fails,
// says why in words for the user, and never blocks on a pipe or a device.
TEST_F(LinkExtractorTest, FilesThatCannotBeScannedSayWhy)
{
    const QByteArray page = home.file("page.html");
    WriteFileBytes(page, "<a href=\"http://l/\">l</a>" + QByteArray(8192, 'x') + ".");
    const QByteArray pipe = home.file("pipe.html");
    ASSERT_EQ(mkfifo(pipe.constData(), 0600), 0);
    // A writer that never writes: a read of the pipe would wait for ever.
    const int writer = open(pipe.constData(), O_RDWR | O_CLOEXEC);
    ASSERT_GE(writer, 0);
    const QByteArray workDirectory = home.file("work");
    ASSERT_EQ(mkdir(workDirectory.constData(), 0700), 0);
    ASSERT_EQ(mkdir((workDirectory + "/urltmp~2").constData(), 0700), 0);

    struct Case
    {
        const char *what;
        QByteArray source;
        QByteArray splitCopy;
        QByteArray why;
        rlim_t fileSizeLimit = RLIM_INFINITY;
    };
    const std::vector<Case> cases = {
        {"missing", home.file("missing.html"), splitCopyPath(),
         "the file cannot be opened (No such file or directory)"},
        {"a directory", home.path(), splitCopyPath(), "it is not a regular file"},
        {"a pipe with a silent writer", pipe, splitCopyPath(), "it is not a regular file"},
        {"a device without end", "/dev/zero", splitCopyPath(), "it is not a regular file"},
        {"no system directory", page, {}, "there is no system directory for the work files"},
        {"a directory in the work file's place", page, workDirectory + "/urltmp~2",
         "the work file " + workDirectory + "/urltmp~2 cannot be created (Is a directory)"},
        {"a full disk", page, splitCopyPath(),
         "the work file " + splitCopyPath() + " cannot be written (File too large)", 4096},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        QList<QByteArray> urls;
        QList<QByteArray> anchors;
        QString why;
        bool scanned = true;
        {
            FileSizeLimit limit(c.fileSizeLimit);
            scanned = ExtractLinks(c.source, c.splitCopy, urls, anchors, &why);
        }
        EXPECT_FALSE(scanned);
        EXPECT_EQ(why.toLocal8Bit(), c.why);
        EXPECT_TRUE(urls.isEmpty());
        EXPECT_TRUE(anchors.isEmpty());
    }
    close(writer);
    EXPECT_EQ(QDir(QString::fromLocal8Bit(home.path()))
                  .entryList({QStringLiteral("urltmp~2*")}, QDir::AllEntries | QDir::Hidden),
              QStringList())
        << "no split copy is left half written";
}

TEST_F(LinkExtractorTest, SplitCopyTakesItsPlaceOnlyWhenComplete)
{
    // What a scan leaves in place is a whole split copy, never a part of one:
    // another program sharing the directory may read it at any moment.
    WriteFileBytes(splitCopyPath(), "\r\n earlier scan");
    const QByteArray page = home.file("page.html");
    WriteFileBytes(page, "<a href=\"http://l/\">l</a>" + QByteArray(8192, 'x') + ".");
    QList<QByteArray> urls;
    QList<QByteArray> anchors;
    {
        FileSizeLimit limit(4096);
        EXPECT_FALSE(ExtractLinks(page, splitCopyPath(), urls, anchors));
    }
    EXPECT_EQ(ReadFileBytes(splitCopyPath()), QByteArray("\r\n earlier scan"));

    const Scan scan = ScanBytes("<a href=\"http://l/\">l</a>.");
    EXPECT_TRUE(scan.scanned);
    EXPECT_EQ(scan.splitCopy, QByteArray("\r\n href=\"http://l/\">l</a>"));
}

TEST_F(LinkExtractorTest, SplitCopyIsPrivateAndNeverWrittenThroughALink)
{
    const QByteArray victim = home.file("victim.txt");
    WriteFileBytes(victim, "precious");
    ASSERT_EQ(symlink(victim.constData(), splitCopyPath().constData()), 0);

    const Scan scan = ScanBytes("<a href=\"http://l/\">l</a>.");
    EXPECT_EQ(scan.links, (Links{{"http://l/", "l"}}));
    EXPECT_EQ(ReadFileBytes(victim), QByteArray("precious"));

    struct stat info
    {};
    ASSERT_EQ(lstat(splitCopyPath().constData(), &info), 0);
    EXPECT_TRUE(S_ISREG(info.st_mode));
    EXPECT_EQ(info.st_mode & 0777, 0600u);
}

TEST_F(LinkExtractorTest, PathsLongerThanTheSystemLimitAreScanned)
{
    // Built one level at a time, since the full path is too long to name.
    const std::string name(200, 'd');
    constexpr int kLevels = 25;
    QByteArray directory = home.path();
    ASSERT_EQ(chdir(directory.constData()), 0);
    for (int level = 0; level < kLevels; ++level) {
        ASSERT_EQ(mkdir(name.c_str(), 0700), 0);
        ASSERT_EQ(chdir(name.c_str()), 0);
        directory += '/' + QByteArray::fromStdString(name);
    }
    FILE *file = fopen("deep.html", "wb");
    ASSERT_NE(file, nullptr);
    fputs("<a href=\"http://deep/\">deep</a>.", file);
    fclose(file);

    QList<QByteArray> urls;
    QList<QByteArray> anchors;
    EXPECT_GT(directory.size(), 4096);
    EXPECT_TRUE(ExtractLinks(directory + "/deep.html", splitCopyPath(), urls, anchors));
    EXPECT_EQ(urls, QList<QByteArray>{"http://deep/"});

    // Take the chain down again from the inside out.
    unlink("deep.html");
    for (int level = 0; level < kLevels; ++level) {
        ASSERT_EQ(chdir(".."), 0);
        rmdir(name.c_str());
    }
    ASSERT_EQ(chdir("/"), 0);
}

} // namespace
