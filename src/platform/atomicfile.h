#pragma once

#include <sys/types.h>

#include <QByteArray>
#include <QString>

#include "platform/uniquefd.h"

// The file a path finally names: symbolic links at the end of the path are
// followed (relative ones against their own directory), so that a file is
// rewritten where it lies and the links to it are kept.
QByteArray ResolveLinkTarget(const QByteArray &path);

// Gives a new file the permission bits (and, where allowed, the owner) of the
// file it takes the place of.
void CopyFileAttributes(int from, int to);

// Writes a new version of a file beside it and puts it in place with one
// rename, so that the file is at every moment either wholly old or wholly new.
// A link at the path is followed; the file keeps its permission bits.
class AtomicFileWriter
{
public:
    explicit AtomicFileWriter(const QByteArray &path);
    ~AtomicFileWriter();

    AtomicFileWriter(const AtomicFileWriter &) = delete;
    AtomicFileWriter &operator=(const AtomicFileWriter &) = delete;

    bool Open();
    bool Write(const QByteArray &bytes);
    // Flushes to the disk and renames over the file; false leaves it as it was.
    bool Commit();
    QString ErrorString() const { return m_error; }

private:
    bool Fail();

    QByteArray m_target;
    QByteArray m_temporary;
    UniqueFd m_fd;
    QString m_error;
};

// Copies source to destination the same way: the destination is replaced at
// once and gets the source's permission bits. False on any failure, with the
// destination as it was.
bool CopyFileAtomically(const QByteArray &source, const QByteArray &destination);
