#pragma once

class QAction;
class QMainWindow;
class QToolBar;

// The main window's commands. The ones in the menus and the toolbar carry
// their menu text, their prompt (shown in the status bar) and their tool tip;
// the rest are reached by their keys only.
struct FrameActions
{
    QAction *newReport = nullptr;
    QAction *openReport = nullptr;
    QAction *saveReport = nullptr;
    QAction *saveReportAs = nullptr;
    QAction *selectFiles = nullptr;
    QAction *retest = nullptr;
    QAction *exportResults = nullptr;
    QAction *repair = nullptr;
    QAction *print = nullptr;
    QAction *printPreview = nullptr;
    QAction *printSetup = nullptr;
    QAction *exit = nullptr;
    QAction *chooseFont = nullptr;
    QAction *clearWindow = nullptr;
    QAction *toolbar = nullptr;
    QAction *statusBar = nullptr;
    QAction *settings = nullptr;
    QAction *stopTest = nullptr;
    QAction *helpTopics = nullptr;
    QAction *about = nullptr;

    // Reached by keys only: Ctrl+C, F1, Shift+F1.
    QAction *copy = nullptr;
    QAction *help = nullptr;
    QAction *whatsThis = nullptr;
};

// Makes the commands (owned by the window), the menus File, View, Vantrel and
// Help, and the buttons of the toolbar.
FrameActions CreateFrameActions(QMainWindow *window, QToolBar *toolBar);
