#include "registrystore.h"

#include <cerrno>
#include <sys/stat.h>
#include <utility>

#include <QFile>
#include <QLockFile>

#include "platform/atomicfile.h"

namespace {

// Long enough to outlast any other program's single write.
constexpr int kLockWaitMs = 10000;

} // namespace

RegistryStore::RegistryStore(QByteArray filePath) : m_filePath(std::move(filePath)) {}

RegistryStore::LoadResult RegistryStore::Load(RegistryDocument &document) const
{
    document = RegistryDocument();
    if (m_filePath.isEmpty())
        return LoadResult::Unreadable;
    struct stat info
    {};
    if (stat(m_filePath.constData(), &info) != 0)
        return errno == ENOENT ? LoadResult::Missing : LoadResult::Unreadable;
    // A directory or a pipe in its place must not be opened (a pipe would
    // block); a huge file is not ours to load.
    if (!S_ISREG(info.st_mode) || info.st_size > kMaxFileSize)
        return LoadResult::Unreadable;

    QFile file(QFile::decodeName(m_filePath));
    if (!file.open(QIODevice::ReadOnly))
        return LoadResult::Unreadable;
    const QByteArray bytes = file.read(kMaxFileSize + 1);
    if (file.error() != QFileDevice::NoError || bytes.size() > kMaxFileSize)
        return LoadResult::Unreadable;
    document = RegistryDocument::Parse(bytes);
    return LoadResult::Loaded;
}

bool RegistryStore::Update(const std::function<Change(RegistryDocument &)> &change) const
{
    if (m_filePath.isEmpty())
        return false;
    QLockFile lock(QFile::decodeName(m_filePath + ".lock"));
    if (!lock.tryLock(kLockWaitMs))
        return false;

    RegistryDocument document;
    if (Load(document) == LoadResult::Unreadable)
        return false;
    switch (change(document)) {
    case Change::Fail:
        return false;
    case Change::None:
        return true;
    case Change::Write:
        break;
    }

    const QByteArray bytes = document.Serialise();
    // A file past the limit would read as unreadable and hide every setting.
    if (bytes.size() > kMaxFileSize)
        return false;
    // A write that fails at any step, a full disk for one, leaves the old
    // file as it was: the settings are never lost to a half-written file.
    AtomicFileWriter file(m_filePath);
    return file.Open() && file.Write(bytes) && file.Commit();
}
