#pragma once

#include <sys/stat.h>

#include <QByteArray>
#include <QString>

// The rules by which the program's writers decide what they may follow and
// what they may replace. They hold whatever the kernel's own protections are
// set to, and for the superuser too, so that running the program as root over
// a shared directory such as /tmp cannot be turned against another user.

// The directory a path lies in: the path cut before its last slash ("." for
// a bare name, "/" for a name in the root directory).
QByteArray DirectoryOfPath(const QByteArray &path);

// The first symbolic link on the way of path (its last component included)
// that the kernel's protected-symlinks rule would not follow: a link in a
// sticky directory that everyone may write, owned by neither this user nor the
// directory's owner. Empty when there is none.
QByteArray RefusedLinkOnWay(const QByteArray &path);

// Says that the link found by RefusedLinkOnWay is not followed.
QString RefusedLinkText(const QByteArray &link);

// Why the entry at path, described by existing (from lstat), may not be
// replaced by a new file; empty when it may. Only a regular file that this
// user could have written is replaced (a file that nobody may write is left
// alone, whoever asks), and in a sticky directory only an entry of this user
// or of the directory's owner. A symbolic link itself is replaced only when
// linkReplaceable is set.
QString ReplaceProblem(const QByteArray &path, const struct stat &existing, bool linkReplaceable);

// The system's text for an error number.
QString SystemErrorText(int error);
