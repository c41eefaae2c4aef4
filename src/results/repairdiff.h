#pragma once

#include <QByteArray>

// The changes a repair makes to a page, as a unified diff with three lines of
// context that patch(1) applies. The repair never adds or removes a line
// break, so the lines of before and after correspond one to one; path names
// the page in both headers.
QByteArray RepairDiff(const QByteArray &path, const QByteArray &before, const QByteArray &after);
