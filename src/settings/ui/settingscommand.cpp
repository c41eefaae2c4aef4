#include "settingscommand.h"

#include <QPointer>

#include "settings/regsettings.h"
#include "settings/ui/settingsdlg.h"

std::optional<ViewSettings>
RunSettingsDialog(QWidget *parent, CRegSettings &settings,
                  const std::array<QByteArray, kCategoryCount> &categoryTexts,
                  const ViewSettings &current)
{
    // Owned by its parent, and watched: should the parent go away while the
    // dialog is open, the dialog goes with it and the command ends as Cancel.
    QPointer<CSettingsDlg> dialog = new CSettingsDlg(categoryTexts, parent);
    dialog->SetValues(current.backColor, current.timeoutSec, current.filter);
    dialog->SetJobs(current.jobs);
    dialog->SetTodaysWeb(current.todaysWeb);
    dialog->SetSiteRoot(current.siteRoot);
    dialog->SetPolite(current.polite);
    dialog->SetProxy(current.proxy);
    dialog->SetExclusions(current.exclusions);
    const int result = dialog->exec();
    if (!dialog)
        return std::nullopt;
    const ViewSettings chosen{dialog->BackColor(), dialog->Timeout(),   dialog->Filter(),
                              dialog->Jobs(),      dialog->TodaysWeb(), dialog->SiteRoot(),
                              dialog->Polite(),    dialog->Proxy(),     dialog->Exclusions()};
    delete dialog;
    if (result != QDialog::Accepted)
        return std::nullopt;

    settings.WriteInt("Settings", "BackColor", static_cast<int>(chosen.backColor));
    settings.WriteInt("Settings", "Timeout", chosen.timeoutSec);
    settings.WriteString("Settings", "Filter", chosen.filter.left(kClassicCategoryCount));
    settings.WriteInt("Settings", "Jobs", chosen.jobs);
    // The https failures' and today's web categories' flags are kept apart,
    // so that "Filter" stays the 21 characters that older settings and
    // outside tools expect.
    settings.WriteString(
        "Settings", "TlsFilter",
        CResultCategories::FilterPart(chosen.filter, kClassicCategoryCount, kTlsFilterDefault));
    settings.WriteString("Settings", "WebFilter",
                         CResultCategories::FilterPart(chosen.filter,
                                                       kClassicCategoryCount + kTlsCategoryCount,
                                                       kWebFilterDefault));
    settings.WriteInt("Settings", "TodaysWeb", chosen.todaysWeb ? 1 : 0);
    settings.WriteString("Settings", "SiteRoot", chosen.siteRoot);
    settings.WriteInt("Settings", "Retries", chosen.polite.retries);
    settings.WriteInt("Settings", "RetryWaitMax", chosen.polite.waitMaxMs / 1000);
    settings.WriteInt("Settings", "HostInterval", chosen.polite.hostIntervalMs);
    settings.WriteString("Settings", "Proxy", chosen.proxy);
    settings.WriteString("Settings", "ExcludeLinks", chosen.exclusions);
    return chosen;
}
