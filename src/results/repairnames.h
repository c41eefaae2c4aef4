#pragma once

#include <QByteArray>

#include "platform/uniquefd.h"
#include "results/pageedit.h"

// The largest page the repair reads: it holds a page, its original and the
// repaired text in memory at once.
inline constexpr qint64 kLargestRepairedPage = qint64{256} << 20;

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

// Where a page's original text is kept, and whether the file there holds it
// already (the page is that text, or a repair of it): then its text, and the
// changes that make the page out of it.
struct BackupChoice
{
    QByteArray path;
    bool keep = false;
    QByteArray original;
    PageEdits edits;
};

// The backup of the page at path (whose text is page) is stem.bak, unless
// that name is the page itself or the original of another page of the same
// stem (index.htm beside index.html): then it is the page's own name followed
// by ".bak". A backup that already holds the page's original is kept, so that
// a repair run again never puts a repaired copy in its place.
BackupChoice ChooseBackup(const QByteArray &path, const QByteArray &page);

// Creates the file that the repaired page is written to, beside target:
// stem.t~p when no file of that name is there, else a new name of its own.
// Never opens the page itself nor any file that is already there.
UniqueFd CreateTemporaryFile(const QByteArray &target, QByteArray *path);
