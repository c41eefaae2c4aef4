#pragma once

#include <functional>

#include <QByteArray>

#include "platform/registrydocument.h"

// Reading and rewriting the settings file. Nothing is cached: every read
// takes the file as it is now. A change is made under a lock file beside the
// settings file: the file is read again, the one change applied, and the whole
// file written to a temporary file that then replaces it, so a reader never
// sees half a file and two programs never lose each other's writes.
class RegistryStore
{
public:
    enum class LoadResult
    {
        Missing,
        Loaded,
        Unreadable
    };
    enum class Change
    {
        Fail,
        None,
        Write
    };

    // The largest settings file we read. The program writes a few hundred
    // bytes; anything near this is damage, and is left alone rather than
    // loaded into memory.
    static constexpr qint64 kMaxFileSize = 1024 * 1024;

    explicit RegistryStore(QByteArray filePath);

    // A missing file loads as an empty document. A file that exists but
    // cannot be read (no permission, not a regular file, too large, I/O
    // error) is Unreadable: reads then give defaults and changes fail.
    LoadResult Load(RegistryDocument &document) const;
    // Applies change to the current document under the lock and writes the
    // result when change asks for it. True when change did not fail and any
    // write reached the disk.
    bool Update(const std::function<Change(RegistryDocument &)> &change) const;

private:
    QByteArray m_filePath;
};
