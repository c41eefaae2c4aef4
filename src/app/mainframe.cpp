#include "mainframe.h"

#include <QGuiApplication>
#include <QScreen>
#include <QToolBar>
#include <QWhatsThis>

#include "app/appicons.h"
#include "app/framestatusbar.h"
#include "app/help/helptopics.h"
#include "app/help/helpwindow.h"
#include "app/vantreldoc.h"
#include "app/windowplacement.h"
#include "engine/testengine.h"
#include "engine/ui/vantrelview.h"
#include "settings/regsettings.h"

namespace {

// The screen the window opens on: the one holding the stored corner, else
// the primary screen.
QScreen *StartScreen(CRegSettings &settings)
{
    const QPoint corner(settings.ReadInt("Screen", "x", 0), settings.ReadInt("Screen", "y", 0));
    QScreen *screen = QGuiApplication::screenAt(corner);
    return screen != nullptr ? screen : QGuiApplication::primaryScreen();
}

} // namespace

CMainFrame::CMainFrame(CRegSettings &settings, std::function<void()> onAbout, EngineOptions options,
                       QWidget *parent)
    : QMainWindow(parent), m_settings(settings)
{
    setWindowTitle(QStringLiteral("Vantrel"));
    setWindowIcon(ProgramIcon());

    QScreen *screen = StartScreen(settings);
    const WindowPlacement placement = StartPlacement(settings, screen->geometry());
    move(placement.x, placement.y);
    resize(placement.cx, placement.cy);

    m_wndToolBar = addToolBar(QStringLiteral("Toolbar"));
    m_wndToolBar->setObjectName(QStringLiteral("Toolbar"));
    m_wndToolBar->setAllowedAreas(Qt::AllToolBarAreas);
    m_wndToolBar->setIconSize(QSize(24, 24));
    m_wndStatusBar = new CFrameStatusBar(this);
    setStatusBar(m_wndStatusBar);

    m_view = new CVantrelView(settings, *m_wndStatusBar, std::move(options), this);
    setCentralWidget(m_view);
    m_doc = std::make_unique<CVantrelDoc>(*m_view);

    m_actions = CreateFrameActions(this, m_wndToolBar);
    ConnectCommands(onAbout);
    UpdateCommandStates();
    m_bPlaced = true;
}

CMainFrame::~CMainFrame()
{
    // The run ends while the status bar it shows itself in still exists.
    m_view->CloseEngine();
}

void CMainFrame::ConnectCommands(const std::function<void()> &onAbout)
{
    const FrameActions &a = m_actions;
    CVantrelView *view = m_view;
    connect(a.selectFiles, &QAction::triggered, view, [view] { view->OnSelectFiles(); });
    connect(a.retest, &QAction::triggered, view, [view] { view->OnRetestFailedLinks(); });
    connect(a.exportResults, &QAction::triggered, view, [view] { view->OnExportResults(); });
    connect(a.repair, &QAction::triggered, view, [view] { view->OnRepairFailedLinks(); });
    connect(a.print, &QAction::triggered, this, [this] { m_printer.Print(*m_view, this); });
    connect(a.printPreview, &QAction::triggered, this,
            [this] { m_printer.PrintPreview(*m_view, this); });
    connect(a.printSetup, &QAction::triggered, this, [this] { m_printer.PrintSetup(this); });
    connect(a.exit, &QAction::triggered, this, &QWidget::close);
    connect(a.chooseFont, &QAction::triggered, view, [view] { view->OnChooseFont(); });
    connect(a.clearWindow, &QAction::triggered, view, [view] { view->OnClearWindow(); });
    connect(a.statusBar, &QAction::toggled, m_wndStatusBar, &QWidget::setVisible);
    connect(a.settings, &QAction::triggered, view, [view] { view->OnSettings(); });
    connect(a.stopTest, &QAction::triggered, view, [view] { view->OnStopTest(); });
    connect(a.helpTopics, &QAction::triggered, this,
            [this] { ShowHelp(QLatin1String(HelpTopic::Contents)); });
    connect(a.about, &QAction::triggered, this, [onAbout] { onAbout(); });

    connect(a.newReport, &QAction::triggered, this, [this] { m_doc->OnNewDocument(); });
    connect(a.openReport, &QAction::triggered, this, [this] { m_doc->OnOpenDocument(); });
    connect(a.saveReport, &QAction::triggered, this, [this] { m_doc->OnSaveDocument(); });
    connect(a.copy, &QAction::triggered, view, [view] { view->copy(); });
    connect(a.help, &QAction::triggered, this,
            [this] { ShowHelp(QLatin1String(HelpTopic::Contents)); });
    connect(a.whatsThis, &QAction::triggered, this, [] { QWhatsThis::enterWhatsThisMode(); });

    connect(view, &CVantrelView::commandStateChanged, this, [this] { UpdateCommandStates(); });
}

void CMainFrame::UpdateCommandStates()
{
    const CTestEngine &engine = m_view->Engine();
    m_actions.selectFiles->setEnabled(engine.CanSelectFiles());
    m_actions.stopTest->setEnabled(engine.CanStopTest());
    m_actions.retest->setEnabled(engine.CanRetestOrRepair());
    m_actions.repair->setEnabled(engine.CanRetestOrRepair());
    m_actions.exportResults->setEnabled(engine.CanExportOrClear());
    m_actions.clearWindow->setEnabled(engine.CanExportOrClear());
    m_actions.openReport->setEnabled(!engine.m_bRunning);
}

void CMainFrame::ShowHelp(const QString &page)
{
    if (!m_help) {
        m_help = std::make_unique<CHelpWindow>();
        m_help->setWindowIcon(windowIcon());
    }
    m_help->ShowPage(page);
}

void CMainFrame::moveEvent(QMoveEvent *event)
{
    QMainWindow::moveEvent(event);
    RecordPlacement();
}

void CMainFrame::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    RecordPlacement();
}

void CMainFrame::changeEvent(QEvent *event)
{
    QMainWindow::changeEvent(event);
    // Restoring a minimised window records where it comes back to.
    if (event->type() == QEvent::WindowStateChange)
        RecordPlacement();
}

void CMainFrame::closeEvent(QCloseEvent *event)
{
    // The help window goes with the main window, so that the program ends.
    if (m_help)
        m_help->close();
    QMainWindow::closeEvent(event);
}

void CMainFrame::RecordPlacement()
{
    if (!m_bPlaced || isMinimized())
        return;
    WritePlacement(m_settings, MovedPlacement(pos(), size()));
}
