#include "longpath.h"

#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <unistd.h>

namespace {

// Stays well below PATH_MAX so that every stretch can be opened as it stands.
constexpr qsizetype kStretch = PATH_MAX / 2;

} // namespace

int OpenLongPath(const QByteArray &path, int flags, int mode)
{
    flags |= O_CLOEXEC;
    if (path.size() < kStretch || path.isEmpty())
        return open(path.constData(), flags, mode);

    int directory = AT_FDCWD;
    qsizetype start = 0;
    while (path.size() - start >= kStretch) {
        // Cut at the last slash that keeps this stretch short enough.
        qsizetype cut = path.lastIndexOf('/', start + kStretch - 1);
        if (cut <= start) {
            // One name longer than any stretch: no file system allows it.
            if (directory != AT_FDCWD)
                close(directory);
            errno = ENAMETOOLONG;
            return -1;
        }
        const QByteArray stretch = path.mid(start, cut - start);
        const int next = openat(directory, stretch.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        const int savedErrno = errno;
        if (directory != AT_FDCWD)
            close(directory);
        if (next < 0) {
            errno = savedErrno;
            return -1;
        }
        directory = next;
        start = cut + 1;
        while (start < path.size() && path.at(start) == '/')
            ++start;
    }
    const QByteArray rest = path.mid(start);
    const int fd = openat(directory, rest.isEmpty() ? "." : rest.constData(), flags, mode);
    const int savedErrno = errno;
    close(directory);
    errno = savedErrno;
    return fd;
}
