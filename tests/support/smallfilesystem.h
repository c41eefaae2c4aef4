#pragma once

#include <functional>

#include <QByteArray>
#include <QString>

// Runs check in a child process that sees a file system of its own: a tmpfs
// of the given size mounted on a fresh empty directory, in a mount namespace
// private to that child (without root, inside a user namespace of its own, in
// which the child is root). The child's GoogleTest failures are printed as
// they happen and fail the calling test. Returns why the file system could not
// be made (the caller then skips), or an empty string when check ran.
QString RunOnSmallFileSystem(qint64 bytes,
                             const std::function<void(const QByteArray &root)> &check);

// Fills the file system that holds directory until only leaveFree bytes (a
// whole number of pages) are left, with one file named "filler".
void FillFileSystem(const QByteArray &directory, qint64 leaveFree);
