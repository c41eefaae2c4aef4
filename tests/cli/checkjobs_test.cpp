#include <gtest/gtest.h>

#include "cli/checkoptions.h"
#include "runcheck.h"
#include "settings/regsettings.h"
#include "settings/settingsstartup.h"
#include "support/loopbackserver.h"
#include "support/temphome.h"

namespace {

TEST(CheckJobsOptionsTest, JobsAndPerHostAreCountsForARun)
{
    const ParsedCheckOptions parsed =
        ParseCheckOptions({"--jobs", "40", "--per-host=6", "/w/a.html"});
    ASSERT_TRUE(parsed.error.isEmpty()) << parsed.error.toStdString();
    EXPECT_EQ(parsed.options.jobs, 40);
    EXPECT_EQ(parsed.options.perHost, 6);
    EXPECT_FALSE(ParseCheckOptions({"/w/a.html"}).options.jobs.has_value());

    const QList<QList<QByteArray>> bad = {
        {"--jobs", "0", "a.html"},
        {"--jobs", "-3", "a.html"},
        {"--jobs", "many", "a.html"},
        {"--jobs", "10001", "a.html"},
        {"--per-host", "0", "a.html"},
        {"--jobs", "a.html"},
        {"--list-links", "--jobs", "4", "a.html"},
        {"--export", "text", "--output", "o.txt", "--per-host", "2", "r.txt"},
    };
    for (const QList<QByteArray> &arguments : bad)
        EXPECT_FALSE(ParseCheckOptions(arguments).error.isEmpty())
            << arguments.join(' ').constData();
}

// The report without its two lines that carry the time of day.
QByteArray Undated(const QByteArray &report)
{
    QList<QByteArray> lines = report.split('\n');
    lines.removeIf([](const QByteArray &line) {
        return line.startsWith("Start of test ") || line.startsWith("End of test: ");
    });
    return lines.join('\n');
}

const LoopbackReply kSlow =
    LoopbackReply::Delayed("HTTP/1.0 404 Not Found", std::chrono::milliseconds(200));

class CheckJobsTest : public testing::Test
{
protected:
    void SetUp() override
    {
        QByteArray html;
        for (int i = 0; i < 12; ++i)
            html += "<a href=\"http://127.0.0.1/" + QByteArray::number(i) + "\">" +
                    QByteArray::number(i) + "</a>\n";
        page = home.file("page.html");
        WriteFileBytes(page, html);
    }
    // A run against a server of its own, whose peak of requests waiting at
    // once tells how many links were tested at once.
    CheckResult Run(const QList<QByteArray> &extra, int *peak = nullptr, long openFileLimit = 0)
    {
        LoopbackServer server(kSlow);
        EXPECT_TRUE(server.isListening());
        QList<QByteArray> arguments{"--http-port", server.portText(), "--timeout", "5"};
        arguments += extra;
        arguments += page;
        const CheckResult result = RunCheck(arguments, {}, openFileLimit);
        if (peak != nullptr)
            *peak = server.peakWaiting();
        return result;
    }

    TempHome home;
    QByteArray page;
};

// By default vantrel-check tests many links at once; --jobs 1, or a stored
// "CheckJobs" of 1, tests them one at a time. The report is the same.
TEST_F(CheckJobsTest, ManyAtOnceByDefaultOneAtATimeWhenAskedAndTheSameReport)
{
    int peak = 0;
    const CheckResult one = Run({"--jobs", "1"}, &peak);
    ASSERT_EQ(one.exitCode, 1) << one.err.constData();
    EXPECT_EQ(one.out.count("*Reason for Failure: HTTP Code 404 Not Found"), 12);
    EXPECT_EQ(peak, 1);

    const CheckResult many = Run({}, &peak);
    EXPECT_EQ(many.exitCode, 1);
    EXPECT_EQ(Undated(many.out), Undated(one.out));
    EXPECT_GT(peak, 1);

    const CheckResult perHost = Run({"--jobs", "20", "--per-host", "3"}, &peak);
    EXPECT_EQ(Undated(perHost.out), Undated(one.out));
    EXPECT_LE(peak, 3);
    EXPECT_GT(peak, 1);

    StartSettingsStore()->WriteInt("Settings", "CheckJobs", 1);
    const CheckResult stored = Run({"--per-host", "7"}, &peak);
    EXPECT_EQ(Undated(stored.out), Undated(one.out));
    EXPECT_EQ(peak, 1) << "the stored setting holds";
}

// Close to the limit of open files vantrel-check tests fewer links at once
// than asked, says so, and the report stays complete.
TEST_F(CheckJobsTest, JobsStayWellBelowTheLimitOfOpenFiles)
{
    const CheckResult run = Run({"--jobs", "500"}, nullptr, 128);
    EXPECT_EQ(run.exitCode, 1) << run.err.constData();
    EXPECT_EQ(run.err, QByteArray("vantrel-check: testing 32 links at once, not 500: more would "
                                  "come too near the limit of open files (ulimit -n)\n"));
    EXPECT_EQ(run.out.count("*Reason for Failure: HTTP Code 404 Not Found"), 12);
    EXPECT_FALSE(run.out.contains("Can't Establish Socket"));
}

} // namespace
