#pragma once

#include <memory>

#include <QStringList>

class CMainFrame;
class CRegSettings;

// The application: it opens the settings store before anything else, makes
// the main window, and keeps what must outlast a single dialog: the settings
// store and the About box's two visited flags.
class CVantrelApp
{
public:
    CVantrelApp();
    ~CVantrelApp();

    CVantrelApp(const CVantrelApp &) = delete;
    CVantrelApp &operator=(const CVantrelApp &) = delete;

    // Opens the settings store (importing Vantrel.INI the first time), makes
    // and shows the main window, and opens the report named on the command
    // line, if any. False when the program cannot start.
    bool InitInstance(const QStringList &reportFiles);
    int ExitInstance();
    void OnAppAbout();

    CMainFrame *MainFrame() const { return m_pMainWnd.get(); }

    std::unique_ptr<CRegSettings> m_pSettings;
    int m_nMailVisited = 0;
    int m_nHomeVisited = 0;

private:
    std::unique_ptr<CMainFrame> m_pMainWnd;
};
