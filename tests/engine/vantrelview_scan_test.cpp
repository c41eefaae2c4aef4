#include <sys/stat.h>

#include <QApplication>

#include <gtest/gtest.h>

#include "desktoptestsupport.h"
#include "engine/timerservice.h"
#include "engine/ui/vantrelview.h"

namespace {

// Every page of a directory run fails its scan: the results window names them
// all in one message box, opened once the engine's step has returned, and
// the run goes on meanwhile.
TEST(ResultsWindowScanTest, PagesThatCannotBeScannedAreNamedInOneBoxAfterTheStep)
{
    DesktopHarness desk;
    CVantrelView *view = desk.frame->View();
    const QByteArray workFile = desk.home.file("urltmp~2");
    ASSERT_EQ(mkdir(workFile.constData(), 0700), 0);
    for (const char *name : {"site/a.html", "site/b.html", "site/c.html"})
        desk.Html(name, "<a href=\"http://127.0.0.1/\">x</a>.");

    int boxes = 0;
    QString seen;
    WhenModal([&](QWidget *box) {
        ++boxes;
        // Files that fail while the box is open join it.
        EXPECT_TRUE(WaitUntil([view] { return !view->Engine().IsRunning(); }));
        seen = ModalText(box);
        Press(box, QStringLiteral("OK"));
    });
    view->Engine().StartTest(desk.home.file("site/a.html"), false, true);
    const QList<QByteArray> files = view->Engine().QueuedFiles();
    ASSERT_EQ(files.size(), 3);
    view->Engine().OnTimer(TIMER_POLL);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr) << "no box inside the engine's step";

    ASSERT_TRUE(
        WaitUntil([&] { return boxes == 1 && QApplication::activeModalWidget() == nullptr; }));
    const QString why = QStringLiteral(": the work file %1 cannot be created (Is a directory)")
                            .arg(QString::fromLocal8Bit(workFile));
    QString expected = QStringLiteral("These files could not be scanned for links:");
    for (const QByteArray &file : files)
        expected += u'\n' + QString::fromLocal8Bit(file) + why;
    EXPECT_EQ(seen, expected);
    EXPECT_EQ(view->Engine().ReportText().count("Could not scan "), 3);
    EXPECT_TRUE(view->toPlainText().contains(QStringLiteral("Could not scan ")));
}

} // namespace
