#include "repairnames.h"

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>

#include "platform/longpath.h"
#include "results/repairedline.h"

namespace {

QByteArray DirectoryOf(const QByteArray &path)
{
    const qsizetype slash = path.lastIndexOf('/');
    if (slash < 0)
        return ".";
    return slash == 0 ? QByteArray("/") : path.left(slash);
}

std::string_view View(const QByteArray &bytes)
{
    return std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

// Opens a regular file for reading; an invalid descriptor for anything else.
UniqueFd OpenRegularFile(const QByteArray &path, struct stat *info)
{
    UniqueFd fd(OpenLongPath(path, O_RDONLY | O_NONBLOCK));
    if (fd.IsValid() && (fstat(fd.Get(), info) != 0 || !S_ISREG(info->st_mode)))
        fd.Reset();
    return fd;
}

bool SameFile(const struct stat &a, const struct stat &b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// True when another page of the same stem beside path is the original held
// in the backup, or a repair of it: the backup is that page's.
bool BelongsToAnotherPage(const QByteArray &path, int pageFd, int backupFd)
{
    struct stat page
    {};
    struct stat backup
    {};
    if (fstat(pageFd, &page) != 0 || fstat(backupFd, &backup) != 0)
        return false;
    const QByteArray directory = DirectoryOf(path);
    const QByteArray stem = FileNameOf(RepairStem(path));
    const std::unique_ptr<DIR, int (*)(DIR *)> entries(opendir(directory.constData()), closedir);
    if (!entries)
        return false;
    while (const dirent *entry = readdir(entries.get())) {
        const QByteArray name(entry->d_name);
        if (RepairStem(name) != stem || name.endsWith(".bak"))
            continue;
        const QByteArray sibling = directory + '/' + name;
        struct stat info
        {};
        if (stat(sibling.constData(), &info) != 0 || !S_ISREG(info.st_mode) ||
            SameFile(info, page) || SameFile(info, backup))
            continue;
        const UniqueFd fd = OpenRegularFile(sibling, &info);
        if (fd.IsValid() && IsRepairOf(fd.Get(), backupFd, View(name)))
            return true;
    }
    return false;
}

// The page's own backup name, used where stem.bak is not the page's.
BackupChoice OwnBackup(const QByteArray &path, int pageFd)
{
    const QByteArray own = path + ".bak";
    struct stat info
    {};
    const UniqueFd fd = OpenRegularFile(own, &info);
    return {own, fd.IsValid() && IsRepairOf(pageFd, fd.Get(), View(FileNameOf(path)))};
}

} // namespace

QByteArray RepairStem(const QByteArray &path)
{
    const qsizetype dot = path.lastIndexOf('.');
    if (dot < 0 || dot < path.lastIndexOf('/'))
        return path;
    return path.left(dot);
}

QByteArray FileNameOf(const QByteArray &path)
{
    return path.mid(path.lastIndexOf('/') + 1);
}

BackupChoice ChooseBackup(const QByteArray &path, int pageFd)
{
    const QByteArray plain = BackupPath(path);
    if (plain == path)
        return OwnBackup(path, pageFd);
    struct stat info
    {};
    const UniqueFd backup(OpenLongPath(plain, O_RDONLY | O_NONBLOCK));
    if (!backup.IsValid())
        return {plain, false};
    if (fstat(backup.Get(), &info) != 0 || !S_ISREG(info.st_mode))
        return OwnBackup(path, pageFd);
    if (IsRepairOf(pageFd, backup.Get(), View(FileNameOf(path))))
        return {plain, true};
    if (BelongsToAnotherPage(path, pageFd, backup.Get()))
        return OwnBackup(path, pageFd);
    // An older backup of this page, from before it was last changed.
    return {plain, false};
}

UniqueFd CreateTemporaryFile(const QByteArray &target, QByteArray *path)
{
    *path = TemporaryPath(target);
    UniqueFd fd(OpenLongPath(*path, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW, 0600));
    if (fd.IsValid() || errno != EEXIST)
        return fd;
    *path += ".XXXXXX";
    fd.Reset(mkostemp(path->data(), O_CLOEXEC));
    return fd;
}
