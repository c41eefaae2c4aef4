#include "mainframe.h"

#include <QGuiApplication>
#include <QScreen>
#include <QSizeGrip>
#include <QToolBar>
#include <QToolButton>
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
#include "settings/ui/settingsfailurebox.h"

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
    // First, so that the writes of the window's own start are told too.
    new CSettingsFailureBox(settings, this);

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
    NameUnnamedControls();

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
    // Every command runs from the event loop once the action has been
    // triggered, not inside the trigger: a command that opens a modal window
    // must not keep whoever triggered it waiting, be it a menu or an
    // assistive tool that pressed the item and waits for the answer.
    const auto command = [](QAction *action, QObject *context, std::function<void()> run) {
        connect(
            action, &QAction::triggered, context, [run] { run(); }, Qt::QueuedConnection);
    };
    const FrameActions &a = m_actions;
    CVantrelView *view = m_view;
    command(a.selectFiles, view, [view] { view->OnSelectFiles(); });
    command(a.retest, view, [view] { view->OnRetestFailedLinks(); });
    command(a.exportResults, view, [view] { view->OnExportResults(); });
    command(a.repair, view, [view] { view->OnRepairFailedLinks(); });
    command(a.print, this, [this] { m_printer.Print(*m_view, this); });
    command(a.printPreview, this, [this] { m_printer.PrintPreview(*m_view, this); });
    command(a.printSetup, this, [this] { m_printer.PrintSetup(this); });
    command(a.exit, this, [this] { close(); });
    command(a.chooseFont, view, [view] { view->OnChooseFont(); });
    command(a.clearWindow, view, [view] { view->OnClearWindow(); });
    connect(a.statusBar, &QAction::toggled, m_wndStatusBar, &QWidget::setVisible);
    command(a.settings, view, [view] { view->OnSettings(); });
    command(a.stopTest, view, [view] { view->OnStopTest(); });
    command(a.helpTopics, this, [this] { ShowHelp(QLatin1String(HelpTopic::Contents)); });
    command(a.about, this, onAbout);

    command(a.newReport, this, [this] { m_doc->OnNewDocument(); });
    command(a.openReport, this, [this] { m_doc->OnOpenDocument(); });
    command(a.saveReport, this, [this] { m_doc->OnSaveDocument(); });
    command(a.copy, view, [view] { view->copy(); });
    command(a.help, this, [this] { ShowHelp(QLatin1String(HelpTopic::Contents)); });
    command(a.whatsThis, this, [] { QWhatsThis::enterWhatsThisMode(); });

    connect(view, &CVantrelView::commandStateChanged, this, [this] { UpdateCommandStates(); });
}

void CMainFrame::NameUnnamedControls()
{
    // Controls that Qt adds on its own carry no text; assistive tools get a
    // name for each.
    if (auto *more =
            m_wndToolBar->findChild<QToolButton *>(QStringLiteral("qt_toolbar_ext_button"))) {
        more->setAccessibleName(QStringLiteral("More commands"));
        more->setToolTip(QStringLiteral("More commands"));
    }
    for (QSizeGrip *grip : m_wndStatusBar->findChildren<QSizeGrip *>())
        grip->setAccessibleName(QStringLiteral("Resize window"));
}

void CMainFrame::UpdateCommandStates()
{
    const CTestEngine &engine = m_view->Engine();
    m_actions.selectFiles->setEnabled(engine.CanSelectFiles());
    m_actions.stopTest->setEnabled(engine.CanStopTest());
    m_actions.retest->setEnabled(engine.CanRetestOrRepair());
    m_actions.repair->setEnabled(engine.CanRetestOrRepair());
    m_actions.exportResults->setEnabled(engine.CanExport());
    m_actions.clearWindow->setEnabled(engine.CanClearWindow());
    m_actions.newReport->setEnabled(!engine.IsRunning());
    m_actions.openReport->setEnabled(!engine.IsRunning());
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
