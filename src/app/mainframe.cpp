#include "mainframe.h"

#include <QCloseEvent>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
#include <QSizeGrip>
#include <QTabWidget>
#include <QTableView>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>
#include <QWhatsThis>

#include "app/appicons.h"
#include "app/framestatusbar.h"
#include "app/help/helptopics.h"
#include "app/help/helpwindow.h"
#include "app/linkopener.h"
#include "app/tablecommands.h"
#include "app/vantreldoc.h"
#include "app/windowplacement.h"
#include "engine/testengine.h"
#include "engine/ui/reporttext.h"
#include "engine/ui/vantrelview.h"
#include "records/reporttextreader.h"
#include "records/ui/linktablemodel.h"
#include "records/ui/resultstable.h"
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

    // The report stays the window it always was; the table is a second view
    // of the same runs, a tab away.
    m_tabs = new QTabWidget(this);
    m_tabs->setDocumentMode(true);
    m_view = new CVantrelView(settings, *m_wndStatusBar, std::move(options), m_tabs);
    m_table = new CResultsTable(m_tabs);
    m_tabs->addTab(m_view, QStringLiteral("Report"));
    m_tabs->addTab(m_table, QStringLiteral("Table"));
    setCentralWidget(m_tabs);
    m_doc = std::make_unique<CVantrelDoc>(*m_view);
    m_doc->m_onTitleChanged = [this] {
        setWindowTitle(m_doc->Title());
    };
    m_doc->m_onOpened = [this](const QByteArray &report) {
        ReadReportText(report, m_table->Listener());
        m_table->Model().Flush();
    };
    ConnectTable();

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
    command(a.saveReportAs, this, [this] { m_doc->OnSaveDocumentAs(); });
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
    // While a directory is listed or a repair runs, nothing starts or
    // replaces the report; Stop ends a listing as it ends a run.
    const bool idle = !m_view->Busy();
    m_actions.selectFiles->setEnabled(engine.CanSelectFiles() && idle);
    m_actions.stopTest->setEnabled(engine.CanStopTest() || m_view->IsListing());
    m_actions.retest->setEnabled(engine.CanRetestOrRepair() && idle);
    m_actions.repair->setEnabled(engine.CanRetestOrRepair() && idle);
    m_actions.exportResults->setEnabled(engine.CanExport());
    m_actions.clearWindow->setEnabled(engine.CanClearWindow() && idle);
    m_actions.newReport->setEnabled(!engine.IsRunning() && idle);
    m_actions.openReport->setEnabled(!engine.IsRunning() && idle);
    m_table->SetRunCommandsEnabled(engine.CanRetestOrRepair() && !engine.IsRunning() && idle);
}

void CMainFrame::ConnectTable()
{
    m_view->Engine().AddRunListener(&m_table->Listener());
    connect(m_view, &CVantrelView::textCleared, m_table, [this] { m_table->Model().Clear(); });
    // The table shows a run's end with the report.
    connect(m_view, &CVantrelView::commandStateChanged, m_table,
            [this] { m_table->Model().Flush(); });
    connect(m_table, &CResultsTable::openLinkInBrowser, this,
            [this](const LinkRow &row) { OpenInBrowser(row, false); });
    connect(m_table, &CResultsTable::openPageInBrowser, this,
            [this](const LinkRow &row) { OpenInBrowser(row, true); });
    connect(m_table, &CResultsTable::openPageInEditor, this,
            [this](const LinkRow &row) { OpenInEditor(row); });
    // The commands that open windows of their own run after the menu has closed.
    connect(
        m_table, &CResultsTable::retestSelected, m_view,
        [this](const QList<const LinkRow *> &rows) {
            m_view->RetestLinks(RetestPagesOf(*m_table, rows));
        },
        Qt::QueuedConnection);
    connect(
        m_table, &CResultsTable::repairSelected, m_view,
        [this](const QList<const LinkRow *> &rows) {
            m_view->RepairLinks(ReportOf(*m_table, rows));
        },
        Qt::QueuedConnection);
}

void CMainFrame::OpenInBrowser(const LinkRow &row, bool page)
{
    const QString pagePath = QFileInfo(QFile::decodeName(m_table->PageOf(row))).absoluteFilePath();
    const QUrl pageUrl = QUrl::fromLocalFile(pagePath);
    if (page) {
        Open(BrowserCommand(pageUrl.toString()));
        return;
    }
    // A link written relative to its page is opened where it leads from there.
    const QUrl link(DecodeReportPiece(m_table->AddressOf(row)));
    Open(BrowserCommand(link.isRelative() ? pageUrl.resolved(link).toString() : link.toString()));
}

void CMainFrame::OpenInEditor(const LinkRow &row)
{
    const QString pagePath = QFileInfo(QFile::decodeName(m_table->PageOf(row))).absoluteFilePath();
    Open(EditorCommand(pagePath, row.line));
}

void CMainFrame::Open(const OpenCommand &command)
{
    QString why;
    if (!StartOpenCommand(command, &why))
        m_view->MessageBox(why, EngineUi::Icon::None);
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
    // A repair ends first (its Stop ends it soon, between pages).
    if (m_view->IsRepairing() || !m_doc->SaveModified()) {
        event->ignore();
        return;
    }
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
