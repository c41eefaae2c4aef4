#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>

#include <gtest/gtest.h>

#include "enginetestsupport.h"
#include "support/filesizelimit.h"
#include "support/loopbackserver.h"

namespace {

const QByteArray kStart = QByteArray("Start of test ") + kTestDate + "\r\n\r\n";
const QByteArray kEnd = QByteArray("End of test: ") + kTestDate + "\r\n\r\n";
const QByteArray kLink = "<a href=\"http://127.0.0.1/\">x</a>.";

QByteArray Scanned(const QByteArray &path)
{
    return "<Testing: " + path + "\r\n>Results for " + path +
           ": URLs tested: 1. URL errors: 0.\r\n\r\n";
}

// A directory run of three pages with one link each, whose second page (in
// the order of the walk) cannot be scanned: the other two are reported as
// ever, the second is named with the reason instead of passing for a page
// without links, and the run goes on.
TEST(TestEngineScanTest, APageThatCannotBeScannedIsNamedAndTheRunGoesOn)
{
    struct Case
    {
        const char *what;
        const char *why;
        // Spoils the page after the walk has queued it.
        std::function<void(const QByteArray &page, std::vector<int> &keep)> spoil;
        rlim_t fileSizeLimit;
    };
    const std::vector<Case> cases = {
        {"replaced by a pipe with a silent writer", "it is not a regular file",
         [](const QByteArray &page, std::vector<int> &keep) {
             ASSERT_EQ(unlink(page.constData()), 0);
             ASSERT_EQ(mkfifo(page.constData(), 0600), 0);
             keep.push_back(open(page.constData(), O_RDWR | O_CLOEXEC));
         },
         RLIM_INFINITY},
        {"too big for the space left", "urltmp~2 cannot be written (File too large)",
         [](const QByteArray &page, std::vector<int> &) {
             WriteFileBytes(page, kLink + QByteArray(8192, 'x') + kLink);
         },
         4096},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        LoopbackServer server(LoopbackReply::Status("HTTP/1.0 200 OK"));
        ASSERT_TRUE(server.isListening());
        EngineHarness h({server.portText(), server.portText()});
        ASSERT_EQ(mkdir(h.home.file("site").constData(), 0700), 0);
        for (const char *name : {"site/a.html", "site/b.html", "site/c.html"})
            h.Html(name, kLink);
        h.engine->StartTest(h.home.file("site/a.html"), false, true);
        const QList<QByteArray> files = h.engine->QueuedFiles();
        ASSERT_EQ(files.size(), 3);
        std::vector<int> keep;
        c.spoil(files[1], keep);
        {
            FileSizeLimit limit(c.fileSizeLimit);
            h.RunToEnd();
        }
        for (int fd : keep)
            close(fd);

        ASSERT_EQ(h.ui.scanFailures.size(), 1);
        const QByteArray failure = h.ui.scanFailures.first();
        EXPECT_TRUE(failure.startsWith(files[1] + ": ")) << failure.constData();
        EXPECT_TRUE(failure.endsWith(c.why)) << failure.constData();
        const QByteArray why = failure.mid(files[1].size() + 2);
        EXPECT_EQ(h.ui.report.toStdString(),
                  (kStart + Scanned(files[0]) + "Could not scan " + files[1] +
                   " for links: " + why + "\r\n\r\n" + Scanned(files[2]) + kEnd)
                      .toStdString());
        EXPECT_EQ(h.ui.progress.m_ctlFileProgress.pos, 2) << "the page counts as taken up";
        EXPECT_EQ(server.requests().size(), 2) << "no link of the spoilt page is probed";
    }
}

TEST(TestEngineScanTest, AWorkFileThatCannotTakeItsPlaceFailsTheScanAndLeavesNoTrace)
{
    EngineHarness h;
    const QByteArray workFile = h.home.file("urltmp~2");
    ASSERT_EQ(mkdir(workFile.constData(), 0700), 0);
    const QByteArray page = h.Html("p.html", kLink);
    h.engine->StartTest(page, false, false);
    h.RunToEnd();

    const QByteArray why = "the work file " + workFile + " cannot be created (Is a directory)";
    EXPECT_EQ(h.ui.report,
              kStart + "Could not scan " + page + " for links: " + why + "\r\n\r\n" + kEnd);
    EXPECT_EQ(h.ui.scanFailures, QList<QByteArray>{page + ": " + why});
    EXPECT_TRUE(h.ui.messages.isEmpty()) << "the window decides how to show it";
    EXPECT_FALSE(h.engine->IsRunning());
    EXPECT_EQ(h.engine->ReportedInRun(), 0);
    struct stat info
    {};
    ASSERT_EQ(stat(workFile.constData(), &info), 0);
    EXPECT_TRUE(S_ISDIR(info.st_mode)) << "what stood in the way stays";
    EXPECT_EQ(QDir(QString::fromLocal8Bit(h.home.path()))
                  .entryList({QStringLiteral("urltmp~2.*")}, QDir::AllEntries | QDir::Hidden),
              QStringList())
        << "the split copy written beside it is gone";
}

} // namespace
