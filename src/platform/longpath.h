#pragma once

#include <QByteArray>

// Opens a path of any length: a path longer than the kernel's limit is opened
// one stretch at a time, each stretch relative to the directory opened before
// it. Flags and mode as for open(2); O_CLOEXEC is always added.
// Returns the descriptor, or -1 with errno set.
int OpenLongPath(const QByteArray &path, int flags, int mode = 0);
