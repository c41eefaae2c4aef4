#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QProcess>

#include <gtest/gtest.h>

#include "checkprocess.h"
#include "support/loopbackserver.h"
#include "support/temphome.h"

namespace {

// A page is named in a way that a run cannot scan: its reason, when the run
// gets as far as the scan, and the message that must explain it.
struct Unscannable
{
    const char *what;
    // Empty when the page is refused before the run starts.
    const char *why;
    // Prepares the trap in the system directory; returns the page to name.
    std::function<QByteArray(TempHome &)> prepare;
};

std::vector<Unscannable> UnscannablePages(const QByteArray &link)
{
    return {
        {"a directory where the work file goes", "urltmp~2 cannot be created (Is a directory)",
         [link](TempHome &home) {
             EXPECT_EQ(mkdir(home.file("urltmp~2").constData(), 0700), 0);
             const QByteArray page = home.file("page.html");
             WriteFileBytes(page, link);
             return page;
         }},
        {"a pipe with a silent writer", "",
         [](TempHome &home) {
             const QByteArray pipe = home.file("pipe.html");
             EXPECT_EQ(mkfifo(pipe.constData(), 0600), 0);
             return pipe;
         }},
        {"a device", "",
         [](TempHome &) {
             return QByteArray("/dev/zero");
         }},
    };
}

TEST(CheckScanTest, APageThatCannotBeScannedIsNamedAndGivesStatus2)
{
    LoopbackServer server(LoopbackReply::Status("HTTP/1.0 200 OK"));
    const QByteArray link = "<a href=\"http://127.0.0.1/\">x</a>.";
    for (const bool listLinks : {false, true}) {
        for (const Unscannable &trap : UnscannablePages(link)) {
            SCOPED_TRACE(std::string(trap.what) + (listLinks ? ", --list-links" : ", run"));
            TempHome home;
            const QByteArray page = trap.prepare(home);
            // A writer that keeps a pipe open and never writes.
            const int writer = open(page.constData(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
            const QList<QByteArray> arguments =
                listLinks
                    ? QList<QByteArray>{"--list-links", page}
                    : QList<QByteArray>{"--http-port", server.portText(), "--timeout", "5", page};
            CheckProcess check(arguments, {});
            ASSERT_TRUE(check.Started());
            EXPECT_EQ(check.WaitForExit(), 2) << "never a hang, never a success";
            if (writer >= 0)
                close(writer);
            EXPECT_FALSE(check.Out().contains("URLs tested: 0"))
                << "not reported as a page without links";
            if (*trap.why == '\0') {
                EXPECT_TRUE(check.Terminal().contains("The chosen file does not exist"));
                continue;
            }
            const QByteArray said = check.Terminal();
            EXPECT_TRUE(said.contains("could not scan " + page + " for links: the work file " +
                                      home.file(trap.why)))
                << said.constData();
            if (listLinks) {
                EXPECT_TRUE(check.Out().isEmpty()) << check.Out().constData();
            } else {
                EXPECT_TRUE(check.Out().contains("\r\nCould not scan " + page +
                                                 " for links: the work file " +
                                                 home.file(trap.why) + "\r\n"))
                    << check.Out().constData();
                EXPECT_TRUE(check.Out().contains("End of test: "));
            }
        }
    }
}

TEST(CheckScanTest, ParallelRunsSharingTheSystemDirectoryKeepTheirOwnScans)
{
    LoopbackServer server(LoopbackReply::Status("HTTP/1.0 200 OK"));
    TempHome home;
    constexpr int kRuns = 4;
    constexpr int kPages = 250;
    struct Run
    {
        QByteArray directory;
        QList<QByteArray> arguments;
        QProcess process;
    };
    for (const bool listLinks : {true, false}) {
        SCOPED_TRACE(listLinks ? "--list-links" : "runs");
        std::vector<std::unique_ptr<Run>> runs;
        for (int r = 0; r < kRuns; ++r) {
            auto run = std::make_unique<Run>();
            run->directory = home.file((listLinks ? "list" : "run") + QByteArray::number(r));
            ASSERT_EQ(mkdir(run->directory.constData(), 0700), 0);
            // Every page has one link of its own; the split copy of one run
            // taken by another would show as a wrong or a missing link.
            for (int p = 0; p < kPages; ++p) {
                const QByteArray name = QByteArray::number(r) + "-" + QByteArray::number(p);
                WriteFileBytes(run->directory + "/" + name + ".html",
                               "<a href=\"http://127.0.0.1/" + name + "\">" + name + "</a>.");
            }
            QStringList arguments{
                QStringLiteral("--all-files"),
                QString::fromLocal8Bit(run->directory + "/" + QByteArray::number(r) + "-0.html")};
            if (listLinks)
                arguments.prepend(QStringLiteral("--list-links"));
            else
                arguments << QStringLiteral("--http-port")
                          << QString::fromLatin1(server.portText());
            run->process.start(QStringLiteral(VANTREL_CHECK_PATH), arguments);
            runs.push_back(std::move(run));
        }
        for (const std::unique_ptr<Run> &run : runs) {
            ASSERT_TRUE(run->process.waitForFinished(120000));
            const QByteArray out = run->process.readAllStandardOutput();
            EXPECT_EQ(run->process.exitCode(), 0)
                << run->process.readAllStandardError().constData();
            for (int p = 0; p < kPages; ++p) {
                const QByteArray name = run->directory.right(1) + "-" + QByteArray::number(p);
                const QByteArray path = run->directory + "/" + name + ".html";
                const QByteArray expected =
                    listLinks
                        ? path + "\thttp://127.0.0.1/" + name + "\t" + name + "\t1\texternal\n"
                        : ">Results for " + path + ": URLs tested: 1. URL errors: 0.\r\n";
                EXPECT_TRUE(out.contains(expected)) << expected.constData();
            }
        }
    }
}

} // namespace
