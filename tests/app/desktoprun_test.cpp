#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QProgressBar>
#include <QTimer>
#include <QToolBar>

#include <gtest/gtest.h>

#include "app/framestatusbar.h"
#include "app/vantreldoc.h"
#include "desktoptestsupport.h"
#include "discovery/ui/progressdlg.h"
#include "engine/linkexclusions.h"
#include "engine/ui/reporttext.h"
#include "engine/ui/vantrelview.h"
#include "support/loopbackserver.h"
#include "support/loopbackstalledhost.h"

namespace {

// The report with its date lines cut to their first words, so that runs made
// at different moments compare equal.
QByteArray WithoutDates(const QByteArray &report)
{
    QList<QByteArray> lines = report.split('\n');
    for (QByteArray &line : lines) {
        if (line.startsWith("Start of test "))
            line = "Start of test \r";
        else if (line.startsWith("End of test: "))
            line = "End of test: \r";
    }
    return lines.join('\n');
}

QByteArray RunTerminal(const QList<QByteArray> &arguments)
{
    QStringList list;
    for (const QByteArray &argument : arguments)
        list.append(QString::fromLocal8Bit(argument));
    QProcess process;
    process.start(QStringLiteral(VANTREL_CHECK_PATH), list);
    process.waitForFinished(60000);
    return process.readAllStandardOutput();
}

// Chooses the file in the Select File(s) dialog and presses OK.
void ChooseFile(const QByteArray &path, bool allFiles = false)
{
    WhenModal([path, allFiles](QWidget *dialog) {
        dialog->findChild<QLineEdit *>()->setText(QString::fromLocal8Bit(path));
        for (QCheckBox *box : dialog->findChildren<QCheckBox *>()) {
            if (box->text() == QStringLiteral("Test all files in this directory"))
                box->setChecked(allFiles);
        }
        Press(dialog, QStringLiteral("OK"));
    });
}

TEST(DesktopRunTest, RunFromSelectFilesShowsTheTerminalsReportAndMovesTheCommands)
{
    LoopbackServer server;
    server.setReply("/missing", LoopbackReply::Status("HTTP/1.0 404 Not Found"));
    server.setReply("/odd", LoopbackReply::Status("HTTP/1.1 203 Non-Authoritative"));
    server.setReply("/broken", LoopbackReply::Garbage());
    // One link at a time, so that the progress can be watched link by link.
    DesktopHarness desk(server.portText(), 1);
    const QByteArray page = desk.Html(
        "site.html", "<html><a href=\"http://127.0.0.1/ok\">Fine</a> <a "
                     "href=\"http://127.0.0.1/missing\">Gone \xe9t\xe9</a> <A "
                     "HREF=\"http://127.0.0.1/odd\">Odd</A><a href=\"http://127.0.0.1/broken\">"
                     "B</a><a href=\"http://127.0.0.2/refused\">R</a></html>\n");
    CVantrelView *view = desk.frame->View();
    const FrameActions &actions = desk.frame->Actions();
    QList<EngineUi::Beep> beeps;
    QObject::connect(view, &CVantrelView::beeped, view,
                     [&beeps](EngineUi::Beep kind) { beeps.append(kind); });

    ChooseFile(page);
    Give(actions.selectFiles);
    ASSERT_TRUE(view->Engine().IsRunning());
    EXPECT_FALSE(actions.selectFiles->isEnabled());
    EXPECT_TRUE(actions.stopTest->isEnabled());
    EXPECT_FALSE(actions.retest->isEnabled());
    // Clearing now would leave the rest of the run without its "<Testing: "
    // line: Clear Window is grey in the menu and on the toolbar, and Ctrl+N
    // leaves the report as it is.
    EXPECT_FALSE(actions.clearWindow->isEnabled());
    EXPECT_FALSE(
        desk.frame->findChild<QToolBar *>()->widgetForAction(actions.clearWindow)->isEnabled());
    const QByteArray soFar = view->Engine().ReportText();
    ASSERT_TRUE(soFar.startsWith("Start of test "));
    desk.frame->Document().OnNewDocument();
    EXPECT_TRUE(view->Engine().ReportText().startsWith(soFar));
    ASSERT_NE(view->ProgressDialog(), nullptr);
    EXPECT_TRUE(view->ProgressDialog()->isVisible());
    QDir().mkpath(QStringLiteral(SCREENSHOT_DIR));
    // The progress is shown in batches: on a busy machine the run may end
    // before a later link's number is seen.
    ASSERT_TRUE(WaitUntil([&] {
        return view->ProgressDialog() == nullptr ||
               view->ProgressDialog()->m_strUrlIndex->text().toInt() >= 2;
    }));
    if (view->ProgressDialog() != nullptr)
        view->ProgressDialog()->grab().save(QStringLiteral(SCREENSHOT_DIR "/progress.png"));

    ASSERT_TRUE(WaitUntil([&] { return !view->Engine().IsRunning(); }, std::chrono::seconds(20)));
    EXPECT_EQ(view->ProgressDialog(), nullptr);
    EXPECT_TRUE(actions.selectFiles->isEnabled());
    EXPECT_FALSE(actions.stopTest->isEnabled());
    EXPECT_TRUE(actions.retest->isEnabled());
    EXPECT_TRUE(actions.repair->isEnabled());
    EXPECT_TRUE(actions.exportResults->isEnabled());
    EXPECT_TRUE(actions.clearWindow->isEnabled());
    EXPECT_EQ(desk.frame->StatusBar()->PaneText(1), QStringLiteral("Search Complete"));
    // Two replies without a known code (203 and garbage), then the end of the run.
    EXPECT_EQ(beeps, (QList<EngineUi::Beep>{EngineUi::Beep::Exclamation,
                                            EngineUi::Beep::Exclamation, EngineUi::Beep::Default}));
    EXPECT_EQ(desk.StoredString("FileSel", "Starter"), page);

    // The window shows the engine's bytes; the terminal front end, run on the
    // same page at the same pace, writes the same bytes.
    const QByteArray report = view->Engine().ReportText();
    EXPECT_EQ(view->toPlainText(), DecodeReportPiece(report));
    EXPECT_TRUE(report.contains("\"http://127.0.0.1/missing\" >Gone \xe9t\xe9<\r\n"
                                "*Reason for Failure: HTTP Code 404 Not Found\r\n"));
    EXPECT_TRUE(view->toPlainText().contains(QStringLiteral("Gone \u00e9t\u00e9<")));
    const QByteArray terminal = RunTerminal({"--poll-ms", "100", "--http-port", server.portText(),
                                             "--ftp-port", server.portText(), page});
    EXPECT_EQ(WithoutDates(report), WithoutDates(terminal));
    desk.frame->grab().save(QStringLiteral(SCREENSHOT_DIR "/mainframe-after-run.png"));
}

TEST(DesktopRunTest, StopDuringAProbeOfASilentHostEndsTheRunAtOnce)
{
    LoopbackStalledHost silent;
    ASSERT_TRUE(silent.isReady());
    DesktopHarness desk(silent.portText());
    const QByteArray page =
        desk.Html("silent.html", "<a href=\"http://127.0.0.1/\">Nobody home</a>.");
    CVantrelView *view = desk.frame->View();

    ChooseFile(page);
    Give(desk.frame->Actions().selectFiles);
    ASSERT_TRUE(WaitUntil([&] { return view->Engine().AwaitingReply(); }));

    // The window keeps working while the probe waits.
    int ticks = 0;
    QTimer repaint;
    QObject::connect(&repaint, &QTimer::timeout, &repaint, [&ticks] { ++ticks; });
    repaint.start(10);
    ASSERT_TRUE(WaitUntil([&] { return ticks >= 5; }));
    EXPECT_TRUE(view->Engine().IsRunning());
    EXPECT_TRUE(desk.frame->Actions().stopTest->isEnabled());

    Give(desk.frame->Actions().stopTest);
    EXPECT_FALSE(view->Engine().IsRunning());
    EXPECT_TRUE(view->Engine().ReportText().endsWith("<Testing: " + page +
                                                     "\r\nTesting Stopped by User\r\n"));
    EXPECT_EQ(view->ProgressDialog(), nullptr);
    EXPECT_TRUE(desk.frame->Actions().selectFiles->isEnabled());
    EXPECT_TRUE(desk.frame->Actions().repair->isEnabled());
}

TEST(DesktopRunTest, ClosingTheWindowDuringARunRemovesTheWorkFiles)
{
    LoopbackServer server(LoopbackReply::Of(LoopbackReply::Kind::Silent));
    auto desk = std::make_unique<DesktopHarness>(server.portText());
    const QByteArray page = desk->Html("a.html", "<a href=\"http://127.0.0.1/\">A</a>.");
    ChooseFile(page);
    Give(desk->frame->Actions().selectFiles);
    ASSERT_TRUE(WaitUntil([&] { return desk->frame->View()->Engine().AwaitingReply(); }));
    const QByteArray splitCopy = desk->home.file("urltmp~2");
    ASSERT_TRUE(QFile::exists(QString::fromLocal8Bit(splitCopy)));

    // The report so far was never saved: closing asks first.
    WhenModal([](QWidget *question) { Press(question, QStringLiteral("Discard")); });
    EXPECT_TRUE(desk->frame->close());
    desk->frame.reset();
    EXPECT_FALSE(QFile::exists(QString::fromLocal8Bit(splitCopy)));
    EXPECT_TRUE(server.waitForFinished(1));
}

} // namespace

namespace {

TEST(DesktopRunTest, SettingsChangedDuringARunApplyToItAndCancelChangesNothing)
{
    LoopbackServer server(LoopbackReply::Of(LoopbackReply::Kind::Silent));
    DesktopHarness desk(server.portText());
    CVantrelView *view = desk.frame->View();
    const QByteArray page = desk.Html("slow.html", "<a href=\"http://127.0.0.1/\">Slow</a>.");
    ChooseFile(page);
    Give(desk.frame->Actions().selectFiles);
    ASSERT_TRUE(WaitUntil([&] { return view->Engine().AwaitingReply(); }));
    ASSERT_TRUE(desk.frame->Actions().settings->isEnabled());

    WhenModal([](QWidget *dialog) {
        Press(dialog, QStringLiteral("Watch With One Eye Shut"));
        Press(dialog, QStringLiteral("Test Today's Web"));
        Press(dialog, QStringLiteral("OK"));
    });
    EXPECT_FALSE(view->Engine().TodaysWeb());
    Give(desk.frame->Actions().settings);
    EXPECT_TRUE(view->Engine().IsRunning());
    // In memory the https failures and today's web categories follow the 21
    // classic categories; the stored filter keeps its 21 characters and they
    // are stored apart.
    EXPECT_EQ(view->Engine().Categories().m_strFilter,
              QByteArray("0000000111100000010001111111111"));
    EXPECT_EQ(desk.StoredString("Settings", "Filter"), QByteArray("000000011110000001000"));
    EXPECT_EQ(desk.StoredString("Settings", "TlsFilter"), QByteArray("1111"));
    EXPECT_EQ(desk.StoredString("Settings", "WebFilter"), QByteArray("111111"));
    EXPECT_TRUE(view->Engine().TodaysWeb()) << "from the next probe on";
    EXPECT_EQ(desk.StoredString("Settings", "TodaysWeb"), QByteArray("1"));

    WhenModal([](QWidget *dialog) {
        Press(dialog, QStringLiteral("Watch Like a Hawk"));
        Press(dialog, QStringLiteral("Cancel"));
    });
    Give(desk.frame->Actions().settings);
    EXPECT_EQ(view->Engine().Categories().m_strFilter,
              QByteArray("0000000111100000010001111111111"));
    EXPECT_EQ(desk.StoredString("Settings", "Filter"), QByteArray("000000011110000001000"));
    EXPECT_TRUE(view->Engine().IsRunning());
    Give(desk.frame->Actions().stopTest);
}

} // namespace

namespace {

// A run in the classic mode says in the status bar how many https links it
// passed over, and how to have them tested, and how many links an exclusion
// pattern kept from being tested; the report stays as it was. The message is
// never cut: a narrow window shows a short form, the long one in the tool tip.
TEST(DesktopRunTest, StatusBarTellsOfLinksLeftUntested)
{
    LoopbackServer server;
    DesktopHarness desk(server.portText());
    desk.frame->resize(1400, 500);
    CVantrelView *view = desk.frame->View();
    view->Engine().SetExclusions(CLinkExclusions::FromSetting("/skipped$"));
    const QByteArray page = desk.Html("mixed.html", "<a href=\"https://127.0.0.1/s\">S</a>"
                                                    "<a href=\"http://127.0.0.1/\">P</a>"
                                                    "<a href=\"http://127.0.0.1/skipped\">X</a>"
                                                    "<a href=\"HTTPS://127.0.0.1/t\">T</a>\n");
    ChooseFile(page);
    Give(desk.frame->Actions().selectFiles);
    ASSERT_TRUE(WaitUntil([&] { return !view->Engine().IsRunning(); }, std::chrono::seconds(20)));
    const QString longForm =
        QStringLiteral("2 https links were not tested; turn on Test Today's Web in Settings to "
                       "test them; 1 link was not tested: it matches an exclusion pattern");
    CFrameStatusBar *bar = desk.frame->StatusBar();
    EXPECT_EQ(bar->currentMessage(), longForm);
    desk.frame->resize(300, 500);
    ASSERT_TRUE(WaitUntil([&] { return bar->width() < 600; }));
    EXPECT_EQ(bar->currentMessage(), QStringLiteral("3 links not tested"));
    EXPECT_EQ(bar->toolTip(), longForm);
    EXPECT_LE(bar->fontMetrics().horizontalAdvance(bar->currentMessage()),
              bar->findChildren<QLabel *>().constFirst()->x());
    EXPECT_FALSE(view->Engine().ReportText().contains("https")) << "nothing of them in the report";
    EXPECT_FALSE(view->Engine().ReportText().contains("skipped"));
}

} // namespace
