#include <signal.h>
#include <unistd.h>

#include <QProcess>

#include <gtest/gtest.h>

#include "checkprocess.h"
#include "runcheck.h"
#include "settings/regsettings.h"
#include "settings/settingsstartup.h"
#include "support/filesizelimit.h"
#include "support/freeloopbackaddress.h"
#include "support/loopbackserver.h"
#include "support/temphome.h"

namespace {

class CheckRunTest : public testing::Test
{
protected:
    QByteArray Page(const QByteArray &name, const QByteArray &links)
    {
        const QByteArray path = home.file(name);
        WriteFileBytes(path, links + ".");
        return path;
    }
    QList<QByteArray> Args(std::initializer_list<QByteArray> extra)
    {
        QList<QByteArray> arguments{"--http-port",     server.portText(), "--ftp-port",
                                    server.portText(), "--timeout",       "1"};
        arguments.append(QList<QByteArray>(extra));
        return arguments;
    }

    TempHome home;
    LoopbackServer server;
};

TEST_F(CheckRunTest, ExitStatusTellsWhetherAnythingWasReported)
{
    server.setReply("/missing", LoopbackReply::Status("HTTP/1.0 404 Not Found"));
    const QByteArray good = Page("good.html", "<a href=\"http://127.0.0.1/ok\">ok</a>");
    const QByteArray bad = Page("bad.html", "<a href=\"http://127.0.0.1/missing\">m</a>");

    const CheckResult clean = RunCheck(Args({good}));
    EXPECT_EQ(clean.exitCode, 0) << clean.err.constData();
    EXPECT_TRUE(clean.out.startsWith("Start of test "));
    EXPECT_TRUE(
        clean.out.contains(">Results for " + good + ": URLs tested: 1. URL errors: 0.\r\n"));

    const CheckResult reported = RunCheck(Args({bad}));
    EXPECT_EQ(reported.exitCode, 1);
    EXPECT_TRUE(reported.out.contains("\"http://127.0.0.1/missing\" >m<\r\n"
                                      "*Reason for Failure: HTTP Code 404 Not Found\r\n"));

    const CheckResult missing = RunCheck(Args({home.file("none.html")}));
    EXPECT_EQ(missing.exitCode, 2);
    EXPECT_EQ(missing.err, QByteArray("The chosen file does not exist\n"));
    EXPECT_TRUE(missing.out.isEmpty());

    EXPECT_EQ(RunCheck({"--timeout", "0", good}).exitCode, 2);
    EXPECT_EQ(RunCheck({"--filter", "0101", good}).exitCode, 2);
    EXPECT_EQ(RunCheck({"--hawk", "--one-eye", good}).exitCode, 2);
}

TEST_F(CheckRunTest, OptionsOverrideTheStoredSettingsForOneRunOnly)
{
    server.setReply("/missing", LoopbackReply::Status("HTTP/1.0 404 Not Found"));
    {
        const std::unique_ptr<CRegSettings> settings = StartSettingsStore();
        settings->WriteString("Settings", "Filter", QByteArray(21, '0'));
        settings->WriteInt("Settings", "Timeout", 40);
    }
    const QByteArray page = Page("p.html", "<a href=\"http://127.0.0.1/missing\">m</a>");
    EXPECT_EQ(RunCheck(Args({page})).exitCode, 0) << "the stored filter reports nothing";
    EXPECT_EQ(RunCheck(Args({"--hawk", page})).exitCode, 1);
    EXPECT_EQ(RunCheck(Args({"--filter", "000000000010000000000", page})).exitCode, 1);

    const std::unique_ptr<CRegSettings> settings = StartSettingsStore();
    EXPECT_EQ(settings->ReadString("Settings", "Filter", ""), QByteArray(21, '0'));
    EXPECT_EQ(settings->ReadInt("Settings", "Timeout", 0), 40);
}

TEST_F(CheckRunTest, ReportFileAndPaceGiveTheSameReport)
{
    server.setReply("/missing", LoopbackReply::Status("HTTP/1.0 404 Not Found"));
    const QByteArray page = Page("p.html", "<a href=\"http://127.0.0.1/missing\">m</a>"
                                           "<a href=\"http://127.0.0.1/ok\">ok</a>"
                                           "<a href=\"ftp://127.0.0.1/\">f</a>");
    const QByteArray reportFile = home.file("report.txt");
    const CheckResult fast = RunCheck(Args({"--report", reportFile, page}));
    const CheckResult paced = RunCheck(Args({"--poll-ms", "100", page}));
    const auto withoutDates = [](QByteArray report) {
        QList<QByteArray> lines = report.split('\n');
        lines.removeIf([](const QByteArray &line) {
            return line.startsWith("Start of test ") || line.startsWith("End of test: ");
        });
        return lines.join('\n');
    };
    EXPECT_EQ(fast.exitCode, 1);
    EXPECT_EQ(ReadFileBytes(reportFile), fast.out);
    EXPECT_EQ(withoutDates(paced.out), withoutDates(fast.out));
    EXPECT_TRUE(fast.out.contains("\"ftp://127.0.0.1/\" >f<\r\n*Reason for Failure: Host Took Too "
                                  "Long to Respond\r\n"))
        << "an http server stays silent to an ftp client";
}

TEST_F(CheckRunTest, AReportThatCannotBeWrittenGivesStatus2)
{
    server.setReply("/missing", LoopbackReply::Status("HTTP/1.0 404 Not Found"));
    const QByteArray page = Page("p.html", "<a href=\"http://127.0.0.1/missing\">m</a>");

    // --report naming a directory: the report still goes to standard output.
    const CheckResult toDirectory = RunCheck(Args({"--report", home.path(), page}));
    EXPECT_EQ(toDirectory.exitCode, 2);
    EXPECT_TRUE(toDirectory.err.contains(home.path())) << toDirectory.err.constData();
    EXPECT_TRUE(toDirectory.out.contains("*Reason for Failure: HTTP Code 404 Not Found"));

    // Standard output on a full disk.
    QProcess full;
    full.setStandardOutputFile(QStringLiteral("/dev/full"));
    QStringList arguments;
    for (const QByteArray &argument : Args({page}))
        arguments.append(QString::fromLocal8Bit(argument));
    full.start(QStringLiteral(VANTREL_CHECK_PATH), arguments);
    ASSERT_TRUE(full.waitForFinished(60000));
    EXPECT_EQ(full.exitCode(), 2);
    EXPECT_TRUE(full.readAllStandardError().contains("cannot write the report"));
}

TEST_F(CheckRunTest, AFilterResetThatCannotBeStoredIsToldAndGivesStatus2)
{
    const QByteArray page = Page("p.html", "<a href=\"http://127.0.0.1/ok\">ok</a>");
    {
        const std::unique_ptr<CRegSettings> settings = StartSettingsStore();
        settings->WriteString("Settings", "Filter", "0101");
        // A long remembered path makes the settings file larger than the limit.
        settings->WriteString("FileSel", "Starter", QByteArray(5000, 'p'));
    }
    CheckResult result;
    {
        // Inherited by vantrel-check: the settings file cannot be rewritten.
        const FileSizeLimit limit(4096);
        result = RunCheck(Args({page}));
    }
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_EQ(result.err, QByteArray("Setting Filter Codes to Safe Default\n"
                                     "vantrel-check: The setting \"Filter\" in section "
                                     "\"Settings\" could not be stored: File too large\n"));
    EXPECT_TRUE(result.out.contains(">Results for " + page + ": URLs tested: 1. URL errors: 0."))
        << "the run goes on under the safe default";
    EXPECT_EQ(StartSettingsStore()->ReadString("Settings", "Filter", ""), "0101");
}

TEST_F(CheckRunTest, InterruptStopsTheRunLikeStopTest)
{
    server.setReply(LoopbackReply::Of(LoopbackReply::Kind::Silent));
    const QByteArray page = Page("p.html", "<a href=\"http://127.0.0.1/slow\">slow</a>"
                                           "<a href=\"http://127.0.0.1/next\">next</a>");
    QProcess process;
    QStringList arguments{QStringLiteral("--http-port"), QString::fromLatin1(server.portText()),
                          QStringLiteral("--timeout"), QStringLiteral("30"),
                          QString::fromLocal8Bit(page)};
    process.start(QStringLiteral(VANTREL_CHECK_PATH), arguments);
    ASSERT_TRUE(process.waitForStarted());
    ASSERT_TRUE(server.waitForRequests(1));
    kill(static_cast<pid_t>(process.processId()), SIGINT);
    ASSERT_TRUE(process.waitForFinished(10000));
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 130);
    const QByteArray out = process.readAllStandardOutput();
    EXPECT_TRUE(out.endsWith("<Testing: " + page + "\r\nTesting Stopped by User\r\n"))
        << out.constData();
}

TEST_F(CheckRunTest, ProgressLineShowsOnlyOnATerminal)
{
    server.setReply(LoopbackReply::Split("HTTP/1.0 200 OK", std::chrono::milliseconds(300)));
    server.setReply("/b", LoopbackReply::Of(LoopbackReply::Kind::Silent));
    const QByteArray page = Page("p.html", "<a href=\"http://127.0.0.1/a\">a</a>"
                                           "<a href=\"http://127.0.0.1/b\">b</a>");
    CheckProcess check(Args({page}), {});
    ASSERT_TRUE(check.Started());
    check.WaitForExit();
    const QByteArray terminal = check.Terminal();
    EXPECT_TRUE(terminal.contains("File 1 of 1, link 1 of 2: http://127.0.0.1/a"))
        << terminal.constData();
    EXPECT_TRUE(terminal.contains("link 2 of 2: http://127.0.0.1/b"));
    EXPECT_TRUE(terminal.contains("| GET method sent to host")) << "shown while a host is silent";
    EXPECT_TRUE(terminal.endsWith("\r\033[K") || terminal.endsWith("\a")) << "the line is cleared";

    const CheckResult piped = RunCheck(Args({page}));
    EXPECT_TRUE(piped.err.isEmpty()) << piped.err.constData();
}

TEST_F(CheckRunTest, TheBellRingsOnlyWhenAskedFor)
{
    server.setReply(LoopbackReply::Status("HTTP/1.1 418 Teapot"));
    const QByteArray page = Page("p.html", "<a href=\"http://127.0.0.1/odd\">odd</a>");
    for (const bool beep : {false, true}) {
        QList<QByteArray> arguments = Args({page});
        if (beep)
            arguments.prepend("--beep");
        CheckProcess check(arguments, {});
        ASSERT_TRUE(check.Started());
        EXPECT_EQ(check.WaitForExit(), 1);
        // Where the desktop program beeps: a reply code outside the table,
        // and the end of the run.
        EXPECT_EQ(check.Terminal().count('\a'), beep ? 2 : 0)
            << (beep ? "--beep" : "silent") << check.Terminal().constData();
    }
}

TEST(CheckEndToEndTest, RunAgainstHostsOnThePortsOfTheWeb)
{
    // Addresses whose port 80 or 21 nothing else on the machine holds.
    QList<QByteArray> taken;
    QByteArray why;
    const auto web =
        ServeOnFreeLoopbackAddress(LoopbackReply::Status("HTTP/1.0 200 OK"), 80, &taken, &why);
    const auto ftp = ServeOnFreeLoopbackAddress(LoopbackReply::Ftp(), 21, &taken, &why);
    const auto silent = ServeOnFreeLoopbackAddress(LoopbackReply::Of(LoopbackReply::Kind::Silent),
                                                   80, &taken, &why);
    const QByteArray noFtp = LoopbackAddressWithClosedPort(21, &taken);
    if (!web || !ftp || !silent || noFtp.isEmpty())
        GTEST_SKIP() << "no loopback address with port 80 or 21 free: " << why.constData();
    web->setReply("/gone?x=1", LoopbackReply::Status("HTTP/1.1 404 Not Found"));
    web->setReply("/odd", LoopbackReply::Status("HTTP/1.1 418 Teapot"));
    const QByteArray webHost = web->address();

    TempHome home;
    const QByteArray page = home.file("site.html");
    const QList<QByteArray> links{
        "<A HREF=\"http://" + webHost + "/\">home</A>",
        "<a href=\"http://" + webHost + "/gone?x=1#part\">gone</a>",
        "<a href=\"http://" + webHost + "/odd\"></a>",
        "<a href=\"ftp://" + ftp->address() + "/pub\">files</a>",
        "<a href=\"ftp://" + noFtp + "/\">no ftp</a>",
        "<a href=\"http://" + silent->address() + "/\">silent</a>",
        "<a href=\"http://no-such-host.invalid/\">nowhere</a>",
    };
    WriteFileBytes(page, links.join('\n') + '\n');
    const CheckResult result = RunCheck({"--timeout", "1", page});
    EXPECT_EQ(result.exitCode, 1);
    const qsizetype body = result.out.indexOf("\r\n\r\n") + 4;
    const qsizetype end = result.out.lastIndexOf("End of test: ");
    EXPECT_EQ(result.out.mid(body, end - body).toStdString(),
              ("<Testing: " + page + "\r\n\"http://" + webHost +
               "/gone?x=1#part\" >gone<\r\n"
               "*Reason for Failure: HTTP Code 404 Not Found\r\n\"http://" +
               webHost +
               "/odd\" >Vantrel supplied this anchor name<\r\n"
               "*Reason for Failure: --------------> UNKNOWN REASON !!!!!\r\n\"ftp://" +
               noFtp +
               "/\" >no ftp<\r\n"
               "*Reason for Failure: Can't Connect to Host\r\n\"http://" +
               silent->address() +
               "/\" >silent<\r\n"
               "*Reason for Failure: Host Took Too Long to Respond\r\n"
               "\"http://no-such-host.invalid/\" >nowhere<\r\n"
               "*Reason for Failure: Can't Find Named Host\r\n"
               ">Results for " +
               page + ": URLs tested: 7. URL errors: 5.\r\n\r\n")
                  .toStdString());
    EXPECT_EQ(web->requests(),
              (QList<QByteArray>{"GET / HTTP/1.0\r\nHost: " + webHost + "\r\n\r\n",
                                 "GET /gone?x=1 HTTP/1.0\r\nHost: " + webHost + "\r\n\r\n",
                                 "GET /odd HTTP/1.0\r\nHost: " + webHost + "\r\n\r\n"}));
}

} // namespace
