#include <fcntl.h>
#include <pty.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QProcess>

#include <gtest/gtest.h>

#include "runcheck.h"
#include "settings/regsettings.h"
#include "settings/settingsstartup.h"
#include "support/loopbackserver.h"
#include "support/temphome.h"

extern char **environ;

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

// Runs vantrel-check with its standard error on a pseudo-terminal and returns
// what the terminal received.
QByteArray RunOnTerminal(const QList<QByteArray> &arguments)
{
    int master = -1;
    int slave = -1;
    winsize size{};
    size.ws_col = 200;
    size.ws_row = 24;
    if (openpty(&master, &slave, nullptr, nullptr, &size) != 0)
        return {};
    std::vector<QByteArray> storage{VANTREL_CHECK_PATH};
    storage.insert(storage.end(), arguments.begin(), arguments.end());
    std::vector<char *> argv;
    for (QByteArray &argument : storage)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, slave, STDERR_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(slave);
    QByteArray received;
    if (spawned == 0) {
        char buffer[4096];
        for (ssize_t got; (got = read(master, buffer, sizeof buffer)) > 0;)
            received.append(buffer, got);
        waitpid(pid, nullptr, 0);
    }
    close(master);
    return received;
}

TEST_F(CheckRunTest, ProgressLineShowsOnlyOnATerminal)
{
    server.setReply(LoopbackReply::Split("HTTP/1.0 200 OK", std::chrono::milliseconds(300)));
    server.setReply("/b", LoopbackReply::Of(LoopbackReply::Kind::Silent));
    const QByteArray page = Page("p.html", "<a href=\"http://127.0.0.1/a\">a</a>"
                                           "<a href=\"http://127.0.0.1/b\">b</a>");
    const QByteArray terminal = RunOnTerminal(Args({page}));
    EXPECT_TRUE(terminal.contains("File 1 of 1, link 1 of 2: http://127.0.0.1/a"))
        << terminal.constData();
    EXPECT_TRUE(terminal.contains("link 2 of 2: http://127.0.0.1/b"));
    EXPECT_TRUE(terminal.contains("| GET method sent to host")) << "shown while a host is silent";
    EXPECT_TRUE(terminal.endsWith("\r\033[K") || terminal.endsWith("\a")) << "the line is cleared";

    const CheckResult piped = RunCheck(Args({page}));
    EXPECT_TRUE(piped.err.isEmpty()) << piped.err.constData();
}

TEST(CheckEndToEndTest, RunAgainstHostsOnThePortsOfTheWeb)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "binding 127.0.0.x port 80 and port 21 needs root";
    LoopbackServer web(LoopbackReply::Status("HTTP/1.0 200 OK"), "127.0.0.2", 80);
    LoopbackServer ftp(LoopbackReply::Ftp(), "127.0.0.3", 21);
    LoopbackServer silent(LoopbackReply::Of(LoopbackReply::Kind::Silent), "127.0.0.4", 80);
    for (const LoopbackServer *server : {&web, &ftp, &silent})
        ASSERT_TRUE(server->isListening()) << server->errorText().constData();
    web.setReply("/gone?x=1", LoopbackReply::Status("HTTP/1.1 404 Not Found"));
    web.setReply("/odd", LoopbackReply::Status("HTTP/1.1 418 Teapot"));

    TempHome home;
    const QByteArray page = home.file("site.html");
    WriteFileBytes(page, "<A HREF=\"http://127.0.0.2/\">home</A>\n"
                         "<a href=\"http://127.0.0.2/gone?x=1#part\">gone</a>\n"
                         "<a href=\"http://127.0.0.2/odd\"></a>\n"
                         "<a href=\"ftp://127.0.0.3/pub\">files</a>\n"
                         "<a href=\"ftp://127.0.0.5/\">no ftp</a>\n"
                         "<a href=\"http://127.0.0.4/\">silent</a>\n"
                         "<a href=\"http://no-such-host.invalid/\">nowhere</a>\n");
    const CheckResult result = RunCheck({"--timeout", "1", page});
    EXPECT_EQ(result.exitCode, 1);
    const qsizetype body = result.out.indexOf("\r\n\r\n") + 4;
    const qsizetype end = result.out.lastIndexOf("End of test: ");
    EXPECT_EQ(result.out.mid(body, end - body).toStdString(),
              ("<Testing: " + page +
               "\r\n"
               "\"http://127.0.0.2/gone?x=1#part\" >gone<\r\n"
               "*Reason for Failure: HTTP Code 404 Not Found\r\n"
               "\"http://127.0.0.2/odd\" >Vantrel supplied this anchor name<\r\n"
               "*Reason for Failure: --------------> UNKNOWN REASON !!!!!\r\n"
               "\"ftp://127.0.0.5/\" >no ftp<\r\n"
               "*Reason for Failure: Can't Connect to Host\r\n"
               "\"http://127.0.0.4/\" >silent<\r\n"
               "*Reason for Failure: Host Took Too Long to Respond\r\n"
               "\"http://no-such-host.invalid/\" >nowhere<\r\n"
               "*Reason for Failure: Can't Find Named Host\r\n"
               ">Results for " +
               page + ": URLs tested: 7. URL errors: 5.\r\n\r\n")
                  .toStdString());
    EXPECT_EQ(web.requests(),
              (QList<QByteArray>{"GET / HTTP/1.0\r\n\r\n", "GET /gone?x=1 HTTP/1.0\r\n\r\n",
                                 "GET /odd HTTP/1.0\r\n\r\n"}));
}

} // namespace
