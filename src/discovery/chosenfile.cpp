#include "chosenfile.h"

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include "platform/longpath.h"
#include "platform/uniquefd.h"

bool CanOpenChosenFile(const QByteArray &path)
{
    if (path.isEmpty())
        return false;
    // Non-blocking, so that naming a FIFO does not hang the check.
    const UniqueFd fd(OpenLongPath(path, O_RDONLY | O_NONBLOCK));
    struct stat info
    {};
    return fd.IsValid() && fstat(fd.Get(), &info) == 0 && !S_ISDIR(info.st_mode);
}

QByteArray RunDirectoryOf(const QByteArray &path)
{
    const qsizetype slash = path.lastIndexOf('/');
    if (slash < 0)
        return ".";
    return slash == 0 ? QByteArray("/") : path.left(slash);
}

QString RunDirectoryProblem(const QByteArray &path)
{
    const QByteArray directory = RunDirectoryOf(path);
    const UniqueFd fd(OpenLongPath(directory, O_RDONLY | O_DIRECTORY));
    if (fd.IsValid())
        return {};
    return QStringLiteral("The files of the directory %1 cannot be listed: %2.")
        .arg(QString::fromLocal8Bit(directory), QString::fromLocal8Bit(std::strerror(errno)));
}
