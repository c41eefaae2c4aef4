#include <QApplication>

#include "app/desktopengineui.h"
#include "app/mainframe.h"
#include "engine/resultcategories.h"
#include "settings/regsettings.h"
#include "settings/settingsstartup.h"

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vantrel"));
    QApplication::setApplicationVersion(QStringLiteral("2.0"));

    const std::unique_ptr<CRegSettings> settings = StartSettingsStore();

    CMainFrame frame;
    frame.show();

    DesktopEngineUi ui(&frame);
    CResultCategories categories(ui);
    categories.LoadFilter(*settings);

    return QApplication::exec();
}
