#pragma once

#include <QByteArray>

#include "platform/registry.h"

// The program's one persistent store of user settings: text values grouped in
// sections below the program key, each operation opening the section's key,
// doing one thing and closing it again. Nothing is cached.
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
    void ImportIniFile(RegKey &key);

    int ReadInt(const QByteArray &section, const QByteArray &valueName, int defaultValue) const;
    bool WriteInt(const QByteArray &section, const QByteArray &valueName, int value);
    QByteArray ReadString(const QByteArray &section, const QByteArray &valueName,
                          const QByteArray &defaultValue) const;
    bool WriteString(const QByteArray &section, const QByteArray &valueName,
                     const QByteArray &text);

    QByteArray m_strKey;
    RegRoot m_hRoot = RegRoot::LocalMachine;

private:
    // Reads a value of a section through the bounded read buffer.
    bool QueryText(const QByteArray &section, const QByteArray &valueName, QByteArray &text) const;
};
