#include "registry.h"

#include <utility>

#include "platform/registrydocument.h"
#include "platform/registrystore.h"
#include "platform/registrytext.h"
#include "platform/systemdirectory.h"

QByteArray RegistryFilePath()
{
    const QByteArray directory = GetSystemDirectory();
    if (directory.isEmpty())
        return {};
    return JoinPath(directory, "settings.reg");
}

RegKey::~RegKey()
{
    Close();
}

RegKey::RegKey(RegKey &&other) noexcept
    : m_filePath(std::move(other.m_filePath)), m_root(other.m_root),
      m_path(std::move(other.m_path)), m_open(std::exchange(other.m_open, false)),
      m_writable(std::exchange(other.m_writable, false))
{}

RegKey &RegKey::operator=(RegKey &&other) noexcept
{
    if (this != &other) {
        m_filePath = std::move(other.m_filePath);
        m_root = other.m_root;
        m_path = std::move(other.m_path);
        m_open = std::exchange(other.m_open, false);
        m_writable = std::exchange(other.m_writable, false);
    }
    return *this;
}

void RegKey::Close()
{
    m_filePath.clear();
    m_path.clear();
    m_open = false;
    m_writable = false;
}

bool RegKey::CreateIn(const QByteArray &filePath, RegRoot root, const QList<QByteArray> &path,
                      RegDisposition *disposition)
{
    Close();
    const RegistryStore store(filePath);
    RegDisposition result = RegDisposition::OpenedExistingKey;
    // An existing key needs no write, so opening it does not take the lock
    // (and works where the file can be read but not replaced).
    RegistryDocument current;
    const bool exists =
        store.Load(current) == RegistryStore::LoadResult::Loaded && current.HasKey(root, path);
    if (!exists) {
        const RegistryWrite written = store.Update([&](RegistryDocument &document) {
            // Another program may have made the key since we looked.
            if (document.HasKey(root, path))
                return RegistryStore::Change::None;
            document.AddKey(root, path);
            result = RegDisposition::CreatedNewKey;
            return RegistryStore::Change::Write;
        });
        if (!written.Done())
            return false;
    }
    m_filePath = filePath;
    m_root = root;
    m_path = path;
    m_open = true;
    m_writable = true;
    if (disposition != nullptr)
        *disposition = result;
    return true;
}

bool RegKey::Create(RegRoot root, const QByteArray &subKey, RegDisposition *disposition)
{
    return CreateIn(RegistryFilePath(), root, SplitKeyPath(subKey), disposition);
}

bool RegKey::CreateSubKey(const QByteArray &subKey, RegKey &result,
                          RegDisposition *disposition) const
{
    if (&result == this || !IsWritable())
        return false;
    return result.CreateIn(m_filePath, m_root, m_path + SplitKeyPath(subKey), disposition);
}

bool RegKey::Open(RegRoot root, const QByteArray &subKey)
{
    Close();
    const QByteArray filePath = RegistryFilePath();
    const QList<QByteArray> path = SplitKeyPath(subKey);
    RegistryDocument document;
    if (RegistryStore(filePath).Load(document) == RegistryStore::LoadResult::Unreadable ||
        !document.HasKey(root, path))
        return false;
    m_filePath = filePath;
    m_root = root;
    m_path = path;
    m_open = true;
    return true;
}

bool RegKey::QueryValue(const QByteArray &valueName, QByteArray &text, qsizetype bufferSize) const
{
    if (!m_open)
        return false;
    RegistryDocument document;
    if (RegistryStore(m_filePath).Load(document) != RegistryStore::LoadResult::Loaded)
        return false;
    const std::optional<QByteArray> value = document.Value(m_root, m_path, valueName);
    if (!value || value->size() + 1 > bufferSize)
        return false;
    text = *value;
    return true;
}

bool RegKey::SetValue(const QByteArray &valueName, const QByteArray &text) const
{
    if (!IsWritable())
        return false;
    return RegistryStore(m_filePath)
        .Update([&](RegistryDocument &document) {
            switch (document.SetValue(m_root, m_path, valueName, text)) {
            case RegistryDocument::SetResult::NoSuchKey:
                return RegistryStore::Change::Fail;
            case RegistryDocument::SetResult::Unchanged:
                return RegistryStore::Change::None;
            case RegistryDocument::SetResult::Changed:
                break;
            }
            return RegistryStore::Change::Write;
        })
        .Done();
}

RegistryWrite RegSetValues(const QList<RegValueWrite> &values, std::chrono::milliseconds lockWait)
{
    return RegistryStore(RegistryFilePath())
        .Update(
            [&](RegistryDocument &document) {
                bool changed = false;
                for (const RegValueWrite &value : values) {
                    const QList<QByteArray> path = SplitKeyPath(value.keyPath);
                    if (!document.HasKey(value.root, path)) {
                        document.AddKey(value.root, path);
                        changed = true;
                    }
                    if (document.SetValue(value.root, path, value.name, value.text) ==
                        RegistryDocument::SetResult::Changed)
                        changed = true;
                }
                return changed ? RegistryStore::Change::Write : RegistryStore::Change::None;
            },
            lockWait);
}
