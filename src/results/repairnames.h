#pragma once

#include <QByteArray>

// The stem of a file's backup and temporary names: the path up to the last
// "." of the file's own name, or the whole path when the name holds no dot.
// A dot in a directory name never counts.
QByteArray RepairStem(const QByteArray &path);
inline QByteArray BackupPath(const QByteArray &path)
{
    return RepairStem(path) + ".bak";
}
inline QByteArray TemporaryPath(const QByteArray &path)
{
    return RepairStem(path) + ".t~p";
}
// The file's own name: what follows the last "/".
QByteArray FileNameOf(const QByteArray &path);
