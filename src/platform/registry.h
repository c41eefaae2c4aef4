#pragma once

#include <chrono>

#include <QByteArray>
#include <QList>

// The machine-wide settings tree: keys below a root, each holding text values
// by name. It lives in one text file, settings.reg, in the system directory;
// every operation reads that file afresh and every change rewrites it whole,
// atomically and under a lock, so that several programs can share it.

enum class RegRoot
{
    LocalMachine
};

enum class RegDisposition
{
    CreatedNewKey,
    OpenedExistingKey
};

// An open key. Opening checks that the key exists (or creates it); the handle
// then names the key in the settings file it was opened in. Key and value
// names match without regard to ASCII case and keep the case of their first
// writing.
class RegKey
{
public:
    RegKey() = default;
    ~RegKey();

    RegKey(RegKey &&other) noexcept;
    RegKey &operator=(RegKey &&other) noexcept;
    RegKey(const RegKey &) = delete;
    RegKey &operator=(const RegKey &) = delete;

    // Creates subKey below root, with any missing key on its way, or opens it
    // when it exists, with write access. Reports which of the two happened.
    bool Create(RegRoot root, const QByteArray &subKey, RegDisposition *disposition = nullptr);
    // The same below this key, which must be open with write access.
    bool CreateSubKey(const QByteArray &subKey, RegKey &result,
                      RegDisposition *disposition = nullptr) const;
    // Opens an existing key for reading; fails when it is missing.
    bool Open(RegRoot root, const QByteArray &subKey);

    // Reads a value as into a buffer of bufferSize bytes: fails when the value
    // is missing or when its text and a terminating zero would not fit.
    bool QueryValue(const QByteArray &valueName, QByteArray &text, qsizetype bufferSize) const;
    // Stores a text value in this key (open with write access), replacing the
    // value of that name. Creates nothing but the value.
    bool SetValue(const QByteArray &valueName, const QByteArray &text) const;

    void Close();
    bool IsOpen() const { return m_open; }
    bool IsWritable() const { return m_open && m_writable; }

private:
    bool CreateIn(const QByteArray &filePath, RegRoot root, const QList<QByteArray> &path,
                  RegDisposition *disposition);

    QByteArray m_filePath;
    RegRoot m_root = RegRoot::LocalMachine;
    QList<QByteArray> m_path;
    bool m_open = false;
    bool m_writable = false;
};

// The path of the settings file in the system directory; empty when the
// system directory cannot be named or created.
QByteArray RegistryFilePath();

struct RegistryWrite;

// A text value to store in the key keyPath below root.
struct RegValueWrite
{
    RegRoot root = RegRoot::LocalMachine;
    QByteArray keyPath;
    QByteArray name;
    QByteArray text;
};

// Stores the values in one change of the settings file, creating missing keys
// on their way: every value reaches the disk, or none does. Waits up to
// lockWait for another program that holds the file's lock.
RegistryWrite RegSetValues(const QList<RegValueWrite> &values, std::chrono::milliseconds lockWait);
