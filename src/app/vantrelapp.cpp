#include "vantrelapp.h"

#include "app/mainframe.h"
#include "app/vantreldoc.h"
#include "controls/aboutdlg.h"
#include "settings/regsettings.h"
#include "settings/settingsstartup.h"

CVantrelApp::CVantrelApp() = default;

CVantrelApp::~CVantrelApp()
{
    ExitInstance();
}

bool CVantrelApp::InitInstance(const QStringList &reportFiles)
{
    m_pSettings = StartSettingsStore();
    if (!m_pSettings)
        return false;
    m_pMainWnd = std::make_unique<CMainFrame>(*m_pSettings, [this] { OnAppAbout(); });
    m_pMainWnd->show();
    if (!reportFiles.isEmpty())
        m_pMainWnd->Document().OpenFile(reportFiles.constFirst());
    return true;
}

int CVantrelApp::ExitInstance()
{
    // The window goes first: closing it ends a run and removes the work files,
    // which still reads the settings.
    m_pMainWnd.reset();
    m_pSettings.reset();
    return 0;
}

void CVantrelApp::OnAppAbout()
{
    CAboutDlg dialog(m_nMailVisited, m_nHomeVisited, m_pMainWnd.get());
    dialog.exec();
}
