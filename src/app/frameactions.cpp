#include "frameactions.h"

#include <QAction>
#include <QMainWindow>
#include <QMenuBar>
#include <QStatusBar>
#include <QToolBar>

#include "app/appicons.h"

namespace {

// The prompt before the line break shows in the status bar while the command
// is highlighted; the text after it is the tool tip.
QAction *MakeAction(QMainWindow *window, const QString &text, const QString &prompt)
{
    auto *action = new QAction(text, window);
    const qsizetype newline = prompt.indexOf(QLatin1Char('\n'));
    const QString statusTip = prompt.left(newline);
    action->setStatusTip(statusTip);
    action->setWhatsThis(statusTip);
    if (newline >= 0)
        action->setToolTip(prompt.mid(newline + 1));
    return action;
}

QAction *MakeKeyAction(QMainWindow *window, const QString &text, const QKeySequence &keys)
{
    auto *action = new QAction(text, window);
    action->setShortcut(keys);
    window->addAction(action);
    return action;
}

} // namespace

FrameActions CreateFrameActions(QMainWindow *window, QToolBar *toolBar)
{
    FrameActions a;
    a.newReport = MakeAction(window, QStringLiteral("&New"),
                             QStringLiteral("Empty the window for a new report\nNew"));
    a.newReport->setShortcut(QKeySequence::New);
    a.openReport =
        MakeAction(window, QStringLiteral("&Open..."), QStringLiteral("Open a saved report\nOpen"));
    a.openReport->setShortcut(QKeySequence::Open);
    // Select File(s) has the S; Print Preview the v.
    a.saveReport =
        MakeAction(window, QStringLiteral("S&ave"), QStringLiteral("Save the report\nSave"));
    a.saveReport->setShortcut(QKeySequence::Save);
    a.saveReportAs = MakeAction(window, QStringLiteral("Save As..."),
                                QStringLiteral("Save the report in a file of its own\nSave As"));
    a.saveReportAs->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
    a.selectFiles = MakeAction(window, QStringLiteral("&Select File(s)..."),
                               QStringLiteral("Select a file to test\nTest File"));
    a.selectFiles->setIcon(CommandIcon("document-open", "select-files"));
    a.retest = MakeAction(window, QStringLiteral("Re-test &Failed Links"),
                          QStringLiteral("Re-test\nRe-test"));
    a.retest->setIcon(CommandIcon("view-refresh", "retest"));
    a.exportResults =
        MakeAction(window, QStringLiteral("&Export Results..."),
                   QStringLiteral("Export Test Results after choosing format\nExport"));
    a.exportResults->setIcon(CommandIcon("document-export", "export"));
    a.repair = MakeAction(window, QStringLiteral("Repair Failed &Links..."),
                          QStringLiteral("Remove bad links in source file\nRepair"));
    a.repair->setIcon(CommandIcon("tools-check-spelling", "repair"));
    a.print = MakeAction(window, QStringLiteral("&Print..."),
                         QStringLiteral("Print the active document\nPrint"));
    a.print->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_P));
    a.print->setIcon(CommandIcon("document-print", "print"));
    a.printPreview = MakeAction(window, QStringLiteral("Print Pre&view"),
                                QStringLiteral("Display full pages\nPrint Preview"));
    a.printSetup =
        MakeAction(window, QStringLiteral("P&rint Setup..."),
                   QStringLiteral("Change the printer and printing options\nPrint Setup"));
    a.exit = MakeAction(window, QStringLiteral("E&xit"),
                        QStringLiteral("Quit the application; prompts to save documents\nExit"));
    a.exit->setMenuRole(QAction::QuitRole);

    a.chooseFont =
        MakeAction(window, QStringLiteral("&Choose Font..."), QStringLiteral("Choose Font\nFont"));
    a.chooseFont->setIcon(CommandIcon("preferences-desktop-font", "choose-font"));
    a.clearWindow = MakeAction(window, QStringLiteral("Clear &Window"),
                               QStringLiteral("Clear Window\nClear Window"));
    a.clearWindow->setIcon(CommandIcon("edit-clear", "clear-window"));
    a.toolbar = toolBar->toggleViewAction();
    a.toolbar->setText(QStringLiteral("&Toolbar"));
    a.toolbar->setStatusTip(QStringLiteral("Show or hide the toolbar"));
    a.toolbar->setToolTip(QStringLiteral("Toggle ToolBar"));
    a.statusBar = MakeAction(window, QStringLiteral("&Status Bar"),
                             QStringLiteral("Show or hide the status bar\nToggle StatusBar"));
    a.statusBar->setCheckable(true);
    a.statusBar->setChecked(true);

    a.settings = MakeAction(window, QStringLiteral("&Settings..."),
                            QStringLiteral("Vantrel Settings\nSettings"));
    a.settings->setIcon(CommandIcon("preferences-system", "settings"));
    a.stopTest = MakeAction(window, QStringLiteral("Stop &Test"), QStringLiteral("Stop\nStop"));
    a.stopTest->setIcon(CommandIcon("process-stop", "stop"));

    a.helpTopics = MakeAction(window, QStringLiteral("&Help Topics"),
                              QStringLiteral("List Help topics\nHelp Topics"));
    a.about = MakeAction(
        window, QStringLiteral("&About Vantrel..."),
        QStringLiteral("Display program information, version number and copyright\nAbout"));
    a.about->setIcon(CommandIcon("help-about", "about"));
    a.about->setMenuRole(QAction::AboutRole);

    // The commands that start disabled wait for the first state update.
    for (QAction *action : {a.retest, a.exportResults, a.repair, a.stopTest, a.clearWindow})
        action->setEnabled(false);

    QMenuBar *menus = window->menuBar();
    QMenu *file = menus->addMenu(QStringLiteral("&File"));
    file->addActions({a.newReport, a.openReport, a.saveReport, a.saveReportAs});
    file->addSeparator();
    file->addActions({a.selectFiles, a.retest, a.exportResults, a.repair});
    file->addSeparator();
    file->addActions({a.print, a.printPreview, a.printSetup});
    file->addSeparator();
    file->addAction(a.exit);
    QMenu *view = menus->addMenu(QStringLiteral("&View"));
    view->addActions({a.chooseFont, a.clearWindow});
    view->addSeparator();
    view->addActions({a.toolbar, a.statusBar});
    QMenu *vantrel = menus->addMenu(QStringLiteral("&Vantrel"));
    vantrel->addActions({a.settings, a.stopTest});
    QMenu *help = menus->addMenu(QStringLiteral("&Help"));
    help->addAction(a.helpTopics);
    help->addSeparator();
    help->addAction(a.about);

    toolBar->addActions({a.selectFiles, a.retest, a.exportResults, a.repair});
    toolBar->addSeparator();
    toolBar->addAction(a.print);
    toolBar->addSeparator();
    toolBar->addActions({a.chooseFont, a.clearWindow});
    toolBar->addSeparator();
    toolBar->addActions({a.settings, a.stopTest});
    toolBar->addSeparator();
    toolBar->addAction(a.about);

    a.copy = MakeKeyAction(window, QStringLiteral("Copy"), QKeySequence::Copy);
    a.help = MakeKeyAction(window, QStringLiteral("Help"), QKeySequence(Qt::Key_F1));
    a.whatsThis =
        MakeKeyAction(window, QStringLiteral("What's This?"), QKeySequence(Qt::SHIFT | Qt::Key_F1));
    return a;
}
