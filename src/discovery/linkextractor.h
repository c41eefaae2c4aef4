#pragma once

#include <optional>
#include <string_view>

#include <QByteArray>
#include <QList>
#include <QString>

// The anchor text given to a link whose anchor has no text at all.
inline constexpr char kSuppliedAnchorName[] = "Vantrel supplied this anchor name";
// The longest piece of the split copy examined at once.
inline constexpr int kSplitCopyPieceChars = 999;

struct FoundLink
{
    QByteArray url;
    QByteArray anchor;
};

// Finds the links of one file. First pass: writes the split copy of the source
// to splitCopyPath (every CR and LF dropped, nothing before the first anchor
// start, each "<A" or "<a" replaced by CR LF, the last byte not copied).
// Second pass: reads the split copy back in pieces of at most 999 characters
// and takes at most one link from each. Appends to urls and anchors together.
// Returns false when the file could not be scanned: the source cannot be
// opened or read, or is not a regular file (a pipe or a device could block the
// scan or never end it), or the split copy cannot be created, written or read
// back. why then says which, in words for the user; the links found up to then
// stay appended.
bool ExtractLinks(const QByteArray &sourcePath, const QByteArray &splitCopyPath,
                  QList<QByteArray> &urls, QList<QByteArray> &anchors, QString *why = nullptr);

// The link that one piece of the split copy yields, if any.
std::optional<FoundLink> SelectLinkInPiece(std::string_view piece);
