#include "workfileplace.h"

#include <cerrno>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QList>

#include "platform/systemdirectory.h"

namespace {

constexpr char kPrivatePrefix[] = "urltmp~.run.";
// A fresh directory is lost only to a sweep that took it for abandoned in the
// instant between its making and its lock; a few more tries always do.
constexpr int kMakeAttempts = 8;

UniqueFd OpenDirectory(int at, const char *path)
{
    return UniqueFd(openat(at, path, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
}

bool TryLock(int fd)
{
    return flock(fd, LOCK_EX | LOCK_NB) == 0;
}

// The name still leads to the directory that the descriptor holds.
bool StillNamed(int at, const char *name, int fd)
{
    struct stat byName
    {};
    struct stat held
    {};
    return fstatat(at, name, &byName, AT_SYMLINK_NOFOLLOW) == 0 && fstat(fd, &held) == 0 &&
           byName.st_dev == held.st_dev && byName.st_ino == held.st_ino;
}

QList<QByteArray> EntryNames(int directoryFd)
{
    QList<QByteArray> names;
    // The listing gets a descriptor of its own, which closedir closes.
    const int listFd = fcntl(directoryFd, F_DUPFD_CLOEXEC, 0);
    DIR *listing = listFd >= 0 ? fdopendir(listFd) : nullptr;
    if (listing == nullptr) {
        if (listFd >= 0)
            close(listFd);
        return names;
    }
    rewinddir(listing);
    while (const dirent *entry = readdir(listing)) {
        const QByteArray name(entry->d_name);
        if (name != "." && name != "..")
            names.append(name);
    }
    closedir(listing);
    return names;
}

// A private directory holds work files and their temporary copies only.
void EmptyDirectory(int directoryFd)
{
    for (const QByteArray &name : EntryNames(directoryFd))
        unlinkat(directoryFd, name.constData(), 0);
}

// Removes the private directories of users that ended without removing them
// (killed, or crashed): a living owner holds its directory's lock.
void RemoveAbandonedDirectories(const QByteArray &systemDirectory)
{
    const UniqueFd system = OpenDirectory(AT_FDCWD, systemDirectory.constData());
    if (!system.IsValid())
        return;
    for (const QByteArray &name : EntryNames(system.Get())) {
        if (!name.startsWith(kPrivatePrefix))
            continue;
        const UniqueFd directory = OpenDirectory(system.Get(), name.constData());
        struct stat info
        {};
        if (!directory.IsValid() || fstat(directory.Get(), &info) != 0 ||
            info.st_uid != geteuid() || !TryLock(directory.Get()) ||
            !StillNamed(system.Get(), name.constData(), directory.Get()))
            continue;
        EmptyDirectory(directory.Get());
        unlinkat(system.Get(), name.constData(), AT_REMOVEDIR);
    }
}

} // namespace

WorkFilePlace::~WorkFilePlace()
{
    RemovePrivate();
}

QByteArray WorkFilePlace::Directory()
{
    const QByteArray directory = DirectoryWithoutMaking();
    if (!directory.isEmpty() || m_systemDirectory.isEmpty())
        return directory;
    return MakePrivateDirectory() ? m_private : QByteArray();
}

QByteArray WorkFilePlace::DirectoryWithoutMaking()
{
    FollowSystemDirectory(GetSystemDirectory());
    if (m_systemDirectory.isEmpty())
        return {};
    if (!m_private.isEmpty())
        return m_private;
    if (m_lock.IsValid())
        return m_systemDirectory;
    RemoveAbandonedDirectories(m_systemDirectory);
    return TakeUsualNames() ? m_systemDirectory : QByteArray();
}

void WorkFilePlace::RemovePrivate()
{
    if (m_private.isEmpty())
        return;
    // Emptied through the descriptor held since it was made, and removed while
    // still locked, so that no sweep of another user can meet it half-gone.
    EmptyDirectory(m_lock.Get());
    rmdir(m_private.constData());
    m_private.clear();
    m_lock.Reset();
}

void WorkFilePlace::FollowSystemDirectory(const QByteArray &systemDirectory)
{
    if (systemDirectory == m_systemDirectory)
        return;
    RemovePrivate();
    m_lock.Reset();
    m_systemDirectory = systemDirectory;
}

bool WorkFilePlace::TakeUsualNames()
{
    UniqueFd system = OpenDirectory(AT_FDCWD, m_systemDirectory.constData());
    if (!system.IsValid() || !TryLock(system.Get()))
        return false;
    m_lock = std::move(system);
    return true;
}

bool WorkFilePlace::MakePrivateDirectory()
{
    for (int attempt = 0; attempt < kMakeAttempts; ++attempt) {
        QByteArray path = JoinPath(m_systemDirectory, QByteArray(kPrivatePrefix) + "XXXXXX");
        // mkdtemp makes the directory with mode 0700 under a name nobody holds.
        if (mkdtemp(path.data()) == nullptr)
            return false;
        UniqueFd directory = OpenDirectory(AT_FDCWD, path.constData());
        if (!directory.IsValid())
            continue;
        // A lock held by someone else means a sweep has it and will remove
        // it; where the file system has no locks, nobody can sweep it either.
        if (!TryLock(directory.Get()) && errno == EWOULDBLOCK)
            continue;
        if (!StillNamed(AT_FDCWD, path.constData(), directory.Get()))
            continue;
        m_lock = std::move(directory);
        m_private = path;
        return true;
    }
    return false;
}
