#pragma once

#include <functional>
#include <memory>

#include <QMainWindow>

#include "app/frameactions.h"
#include "engine/testengine.h"
#include "engine/ui/reportprinter.h"

class CFrameStatusBar;
class CHelpWindow;
class CResultsTable;
class CRegSettings;
class CVantrelDoc;
class CVantrelView;
class QTabWidget;
class QToolBar;
struct LinkRow;

// The main window: the menus, the toolbar, the status bar, and the results
// window with the results table on a tab beside it. Its place and size on
// the screen are kept in the settings on every move and resize and restored
// at the next start. The title names the report's file.
class CMainFrame final : public QMainWindow
{
    Q_OBJECT

public:
    // onAbout runs the About box, which belongs to the application; the
    // options go to the test engine.
    CMainFrame(CRegSettings &settings, std::function<void()> onAbout, EngineOptions options = {},
               QWidget *parent = nullptr);
    ~CMainFrame() override;

    CVantrelView *View() const { return m_view; }
    CResultsTable *Table() const { return m_table; }
    QTabWidget *Tabs() const { return m_tabs; }
    CVantrelDoc &Document() { return *m_doc; }
    CFrameStatusBar *StatusBar() const { return m_wndStatusBar; }
    QToolBar *ToolBar() const { return m_wndToolBar; }
    const FrameActions &Actions() const { return m_actions; }
    CReportPrinter &Printer() { return m_printer; }

    // Opens the help window (made at first use) on a page of the help book.
    void ShowHelp(const QString &page);
    CHelpWindow *HelpWindow() const { return m_help.get(); }

protected:
    void moveEvent(QMoveEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void NameUnnamedControls();
    void ConnectCommands(const std::function<void()> &onAbout);
    void UpdateCommandStates();
    void ConnectTable();
    void OpenInBrowser(const LinkRow &row, bool page);
    void OpenInEditor(const LinkRow &row);
    void Open(const struct OpenCommand &command);
    // Stores the window's place unless it is minimised.
    void RecordPlacement();

    CRegSettings &m_settings;
    QToolBar *m_wndToolBar = nullptr;
    CFrameStatusBar *m_wndStatusBar = nullptr;
    CVantrelView *m_view = nullptr;
    CResultsTable *m_table = nullptr;
    QTabWidget *m_tabs = nullptr;
    FrameActions m_actions;
    CReportPrinter m_printer;
    std::unique_ptr<CVantrelDoc> m_doc;
    // A window of its own, without a parent, so that a dialog's Help page
    // stays usable while the dialog is open: dialogs are modal to the main
    // window only.
    std::unique_ptr<CHelpWindow> m_help;
    bool m_bPlaced = false;
};
