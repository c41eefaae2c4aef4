#include "workfiles.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

#include "platform/systemdirectory.h"

CWorkFiles::NewFile::NewFile(const QByteArray &path) : m_path(path)
{
    if (path.isEmpty()) {
        errno = ENOENT;
        return;
    }
    // mkostemp creates the file with mode 0600 under a name nobody else holds.
    m_temporary = path + ".XXXXXX";
    m_fd.Reset(mkostemp(m_temporary.data(), O_CLOEXEC));
    if (!m_fd.IsValid())
        m_temporary.clear();
}

CWorkFiles::NewFile::~NewFile()
{
    // Callers read errno after the failure that ends a NewFile's life.
    const int failure = errno;
    m_fd.Reset();
    if (!m_temporary.isEmpty())
        unlink(m_temporary.constData());
    errno = failure;
}

bool CWorkFiles::NewFile::MoveIntoPlace()
{
    if (m_temporary.isEmpty()) {
        errno = EBADF;
        return false;
    }
    if (rename(m_temporary.constData(), m_path.constData()) != 0)
        return false;
    m_temporary.clear();
    return true;
}

QByteArray CWorkFiles::WorkFilePath(const QByteArray &suffix) const
{
    const QByteArray directory = m_place.Directory();
    if (directory.isEmpty())
        return {};
    return JoinPath(directory, m_strWorkFileBase + suffix);
}

void CWorkFiles::CleanUp() const
{
    const QByteArray directory = m_place.DirectoryWithoutMaking();
    if (directory.isEmpty())
        return;
    for (const char *suffix : {"", "1", "2", "3"}) {
        const QByteArray path = JoinPath(directory, m_strWorkFileBase + suffix);
        if (OpenWorkFileForReading(path).IsValid())
            unlink(path.constData());
    }
    m_place.RemovePrivate();
}

UniqueFd CreateWorkFile(const QByteArray &path)
{
    CWorkFiles::NewFile file(path);
    if (!file.IsValid() || !file.MoveIntoPlace())
        return UniqueFd();
    return file.TakeFd();
}

UniqueFd OpenWorkFileForReading(const QByteArray &path)
{
    if (path.isEmpty())
        return UniqueFd();
    return UniqueFd(open(path.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK));
}
