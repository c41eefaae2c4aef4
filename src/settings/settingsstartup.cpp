#include "settingsstartup.h"

#include "settings/regsettings.h"

std::unique_ptr<CRegSettings> StartSettingsStore()
{
    auto settings = std::make_unique<CRegSettings>();
    RegKey key;
    RegDisposition disposition = RegDisposition::OpenedExistingKey;
    // When the program key cannot be made, the store still points at it:
    // reads give defaults and every write tries again on its own.
    if (settings->Open(key, disposition, RegRoot::LocalMachine, QByteArray(kProgramKeyPath))) {
        // A new user starts in today's web mode; one who brings the settings
        // of an older installation keeps the classic rules.
        if (disposition == RegDisposition::CreatedNewKey && !settings->ImportIniFile(key))
            settings->WriteInt("Settings", "TodaysWeb", 1);
        key.Close();
    }
    return settings;
}
