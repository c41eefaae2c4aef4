#include "results/linkrepair.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QDir>

#include <gtest/gtest.h>

#include "repairtestsupport.h"

namespace {

class RepairLinesTest : public testing::Test
{
protected:
    QByteArray Page(const QByteArray &name, const QByteArray &content)
    {
        const QByteArray path = home.file(name);
        QDir().mkpath(QString::fromLocal8Bit(path.left(path.lastIndexOf('/'))));
        WriteFileBytes(path, content);
        return path;
    }
    TempHome home;
};

// A line of exactly length bytes (its ending not counted) that holds url at
// its start, or at its end.
QByteArray LineWithUrl(const QByteArray &url, int length, bool atEnd)
{
    const QByteArray link = "<a href=\"" + url + "\">";
    const QByteArray filler(length - link.size(), 'x');
    return atEnd ? filler + link : link + filler;
}

TEST_F(RepairLinesTest, EveryLineKeepsItsOwnEndingWhateverItsLength)
{
    const QByteArray url = "http://bad.example/";
    int round = 0;
    for (const QByteArray ending : {"\n", "\r\n", "\r", ""}) {
        for (const int length : {60, 508, 509, 510, 511, 512, 600}) {
            for (const bool atEnd : {false, true}) {
                for (const int type : {REPAIR_DISABLE_LINE, REPAIR_REPLACE_URL}) {
                    const QByteArray line = LineWithUrl(url, length, atEnd);
                    const QByteArray before = "<p>first</p>\r\n";
                    const QByteArray after = ending.isEmpty() ? "" : "<p>last</p>\n";
                    const QByteArray name = "p" + QByteArray::number(++round) + ".html";
                    const QByteArray page = Page(name, before + line + ending + after);
                    RepairRun run;
                    RunRepair(run, ReportBuilder().File(page).Link(url).Summary().Text(), type);
                    const QByteArray tag = "<a href=\"" + url + "\">";
                    const QByteArray repaired =
                        type == REPAIR_DISABLE_LINE
                            ? QByteArray(line).replace(tag, "<!--" + tag + "-->")
                            : QByteArray(line).replace(url, name) + "<!--" + url + "-->";
                    EXPECT_EQ(ReadFileBytes(page), before + repaired + ending + after)
                        << "ending " << ending.toHex().constData() << ", length " << length
                        << (atEnd ? ", URL at the end" : ", URL at the start") << ", type " << type;
                    EXPECT_EQ(run.ui.messages, QStringList{kRepairCompleted}) << round;
                }
            }
        }
    }
}

TEST_F(RepairLinesTest, LongUrlsAndLongReportLinesAreRepairedWhole)
{
    const QByteArray longUrl = "http://long.example/" + QByteArray(700, 'u');
    const QByteArray after = "http://after.example/";
    // An anchor text that puts ">" (or "<" or a double quote) at the start of
    // the report line's second 511-byte piece must not be taken for a line
    // of its own.
    const QByteArray shortUrl = "http://s.example/";
    QList<QByteArray> anchors;
    for (const char mark : {'>', '<', '"'})
        anchors.append(QByteArray(507 - shortUrl.size(), 'a') + mark + "tail");
    const QByteArray page =
        Page("long.html", "<a href=\"" + longUrl + "\">long</a>\n" + "<a href=\"" + shortUrl +
                              "\">1</a>\n" + "<a href=\"" + shortUrl + "\">2</a>\n" + "<a href=\"" +
                              shortUrl + "\">3</a>\n" + "<a href=\"" + after + "\">after</a>\n");
    RepairRun run;
    RunRepair(run,
              ReportBuilder()
                  .File(page)
                  .Link(longUrl)
                  .Link(shortUrl, anchors[0])
                  .Link(shortUrl, anchors[1])
                  .Link(shortUrl, anchors[2])
                  .Link(after)
                  .Summary()
                  .Text(),
              REPAIR_DISABLE_LINE);
    EXPECT_TRUE(run.completed);
    EXPECT_EQ(run.ui.messages, QStringList{kRepairCompleted});
    EXPECT_EQ(ReadFileBytes(page), "<!--<a href=\"" + longUrl + "\">long</a>-->\n" +
                                       "<!--<a href=\"" + shortUrl + "\">1</a>-->\n" +
                                       "<!--<a href=\"" + shortUrl + "\">2</a>-->\n" +
                                       "<!--<a href=\"" + shortUrl + "\">3</a>-->\n" +
                                       "<!--<a href=\"" + after + "\">after</a>-->\n");
}

TEST_F(RepairLinesTest, LinkNotFoundIsNamedAndTheFileStillGetsItsOtherRepairs)
{
    const QByteArray page = Page("index.html", "<a href=\"http://one/\">1</a>\n"
                                               "<a href=\"http://split\n/across\">2</a>\n"
                                               "<a href=\"http://three/\">3</a>\n");
    const QByteArray other = Page("other.html", "<a href=\"http://four/\">4</a>\n");
    RepairRun run;
    RunRepair(run,
              ReportBuilder()
                  .File(page)
                  .Link("http://one/")
                  .Link("http://split/across")
                  .Link("http://three/")
                  .Summary()
                  .File(other)
                  .Link("http://four/")
                  .Summary()
                  .Text(),
              REPAIR_DISABLE_LINE);
    EXPECT_FALSE(run.completed);
    ASSERT_EQ(run.ui.messages.size(), 1) << "one closing message names every link left as it was";
    EXPECT_TRUE(run.ui.messages[0].startsWith(kRepairFailed + QStringLiteral("\n\n")));
    EXPECT_TRUE(run.ui.messages[0].contains(NotFoundText(page, "http://split/across")))
        << run.ui.messages[0].toStdString();
    EXPECT_EQ(ReadFileBytes(page), QByteArray("<!--<a href=\"http://one/\">1</a>-->\n"
                                              "<a href=\"http://split\n/across\">2</a>\n"
                                              "<!--<a href=\"http://three/\">3</a>-->\n"));
    EXPECT_EQ(ReadFileBytes(other), QByteArray("<!--<a href=\"http://four/\">4</a>-->\n"));
}

TEST_F(RepairLinesTest, PageNamedLikeItsTemporaryFileIsNeverLost)
{
    const QByteArray original = "<a href=\"http://bad/\">x</a>\n";
    const QByteArray page = Page("page.t~p", original);
    RepairRun run;
    RunRepair(run, ReportBuilder().File(page).Link("http://bad/").Summary().Text(),
              REPAIR_DISABLE_LINE);
    EXPECT_TRUE(run.completed);
    EXPECT_EQ(ReadFileBytes(page), QByteArray("<!--<a href=\"http://bad/\">x</a>-->\n"));

    // A page that cannot be replaced stays exactly as it was.
    const QByteArray locked = Page("locked.t~p", original);
    chmod(locked.constData(), 0444);
    RepairRun refused;
    RunRepair(refused, ReportBuilder().File(locked).Link("http://bad/").Summary().Text(),
              REPAIR_DISABLE_LINE);
    EXPECT_FALSE(refused.completed);
    EXPECT_EQ(ReadFileBytes(locked), original);
    struct stat info
    {};
    ASSERT_EQ(stat(locked.constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0444u);
}

TEST_F(RepairLinesTest, CommentsDecideWhetherALinkIsStillInForce)
{
    const QByteArray link = "<a href=\"http://bad/\">x</a>";
    const struct
    {
        const char *page;
        int type;
        const char *repaired; // nullptr: the page stays as it is
        bool named;           // the link is named as not repaired
    } cases[] = {
        // Already disabled by the page's author or by an earlier repair.
        {"<!-- LINK -->\n", REPAIR_DISABLE_LINE, nullptr, false},
        {"<!--\nLINK\n-->\n", REPAIR_DISABLE_LINE, nullptr, false},
        {"<a href=\"c.html\">x</a><!--http://bad/-->\n", REPAIR_DISABLE_LINE, nullptr, false},
        {"<!--LINK-->\r\n", REPAIR_REPLACE_URL, nullptr, false},
        // Comments before or after the link stay as they are.
        {"<!-- nav --> LINK\n", REPAIR_DISABLE_LINE, "<!-- nav --> <!--LINK-->\n", false},
        {"<!-- nav --> LINK\n", REPAIR_REPLACE_URL,
         "<!-- nav --> <a href=\"c.html\">x</a><!--http://bad/-->\n", false},
        // Comments that close at once, as browsers read them.
        {"<!--> LINK\n", REPAIR_DISABLE_LINE, "<!--> <!--LINK-->\n", false},
        {"<!---> LINK\n", REPAIR_REPLACE_URL, "<!---> <a href=\"c.html\">x</a><!--http://bad/-->\n",
         false},
        // A comment that the line opens for the lines after it would be
        // ended by the URL kept at the line's end; the element's own comment
        // closes before it.
        {"LINK <!-- old menu:\n<a href=\"http://x/\">y</a>\n-->\n", REPAIR_DISABLE_LINE,
         "<!--LINK--> <!-- old menu:\n<a href=\"http://x/\">y</a>\n-->\n", false},
        {"LINK <!-- old menu:\n<a href=\"http://x/\">y</a>\n-->\n", REPAIR_REPLACE_URL, nullptr,
         true},
        {"LINK <!-- note -->\n", REPAIR_DISABLE_LINE, "<!--LINK--> <!-- note -->\n", false},
        // A comment inside the element would end the new one early.
        {"<a href=\"http://bad/\">x <!-- note --></a>\n", REPAIR_DISABLE_LINE, nullptr, true},
        {"<a href=\"http://bad/\">x <!-- open\n</a>\n-->\n", REPAIR_DISABLE_LINE, nullptr, true},
    };
    int round = 0;
    for (const auto &c : cases) {
        const QByteArray original = QByteArray(c.page).replace("LINK", link);
        const QByteArray page = Page("c" + QByteArray::number(++round) + "/c.html", original);
        RepairRun run;
        RunRepair(run, ReportBuilder().File(page).Link("http://bad/").Summary().Text(), c.type);
        const QByteArray expected =
            c.repaired == nullptr ? original : QByteArray(c.repaired).replace("LINK", link);
        EXPECT_EQ(ReadFileBytes(page).toStdString(), expected.toStdString()) << c.page;
        EXPECT_EQ(run.completed, !c.named) << c.page;
        if (c.named) {
            EXPECT_TRUE(run.ui.messages.value(0).contains(QStringLiteral("the URL\nhttp://bad/")));
        }
    }
}

TEST_F(RepairLinesTest, LinkInAVeryLongLineIsRepairedToo)
{
    const QByteArray filler(qsizetype{16} << 20, 'x');
    const QByteArray page =
        Page("huge.html", filler + "<a href=\"http://in-the-long-line/\">x</a>\r\n" +
                              "<a href=\"http://next/\">n</a>\n");
    RepairRun run;
    RunRepair(run,
              ReportBuilder()
                  .File(page)
                  .Link("http://in-the-long-line/")
                  .Link("http://next/")
                  .Summary()
                  .Text(),
              REPAIR_DISABLE_LINE);
    EXPECT_TRUE(run.completed);
    EXPECT_TRUE(ReadFileBytes(page) == filler +
                                           "<!--<a href=\"http://in-the-long-line/\">x</a>-->\r\n" +
                                           "<!--<a href=\"http://next/\">n</a>-->\n");
}

} // namespace
