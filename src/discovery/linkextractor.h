#pragma once

#include <optional>
#include <string_view>

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>

// The anchor text given to a link whose anchor has no text at all.
inline constexpr char kSuppliedAnchorName[] = "Vantrel supplied this anchor name";
// The longest piece of the split copy examined at once.
inline constexpr int kSplitCopyPieceChars = 999;

// Which links an anchor line yields. Classic: http and ftp links. Today's
// web: https links too, by the same rules as http links.
enum class LinkRule
{
    Classic,
    TodaysWeb
};

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
// stay appended. httpsLeftOut, when given, is raised by the number of anchor
// lines that the classic rule passed over but that yield an https link by
// today's web rule.
bool ExtractLinks(const QByteArray &sourcePath, const QByteArray &splitCopyPath,
                  QList<QByteArray> &urls, QList<QByteArray> &anchors, QString *why = nullptr,
                  LinkRule rule = LinkRule::Classic, int *httpsLeftOut = nullptr);

// A file scanned for links before its turn, its split copy kept in memory.
struct ScannedFile
{
    enum class Result
    {
        Scanned,
        // It could not be scanned; why says so in words for the user.
        Failed,
        // Longer than the caller would hold in memory; nothing was read.
        TooBig
    };

    QByteArray path;
    Result result = Result::Failed;
    QString why;
    qint64 sourceBytes = 0;
    QByteArray splitCopy;
    QList<QByteArray> urls;
    QList<QByteArray> anchors;
    int httpsLeftOut = 0;
    // The links were given (a re-test's), not scanned: there is no split copy.
    bool given = false;
};

// The links given for pages of a run instead of a scan of the page (a
// re-test's), by the page's path.
using GivenLinks = QHash<QByteArray, ScannedFile>;

// Scans the file as ExtractLinks does, with the same checks and reasons, but
// keeps the split copy in memory instead of writing it; a file longer than
// maxSourceBytes is not read.
ScannedFile ScanLinksInMemory(const QByteArray &sourcePath, qint64 maxSourceBytes,
                              LinkRule rule = LinkRule::Classic);

// Writes a split copy kept in memory to its work file, as ExtractLinks writes
// it (under a name of its own, then moved into place); false, with why, when
// it cannot.
bool StoreSplitCopy(const QByteArray &splitCopy, const QByteArray &splitCopyPath,
                    QString *why = nullptr);

// The link that one piece of the split copy yields, if any.
std::optional<FoundLink> SelectLinkInPiece(std::string_view piece,
                                           LinkRule rule = LinkRule::Classic);
