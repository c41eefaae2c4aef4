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

// How links are read. Classic: at most one http or ftp link from each anchor
// line. Today's web: every link of the page as a browser reads it (see
// pagelinks.h), and https links too where anchor lines are cut (a re-test's).
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
// In today's web mode no split copy is written: urls receive the address each
// link is tested at (a file: URL for a file of the site; skipped links are
// left out), resolving root-relative links against siteRoot (empty: the
// page's directory).
bool ExtractLinks(const QByteArray &sourcePath, const QByteArray &splitCopyPath,
                  QList<QByteArray> &urls, QList<QByteArray> &anchors, QString *why = nullptr,
                  LinkRule rule = LinkRule::Classic, int *httpsLeftOut = nullptr,
                  const QByteArray &siteRoot = {});

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
                              LinkRule rule = LinkRule::Classic, const QByteArray &siteRoot = {});

// Reads a whole page for today's web reading; false, with why, when it cannot
// be read (or is not a regular file, or is longer than limit).
bool ReadPage(const QByteArray &path, QByteArray &page, QString *why,
              qint64 limit = qint64{1} << 31);

// Writes a split copy kept in memory to its work file, as ExtractLinks writes
// it (under a name of its own, then moved into place); false, with why, when
// it cannot.
bool StoreSplitCopy(const QByteArray &splitCopy, const QByteArray &splitCopyPath,
                    QString *why = nullptr);

// The link that one piece of the split copy yields, if any.
std::optional<FoundLink> SelectLinkInPiece(std::string_view piece,
                                           LinkRule rule = LinkRule::Classic);
