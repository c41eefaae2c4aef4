#include <sys/stat.h>
#include <unistd.h>
#include <utility>

#include <QDir>
#include <QFile>
#include <QProcess>

#include <gtest/gtest.h>

#include "runcheck.h"
#include "settings/regsettings.h"
#include "settings/settingsstartup.h"
#include "support/loopbackserver.h"
#include "support/temphome.h"

namespace {

class ReportCommandsTest : public testing::Test
{
protected:
    void SetUp() override
    {
        page = home.file("index.html");
        WriteFileBytes(page, "<a href=\"http://127.0.0.1/gone\">Gone</a>\n<p>kept</p>\n");
        report = "Start of test NOW\r\n\r\n<Testing: " + page +
                 "\r\n\"http://127.0.0.1/gone\" >Gone & <b><\r\n"
                 "*Reason for Failure: HTTP Code 404 Not Found\r\n>Results for " +
                 page + ": URLs tested: 1. URL errors: 1.\r\n\r\nEnd of test: NOW\r\n\r\n";
        reportPath = home.file("report.txt");
        WriteFileBytes(reportPath, report);
    }

    TempHome home;
    QByteArray page;
    QByteArray report;
    QByteArray reportPath;
};

TEST_F(ReportCommandsTest, ExportReplacesAnExistingFileOnlyWithForce)
{
    const QByteArray out = home.file("out.txt");
    const CheckResult first = RunCheck({"--export", "text", "--output", out, reportPath});
    EXPECT_EQ(first.exitCode, 0) << first.err.constData();
    EXPECT_EQ(ReadFileBytes(out), report);

    WriteFileBytes(out, "keep me");
    const CheckResult refused = RunCheck({"--export", "html", "--output", out, reportPath});
    EXPECT_EQ(refused.exitCode, 2);
    EXPECT_EQ(refused.err,
              "vantrel-check: " + out + " already exists; use --force to replace it\n");
    EXPECT_EQ(ReadFileBytes(out), QByteArray("keep me"));

    // An export that cannot be written names the path and the reason.
    const std::pair<QByteArray, QByteArray> unwritable[] = {
        {home.file("no-dir/out.html"), "No such file or directory"},
        {home.path(), ""},
    };
    for (const auto &[path, reason] : unwritable) {
        const CheckResult failed =
            RunCheck({"--export", "html", "--output", path, "--force", reportPath});
        EXPECT_EQ(failed.exitCode, 2) << path.constData();
        EXPECT_TRUE(failed.err.startsWith("vantrel-check: " + path + " cannot be written: "))
            << failed.err.constData();
        EXPECT_TRUE(failed.err.endsWith(reason + "\n")) << failed.err.constData();
    }

    const CheckResult forced =
        RunCheck({"--export", "html", "--output", out, "--force", reportPath});
    EXPECT_EQ(forced.exitCode, 0);
    EXPECT_TRUE(
        ReadFileBytes(out).contains("<li><a href=\"http://127.0.0.1/gone\">Gone &amp; "
                                    "&lt;b&gt;</a> Reason for Failure: HTTP Code 404 Not Found"));

    const std::unique_ptr<CRegSettings> settings = StartSettingsStore();
    EXPECT_EQ(settings->ReadString("XportSel", "Starter", "unset"), QByteArray("unset"))
        << "the terminal front end remembers no export choice";

    EXPECT_EQ(RunCheck({"--export", "text", "--output", out, home.file("none.txt")}).exitCode, 2);
    EXPECT_EQ(RunCheck({"--export", "pdf", "--output", out, reportPath}).exitCode, 2);
    EXPECT_EQ(RunCheck({"--export", "text", reportPath}).exitCode, 2) << "no --output";
}

TEST_F(ReportCommandsTest, RepairRewritesTheNamedFilesAndSaysHowItWent)
{
    const CheckResult replaced = RunCheck({"--repair", "replace", reportPath});
    EXPECT_EQ(replaced.exitCode, 0);
    EXPECT_EQ(replaced.err, QByteArray("All URL repairs completed\n"));
    EXPECT_EQ(
        ReadFileBytes(page),
        QByteArray("<a href=\"index.html\">Gone</a><!--http://127.0.0.1/gone-->\n<p>kept</p>\n"));
    EXPECT_EQ(ReadFileBytes(home.file("index.bak")),
              QByteArray("<a href=\"http://127.0.0.1/gone\">Gone</a>\n<p>kept</p>\n"));
    const std::unique_ptr<CRegSettings> settings = StartSettingsStore();
    EXPECT_EQ(settings->ReadInt("Repair", "Type", -1), -1) << "the type is not remembered";

    WriteFileBytes(reportPath, "<Testing: " + home.file("missing.html") + "\r\n>Results\r\n");
    const CheckResult failed = RunCheck({"--repair", "disable", reportPath});
    EXPECT_EQ(failed.exitCode, 1);
    EXPECT_EQ(failed.err, "The URL repair did not succeed\n\nThe file\n" +
                              home.file("missing.html") +
                              "\ncould not be repaired: it cannot be read (No such file or "
                              "directory).\nIt and the files after it in the report were left as "
                              "they were.\n");
}

TEST_F(ReportCommandsTest, RepairExitsWithOneWhenALinkIsLeftAsItWas)
{
    WriteFileBytes(reportPath,
                   QByteArray(report).replace("\r\n>Results", "\r\n\"http://127.0.0.1/"
                                                              "elsewhere\" >x<\r\n>Results"));
    const CheckResult result = RunCheck({"--repair", "disable", reportPath});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.err, "The URL repair did not succeed\n\nWe looked in file\n" + page +
                              "\nbut could not file the URL\nhttp://127.0.0.1/elsewhere\n");
    EXPECT_EQ(ReadFileBytes(page),
              QByteArray("<!--<a href=\"http://127.0.0.1/gone\">Gone</a>-->\n<p>kept</p>\n"))
        << "the other link of the file is repaired";
}

// A dry run prints the diff that a real repair then makes, and touches nothing.
TEST_F(ReportCommandsTest, DryRunPrintsWhatTheRepairWouldChange)
{
    const QByteArray original = ReadFileBytes(page);
    const CheckResult dry = RunCheck({"--repair", "disable", "--dry-run", reportPath});
    EXPECT_EQ(dry.exitCode, 0) << dry.err.constData();
    EXPECT_EQ(dry.out, "--- " + page + "\n+++ " + page +
                           "\n@@ -1,2 +1,2 @@\n"
                           "-<a href=\"http://127.0.0.1/gone\">Gone</a>\n"
                           "+<!--<a href=\"http://127.0.0.1/gone\">Gone</a>-->\n"
                           " <p>kept</p>\n");
    EXPECT_EQ(ReadFileBytes(page), original);
    EXPECT_FALSE(QFile::exists(QString::fromLocal8Bit(home.file("index.bak"))));

    // patch(1) applies the diff to a copy; the real repair gives the same.
    const QByteArray copy = home.file("copy.html");
    WriteFileBytes(copy, original);
    QProcess patch;
    patch.start(QStringLiteral("patch"), {QStringLiteral("-s"), QString::fromLocal8Bit(copy)});
    if (!patch.waitForStarted())
        GTEST_SKIP() << "patch(1) is not installed";
    patch.write(dry.out);
    patch.closeWriteChannel();
    ASSERT_TRUE(patch.waitForFinished());
    EXPECT_EQ(patch.exitCode(), 0) << patch.readAllStandardError().constData();
    ASSERT_EQ(RunCheck({"--repair", "disable", reportPath}).exitCode, 0);
    EXPECT_EQ(ReadFileBytes(page), ReadFileBytes(copy));

    // Nothing left to change: no diff; a link not found: named, status 1.
    WriteFileBytes(reportPath,
                   QByteArray(report).replace("\r\n>Results", "\r\n\"http://127.0.0.1/"
                                                              "elsewhere\" >x<\r\n>Results"));
    const CheckResult again = RunCheck({"--repair", "replace", "--dry-run", reportPath});
    EXPECT_EQ(again.exitCode, 1);
    EXPECT_EQ(again.out, QByteArray());
    EXPECT_EQ(again.err, "We looked in file\n" + page +
                             "\nbut could not file the URL\nhttp://127.0.0.1/elsewhere\n");
}

TEST_F(ReportCommandsTest, UnknownCodesNeedAnAnswerBeforeARepair)
{
    const QByteArray unknown =
        report.replace("*Reason for Failure: HTTP Code 404 Not Found",
                       "*Reason for Failure: --------------> UNKNOWN REASON !!!!!");
    WriteFileBytes(reportPath, unknown);
    const QByteArray original = ReadFileBytes(page);

    const CheckResult refused = RunCheck({"--repair", "disable", reportPath});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_TRUE(refused.err.contains("--yes")) << refused.err.constData();
    EXPECT_EQ(ReadFileBytes(page), original);

    const CheckResult answered = RunCheck({"--repair", "disable", "--yes", reportPath});
    EXPECT_EQ(answered.exitCode, 0);
    EXPECT_EQ(ReadFileBytes(page),
              QByteArray("<!--<a href=\"http://127.0.0.1/gone\">Gone</a>-->\n<p>kept</p>\n"));
}

TEST_F(ReportCommandsTest, RetestProbesTheReportedLinksAgain)
{
    LoopbackServer server(LoopbackReply::Status("HTTP/1.0 404 Not Found"));
    ASSERT_TRUE(server.isListening());
    const CheckResult result = RunCheck({"--retest", reportPath, "--http-port", server.portText()});
    EXPECT_EQ(result.exitCode, 1) << result.err.constData();
    EXPECT_TRUE(
        result.out.contains("<Testing: " + page +
                            "\r\n\"http://127.0.0.1/gone\" >Gone &<\r\n"
                            "*Reason for Failure: HTTP Code 404 Not Found\r\n>Results for " +
                            page + ": URLs tested: 1. URL errors: 1.\r\n"))
        << result.out.constData();
    EXPECT_EQ(server.requests(),
              QList<QByteArray>{"GET /gone HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n"});
    EXPECT_EQ(RunCheck({"--retest", home.file("none.txt")}).exitCode, 2);
}

TEST_F(ReportCommandsTest, RetestsAtOnceInOneSystemDirectoryKeepTheirOwnWorkFiles)
{
    LoopbackServer server(LoopbackReply::Status("HTTP/1.0 404 Not Found"));
    ASSERT_TRUE(server.isListening());
    const auto reportOf = [this](const QByteArray &name) {
        const QByteArray path = home.file(name + ".txt");
        WriteFileBytes(path, "\"http://127.0.0.1/" + name + "\" >" + name +
                                 "<\r\n*Reason for Failure: HTTP Code 404 Not Found\r\n");
        return QString::fromLocal8Bit(path);
    };
    // The first re-test starts and waits a while before its first step; the
    // second one comes, runs and ends meanwhile.
    QProcess first;
    first.start(QStringLiteral(VANTREL_CHECK_PATH),
                {QStringLiteral("--poll-ms"), QStringLiteral("700"), QStringLiteral("--http-port"),
                 QString::fromLatin1(server.portText()), QStringLiteral("--retest"),
                 reportOf("first")});
    ASSERT_TRUE(first.waitForReadyRead(10000)) << "its start line";
    const CheckResult second =
        RunCheck({"--http-port", server.portText(), "--retest", reportOf("second").toLocal8Bit()});
    ASSERT_TRUE(first.waitForFinished(30000));

    const QByteArray firstOut = first.readAllStandardOutput();
    EXPECT_EQ(first.exitCode(), 1) << first.readAllStandardError().constData();
    EXPECT_TRUE(firstOut.contains("\"http://127.0.0.1/first\" >first<")) << firstOut.constData();
    EXPECT_FALSE(firstOut.contains("second"));
    EXPECT_EQ(second.exitCode, 1) << second.err.constData();
    EXPECT_TRUE(second.out.contains("\"http://127.0.0.1/second\" >second<"))
        << second.out.constData();
    EXPECT_FALSE(second.out.contains("first"));
    EXPECT_TRUE(QDir(QString::fromLocal8Bit(home.path()))
                    .entryList({QStringLiteral("urltmp~*")}, QDir::AllEntries | QDir::Hidden)
                    .isEmpty())
        << "each removes its own work files when it ends";
}

} // namespace

namespace {

TEST_F(ReportCommandsTest, ASavedReportThatIsADeviceOrAPipeIsRefusedWithoutWaiting)
{
    const QByteArray fifo = home.file("report.fifo");
    ASSERT_EQ(mkfifo(fifo.constData(), 0600), 0);
    const QByteArray out = home.file("out.txt");
    for (const QByteArray &notAReport : {QByteArray("/dev/zero"), fifo}) {
        for (const QList<QByteArray> &command :
             {QList<QByteArray>{"--retest", notAReport},
              QList<QByteArray>{"--export", "text", "--output", out, notAReport},
              QList<QByteArray>{"--repair", "disable", "--yes", notAReport}}) {
            const CheckResult result = RunCheck(command);
            EXPECT_EQ(result.exitCode, 2) << command.join(' ').constData();
            EXPECT_TRUE(result.err.contains("not a regular file")) << result.err.constData();
        }
    }
    EXPECT_FALSE(QFile::exists(QString::fromLocal8Bit(out)));
}

} // namespace
