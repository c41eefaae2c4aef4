#pragma once

#include <QByteArray>

// The check made before a run starts: the named file can be opened for
// reading. A directory is not a file and fails the check.
bool CanOpenChosenFile(const QByteArray &path);
