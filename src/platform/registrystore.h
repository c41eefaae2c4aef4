#pragma once

#include <chrono>
#include <functional>

#include <QByteArray>
#include <QString>

#include "platform/registrydocument.h"

// How a change of the settings file ended. A change that did not reach the
// disk says why, in words for the user.
struct RegistryWrite
{
    enum class Status
    {
        Done,
        // Another program held the lock for the whole wait.
        Locked,
        Failed
    };

    Status status = Status::Done;
    QString why;

    bool Done() const { return status == Status::Done; }
};

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
    // Long enough to outlast any other program's single write.
    static constexpr std::chrono::milliseconds kLockWait{10000};

    explicit RegistryStore(QByteArray filePath);

    // A missing file loads as an empty document. A file that exists but
    // cannot be read (no permission, not a regular file, too large, I/O
    // error) is Unreadable, and why says so: reads then give defaults and
    // changes fail.
    LoadResult Load(RegistryDocument &document, QString *why = nullptr) const;
    // Applies change to the current document under the lock, waiting up to
    // lockWait for another program to release it, and writes the result when
    // change asks for it. Done when change did not fail and any write reached
    // the disk.
    RegistryWrite Update(const std::function<Change(RegistryDocument &)> &change,
                         std::chrono::milliseconds lockWait = kLockWait) const;

private:
    QByteArray m_filePath;
};
