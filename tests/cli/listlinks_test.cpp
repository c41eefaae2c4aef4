#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "runcheck.h"
#include "support/temphome.h"

namespace {

class ListLinksTest : public testing::Test
{
protected:
    void SetUp() override
    {
        site = home.file("site");
        ASSERT_EQ(mkdir(site.constData(), 0700), 0);
        ASSERT_EQ(mkdir((site + "/sub").constData(), 0700), 0);
        WriteFileBytes(site + "/one.html", "<a href=\"http://one/\">One</a>\n<p>x</p>");
        WriteFileBytes(site + "/sub/two.htm", "<A HREF=\"ftp://two/\">\tTwo\xE9 </A>.");
        WriteFileBytes(site + "/notes.txt", "<a href=\"http://txt/\">txt</a>.");
    }

    TempHome home;
    QByteArray site;
};

TEST_F(ListLinksTest, PrintsPathUrlAndAnchorTextSeparatedByTabs)
{
    const CheckResult result = RunCheck({"--list-links", site + "/one.html"});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.out, site + "/one.html\thttp://one/\tOne\t1\texternal\n");
    EXPECT_EQ(ReadFileBytes(home.file("urltmp~2")),
              QByteArray("\r\n href=\"http://one/\">One</a><p>x</p"));
}

TEST_F(ListLinksTest, DirectoryModesScanEveryHtmlFileInListOrder)
{
    const CheckResult all = RunCheck({"--list-links", "--all-files", site + "/notes.txt"});
    EXPECT_EQ(all.exitCode, 0);
    EXPECT_EQ(all.out, site + "/one.html\thttp://one/\tOne\t1\texternal\n");

    const CheckResult tree =
        RunCheck({"--list-links", "--all-files", "--recurse", site + "/notes.txt"});
    EXPECT_EQ(tree.exitCode, 0);
    EXPECT_EQ(tree.out, site + "/one.html\thttp://one/\tOne\t1\texternal\n" + site +
                            "/sub/two.htm\tftp://two/\tTwo\xE9\t1\texternal\n");
    EXPECT_EQ(ReadFileBytes(home.file("urltmp~2")),
              QByteArray("\r\n HREF=\"ftp://two/\">\tTwo\xE9 </A>"))
        << "the split copy of the last file scanned";

    const CheckResult recurseAlone = RunCheck({"--list-links", "--recurse", site + "/notes.txt"});
    EXPECT_EQ(recurseAlone.exitCode, 0);
    EXPECT_EQ(recurseAlone.out, tree.out) << "--recurse takes the whole tree by itself";
}

// Today's web lists every link as the page writes it, with its line, its kind
// and the address it is tested at. A new store starts in that mode; --classic
// and --modern choose for one list.
TEST_F(ListLinksTest, TodaysWebListsEveryLinkWithItsLineKindAndTarget)
{
    WriteFileBytes(
        site + "/sub/page.html",
        "<a href='../one.html#top'>Up &amp; away</a>\n"
        "<img src=/one.html alt=root><a href=\"#here\">here</a>\n"
        "<!-- <a href=\"http://hidden/\">x</a> -->\n"
        "<a href=\"mailto:me@example.com\">mail</a> <a href=HTTPS://x/?a=1&amp;b=2>x</a>\n");
    const QByteArray page = site + "/sub/page.html";
    const QByteArray root = "file://" + site;
    const QByteArray expected = page + "\t../one.html#top\tUp & away\t1\tinternal\t" + root +
                                "/one.html#top\n" + page + "\t/one.html\troot\t2\tinternal\t" +
                                root + "/one.html\n" + page + "\t#here\there\t2\tfragment\t" +
                                root + "/sub/page.html#here\n" + page +
                                "\tmailto:me@example.com\tmail\t4\tskipped\t\n" + page +
                                "\tHTTPS://x/?a=1&b=2\tx\t4\texternal\tHTTPS://x/?a=1&b=2\n";
    EXPECT_EQ(RunCheck({"--list-links", "--modern", "--root", site, page}).out.toStdString(),
              expected.toStdString());

    // Without --root, "/" leads into the directory the list starts from.
    EXPECT_TRUE(RunCheck({"--list-links", "--modern", page})
                    .out.contains("\t/one.html\troot\t2\tinternal\t" + root + "/sub/one.html\n"));

    // A fresh store lists by today's web; --classic by the classic rules.
    ASSERT_EQ(unlink(home.file("Vantrel.INI").constData()), 0);
    unlink(home.file("settings.reg").constData());
    EXPECT_TRUE(RunCheck({"--list-links", page}).out.contains("\tfragment\t"));
    EXPECT_EQ(RunCheck({"--list-links", "--classic", page}).out, QByteArray());
}

TEST_F(ListLinksTest, PathThatCannotBeOpenedIsRefused)
{
    for (const QByteArray &path : {site + "/missing.html", site}) {
        const CheckResult result = RunCheck({"--list-links", path});
        EXPECT_EQ(result.exitCode, 2) << path.constData();
        EXPECT_EQ(result.err, QByteArray("The chosen file does not exist\n"));
        EXPECT_TRUE(result.out.isEmpty());
    }
    EXPECT_EQ(RunCheck({"--list-links"}).exitCode, 2);
    EXPECT_EQ(RunCheck({"--help"}).exitCode, 0);
}

} // namespace
