#include "repairnames.h"

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <optional>
#include <sys/stat.h>

#include "platform/byteview.h"
#include "platform/longpath.h"
#include "platform/wholefile.h"
#include "results/repairedline.h"

namespace {

QByteArray DirectoryOf(const QByteArray &path)
{
    const qsizetype slash = path.lastIndexOf('/');
    if (slash < 0)
        return ".";
    return slash == 0 ? QByteArray("/") : path.left(slash);
}

// Keeps original in choice when page is original or a repair of it.
void Keep(BackupChoice &choice, const QByteArray &original, const QByteArray &page,
          const QByteArray &fileName)
{
    std::optional<PageEdits> edits = MatchRepairedPage(View(original), View(page), View(fileName));
    if (!edits)
        return;
    choice.keep = true;
    const auto &all = edits->All();
    if (std::any_of(all.begin(), all.end(),
                    [](const PageEdit &edit) { return edit.kind == PageEdit::Kind::UpdateUrl; })) {
        // Moved links were updated to where they lead: that is the page now,
        // and later repairs start from it. The backup keeps the original from
        // before the update.
        choice.original = page;
        choice.edits = PageEdits();
        return;
    }
    choice.original = original;
    choice.edits = std::move(*edits);
}

// Reads a regular file whole; nothing for anything else or a failure.
std::optional<QByteArray> ReadRegularFile(const QByteArray &path, struct stat *info)
{
    const UniqueFd fd(OpenLongPath(path, O_RDONLY | O_NONBLOCK));
    QByteArray text;
    if (!fd.IsValid() || fstat(fd.Get(), info) != 0 || !S_ISREG(info->st_mode) ||
        !ReadWholeFile(fd.Get(), text, kLargestRepairedPage))
        return std::nullopt;
    return text;
}

bool SameFile(const struct stat &a, const struct stat &b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// True when another page of the same stem beside path is the original held
// in the backup, or a repair of it: the backup is that page's.
bool BelongsToAnotherPage(const QByteArray &path, const QByteArray &backupPath,
                          std::string_view original)
{
    struct stat page
    {};
    struct stat backup
    {};
    if (stat(path.constData(), &page) != 0 || stat(backupPath.constData(), &backup) != 0)
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
        const std::optional<QByteArray> text = ReadRegularFile(sibling, &info);
        if (text && MatchRepairedPage(original, View(*text), View(name)))
            return true;
    }
    return false;
}

// The page's own backup name, used where stem.bak is not the page's.
BackupChoice OwnBackup(const QByteArray &path, const QByteArray &page)
{
    BackupChoice choice{path + ".bak", false, {}, {}};
    struct stat info
    {};
    if (const std::optional<QByteArray> original = ReadRegularFile(choice.path, &info))
        Keep(choice, *original, page, FileNameOf(path));
    return choice;
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

BackupChoice ChooseBackup(const QByteArray &path, const QByteArray &page)
{
    const QByteArray plain = BackupPath(path);
    if (plain == path)
        return OwnBackup(path, page);
    struct stat info
    {};
    const UniqueFd backup(OpenLongPath(plain, O_RDONLY | O_NONBLOCK));
    if (!backup.IsValid())
        return {plain, false, {}, {}};
    if (fstat(backup.Get(), &info) != 0 || !S_ISREG(info.st_mode))
        return OwnBackup(path, page);
    QByteArray original;
    if (!ReadWholeFile(backup.Get(), original, kLargestRepairedPage))
        return OwnBackup(path, page);
    BackupChoice choice{plain, false, {}, {}};
    Keep(choice, original, page, FileNameOf(path));
    if (choice.keep)
        return choice;
    if (BelongsToAnotherPage(path, plain, View(original)))
        return OwnBackup(path, page);
    // An older backup of this page, from before it was last changed.
    return choice;
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
