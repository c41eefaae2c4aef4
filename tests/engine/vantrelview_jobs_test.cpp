#include <QSpinBox>

#include <gtest/gtest.h>

#include "desktoptestsupport.h"
#include "engine/joblimits.h"
#include "engine/ui/vantrelview.h"
#include "support/loopbackserver.h"

namespace {

// The desktop program tests as many links at once as vantrel-check unless
// the user sets another number in the Settings dialog (here one at a time,
// then more); the new number applies to the run under way from its next link
// on, and to every later start of the program. The report is the same as ever.
TEST(ResultsWindowJobsTest, LinksTestedAtOnceApplyToTheRunUnderWayAndToTheNextStart)
{
    LoopbackServer server(
        LoopbackReply::Delayed("HTTP/1.0 404 Not Found", std::chrono::milliseconds(200)));
    ASSERT_TRUE(server.isListening());
    {
        DesktopHarness fresh(server.portText());
        EXPECT_EQ(fresh.frame->View()->Engine().Jobs(), kDefaultTerminalJobs);
    }
    DesktopHarness desk(server.portText(), 1);
    CVantrelView *view = desk.frame->View();
    EXPECT_EQ(view->Engine().Jobs(), 1);

    QByteArray html;
    QByteArray lines;
    for (int i = 0; i < 12; ++i) {
        const QByteArray url = "http://127.0.0.1/" + QByteArray::number(i);
        html += "<a href=\"" + url + "\">" + QByteArray::number(i) + "</a>\n";
        lines += '"' + url + "\" >" + QByteArray::number(i) +
                 "<\r\n*Reason for Failure: HTTP Code 404 Not Found\r\n";
    }
    const QByteArray page = desk.Html("page.html", html);
    view->Engine().StartTest(page, false, false);
    ASSERT_TRUE(WaitUntil([view] { return view->Engine().ReportText().contains("404"); }));
    EXPECT_EQ(server.peakWaiting(), 1);

    WhenModal([](QWidget *dialog) {
        auto *jobs = dialog->findChild<QSpinBox *>();
        ASSERT_NE(jobs, nullptr);
        EXPECT_EQ(jobs->value(), 1);
        jobs->setValue(6);
        Press(dialog, QStringLiteral("OK"));
    });
    Give(desk.frame->Actions().settings);
    EXPECT_EQ(view->Engine().Jobs(), 6);
    EXPECT_EQ(desk.StoredInt("Settings", "Jobs"), 6);

    ASSERT_TRUE(
        WaitUntil([view] { return !view->Engine().IsRunning(); }, std::chrono::seconds(20)));
    EXPECT_GT(server.peakWaiting(), 1) << "the rest went several at once";
    const QByteArray date(kDesktopTestDate);
    EXPECT_EQ(view->Engine().ReportText(),
              "Start of test " + date + "\r\n\r\n<Testing: " + page + "\r\n" + lines +
                  ">Results for " + page +
                  ": URLs tested: 12. URL errors: 12.\r\n\r\nEnd of test: " + date + "\r\n\r\n");

    EngineOptions options;
    options.ports = {server.portText(), server.portText()};
    desk.frame.reset();
    desk.frame = std::make_unique<CMainFrame>(
        *desk.settings, [] {}, options);
    EXPECT_EQ(desk.frame->View()->Engine().Jobs(), 6);
}

} // namespace
