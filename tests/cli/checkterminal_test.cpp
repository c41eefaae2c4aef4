#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "checkprocess.h"
#include "runcheck.h"
#include "support/loopbackserver.h"
#include "support/temphome.h"

namespace {

// What a hostile page hides in its link and anchor text: a window title, a
// screen clear and a clipboard write.
const QByteArray kTitle = "\x1b]0;owned\x07";
const QByteArray kClear = "\x1b[2J";
const QByteArray kClipboard = "\x1b]52;c;cm0gLXJmIH4=\x07";

class CheckTerminalTest : public testing::Test
{
protected:
    void SetUp() override
    {
        server.setReply(LoopbackReply::Status("HTTP/1.0 404 Not Found"));
        page = home.file("hostile.html");
        WriteFileBytes(page, "<a href=\"http://127.0.0.1/" + kClear + "\">" + kTitle + "text" +
                                 kClipboard + "</a>.");
    }

    TempHome home;
    LoopbackServer server;
    QByteArray page;
};

// No control sequence of the page reaches the terminal as it stands; each
// shows as visible text instead.
void ExpectShownVisibly(const QByteArray &terminal)
{
    for (const QByteArray &raw : {kTitle, kClear, kClipboard})
        EXPECT_FALSE(terminal.contains(raw.left(4))) << terminal.toStdString();
    EXPECT_TRUE(terminal.contains("\\x1b]0;owned\\x07")) << terminal.toStdString();
    EXPECT_TRUE(terminal.contains("\\x1b[2J"));
    EXPECT_TRUE(terminal.contains("\\x1b]52;c;cm0gLXJmIH4=\\x07"));
}

TEST_F(CheckTerminalTest, ReportOnATerminalShowsControlBytesVisibly)
{
    const QByteArray reportFile = home.file("report.txt");
    CheckProcess::Setup setup;
    setup.outOnTerminal = true;
    CheckProcess check({"--http-port", server.portText(), "--report", reportFile, page}, setup);
    ASSERT_TRUE(check.Started());
    EXPECT_EQ(check.WaitForExit(), 1);
    ExpectShownVisibly(check.Terminal());
    EXPECT_TRUE(check.Terminal().contains("\" >\\x1b]0;owned\\x07text")) << "as a report line";

    const QByteArray exact = "\"http://127.0.0.1/" + kClear + "\" >" + kTitle + "text" +
                             kClipboard + "<\r\n*Reason for Failure: HTTP Code 404 Not Found\r\n";
    EXPECT_TRUE(ReadFileBytes(reportFile).contains(exact)) << "the report file is byte-exact";
    const CheckResult piped = RunCheck({"--http-port", server.portText(), page});
    EXPECT_EQ(piped.exitCode, 1);
    EXPECT_TRUE(piped.out.contains(exact)) << "redirected output is byte-exact";
}

TEST_F(CheckTerminalTest, LinkListOnATerminalShowsControlBytesVisibly)
{
    CheckProcess::Setup setup;
    setup.outOnTerminal = true;
    CheckProcess check({"--list-links", page}, setup);
    ASSERT_TRUE(check.Started());
    EXPECT_EQ(check.WaitForExit(), 0);
    ExpectShownVisibly(check.Terminal());

    const CheckResult piped = RunCheck({"--list-links", page});
    EXPECT_EQ(piped.out, page + "\thttp://127.0.0.1/" + kClear + "\t" + kTitle + "text" +
                             kClipboard + "\t1\texternal\n");
}

TEST_F(CheckTerminalTest, MessagesThatQuotePagesShowControlBytesVisibly)
{
    // The repair quotes a link it cannot find in the page.
    const QByteArray report = "<Testing: " + page + "\r\n\"http://127.0.0.1/" + kClear +
                              "gone\" >" + kTitle +
                              "<\r\n*Reason for Failure: HTTP Code 404 "
                              "Not Found\r\n>Results for " +
                              page + ": URLs tested: 1. URL errors: 1.\r\n\r\n";
    const QByteArray reportFile = home.file("report.txt");
    WriteFileBytes(reportFile, report);
    CheckProcess repair({"--repair", "disable", reportFile}, {});
    ASSERT_TRUE(repair.Started());
    repair.WaitForExit();
    EXPECT_TRUE(repair.Terminal().contains("could not file the URL"))
        << repair.Terminal().constData();
    EXPECT_FALSE(repair.Terminal().contains(kClear)) << repair.Terminal().toStdString();
    EXPECT_TRUE(repair.Terminal().contains("http://127.0.0.1/\\x1b[2Jgone"));

    // A page whose very name carries a sequence, and cannot be scanned.
    const QByteArray named = home.file("page" + kTitle + ".html");
    WriteFileBytes(named, "<a href=\"http://127.0.0.1/\">x</a>.");
    unlink(home.file("urltmp~2").constData());
    ASSERT_EQ(mkdir(home.file("urltmp~2").constData(), 0700), 0);
    for (const char *command : {"--list-links", "--one-eye"}) {
        SCOPED_TRACE(command);
        CheckProcess scan({command, named}, {});
        ASSERT_TRUE(scan.Started());
        EXPECT_EQ(scan.WaitForExit(), 2);
        EXPECT_FALSE(scan.Terminal().contains(kTitle.left(4))) << scan.Terminal().toStdString();
        EXPECT_TRUE(scan.Terminal().contains("could not scan " + home.path() +
                                             "/page\\x1b]0;owned\\x07.html for links"))
            << scan.Terminal().toStdString();
    }
}

} // namespace
