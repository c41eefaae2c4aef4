#include <atomic>
#include <semaphore>

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QStatusBar>
#include <QTimer>

#include <gtest/gtest.h>

#include "desktoptestsupport.h"
#include "discovery/directorywalk.h"
#include "engine/ui/vantrelview.h"
#include "results/ui/repairprogress.h"

namespace {

// Counts the turns of the window's event loop while a condition holds: a
// window that answers turns its loop many times over long work.
class LoopTurns
{
public:
    explicit LoopTurns(std::function<bool()> counting)
    {
        QObject::connect(&m_timer, &QTimer::timeout, [this, counting] {
            if (counting())
                ++m_turns;
        });
        m_timer.start(0);
    }
    int Turns() const { return m_turns; }

private:
    QTimer m_timer;
    int m_turns = 0;
};

TEST(LongWorkTest, ADirectoryOfTwentyThousandFilesIsListedWhileTheWindowAnswers)
{
    DesktopHarness desk;
    CVantrelView *view = desk.frame->View();
    const QByteArray site = desk.home.file("site");
    constexpr int kDirectories = 100;
    constexpr int kPerDirectory = 200;
    for (int d = 0; d < kDirectories; ++d) {
        const QByteArray directory = site + "/d" + QByteArray::number(d);
        ASSERT_TRUE(QDir().mkpath(QString::fromLocal8Bit(directory)));
        for (int f = 0; f < kPerDirectory; ++f)
            WriteFileBytes(directory + "/p" + QByteArray::number(f) + ".html", "<p>No links.</p>");
    }
    desk.settings->WriteInt("FileSel", "Recurse", 1);

    QString listingMessage;
    LoopTurns turns([&] {
        if (view->IsListing() && listingMessage.isEmpty())
            listingMessage = desk.frame->statusBar()->currentMessage();
        return view->IsListing();
    });
    WhenModal([&site](QWidget *dialog) {
        dialog->findChild<QLineEdit *>()->setText(QString::fromLocal8Bit(site));
        Press(dialog, QStringLiteral("OK"));
    });
    Give(desk.frame->Actions().selectFiles);
    // The command returns with the walk under way; the run starts once it is done.
    ASSERT_TRUE(WaitUntil([&] { return view->Engine().IsRunning(); }, std::chrono::seconds(60)));
    EXPECT_GT(turns.Turns(), 10) << "the window's loop stood still during the walk";
    EXPECT_TRUE(listingMessage.startsWith(QStringLiteral("Listing the HTML files to test: ")))
        << listingMessage.toStdString();
    EXPECT_EQ(view->Engine().FileCount(), kDirectories * kPerDirectory);
    EXPECT_EQ(view->Engine().QueuedFiles().first(),
              QueueRunFiles(site + "/index.html", true, true).first());
    EXPECT_EQ(desk.frame->statusBar()->currentMessage(), QStringLiteral("For Help, press F1"));

    Give(desk.frame->Actions().stopTest);
    ASSERT_TRUE(WaitUntil([&] { return !view->Engine().IsRunning(); }));
    EXPECT_TRUE(view->Engine().ReportText().endsWith("Testing Stopped by User\r\n"));
}

QByteArray Page(int number)
{
    return "<p>Page " + QByteArray::number(number) + "</p>\n<a href=\"http://127.0.0.1/gone/" +
           QByteArray::number(number) + "\">Gone</a>\n";
}

// A report of one run over the pages, each with its one link reported.
QByteArray ReportOver(const QList<QByteArray> &pages)
{
    QByteArray report = "Start of test Monday\r\n\r\n";
    for (int i = 0; i < pages.size(); ++i) {
        report += "<Testing: " + pages[i] + "\r\n\"http://127.0.0.1/gone/" + QByteArray::number(i) +
                  "\" >Gone<\r\n*Reason for Failure: Can't Connect to Host\r\n>Results for " +
                  pages[i] + ": URLs tested: 1. URL errors: 1.\r\n";
    }
    return report + "\r\nEnd of test: Monday\r\n\r\n";
}

// Runs action on the next message box: a long repair's progress window may
// come first.
void WhenBox(std::function<void(QWidget *)> action)
{
    auto *poll = new QTimer(qApp);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, action] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (box == nullptr || !box->isVisible())
            return;
        poll->stop();
        poll->deleteLater();
        action(box);
    });
    poll->start(10);
}

// Repairs the window's report: OK in the repair dialog, then whileShown with
// the progress window once it shows; the closing message's text.
QString Repair(DesktopHarness &desk, const std::function<void(QWidget *)> &whileShown)
{
    QString closing;
    WhenModal([&](QWidget *dialog) {
        if (whileShown) {
            WhenModal([&](QWidget *progress) {
                EXPECT_NE(dynamic_cast<CRepairProgressDlg *>(progress), nullptr);
                whileShown(progress);
                WhenBox([&](QWidget *box) {
                    closing = ModalText(box);
                    Press(box, QStringLiteral("OK"));
                });
            });
        } else {
            WhenBox([&](QWidget *box) {
                closing = ModalText(box);
                Press(box, QStringLiteral("OK"));
            });
        }
        Press(dialog, QStringLiteral("OK"));
    });
    Give(desk.frame->Actions().repair);
    return closing;
}

TEST(LongWorkTest, ARepairOfManyPagesAnswersAndStopsOnlyBetweenPages)
{
    DesktopHarness desk;
    CVantrelView *view = desk.frame->View();
    constexpr int kPages = 300;
    constexpr int kHeldAt = 100;
    QList<QByteArray> pages;
    for (int i = 0; i < kPages; ++i)
        pages.append(desk.Html("site/page" + QByteArray::number(i) + ".html", Page(i)));
    ASSERT_TRUE(view->Engine().LoadReport(ReportOver(pages)));

    // The repair is held on its thread just after the backup of page kHeldAt,
    // half-way through that page, until Stop has been pressed.
    std::binary_semaphore released(0);
    std::atomic<int> steps = 0;
    std::atomic<bool> held = false;
    view->SetRepairStepHook([&] {
        if (++steps == 3 * kHeldAt + 1) {
            held = true;
            EXPECT_TRUE(released.try_acquire_for(std::chrono::seconds(60)));
        }
    });
    LoopTurns turns([view] { return view->IsRepairing(); });
    QString shown;
    const QString closing = Repair(desk, [&](QWidget *progress) {
        EXPECT_FALSE(desk.frame->Actions().selectFiles->isEnabled());
        EXPECT_FALSE(desk.frame->Actions().repair->isEnabled());
        // The window shows the pages done as they go.
        EXPECT_TRUE(WaitUntil([&] { return held.load(); }));
        const QLabel *pagesDone = progress->findChild<QLabel *>();
        WaitUntil([&] { return pagesDone->text().contains(QStringLiteral(" 100 of ")); });
        shown = pagesDone->text();
        QDir().mkpath(QStringLiteral(SCREENSHOT_DIR));
        progress->grab().save(QStringLiteral(SCREENSHOT_DIR "/repair-progress.png"));
        desk.frame->grab().save(QStringLiteral(SCREENSHOT_DIR "/repair-window.png"));
        Press(progress, QStringLiteral("Stop"));
        released.release();
    });
    EXPECT_GT(turns.Turns(), 10) << "the window's loop stood still during the repair";
    EXPECT_EQ(
        shown,
        QStringLiteral("Repairing the report's pages: %1 of %2 done").arg(kHeldAt).arg(kPages));
    EXPECT_TRUE(closing.startsWith(QStringLiteral("The URL repair was stopped\n\nStopped by the "
                                                  "user before the file\n") +
                                   QString::fromLocal8Bit(pages[kHeldAt + 1])))
        << closing.toStdString();

    // The page held half-way was finished; every page is either repaired
    // with its original in its backup, or untouched without one; nothing
    // half-written is left.
    const auto backupOf = [](const QByteArray &page) {
        return page.chopped(5) + ".bak";
    };
    for (int i = 0; i < kPages; ++i) {
        const bool repaired = i <= kHeldAt;
        const QByteArray now = ReadFileBytes(pages[i]);
        EXPECT_EQ(now != Page(i), repaired) << i;
        EXPECT_EQ(QFile::exists(QString::fromLocal8Bit(backupOf(pages[i]))), repaired) << i;
        if (repaired) {
            EXPECT_TRUE(now.contains("<!--")) << i;
            EXPECT_EQ(ReadFileBytes(backupOf(pages[i])), Page(i)) << i;
        }
    }
    const QStringList left = QDir(QString::fromLocal8Bit(desk.home.file("site")))
                                 .entryList(QDir::Files | QDir::Hidden | QDir::System);
    EXPECT_EQ(left.size(), kPages + kHeldAt + 1) << left.join(u' ').toStdString();

    // Again, to the end: the rest is repaired, and the pages repaired before
    // are not repaired twice.
    const QByteArray firstRepaired = ReadFileBytes(pages[0]);
    view->SetRepairStepHook({});
    EXPECT_EQ(Repair(desk, {}), QStringLiteral("All URL repairs completed"));
    EXPECT_EQ(ReadFileBytes(pages[0]), firstRepaired);
    for (int i = 0; i < kPages; ++i)
        EXPECT_EQ(ReadFileBytes(backupOf(pages[i])), Page(i)) << i;
    EXPECT_TRUE(desk.frame->Actions().repair->isEnabled());
}

} // namespace
