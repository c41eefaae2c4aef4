#include <sys/stat.h>

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
    EXPECT_EQ(result.out, site + "/one.html\thttp://one/\tOne\n");
    EXPECT_EQ(ReadFileBytes(home.file("urltmp~2")),
              QByteArray("\r\n href=\"http://one/\">One</a><p>x</p"));
}

TEST_F(ListLinksTest, DirectoryModesScanEveryHtmlFileInListOrder)
{
    const CheckResult all = RunCheck({"--list-links", "--all-files", site + "/notes.txt"});
    EXPECT_EQ(all.exitCode, 0);
    EXPECT_EQ(all.out, site + "/one.html\thttp://one/\tOne\n");

    const CheckResult tree =
        RunCheck({"--list-links", "--all-files", "--recurse", site + "/notes.txt"});
    EXPECT_EQ(tree.exitCode, 0);
    EXPECT_EQ(tree.out, site + "/one.html\thttp://one/\tOne\n" + site +
                            "/sub/two.htm\tftp://two/\tTwo\xE9\n");
    EXPECT_EQ(ReadFileBytes(home.file("urltmp~2")),
              QByteArray("\r\n HREF=\"ftp://two/\">\tTwo\xE9 </A>"))
        << "the split copy of the last file scanned";

    const CheckResult recurseAlone = RunCheck({"--list-links", "--recurse", site + "/notes.txt"});
    EXPECT_EQ(recurseAlone.exitCode, 0);
    EXPECT_EQ(recurseAlone.out, tree.out) << "--recurse takes the whole tree by itself";
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
