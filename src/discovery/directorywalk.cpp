#include "directorywalk.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include "platform/longpath.h"

namespace {

struct DirCloser
{
    void operator()(DIR *dir) const { closedir(dir); }
};
using UniqueDir = std::unique_ptr<DIR, DirCloser>;

UniqueDir OpenDirectory(const QByteArray &directory)
{
    const int fd =
        OpenLongPath(directory.isEmpty() ? QByteArray("/") : directory, O_RDONLY | O_DIRECTORY);
    if (fd < 0)
        return nullptr;
    DIR *dir = fdopendir(fd);
    if (dir == nullptr)
        close(fd);
    return UniqueDir(dir);
}

QByteArray EntryPath(const QByteArray &directory, const char *name)
{
    return directory + '/' + name;
}

// A regular file, or a symbolic link to one. Directories, devices, pipes and
// sockets are never tested: reading them could block or never end.
bool IsFileEntry(DIR *dir, const dirent *entry)
{
    if (entry->d_type == DT_REG)
        return true;
    if (entry->d_type != DT_LNK && entry->d_type != DT_UNKNOWN)
        return false;
    struct stat info
    {};
    return fstatat(dirfd(dir), entry->d_name, &info, 0) == 0 && S_ISREG(info.st_mode);
}

// A real directory, never a symbolic link to one, so the walk cannot loop.
bool IsWalkedDirectory(DIR *dir, const dirent *entry)
{
    if (entry->d_name[0] == '.')
        return false;
    if (entry->d_type == DT_DIR)
        return true;
    if (entry->d_type != DT_UNKNOWN)
        return false;
    struct stat info
    {};
    return fstatat(dirfd(dir), entry->d_name, &info, AT_SYMLINK_NOFOLLOW) == 0 &&
           S_ISDIR(info.st_mode);
}

} // namespace

bool IsHtmlPath(const QByteArray &path)
{
    const QByteArray upper = path.toUpper();
    return upper.indexOf(".HTM") > 0 || upper.indexOf(".SHTM") > 0;
}

namespace {

// One pass over a directory: its qualifying files go to list, and, when asked
// for, the sub-directories to walk go to subDirectories in the order found.
void ScanDirectory(QList<QByteArray> &list, const QByteArray &directory,
                   QList<QByteArray> *subDirectories, WalkWatch *watch)
{
    UniqueDir dir = OpenDirectory(directory);
    if (dir == nullptr)
        return;
    while (const dirent *entry = readdir(dir.get())) {
        if (watch != nullptr && watch->stop.load(std::memory_order_relaxed))
            return;
        if (IsFileEntry(dir.get(), entry)) {
            QByteArray path = EntryPath(directory, entry->d_name);
            if (IsHtmlPath(path)) {
                list.append(std::move(path));
                if (watch != nullptr)
                    watch->found.fetch_add(1, std::memory_order_relaxed);
            }
        } else if (subDirectories != nullptr && IsWalkedDirectory(dir.get(), entry)) {
            subDirectories->append(EntryPath(directory, entry->d_name));
        }
    }
}

} // namespace

void AddHtmlFiles(QList<QByteArray> &list, const QByteArray &directory, WalkWatch *watch)
{
    ScanDirectory(list, directory, nullptr, watch);
}

void AddHtmlFilesTree(QList<QByteArray> &list, const QByteArray &directory, WalkWatch *watch)
{
    // An explicit stack instead of recursion, and each directory closed before
    // its sub-directories are walked: trees thousands of levels deep neither
    // exhaust the call stack nor the process's descriptors. Pushing the
    // sub-directories in the order found pops them in reverse order, each
    // walked completely before the next.
    QList<QByteArray> pending{directory};
    while (!pending.isEmpty()) {
        if (watch != nullptr && watch->stop.load(std::memory_order_relaxed))
            return;
        const QByteArray current = pending.takeLast();
        ScanDirectory(list, current, &pending, watch);
    }
}

QList<QByteArray> QueueRunFiles(const QByteArray &path, bool subDirectories, bool allFiles,
                                WalkWatch *watch)
{
    QList<QByteArray> files;
    if (!allFiles) {
        if (!subDirectories)
            files.append(path);
        return files;
    }
    const QByteArray directory = RunDirectory(path);
    if (subDirectories)
        AddHtmlFilesTree(files, directory, watch);
    else
        AddHtmlFiles(files, directory, watch);
    return files;
}

QByteArray RunDirectory(const QByteArray &path)
{
    const qsizetype slash = path.lastIndexOf('/');
    return slash < 0 ? QByteArray(".") : path.left(slash);
}
