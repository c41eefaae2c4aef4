#pragma once

#include <cerrno>
#include <cstddef>
#include <sys/stat.h>
#include <sys/types.h>

#include <QByteArray>
#include <QString>

#include "platform/uniquefd.h"

// The file a path finally names: symbolic links at the end of the path are
// followed (relative ones against their own directory), so that a file is
// rewritten where it lies and the links to it are kept. A link that the
// kernel's protected-symlinks rule would not follow (one in a sticky directory
// that everyone may write, owned by neither this user nor the directory's
// owner), anywhere on the way, is never followed: the result is then empty and
// problem, when given, says why. So is a loop of links.
QByteArray ResolveLinkTarget(const QByteArray &path, QString *problem = nullptr);

// Gives a new file the permission bits (and, where allowed, the owner) of the
// file it takes the place of.
void CopyFileAttributes(int from, int to);

// Writes a new version of a file beside it and puts it in place with one
// rename, so that the file is at every moment either wholly old or wholly new.
// Every write, the flush to the disk, the close and the rename are checked; on
// any failure the temporary file is removed and the old file stays exactly as
// it was. Only a regular file that this user could have written is replaced;
// in a sticky directory, only one of this user or of the directory's owner
// (as the kernel's sticky rule has it, and for the superuser too).
class AtomicFileWriter
{
public:
    enum class AtPath
    {
        // A link at the path is followed and the file it names rewritten.
        FollowLinks,
        // A link at the path is itself replaced by the new file.
        ReplaceLink
    };

    explicit AtomicFileWriter(const QByteArray &path, AtPath atPath = AtPath::FollowLinks);
    ~AtomicFileWriter();

    AtomicFileWriter(const AtomicFileWriter &) = delete;
    AtomicFileWriter &operator=(const AtomicFileWriter &) = delete;

    // The new file gets the permission bits and owner of the one it replaces.
    bool Open();
    // The new file gets those of the open file attributesFrom instead.
    bool Open(int attributesFrom);
    bool Write(const QByteArray &bytes);
    bool Write(const char *bytes, std::size_t count);
    // Flushes to the disk and renames over the file; false leaves it as it was.
    bool Commit();
    // Why the last step failed, as a short sentence without a final stop.
    QString ErrorString() const { return m_error; }

private:
    bool Prepare(struct stat &existing, bool &exists);
    bool OpenTemporary(const struct stat *attributes);
    bool CheckReplaceable(struct stat &existing, bool &exists);
    // Each failure leaves errno set, for callers that report it themselves.
    bool Fail(const QString &error, int code);
    bool FailWithErrno();
    bool FailAgain();
    void Discard();

    QByteArray m_target;
    QByteArray m_temporary;
    UniqueFd m_fd;
    AtPath m_atPath;
    QString m_error;
    int m_errorCode = EBADF;
};

// Copies source to destination the same way: the destination is replaced at
// once (a link there is replaced, not followed) and gets the source's
// permission bits. False on any failure, with the destination as it was.
bool CopyFileAtomically(const QByteArray &source, const QByteArray &destination);
