#include "atomicfile.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/longpath.h"

namespace {

QByteArray DirectoryOf(const QByteArray &path)
{
    const qsizetype slash = path.lastIndexOf('/');
    if (slash < 0)
        return ".";
    return slash == 0 ? QByteArray("/") : path.left(slash);
}

QString ErrnoText()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

} // namespace

QByteArray ResolveLinkTarget(const QByteArray &path)
{
    QByteArray current = path;
    for (int hop = 0; hop < 40; ++hop) {
        char target[PATH_MAX];
        const ssize_t length = readlink(current.constData(), target, sizeof target);
        if (length <= 0 || length == static_cast<ssize_t>(sizeof target))
            return current;
        const QByteArray next(target, length);
        current = next.startsWith('/') ? next : DirectoryOf(current) + '/' + next;
    }
    return current;
}

void CopyFileAttributes(int from, int to)
{
    struct stat info
    {};
    if (fstat(from, &info) != 0)
        return;
    // Owner first: a change of owner may clear the set-id bits set below.
    if (fchown(to, info.st_uid, info.st_gid) != 0) {
        // Only the superuser may give a file away; the file stays the user's.
    }
    fchmod(to, info.st_mode & 07777);
}

AtomicFileWriter::AtomicFileWriter(const QByteArray &path) : m_target(ResolveLinkTarget(path)) {}

AtomicFileWriter::~AtomicFileWriter()
{
    if (m_fd.IsValid()) {
        m_fd.Reset();
        unlink(m_temporary.constData());
    }
}

bool AtomicFileWriter::Fail()
{
    m_error = ErrnoText();
    if (m_fd.IsValid()) {
        m_fd.Reset();
        unlink(m_temporary.constData());
    }
    return false;
}

bool AtomicFileWriter::Open()
{
    m_temporary = m_target + ".XXXXXX";
    m_fd.Reset(mkostemp(m_temporary.data(), O_CLOEXEC));
    if (!m_fd.IsValid())
        return Fail();
    const UniqueFd existing(open(m_target.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (existing.IsValid()) {
        CopyFileAttributes(existing.Get(), m_fd.Get());
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
    if (!m_fd.IsValid())
        return false;
    if (!WriteAll(m_fd.Get(), bytes.constData(), static_cast<std::size_t>(bytes.size())))
        return Fail();
    return true;
}

bool AtomicFileWriter::Commit()
{
    if (!m_fd.IsValid())
        return false;
    if (fsync(m_fd.Get()) != 0 || rename(m_temporary.constData(), m_target.constData()) != 0)
        return Fail();
    m_fd.Reset();
    return true;
}

bool CopyFileAtomically(const QByteArray &source, const QByteArray &destination)
{
    const UniqueFd in(OpenLongPath(source, O_RDONLY | O_NONBLOCK));
    struct stat info
    {};
    if (!in.IsValid() || fstat(in.Get(), &info) != 0 || !S_ISREG(info.st_mode))
        return false;
    QByteArray temporary = destination + ".XXXXXX";
    UniqueFd out(mkostemp(temporary.data(), O_CLOEXEC));
    if (!out.IsValid())
        return false;
    CopyFileAttributes(in.Get(), out.Get());
    bool copied = true;
    char buffer[1 << 16];
    for (;;) {
        const ssize_t got = read(in.Get(), buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0) {
            copied = got == 0;
            break;
        }
        if (!WriteAll(out.Get(), buffer, static_cast<std::size_t>(got))) {
            copied = false;
            break;
        }
    }
    if (copied && fsync(out.Get()) == 0 &&
        rename(temporary.constData(), destination.constData()) == 0)
        return true;
    out.Reset();
    unlink(temporary.constData());
    return false;
}
