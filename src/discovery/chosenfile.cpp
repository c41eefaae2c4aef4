#include "chosenfile.h"

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include "platform/filerules.h"
#include "platform/longpath.h"
#include "platform/uniquefd.h"

bool CanOpenChosenFile(const QByteArray &path)
{
    if (path.isEmpty())
        return false;
    // Only a regular file has an end: a pipe would wait for a writer and a
    // device such as /dev/zero would never stop. Whatever is not a file is
    // not even opened (opening some devices has effects of its own).
    struct stat info
    {};
    if (stat(path.constData(), &info) == 0 && !S_ISREG(info.st_mode))
        return false;
    // A path too long for stat is looked at once open; the open does not
    // block, so that a pipe there does not hang the check itself.
    const UniqueFd fd(OpenLongPath(path, O_RDONLY | O_NONBLOCK | O_NOCTTY));
    return fd.IsValid() && fstat(fd.Get(), &info) == 0 && S_ISREG(info.st_mode);
}

QByteArray RunDirectoryOf(const QByteArray &path)
{
    return DirectoryOfPath(path);
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

bool IsChosenFolder(const QByteArray &path)
{
    struct stat info
    {};
    return !path.isEmpty() && stat(path.constData(), &info) == 0 && S_ISDIR(info.st_mode);
}

QByteArray PathWithinFolder(const QByteArray &folder)
{
    return folder.endsWith('/') ? folder : folder + '/';
}
