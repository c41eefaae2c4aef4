#include "filerules.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

bool MayFollow(const QByteArray &link, const struct stat &info)
{
    struct stat directory
    {};
    // A link whose directory cannot be examined is not followed either.
    if (stat(DirectoryOfPath(link).constData(), &directory) != 0)
        return false;
    const bool shared = (directory.st_mode & S_ISVTX) != 0 && (directory.st_mode & S_IWOTH) != 0;
    return !shared || info.st_uid == geteuid() || info.st_uid == directory.st_uid;
}

} // namespace

QByteArray DirectoryOfPath(const QByteArray &path)
{
    const qsizetype slash = path.lastIndexOf('/');
    if (slash < 0)
        return ".";
    return slash == 0 ? QByteArray("/") : path.left(slash);
}

QByteArray RefusedLinkOnWay(const QByteArray &path)
{
    for (qsizetype end = 1; end <= path.size(); ++end) {
        const bool componentEnds = end == path.size() || path.at(end) == '/';
        if (!componentEnds || path.at(end - 1) == '/')
            continue;
        const QByteArray prefix = path.left(end);
        struct stat info
        {};
        // What does not exist (or cannot be reached) has no link to follow.
        if (lstat(prefix.constData(), &info) != 0)
            return {};
        if (S_ISLNK(info.st_mode) && !MayFollow(prefix, info))
            return prefix;
    }
    return {};
}

QString RefusedLinkText(const QByteArray &link)
{
    return QStringLiteral("The symbolic link %1 belongs to another user of a shared directory "
                          "and is not followed")
        .arg(QString::fromLocal8Bit(link));
}

QString ReplaceProblem(const QByteArray &path, const struct stat &existing, bool linkReplaceable)
{
    const bool link = S_ISLNK(existing.st_mode);
    if (!S_ISREG(existing.st_mode) && !(link && linkReplaceable))
        return QStringLiteral("Not a regular file");
    struct stat directory
    {};
    if (stat(DirectoryOfPath(path).constData(), &directory) != 0)
        return SystemErrorText(errno);
    // The sticky rule that binds every other user binds the superuser here.
    if ((directory.st_mode & S_ISVTX) != 0 && existing.st_uid != geteuid() &&
        existing.st_uid != directory.st_uid)
        return QStringLiteral("The file belongs to another user of a shared directory");
    if (link)
        return {};
    if (faccessat(AT_FDCWD, path.constData(), W_OK, AT_EACCESS) != 0)
        return SystemErrorText(errno);
    // The superuser passes the test above for any file.
    if ((existing.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
        return SystemErrorText(EACCES);
    return {};
}

QString SystemErrorText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error != 0 ? error : EIO));
}
