#include "registrystore.h"

#include <cerrno>
#include <sys/stat.h>
#include <utility>

#include <QFile>
#include <QLockFile>

#include "platform/atomicfile.h"
#include "platform/filerules.h"

namespace {

RegistryWrite Failed(const QString &why)
{
    return {RegistryWrite::Status::Failed, why};
}

// Why the lock could not be taken. errno still holds what the failed making
// of the lock file met (Qt reports only a broad class of it), so that a full
// disk or a read-only directory is named as such.
RegistryWrite LockProblem(const QLockFile &lock, int code)
{
    if (lock.error() == QLockFile::LockFailedError)
        return {RegistryWrite::Status::Locked,
                QStringLiteral("the settings file is locked by another program")};
    if (code == 0 || code == EEXIST)
        return Failed(QStringLiteral("the lock file beside the settings file cannot be made"));
    return Failed(SystemErrorText(code));
}

} // namespace

RegistryStore::RegistryStore(QByteArray filePath) : m_filePath(std::move(filePath)) {}

RegistryStore::LoadResult RegistryStore::Load(RegistryDocument &document, QString *why) const
{
    const auto unreadable = [why](const QString &reason) {
        if (why != nullptr)
            *why = reason;
        return LoadResult::Unreadable;
    };
    document = RegistryDocument();
    if (m_filePath.isEmpty())
        return unreadable(QStringLiteral("the system directory cannot be used"));
    struct stat info
    {};
    if (stat(m_filePath.constData(), &info) != 0)
        return errno == ENOENT ? LoadResult::Missing : unreadable(SystemErrorText(errno));
    // A directory or a pipe in its place must not be opened (a pipe would
    // block); a huge file is not ours to load.
    if (!S_ISREG(info.st_mode))
        return unreadable(QStringLiteral("the settings file is not a regular file"));
    if (info.st_size > kMaxFileSize)
        return unreadable(QStringLiteral("the settings file is damaged: it is larger than 1 MB"));

    QFile file(QFile::decodeName(m_filePath));
    if (!file.open(QIODevice::ReadOnly))
        return unreadable(file.errorString());
    const QByteArray bytes = file.read(kMaxFileSize + 1);
    if (file.error() != QFileDevice::NoError)
        return unreadable(file.errorString());
    if (bytes.size() > kMaxFileSize)
        return unreadable(QStringLiteral("the settings file is damaged: it is larger than 1 MB"));
    document = RegistryDocument::Parse(bytes);
    return LoadResult::Loaded;
}

RegistryWrite RegistryStore::Update(const std::function<Change(RegistryDocument &)> &change,
                                    std::chrono::milliseconds lockWait) const
{
    if (m_filePath.isEmpty())
        return Failed(QStringLiteral("the system directory cannot be used"));
    QLockFile lock(QFile::decodeName(m_filePath + ".lock"));
    errno = 0;
    if (!lock.tryLock(lockWait))
        return LockProblem(lock, errno);

    RegistryDocument document;
    QString why;
    if (Load(document, &why) == LoadResult::Unreadable)
        return Failed(why);
    switch (change(document)) {
    case Change::Fail:
        return Failed(QStringLiteral("the key to store in does not exist"));
    case Change::None:
        return {};
    case Change::Write:
        break;
    }

    const QByteArray bytes = document.Serialise();
    // A file past the limit would read as unreadable and hide every setting.
    if (bytes.size() > kMaxFileSize)
        return Failed(QStringLiteral("the settings file would grow larger than 1 MB"));
    // A write that fails at any step, a full disk for one, leaves the old
    // file as it was: the settings are never lost to a half-written file.
    AtomicFileWriter file(m_filePath);
    if (!file.Open() || !file.Write(bytes) || !file.Commit())
        return Failed(file.ErrorString());
    return {};
}
