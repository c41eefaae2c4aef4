#pragma once

#include <chrono>

#include <QByteArray>

#include "platform/registry.h"
#include "settings/settingswriter.h"

// The program's one persistent store of user settings: text values grouped in
// sections below the program key, each operation opening the section's key,
// doing one thing and closing it again. Nothing is cached but a value that
// waits for another program to release the settings file.
class CRegSettings
{
public:
    CRegSettings();
    virtual ~CRegSettings();

    CRegSettings(const CRegSettings &) = delete;
    CRegSettings &operator=(const CRegSettings &) = delete;

    // Creates or opens keyPath below root with write access. m_strKey and
    // m_hRoot are set first, so they hold even when the key cannot be made.
    bool Open(RegKey &key, RegDisposition &disposition, RegRoot root, const QByteArray &keyPath);
    // Fills the open program key once from Vantrel.INI in the system directory.
    // True when there was a Vantrel.INI to import (whatever it held).
    bool ImportIniFile(RegKey &key);

    // A value reads back whole, whatever its length; a value waiting to be
    // stored reads as it will be stored.
    int ReadInt(const QByteArray &section, const QByteArray &valueName, int defaultValue) const;
    QByteArray ReadString(const QByteArray &section, const QByteArray &valueName,
                          const QByteArray &defaultValue) const;
    // True when the value is in the settings file now. A value that cannot be
    // stored is told to the write listener; one that meets another program's
    // lock waits as SetLockWait says, and is told only if it never gets in.
    bool WriteInt(const QByteArray &section, const QByteArray &valueName, int value);
    bool WriteString(const QByteArray &section, const QByteArray &valueName,
                     const QByteArray &text);

    // Who tells the user of a setting that could not be stored; null for none.
    void SetWriteListener(SettingsWriteListener *listener) { m_writer.SetListener(listener); }
    SettingsWriteListener *WriteListener() const { return m_writer.Listener(); }
    // What a write does while another program holds the lock, and for how
    // long at most. A window retries from the event loop (the default).
    void SetLockWait(SettingsLockWait wait,
                     std::chrono::milliseconds patience = SettingsWriter::kDefaultPatience)
    {
        m_writer.SetLockWait(wait, patience);
    }
    // Some value waits for another program to release the settings file.
    bool HasPendingWrites() const { return m_writer.HasPending(); }

    QByteArray m_strKey;
    RegRoot m_hRoot = RegRoot::LocalMachine;

private:
    bool QueryText(const QByteArray &section, const QByteArray &valueName, QByteArray &text) const;

    SettingsWriter m_writer;
};
