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
        if (disposition == RegDisposition::CreatedNewKey)
            settings->ImportIniFile(key);
        key.Close();
    }
    return settings;
}
