#include "atomicfile.h"

#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <unistd.h>

#include "platform/filerules.h"
#include "platform/longpath.h"

namespace {

// The kernel's own limit on the links followed for one path.
constexpr int kMaxLinkHops = 40;

void ApplyAttributes(const struct stat &from, int to)
{
    // Owner first: a change of owner may clear the set-id bits set below.
    if (fchown(to, from.st_uid, from.st_gid) != 0) {
        // Only the superuser may give a file away; the file stays the user's.
    }
    fchmod(to, from.st_mode & 07777);
}

} // namespace

QByteArray ResolveLinkTarget(const QByteArray &path, QString *problem)
{
    QByteArray current = path;
    for (int hop = 0; hop <= kMaxLinkHops; ++hop) {
        const QByteArray refused = RefusedLinkOnWay(current);
        if (!refused.isEmpty()) {
            if (problem != nullptr)
                *problem = RefusedLinkText(refused);
            errno = EACCES;
            return {};
        }
        char target[PATH_MAX];
        const ssize_t length = readlink(current.constData(), target, sizeof target);
        if (length <= 0 || length == static_cast<ssize_t>(sizeof target))
            return current;
        const QByteArray next(target, length);
        current = next.startsWith('/') ? next : DirectoryOfPath(current) + '/' + next;
    }
    if (problem != nullptr)
        *problem = SystemErrorText(ELOOP);
    errno = ELOOP;
    return {};
}

void CopyFileAttributes(int from, int to)
{
    struct stat info
    {};
    if (fstat(from, &info) == 0)
        ApplyAttributes(info, to);
}

AtomicFileWriter::AtomicFileWriter(const QByteArray &path, AtPath atPath) : m_atPath(atPath)
{
    if (path.isEmpty()) {
        m_errorCode = ENOENT;
        m_error = SystemErrorText(m_errorCode);
    } else if (atPath == AtPath::FollowLinks) {
        m_target = ResolveLinkTarget(path, &m_error);
        m_errorCode = m_target.isEmpty() ? errno : 0;
    } else {
        // Only the directories on the way are followed.
        const QByteArray refused = RefusedLinkOnWay(DirectoryOfPath(path));
        if (refused.isEmpty()) {
            m_target = path;
        } else {
            m_error = RefusedLinkText(refused);
            m_errorCode = EACCES;
        }
    }
}

AtomicFileWriter::~AtomicFileWriter()
{
    Discard();
}

void AtomicFileWriter::Discard()
{
    m_fd.Reset();
    if (!m_temporary.isEmpty())
        unlink(m_temporary.constData());
    m_temporary.clear();
}

bool AtomicFileWriter::Fail(const QString &error, int code)
{
    m_error = error;
    m_errorCode = code;
    Discard();
    errno = code;
    return false;
}

bool AtomicFileWriter::FailWithErrno()
{
    const int code = errno != 0 ? errno : EIO;
    return Fail(SystemErrorText(code), code);
}

bool AtomicFileWriter::FailAgain()
{
    errno = m_errorCode;
    return false;
}

bool AtomicFileWriter::CheckReplaceable(struct stat &existing, bool &exists)
{
    exists = false;
    if (lstat(m_target.constData(), &existing) != 0) {
        // A missing file is made; any other failure will not go better later.
        return errno == ENOENT || FailWithErrno();
    }
    exists = true;
    const QString problem = ReplaceProblem(m_target, existing, m_atPath == AtPath::ReplaceLink);
    // Refused as the kernel's own protections refuse: permission denied.
    return problem.isEmpty() || Fail(problem, EACCES);
}

bool AtomicFileWriter::Prepare(struct stat &existing, bool &exists)
{
    Discard();
    if (m_target.isEmpty())
        return FailAgain();
    return CheckReplaceable(existing, exists);
}

bool AtomicFileWriter::Open()
{
    struct stat existing
    {};
    bool exists = false;
    if (!Prepare(existing, exists))
        return false;
    return OpenTemporary(exists && S_ISREG(existing.st_mode) ? &existing : nullptr);
}

bool AtomicFileWriter::Open(int attributesFrom)
{
    struct stat existing
    {};
    bool exists = false;
    if (!Prepare(existing, exists))
        return false;
    struct stat source
    {};
    if (fstat(attributesFrom, &source) != 0)
        return FailWithErrno();
    return OpenTemporary(&source);
}

bool AtomicFileWriter::OpenTemporary(const struct stat *attributes)
{
    QByteArray temporary = m_target + ".XXXXXX";
    m_fd.Reset(mkostemp(temporary.data(), O_CLOEXEC));
    if (!m_fd.IsValid())
        return FailWithErrno();
    m_temporary = temporary;
    if (attributes != nullptr) {
        ApplyAttributes(*attributes, m_fd.Get());
    } else {
        // A new file gets the usual permissions of the user's new files.
        const mode_t mask = umask(0);
        umask(mask);
        fchmod(m_fd.Get(), 0666 & ~mask);
    }
    return true;
}

bool AtomicFileWriter::Write(const QByteArray &bytes)
{
    return Write(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

bool AtomicFileWriter::Write(const char *bytes, std::size_t count)
{
    if (!m_fd.IsValid())
        return FailAgain();
    errno = 0;
    return WriteAll(m_fd.Get(), bytes, count) || FailWithErrno();
}

bool AtomicFileWriter::Commit()
{
    if (!m_fd.IsValid())
        return FailAgain();
    if (fsync(m_fd.Get()) != 0)
        return FailWithErrno();
    // Some file systems report a failed write only when the file is closed.
    if (close(m_fd.Release()) != 0)
        return FailWithErrno();
    // Look again just before the rename: the place may have changed since Open.
    struct stat existing
    {};
    bool exists = false;
    if (!CheckReplaceable(existing, exists))
        return false;
    if (rename(m_temporary.constData(), m_target.constData()) != 0)
        return FailWithErrno();
    m_temporary.clear();
    // The new name reaches the disk with its directory. The file is in place
    // whatever this returns, so a failure here is no failure of the write.
    const UniqueFd directory(
        open(DirectoryOfPath(m_target).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (directory.IsValid())
        fsync(directory.Get());
    return true;
}

bool CopyFileAtomically(const QByteArray &source, const QByteArray &destination)
{
    const UniqueFd in(OpenLongPath(source, O_RDONLY | O_NONBLOCK));
    struct stat info
    {};
    if (!in.IsValid() || fstat(in.Get(), &info) != 0 || !S_ISREG(info.st_mode))
        return false;
    AtomicFileWriter out(destination, AtomicFileWriter::AtPath::ReplaceLink);
    if (!out.Open(in.Get()))
        return false;
    char buffer[1 << 16];
    for (;;) {
        const ssize_t got = read(in.Get(), buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return false;
        if (got == 0)
            return out.Commit();
        if (!out.Write(buffer, static_cast<std::size_t>(got)))
            return false;
    }
}
