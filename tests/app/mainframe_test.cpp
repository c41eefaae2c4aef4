#include <QAction>
#include <QApplication>
#include <QDir>
#include <QGuiApplication>
#include <QMenuBar>
#include <QScreen>
#include <QTimer>
#include <QToolBar>

#include <gtest/gtest.h>

#include "app/framestatusbar.h"
#include "app/windowplacement.h"
#include "desktoptestsupport.h"
#include "engine/ui/vantrelview.h"
#include "support/filesizelimit.h"

namespace {

QStringList Texts(std::initializer_list<const char *> texts)
{
    QStringList list;
    for (const char *text : texts)
        list.append(QString::fromUtf8(text));
    return list;
}

// A menu as the user reads it: item texts with their mnemonics and keys, "-"
// for a separator, "(grey)" after an item that cannot be chosen.
QStringList MenuItems(QMenu *menu)
{
    QStringList items;
    for (QAction *action : menu->actions()) {
        if (action->isSeparator()) {
            items.append(QStringLiteral("-"));
            continue;
        }
        QString item = action->text();
        if (!action->shortcut().isEmpty())
            item += QLatin1Char('\t') + action->shortcut().toString();
        if (!action->isEnabled())
            item += QStringLiteral(" (grey)");
        items.append(item);
    }
    return items;
}

TEST(MainFrameTest, MenusToolbarAndStatusBarHoldTheCommandsInTheirPlaces)
{
    DesktopHarness desk;
    CMainFrame &frame = *desk.frame;
    EXPECT_EQ(frame.windowTitle(), QStringLiteral("Vantrel"));

    QStringList menus;
    for (QAction *action : frame.menuBar()->actions())
        menus.append(action->text());
    EXPECT_EQ(menus, (Texts({"&File", "&View", "&Vantrel", "&Help"})));
    const QList<QStringList> expected{
        Texts({"&New\tCtrl+N", "&Open...\tCtrl+O", "S&ave\tCtrl+S", "Save As...\tCtrl+Shift+S", "-",
               "&Select File(s)...", "Re-test &Failed Links (grey)", "&Export Results... (grey)",
               "Repair Failed &Links... (grey)", "-", "&Print...\tCtrl+P", "Print Pre&view",
               "P&rint Setup...", "-", "E&xit"}),
        Texts({"&Choose Font...", "Clear &Window (grey)", "-", "&Toolbar", "&Status Bar"}),
        Texts({"&Settings...", "Stop &Test (grey)"}),
        Texts({"&Help Topics", "-", "&About Vantrel..."})};
    for (int i = 0; i < expected.size(); ++i)
        EXPECT_EQ(MenuItems(frame.menuBar()->actions().at(i)->menu()), expected[i]) << i;

    // The toolbar: the commands' tool tips, "-" for a gap.
    QStringList buttons;
    for (QAction *action : frame.ToolBar()->actions())
        buttons.append(action->isSeparator() ? QStringLiteral("-") : action->toolTip());
    EXPECT_EQ(buttons, (Texts({"Test File", "Re-test", "Export", "Repair", "-", "Print", "-",
                               "Font", "Clear Window", "-", "Settings", "Stop", "-", "About"})));
    EXPECT_EQ(frame.Actions().selectFiles->statusTip(), QStringLiteral("Select a file to test"));
    EXPECT_EQ(frame.Actions().repair->statusTip(),
              QStringLiteral("Remove bad links in source file"));

    EXPECT_EQ(frame.StatusBar()->currentMessage(), QStringLiteral("For Help, press F1"));
    // Idle, the panes have nothing to tell.
    EXPECT_EQ(frame.StatusBar()->PaneText(1), QString());
    EXPECT_EQ(frame.StatusBar()->PaneText(2), QString());

    // Toolbar and status bar are hidden and shown from the View menu.
    frame.Actions().toolbar->trigger();
    EXPECT_FALSE(frame.ToolBar()->isVisible());
    frame.Actions().statusBar->trigger();
    EXPECT_FALSE(frame.StatusBar()->isVisible());
    frame.Actions().toolbar->trigger();
    frame.Actions().statusBar->trigger();
    EXPECT_TRUE(frame.ToolBar()->isVisible());
    EXPECT_TRUE(frame.StatusBar()->isVisible());

    QDir().mkpath(QStringLiteral(SCREENSHOT_DIR));
    frame.grab().save(QStringLiteral(SCREENSHOT_DIR "/mainframe.png"));
}

TEST(WindowPlacementTest, StoredPlacementIsUsedOnlyWhenItFitsTheScreen)
{
    const QRect screen(0, 0, 1024, 768);
    EXPECT_EQ(DefaultPlacement(screen), (WindowPlacement{128, 96, 768, 576}));
    struct Case
    {
        WindowPlacement stored;
        bool usable;
    };
    const Case cases[] = {
        {{100, 50, 800, 600}, true},   {{1000, 50, 800, 600}, true}, // only the corner must fit
        {{100, 50, 1100, 600}, false}, {{100, 50, 800, 769}, false},   {{-1, 50, 800, 600}, false},
        {{100, -1, 800, 600}, false},  {{1025, 0, 800, 600}, false},   {{0, 0, 0, 600}, false},
        {{0, 0, 800, 0}, false},       {{1024, 768, 1024, 768}, true},
    };
    for (const Case &c : cases)
        EXPECT_EQ(IsUsablePlacement(c.stored, screen), c.usable)
            << c.stored.x << "," << c.stored.y << " " << c.stored.cx << "x" << c.stored.cy;
    // On a screen to the right of the first, the rules hold against that screen.
    EXPECT_TRUE(IsUsablePlacement({1100, 0, 800, 600}, QRect(1024, 0, 1280, 1024)));
    EXPECT_FALSE(IsUsablePlacement({100, 0, 800, 600}, QRect(1024, 0, 1280, 1024)));
    EXPECT_EQ(MovedPlacement({-20, -5}, {640, 480}), (WindowPlacement{0, 0, 640, 480}));
}

TEST(WindowPlacementTest, TheWindowOpensWhereItWasAndRecordsEveryMoveButNotWhileMinimised)
{
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    const WindowPlacement centred = DefaultPlacement(screen);
    {
        DesktopHarness desk;
        EXPECT_EQ(desk.frame->pos(), QPoint(centred.x, centred.y));
        EXPECT_EQ(desk.frame->size(), QSize(centred.cx, centred.cy));
        EXPECT_EQ(desk.StoredInt("Screen", "cx"), centred.cx);

        desk.frame->move(30, 40);
        EXPECT_EQ(desk.StoredInt("Screen", "x"), 30);
        EXPECT_EQ(desk.StoredInt("Screen", "y"), 40);
        desk.frame->resize(700, 400);
        EXPECT_EQ(desk.StoredInt("Screen", "cx"), 700);
        desk.frame->move(-20, 10);
        EXPECT_EQ(desk.StoredInt("Screen", "x"), 0);

        desk.frame->move(50, 60);
        desk.frame->showMinimized();
        desk.frame->move(70, 80);
        EXPECT_EQ(desk.StoredInt("Screen", "x"), 50);
        desk.frame->showNormal();

        // The next start opens where the window was left.
        desk.frame.reset();
        desk.frame = std::make_unique<CMainFrame>(*desk.settings, [] {});
        EXPECT_EQ(desk.frame->pos(), QPoint(70, 80));
        EXPECT_EQ(desk.frame->size(), QSize(700, 400));
    }
}

// Closes every modal window as soon as it opens and keeps its text.
class ModalRecorder
{
public:
    ModalRecorder()
    {
        QObject::connect(&m_poll, &QTimer::timeout, &m_poll, [this] {
            QWidget *modal = QApplication::activeModalWidget();
            if (modal == nullptr || !modal->isVisible())
                return;
            texts.append(ModalText(modal));
            modal->close();
        });
        m_poll.start(10);
    }
    QStringList texts;

private:
    QTimer m_poll;
};

TEST(WindowPlacementTest, AFailedWriteIsToldOnceInOneMessageNamingTheSetting)
{
    DesktopHarness desk;
    desk.frame->move(30, 40);
    // A long remembered path makes the settings file larger than the limit.
    ASSERT_TRUE(desk.settings->WriteString("FileSel", "Starter", QByteArray(5000, 'p')));
    ModalRecorder boxes;
    const auto dragAcrossAFullDisk = [&desk](int from) {
        const FileSizeLimit limit(4096);
        for (int x = from; x < from + 3; ++x)
            desk.frame->move(x, 50);
        WaitUntil([] { return false; }, std::chrono::milliseconds(300));
    };
    const QString notStored =
        QStringLiteral("The setting \"%1\" in section \"Screen\" could not be "
                       "stored: File too large");

    dragAcrossAFullDisk(100);
    EXPECT_EQ(boxes.texts, QStringList(notStored.arg(QLatin1Char('x')) + QLatin1Char('\n') +
                                       notStored.arg(QLatin1Char('y'))));
    EXPECT_EQ(desk.StoredInt("Screen", "x"), 30);

    // Told again only after a write of the setting succeeded in between.
    dragAcrossAFullDisk(200);
    EXPECT_EQ(boxes.texts.size(), 1);
    desk.frame->move(300, 50);
    EXPECT_EQ(desk.StoredInt("Screen", "x"), 300);
    dragAcrossAFullDisk(400);
    EXPECT_EQ(boxes.texts.size(), 2);
    EXPECT_EQ(boxes.texts.value(1), notStored.arg(QLatin1Char('x')));
}

} // namespace
