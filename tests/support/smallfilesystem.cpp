#include "smallfilesystem.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

namespace {

// The child's exit status when it could not make its file system.
constexpr int kCannotMount = 77;

bool WriteProcFile(const char *path, const QByteArray &text)
{
    const int fd = open(path, O_WRONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool written = write(fd, text.constData(), text.size()) == text.size();
    close(fd);
    return written;
}

// Gives this process a mount namespace of its own, so that whatever it mounts
// disappears with it. Returns why that failed, or an empty array.
QByteArray EnterPrivateMounts()
{
    const uid_t uid = geteuid();
    const gid_t gid = getegid();
    if (uid == 0) {
        if (unshare(CLONE_NEWNS) != 0)
            return QByteArray("unshare(CLONE_NEWNS): ") + std::strerror(errno);
    } else {
        if (unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0)
            return QByteArray("no user namespaces for an unprivileged mount: ") +
                   std::strerror(errno);
        if (!WriteProcFile("/proc/self/setgroups", "deny") ||
            !WriteProcFile("/proc/self/uid_map", "0 " + QByteArray::number(uid) + " 1") ||
            !WriteProcFile("/proc/self/gid_map", "0 " + QByteArray::number(gid) + " 1"))
            return "cannot map this user into its own user namespace";
    }
    if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
        return QByteArray("cannot make the mounts private: ") + std::strerror(errno);
    return {};
}

} // namespace

QString RunOnSmallFileSystem(qint64 bytes, const std::function<void(const QByteArray &root)> &check)
{
    const QTemporaryDir mountPoint;
    if (!mountPoint.isValid())
        return QStringLiteral("no temporary directory for the mount point");
    const QByteArray root = QFile::encodeName(mountPoint.path());
    int reasonPipe[2];
    if (pipe2(reasonPipe, O_CLOEXEC) != 0)
        return QStringLiteral("pipe: %1").arg(QString::fromLocal8Bit(std::strerror(errno)));
    std::fflush(nullptr);

    const pid_t child = fork();
    if (child == 0) {
        close(reasonPipe[0]);
        QByteArray reason = EnterPrivateMounts();
        const QByteArray options = "size=" + QByteArray::number(bytes) + ",mode=0755";
        if (reason.isEmpty() && mount("tmpfs", root.constData(), "tmpfs", MS_NOSUID | MS_NODEV,
                                      options.constData()) != 0)
            reason = QByteArray("cannot mount a tmpfs: ") + std::strerror(errno);
        if (!reason.isEmpty()) {
            if (write(reasonPipe[1], reason.constData(), reason.size()) < 0) {
                // The parent then skips with a general reason.
            }
            _exit(kCannotMount);
        }
        check(root);
        std::fflush(nullptr);
        _exit(testing::Test::HasFailure() ? 1 : 0);
    }
    close(reasonPipe[1]);
    if (child < 0) {
        close(reasonPipe[0]);
        return QStringLiteral("fork: %1").arg(QString::fromLocal8Bit(std::strerror(errno)));
    }
    char reason[512];
    ssize_t got = 0;
    do {
        got = read(reasonPipe[0], reason, sizeof reason);
    } while (got < 0 && errno == EINTR);
    close(reasonPipe[0]);
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) == kCannotMount)
        return got > 0 ? QString::fromLocal8Bit(reason, got)
                       : QStringLiteral("no private file system could be mounted");
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
        << "the check on the small file system failed (its messages are above)";
    return {};
}

void FillFileSystem(const QByteArray &directory, qint64 leaveFree)
{
    const QByteArray path = directory + "/filler";
    const int fd = open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    ASSERT_GE(fd, 0) << std::strerror(errno);
    const QByteArray chunk(4096, 'f');
    qint64 size = 0;
    for (;;) {
        const ssize_t written = write(fd, chunk.constData(), chunk.size());
        if (written <= 0)
            break;
        size += written;
    }
    EXPECT_EQ(errno, ENOSPC);
    // Giving back whole pages frees exactly that much on a tmpfs.
    EXPECT_EQ(ftruncate(fd, size >= leaveFree ? size - leaveFree : 0), 0);
    close(fd);
}
