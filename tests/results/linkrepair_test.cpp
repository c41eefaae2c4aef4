#include "results/linkrepair.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "repairtestsupport.h"
#include "results/repairnames.h"
#include "support/filesizelimit.h"

namespace {

const QString kCompleted = QStringLiteral("All URL repairs completed");
const QString kFailed = QStringLiteral("The URL repair did not succeed");

TEST(RepairNamesTest, StemIsTakenFromTheFileNameOnly)
{
    const struct
    {
        const char *path;
        const char *backup;
        const char *temporary;
    } cases[] = {
        {"/web/index.html", "/web/index.bak", "/web/index.t~p"},
        {"/web/index.htm", "/web/index.bak", "/web/index.t~p"},
        {"/web/a.b.html", "/web/a.b.bak", "/web/a.b.t~p"},
        {"/www.example.org/page", "/www.example.org/page.bak", "/www.example.org/page.t~p"},
        {"/home/u/.local/share/vantrel/urltmp~1", "/home/u/.local/share/vantrel/urltmp~1.bak",
         "/home/u/.local/share/vantrel/urltmp~1.t~p"},
        {"relative.html", "relative.bak", "relative.t~p"},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(BackupPath(c.path), QByteArray(c.backup)) << c.path;
        EXPECT_EQ(TemporaryPath(c.path), QByteArray(c.temporary)) << c.path;
    }
    EXPECT_EQ(FileNameOf("/web/index.html"), QByteArray("index.html"));
}

// The closing message says that the file could not be repaired, and why.
void ExpectFileFailed(const RepairRun &run, const QByteArray &path, const QByteArray &why)
{
    ASSERT_EQ(run.ui.messages.size(), 1);
    EXPECT_TRUE(run.ui.messages[0].startsWith(
        kFailed + QStringLiteral("\n\nThe file\n%1\ncould not be repaired: %2")
                      .arg(QString::fromLocal8Bit(path), QString::fromLocal8Bit(why))))
        << run.ui.messages[0].toStdString();
}

class LinkRepairTest : public testing::Test
{
protected:
    QByteArray Page(const QByteArray &name, const QByteArray &content, mode_t mode = 0644)
    {
        const QByteArray path = home.file(name);
        WriteFileBytes(path, content);
        chmod(path.constData(), mode);
        return path;
    }
    TempHome home;
    RepairRun run;
};

TEST_F(LinkRepairTest, DisableCommentsOutTheLinkElementAndNothingElse)
{
    const QByteArray original = "<p>top</p>\n"
                                "<a href=\"http://bad/\">Old page</a> tail\r\n"
                                "<a href=\"http://fine/\">ok</a>\n"
                                "<a href=\"http://gone/\">x</a>";
    const QByteArray page = Page("index.html", original);
    RunRepair(run,
              ReportBuilder().File(page).Link("http://bad/").Link("http://gone/").Summary().Text(),
              REPAIR_DISABLE_LINE);
    EXPECT_TRUE(run.completed);
    EXPECT_EQ(run.ui.messages, QStringList{kCompleted});
    EXPECT_EQ(run.ui.icons, QList<EngineUi::Icon>{EngineUi::Icon::Information});
    EXPECT_EQ(ReadFileBytes(page), QByteArray("<p>top</p>\n"
                                              "<!--<a href=\"http://bad/\">Old page</a>--> tail\r\n"
                                              "<a href=\"http://fine/\">ok</a>\n"
                                              "<!--<a href=\"http://gone/\">x</a>-->"));
    EXPECT_EQ(ReadFileBytes(home.file("index.bak")), original);
    EXPECT_NE(access(home.file("index.t~p").constData(), F_OK), 0) << "no temporary file is left";
}

// A reported link is a whole link: the complete href value of an anchor,
// never a part of a longer address, nor an address in a stylesheet's link or
// in an anchor's text.
TEST_F(LinkRepairTest, OnlyTheWholeReportedLinkIsTouched)
{
    const QByteArray head =
        "<html><head><link rel=\"stylesheet\" href=\"http://host/missing-style.css\">\n"
        "<link href=\"http://host/missing\" rel=\"icon\"></head>\n"
        "<body><a href=\"http://host/missing/more\">http://host/missing</a>\n";
    const QByteArray original = head + "<p>Gone: <a href='http://host/missing' title=\"old\">the "
                                       "page</a> and <a href=http://fine/>fine</a>.</p>\n";
    for (const int type : {REPAIR_DISABLE_LINE, REPAIR_REPLACE_URL}) {
        const QByteArray name = "index" + QByteArray::number(type) + ".html";
        const QByteArray page = Page(name, original);
        RepairRun repair;
        RunRepair(repair, ReportBuilder().File(page).Link("http://host/missing").Summary().Text(),
                  type);
        EXPECT_TRUE(repair.completed) << repair.ui.messages.value(0).toStdString();
        const QByteArray expected =
            type == REPAIR_DISABLE_LINE
                ? head + "<p>Gone: <!--<a href='http://host/missing' title=\"old\">the page</a>--> "
                         "and <a href=http://fine/>fine</a>.</p>\n"
                : head + "<p>Gone: <a href='" + name +
                      "' title=\"old\">the page</a> and "
                      "<a href=http://fine/>fine</a>.</p><!--http://host/missing-->\n";
        EXPECT_EQ(ReadFileBytes(page).toStdString(), expected.toStdString()) << "type " << type;
    }
}

// An anchor over several lines is disabled whole; its URL cannot be kept at
// the end of its line there, since that line ends inside the tag.
TEST_F(LinkRepairTest, AnchorOverSeveralLines)
{
    const QByteArray original = "<p><A\r\n HREF=\" http://host/missing \"\r\n>split over "
                                "lines</A\r\n> after</p>\r\n";
    for (const int type : {REPAIR_DISABLE_LINE, REPAIR_REPLACE_URL}) {
        const QByteArray page = Page("split" + QByteArray::number(type) + ".html", original);
        RepairRun repair;
        RunRepair(repair, ReportBuilder().File(page).Link("http://host/missing").Summary().Text(),
                  type);
        EXPECT_EQ(repair.completed, type == REPAIR_DISABLE_LINE);
        EXPECT_EQ(ReadFileBytes(page),
                  type == REPAIR_DISABLE_LINE
                      ? QByteArray("<p><!--<A\r\n HREF=\" http://host/missing \"\r\n>split over "
                                   "lines</A\r\n>--> after</p>\r\n")
                      : original);
    }
}

TEST_F(LinkRepairTest, ReplacePutsTheFileNameInPlaceOfTheUrl)
{
    const QByteArray page = Page("index.html", "<a href=\"http://bad/\">Old page</a>\n"
                                               "<a href=\"http://bad/\">again</a>\n");
    RunRepair(run, ReportBuilder().File(page).Link("http://bad/").Summary().Text(),
              REPAIR_REPLACE_URL);
    EXPECT_EQ(ReadFileBytes(page),
              QByteArray("<a href=\"index.html\">Old page</a><!--http://bad/-->\n"
                         "<a href=\"http://bad/\">again</a>\n"));
}

TEST_F(LinkRepairTest, UrlsAreFoundInReportOrderWithoutGoingBack)
{
    const QByteArray page =
        Page("index.html", "<a href=\"http://a/longer\">c</a>\n"
                           "<a href=\"http://a/\">a</a><a href=\"http://b/\">b</a>\n"
                           "<a href=\"http://c/\">d</a>\n");
    RunRepair(run, ReportBuilder().File(page).Link("http://a/").Link("http://b/").Summary().Text(),
              REPAIR_DISABLE_LINE);
    EXPECT_TRUE(run.completed);
    EXPECT_EQ(run.ui.messages, QStringList{kCompleted});
    EXPECT_EQ(ReadFileBytes(page),
              QByteArray("<a href=\"http://a/longer\">c</a>\n"
                         "<!--<a href=\"http://a/\">a</a>--><!--<a href=\"http://b/\">b</a>-->\n"
                         "<a href=\"http://c/\">d</a>\n"))
        << "a URL that begins a longer one on an earlier line does not match there";
}

TEST_F(LinkRepairTest, EveryLinkOfALineIsRepairedAndOneNotFoundIsNamed)
{
    const QByteArray page =
        Page("index.html", "<a href=\"http://a/\">a</a><a href=\"http://b/\">b</a>\n"
                           "<p>end</p>\n");
    RunRepair(run,
              ReportBuilder()
                  .File(page)
                  .Link("http://a/")
                  .Link("http://b/")
                  .Link("http://z/")
                  .Summary()
                  .Text(),
              REPAIR_REPLACE_URL);
    EXPECT_FALSE(run.completed) << "a link is left as it was";
    EXPECT_EQ(run.ui.messages,
              QStringList{kFailed + QStringLiteral("\n\n") + NotFoundText(page, "http://z/")});
    EXPECT_EQ(run.ui.icons, QList<EngineUi::Icon>{EngineUi::Icon::None});
    EXPECT_EQ(ReadFileBytes(page),
              QByteArray("<a href=\"index.html\">a</a><a href=\"index.html\">b</a>"
                         "<!--http://a/--><!--http://b/-->\n"
                         "<p>end</p>\n"))
        << "the file is still completed with all its lines";
}

TEST_F(LinkRepairTest, OnlyAPageThatChangesGetsABackup)
{
    const QByteArray content = "<p>nothing wrong</p>\n";
    const QByteArray clean = Page("clean.htm", content, 0640);
    const QByteArray changed = Page("changed.html", "<a href=\"http://bad/\">x</a>\n", 0640);
    RunRepair(
        run,
        ReportBuilder().File(clean).Summary().File(changed).Link("http://bad/").Summary().Text(),
        REPAIR_DISABLE_LINE);
    EXPECT_TRUE(run.completed);
    EXPECT_EQ(ReadFileBytes(clean), content);
    EXPECT_NE(access(home.file("clean.bak").constData(), F_OK), 0);
    struct stat info
    {};
    ASSERT_EQ(stat(home.file("changed.bak").constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u) << "the backup keeps the file's permissions";
    ASSERT_EQ(stat(changed.constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u) << "so does the rewritten file";
}

TEST_F(LinkRepairTest, SectionOfAStoppedRunIsRepairedToo)
{
    const QByteArray content = "<a href=\"http://bad/\">x</a>\n<p>rest</p>\n";
    const QByteArray stopped = Page("stopped.html", content);
    const QByteArray last = Page("last.html", content);
    RunRepair(run,
              ReportBuilder()
                  .File(stopped)
                  .Link("http://bad/")
                  .Raw("Testing Stopped by User\r\n")
                  .File(last)
                  .Link("http://bad/")
                  .Raw("Testing Stopped by User\r\n")
                  .Text(),
              REPAIR_DISABLE_LINE);
    EXPECT_TRUE(run.completed);
    EXPECT_EQ(run.ui.messages, QStringList{kCompleted});
    for (const QByteArray &page : {stopped, last})
        EXPECT_EQ(ReadFileBytes(page),
                  QByteArray("<!--<a href=\"http://bad/\">x</a>-->\n<p>rest</p>\n"));
    EXPECT_EQ(ReadFileBytes(home.file("stopped.bak")), content);
    EXPECT_NE(access(home.file("stopped.t~p").constData(), F_OK), 0);
}

TEST_F(LinkRepairTest, StrayLinkLinesAreNamed)
{
    const QByteArray page = Page("index.html", "<a href=\"http://bad/\">x</a>\n");
    const QByteArray report = ReportBuilder()
                                  .Link("http://before/")
                                  .File(page)
                                  .Raw("\"http://bad/ without its second quote\r\n")
                                  .Summary()
                                  .Raw(">Results for nothing open\r\n")
                                  .Link("http://after/")
                                  .Text();
    RunRepair(run, report, REPAIR_DISABLE_LINE);
    EXPECT_FALSE(run.completed);
    EXPECT_EQ(run.ui.messages,
              QStringList{kFailed + QStringLiteral("\n\nThe report names no file for the URL\n"
                                                   "http://before/\n\nThe report line\n"
                                                   "\"http://bad/ without its second quote\n"
                                                   "holds no URL between double quotes\n\n"
                                                   "The report names no file for the URL\n"
                                                   "http://after/")});
    EXPECT_EQ(ReadFileBytes(page), QByteArray("<a href=\"http://bad/\">x</a>\n"));
}

TEST_F(LinkRepairTest, LinkedFileIsRepairedWhereItLiesAndTheLinkStays)
{
    ASSERT_EQ(mkdir(home.file("real").constData(), 0700), 0);
    const QByteArray target = Page("real/page.html", "<a href=\"http://bad/\">x</a>\n");
    const QByteArray link = home.file("page.html");
    ASSERT_EQ(symlink("real/page.html", link.constData()), 0);
    RunRepair(run, ReportBuilder().File(link).Link("http://bad/").Summary().Text(),
              REPAIR_REPLACE_URL);
    EXPECT_TRUE(run.completed);
    struct stat info
    {};
    ASSERT_EQ(lstat(link.constData(), &info), 0);
    EXPECT_TRUE(S_ISLNK(info.st_mode));
    EXPECT_EQ(ReadFileBytes(target), QByteArray("<a href=\"page.html\">x</a><!--http://bad/-->\n"));
    EXPECT_EQ(ReadFileBytes(home.file("page.bak")), QByteArray("<a href=\"http://bad/\">x</a>\n"));
}

TEST_F(LinkRepairTest, FilesThatCannotBeRepairedStayWholeAndStopTheWalk)
{
    const QByteArray original = "<a href=\"http://bad/\">x</a>\n";
    const QByteArray readOnly = Page("readonly.html", original, 0444);
    const QByteArray later = Page("later.html", original);
    RunRepair(run,
              ReportBuilder()
                  .File(readOnly)
                  .Link("http://bad/")
                  .Summary()
                  .File(later)
                  .Link("http://bad/")
                  .Summary()
                  .Text(),
              REPAIR_DISABLE_LINE);
    EXPECT_FALSE(run.completed);
    ExpectFileFailed(run, readOnly, "it is read-only");
    EXPECT_EQ(ReadFileBytes(readOnly), original);
    EXPECT_NE(access(home.file("readonly.bak").constData(), F_OK), 0)
        << "a page that cannot be changed gets no backup";
    EXPECT_EQ(ReadFileBytes(later), original) << "the walk stops at the first failure";
    EXPECT_NE(access(home.file("later.bak").constData(), F_OK), 0);

    for (const QByteArray &path : {home.file("missing.html"), home.file("adir.html")}) {
        if (path.endsWith("adir.html")) {
            ASSERT_EQ(mkdir(path.constData(), 0700), 0);
        }
        RepairRun attempt;
        RunRepair(attempt, ReportBuilder().File(path).Link("http://bad/").Summary().Text(),
                  REPAIR_DISABLE_LINE);
        EXPECT_FALSE(attempt.completed) << path.constData();
        ExpectFileFailed(attempt, path,
                         path.endsWith("adir.html") ? "it is not a regular file"
                                                    : "it cannot be read");
    }
    struct stat info
    {};
    EXPECT_EQ(stat(home.file("adir.html").constData(), &info), 0);
    EXPECT_TRUE(S_ISDIR(info.st_mode));
}

// Makes a directory one that nobody may write in: by its mode for a user, by
// the immutable flag for the superuser, who may write whatever the mode says.
bool LockDirectory(const QByteArray &directory, bool locked)
{
    if (geteuid() != 0)
        return chmod(directory.constData(), locked ? 0500 : 0700) == 0;
    const UniqueFd fd(open(directory.constData(), O_RDONLY | O_DIRECTORY));
    int flags = 0;
    if (!fd.IsValid() || ioctl(fd.Get(), FS_IOC_GETFLAGS, &flags) != 0)
        return false;
    flags = locked ? flags | FS_IMMUTABLE_FL : flags & ~FS_IMMUTABLE_FL;
    return ioctl(fd.Get(), FS_IOC_SETFLAGS, &flags) == 0;
}

TEST_F(LinkRepairTest, ReadOnlyDirectoryLeavesEverythingAsItWas)
{
    const QByteArray directory = home.file("locked");
    ASSERT_EQ(mkdir(directory.constData(), 0700), 0);
    const QByteArray original = "<a href=\"http://bad/\">x</a>\n";
    const QByteArray page = Page("locked/page.html", original);
    if (!LockDirectory(directory, true))
        GTEST_SKIP() << "this file system cannot make a directory read-only for the superuser";
    RunRepair(run, ReportBuilder().File(page).Link("http://bad/").Summary().Text(),
              REPAIR_DISABLE_LINE);
    LockDirectory(directory, false);
    EXPECT_FALSE(run.completed);
    ExpectFileFailed(run, page,
                     "its backup " + home.file("locked/page.bak") + " cannot be written");
    EXPECT_EQ(ReadFileBytes(page), original);
    EXPECT_NE(access(home.file("locked/page.bak").constData(), F_OK), 0);
}

TEST_F(LinkRepairTest, WriteThatFailsHalfWayLeavesTheFileWhole)
{
    QByteArray original;
    for (int i = 0; i < 500; ++i)
        original += "<p>line " + QByteArray::number(i) + "</p><a href=\"http://bad/\">x</a>\n";
    const QByteArray page = Page("big.html", original);
    const QByteArray backup = home.file("big.bak");
    WriteFileBytes(backup, "an older backup");

    // The backup copy cannot be finished.
    {
        const FileSizeLimit limit(4096);
        ASSERT_TRUE(limit.IsActive());
        RunRepair(run, ReportBuilder().File(page).Link("http://bad/").Summary().Text(),
                  REPAIR_DISABLE_LINE);
    }

    EXPECT_FALSE(run.completed);
    EXPECT_EQ(ReadFileBytes(page), original);
    EXPECT_EQ(ReadFileBytes(backup), QByteArray("an older backup")) << "nor is the old backup lost";
}

TEST_F(LinkRepairTest, FullDiskWhileThePageIsRewrittenLeavesItAndItsBackupWhole)
{
    QByteArray original;
    for (int i = 0; i < 200; ++i)
        original += "<p>line " + QByteArray::number(i) + "</p><a href=\"http://bad/\">x</a>\n" +
                    QByteArray(500, 't') + "\n";
    const QByteArray page = Page("full.html", original);
    const QByteArray backup = home.file("full.bak");
    WriteFileBytes(backup, original);
    ReportBuilder report;
    report.File(page);
    for (int i = 0; i < 200; ++i)
        report.Link("http://bad/");
    report.Summary();
    const QByteArray text = report.Text();
    {
        // Room for the report's work file and the page, not for the longer
        // repaired page.
        ASSERT_LT(text.size(), original.size());
        const FileSizeLimit limit(static_cast<rlim_t>(original.size() + 16));
        ASSERT_TRUE(limit.IsActive());
        RunRepair(run, text, REPAIR_DISABLE_LINE);
    }
    EXPECT_FALSE(run.completed);
    ASSERT_EQ(run.ui.messages.size(), 1);
    EXPECT_TRUE(run.ui.messages[0].startsWith(kFailed)) << run.ui.messages[0].toStdString();
    EXPECT_EQ(ReadFileBytes(page), original);
    EXPECT_EQ(ReadFileBytes(backup), original);
    EXPECT_NE(access(home.file("full.t~p").constData(), F_OK), 0) << "no partial copy is left";
}

} // namespace
