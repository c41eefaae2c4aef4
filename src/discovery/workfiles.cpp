#include "workfiles.h"

#include <fcntl.h>
#include <unistd.h>

#include "platform/systemdirectory.h"

QByteArray CWorkFiles::WorkFilePath(const QByteArray &suffix) const
{
    const QByteArray directory = GetSystemDirectory();
    if (directory.isEmpty())
        return {};
    return JoinPath(directory, m_strWorkFileBase + suffix);
}

void CWorkFiles::CleanUp() const
{
    for (const char *suffix : {"", "1", "2", "3"}) {
        const QByteArray path = WorkFilePath(suffix);
        if (path.isEmpty())
            return;
        if (OpenWorkFileForReading(path).IsValid())
            unlink(path.constData());
    }
}

UniqueFd CreateWorkFile(const QByteArray &path)
{
    if (path.isEmpty())
        return UniqueFd();
    unlink(path.constData());
    return UniqueFd(
        open(path.constData(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
}

UniqueFd OpenWorkFileForReading(const QByteArray &path)
{
    if (path.isEmpty())
        return UniqueFd();
    return UniqueFd(open(path.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK));
}
