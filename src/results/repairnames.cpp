#include "repairnames.h"

QByteArray RepairStem(const QByteArray &path)
{
    const qsizetype dot = path.lastIndexOf('.');
    if (dot < 0 || dot < path.lastIndexOf('/'))
        return path;
    return path.left(dot);
}

QByteArray FileNameOf(const QByteArray &path)
{
    return path.mid(path.lastIndexOf('/') + 1);
}
