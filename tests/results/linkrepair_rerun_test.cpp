#include "results/linkrepair.h"

#include <sys/wait.h>
#include <unistd.h>

#include <QDir>

#include <gtest/gtest.h>

#include "repairtestsupport.h"

namespace {

class RepairRerunTest : public testing::Test
{
protected:
    QByteArray Page(const QByteArray &name, const QByteArray &content)
    {
        const QByteArray path = home.file(name);
        WriteFileBytes(path, content);
        return path;
    }
    TempHome home;
};

const QByteArray kFirst = "<p>Links</p>\r\n"
                          "<a href=\"http://gone.example/\">http://gone.example/</a> and "
                          "<a href=\"http://dead.example/x\">dead</a>\r\n"
                          "<a href=\"http://fine.example/\">fine</a>\r\n";
const QByteArray kSecond = "<a href=\"http://gone.example/\">gone</a>\n";

TEST_F(RepairRerunTest, PageNamedInTwoRunsOfOneReportIsRepairedOnce)
{
    const QByteArray page = Page("twice.html", kFirst);
    ReportBuilder report;
    report.File(page).Link("http://gone.example/").Summary().Raw("End of test: NOW\r\n\r\n");
    report.File(page).Link("http://gone.example/").Link("http://dead.example/x").Summary();
    RepairRun run;
    RunRepair(run, report.Text(), REPAIR_DISABLE_LINE);
    EXPECT_TRUE(run.completed);
    EXPECT_EQ(ReadFileBytes(page),
              QByteArray("<p>Links</p>\r\n<!--<a href=\"http://gone.example/\">http://gone.example/"
                         "</a>--> and <!--<a href=\"http://dead.example/x\">dead</a>-->\r\n"
                         "<a href=\"http://fine.example/\">fine</a>\r\n"));
    EXPECT_EQ(ReadFileBytes(home.file("twice.bak")), kFirst);
}

TEST_F(RepairRerunTest, PagesThatWouldShareABackupKeepTheirOwnOriginals)
{
    const QByteArray htm = Page("index.htm", "<a href=\"http://one/\">1</a>\n");
    const QByteArray html = Page("index.html", "<a href=\"http://two/\">2</a>\n");
    const QByteArray bak = Page("old.bak", "<a href=\"http://three/\">3</a>\n");
    const QByteArray report = ReportBuilder()
                                  .File(htm)
                                  .Link("http://one/")
                                  .Summary()
                                  .File(html)
                                  .Link("http://two/")
                                  .Summary()
                                  .File(bak)
                                  .Link("http://three/")
                                  .Summary()
                                  .Text();
    for (int round = 0; round < 2; ++round) {
        RepairRun run;
        RunRepair(run, report, REPAIR_DISABLE_LINE);
        EXPECT_TRUE(run.completed);
    }
    QList<QByteArray> backups;
    for (const char *name : {"index.bak", "index.htm.bak", "index.html.bak"})
        backups.append(ReadFileBytes(home.file(name)));
    EXPECT_TRUE(backups.contains("<a href=\"http://one/\">1</a>\n"));
    EXPECT_TRUE(backups.contains("<a href=\"http://two/\">2</a>\n"));
    EXPECT_EQ(ReadFileBytes(html), QByteArray("<!--<a href=\"http://two/\">2</a>-->\n"));
    EXPECT_EQ(ReadFileBytes(htm), QByteArray("<!--<a href=\"http://one/\">1</a>-->\n"));
    EXPECT_EQ(ReadFileBytes(bak), QByteArray("<!--<a href=\"http://three/\">3</a>-->\n"))
        << "a page named like a backup is not its own backup";
    EXPECT_EQ(ReadFileBytes(home.file("old.bak.bak")),
              QByteArray("<a href=\"http://three/\">3</a>\n"));
}

// Links updated to where they moved stay updated through later repairs of
// the page, and its backup keeps the page from before the update throughout.
TEST_F(RepairRerunTest, AnUpdatedPageKeepsItsOriginalThroughLaterRepairs)
{
    const QByteArray original = "<a href=\"http://old.example/a\">moved</a> and\n"
                                "<a href='http://dead.example/x'>dead</a>\n";
    const QByteArray page = Page("moved.html", original);
    const QByteArray moved = ReportBuilder()
                                 .File(page)
                                 .Raw("\"http://old.example/a\" >moved<\r\n*Reason for Failure: "
                                      "HTTP Code 301 Moved Permanently\r\n*Moved to: "
                                      "http://new.example/a?b=1&c=2 (HTTP Code 200 OK)\r\n")
                                 .Summary()
                                 .Text();
    const QByteArray newAddress = "http://new.example/a?b=1&amp;c=2";
    const struct
    {
        QByteArray report;
        int type;
        QByteArray page;
    } steps[] = {
        {moved, REPAIR_UPDATE_MOVED,
         "<a href=\"" + newAddress +
             "\">moved</a> and\n<a href='http://dead.example/x'>dead</a>\n"},
        {ReportBuilder().File(page).Link(newAddress).Summary().Text(), REPAIR_REPLACE_URL,
         "<a href=\"moved.html\">moved</a> and<!--" + newAddress +
             "-->\n<a href='http://dead.example/x'>dead</a>\n"},
        {ReportBuilder().File(page).Link("http://dead.example/x").Summary().Text(),
         REPAIR_DISABLE_LINE,
         "<a href=\"moved.html\">moved</a> and<!--" + newAddress +
             "-->\n<!--<a href='http://dead.example/x'>dead</a>-->\n"},
    };
    for (const auto &step : steps) {
        for (int round = 0; round < 2; ++round) {
            RepairRun run;
            RunRepair(run, step.report, step.type);
            EXPECT_EQ(ReadFileBytes(page).toStdString(), step.page.toStdString())
                << "repair " << step.type << ", round " << round;
            EXPECT_EQ(ReadFileBytes(home.file("moved.bak")).toStdString(), original.toStdString());
        }
    }
}

// Pages that an earlier version repaired (a whole line made a comment; a URL
// replaced inside a longer text, even where the file name continues like the
// text after it) are still known as repairs: their backups stay.
TEST_F(RepairRerunTest, PagesRepairedByEarlierVersionsKeepTheirBackups)
{
    const struct
    {
        const char *original;
        const char *repaired;
        const char *url;
        int type;
    } cases[] = {
        {"<p>a <a href=\"http://bad/\">x</a> b</p>\n<p>c</p>\n",
         "<!--<p>a <a href=\"http://bad/\">x</a> b</p>-->\n<p>c</p>\n", "http://bad/",
         REPAIR_DISABLE_LINE},
        {"<p>see a.</p>\r\n", "<p>see a.html.</p><!--a-->\r\n", "a", REPAIR_REPLACE_URL},
    };
    int round = 0;
    for (const auto &c : cases) {
        const QByteArray directory = home.file("old" + QByteArray::number(++round));
        ASSERT_TRUE(QDir().mkpath(QString::fromLocal8Bit(directory)));
        const QByteArray page = directory + "/a.html";
        WriteFileBytes(page, c.repaired);
        WriteFileBytes(directory + "/a.bak", c.original);
        RepairRun run;
        RunRepair(run, ReportBuilder().File(page).Link(c.url).Summary().Text(), c.type);
        EXPECT_EQ(ReadFileBytes(directory + "/a.bak"), QByteArray(c.original)) << c.repaired;
        EXPECT_EQ(ReadFileBytes(page), QByteArray(c.repaired));
    }
}

// Repairs in a child process that ends at once, with no clean-up at all, at
// the repair's step-th change on disk, as when it is killed there. False when
// the repair ended before that step.
bool RepairCutAtStep(const QByteArray &report, int type, int step)
{
    const pid_t child = fork();
    if (child == 0) {
        RecordingUi ui;
        const CWorkFiles workFiles;
        CLinkRepair repair(ui, workFiles);
        int steps = 0;
        repair.SetStepHook([&steps, step] {
            if (++steps == step)
                _exit(0);
        });
        repair.RepairFromReport(report, type);
        _exit(1);
    }
    int status = 0;
    return child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status) &&
           WEXITSTATUS(status) == 0;
}

struct Site
{
    QList<QByteArray> pages;
    QList<QByteArray> originals;
    QByteArray report;
};

// Pages of one directory, two of them of one stem, with every kind of line
// ending, and the report that names their links.
Site WriteSite(const QByteArray &directory)
{
    Site site;
    site.originals = {kFirst, kSecond, "<a href=\"http://gone.example/\">one stem</a>\r",
                      "<p>a</p>\r<a href=\"http://dead.example/x\">x</a>"};
    const QList<QByteArray> names{"a.html", "b.html", "c.htm", "c.html"};
    ReportBuilder report;
    for (qsizetype i = 0; i < names.size(); ++i) {
        site.pages.append(directory + '/' + names[i]);
        WriteFileBytes(site.pages[i], site.originals[i]);
        report.File(site.pages[i]);
        for (const QByteArray url : {"http://gone.example/", "http://dead.example/x"}) {
            if (site.originals[i].contains(url))
                report.Link(url);
        }
        report.Summary();
    }
    site.report = report.Text();
    return site;
}

TEST_F(RepairRerunTest, RepairKilledAtAnyStepAndRunAgainRepairsEveryPageOnce)
{
    for (const int type : {REPAIR_DISABLE_LINE, REPAIR_REPLACE_URL}) {
        const QByteArray reference = home.file("reference" + QByteArray::number(type));
        ASSERT_TRUE(QDir().mkpath(QString::fromLocal8Bit(reference)));
        const Site whole = WriteSite(reference);
        RepairRun uninterrupted;
        RunRepair(uninterrupted, whole.report, type);
        ASSERT_TRUE(uninterrupted.completed);

        for (int step = 1;; ++step) {
            const QByteArray directory =
                home.file("cut" + QByteArray::number(type) + "-" + QByteArray::number(step));
            ASSERT_TRUE(QDir().mkpath(QString::fromLocal8Bit(directory)));
            const Site site = WriteSite(directory);
            if (!RepairCutAtStep(site.report, type, step))
                break;
            const auto backups = [&directory] {
                QList<QByteArray> contents;
                for (const QString &name :
                     QDir(QString::fromLocal8Bit(directory)).entryList({QStringLiteral("*.bak")}))
                    contents.append(ReadFileBytes(directory + '/' + name.toLocal8Bit()));
                return contents;
            };
            for (qsizetype i = 0; i < site.pages.size(); ++i) {
                const QByteArray now = ReadFileBytes(site.pages[i]);
                const QByteArray repaired = ReadFileBytes(whole.pages[i]);
                EXPECT_TRUE(now == site.originals[i] || now == repaired)
                    << "cut at step " << step << ": " << site.pages[i].constData();
                EXPECT_TRUE(now == site.originals[i] || backups().contains(site.originals[i]))
                    << "cut at step " << step << ": " << site.pages[i].constData();
            }

            RepairRun rerun;
            RunRepair(rerun, site.report, type);
            EXPECT_TRUE(rerun.completed) << "step " << step;
            for (qsizetype i = 0; i < site.pages.size(); ++i) {
                EXPECT_EQ(ReadFileBytes(site.pages[i]), ReadFileBytes(whole.pages[i]))
                    << "repaired once after a cut at step " << step << ", type " << type;
                EXPECT_TRUE(backups().contains(site.originals[i]))
                    << "step " << step << ": " << site.pages[i].constData();
            }
        }
    }
}

} // namespace
