// Renders the main window after a run and every window and dialog of the
// desktop program into PNG files, for people to look at:
//     vantrel_screenshots [output directory]
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryFile>
#include <QTest>
#include <QTimer>

#include "app/help/helptopics.h"
#include "app/help/helpwindow.h"
#include "app/mainframe.h"
#include "controls/aboutdlg.h"
#include "controls/colorpickerbutton.h"
#include "desktoptestsupport.h"
#include "engine/linkexclusions.h"
#include "engine/ui/vantrelview.h"
#include "records/ui/resultstable.h"
#include "support/loopbackserver.h"

namespace {

QString g_directory;
QStringList g_written;

constexpr int kTitleHeight = 24;

// Paints a window where it stands on the screen; a window with a title bar
// gets a plain one with its title, as the offscreen screen draws none.
void PaintWindow(QPainter &painter, QWidget *window)
{
    const QRect area = window->geometry();
    if (window->windowType() != Qt::Popup && window->windowType() != Qt::ToolTip) {
        const QRect title(area.left(), area.top() - kTitleHeight, area.width(), kTitleHeight);
        painter.fillRect(title, QColor(0x3b, 0x4a, 0x5c));
        painter.setPen(Qt::white);
        painter.drawText(title.adjusted(8, 0, -8, 0), Qt::AlignVCenter | Qt::AlignLeft,
                         window->windowTitle());
    }
    painter.drawPixmap(area.topLeft(), window->grab());
    painter.setPen(QColor(0x3b, 0x4a, 0x5c));
    painter.drawRect(area.adjusted(-1, -1, 0, 0));
}

// The screen as the user sees it: the main window, then the other windows
// over it, dialogs and popups last.
void Shoot(const QString &name, QWidget *cropTo = nullptr)
{
    QApplication::processEvents();
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    QImage image(screen.size(), QImage::Format_RGB32);
    image.fill(QColor(0x5a, 0x63, 0x6e));
    QPainter painter(&image);
    QList<QWidget *> windows;
    for (QWidget *window : QApplication::topLevelWidgets()) {
        if (window->isVisible() && window->windowType() != Qt::Desktop)
            windows.append(window);
    }
    const auto rank = [](QWidget *window) {
        if (qobject_cast<CMainFrame *>(window) != nullptr)
            return 0;
        if (window->windowType() == Qt::Popup)
            return 3;
        return window->isModal() ? 2 : 1;
    };
    std::stable_sort(windows.begin(), windows.end(),
                     [&rank](QWidget *a, QWidget *b) { return rank(a) < rank(b); });
    for (QWidget *window : windows)
        PaintWindow(painter, window);
    painter.end();
    if (cropTo != nullptr)
        image = image.copy(cropTo->geometry().adjusted(-1, -kTitleHeight - 1, 1, 1));
    const QString file = g_directory + QLatin1Char('/') + name + QStringLiteral(".png");
    if (image.save(file))
        g_written.append(file);
}

// Runs the command, photographs the dialog it opens, and closes it with the
// given button.
void ShootDialog(QAction *command, const QString &name, const QString &closeWith)
{
    WhenModal([name, closeWith](QWidget *dialog) {
        Shoot(name);
        Press(dialog, closeWith);
    });
    Give(command);
}

} // namespace

int main(int argc, char **argv)
{
    // An offscreen screen of a common laptop size, so that windows have room.
    QTemporaryFile screens;
    screens.open();
    screens.write(R"({"screens": [{"name": "laptop", "x": 0, "y": 0, "width": 1280, )"
                  R"("height": 800, "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})");
    screens.flush();
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + QFile::encodeName(screens.fileName()));
    QApplication application(argc, argv);
    g_directory = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("screenshots");
    QDir().mkpath(g_directory);

    LoopbackServer server;
    server.setReply("/old-page", LoopbackReply::Status("HTTP/1.0 404 Not Found"));
    server.setReply("/moved", LoopbackReply::Status("HTTP/1.0 301 Moved Permanently"));
    server.setReply("/private", LoopbackReply::Status("HTTP/1.0 403 Forbidden"));
    server.setReply("/odd", LoopbackReply::Status("HTTP/1.1 299 Whatever"));
    // One link at a time, so that the progress window can be caught.
    auto desk = std::make_unique<DesktopHarness>(server.portText(), 1);
    CMainFrame &frame = *desk->frame;
    frame.setGeometry(80, 50, 1100, 700);
    const FrameActions &actions = frame.Actions();
    Shoot(QStringLiteral("mainframe-empty"));

    // The pages lie in a folder with a plain name, as the report shows it.
    QDir site(QDir::temp().filePath(QStringLiteral("vantrel-demo-site")));
    site.removeRecursively();
    site.mkpath(QStringLiteral("."));
    const auto write = [&site](const char *name, const QByteArray &content) {
        QFile file(site.filePath(QLatin1String(name)));
        file.open(QIODevice::WriteOnly);
        file.write(content);
        return QFile::encodeName(file.fileName());
    };
    const QByteArray page =
        write("index.html", "<html><body><h1>Our projects</h1><ul>\n"
                            "<li><a href=\"http://127.0.0.1/\">Home</a>\n"
                            "<li><a href=\"http://127.0.0.1/old-page\">Last year's report</a>\n"
                            "<li><a href=\"http://127.0.0.1/moved\">Moved page</a>\n"
                            "<li><a href=\"http://127.0.0.1/private\">Members only</a>\n"
                            "<li><a href=\"http://127.0.0.1/odd\">Odd server</a>\n"
                            "<li><a href=\"http://127.0.0.2/\">Closed host</a>\n"
                            "<li><a href=\"http://nowhere.invalid/\">Misspelt host</a>\n"
                            "<li><a href=\"http://127.0.0.1/archive/\">Archive</a>\n"
                            "</ul></body></html>\n");
    // The archive is left out of every run, as the status bar says at the end.
    frame.View()->Engine().SetExclusions(CLinkExclusions::FromSetting("/archive/$"));
    write("about.html", "<a href=\"http://127.0.0.1/\">Home</a>\n");

    WhenModal([&page](QWidget *dialog) {
        dialog->findChild<QLineEdit *>()->setText(QString::fromLocal8Bit(page));
        Shoot(QStringLiteral("select-files"));
        Press(dialog, QStringLiteral("Test all files in this directory"));
        Press(dialog, QStringLiteral("OK"));
    });
    Give(actions.selectFiles);
    WaitUntil([&] { return frame.View()->Engine().UrlErrors() >= 1; });
    Shoot(QStringLiteral("testing-progress"));
    WaitUntil([&] { return !frame.View()->Engine().IsRunning(); }, std::chrono::seconds(60));
    Shoot(QStringLiteral("mainframe-after-run"));
    Shoot(QStringLiteral("main-window"), &frame);

    frame.Tabs()->setCurrentWidget(frame.Table());
    frame.Table()->View()->selectRow(1);
    Shoot(QStringLiteral("results-table"), &frame);
    QTableView *table = frame.Table()->View();
    frame.Table()->ContextMenu()->popup(
        table->viewport()->mapToGlobal(table->visualRect(table->currentIndex()).center()));
    WaitUntil([] { return QApplication::activePopupWidget() != nullptr; });
    Shoot(QStringLiteral("table-context-menu"));
    frame.Table()->ContextMenu()->close();
    frame.Tabs()->setCurrentWidget(frame.View());

    WhenModal([](QWidget *dialog) {
        dialog->findChild<QLineEdit *>()->setText(QStringLiteral("/no/such/page.html"));
        WhenModal([dialog](QWidget *box) {
            Shoot(QStringLiteral("message-file-missing"));
            Press(box, QStringLiteral("OK"));
            // The dialog stays open with the path as typed.
            QTimer::singleShot(0, dialog, [dialog] {
                Shoot(QStringLiteral("select-files-kept-path"));
                Press(dialog, QStringLiteral("Cancel"));
            });
        });
        Press(dialog, QStringLiteral("OK"));
    });
    Give(actions.selectFiles);

    ShootDialog(actions.exportResults, QStringLiteral("export"), QStringLiteral("Cancel"));
    WhenModal([](QWidget *question) {
        Shoot(QStringLiteral("repair-unknown-code-question"));
        WhenModal([](QWidget *dialog) {
            Shoot(QStringLiteral("repair"));
            Press(dialog, QStringLiteral("Cancel"));
        });
        Press(question, QStringLiteral("Yes"));
    });
    Give(actions.repair);

    WhenModal([](QWidget *dialog) {
        Shoot(QStringLiteral("settings"));
        auto *colour = dialog->findChild<CColorPickerButton *>();
        QTimer::singleShot(300, dialog, [] {
            Shoot(QStringLiteral("settings-colour-popup"));
            QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_Escape);
        });
        colour->click();
        Press(dialog, QStringLiteral("Cancel"));
    });
    Give(actions.settings);

    ShootDialog(actions.chooseFont, QStringLiteral("choose-font"), QStringLiteral("Cancel"));
    {
        // The About box belongs to the application object, which the
        // harness does not make: it is run here as the application runs it.
        int mailVisited = 0;
        int homeVisited = 1;
        CAboutDlg about(mailVisited, homeVisited, &frame);
        WhenModal([](QWidget *dialog) {
            Shoot(QStringLiteral("about"));
            Press(dialog, QStringLiteral("OK"));
        });
        about.exec();
    }
    WhenModal([](QWidget *dialog) {
        Shoot(QStringLiteral("print-preview"));
        dialog->close();
    });
    Give(actions.printPreview);

    frame.ShowHelp(QLatin1String(HelpTopic::Contents));
    frame.HelpWindow()->move(100, 90);
    Shoot(QStringLiteral("help-contents"));
    frame.ShowHelp(QLatin1String(HelpTopic::Repair));
    Shoot(QStringLiteral("help-repair"));
    frame.HelpWindow()->close();

    WhenModal([](QWidget *question) {
        Shoot(QStringLiteral("ask-before-discard"));
        Press(question, QStringLiteral("Cancel"));
    });
    Give(actions.newReport);

    desk.reset();
    site.removeRecursively();
    for (const QString &file : std::as_const(g_written))
        std::printf("%s\n", qPrintable(file));
    return g_written.size() >= 15 ? 0 : 1;
}
